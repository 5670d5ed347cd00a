#pragma once

#include "core/GainRamp.h"
#include "core/Parameters.h"
#include "core/Transport.h"

namespace tz
{

// Level and linear balance: panning turns the far side down and leaves the near side at unity.
// Turns the chunk into its pure wet signal.
class VolumeEffect
{
public:
    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;
    void process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

private:
    double sampleRate = 44100.0;
    double smoothCoef = 1.0;
    GainRamp level, pan;
};

} // namespace tz
