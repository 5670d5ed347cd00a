#include "ui/IconButton.h"

#include <cmath>
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
            case Icon::undo:
            case Icon::redo:
            {
                // A hooked arrow: the head at the left, the shaft turning back under itself on the right.
                Stroke shaft { { 0, 2 } };
                for (int i = 0; i <= 8; ++i)
                {
                    const float angle = juce::MathConstants<float>::pi * (float) i / 8.0f;
                    shaft.push_back ({ 6.0f + 3.0f * std::sin (angle), 5.0f - 3.0f * std::cos (angle) });
                }
                shaft.push_back ({ 3, 8 });
                std::vector<Stroke> strokes { { { 3, -1 }, { 0, 2 }, { 3, 5 } }, shaft };
                if (icon == Icon::redo)
                    for (auto& stroke : strokes)
                        for (auto& point : stroke)
                            point.x = 9.0f - point.x;
                return strokes;
            }
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
