#pragma once

#include <cmath>

namespace tz
{

// A gain that moves linearly across a chunk toward its target and then through a one-pole smoother.
// Double precision lets the smoother actually reach its snap distance; in float it stalls a few ulps away.
struct GainRamp
{
    double current = 0.0;
    double step = 0.0;
    double smoothed = 0.0;
    bool initialised = false;
    bool smoothedInitialised = false;

    void reset() noexcept { initialised = smoothedInitialised = false; }

    void beginChunk (float target, int numSamples) noexcept
    {
        // A ramp that ended a rounding error short of its target lands on it, so that it can come to rest.
        if (! initialised || std::abs (target - current) < 1.0e-9)
        {
            current = target;
            initialised = true;
        }
        step = (target - current) / numSamples;
    }

    // True when the ramp's current value, its target and its smoothed value all sit at or above `level`.
    bool restsAtOrAbove (float level, float target) const noexcept
    {
        return current >= level && target >= level && (smoothedInitialised ? smoothed : current) >= level;
    }

    // True when every further next() in this chunk returns the same value and changes nothing.
    bool atRest() const noexcept { return step == 0.0 && smoothedInitialised && smoothed == current; }

    float next (double coef) noexcept
    {
        current += step;

        if (! smoothedInitialised)
        {
            smoothed = current;
            smoothedInitialised = true;
        }

        smoothed += coef * (current - smoothed);
        if (std::abs (current - smoothed) < 1.0e-6)
            smoothed = current;

        return (float) smoothed;
    }
};

// A value moved linearly across a chunk, landing on its target at the chunk's last sample.
struct LinearRamp
{
    float current = 0.0f;
    float step = 0.0f;
    float target = 0.0f;
    int remaining = 0;
    bool primed = false;

    void beginChunk (float newTarget, int numSamples) noexcept
    {
        if (! primed)
        {
            current = newTarget;
            primed = true;
        }
        target = newTarget;
        remaining = numSamples;
        step = (target - current) / (float) numSamples;
    }

    // The last step lands on the target exactly: summed steps end a rounding error short, and the ramp would
    // then keep a tiny step for ever instead of coming to rest.
    float next() noexcept { return current = --remaining == 0 ? target : current + step; }
};

// dB to linear gain: exactly 1 near 0 dB, silence at -100 dB and below.
inline float decibelsToGain (float dB) noexcept
{
    if (std::abs (dB) < 0.001f)
        return 1.0f;
    if (dB <= -100.0f)
        return 0.0f;
    return std::pow (10.0f, dB / 20.0f);
}

} // namespace tz
