#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class TazzleAudioProcessor;

// The step grid page: one row per effect in chain order.
class GridView : public juce::Component
{
public:
    explicit GridView (TazzleAudioProcessor& p)
        : processor (p)
    {
    }

private:
    [[maybe_unused]] TazzleAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GridView)
};
