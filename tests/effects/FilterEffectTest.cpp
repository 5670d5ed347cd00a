#include <gtest/gtest.h>

#include "effects/EffectTestSignals.h"
#include "effects/FilterEffect.h"

namespace
{
using namespace tz::test;

constexpr int lowPass = 0, highPass = 1, bandPass = 2;

tz::ParamValues filterValues (int type, float cutoff, float resonance)
{
    auto values = tz::defaultParamValues();
    values[tz::filterType] = (float) type;
    values[tz::filterCutoff] = cutoff;
    values[tz::filterResonance] = resonance;
    return values;
}

// Gain of the bilinear-transformed analogue state-variable prototype, prewarped at the cutoff.
double expectedGain (int type, double cutoff, double resonance, double frequency, double sampleRate)
{
    const double pi = juce::MathConstants<double>::pi;
    const double w = std::tan (pi * frequency / sampleRate) / std::tan (pi * cutoff / sampleRate);
    const double k = 1.0 / (0.5 * std::pow (30.0, resonance / 100.0));
    const std::complex<double> denominator (1.0 - w * w, k * w);
    const std::complex<double> numerator =
        type == lowPass ? 1.0 : (type == highPass ? -w * w : std::complex<double> (0.0, k * w));
    return std::abs (numerator / denominator);
}

TEST (FilterEffect, MatchesTheStateVariableResponse)
{
    constexpr double rate = 48000.0;
    constexpr int settle = 24000, measure = 48000;

    const struct
    {
        int type;
        float cutoff, resonance;
        double frequency;
    } cases[] = {
        // At the cutoff: low and high pass at Q 0.5 sit at -6 dB, band pass at 0 dB for any resonance.
        { lowPass, 1000.0f, 0.0f, 1000.0 },
        { lowPass, 100.0f, 0.0f, 100.0 },
        { lowPass, 8000.0f, 0.0f, 8000.0 },
        { highPass, 1000.0f, 0.0f, 1000.0 },
        { highPass, 150.0f, 0.0f, 150.0 },
        { highPass, 12000.0f, 0.0f, 12000.0 },
        { bandPass, 1000.0f, 0.0f, 1000.0 },
        { bandPass, 1000.0f, 50.0f, 1000.0 },
        { bandPass, 1000.0f, 100.0f, 1000.0 },
        { bandPass, 6000.0f, 100.0f, 6000.0 },
        // Resonance sets Q = 0.5 * 30^(r/100): 15 at the top.
        { lowPass, 1000.0f, 100.0f, 1000.0 },
        { highPass, 2000.0f, 50.0f, 2000.0 },
        // Away from the cutoff.
        { lowPass, 1000.0f, 20.0f, 4000.0 },
        { highPass, 1000.0f, 20.0f, 250.0 },
        { bandPass, 1000.0f, 60.0f, 1500.0 },
    };

    for (const auto& c : cases)
    {
        tz::FilterEffect filter;
        filter.prepare (rate, 1);
        auto signal = sine (c.frequency, rate, settle + measure);
        render (filter, { &signal }, filterValues (c.type, c.cutoff, c.resonance));

        const double measured = toDecibels (std::abs (toneOf (signal, c.frequency, rate, settle, measure)));
        const double expected = toDecibels (expectedGain (c.type, c.cutoff, c.resonance, c.frequency, rate));
        EXPECT_NEAR (measured, expected, 0.005) << "type " << c.type << ", cutoff " << c.cutoff << ", resonance "
                                                << c.resonance << ", " << c.frequency << " Hz";
    }

    EXPECT_NEAR (toDecibels (expectedGain (lowPass, 1000.0, 0.0, 1000.0, rate)), -6.02, 0.01);
}

TEST (FilterEffect, CutoffIsHeldBetween20HzAnd045TimesTheSampleRate)
{
    constexpr double rate = 44100.0;
    const auto input = noise (4096, 3);

    auto renderAt = [&] (float cutoff)
    {
        tz::FilterEffect filter;
        filter.prepare (rate, 1);
        auto signal = input;
        render (filter, { &signal }, filterValues (lowPass, cutoff, 30.0f));
        return signal;
    };

    const auto atCeiling = renderAt ((float) (0.45 * rate));
    const auto above = renderAt (20000.0f);
    const auto below = renderAt (19000.0f);
    float ceilingDifference = 0.0f, belowDifference = 0.0f;
    for (size_t i = 0; i < input.size(); ++i)
    {
        ceilingDifference = std::max (ceilingDifference, std::abs (above[i] - atCeiling[i]));
        belowDifference = std::max (belowDifference, std::abs (below[i] - atCeiling[i]));
    }
    EXPECT_LT (ceilingDifference, 1e-5f);
    EXPECT_GT (belowDifference, 1e-2f);

    EXPECT_EQ (renderAt (5.0f), renderAt (20.0f));
}

// The integrators run the same whatever the type, so the crossfade can be checked against filters fixed on
// each type.
TEST (FilterEffect, TypeChangeCrossfadesOverFiveMilliseconds)
{
    constexpr double rate = 48000.0;
    constexpr int fadeLength = 240, switchAt = 2048;
    const auto input = noise (4096, 11);

    auto renderTypes = [&] (int firstType, int secondType)
    {
        tz::FilterEffect filter;
        filter.prepare (rate, 1);
        auto signal = input;
        const tz::Transport transport;
        const auto first = filterValues (firstType, 2000.0f, 40.0f);
        const auto second = filterValues (secondType, 2000.0f, 40.0f);
        inChunks ({ &signal },
                  [&, done = 0] (float* const* channels, int numChannels, int n) mutable
                  {
                      filter.process (channels, numChannels, n, done < switchAt ? first : second, transport);
                      done += n;
                  });
        return signal;
    };

    const auto lowOnly = renderTypes (lowPass, lowPass);
    const auto bandOnly = renderTypes (bandPass, bandPass);
    const auto switched = renderTypes (lowPass, bandPass);

    for (int i = 0; i < (int) input.size(); ++i)
    {
        const float weight = juce::jlimit (0.0f, 1.0f, (float) (i - switchAt) / fadeLength);
        const float expected = lowOnly[(size_t) i] * (1.0f - weight) + bandOnly[(size_t) i] * weight;
        ASSERT_NEAR (switched[(size_t) i], expected, 1e-5f) << i;
    }
}

TEST (FilterEffect, FirstBlockAfterAResetPlaysTheChosenTypeFromAWipedState)
{
    constexpr double rate = 48000.0;
    const auto before = noise (1000, 5), after = noise (1000, 6);

    tz::FilterEffect used;
    used.prepare (rate, 2);
    auto left = before, right = before;
    render (used, { &left, &right }, filterValues (lowPass, 500.0f, 80.0f));
    used.reset();
    auto usedLeft = after, usedRight = after;
    render (used, { &usedLeft, &usedRight }, filterValues (highPass, 3000.0f, 10.0f));

    tz::FilterEffect fresh;
    fresh.prepare (rate, 2);
    auto freshLeft = after;
    render (fresh, { &freshLeft }, filterValues (highPass, 3000.0f, 10.0f));

    EXPECT_EQ (usedLeft, freshLeft);
    EXPECT_EQ (usedRight, freshLeft);
}

} // namespace
