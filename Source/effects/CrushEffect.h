#pragma once

#include <array>

#include "core/Parameters.h"
#include "core/Transport.h"

namespace tz
{

// Bit depth and sample-rate reduction. Turns the chunk into its pure wet signal; the slot mixes.
class CrushEffect
{
public:
    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;
    void process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

private:
    static constexpr int maxChannels = 2;

    double sampleRate = 44100.0;
    double phase = 1.0; // starts full so the first sample is taken at once
    std::array<float, maxChannels> held {};
};

} // namespace tz
