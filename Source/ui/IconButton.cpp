#include "ui/IconButton.h"

#include <vector>

#include "ui/theme/Theme.h"

IconButton::IconButton (Icon initialIcon, const juce::String& tooltip)
    : juce::Button ({})
    , icon (initialIcon)
{
    setTooltip (tooltip);
}

void IconButton::setIcon (Icon newIcon)
{
    if (icon != newIcon)
    {
        icon = newIcon;
        repaint();
    }
}

void IconButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    getLookAndFeel().drawButtonBackground (g, *this, findColour (juce::TextButton::buttonColourId), highlighted, down);

    using Stroke = std::vector<juce::Point<float>>;
    const auto glyphs = [this]() -> std::vector<Stroke>
    {
        switch (icon)
        {
            case Icon::earlier:
                return { { { 6, 0 }, { 1.5f, 4 }, { 6, 8 } } };
            case Icon::later:
                return { { { 2, 0 }, { 6.5f, 4 }, { 2, 8 } } };
            case Icon::fold:
                return { { { -1, 0 }, { 3, 4 }, { -1, 8 } }, { { 9, 0 }, { 5, 4 }, { 9, 8 } } };
            case Icon::unfold:
                return { { { 2, 0 }, { -2, 4 }, { 2, 8 } }, { { 6, 0 }, { 10, 4 }, { 6, 8 } } };
        }
        return {};
    }();

    const juce::Point<float> origin ((float) ((getWidth() - 8) / 2), (float) ((getHeight() - 8) / 2));
    juce::Path path;
    for (const auto& stroke : glyphs)
    {
        auto point = stroke.begin();
        path.startNewSubPath (origin + *point);
        while (++point != stroke.end())
            path.lineTo (origin + *point);
    }

    const auto colour = ! isEnabled() ? tz::theme::dimText.withAlpha ((juce::uint8) 0x4c)
        : highlighted                 ? tz::theme::text
                                      : tz::theme::text.withAlpha ((juce::uint8) 0xa6);
    g.setColour (colour);
    g.strokePath (path, juce::PathStrokeType (1.5f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}
