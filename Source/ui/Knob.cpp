#include "ui/Knob.h"

#include "core/PluginProcessor.h"
#include "engine/Routes.h"
#include "ui/Accessibility.h"
#include "ui/HostWrites.h"
#include "ui/Menus.h"
#include "ui/theme/Theme.h"

namespace theme = tz::theme;

//==============================================================================
void ModSlider::mouseDown (const juce::MouseEvent& e)
{
    popupPress = e.mods.isPopupMenu() && onPopupClick != nullptr;

    if (popupPress)
        onPopupClick();
    else
        FineSlider::mouseDown (e);
}

void ModSlider::mouseDrag (const juce::MouseEvent& e)
{
    // A right-click never moves the value.
    if (! popupPress && ! e.mods.isPopupMenu())
        FineSlider::mouseDrag (e);
}

void ModSlider::mouseUp (const juce::MouseEvent& e)
{
    if (! popupPress)
        FineSlider::mouseUp (e);

    popupPress = false;
}

//==============================================================================
namespace
{
bool canModulate (tz::P p) { return p < tz::numFixedParams && tz::targetPosition (p) > 0; }
bool canLock (tz::P p) { return p == tz::mix || p == tz::outputGain; }
} // namespace

Knob::Knob (TazzleAudioProcessor& proc, tz::P param, const juce::String& captionText, juce::Colour colour)
    : processor (proc)
    , parameter (param)
    , modulatable (canModulate (param))
{
    const auto& info = tz::allParams()[(size_t) parameter];

    dial.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    dial.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 64, 14);
    dial.setColour (juce::Slider::rotarySliderFillColourId, colour);
    dial.setColour (juce::Slider::textBoxOutlineColourId, juce::Colours::transparentBlack);
    dial.setColour (juce::Slider::textBoxBackgroundColourId, juce::Colours::transparentBlack);
    link = std::make_unique<tz::ui::SliderLink> (processor, parameter, dial);
    // After the link, which sets the range the default lives in.
    dial.setDoubleClickReturnValue (true, (double) info.def, juce::ModifierKeys::altModifier);
    tz::ui::makeParameterControl (dial, processor, parameter);
    addAndMakeVisible (dial);

    if (modulatable)
    {
        dial.onPopupClick = [this] { showModulationMenu(); };
        dial.setTooltip (canLock (parameter)
                             ? "Right-click to modulate, or to lock it (it then stays when you change presets)"
                             : "Right-click to modulate");
    }

    caption.setText (captionText, juce::dontSendNotification);
    caption.setFont (theme::nexa (10.0f));
    caption.setColour (juce::Label::textColourId, theme::dimText);
    caption.setJustificationType (juce::Justification::centred);
    caption.setInterceptsMouseClicks (false, false);
    caption.setAccessible (false); // the dial carries the parameter's full name
    addAndMakeVisible (caption);
}

Knob::~Knob() = default;

void Knob::resized()
{
    const int captionHeight = juce::jmin (getHeight(), 14);
    caption.setBounds (0, 0, getWidth(), captionHeight);
    dial.setBounds (0, captionHeight, getWidth(), getHeight() - captionHeight);
}

//==============================================================================
juce::PopupMenu Knob::buildModulationMenu() const
{
    juce::PopupMenu menu;
    menu.addSectionHeader (tz::allParams()[(size_t) parameter].name.toUpperCase());

    const auto routed = [this] (int source) { return processor.findRoute (source, parameter) >= 0; };

    for (int n = 1; n <= tz::numModulators; ++n)
        menu.addItem (n, "Modulate with Mod " + juce::String (n), true, routed (n - 1));

    menu.addSeparator();
    menu.addItem (tz::routeSource::x + 1, "Modulate with X (XY pad)", true, routed (tz::routeSource::x));
    menu.addItem (tz::routeSource::y + 1, "Modulate with Y (XY pad)", true, routed (tz::routeSource::y));
    menu.addSeparator();

    bool anyRoute = false;
    for (int s = 0; s < tz::routeSource::count; ++s)
        anyRoute = anyRoute || routed (s);
    menu.addItem (removeAllCode, "Remove all modulation", processor.modDepthOn (parameter) != 0.0f || anyRoute);

    if (canLock (parameter))
    {
        menu.addSeparator();
        menu.addItem (lockCode, "Lock (keep when changing presets)", true, processor.isLocked (parameter));
    }

    // The host's own items for the parameter (automation lane, MIDI learn), where it offers them. They carry their
    // own actions and report no code of ours.
    if (auto* editor = findParentComponentOfClass<juce::AudioProcessorEditor>())
        if (auto* host = editor->getHostContext())
            if (const auto hostMenu = host->getContextMenuForParameter (&processor.getHostParameter (parameter)))
            {
                const auto items = hostMenu->getEquivalentPopupMenu();
                menu.addSeparator();
                for (juce::PopupMenu::MenuItemIterator it (items); it.next();)
                    menu.addItem (juce::PopupMenu::Item (it.getItem()));
            }

    return menu;
}

void Knob::showModulationMenu()
{
    tz::ui::showMenu (buildModulationMenu(), dial,
                      [safeThis = juce::Component::SafePointer<Knob> (this)] (int code)
                      {
                          if (safeThis != nullptr)
                              safeThis->handleModulationMenuResult (code);
                      });
}

