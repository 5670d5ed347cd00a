#pragma once

#include <functional>
#include <optional>

#include <juce_audio_processors/juce_audio_processors.h>

#include "Options.h"
#include "core/PluginProcessor.h"

namespace tz::render
{

struct HostSettings
{
    double sampleRate = 48000.0;
    double bpm = 120.0;
    int blockSize = 512;
    bool compensateLatency = true;
};

// The transport of an offline host: playing from bar 1 in 4/4 at a fixed tempo.
class OfflinePlayHead : public juce::AudioPlayHead
{
public:
    OfflinePlayHead (double sampleRate, double bpm)
        : rate (sampleRate)
        , tempo (bpm)
    {
    }

    void setSamplePosition (juce::int64 position) noexcept { samplePosition = position; }
    juce::Optional<PositionInfo> getPosition() const override;

private:
    double rate, tempo;
    juce::int64 samplePosition = 0;
};

struct Rendering
{
    juce::AudioBuffer<float> output; // as long as the input
    int latency = 0;                 // what the processor reported after prepareToPlay
};

// Prepares the processor as a host does and runs `input` (two channels) through it block by block. With latency
// compensation it runs `latency` samples of silence more and drops as many from the head, as a host's delay
// compensation would. `onProgress` gets the done fraction after every block.
Rendering renderThrough (TazzleAudioProcessor& processor, const juce::AudioBuffer<float>& input,
                         const HostSettings& settings, const std::function<void (double)>& onProgress = {});

//==============================================================================
struct LoadedAudio
{
    juce::AudioBuffer<float> samples; // always two channels: mono is copied to both
    double sampleRate = 0.0;
};

std::optional<Failure> readAudioFile (const juce::File& file, LoadedAudio& audio);

// Band-limited rate conversion for inputs that do not match the render rate.
juce::AudioBuffer<float> resample (const juce::AudioBuffer<float>& source, double fromRate, double toRate);

// Cuts `source` or pads it with silence to `numSamples`.
juce::AudioBuffer<float> withLength (const juce::AudioBuffer<float>& source, int numSamples);

// Refuses an output that would replace the input or that cannot be written, before any work is done.
std::optional<Failure> checkOutputPath (const juce::File& output, const juce::File& input);

// Writes a 24-bit WAV next to `target` and moves it over the target only once it is complete.
std::optional<Failure> writeWav (const juce::File& target, const juce::AudioBuffer<float>& audio, double sampleRate);

//==============================================================================
struct Levels
{
    float peakDb = -std::numeric_limits<float>::infinity();
    float rmsDb = -std::numeric_limits<float>::infinity();
};

Levels measureLevels (const juce::AudioBuffer<float>& audio);

juce::String formatDb (float db);

} // namespace tz::render
