#include <gtest/gtest.h>

#include <cmath>

#include "effects/CaptureDriver.h"
#include "effects/TapeStopEffect.h"
#include "support/AllocationCounter.h"

namespace
{
using tz::test::CaptureDriver;
using tz::test::noise;
using tz::test::Signal;
using Driver = CaptureDriver<tz::TapeStopEffect>;

constexpr double rate = 48000.0;
constexpr float timeSixteenth = 0.0f, timeQuarter = 2.0f, timeTwoBars = 5.0f;

// Envelope of a stop over a constant input: full level, a linear fade over the last tenth, then silence.
double stopEnvelope (int sample, double stopLength)
{
    const double progress = sample / stopLength;
    if (progress >= 1.0)
        return 0.0;
    return progress > 0.9 ? (1.0 - progress) * 10.0 : 1.0;
}

TEST (TapeStopEffect, StopFadesOverItsLastTenthAndEndsAfterItsLength)
{
    const struct
    {
        const char* name;
        double bpm, samplesPerBeat;
        float time;
        double stopLength;
    } cases[] = {
        { "1/4 at 120 BPM", 120.0, 24000.0, timeQuarter, 24000.0 },
        { "below the shortest stop", 120.0, 400.0, timeSixteenth, 256.0 },
        { "beyond the buffer's reach", 40.0, 72000.0, timeTwoBars, 0.9 * (13.0 * rate + 4.0) },
    };

    for (const auto& c : cases)
    {
        Driver driver (rate, c.bpm, 0.0, 1);
        driver.transport.samplesPerBeat = c.samplesPerBeat;
        driver.values[tz::tapestopTime] = c.time;
        driver.record (Signal (1024, 1.0f));
        driver.effect.trigger();

        const int ends = (int) std::ceil (c.stopLength);
        const Signal output = driver.process (Signal ((size_t) ends + 2000, 1.0f));

        EXPECT_GT (output[(size_t) ends - 1], 0.0f) << c.name;
        for (size_t t = 0; t < output.size(); ++t)
            ASSERT_NEAR (output[t], stopEnvelope ((int) t, c.stopLength), 1.0e-5) << c.name << " at " << t;
        EXPECT_GE (driver.effect.stopProgress(), 1.0 - 1.0e-9) << c.name;
    }
}

TEST (TapeStopEffect, ReadHeadFollowsTheSpeedCurve)
{
    constexpr double stopLength = 24000.0; // 1/4 at 120 BPM
    const struct
    {
        float curve;
        double (*position) (double samples); // read-head travel after `samples`
    } cases[] = {
        // Linear speed ramp: sum of (1 - m/N) for m < j.
        { 0.0f, [] (double j) { return j - j * (j - 1.0) / (2.0 * stopLength); } },
        // Squared ramp: sum of (1 - m/N)^2 for m < j.
        { 50.0f,
          [] (double j) {
              return j - j * (j - 1.0) / stopLength + (j - 1.0) * j * (2.0 * j - 1.0) / (6.0 * stopLength * stopLength);
          } },
    };

    for (const auto& c : cases)
    {
        Driver driver (rate, 120.0, 0.0, 1);
        driver.values[tz::tapestopTime] = timeQuarter;
        driver.values[tz::tapestopCurve] = c.curve;

        // A ramp input turns every output sample into the read position it came from.
        constexpr double slope = 1.0e-5;
        const int start = 1024;
        Signal input ((size_t) start + 21000);
        for (size_t t = 0; t < input.size(); ++t)
            input[t] = (float) (slope * (double) t);

        driver.record (Signal (input.begin(), input.begin() + start));
        driver.effect.trigger();
        const Signal output = driver.process (Signal (input.begin() + start, input.end()));

        // Within two samples of the write head the interpolator holds the newest sample for taps not yet
        // written, which bends the ramp slightly.
        for (int j = 0; j < (int) output.size(); ++j)
        {
            const double tolerance = j < 400 ? 0.08 : 0.005;
            ASSERT_NEAR (output[(size_t) j] / slope, start + c.position (j), tolerance)
                << "curve " << c.curve << " at " << j;
        }
    }
}

TEST (TapeStopEffect, ReadHeadFollowsCurvesBetweenTheWholePowers)
{
    constexpr double stopLength = 24000.0; // 1/4 at 120 BPM
    constexpr double slope = 1.0e-5;
    constexpr int start = 1024, fadeStarts = 21600;

    // The read head's travel after j samples is the sum of (1 - m/N)^e for m < j, here summed term by term.
    for (const float curve : { 25.0f, 75.0f, 100.0f })
    {
        const double exponent = 1.0 + 2.0 * curve / 100.0;
        Driver driver (rate, 120.0, 0.0, 1);
        driver.values[tz::tapestopTime] = timeQuarter;
        driver.values[tz::tapestopCurve] = curve;

        Signal input ((size_t) start + fadeStarts);
        for (size_t t = 0; t < input.size(); ++t)
            input[t] = (float) (slope * (double) t);

        driver.record (Signal (input.begin(), input.begin() + start));
        driver.effect.trigger();
        const Signal output = driver.process (Signal (input.begin() + start, input.end()));

        double travel = 0.0;
        for (int j = 0; j < (int) output.size(); ++j)
        {
            const double tolerance = j < 400 ? 0.08 : 0.005;
            ASSERT_NEAR (output[(size_t) j] / slope, start + travel, tolerance) << "curve " << curve << " at " << j;
            travel += std::pow (1.0 - j / stopLength, exponent);
        }
    }
}

TEST (TapeStopEffect, StaysSilentUntilTheNextTrigger)
{
    Driver driver (rate, 120.0, 0.0, 2);
    driver.values[tz::tapestopTime] = timeSixteenth; // 6000 samples
    const tz::test::Channels input { noise (20000, 1), noise (20000, 2) };

    driver.effect.trigger();
    const auto stopped = driver.process (input);
    for (size_t ch = 0; ch < 2; ++ch)
    {
        EXPECT_EQ (stopped[ch][0], input[ch][0]);
        for (size_t t = 6000; t < stopped[ch].size(); ++t)
            ASSERT_EQ (stopped[ch][t], 0.0f) << t;
    }

    // A new trigger starts a new stop from the input of that moment.
    driver.effect.trigger();
    const auto again = driver.process (input);
    EXPECT_EQ (again[0][0], input[0][0]);
    EXPECT_EQ (again[1][0], input[1][0]);
    EXPECT_NE (again[0][100], 0.0f);

    // A reset (wake) lets the input through until the next trigger.
    driver.effect.reset();
    EXPECT_EQ (driver.process (input), input);
}

TEST (TapeStopEffect, ProcessesWithoutAllocating)
{
    Driver driver (rate, 120.0, 0.0, 2);
    driver.values[tz::tapestopTime] = timeSixteenth;
    Signal left = noise (12000, 3), right = noise (12000, 4);

    const tz::test::AllocationCounter counter;
    driver.effect.trigger();
    for (int offset = 0; offset < 12000; offset += tz::chunkSize)
    {
        float* chunk[2] = { left.data() + offset, right.data() + offset };
        driver.effect.process (chunk, 2, tz::chunkSize, driver.values, driver.transport);
    }
    EXPECT_EQ (counter.count(), 0u);
}

} // namespace
