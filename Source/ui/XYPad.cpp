#include "ui/XYPad.h"

#include "core/PluginProcessor.h"
#include "engine/Modulators.h"
#include "engine/Routes.h"
#include "ui/HostWrites.h"
#include "ui/theme/Theme.h"

namespace theme = tz::theme;

namespace
{
constexpr float valueLeft = 24.0f, valueBottom = 210.0f, valueHeight = 160.0f;
constexpr int routeRowHeight = 28;

std::pair<int, int> readoutOf (juce::Point<float> xy) { return { tz::xySpeedZone (xy.x), juce::roundToInt (xy.y) }; }
} // namespace

XYPad::XYPad (TazzleAudioProcessor& proc)
    : processor (proc)
    , xLink (proc, tz::xyX, [] (float) {})
    , yLink (proc, tz::xyY, [] (float) {})
    , routeList (proc, routeRowHeight, 6)
{
    const auto chooseTarget = [this] (int source, juce::TextButton& button)
    {
        showTargetMenu (button,
                        [safeThis = juce::Component::SafePointer<XYPad> (this), source] (tz::P target)
                        {
                            if (safeThis != nullptr)
                                safeThis->addRouteFrom (source, target);
                        });
    };

    xButton.setTooltip ("Send X to a knob");
    yButton.setTooltip ("Send Y to a knob");
    xButton.onClick = [this, chooseTarget] { chooseTarget (tz::routeSource::x, xButton); };
    yButton.onClick = [this, chooseTarget] { chooseTarget (tz::routeSource::y, yButton); };
    addAndMakeVisible (xButton);
    addAndMakeVisible (yButton);

    routeList.showSources ((1u << (tz::routeSource::x + 1)) | (1u << (tz::routeSource::y + 1)));
    addAndMakeVisible (routeList);
    setBufferedToImage (true);
}

XYPad::~XYPad() = default;

void XYPad::addRouteFrom (int source, tz::P target)
{
    {
        const tz::ui::UserAction action (processor, tz::stepNames::addRoute);
        processor.addRoute (source, target);
    }
    refresh();
}

//==============================================================================
juce::Point<float> XYPad::valuesAt (juce::Point<float> position) const
{
    return { juce::jlimit (0.0f, 100.0f, (position.x - valueLeft) / juce::jmax (valueWidth(), 1.0f) * 100.0f),
             juce::jlimit (0.0f, 100.0f, (valueBottom - position.y) / valueHeight * 100.0f) };
}

juce::Rectangle<float> XYPad::hitArea() const { return { 18.0f, 44.0f, (float) getWidth() - 36.0f, 172.0f }; }

juce::Point<float> XYPad::effectiveXY() const
{
    // Unmodulated, the pad shows its parameters, so it follows a drag even while no audio runs.
    const auto axis = [this] (int index, tz::P p)
    { return processor.getUiModulated (p) >= 0.0f ? processor.getUiXY (index) : processor.getValue (p); };
    return { axis (0, tz::xyX), axis (1, tz::xyY) };
}

juce::Point<float> XYPad::positionOf (juce::Point<float> values) const
{
    return { valueLeft + values.x / 100.0f * valueWidth(), valueBottom - values.y / 100.0f * valueHeight };
}

juce::Point<float> XYPad::puckCentre() const { return positionOf (effectiveXY()); }

juce::String XYPad::speedLabel (float x) { return zoneLabel (tz::xySpeedZone (x)); }

juce::String XYPad::zoneLabel (int zone)
{
    const float factor = tz::xySpeedOfZone (zone);
    return factor < 1.0f ? "/" + juce::String (juce::roundToInt (1.0f / factor))
                         : "x" + juce::String (juce::roundToInt (factor));
}

void XYPad::setFromPosition (juce::Point<float> position)
{
    const auto values = valuesAt (position);
    xLink.setValue (values.x);
    yLink.setValue (values.y);
}

