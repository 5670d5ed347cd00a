#pragma once

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
    void process (float* const* channels, float* const* dry, int numChannels, int numSamples,
                  const ParamValues& values, const Transport& transport) noexcept;

    // While asleep the chunk still passes through the latency delay.
    void delayOnly (float* const* channels, int numChannels, int numSamples) noexcept;

    // Whole samples of latency the oversampling adds, fixed by prepare.
    int latencySamples() const noexcept { return latency; }

private:
    double sampleRate = 44100.0;
    int latency = 0;
};

} // namespace tz
