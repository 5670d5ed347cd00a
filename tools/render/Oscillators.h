#pragma once

#include <cmath>

namespace tz::render
{

inline double midiToHz (double note) { return 440.0 * std::pow (2.0, (note - 69.0) / 12.0); }

// Band-limited sawtooth: one polyBLEP step correction, so low notes carry their harmonics without aliasing.
struct Saw
{
    double phase = 0.0;

    double next (double increment)
    {
        double value = 2.0 * phase - 1.0;

        if (phase < increment)
        {
            const double t = phase / increment;
            value -= t + t - t * t - 1.0;
        }
        else if (phase > 1.0 - increment)
        {
            const double t = (phase - 1.0) / increment;
            value -= t * t + t + t + 1.0;
        }

        phase += increment;
        if (phase >= 1.0)
            phase -= 1.0;

        return value;
    }
};

} // namespace tz::render
