#include <cstdio>
#include <iostream>

#include <unistd.h>

#include <juce_events/juce_events.h>

#include "Bench.h"
#include "EditorPicture.h"
#include "Materials.h"
#include "Options.h"
#include "Patch.h"
#include "Picture.h"
#include "Render.h"

namespace
{
using namespace tz::render;

constexpr int materialBars = 8;
constexpr double materialRate = 48000.0;
constexpr double progressAfterSeconds = 8.0; // shorter renders finish before a progress line helps
constexpr double maxRenderSeconds = 3600.0;

int fail (const Failure& failure)
{
    std::cerr << "tazzle-render: error: " << failure.message << std::endl;
    return failure.exitCode;
}

// A percentage on one self-overwriting line, only when someone is watching the terminal.
class ProgressLine
{
public:
    explicit ProgressLine (bool show)
        : enabled (show && isatty (fileno (stderr)))
    {
    }

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
    return juce::String (seconds, 2) + " s ("
        + (wholeBars ? juce::String (juce::roundToInt (bars)) : juce::String (bars, 2)) + " bars at "
        + juce::String (bpm, bpm == std::round (bpm) ? 0 : 2) + " BPM, " + juce::String (juce::roundToInt (sampleRate))
        + " Hz)";
}

// State, then preset, then the single parameters on top; warnings go straight to stderr.
std::optional<Failure> setUpPatch (TazzleAudioProcessor& processor, const Options& options,
                                   const juce::File& workingDirectory)
{
    if (options.state != juce::File())
        if (auto failure = applyState (processor, options.state))
            return failure;

    if (options.preset.isNotEmpty())
        if (auto failure = applyPreset (processor, options.preset, workingDirectory))
            return failure;

    juce::StringArray warnings;
    auto failure = applyOverrides (processor, options.overrides, warnings);

    for (const auto& warning : warnings)
        std::cerr << "tazzle-render: warning: " << warning << std::endl;

    return failure;
}

std::optional<Failure> checkOutputs (const Options& options)
{
    if (auto failure = checkOutputPath (options.output, options.input))
        return failure;

    const std::pair<const juce::File&, const char*> pictures[] = { { options.png, "--png" }, { options.ui, "--ui" } };

    for (const auto& [picture, option] : pictures)
    {
        if (picture == juce::File())
            continue;

        if (picture == options.output)
            return Failure { juce::String (option) + " and --out name the same file", exitOutput };

        if (auto failure = checkOutputPath (picture, options.input))
            return failure;
    }

    if (options.png != juce::File() && options.png == options.ui)
        return Failure { "--png and --ui name the same file", exitOutput };

    return std::nullopt;
}

struct Source
{
    juce::AudioBuffer<float> audio; // two channels at the render rate, of the render length
    double sampleRate = 0.0;
};

// A generated material, or the input file at the render rate, cut or padded to the asked length.
std::optional<Failure> prepareSource (const Options& options, Source& source)
{
    LoadedAudio file;
    if (! options.usesMaterial())
        if (auto failure = readAudioFile (options.input, file))
            return failure;

    if (auto failure = checkOutputs (options))
        return failure;

    source.sampleRate = options.sampleRate.value_or (options.usesMaterial() ? materialRate : file.sampleRate);
    const double samplesPerBar = source.sampleRate * 60.0 / options.bpm * 4.0;

    double samples = file.samples.getNumSamples() * source.sampleRate / juce::jmax (1.0, file.sampleRate);
    if (options.bars)
        samples = *options.bars * samplesPerBar;
    else if (options.seconds)
        samples = *options.seconds * source.sampleRate;
    else if (options.usesMaterial())
        samples = materialBars * samplesPerBar;

    // Input and output are held in memory; an hour of stereo is already well over a gigabyte.
    if (samples > maxRenderSeconds * source.sampleRate)
        return Failure { "renders are limited to one hour; give a shorter --bars or --seconds", exitUsage };

    const int length = (int) std::lround (samples);
    if (length < 1)
        return Failure { "the render would be empty; give a longer --seconds", exitUsage };

    if (options.usesMaterial())
        source.audio = synthesiseMaterial (options.chosenMaterial(), source.sampleRate, options.bpm, length);
    else if (file.sampleRate != source.sampleRate)
        source.audio = withLength (resample (file.samples, file.sampleRate, source.sampleRate), length);
    else
        source.audio = withLength (file.samples, length);

    return std::nullopt;
}

int renderCommand (const Options& options, const juce::File& workingDirectory)
{
    TazzleAudioProcessor processor;
    Source source;

    if (const auto failure = setUpPatch (processor, options, workingDirectory))
        return fail (*failure);

    if (const auto failure = prepareSource (options, source))
        return fail (*failure);

    HostSettings settings;
    settings.sampleRate = source.sampleRate;
    settings.bpm = options.bpm;
    settings.blockSize = options.blockSize;
    settings.compensateLatency = options.compensateLatency;

    const int length = source.audio.getNumSamples();
    Rendering rendering;
    {
        ProgressLine progress (length / source.sampleRate > progressAfterSeconds);
        rendering =
            renderThrough (processor, source.audio, settings, [&progress] (double done) { progress.update (done); });
    }

    if (const auto failure = writeWav (options.output, rendering.output, source.sampleRate))
        return fail (*failure);

    auto presetName = processor.getPresetName();
    if (! options.overrides.empty())
        presetName << " (+" << (int) options.overrides.size() << " set)";

    juce::String written = options.output.getFullPathName();

    if (options.png != juce::File())
    {
        const auto title = presetName + "  -  "
            + (options.usesMaterial() ? materialDescription (options.chosenMaterial()) : options.input.getFileName());
        const PictureContent content { source.audio, rendering.output, source.sampleRate, options.bpm, title };
        if (const auto failure = writePng (options.png, drawPicture (content)))
            return fail (*failure);
        written << ", " << options.png.getFullPathName();
    }

    if (options.ui != juce::File())
    {
        if (const auto failure = writePng (
                options.ui, drawEditor (processor, options.uiScale, options.uiPage.value_or (EditorPage::modulators))))
            return fail (*failure);
        written << ", " << options.ui.getFullPathName();
    }

    const auto levels = measureLevels (rendering.output);
    if (levels.peakDb > 0.0f)
        std::cerr << "tazzle-render: warning: the output peaks above 0 dBFS and clips in the 24-bit file" << std::endl;

    std::cout << presetName << ": " << describeLength (length, source.sampleRate, options.bpm) << ", peak "
              << formatDb (levels.peakDb) << ", RMS " << formatDb (levels.rmsDb) << ", latency " << rendering.latency
              << " samples " << (options.compensateLatency ? "(compensated)" : "(kept)") << " -> " << written
              << std::endl;

    return exitOk;
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
        return exitOk;
    }

    if (options.packToInstall != juce::File())
    {
        juce::String report;
        if (const auto failure = installPack (options.packToInstall, report))
            return fail (*failure);
        std::cout << report << std::endl;
        return exitOk;
    }

    if (options.list)
    {
        std::cout << presetListing();
        return exitOk;
    }

    if (options.bench)
        return runBench (options);

    return renderCommand (options, workingDirectory);
}
