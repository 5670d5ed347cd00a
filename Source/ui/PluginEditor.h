#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/PluginProcessor.h"
#include "ui/MainPanel.h"
#include "ui/WindowSize.h"
#include "ui/theme/TazzleLookAndFeel.h"

// The window: owns the look and feel and the scale, and keeps the main panel in step with the processor.
class TazzleAudioProcessorEditor : public juce::AudioProcessorEditor, private juce::Timer
{
public:
    explicit TazzleAudioProcessorEditor (TazzleAudioProcessor& processor);
    ~TazzleAudioProcessorEditor() override;

    void resized() override;
    // A click anywhere gives the window the keyboard, unless a control inside took it.
    void mouseDown (const juce::MouseEvent&) override;
    // Tab from the window itself enters its controls; every other key it leaves to the host.
    bool keyPressed (const juce::KeyPress&) override;
    std::unique_ptr<juce::ComponentTraverser> createKeyboardFocusTraverser() override;

    // Resizes the window to the design size times `scale` (clamped), keeping its position.
    void setScale (float scale);

    MainPanel& getMainPanel() noexcept { return mainPanel; }
    TazzleLookAndFeel& getTazzleLookAndFeel() noexcept { return lookAndFeel; }

private:
    void timerCallback() override;

    TazzleAudioProcessor& processor;
    TazzleLookAndFeel lookAndFeel;
    // Before the panel: its preset bar looks for the current preset's file as it is built.
    const bool factoryPresetsInstalled = TazzleAudioProcessor::installFactoryPresets();
    MainPanel mainPanel;
    juce::TooltipWindow tooltipWindow { this, 600 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TazzleAudioProcessorEditor)
};
