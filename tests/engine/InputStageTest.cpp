#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/InputStage.h"

namespace
{
constexpr double rate = 48000.0;
constexpr float infinity = std::numeric_limits<float>::infinity();
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();

using Chunk = std::array<float, 8>;

std::vector<float> firstOf (const float* samples, int n) { return { samples, samples + n }; }
} // namespace

TEST (InputStage, MakesTheInputSafeAppliesItsGainAndKeepsBothDryCopiesLatencyAligned)
{
    constexpr int latency = 3;
    tz::InputStage input;
    input.prepare (rate, latency);

    // A first chunk primes the gain at its target; the second runs at rest.
    const float gain = tz::decibelsToGain (-6.0f);
    Chunk left { 1, notANumber, infinity, -infinity, 5, 6, 7, 8 }, right { -1, -2, -3, -4, -5, -6, -7, -8 };
    const Chunk safeLeft { 1, 0, 0, 0, 5, 6, 7, 8 }, safeRight = right;
    for (int chunk = 0; chunk < 2; ++chunk)
    {
        auto l = chunk == 0 ? left : safeLeft, r = right;
        std::array<float*, 2> present { l.data(), r.data() };
        input.process (present.data(), 2, 2, (int) l.size(), -6.0f);

        for (size_t i = 0; i < l.size(); ++i)
        {
            EXPECT_EQ (l[i], safeLeft[i] * gain) << chunk << " " << i;
            EXPECT_EQ (r[i], safeRight[i] * gain) << chunk << " " << i;
        }

        // The dry copies of the first chunk come out after the latency, the raw one before the gain.
        if (chunk == 0)
        {
            EXPECT_EQ (firstOf (input.rawDry (0), 8), (std::vector<float> { 0, 0, 0, 1, 0, 0, 0, 5 }));
            EXPECT_EQ (firstOf (input.mixDry (1), 8),
                       (std::vector<float> { 0, 0, 0, -1 * gain, -2 * gain, -3 * gain, -4 * gain, -5 * gain }));
        }
    }
}

TEST (InputStage, BypassedTheInputIsOnlyDelayedAndMadeSafeWhenThereIsALatency)
{
    for (const int latency : { 0, 2 })
    {
        tz::InputStage input;
        input.prepare (rate, latency);
        Chunk left { 1, notANumber, 3, 4, 5, 6, 7, 8 };
        std::array<float*, 1> channels { left.data() };
        input.processBypassed (channels.data(), 1, (int) left.size());

        if (latency == 0)
            EXPECT_TRUE (std::isnan (left[1]));
        else
            EXPECT_EQ (firstOf (left.data(), 8), (std::vector<float> { 0, 0, 1, 0, 3, 4, 5, 6 }));
    }
}
