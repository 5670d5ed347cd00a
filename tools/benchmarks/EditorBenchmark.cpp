// What the editor costs the host's message thread, offscreen at scale 1.0 (1600 x 820 pixels):
// - paintWholeWindow: one full repaint;
// - one_second_of_refreshes: one second of playback as the window sees it, thirty refreshes with the engine's
//   published values moving as the welcome preset plays, each followed by painting what it invalidated. The time
//   per iteration is the editor's CPU time per second of playback (50 ms = 5 % of a core).

#include <benchmark/benchmark.h>

#include <juce_audio_processors/juce_audio_processors.h>

#include "PlayingHead.h"
#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/PluginEditor.h"

namespace
{
void paintWholeWindow (benchmark::State& state)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    TazzleAudioProcessor processor;
    processor.setUiScale (1.0);
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

// Collects what the window's components ask to have drawn again, as a window's peer would.
struct Invalidations : juce::CachedComponentImage
{
    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { return invalidate ({ 0, 0, 1 << 16, 1 << 16 }); }
    bool invalidate (const juce::Rectangle<int>& area) override
    {
        dirty.add (area);
        return true;
    }
    void releaseResources() override {}

    juce::RectangleList<int> dirty;
};

void oneSecondOfRefreshes (benchmark::State& state, bool gridPage)
{
    constexpr double sampleRate = 48000.0;
    constexpr int samplesPerFrame = 1600; // a thirtieth of a second

    const juce::ScopedJuceInitialiser_GUI juce;
    TazzleAudioProcessor processor;
    processor.setUiScale (1.0);
    PlayingHead host;
    processor.setPlayHead (&host);
    processor.setPlayConfigDetails (2, 2, sampleRate, samplesPerFrame);
    processor.prepareToPlay (sampleRate, samplesPerFrame);
    juce::AudioBuffer<float> audio (2, samplesPerFrame);
    juce::MidiBuffer midi;
    juce::Random noise (7);

    TazzleAudioProcessorEditor editor (processor);
    if (gridPage)
        editor.getMainPanel().getGridTab().onClick();
    editor.setVisible (true); // as in a window: hidden components ask for nothing
    auto* invalidations = new Invalidations();
    editor.setCachedComponentImage (invalidations);

    juce::Image frame (juce::Image::ARGB, editor.getWidth(), editor.getHeight(), true);
    const auto play = [&]
    {
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < samplesPerFrame; ++i)
                audio.setSample (ch, i, 0.2f * (noise.nextFloat() - 0.5f));
        processor.processBlock (audio, midi);
        host.ppq += samplesPerFrame / sampleRate * 2.0;
    };
    const auto refreshAndPaint = [&]
    {
        editor.getMainPanel().refresh();
        if (! invalidations->dirty.isEmpty())
        {
            juce::Graphics g (frame);
            g.reduceClipRegion (invalidations->dirty);
            editor.paintEntireComponent (g, true);
            invalidations->dirty.clear();
        }
    };

    // A second to build the caches and let the trails fill, as after the window opened.
    for (int i = 0; i < 30; ++i)
    {
        play();
        refreshAndPaint();
    }

    // Only the editor's part is timed.
    for (auto _ : state)
    {
        for (int i = 0; i < 30; ++i)
        {
            state.PauseTiming();
            play();
            state.ResumeTiming();
            refreshAndPaint();
        }
    }
    benchmark::DoNotOptimize (frame.getPixelAt (0, 0));
}
} // namespace

BENCHMARK (paintWholeWindow)->Unit (benchmark::kMillisecond)->MinTime (1.0);
BENCHMARK_CAPTURE (oneSecondOfRefreshes, modulators_page, false)->Unit (benchmark::kMillisecond)->MinTime (1.0);
BENCHMARK_CAPTURE (oneSecondOfRefreshes, grid_page, true)->Unit (benchmark::kMillisecond)->MinTime (1.0);
