#include "ui/RouteRow.h"

#include "core/PluginProcessor.h"
#include "engine/Routes.h"
#include "ui/Accessibility.h"
#include "ui/HostWrites.h"
#include "ui/Menus.h"
#include "ui/theme/Theme.h"

namespace
{
juce::String groupName (tz::P target)
{
    const int effect = tz::effectOf (target);
    return effect < 0 ? juce::String ("GLOBAL") : juce::String (tz::effectNames[(size_t) effect]);
}
} // namespace

juce::String shortTargetName (tz::P target)
{
    const auto& name = tz::allParams()[(size_t) target].name;
    return tz::effectOf (target) < 0 ? name : name.fromFirstOccurrenceOf (" ", false, false);
}

juce::PopupMenu buildTargetMenu()
{
    const auto& targets = tz::modTargets();
    juce::PopupMenu menu;

    for (int group = -1; group < tz::numEffects; ++group)
    {
        juce::PopupMenu items;
        for (size_t i = 1; i < targets.size(); ++i)
            if (tz::effectOf (targets[i]) == group)
                items.addItem ((int) i, shortTargetName (targets[i]));

        if (items.getNumItems() > 0)
            menu.addSubMenu (group < 0 ? juce::String ("GLOBAL") : juce::String (tz::effectNames[(size_t) group]),
                             items);
    }

    return menu;
}

tz::P targetForMenuResult (int itemId)
{
    const auto& targets = tz::modTargets();
    return itemId >= 1 && itemId < (int) targets.size() ? targets[(size_t) itemId] : tz::none;
}

void showTargetMenu (juce::Component& anchor, std::function<void (tz::P)> onChosen)
{
    tz::ui::showMenu (buildTargetMenu(), anchor,
                      [onChosen = std::move (onChosen)] (int itemId)
                      {
                          if (const auto target = targetForMenuResult (itemId); target != tz::none)
                              onChosen (target);
                      });
}

juce::String routeRowText (int sourceValue, int targetValue)
{
    const int source = sourceValue - 1;
    const juce::String prefix = source == tz::routeSource::x ? "X   " : source == tz::routeSource::y ? "Y   " : "";
    const auto target = targetForMenuResult (targetValue);

    if (target == tz::none)
        return prefix + "(none)";

    return prefix + groupName (target) + "  " + shortTargetName (target);
}

RouteRowLabel fitRouteRowText (int sourceValue, int targetValue, float width)
{
    constexpr float buttonFont = 12.0f, smallestLabel = 9.0f;
    const auto full = routeRowText (sourceValue, targetValue);
    const auto widthAt = [] (const juce::String& text, float height)
    { return tz::theme::nexa (height).getStringWidthFloat (text); };

    if (widthAt (full, buttonFont) <= width)
        return { full, buttonFont };

    const auto target = targetForMenuResult (targetValue);
    const auto shortText = target == tz::none
        ? full
        : full.upToFirstOccurrenceOf (groupName (target), false, false) + shortTargetName (target);
    const float needed = widthAt (shortText, buttonFont);
    return { shortText, needed <= width ? buttonFont : juce::jmax (smallestLabel, buttonFont * width / needed) };
}

void matchRouteRowText (const std::vector<std::unique_ptr<RouteRow>>& rows)
{
    float height = 12.0f;
    for (const auto& row : rows)
        height = juce::jmin (height, row->neededFontHeight());
    for (const auto& row : rows)
        row->setFontHeight (height);
}

void RouteTargetButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    auto& lf = getLookAndFeel();
    lf.drawButtonBackground (g, *this, findColour (buttonColourId), highlighted, down);

    // One line, whatever the width: squeezed rather than wrapped when even the smallest size is too wide.
    g.setFont (tz::theme::nexa (fontHeight));
    g.setColour (findColour (textColourOffId).withMultipliedAlpha (isEnabled() ? 1.0f : 0.5f));
    g.drawFittedText (getButtonText(), getLocalBounds().reduced (4, 0), juce::Justification::centred, 1, 0.5f);
}

//==============================================================================
RouteRow::RouteRow (TazzleAudioProcessor& proc, int routeIndex)
    : processor (proc)
    , route (routeIndex)
{
    const int source = juce::roundToInt (processor.getValue (tz::routeParam (route, tz::routeField::source)));
    const int target = juce::roundToInt (processor.getValue (tz::routeParam (route, tz::routeField::target)));

    targetButton.setButtonText (routeRowText (source, target));
    targetButton.setTooltip ("Click to change what this route modulates");
    targetButton.onClick = [this]
    {
        showTargetMenu (targetButton,
                        [safeThis = juce::Component::SafePointer<RouteRow> (this)] (tz::P chosen)
                        {
                            if (safeThis != nullptr)
                                safeThis->chooseTarget (chosen);
                        });
    };
    addAndMakeVisible (targetButton);

    // A drag moves the depth from where it is (Shift: finely); a click without a drag opens the bar's text box
    // to type a value, as a knob's box does.
    depth.setTooltip ("Depth: how far this modulator moves the target (negative = the other way)");
    depth.setSliderStyle (juce::Slider::LinearBar);
    depth.setSliderSnapsToMousePosition (false);
    depth.setTextBoxStyle (juce::Slider::TextBoxLeft, false, 0, 0);
    depth.setColour (juce::Slider::trackColourId, tz::theme::modColour (source - 1).withAlpha ((juce::uint8) 0x8c));
    depthLink = std::make_unique<tz::ui::SliderLink> (processor, tz::routeParam (route, tz::routeField::depth), depth);
    addAndMakeVisible (depth);

    removeButton.setTooltip ("Remove this route");
    removeButton.onClick = [this]
    {
        const tz::ui::UserAction action (processor, tz::stepNames::removeRoute);
        processor.removeRoute (route);
    };
    addAndMakeVisible (removeButton);
    tz::ui::describeRouteRow (*this, processor);
}

RouteRow::~RouteRow() = default;

void RouteRow::chooseTarget (tz::P target)
{
    const auto& targets = tz::modTargets();
    const auto found = std::find (targets.begin() + 1, targets.end(), target);
    tz::ui::setAsGesture (processor, tz::routeParam (route, tz::routeField::target),
                          found == targets.end() ? 0.0f : (float) (found - targets.begin()),
                          tz::stepNames::routeTarget);
}

void RouteRow::resized()
{
    const int w = getWidth(), h = getHeight();
    const int y = 3, rowHeight = juce::jmax (0, h - 6);

    const int removeX = w - 22;
    removeButton.setBounds (removeX, y, 22, rowHeight);

    const int rest = juce::jmax (0, removeX - 4);
    const int depthWidth = juce::jmin (rest * 2 / 5, 96);
    depth.setBounds (rest - depthWidth, y, depthWidth, rowHeight);
    targetButton.setBounds (0, y, juce::jmax (0, rest - depthWidth - 4), rowHeight);

    const auto label =
        fitRouteRowText (juce::roundToInt (processor.getValue (tz::routeParam (route, tz::routeField::source))),
                         juce::roundToInt (processor.getValue (tz::routeParam (route, tz::routeField::target))),
                         (float) juce::jmax (0, targetButton.getWidth() - 8));
    targetButton.setButtonText (label.text);
    needed = label.fontHeight;
    setFontHeight (needed);
}

void RouteRow::setFontHeight (float height)
{
    targetButton.fontHeight = height;
    targetButton.repaint();
}
