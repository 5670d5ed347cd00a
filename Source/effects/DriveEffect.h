#pragma once

#include <array>

#include "core/ChunkSize.h"
#include "core/GainRamp.h"
#include "core/LatencyDelay.h"
#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/SimdSupport.h"
#include "effects/StereoOversampler.h"

namespace tz
{

// Oversampled waveshaper (soft, hard, fold, tube) with tone. It delays the signal by its oversampling
// latency whether on or off, so switching it never shifts the audio.
class DriveEffect
{
public:
    void prepare (double sampleRate, int numChannels);
    // Clears the shaper's state on waking; the latency delay runs on, so the signal's delay never jumps.
    void reset() noexcept;
    // A clean start (a preset switch) also drops what the latency delay holds of the old patch.
    void clearLatencyDelay() noexcept { latencyDelay.clear(); }

    // Turns the chunk wet and replaces `dry` with the latency-delayed input, so the slot's mix stays aligned.
    void process (float* const* channels, float* const* dry, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

    // While asleep the chunk still passes through the latency delay.
    void delayOnly (float* const* channels, int numChannels, int numSamples) noexcept;

    // Whole samples of latency the oversampling adds, fixed by prepare.
    int latencySamples() const noexcept { return latency; }

    // The drive's hot loop: `count` oversampled samples shaped in place by curve `curve` (a drive_type index) at
    // a steady gain and norm, eight at a time on AVX2. Every path gives the same samples, bit for bit.
    static void shapeSteadily (int curve, float* samples, int count, float gain, float norm,
                               SimdPath path = SimdPath::best) noexcept;

private:
    static constexpr int maxChannels = 2;

    void processPiece (float* const* channels, int numChannels, int numSamples, const ParamValues& values) noexcept;

    template <int curve>
    void shapeFrames (float* frames, int numFrames) noexcept;

    float toneCoefficientFor (float tone) const noexcept;
    void applyTone (float* const* channels, int numChannels, int numSamples, float toneTarget, bool tube) noexcept;

    double sampleRate = 44100.0;
    int latency = 0;
    LatencyDelay latencyDelay;

    StereoOversampler oversampler;
    bool prepared = false;

    LinearRamp amountDb; // per oversampled sample
    LinearRamp toneCoef; // per base-rate sample
    std::array<float, maxChannels> toneState {};
    std::array<float, maxChannels> dcBlockerState {};
    std::array<float, maxChannels> dcBlockerInput {};
};

} // namespace tz