void XYPad::mouseDown (const juce::MouseEvent& e)
{
    pressedInside = hitArea().contains (e.position);
    if (! pressedInside)
        return;

    dragAction.emplace (processor, tz::stepNames::xyPad);
    // With Shift the puck stays where it is and moves finely from there; otherwise it comes to the pointer.
    if (e.mods.isShiftDown())
    {
        pointer.startFrom (positionOf ({ processor.getValue (tz::xyX), processor.getValue (tz::xyY) }), e.position);
    }
    else
    {
        pointer.start (e.position);
        setFromPosition (e.position);
    }
}

void XYPad::mouseDrag (const juce::MouseEvent& e)
{
    if (pressedInside)
        setFromPosition (pointer.follow (e));
}

void XYPad::mouseUp (const juce::MouseEvent&)
{
    pressedInside = false;
    dragAction.reset();
}

void XYPad::mouseDoubleClick (const juce::MouseEvent& e)
{
    if (! hitArea().contains (e.position))
        return;

    const tz::ui::UserAction action (processor, tz::stepNames::xyPad);
    xLink.setValue (tz::allParams()[(size_t) tz::xyX].def);
    yLink.setValue (tz::allParams()[(size_t) tz::xyY].def);
}

//==============================================================================
void XYPad::refresh()
{
    if (routeList.refresh())
        repaint (routeList.getBounds());

    const auto position = effectiveXY() / 100.0f;
    const bool moved = position.getDistanceFrom (lastPosition) > 0.0005f;
    if (moved || trailCount > 1)
    {
        // Only what moved is drawn again: the trail and the puck where they were and where they are, and the
        // texts and the zone tint when they change.
        const auto before = trailAndPuckArea();
        trail[(size_t) trailHead] = position;
        trailHead = (trailHead + 1) % (int) trail.size();
        trailCount = moved ? juce::jmin (trailCount + 1, (int) trail.size()) : (trailCount < 3 ? 0 : trailCount - 2);
        lastPosition = position;
        repaint (before.getUnion (trailAndPuckArea()).getSmallestIntegerContainer());

        const auto xy = effectiveXY();
        if (const auto readout = readoutOf (xy); readout != shownReadout)
        {
            shownReadout = readout;
            repaint (0, 0, getWidth(), 219 + 12); // the title row, the pad with its zone tint and the zone labels
        }
    }
}

juce::Rectangle<float> XYPad::trailAndPuckArea() const
{
    const float pw = valueWidth();
    const auto toPad = [pw] (juce::Point<float> p)
    { return juce::Point<float> (valueLeft + p.x * pw, valueBottom - p.y * valueHeight); };

    auto area = juce::Rectangle<float> (puckCentre(), puckCentre());
    for (int i = 0; i < trailCount; ++i)
    {
        const auto point = toPad (trail[(size_t) ((trailHead - 1 - i + 2 * (int) trail.size()) % (int) trail.size())]);
        area = area.getUnion ({ point, point });
    }
    return area.expanded (20.0f); // the puck's outer glow, 18 across its centre
}

void XYPad::resized()
{
    const int w = getWidth(), h = getHeight();
    const int buttonWidth = juce::jmax (0, (w - 36) / 2 - 3);
    xButton.setBounds (18, 238, buttonWidth, 22);
    yButton.setBounds (w - 18 - buttonWidth, 238, buttonWidth, 22);
    routeList.setBounds (18, 266, juce::jmax (0, w - 36), juce::jmax (0, h - 287));
}

