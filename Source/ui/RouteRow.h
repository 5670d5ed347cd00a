#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/Parameters.h"
#include "ui/ParameterLink.h"

class TazzleAudioProcessor;

// The grouped menu of modulation targets: GLOBAL first, then one submenu per effect. Item ids are positions in
// tz::modTargets().
juce::PopupMenu buildTargetMenu();
// The target a menu result stands for, or P::none for a dismissal or an unknown id.
tz::P targetForMenuResult (int itemId);
void showTargetMenu (juce::Component& anchor, std::function<void (tz::P)> onChosen);

// How menus and rows name a target: global ones in full, effect ones without the effect's name.
juce::String shortTargetName (tz::P target);

// "X   " or "Y   " for the pad's axes, then the target's group and short name, or "(none)".
juce::String routeRowText (int sourceValue, int targetValue);

// What a route row's target button shows, always on one line: the full text at the button font when it fits, else
// the prefix and the target's short name, shrunk as far as the smallest label size.
struct RouteRowLabel
{
    juce::String text;
    float fontHeight;
};
RouteRowLabel fitRouteRowText (int sourceValue, int targetValue, float width);

// Gives the rows of one list the smallest font height any of them needs, so neighbours match.
class RouteRow;
void matchRouteRowText (const std::vector<std::unique_ptr<RouteRow>>& rows);

// The target button of a route row: its text on one line at a chosen height.
class RouteTargetButton : public juce::TextButton
{
public:
    void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    float fontHeight = 12.0f;
};

// One modulation route: what it moves, how far, and a button to remove it.
class RouteRow : public juce::Component
{
public:
    RouteRow (TazzleAudioProcessor& processor, int route);
    ~RouteRow() override;

    void resized() override;

    int getRoute() const noexcept { return route; }
    RouteTargetButton& getTargetButton() noexcept { return targetButton; }
    // The font height the row's text needs in its width, and the one it is drawn at.
    float neededFontHeight() const noexcept { return needed; }
    void setFontHeight (float height);
    tz::ui::FineSlider& getDepthSlider() noexcept { return depth; }
    juce::TextButton& getRemoveButton() noexcept { return removeButton; }

    // Sets the route's target through the host, as a choice from the target menu does.
    void chooseTarget (tz::P target);

private:
    TazzleAudioProcessor& processor;
    const int route;
    RouteTargetButton targetButton;
    juce::TextButton removeButton { "x" };
    float needed = 12.0f;
    tz::ui::FineSlider depth;
    std::unique_ptr<tz::ui::SliderLink> depthLink;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RouteRow)
};
