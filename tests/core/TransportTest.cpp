#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/Transport.h"

namespace
{
TEST (Transport, TempoAndSamplesPerBeat)
{
    EXPECT_DOUBLE_EQ (tz::samplesPerBeatFor (48000.0, tz::defaultBpm), 24000.0);
    EXPECT_DOUBLE_EQ (tz::samplesPerBeatFor (48000.0, tz::clampTempo (250.0)), 11520.0);
    EXPECT_DOUBLE_EQ (tz::samplesPerBeatFor (48000.0, tz::clampTempo (500.0)), 9600.0);
    EXPECT_DOUBLE_EQ (tz::clampTempo (20.0), 40.0);

    const tz::Transport transport { 120.0, 2.0, 24000.0, true };
    EXPECT_DOUBLE_EQ (transport.beatAt (12000), 2.5);
}

TEST (Transport, NoteLengthTablesHoldExactQuotients)
{
    EXPECT_EQ (tz::modRateBeats[2], 1.0 / 6.0);
    EXPECT_EQ (tz::modRateBeats[8], 2.0 / 3.0);
    EXPECT_EQ (tz::modRateBeats[12], 4.0);
    EXPECT_EQ (tz::delayTimeBeats[4], 1.0 / 3.0);
    EXPECT_EQ (tz::delayTimeBeats[11], 3.0);
    EXPECT_EQ (tz::stutterHoldBeats[5], tz::stutterHoldFree);
    EXPECT_EQ (tz::tapeTimeBeats[5], 8.0);
    EXPECT_EQ (tz::reverseLengthBeats[4], 4.0);
}

TEST (Transport, ChoiceValuesNeverReadOutsideATable)
{
    const struct
    {
        float value;
        int index;
    } cases[] = {
        { -1.0f, 0 }, { std::numeric_limits<float>::quiet_NaN(), 0 },
        { 0.4f, 0 },  { 0.5f, 1 },
        { 2.49f, 2 }, { 2.5f, 3 },
        { 4.6f, 5 },  { 5.0f, 5 },
        { 99.0f, 5 }, { std::numeric_limits<float>::infinity(), 5 },
    };
    for (const auto& c : cases)
        EXPECT_EQ (tz::choiceIndex (c.value, 6), c.index) << c.value;

    EXPECT_EQ (tz::lookupBeats (tz::reverseLengthBeats, 12.0f), 4.0);
}

TEST (Transport, StepIndicesWrapForNegativePositions)
{
    EXPECT_EQ (tz::stepIndex (-0.1, 0.25, 16), 15);
    EXPECT_EQ (tz::stepIndex (-4.0, 0.25, 16), 0);
    EXPECT_EQ (tz::stepIndex (4.1, 0.25, 16), 0);
    EXPECT_EQ (tz::stepIndex (0.8, 0.25, 3), 0);
}

TEST (Transport, PositionsBeyondEveryCountStillGiveAStep)
{
    // No host plays 2^63 beats in, but one may say it does; divided by a short step, the largest positions
    // even overflow. Every count stays defined (the sanitised build stops on a cast out of range).
    constexpr double largest = std::numeric_limits<double>::max();
    for (const double position : { 0x1p63, -0x1p63, 1.0e300, -1.0e300, largest, -largest })
        for (const int steps : { 1, 3, 16 })
        {
            const int step = tz::stepIndex (position, 0.0625, steps);
            EXPECT_TRUE (step >= 0 && step < steps) << position << ", " << steps << " steps";
        }

    EXPECT_EQ (tz::wholeCount (-2.5), -3);
    EXPECT_EQ (tz::wholeCount (0x1p63), std::int64_t { 1 } << 62);
    EXPECT_EQ (tz::wholeCount (-largest), -(std::int64_t { 1 } << 62));
    EXPECT_EQ (tz::wholeCount (std::numeric_limits<double>::quiet_NaN()), 0);
}
} // namespace
