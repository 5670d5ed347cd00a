// Time to paint the whole plug-in window once, offscreen, at scale 1.0 (1600 x 820 pixels): what a full
// repaint costs the host's message thread.

#include <benchmark/benchmark.h>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/PluginEditor.h"

namespace
{
void paintWholeWindow (benchmark::State& state)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    TazzleAudioProcessor processor;
    processor.getParameterState().state.setProperty (tz::stateIds::uiScale, 1.0, nullptr);
    TazzleAudioProcessorEditor editor (processor);
    editor.getMainPanel().refresh();

    juce::Image frame (juce::Image::ARGB, editor.getWidth(), editor.getHeight(), true);
    // The first paint builds the textures and knob caps; frames after it are what a host sees.
    {
        juce::Graphics g (frame);
        editor.paintEntireComponent (g, true);
    }

    for (auto _ : state)
    {
        juce::Graphics g (frame);
        editor.paintEntireComponent (g, true);
        benchmark::DoNotOptimize (frame.getPixelAt (0, 0));
    }
}
} // namespace

BENCHMARK (paintWholeWindow)->Unit (benchmark::kMillisecond)->MinTime (1.0);
