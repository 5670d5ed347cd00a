#include <gtest/gtest.h>

#include <set>

#include "effects/CrushEffect.h"
#include "effects/EffectTestSignals.h"

namespace
{
using namespace tz::test;

tz::ParamValues crushValues (float bits, float rate)
{
    auto values = tz::defaultParamValues();
    values[tz::crushBits] = bits;
    values[tz::crushRate] = rate;
    return values;
}

float quantise (float x, float bits)
{
    const double steps = std::pow (2.0, bits - 1.0);
    const double scaled = x * steps;
    const double rounded = scaled < 0.0 ? -std::floor (-scaled + 0.5) : std::floor (scaled + 0.5);
    return (float) (rounded / steps);
}

TEST (CrushEffect, HoldsEachValueForSampleRateOverCrushRateSamples)
{
    const struct
    {
        double sampleRate;
        float crushRate;
        int hold;
    } cases[] = {
        { 48000.0, 200.0f, 240 },
        { 96000.0, 200.0f, 480 },
        { 48000.0, 4000.0f, 12 },
        // At or above the sample rate every sample is taken: pure bit reduction.
        { 44100.0, 44100.0f, 1 },
        { 44100.0, 48000.0f, 1 },
        { 48000.0, 48000.0f, 1 },
    };

    for (const auto& c : cases)
    {
        tz::CrushEffect crush;
        crush.prepare (c.sampleRate, 2);
        const auto input = noise (48000, 4);
        auto left = input, right = noise (48000, 5);
        const auto rightInput = right;
        render (crush, { &left, &right }, crushValues (16.0f, c.crushRate));

        for (size_t i = 0; i < input.size(); ++i)
        {
            const size_t taken = i / (size_t) c.hold * (size_t) c.hold;
            ASSERT_EQ (left[i], quantise (input[taken], 16.0f)) << c.sampleRate << " / " << c.crushRate << " at " << i;
            ASSERT_EQ (right[i], quantise (rightInput[taken], 16.0f))
                << c.sampleRate << " / " << c.crushRate << " at " << i;
        }
    }
}

TEST (CrushEffect, RoundsHalfStepsAwayFromZero)
{
    // Two bits: steps of 0.5, so 0.25 is exactly half a step. Values on, just below and just above the halves,
    // both signs, and a value far beyond full scale.
    const float belowQuarter = std::nextafter (0.25f, 0.0f), aboveQuarter = std::nextafter (0.25f, 1.0f);
    const Signal input { 0.25f, -0.25f, belowQuarter, -belowQuarter, aboveQuarter, 0.75f, -0.75f, 1.25f, 3.0e6f, 0.0f };
    tz::CrushEffect crush;
    crush.prepare (48000.0, 1);
    auto signal = input;
    render (crush, { &signal }, crushValues (2.0f, 48000.0f));

    for (size_t i = 0; i < input.size(); ++i)
        EXPECT_EQ (signal[i], quantise (input[i], 2.0f)) << input[i];
    EXPECT_EQ (signal[0], 0.5f);
    EXPECT_EQ (signal[1], -0.5f);
    EXPECT_EQ (signal[2], 0.0f);
}

TEST (CrushEffect, BitDepthSetsTheStepCount)
{
    const auto input = noise (20000, 8);

    for (const float bits : { 1.0f, 2.5f, 4.0f, 8.0f, 16.0f })
    {
        tz::CrushEffect crush;
        crush.prepare (48000.0, 1);
        auto signal = input;
        render (crush, { &signal }, crushValues (bits, 48000.0f));
        for (size_t i = 0; i < input.size(); ++i)
            ASSERT_NEAR (signal[i], quantise (input[i], bits), 1e-6f) << bits << " bits at " << i;
    }

    // One bit leaves three values.
    tz::CrushEffect crush;
    crush.prepare (48000.0, 1);
    auto signal = input;
    render (crush, { &signal }, crushValues (1.0f, 48000.0f));
    EXPECT_EQ (std::set<float> (signal.begin(), signal.end()), (std::set<float> { -1.0f, 0.0f, 1.0f }));
}

TEST (CrushEffect, ResetTakesTheNextSampleAtOnce)
{
    tz::CrushEffect crush;
    crush.prepare (48000.0, 1);
    auto before = noise (100, 1);
    render (crush, { &before }, crushValues (16.0f, 200.0f));

    crush.reset();
    const auto input = noise (500, 2);
    auto after = input;
    render (crush, { &after }, crushValues (16.0f, 200.0f));
    for (size_t i = 0; i < 240; ++i)
        ASSERT_EQ (after[i], quantise (input[0], 16.0f)) << i;
    EXPECT_EQ (after[240], quantise (input[240], 16.0f));
}

} // namespace
