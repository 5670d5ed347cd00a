#pragma once

#include <array>
#include <memory>

#include <juce_dsp/juce_dsp.h>

#include "core/LatencyDelay.h"
#include "core/Parameters.h"
#include "core/Transport.h"

namespace tz
{

// Oversampled waveshaper (soft, hard, fold, tube) with tone. It delays the signal by its oversampling
// latency whether on or off, so switching it never shifts the audio.
class DriveEffect
{
public:
    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;

    // Turns the chunk wet and replaces `dry` with the latency-delayed input, so the slot's mix stays aligned.
    void process (float* const* channels, float* const* dry, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

    // While asleep the chunk still passes through the latency delay.
    void delayOnly (float* const* channels, int numChannels, int numSamples) noexcept;

    // Whole samples of latency the oversampling adds, fixed by prepare.
    int latencySamples() const noexcept { return latency; }

private:
    static constexpr int maxChannels = 2;
    static constexpr int maxChunk = 32;

    // A value moved linearly across a chunk, landing on its target at the chunk's last sample.
    struct LinearRamp
    {
        float current = 0.0f;
        float step = 0.0f;
        bool primed = false;

        void beginChunk (float target, int numSamples) noexcept
        {
            if (! primed)
            {
                current = target;
                primed = true;
            }
            step = (target - current) / (float) numSamples;
        }

        float next() noexcept { return current += step; }
    };

    void processPiece (float* const* channels, int numChannels, int numSamples, const ParamValues& values) noexcept;

    template <int curve>
    void shapeOversampled (juce::dsp::AudioBlock<float>& block) noexcept;

    float toneCoefficientFor (float tone) const noexcept;
    void applyTone (float* const* channels, int numChannels, int numSamples, float toneTarget, bool tube) noexcept;

    double sampleRate = 44100.0;
    int latency = 0;
    LatencyDelay latencyDelay;

    std::unique_ptr<juce::dsp::Oversampling<float>> oversampler;
    juce::AudioBuffer<float> work; // the oversampler always sees the channel count it was built for

    LinearRamp amountDb; // per oversampled sample
    LinearRamp toneCoef; // per base-rate sample
    std::array<float, maxChannels> toneState {};
    std::array<float, maxChannels> dcBlockerState {};
    std::array<float, maxChannels> dcBlockerInput {};
};

} // namespace tz
