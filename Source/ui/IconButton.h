#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The small arrow and fold buttons of the effect panels, and undo and redo: a button body with a glyph.
class IconButton : public juce::Button
{
public:
    enum class Icon
    {
        earlier,
        later,
        fold,
        unfold,
        undo,
        redo
    };

    IconButton (Icon icon, const juce::String& tooltip);

    void setIcon (Icon newIcon);
    Icon getIcon() const noexcept { return icon; }

    void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

private:
    Icon icon;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (IconButton)
};
