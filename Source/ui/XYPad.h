#pragma once

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "ui/ParameterLink.h"
#include "ui/RouteList.h"
#include "ui/theme/Theme.h"

class TazzleAudioProcessor;

// The performance pad: X sets the speed of the modulators that follow it, Y their intensity. Below it, buttons
// that send X or Y to a knob, and the routes that do.
class XYPad : public juce::Component
{
public:
    explicit XYPad (TazzleAudioProcessor& processor);
    ~XYPad() override;

    void refresh();
    // What "+ X" and "+ Y" do with the target chosen in their menu.
    void addRouteFrom (int source, tz::P target);

    void paint (juce::Graphics&) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void mouseDoubleClick (const juce::MouseEvent&) override;

    // The plain values (0..100) a pointer position stands for; beyond the pad they clamp.
    juce::Point<float> valuesAt (juce::Point<float> position) const;
    juce::Rectangle<float> hitArea() const;
    juce::Point<float> puckCentre() const;
    // Where on the pad the plain values (0..100) lie.
    juce::Point<float> positionOf (juce::Point<float> values) const;
    // X and Y as the engine applies them (0..100), modulation included.
    juce::Point<float> effectiveXY() const;

    // The speed factor of the modulators that follow the pad, as its zones name it: for X, and for a zone.
    static juce::String speedLabel (float x);
    static juce::String zoneLabel (int zone);
    static juce::String hintText() { return "X and Y can also move any knob:\n+ X / + Y, or right-click a knob."; }

    juce::TextButton& getXButton() noexcept { return xButton; }
    juce::TextButton& getYButton() noexcept { return yButton; }
    const std::vector<std::unique_ptr<RouteRow>>& getRouteRows() const noexcept { return routeList.getRows(); }
    int getTrailCount() const noexcept { return trailCount; }

private:
    void setFromPosition (juce::Point<float> position);
    juce::Rectangle<float> trailAndPuckArea() const;
    float valueWidth() const { return (float) getWidth() - 48.0f; }

    TazzleAudioProcessor& processor;
    tz::ui::ParameterLink xLink, yLink;
    // A press and its drag are one user action; Shift slows the drag down.
    std::optional<tz::ui::UserAction> dragAction;
    tz::ui::FinePointer pointer;
    juce::TextButton xButton { "+ X" }, yButton { "+ Y" };
    RouteList routeList;
    bool pressedInside = false;

    tz::theme::PaintCache body, face;
    std::array<juce::Point<float>, 24> trail {};
    int trailHead = 0, trailCount = 0;
    juce::Point<float> lastPosition { -1.0f, -1.0f };
    // The speed zone and the intensity (whole percent) the texts and the zone tint show.
    std::pair<int, int> shownReadout { -1, -1 }, bodyReadout { -1, -1 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (XYPad)
};