//==============================================================================
void XYPad::paint (juce::Graphics& g)
{
    const float w = (float) getWidth(), h = (float) getHeight(), pw = valueWidth();
    const auto xColour = theme::modColour (tz::routeSource::x), yColour = theme::modColour (tz::routeSource::y);
    const auto xy = effectiveXY();
    const float x = xy.x, y = xy.y;

    // Everything but the trail and the puck changes only with the readout (zone and intensity), so it is kept as
    // an image and the puck moves over it.
    if (const auto readout = readoutOf (xy); readout != bodyReadout)
    {
        bodyReadout = readout;
        face.invalidate();
    }
    body.draw (g, getLocalBounds(),
               [w, h] (juce::Graphics& bg)
               {
                   theme::drawPedal (bg, { 4.0f, 4.0f, juce::jmax (w - 8.0f, 0.0f), juce::jmax (h - 11.0f, 0.0f) },
                                     theme::accent, true, true);
               });
    face.draw (
        g, getLocalBounds(),
        [&] (juce::Graphics& bg)
        {
            bg.setColour (theme::text.withAlpha ((juce::uint8) 0xcc));
            bg.setFont (theme::nexa (14.0f));
            bg.drawText ("XY", juce::Rectangle<float> (18.0f, 12.0f, 30.0f, 22.0f), juce::Justification::centredLeft,
                         false);
            bg.setFont (theme::nexa (10.0f));
            bg.setColour (xColour);
            bg.drawText ("SPEED " + speedLabel (x), juce::Rectangle<float> (48.0f, 12.0f, 80.0f, 22.0f),
                         juce::Justification::centredLeft, false);
            bg.setColour (yColour);
            bg.drawText ("INTENSITY " + juce::String (juce::roundToInt (y)) + " %",
                         juce::Rectangle<float> (w - 18.0f - 110.0f, 12.0f, 110.0f, 22.0f),
                         juce::Justification::centredRight, false);

            theme::drawScreen (g, { 18.0f, 44.0f, juce::jmax (w - 36.0f, 0.0f), 172.0f }, 6.0f);

            const float zoneWidth = pw / (float) tz::numXySpeeds;
            const int zone = tz::xySpeedZone (x);
            bg.setColour (xColour.withAlpha ((juce::uint8) 0x0f));
            bg.fillRect (valueLeft + (float) zone * zoneWidth, valueBottom - valueHeight, zoneWidth, valueHeight);

            for (int i = 1; i < tz::numXySpeeds; ++i)
            {
                bg.setColour (juce::Colours::white.withAlpha ((juce::uint8) (i % 2 == 0 ? 0x17 : 0x0d)));
                bg.fillRect (valueLeft + (float) i * zoneWidth, valueBottom - valueHeight, 1.0f, valueHeight);
                bg.fillRect (valueLeft, valueBottom - valueHeight * (float) i / (float) tz::numXySpeeds, pw, 1.0f);
            }

            bg.setFont (theme::nexa (9.0f));
            bg.setColour (theme::dimText);
            for (int i = 0; i < tz::numXySpeeds; ++i)
                bg.drawText (zoneLabel (i),
                             juce::Rectangle<float> (valueLeft + (float) i * zoneWidth, 219.0f, zoneWidth, 12.0f),
                             juce::Justification::centred, false);
        });

    const auto toPad = [pw] (juce::Point<float> p)
    { return juce::Point<float> (valueLeft + p.x * pw, valueBottom - p.y * valueHeight); };
    for (int i = 0; i + 1 < trailCount; ++i)
    {
        const int newer = (trailHead - 1 - i + 2 * (int) trail.size()) % (int) trail.size();
        const int older = (newer - 1 + (int) trail.size()) % (int) trail.size();
        g.setColour (theme::accent.withAlpha ((1.0f - (float) i / (float) trailCount) * 0.6f));
        g.drawLine ({ toPad (trail[(size_t) newer]), toPad (trail[(size_t) older]) }, 2.0f);
    }

    const auto puck = puckCentre();
    const std::pair<float, juce::uint8> glows[] = { { 18.0f, 0x12 }, { 14.0f, 0x24 }, { 10.0f, 0x36 } };
    for (const auto& [radius, alpha] : glows)
    {
        g.setColour (theme::accent.withAlpha (alpha));
        g.fillEllipse (juce::Rectangle<float> (2.0f * radius, 2.0f * radius).withCentre (puck));
    }
    const auto puckBody = juce::Rectangle<float> (16.0f, 16.0f).withCentre (puck);
    g.setGradientFill (juce::ColourGradient (theme::puckHighlight, puckBody.getTopLeft(), theme::accent.darker (0.3f),
                                             puckBody.getBottomRight(), false));
    g.fillEllipse (puckBody);
    g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0xcc));
    g.drawEllipse (puckBody, 1.0f);

    if (routeList.getRows().empty())
    {
        g.setColour (theme::dimText);
        g.setFont (theme::nexa (10.0f));
        g.drawFittedText (hintText(), routeList.getBounds(), juce::Justification::centredTop, 2);
    }
}
