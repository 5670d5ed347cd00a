#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class TazzleAudioProcessor;

// Browses, loads, saves and stars presets.
class PresetBar : public juce::Component
{
public:
    explicit PresetBar (TazzleAudioProcessor& p)
        : processor (p)
    {
    }

    void refresh() {}

private:
    [[maybe_unused]] TazzleAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetBar)
};
