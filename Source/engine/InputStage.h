#pragma once

#include <array>

#include "core/ChunkSize.h"
#include "core/GainRamp.h"
#include "core/LatencyDelay.h"

namespace tz
{

// The head of the chunk loop: makes the host's input safe, applies the input gain, and keeps two dry copies,
// both delayed by the plug-in latency so that they line up with the processed signal: the raw input, for the
// crossfade out of a bypass, and the input after its gain, for the mix.
class InputStage
{
public:
    void prepare (double sampleRate, int latencySamples);
    void reset() noexcept { gainRamp.reset(); }
    void clearMixDelay() noexcept { mixDelay.clear(); }

    // `present` are the host's channels (up to two), of which the first `numChannels` are processed.
    void process (float* const* present, int numPresent, int numChannels, int numSamples, float inputGainDb) noexcept;

    // Bypassed, the input passes made safe and delayed by the latency, so that nothing jumps on the way back in.
    void processBypassed (float* const* channels, int numPresent, int numSamples) noexcept;

    const float* rawDry (int channel) const noexcept { return rawDryChunk[(size_t) channel].data(); }
    const float* mixDry (int channel) const noexcept { return mixDryChunk[(size_t) channel].data(); }

private:
    using Chunk = std::array<float, chunkSize>;

    double gainCoef = 0.0;
    GainRamp gainRamp;
    LatencyDelay bypassDelay, mixDelay;
    std::array<Chunk, 2> rawDryChunk {}, mixDryChunk {};
};

// NaN or infinity from a broken upstream plug-in would poison every filter and buffer downstream.
void replaceNonFinite (float* samples, int numSamples) noexcept;

// A gain that stays put over the chunk: the same products as the per-sample ramp gives, and none at unity.
void applyGain (float* const* channels, int numChannels, int numSamples, float gain) noexcept;

} // namespace tz
