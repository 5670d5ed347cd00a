#include "engine/Modulators.h"

#include <cmath>

#include "core/Transport.h"

namespace tz
{

namespace
{
    constexpr double twoPi = 6.283185307179586476925;
    constexpr double pi = 3.141592653589793238463;

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
            case lfoShape::sine:
                return 0.5 - 0.5 * std::cos (twoPi * phi);
            case lfoShape::triangle:
                return 1.0 - std::abs (2.0 * phi - 1.0);
            case lfoShape::sawUp:
                return phi;
            case lfoShape::sawDown:
                return 1.0 - phi;
            case lfoShape::square:
                return phi < 0.5 ? 1.0 : 0.0;
            case lfoShape::random:
                return modRandom (modulator, cycle);
            case lfoShape::smoothRandom:
            default:
            {
                const double from = modRandom (modulator, cycle);
                const double to = modRandom (modulator, cycle + 1);
                return from + (to - from) * (0.5 - 0.5 * std::cos (pi * phi));
            }
        }
    }

    double stepValue (const ParamValues& values, int modulator, const PlayingStep& at, int numSteps) noexcept
    {
        const int next = (at.step + 1) % numSteps;
        return stepShapeValue (
            choiceIndex (field (values, modulator, modField::firstStepShape + at.step), stepShape::count),
            field (values, modulator, modField::firstStep + at.step) / 100.0,
            field (values, modulator, modField::firstStep + next) / 100.0, at.through);
    }

    int stepCount (const ParamValues& values, int modulator) noexcept
    {
        return juce::jmax (1, choiceIndex (field (values, modulator, modField::length), numModSteps + 1));
    }

    double cycleBeats (const ParamValues& values, int modulator, float xySpeed) noexcept
    {
        double cycle = lookupBeats (modRateBeats, field (values, modulator, modField::rate));
        if (followsXY (values, modulator))
            cycle /= xySpeed;
        return cycle;
    }

    PlayingStep playingStepIn (double position, float swingPercent, int numSteps) noexcept
    {
        const auto at = stepPositionAt (position, swingPercent);
        return { (int) (((at.step % numSteps) + numSteps) % numSteps),
                 at.fraction < 0.0 ? 0.0 : (at.fraction > 1.0 ? 1.0 : at.fraction) };
    }
} // namespace

double stepShapeValue (int shape, double level, double nextLevel, double through) noexcept
{
    switch (shape)
    {
        case stepShape::rampDown:
            return level * (1.0 - through);
        case stepShape::rampUp:
            return level * through;
        case stepShape::curve:
            return level * std::pow (1.0 - through, 3.0);
        case stepShape::glide:
            return level + (nextLevel - level) * through;
        case stepShape::square:
        default:
            return level;
    }
}

int xySpeedZone (float x) noexcept { return juce::jlimit (0, numXySpeeds - 1, (int) (x / (100.0f / numXySpeeds))); }

float xySpeedOfZone (int zone) noexcept
{
    static constexpr std::array<float, numXySpeeds> factors { 0.25f, 0.5f, 1.0f, 2.0f, 4.0f };
    return factors[(size_t) juce::jlimit (0, numXySpeeds - 1, zone)];
}

float xySpeedFor (float x) noexcept { return xySpeedOfZone (xySpeedZone (x)); }

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

PlayingStep playingStepAt (const ParamValues& values, int modulator, double beat, float xySpeed) noexcept
{
    const int steps = stepCount (values, modulator);
    const double phase = field (values, modulator, modField::phase) / 100.0;
    return playingStepIn (beat / cycleBeats (values, modulator, xySpeed) + steps * phase,
                          field (values, modulator, modField::swing), steps);
}

double modulatorValue (const ParamValues& values, int modulator, double beat, float xySpeed) noexcept
{
    if (field (values, modulator, modField::mode) > 0.5f)
        return stepValue (values, modulator, playingStepAt (values, modulator, beat, xySpeed),
                          stepCount (values, modulator));

    const double phase = field (values, modulator, modField::phase) / 100.0;
    const int shape = choiceIndex (field (values, modulator, modField::shape), lfoShape::count);
    return lfoValue (shape, beat / cycleBeats (values, modulator, xySpeed) + phase, modulator);
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
