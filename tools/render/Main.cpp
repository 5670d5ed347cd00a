#include <cstdio>
#include <iostream>

#include <unistd.h>

#include <juce_events/juce_events.h>

#include "Bench.h"
#include "DemoLoop.h"
#include "Options.h"
#include "Patch.h"
#include "Picture.h"
#include "Render.h"

namespace
{
using namespace tz::render;

constexpr int demoBars = 8;
constexpr double demoRate = 48000.0;
constexpr double progressAfterSeconds = 8.0; // shorter renders finish before a progress line helps

int fail (const Failure& failure)
{
    std::cerr << "tazzle-render: error: " << failure.message << std::endl;
    return failure.exitCode;
}

// A percentage on one self-overwriting line, only when someone is watching the terminal.
class ProgressLine
{
public:
    explicit ProgressLine (bool show) : enabled (show && isatty (fileno (stderr))) {}

    ~ProgressLine()
    {
        if (enabled && lastPercent >= 0)
            std::cerr << "\r" << std::string (40, ' ') << "\r" << std::flush;
    }

    void update (double fraction)
    {
        const int percent = (int) (fraction * 100.0);
        if (! enabled || percent == lastPercent)
            return;

        lastPercent = percent;
        std::cerr << "\rtazzle-render: rendering " << percent << "%" << std::flush;
    }

private:
    bool enabled;
    int lastPercent = -1;
};

juce::String describeLength (int numSamples, double sampleRate, double bpm)
{
    const double seconds = numSamples / sampleRate;
    const double bars = seconds * bpm / 60.0 / 4.0;
    const bool wholeBars = std::abs (bars - std::round (bars)) < 1.0e-6;
    return juce::String (seconds, 2) + " s (" + (wholeBars ? juce::String (juce::roundToInt (bars)) : juce::String (bars, 2))
           + " bars at " + juce::String (bpm, bpm == std::round (bpm) ? 0 : 2) + " BPM, "
           + juce::String (juce::roundToInt (sampleRate)) + " Hz)";
}

int renderCommand (const Options& options, const juce::File& workingDirectory)
{
    TazzleAudioProcessor processor;

    if (options.state != juce::File())
        if (const auto failure = applyState (processor, options.state))
            return fail (*failure);

    if (options.preset.isNotEmpty())
        if (const auto failure = applyPreset (processor, options.preset, workingDirectory))
            return fail (*failure);

    juce::StringArray warnings;
    if (const auto failure = applyOverrides (processor, options.overrides, warnings))
        return fail (*failure);

    for (const auto& warning : warnings)
        std::cerr << "tazzle-render: warning: " << warning << std::endl;

    // The source, at the render rate.
    LoadedAudio source;
    if (! options.usesDemoLoop())
        if (const auto failure = readAudioFile (options.input, source))
            return fail (*failure);

    const double sampleRate = options.sampleRate.value_or (options.usesDemoLoop() ? demoRate : source.sampleRate);
    const double samplesPerBar = sampleRate * 60.0 / options.bpm * 4.0;

    if (! options.usesDemoLoop() && sampleRate != source.sampleRate)
        source.samples = resample (source.samples, source.sampleRate, sampleRate);

    int length = source.samples.getNumSamples();
    if (options.bars)
        length = (int) std::lround (*options.bars * samplesPerBar);
    else if (options.seconds)
        length = (int) std::lround (*options.seconds * sampleRate);
    else if (options.usesDemoLoop())
        length = (int) std::lround (demoBars * samplesPerBar);

    if (length < 1)
        return fail ({ "the render would be empty; give a longer --seconds", tz::render::exitUsage });

    const auto input = options.usesDemoLoop() ? synthesiseDemoLoop (sampleRate, options.bpm, length)
                                              : withLength (source.samples, length);

    if (const auto failure = checkOutputPath (options.output, options.input))
        return fail (*failure);

    if (options.png != juce::File())
    {
        if (options.png == options.output)
            return fail ({ "--png and --out name the same file", tz::render::exitOutput });
        if (const auto failure = checkOutputPath (options.png, options.input))
            return fail (*failure);
    }

    HostSettings settings;
    settings.sampleRate = sampleRate;
    settings.bpm = options.bpm;
    settings.blockSize = options.blockSize;
    settings.compensateLatency = options.compensateLatency;

    Rendering rendering;
    {
        ProgressLine progress (length / sampleRate > progressAfterSeconds);
        rendering = renderThrough (processor, input, settings, [&progress] (double done) { progress.update (done); });
    }

    if (const auto failure = writeWav (options.output, rendering.output, sampleRate))
        return fail (*failure);

    const auto levels = measureLevels (rendering.output);
    auto presetName = processor.getPresetName();
    if (! options.overrides.empty())
        presetName << " (+" << (int) options.overrides.size() << " set)";

    juce::String written = options.output.getFullPathName();

    if (options.png != juce::File())
    {
        const auto title = presetName + "  -  " + (options.usesDemoLoop() ? juce::String ("demo loop")
                                                                          : options.input.getFileName());
        const PictureContent content { input, rendering.output, sampleRate, options.bpm, title };
        const auto image = drawPicture (content);
        if (const auto failure = writePng (options.png, image))
            return fail (*failure);
        written << ", " << options.png.getFullPathName();
    }

    if (levels.peakDb > 0.0f)
        std::cerr << "tazzle-render: warning: the output peaks above 0 dBFS and clips in the 24-bit file" << std::endl;

    std::cout << presetName << ": " << describeLength (length, sampleRate, options.bpm) << ", peak "
              << formatDb (levels.peakDb) << ", RMS " << formatDb (levels.rmsDb) << ", latency " << rendering.latency
              << " samples " << (options.compensateLatency ? "(compensated)" : "(kept)") << " -> " << written
              << std::endl;

    return tz::render::exitOk;
}
} // namespace

int main (int argc, char* argv[])
{
    // Parameter trees and fonts want the message manager; nothing here opens a window.
    const juce::ScopedJuceInitialiser_GUI juceInitialiser;

    const auto workingDirectory = juce::File::getCurrentWorkingDirectory();
    Options options;

    if (const auto failure = parseArguments (juce::StringArray (argv + 1, argc - 1), workingDirectory, options))
        return fail (*failure);

    if (options.help)
    {
        std::cout << usageText();
        return tz::render::exitOk;
    }

    if (options.list)
    {
        std::cout << presetListing();
        return tz::render::exitOk;
    }

    if (options.bench)
        return runBench (options);

    return renderCommand (options, workingDirectory);
}
