#include "ui/theme/TazzleLookAndFeel.h"

#include <algorithm>
#include <cmath>

#include "ui/theme/Theme.h"

namespace theme = tz::theme;

namespace
{
juce::Colour blackAlpha (juce::uint8 alpha) { return juce::Colours::black.withAlpha (alpha); }
juce::Colour whiteAlpha (juce::uint8 alpha) { return juce::Colours::white.withAlpha (alpha); }

juce::Point<float> onCircle (juce::Point<float> centre, float radius, float angle)
{
    return centre.getPointOnCircumference (radius, angle);
}

void strokeArc (juce::Graphics& g, juce::Point<float> centre, float radius, float from, float to, float width)
{
    juce::Path arc;
    arc.addCentredArc (centre.x, centre.y, radius, radius, 0.0f, from, to, true);
    g.strokePath (arc, juce::PathStrokeType (width, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

void strokeRadial (juce::Graphics& g, juce::Point<float> centre, float angle, float from, float to, float width)
{
    g.drawLine ({ onCircle (centre, from, angle), onCircle (centre, to, angle) }, width);
}
} // namespace

TazzleLookAndFeel::TazzleLookAndFeel()
{
    setDefaultSansSerifTypeface (theme::nexaTypeface());

    const auto outline = theme::panelEdge.brighter (0.2f);
    const std::pair<int, juce::Colour> colourTable[] = {
        { juce::Slider::rotarySliderFillColourId, theme::accent },
        { juce::Slider::rotarySliderOutlineColourId, outline },
        { juce::Slider::textBoxTextColourId, theme::text },
        { juce::Slider::textBoxOutlineColourId, juce::Colours::transparentBlack },
        { juce::Label::textColourId, theme::text },
        { juce::ComboBox::backgroundColourId, theme::background },
        { juce::ComboBox::outlineColourId, outline },
        { juce::ComboBox::textColourId, theme::text.withAlpha ((juce::uint8) 0xe6) },
        { juce::ComboBox::arrowColourId, theme::dimText },
        { juce::PopupMenu::backgroundColourId, theme::panel },
        { juce::PopupMenu::textColourId, theme::text },
        { juce::PopupMenu::headerTextColourId, theme::dimText },
        { juce::PopupMenu::highlightedBackgroundColourId, theme::accent.withAlpha ((juce::uint8) 0x59) },
        { juce::TextButton::buttonColourId, theme::background },
        { juce::TextButton::buttonOnColourId, theme::accent },
        { juce::TextButton::textColourOffId, theme::text.withAlpha ((juce::uint8) 0xb2) },
        { juce::TextButton::textColourOnId, theme::background },
        { juce::TooltipWindow::backgroundColourId, theme::panel.brighter (0.1f) },
        { juce::TooltipWindow::textColourId, theme::text },
        { juce::TooltipWindow::outlineColourId, theme::panelEdge },
        { juce::AlertWindow::backgroundColourId, theme::panel },
        { juce::AlertWindow::textColourId, theme::text },
        { juce::TextEditor::backgroundColourId, theme::background },
        { juce::TextEditor::textColourId, theme::text },
        { juce::TextEditor::outlineColourId, outline },
        { juce::ScrollBar::thumbColourId, juce::Colour (0xff4a4a54) },
    };

    for (const auto& [id, colour] : colourTable)
        setColour (id, colour);
}

TazzleLookAndFeel::~TazzleLookAndFeel()
{
    for (auto& window : adoptedWindows)
    {
        if (window == nullptr)
            continue;
        window->setLookAndFeel (nullptr);
        window->setVisible (false);
        // A modal alert window is deleted by the modal manager once dismissed; its callback hears 0.
        if (window->isCurrentlyModal (false))
            window->exitModalState (0);
    }
}

//==============================================================================
namespace
{
juce::TextLayout tooltipLayout (const juce::String& text, juce::Colour colour)
{
    juce::AttributedString s;
    s.setJustification (juce::Justification::centred);
    s.append (text, theme::nexa (13.0f), colour);

    juce::TextLayout layout;
    layout.createLayoutWithBalancedLineLengths (s, 400.0f);
    return layout;
}
} // namespace

juce::Rectangle<int> TazzleLookAndFeel::getTooltipBounds (const juce::String& tipText, juce::Point<int> screenPos,
                                                          juce::Rectangle<int> parentArea)
{
    const auto layout = tooltipLayout (tipText, juce::Colours::black);
    const int w = (int) (layout.getWidth() + 14.0f), h = (int) (layout.getHeight() + 6.0f);
    return juce::Rectangle<int> (screenPos.x > parentArea.getCentreX() ? screenPos.x - (w + 12) : screenPos.x + 24,
                                 screenPos.y > parentArea.getCentreY() ? screenPos.y - (h + 6) : screenPos.y + 6, w, h)
        .constrainedWithin (parentArea);
}

void TazzleLookAndFeel::drawTooltip (juce::Graphics& g, const juce::String& text, int width, int height)
{
    g.fillAll (findColour (juce::TooltipWindow::backgroundColourId));
    g.setColour (findColour (juce::TooltipWindow::outlineColourId));
    g.drawRect (0, 0, width, height, 1);
    tooltipLayout (text, findColour (juce::TooltipWindow::textColourId))
        .draw (g, juce::Rectangle<float> ((float) width, (float) height));
}

juce::Font TazzleLookAndFeel::getAlertWindowTitleFont() { return theme::nexa (17.0f); }
juce::Font TazzleLookAndFeel::getAlertWindowMessageFont() { return theme::nexa (15.0f); }
juce::Font TazzleLookAndFeel::getAlertWindowFont() { return theme::nexa (12.0f); }

juce::AlertWindow* TazzleLookAndFeel::createAlertWindow (const juce::String& title, const juce::String& message,
                                                         const juce::String& button1, const juce::String& button2,
                                                         const juce::String& button3, juce::MessageBoxIconType iconType,
                                                         int numButtons, juce::Component* associatedComponent)
{
    auto* window = LookAndFeel_V4::createAlertWindow (title, message, button1, button2, button3, iconType, numButtons,
                                                      associatedComponent);
    adoptWindow (*window);
    return window;
}

void TazzleLookAndFeel::adoptWindow (juce::Component& window)
{
    adoptedWindows.erase (std::remove (adoptedWindows.begin(), adoptedWindows.end(), nullptr), adoptedWindows.end());
    adoptedWindows.emplace_back (&window);
    window.setLookAndFeel (this);
}

//==============================================================================
void TazzleLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&,
                                              bool highlighted, bool down)
{
    const auto area = button.getLocalBounds().toFloat().reduced (0.5f);
    const float corner = 4.0f;

    if (area.isEmpty())
        return;

    if ((bool) button.getProperties()[screenProperty])
    {
        theme::drawScreen (g, area, corner);
        if (highlighted)
        {
            g.setColour (theme::accent.withAlpha ((juce::uint8) 0x14));
            g.fillRoundedRectangle (area, corner);
        }
        return;
    }

    const bool on = button.getToggleState();
    juce::Colour top (0xff34343b), bottom (theme::faceBottom);
    if (on)
    {
        top = button.findColour (juce::TextButton::buttonOnColourId);
        bottom = juce::Colour::fromFloatRGBA (top.getFloatRed() * 2.0f / 3.0f, top.getFloatGreen() * 2.0f / 3.0f,
                                              top.getFloatBlue() * 2.0f / 3.0f, top.getFloatAlpha());
    }

    g.setColour (blackAlpha (0x99));
    g.fillRoundedRectangle (area.translated (0.0f, 1.5f), corner);

    const auto upper = down ? bottom : (highlighted ? top.brighter (0.15f) : top);
    const auto lower = down ? top : bottom;
    g.setGradientFill (juce::ColourGradient::vertical (upper, area.getY(), lower, area.getBottom()));
    g.fillRoundedRectangle (area, corner);

    const float w = (float) button.getWidth();
    if (w - 7.0f > 0.0f)
    {
        g.setColour (whiteAlpha (on ? 0x59 : 0x1f));
        g.fillRect (3.5f, 2.0f, w - 7.0f, 1.0f);
    }

    g.setColour (blackAlpha (0xb2));
    g.drawRoundedRectangle (area, corner, 1.0f);
}

juce::Font TazzleLookAndFeel::getTextButtonFont (juce::TextButton&, int) { return theme::nexa (12.0f); }

void TazzleLookAndFeel::drawToggleButton (juce::Graphics& g, juce::ToggleButton& button, bool highlighted, bool)
{
    const float d = juce::jmin (button.getWidth() - 4.0f, button.getHeight() - 4.0f);
    if (d <= 0.0f)
        return;

    const auto disc = juce::Rectangle<float> (d, d).withCentre (button.getLocalBounds().toFloat().getCentre());
    const auto led = button.findColour (juce::ToggleButton::tickColourId);
    const bool on = button.getToggleState();

    if (on)
    {
        g.setColour (led.withAlpha ((juce::uint8) 0x2e));
        g.fillEllipse (disc.expanded (5.0f));
        g.setColour (led.withAlpha ((juce::uint8) 0x38));
        g.fillEllipse (disc.expanded (2.0f));
    }

    g.setColour (blackAlpha (0x99));
    g.fillEllipse (disc.translated (0.0f, 1.5f));

    g.setGradientFill (theme::bezelGradient (disc));
    g.fillEllipse (disc);
    g.setColour (blackAlpha (0x99));
    g.drawEllipse (disc, 0.6f);

    const auto lens = disc.reduced (0.2f * d);
    g.setColour (juce::Colour (0xff050506));
    g.fillEllipse (lens.expanded (1.0f));

    const auto inner =
        on ? led.brighter (1.2f) : led.withMultipliedBrightness (0.3125f).withMultipliedSaturation (0.7f);
    const auto outer = on ? led.darker (0.2f) : juce::Colour (0xff0a0a0c);
    g.setGradientFill (juce::ColourGradient (inner, lens.getCentre(), outer, { lens.getCentreX(), lens.getY() }, true));
    g.fillEllipse (lens);

    const juce::uint8 specular = on ? 0xb2 : (highlighted ? 0x59 : 0x38);
    g.setColour (whiteAlpha (specular));
    g.fillEllipse (juce::Rectangle<float> (0.32f * lens.getWidth(), 0.24f * lens.getHeight())
                       .withCentre ({ lens.getX() + 0.36f * lens.getWidth(), lens.getY() + 0.30f * lens.getHeight() }));
}

juce::Font TazzleLookAndFeel::getPopupMenuFont() { return theme::nexa (14.0f); }

void TazzleLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool, int, int, int, int,
                                      juce::ComboBox& box)
{
    const float w = (float) width, h = (float) height;
    theme::drawScreen (g, { 0.5f, 0.5f, w - 1.0f, h - 1.0f }, 4.0f);

    const juce::Point<float> centre (w - 11.5f, h / 2.0f);
    juce::Path chevron;
    chevron.startNewSubPath (centre.x - 4.0f, centre.y - 2.0f);
    chevron.lineTo (centre.x, centre.y + 2.0f);
    chevron.lineTo (centre.x + 4.0f, centre.y - 2.0f);

    g.setColour (box.isMouseOver (true) ? theme::accent : theme::dimText);
    g.strokePath (chevron, juce::PathStrokeType (1.4f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

juce::Font TazzleLookAndFeel::getComboBoxFont (juce::ComboBox&) { return theme::nexa (12.0f); }

void TazzleLookAndFeel::positionComboBoxText (juce::ComboBox& box, juce::Label& label)
{
    label.setBounds (4, 1, box.getWidth() - 20, box.getHeight() - 2);
    label.setFont (theme::nexa (12.0f));
}

juce::Font TazzleLookAndFeel::getLabelFont (juce::Label& label) { return theme::nexa (label.getFont().getHeight()); }

void TazzleLookAndFeel::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                                          float, float, juce::Slider::SliderStyle, juce::Slider& slider)
{
    const juce::Rectangle<float> area ((float) x, (float) y, (float) width, (float) height);
    g.setColour (theme::background);
    g.fillRoundedRectangle (area, 3.0f);

    const bool bipolar = slider.getMinimum() < 0.0;
    const float zero = bipolar ? (float) slider.getPositionOfValue (0.0) : area.getX();
    const float left = juce::jmin (zero, sliderPos), right = juce::jmax (zero, sliderPos);

    if (right > left)
    {
        g.setColour (slider.findColour (juce::Slider::trackColourId));
        g.fillRoundedRectangle ({ left, area.getY(), right - left, area.getHeight() }, 3.0f);
    }

    g.setColour (theme::panelEdge.brighter (0.2f));
    g.drawRoundedRectangle (area.reduced (0.5f), 3.0f, 1.0f);

    if (bipolar)
    {
        g.setColour (theme::dimText.withAlpha ((juce::uint8) 0x80));
        g.fillRect ((float) juce::roundToInt (zero), area.getY() + 2.0f, 1.0f,
                    juce::jmax (0.0f, area.getHeight() - 4.0f));
    }

    const int value = juce::roundToInt (slider.getValue());
    g.setColour (theme::text);
    g.setFont (theme::nexa (11.0f));
    g.drawText ((slider.getValue() > 0.5 ? "+" : "") + juce::String (value) + " %", area, juce::Justification::centred,
                false);
}

void TazzleLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height, float proportion,
                                          float startAngle, float endAngle, juce::Slider& slider)
{
    const auto bounds = juce::Rectangle<int> (x, y, width, height).toFloat().reduced (4.0f);
    const auto c = bounds.getCentre();
    const float R = juce::jmin ((float) width - 8.0f, (float) height - 8.0f) / 2.0f - 2.0f;
    if (R <= 0.0f)
        return;

    const float angle = startAngle + proportion * (endAngle - startAngle);
    const auto fill = slider.findColour (juce::Slider::rotarySliderFillColourId);

    g.setColour (juce::Colour (0xff09090b));
    strokeArc (g, c, R, startAngle, endAngle, 3.0f);

    const bool bipolar = slider.getMinimum() < 0.0 && slider.getMaximum() > 0.0;
    const float origin = bipolar ? 0.5f * (startAngle + endAngle) : startAngle;
    if (std::abs (angle - origin) > 0.01f)
    {
        g.setColour (fill.withAlpha ((juce::uint8) 0x26));
        strokeArc (g, c, R, origin, angle, 5.0f);
        g.setColour (fill);
        strokeArc (g, c, R, origin, angle, 2.0f);
    }

    // Ticks, shadows and cap do not move with the value: drawn once per size into an image at the screen's scale.
    const float pixelScale = g.getInternalContext().getPhysicalPixelScaleFactor();
    const auto& face = dialFace (width, height, startAngle, endAngle, pixelScale);
    g.drawImageTransformed (face, juce::AffineTransform::scale (1.0f / pixelScale).translated ((float) x, (float) y));

    const float q = R - 8.0f;
    if (q <= 0.0f)
        return;

    g.setColour (blackAlpha (0xbf));
    strokeRadial (g, c, angle, 0.246f * q, 0.754f * q, 3.4f);
    g.setColour (juce::Colour (0xfff5f3ee));
    strokeRadial (g, c, angle, 0.246f * q, 0.754f * q, 1.8f);
}

const juce::Image& TazzleLookAndFeel::dialFace (int width, int height, float startAngle, float endAngle,
                                                float pixelScale)
{
    // Faces of one pixel scale at a time: a window resized through many scales keeps only the current one's.
    if (const int scale = juce::roundToInt (pixelScale * 100.0f); scale != dialFaceScale)
    {
        dialFaces.clear();
        dialFaceScale = scale;
    }

    const DialFaceKey key { width, height, juce::roundToInt (startAngle * 1000.0f),
                            juce::roundToInt (endAngle * 1000.0f) };
    if (auto found = dialFaces.find (key); found != dialFaces.end())
        return found->second;

    juce::Image image (juce::Image::ARGB, juce::jmax (1, juce::roundToInt ((float) width * pixelScale)),
                       juce::jmax (1, juce::roundToInt ((float) height * pixelScale)), true);
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale (pixelScale));

    const auto c = juce::Rectangle<float> ((float) width, (float) height).reduced (4.0f).getCentre();
    const float R = juce::jmin ((float) width - 8.0f, (float) height - 8.0f) / 2.0f - 2.0f;

    for (int j = 0; j <= 10; ++j)
    {
        const float tick = startAngle + (float) j / 10.0f * (endAngle - startAngle);
        const bool major = j % 5 == 0;
        g.setColour (whiteAlpha (major ? 0x80 : 0x38));
        strokeRadial (g, c, tick, R - 5.5f, major ? R - 2.5f : R - 3.5f, major ? 1.2f : 0.9f);
    }

    if (const float q = R - 8.0f; q > 0.0f)
    {
        g.setColour (blackAlpha (0x4c));
        g.fillEllipse (
            juce::Rectangle<float> (2.0f * q + 4.0f, 2.0f * q + 4.0f).withCentre (c.translated (1.5f, 3.5f)));
        g.setColour (blackAlpha (0x99));
        g.fillEllipse (
            juce::Rectangle<float> (2.0f * q + 1.2f, 2.0f * q + 1.2f).withCentre (c.translated (0.5f, 1.5f)));

        const int diameter = juce::roundToInt (2.0f * q);
        if (diameter > 7)
        {
            const auto& cap = knobCap (diameter);
            const auto square = juce::Rectangle<float> (2.0f * q, 2.0f * q).withCentre (c);
            g.drawImageTransformed (cap,
                                    juce::AffineTransform::scale (square.getWidth() / (float) cap.getWidth())
                                        .translated (square.getX(), square.getY()));
        }
    }

    return dialFaces.emplace (key, std::move (image)).first->second;
}

const juce::Image& TazzleLookAndFeel::knobCap (int diameter)
{
    if (auto found = knobCaps.find (diameter); found != knobCaps.end())
        return found->second;

    const float D = (float) diameter;
    juce::Image image (juce::Image::ARGB, 3 * diameter, 3 * diameter, true);
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale (3.0f));

