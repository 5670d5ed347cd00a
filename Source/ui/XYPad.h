#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class TazzleAudioProcessor;

// The performance pad: X sets the modulators' speed, Y their intensity.
class XYPad : public juce::Component
{
public:
    explicit XYPad (TazzleAudioProcessor& p)
        : processor (p)
    {
    }

    void refresh() {}

private:
    [[maybe_unused]] TazzleAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (XYPad)
};
