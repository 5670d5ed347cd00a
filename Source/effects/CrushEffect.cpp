#include "effects/CrushEffect.h"

#include <algorithm>
#include <cmath>

namespace tz
{

void CrushEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    reset();
}

void CrushEffect::reset() noexcept
{
    phase = 1.0f;
    held = {};
}

void CrushEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                           const Transport&) noexcept
{
    // A whisker below 1 so that rates dividing the sample rate hold whole periods despite rounding in the sum.
    constexpr double takeThreshold = 1.0 - 1.0e-9;

    // Continuous depth: a fractional bit count gives a non-integer number of steps.
    const float stepsPerUnit = std::exp2 (values[crushBits] - 1.0f);
    const double increment = std::min ((double) values[crushRate] / sampleRate, 1.0);
    const int crushedChannels = std::min (numChannels, maxChannels);

    // On locals, which stay in registers: the sample stores could alias the members.
    auto heldNow = held;
    auto phaseNow = phase;

    for (int i = 0; i < numSamples; ++i)
    {
        // Test before advancing, so the hold after a reset is as long as every later one.
        const bool takeSample = phaseNow >= takeThreshold;
        if (takeSample)
            phaseNow -= 1.0;
        phaseNow += increment;

        for (int ch = 0; ch < crushedChannels; ++ch)
        {
            if (takeSample)
                heldNow[(size_t) ch] = std::round (channels[ch][i] * stepsPerUnit) / stepsPerUnit;
            channels[ch][i] = heldNow[(size_t) ch];
        }
    }

    held = heldNow;
    phase = phaseNow;
}

} // namespace tz