    const juce::Rectangle<float> disc (0.0f, 0.0f, D, D);
    g.setGradientFill (theme::bezelGradient (disc));
    g.fillEllipse (disc.reduced (0.5f));
    g.setColour (blackAlpha (0x8c));
    g.drawEllipse (disc.reduced (0.8f), 0.7f);
    g.setColour (whiteAlpha (0x80));
    g.drawEllipse (disc.reduced (1.7f), 0.4f);

    const float rim = 0.09f * D;
    g.setColour (juce::Colour (0xff050506));
    g.fillEllipse (disc.reduced (rim));

    // Brushed top: a wedge per step of angle, lit like turned metal under two lights.
    const auto top = disc.reduced (rim + 1.2f);
    constexpr int wedges = 144;
    const float step = juce::MathConstants<float>::twoPi / (float) wedges;
    const juce::Colour dark (0xff0b0b0e), light (0xffb9b9c4);

    for (int i = 0; i < wedges; ++i)
    {
        const float t = (float) i * step;
        const float phi = t + 0.0218f + juce::MathConstants<float>::pi / 4.0f;
        const auto lobe = [phi] (float offset, float power)
        { return std::pow (juce::jmax (std::cos (phi - offset), 0.0f), power); };
        const float b = 0.05f + 0.62f * lobe (0.0f, 9.0f) + 0.28f * lobe (juce::MathConstants<float>::pi, 14.0f)
            + 0.1f * lobe (juce::MathConstants<float>::halfPi, 30.0f);

        juce::Path wedge;
        wedge.addPieSegment (top, t, t + step + 0.01f, 0.0f);
        g.setColour (dark.interpolatedWith (light, juce::jlimit (0.0f, 1.0f, b)));
        g.fillPath (wedge);
    }

