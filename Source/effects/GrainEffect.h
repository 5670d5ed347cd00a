#pragma once

#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/RecordBuffer.h"

namespace tz
{

// Granular cloud drawn from the recent input. Turns the chunk into its pure wet signal; the slot mixes.
class GrainEffect
{
public:
    static constexpr double bufferSeconds = 4.0;

    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;
    void process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

    // Keeps the capture buffer current while the effect sleeps.
    void record (const float* const* channels, int numChannels, int numSamples) noexcept;

    const RecordBuffer& buffer() const noexcept { return recordBuffer; }

private:
    double sampleRate = 44100.0;
    RecordBuffer recordBuffer;
};

} // namespace tz
