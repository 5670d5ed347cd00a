#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class TazzleAudioProcessor;

// The page of the four modulators: tabs, the selected modulator's controls and step editor, its targets.
class ModulatorSection : public juce::Component
{
public:
    explicit ModulatorSection (TazzleAudioProcessor& processor);

    int getSelectedModulator() const noexcept { return selected; }
    void selectModulator (int modulator);
    void buildControls();
    void repaintTabs();
    void refresh();

private:
    TazzleAudioProcessor& processor;
    int selected = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ModulatorSection)
};
