#include "engine/Modulators.h"

#include <cmath>

#include "core/Transport.h"

namespace tz
{

namespace
{
    constexpr double twoPi = 6.283185307179586476925;
    constexpr double pi = 3.141592653589793238463;

    enum LfoShape : int
    {
        sine,
        triangle,
        sawUp,
        sawDown,
        square,
        random,
        smoothRandom,
        numLfoShapes
    };

    enum StepShape : int
    {
        stepSquare,
        rampDown,
        rampUp,
        curve,
        glide,
        numStepShapes
    };

    float field (const ParamValues& values, int modulator, int k) noexcept
    {
        return values[(size_t) modParam (modulator, k)];
    }

    double lfoValue (int shape, double position, int modulator) noexcept
    {
        const double t = countablePosition (position);
        const double whole = std::floor (t);
        auto cycle = (std::int64_t) whole;
        double phi = t - whole;

        // Rounding can land exactly on 1 for tiny negative t; that is the next cycle's start.
        if (phi >= 1.0)
        {
            phi = 0.0;
            ++cycle;
        }

        switch (shape)
        {
            case sine:
                return 0.5 - 0.5 * std::cos (twoPi * phi);
            case triangle:
                return 1.0 - std::abs (2.0 * phi - 1.0);
            case sawUp:
                return phi;
            case sawDown:
                return 1.0 - phi;
            case square:
                return phi < 0.5 ? 1.0 : 0.0;
            case random:
                return modRandom (modulator, cycle);
            case smoothRandom:
            default:
            {
                const double from = modRandom (modulator, cycle);
                const double to = modRandom (modulator, cycle + 1);
                return from + (to - from) * (0.5 - 0.5 * std::cos (pi * phi));
            }
        }
    }

    double stepValue (const ParamValues& values, int modulator, double position, int numSteps) noexcept
    {
        const auto at = stepPositionAt (position, field (values, modulator, modField::swing));
        const auto j = (int) (((at.step % numSteps) + numSteps) % numSteps);
        const double through = at.fraction < 0.0 ? 0.0 : (at.fraction > 1.0 ? 1.0 : at.fraction);

        const double level = field (values, modulator, modField::firstStep + j) / 100.0;

        switch (choiceIndex (field (values, modulator, modField::firstStepShape + j), numStepShapes))
        {
            case rampDown:
                return level * (1.0 - through);
            case rampUp:
                return level * through;
            case curve:
                return level * std::pow (1.0 - through, 3.0);
            case glide:
            {
                const int next = (j + 1) % numSteps;
                const double nextLevel = field (values, modulator, modField::firstStep + next) / 100.0;
                return level + (nextLevel - level) * through;
            }
            case stepSquare:
            default:
                return level;
        }
    }
} // namespace

float xySpeedFor (float x) noexcept
{
    static constexpr std::array<float, 5> factors { 0.25f, 0.5f, 1.0f, 2.0f, 4.0f };
    const auto index = (int) (x / 20.0f);
    return factors[(size_t) juce::jlimit (0, 4, index)];
}

double modRandom (int modulator, std::int64_t cycle) noexcept
{
    auto x =
        ((std::uint64_t) cycle * 0x9E3779B97F4A7C15ull) ^ ((std::uint64_t) (modulator + 1) * 0xBF58476D1CE4E5B9ull);
    x ^= x >> 31;
    x *= 0x94D049BB133111EBull;
    return (double) (x >> 40) / 16777216.0;
}

StepPosition stepPositionAt (double position, float swingPercent) noexcept
{
    // Swing moves time from the second step of each pair to the first, up to a third of a step.
    const double swing = swingPercent / 300.0;
    const double steps = countablePosition (position);
    const double pairStart = std::floor (steps / 2.0) * 2.0;
    const double intoPair = steps - pairStart;
    const auto step = (std::int64_t) pairStart;

    if (intoPair < 1.0 + swing)
        return { step, intoPair / (1.0 + swing) };

    return { step + 1, (intoPair - 1.0 - swing) / (1.0 - swing) };
}

bool followsXY (const ParamValues& values, int modulator) noexcept
{
    return field (values, modulator, modField::followsXY) > 0.5f;
}

double modulatorValue (const ParamValues& values, int modulator, double beat, float xySpeed) noexcept
{
    double cycle = lookupBeats (modRateBeats, field (values, modulator, modField::rate));
    if (followsXY (values, modulator))
        cycle /= xySpeed;

    const double phase = field (values, modulator, modField::phase) / 100.0;

    if (field (values, modulator, modField::mode) > 0.5f)
    {
        const int steps = juce::jmax (1, choiceIndex (field (values, modulator, modField::length), numModSteps + 1));
        return stepValue (values, modulator, beat / cycle + steps * phase, steps);
    }

    const int shape = choiceIndex (field (values, modulator, modField::shape), numLfoShapes);
    return lfoValue (shape, beat / cycle + phase, modulator);
}

float modSmoothingCoefficient (float smoothPercent, int numSamples, double sampleRate) noexcept
{
    const double amount = smoothPercent / 100.0;
    const double tau = 0.3 * amount * amount;

    if (tau <= 0.0)
        return 1.0f;

    return (float) (1.0 - std::exp (-numSamples / (tau * sampleRate)));
}

void advanceModulators (const ParamValues& values, double beat, int numSamples, double sampleRate, float xyX,
                        std::array<float, numModulators>& outputs) noexcept
{
    const float speed = xySpeedFor (xyX);

    for (int m = 0; m < numModulators; ++m)
    {
        const auto target = (float) modulatorValue (values, m, beat, speed);
        const float coef = modSmoothingCoefficient (field (values, m, modField::smooth), numSamples, sampleRate);
        auto& out = outputs[(size_t) m];
        out += coef * (target - out);
    }
}

} // namespace tz
