#include <gtest/gtest.h>

#include <cmath>

#include "effects/CaptureDriver.h"
#include "effects/ReverseEffect.h"
#include "support/AllocationCounter.h"

namespace
{
using tz::test::CaptureDriver;
using tz::test::Channels;
using tz::test::noise;
using tz::test::Signal;
using Driver = CaptureDriver<tz::ReverseEffect>;

constexpr double rate = 48000.0;
constexpr int fade = 240;   // 5 ms at 48 kHz
constexpr int beat = 24000; // at 120 BPM
constexpr float lengthQuarter = 2.0f, lengthBar = 4.0f;
const double halfPi = juce::MathConstants<double>::halfPi;

TEST (ReverseEffect, EveryBeatPlaysThePreviousBeatBackwards)
{
    Driver driver (rate, 120.0, -1.0, 2);
    driver.values[tz::reverseLength] = lengthQuarter;

    // Timeline: one beat recorded while asleep, then the effect wakes and plays four beats.
    const int length = 5 * beat;
    const Channels input { noise (length, 1), noise (length, 2) };
    driver.record (
        { Signal (input[0].begin(), input[0].begin() + beat), Signal (input[1].begin(), input[1].begin() + beat) });
    driver.effect.reset();
    driver.effect.trigger();
    const Channels output = driver.process (
        { Signal (input[0].begin() + beat, input[0].end()), Signal (input[1].begin() + beat, input[1].end()) });

    for (size_t ch = 0; ch < 2; ++ch)
    {
        const auto in = [&] (int t) { return t < 0 ? 0.0 : (double) input[ch][(size_t) t]; }; // nothing recorded before
        const auto out = [&] (int t) { return (double) output[ch][(size_t) (t - beat)]; };

        // The first segment comes in from the dry input with a linear fade.
        for (int j = 0; j < fade; ++j)
        {
            const double x = (double) (fade - j) / fade;
            ASSERT_NEAR (out (beat + j), in (beat - j) * (1.0 - x) + in (beat + j) * x, 1.0e-6) << j;
        }

        for (int b = 1; b <= 4; ++b)
        {
            const int start = b * beat;
            if (b > 1) // later segments take over from the previous one with equal power
            {
                for (int j = 0; j < fade; ++j)
                {
                    const double x = (double) (fade - j) / fade * halfPi;
                    const double expected = in (start - j) * std::cos (x) + in (start - 2 * beat - j) * std::sin (x);
                    ASSERT_NEAR (out (start + j), expected, 1.0e-6) << "beat " << b << " at " << j;
                }
            }
            for (int j = fade; j < beat; ++j)
                ASSERT_EQ (out (start + j), in (start - j)) << "ch " << ch << " beat " << b << " at " << j;
        }
    }
}

TEST (ReverseEffect, LongSegmentsFadeOutAtTheReachOfTheBuffer)
{
    Driver driver (rate, 60.0, -4.0, 1);
    driver.values[tz::reverseLength] = lengthBar; // 4 s per segment
    const int bar = 4 * 48000;

    driver.record (Signal ((size_t) bar, 1.0f));
    driver.effect.reset();
    driver.effect.trigger();
    const Signal output = driver.process (Signal ((size_t) (2 * bar), 1.0f));

    const double reach = 0.45 * (7.0 * rate + 4.0); // 3.15 s
    const auto edge = [reach] (double played) { return juce::jlimit (0.0, 1.0, (reach - played) / fade); };

    for (int j = 0; j < bar; ++j)
        ASSERT_NEAR (output[(size_t) j], edge (j), 1.0e-6) << j;
    for (int j = (int) std::ceil (reach); j < bar; ++j)
        ASSERT_EQ (output[(size_t) j], 0.0f) << j;

    // The next bar starts a new segment that fades up from the silent one.
    for (int j = 0; j < fade; ++j)
        ASSERT_NEAR (output[(size_t) (bar + j)], std::cos ((double) (fade - j) / fade * halfPi), 1.0e-6) << j;
    EXPECT_EQ (output[(size_t) (bar + fade)], 1.0f);
}

TEST (ReverseEffect, SwitchingOnStartsASegmentAtOnce)
{
    const struct
    {
        const char* name;
        double firstBeat;
        int nextSegment; // samples after the trigger
    } cases[] = {
        { "mid-beat", 0.5, beat / 2 },
        { "2 ms before a beat", 1.0 - 96.0 / beat, 96 + beat }, // too early to cut again at the beat
    };

    for (const auto& c : cases)
    {
        const int preRoll = 2 * beat;
        Driver driver (rate, 120.0, c.firstBeat - 2.0, 1);
        driver.values[tz::reverseLength] = lengthQuarter;
        const Signal input = noise (preRoll + c.nextSegment + 2 * fade, 3);

        driver.record (Signal (input.begin(), input.begin() + preRoll));
        driver.effect.reset();
        driver.effect.trigger();
        const Signal output = driver.process (Signal (input.begin() + preRoll, input.end()));
        const auto in = [&] (int j) { return (double) input[(size_t) (preRoll + j)]; };

        EXPECT_EQ (output[0], input[(size_t) preRoll]) << c.name;
        for (int j = fade; j < c.nextSegment; ++j)
            ASSERT_EQ (output[(size_t) j], in (-j)) << c.name << " at " << j;

        const int next = c.nextSegment;
        for (int j = 0; j < 2 * fade; ++j)
        {
            const double x = juce::jmax (0, fade - j) / (double) fade * halfPi;
            const double expected = in (next - j) * std::cos (x) + in (-(next + j)) * std::sin (x);
            ASSERT_NEAR (output[(size_t) (next + j)], expected, 1.0e-6) << c.name << " at " << j;
        }
    }
}

TEST (ReverseEffect, SongPositionsBeyondEveryCountPlayAsUsual)
{
    // A host may report any finite position; the segment count must stay defined (the sanitised build stops on
    // a cast out of range).
    for (const double firstBeat : { 0x1p63, -0x1p63, 1.0e300, -1.0e300 })
    {
        Driver driver (rate, 120.0, firstBeat, 2);
        driver.values[tz::reverseLength] = 0.0f; // 1/16
        for (const auto& channel : driver.process (Channels { noise (beat, 1), noise (beat, 2) }))
            for (const float s : channel)
                ASSERT_TRUE (std::isfinite (s)) << firstBeat;
    }
}

TEST (ReverseEffect, ProcessesWithoutAllocating)
{
    Driver driver (rate, 120.0, 0.0, 2);
    Signal left = noise (2 * beat, 4), right = noise (2 * beat, 5);

    const tz::test::AllocationCounter counter;
    driver.effect.trigger();
    for (int offset = 0; offset < 2 * beat; offset += tz::chunkSize)
    {
        float* chunk[2] = { left.data() + offset, right.data() + offset };
        driver.effect.process (chunk, 2, tz::chunkSize, driver.values, driver.transport);
        driver.transport.ppq += tz::chunkSize / driver.transport.samplesPerBeat;
    }
    EXPECT_EQ (counter.count(), 0u);
}

} // namespace