void Knob::clearRoutesFrom (int source)
{
    for (int slot = processor.findRoute (source, parameter); slot >= 0; slot = processor.findRoute (source, parameter))
        processor.removeRoute (slot);
}

void Knob::handleModulationMenuResult (int code)
{
    tz::ui::UserAction action (processor);
    if (code >= 1 && code <= tz::routeSource::count)
    {
        const int source = code - 1;

        if (processor.findRoute (source, parameter) < 0)
        {
            action.rename (tz::stepNames::addRoute);
            processor.addRoute (source, parameter);
        }
        else
        {
            action.rename (tz::stepNames::removeRoute);
            clearRoutesFrom (source);
        }

        if (source < tz::numModulators && onModulatorChosen)
            onModulatorChosen (source);
    }
    else if (code == removeAllCode)
    {
        action.rename (tz::stepNames::removeRoute);
        for (int s = 0; s < tz::routeSource::count; ++s)
            clearRoutesFrom (s);
    }
    else if (code == lockCode && canLock (parameter))
    {
        action.rename (tz::stepNames::lock);
        processor.toggleLock (parameter);
        action.changedOtherState();
    }

    refreshModulation();
}

//==============================================================================
void Knob::refreshModulation()
{
    if (! modulatable)
        return;

    const float depth = processor.modDepthOn (parameter);
    const float live = processor.getUiModulated (parameter);
    const bool locked = processor.isLocked (parameter);

    int source = -1;
    for (int s = 0; s < tz::routeSource::count && source < 0; ++s)
        if (processor.findRoute (s, parameter) >= 0)
            source = s;

    const bool liveMoved = std::abs (live - shownLive) > 0.002f;
    if (std::abs (depth - shownDepth) > 0.001f || source != shownSource || locked != shownLocked)
    {
        shownDepth = depth;
        shownLive = live;
        shownSource = source;
        shownLocked = locked;
        repaint();
    }
    else if (liveMoved)
    {
        // Only the dot moved: where it was and where it is now, as one rectangle.
        const auto before = liveDotBounds (shownLive);
        shownLive = live;
        repaint (before.getUnion (liveDotBounds (shownLive)).expanded (1.5f).getSmallestIntegerContainer());
    }
}

Knob::DialGeometry Knob::dialGeometry() const
{
    auto& slider = const_cast<ModSlider&> (dial); // the layout query takes a non-const slider but changes nothing
    const auto area =
        slider.getLookAndFeel().getSliderLayout (slider).sliderBounds.translated (dial.getX(), dial.getY());
    const auto rotary = dial.getRotaryParameters();
    return { area.toFloat().reduced (4.0f).getCentre(),
             juce::jmin ((float) area.getWidth() - 8.0f, (float) area.getHeight() - 8.0f) / 2.0f - 3.0f,
             rotary.startAngleRadians, rotary.endAngleRadians };
}

juce::Rectangle<float> Knob::liveDotBounds (float live) const
{
    if (live < 0.0f)
        return {};
    const auto d = dialGeometry();
    const float angle = d.startAngle + live * (d.endAngle - d.startAngle);
    return juce::Rectangle<float> (6.0f, 6.0f).withCentre (d.centre.getPointOnCircumference (d.radius, angle));
}

void Knob::paintOverChildren (juce::Graphics& g)
{
    const float w = (float) getWidth();

    if (shownLocked)
    {
        g.setColour (theme::accent);
        g.fillRoundedRectangle (w - 13.0f, 6.0f, 10.0f, 7.0f, 1.5f);

        juce::Path shackle;
        const float cx = w - 8.0f;
        for (float t = 0.0f; t <= juce::MathConstants<float>::pi + 0.001f; t += 0.05f)
        {
            const juce::Point<float> point (cx - 2.6f * std::cos (t), 6.0f - 3.2f * std::sin (t));
            if (t == 0.0f)
                shackle.startNewSubPath (point);
            else
                shackle.lineTo (point);
        }
        g.strokePath (shackle, juce::PathStrokeType (1.4f));

        g.setColour (theme::background);
        g.fillEllipse (w - 9.0f, 8.5f, 2.0f, 2.0f);
    }

    if (shownSource < 0)
        return;

    const auto colour = theme::modColour (shownSource);
    const auto d = dialGeometry();
    const auto centre = d.centre;
    const float r = d.radius;
    const auto angleOf = [&d] (float proportion) { return d.startAngle + proportion * (d.endAngle - d.startAngle); };

    const float base = (float) dial.valueToProportionOfLength (dial.getValue());
    const float target = juce::jlimit (0.0f, 1.0f, base + shownDepth);

    if (std::abs (target - base) > 0.002f && r > 5.0f)
    {
        juce::Path arc;
        arc.addCentredArc (centre.x, centre.y, r - 5.0f, r - 5.0f, 0.0f, angleOf (base), angleOf (target), true);
        g.setColour (colour.withAlpha ((juce::uint8) 0xe6));
        g.strokePath (arc, juce::PathStrokeType (2.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }

    if (shownLive >= 0.0f)
    {
        const auto dot = liveDotBounds (shownLive);
        g.setColour (colour);
        g.fillEllipse (dot);
        g.setColour (theme::background);
        g.drawEllipse (dot, 1.0f);
    }
}
