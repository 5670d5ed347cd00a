#pragma once

#include "core/Parameters.h"
#include "core/Transport.h"

namespace tz
{

// Room reverb. Turns the chunk into its pure wet signal; the slot mixes.
class ReverbEffect
{
public:
    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;
    void process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

private:
    double sampleRate = 44100.0;
};

} // namespace tz