    const auto dot = juce::Rectangle<float> (0.12f * D, 0.12f * D).withCentre (disc.getCentre());
    g.setGradientFill (
        juce::ColourGradient (whiteAlpha (0x66), dot.getCentre(), whiteAlpha (0), dot.getTopLeft(), true));
    g.fillEllipse (dot);

    g.setColour (blackAlpha (0x73));
    g.drawEllipse (top.reduced (0.6f), 1.2f);

    return knobCaps.emplace (diameter, std::move (image)).first->second;
}

juce::Label* TazzleLookAndFeel::createSliderTextBox (juce::Slider& slider)
{
    auto* label = LookAndFeel_V4::createSliderTextBox (slider);
    label->setFont (theme::nexa (11.0f));
    label->setColour (juce::Label::textColourId, theme::text.withAlpha ((juce::uint8) 0xcc));
    label->setColour (juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    label->setColour (juce::Label::outlineColourId, juce::Colours::transparentBlack);

    // A bar draws its value itself; its box shows only while a value is typed into it.
    if (slider.isBar())
    {
        label->setColour (juce::Label::textColourId, juce::Colours::transparentBlack);
        label->setColour (juce::TextEditor::textColourId, theme::text);
        label->setColour (juce::TextEditor::backgroundColourId, theme::background);
        label->setColour (juce::TextEditor::outlineColourId, theme::panelEdge.brighter (0.2f));
        label->setColour (juce::TextEditor::focusedOutlineColourId, theme::accent);
    }
    return label;
}

void TazzleLookAndFeel::drawCornerResizer (juce::Graphics& g, int w, int h, bool isMouseOver, bool isMouseDragging)
{
    const float fw = (float) w, fh = (float) h;
    const float size = juce::jmin (fw, fh);
    const auto grip = (isMouseOver || isMouseDragging ? theme::accent : theme::dimText).withAlpha ((juce::uint8) 0xcc);

    for (const float fraction : { 0.25f, 0.5f, 0.75f })
    {
        const float k = fraction * size;
        g.setColour (blackAlpha (0x99));
        g.drawLine (fw - k + 1.0f, fh, fw, fh - k + 1.0f, 1.5f);
        g.setColour (grip);
        g.drawLine (fw - k, fh, fw, fh - k, 1.2f);
    }
}
