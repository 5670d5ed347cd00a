#include "Bench.h"

#include <ctime>
#include <functional>
#include <iostream>

#include "DemoLoop.h"
#include "Patch.h"
#include "Render.h"

namespace tz::render
{

namespace
{
    constexpr double benchSeconds = 60.0;
    constexpr double benchRate = 48000.0;

    // Sets the processor up and says what it is running.
    using BenchCase = std::function<juce::String (TazzleAudioProcessor&)>;

    // The most work the engine can be asked for: every slot on, the drive folding at full amount, the densest and
    // longest pitched grains fully wet, and a pitched stutter that holds freely.
    juce::String heaviestSettings (TazzleAudioProcessor& processor)
    {
        processor.resetToInit();

        for (const auto& effect : effectParams)
            processor.setValue (effect.on, 1.0f);

        processor.setValue (grainDensity, 60.0f);
        processor.setValue (grainSize, 500.0f);
        processor.setValue (grainPitch, 24.0f);
        processor.setValue (grainMix, 100.0f);
        processor.setValue (driveType, 2.0f);
        processor.setValue (driveAmount, 100.0f);
        processor.setValue (stutterPitch, 12.0f);
        processor.setValue (stutterHold, 0.0f);
        return "every effect at its heaviest";
    }
} // namespace

int runBench (const Options& options)
{
    HostSettings settings;
    settings.sampleRate = benchRate;
    settings.bpm = options.bpm;
    settings.blockSize = options.blockSize;

    const auto input = synthesiseDemoLoop (benchRate, options.bpm, (int) (benchSeconds * benchRate));

    const std::vector<BenchCase> cases {
        [] (TazzleAudioProcessor& p)
        {
            p.resetToInit();
            return juce::String ("init patch");
        },
        [] (TazzleAudioProcessor& p) { return "welcome preset (" + p.getPresetName() + ")"; },
        heaviestSettings,
    };

    std::cout << "tazzle-render --bench: " << benchSeconds << " s of the demo loop at " << benchRate << " Hz, stereo, "
              << settings.blockSize << "-sample blocks, " << options.bpm << " BPM\n";

    for (const auto& benchCase : cases)
    {
        TazzleAudioProcessor processor;
        const auto label = benchCase (processor);

        const auto started = std::clock();
        renderThrough (processor, input, settings);
        const double cpuSeconds = (double) (std::clock() - started) / CLOCKS_PER_SEC;

        std::cout << "  " << label.paddedRight (' ', 40) << juce::String (1000.0 * cpuSeconds / benchSeconds, 2)
                  << " ms CPU per s of audio, " << juce::String (benchSeconds / juce::jmax (cpuSeconds, 1.0e-9), 1)
                  << "x real time\n";
    }

    return exitOk;
}

} // namespace tz::render
