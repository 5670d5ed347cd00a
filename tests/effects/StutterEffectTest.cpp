#include <gtest/gtest.h>

#include <cmath>

#include "effects/CaptureDriver.h"
#include "effects/StutterEffect.h"
#include "support/AllocationCounter.h"

namespace
{
using tz::test::CaptureDriver;
using tz::test::Channels;
using tz::test::noise;
using tz::test::Signal;
using Driver = CaptureDriver<tz::StutterEffect>;

constexpr double rate = 48000.0;
constexpr int fade = 240;       // 5 ms at 48 kHz
constexpr int sixteenth = 6000; // 1/16 note at 120 BPM
constexpr int beat = 24000;     // 1/4 note at 120 BPM
constexpr float lengthSixteenth = 2.0f, lengthHalf = 5.0f;
constexpr float holdQuarter = 2.0f, holdFree = 5.0f;
const double pi = juce::MathConstants<double>::pi;

void setStutter (Driver& driver, float length, float hold, float pitch = 0.0f, float decay = 0.0f)
{
    driver.values[tz::stutterLength] = length;
    driver.values[tz::stutterHold] = hold;
    driver.values[tz::stutterPitch] = pitch;
    driver.values[tz::stutterDecay] = decay;
}

// Index of the first sample at which a and b differ by more than the tolerance, or -1.
int firstMismatch (const float* a, const float* b, int length, float tolerance)
{
    for (int i = 0; i < length; ++i)
        if (std::abs (a[i] - b[i]) > tolerance)
            return i;
    return -1;
}

TEST (StutterEffect, PassesTheInputUntilTriggered)
{
    Driver driver (rate, 120.0, 0.0, 1);
    setStutter (driver, lengthSixteenth, holdQuarter);
    const Signal input = noise (2 * beat, 1);
    EXPECT_EQ (driver.process (input), input);
}

TEST (StutterEffect, FreeHoldPlaysTheSliceOnceLiveThenRepeatsIt)
{
    Driver driver (rate, 120.0, 0.0, 2);
    setStutter (driver, lengthSixteenth, holdFree);

    // Audio heard while asleep leads into the slice; waking resets the voices but not the buffer.
    const int preRoll = 1024;
    const Channels before { noise (preRoll, 1), noise (preRoll, 2) };
    driver.record (before);
    driver.effect.reset();
    driver.effect.trigger();

    const int length = 5 * sixteenth;
    const Channels input { noise (length, 3), noise (length, 4) };
    const Channels output = driver.process (input);

    for (size_t ch = 0; ch < 2; ++ch)
    {
        const Signal& in = input[ch];
        const Signal& out = output[ch];
        EXPECT_EQ (firstMismatch (out.data(), in.data(), sixteenth - fade + 1, 0.0f), -1) << ch;

        // The end of the pass crossfades linearly into the audio just before the slice.
        for (int j = sixteenth - fade + 1; j < sixteenth; ++j)
        {
            const double h = (double) (sixteenth - j) / fade;
            const double leadIn = before[ch][(size_t) (preRoll + j - sixteenth)];
            EXPECT_NEAR (out[(size_t) j], in[(size_t) j] * h + leadIn * (1.0 - h), 1.0e-6) << ch << " at " << j;
        }

        EXPECT_EQ (firstMismatch (out.data() + sixteenth, out.data(), length - sixteenth, 0.0f), -1) << ch;
    }
}

TEST (StutterEffect, SyncedHoldCapturesAFreshSliceOnEveryBeat)
{
    Driver driver (rate, 120.0, 0.0, 1);
    setStutter (driver, lengthSixteenth, holdQuarter);
    driver.effect.trigger();

    const Signal input = noise (4 * beat, 5);
    const Signal output = driver.process (input);

    for (int b = 1; b < 4; ++b)
    {
        const int start = b * beat;
        const int previousStart = start - beat; // the old voice is at the top of its slice again

        double power = 0.0;
        for (int j = 0; j < fade; ++j)
        {
            const double x = (double) (fade - j) / fade * pi / 2.0;
            const double expected =
                input[(size_t) (start + j)] * std::cos (x) + input[(size_t) (previousStart + j)] * std::sin (x);
            EXPECT_NEAR (output[(size_t) (start + j)], expected, 1.0e-6) << "beat " << b << " at " << j;
            power += std::cos (x) * std::cos (x) + std::sin (x) * std::sin (x);
        }
        EXPECT_NEAR (power / fade, 1.0, 1.0e-9);

        const float* out = output.data() + start;
        const float* in = input.data() + start;
        EXPECT_EQ (firstMismatch (out + fade, in + fade, sixteenth - 2 * fade, 0.0f), -1) << "beat " << b;
        EXPECT_EQ (firstMismatch (out + sixteenth, in, sixteenth - fade, 0.0f), -1) << "beat " << b;
    }
}

TEST (StutterEffect, PitchedRepeatsReadTheFilteredLayerAtTheirSpeed)
{
    Driver driver (rate, 120.0, 0.0, 1);
    setStutter (driver, lengthSixteenth, holdFree, 12.0f);
    const int start = 1024;
    driver.record (noise (start, 6));
    driver.effect.trigger();

    const Signal input = noise (4 * sixteenth, 7);
    const Signal output = driver.process (input);
    EXPECT_EQ (firstMismatch (output.data(), input.data(), sixteenth - fade, 0.0f), -1);

    const auto& raw = driver.effect.buffer().layer (0, 0);
    const auto& lowPassed = driver.effect.buffer().layer (1, 0);
    const int halfLength = sixteenth / 2;
    double layerDifference = 0.0;

    for (int repeat = 0; repeat < 3; ++repeat)
    {
        const int repeatStart = sixteenth + repeat * halfLength; // each repeat lasts half the slice
        for (int j = 0; j < halfLength - fade; ++j)
        {
            const size_t source = (size_t) (start + 2 * j);
            EXPECT_NEAR (output[(size_t) (repeatStart + j)], lowPassed[source], 1.0e-6)
                << "repeat " << repeat << " at " << j;
            layerDifference = std::max (layerDifference, (double) std::abs (lowPassed[source] - raw[source]));
        }
    }
    EXPECT_GT (layerDifference, 0.1); // the noise has enough above 0.2 x fs to tell the layers apart
}

TEST (StutterEffect, AWokenStutterReadsTheFilteredHistoryOfOneThatStayedAwake)
{
    // Asleep, the stutter keeps only the plain layer current. Pitched repeats read the filtered layers, their
    // lead-in from before the trigger, so waking must bring back what an awake stutter would have filtered.
    for (const float pitch : { 12.0f, 24.0f })
    {
        Driver awake (rate, 120.0, 0.0, 1), woken (rate, 120.0, 0.0, 1);
        setStutter (awake, lengthSixteenth, holdFree, pitch);
        setStutter (woken, lengthSixteenth, holdFree, pitch);

        const Signal history = noise (30000, 8);
        awake.process (history); // awake but not triggered: it passes its input and records all layers
        woken.record (history);
        awake.effect.trigger();
        woken.effect.trigger();

        const Signal input = noise (3 * sixteenth, 9);
        const Signal expected = awake.process (input), output = woken.process (input);
        for (size_t t = 0; t < output.size(); ++t)
            ASSERT_NEAR (output[t], expected[t], 1.0e-6f) << "pitch " << pitch << " at " << t;
    }
}

TEST (StutterEffect, DecayHalvesEveryRepeatThroughATwoMillisecondGlide)
{
    Driver driver (rate, 120.0, 0.0, 1);
    setStutter (driver, lengthSixteenth, holdFree, 0.0f, 100.0f);

    // A period that divides the slice makes the loop crossfade transparent.
    const int preRoll = 1024;
    Signal input (preRoll + 5 * sixteenth);
    for (size_t t = 0; t < input.size(); ++t)
        input[t] = 0.5f * (float) std::sin (2.0 * pi * (double) t / 600.0);

    driver.record (Signal (input.begin(), input.begin() + preRoll));
    driver.effect.trigger();
    const Signal output = driver.process (Signal (input.begin() + preRoll, input.end()));

    const double glide = 0.002 * rate;
    for (int repeat = 1; repeat < 5; ++repeat)
    {
        const double level = std::pow (0.5, repeat);
        for (int j = 0; j < sixteenth; ++j)
        {
            const double gain = level + level * std::exp (-j / glide);
            EXPECT_NEAR (output[(size_t) (repeat * sixteenth + j)], input[(size_t) (preRoll + j)] * gain, 2.0e-6)
                << "repeat " << repeat << " at " << j;
        }
    }
}

TEST (StutterEffect, LongSlicesAreLimitedToTheReachOfTheBuffer)
{
    Driver driver (rate, 40.0, 0.0, 1); // 1/2 note = 3 s
    setStutter (driver, lengthHalf, holdFree);

    const double frequency = 100.0;
    const auto sine = [&] (double t) { return std::sin (2.0 * pi * frequency * t / rate); };
    const int preRoll = 1024; // the interpolator reaches just before the slice
    Signal input ((size_t) (preRoll + 150000));
    for (size_t t = 0; t < input.size(); ++t)
        input[t] = (float) sine ((double) t - preRoll);

    driver.record (Signal (input.begin(), input.begin() + preRoll));
    driver.effect.trigger();
    const Signal output = driver.process (Signal (input.begin() + preRoll, input.end()));

    const double slice = 0.45 * (std::ceil (4.5 * rate) + 4.0); // 2.025 s
    for (int t = (int) std::ceil (slice); t < (int) std::ceil (slice) + 40000; ++t)
        ASSERT_NEAR (output[(size_t) t], sine (t - slice), 1.0e-4) << t;
}

TEST (StutterEffect, BoundaryInTheFirstFiveMillisecondsDoesNotRecapture)
{
    Driver driver (rate, 120.0, 0.0, 1);
    setStutter (driver, lengthSixteenth, holdQuarter);
    const int trigger = beat - 96; // 2 ms before the beat
    const Signal input = noise (trigger + 3 * sixteenth, 8);

    driver.process (Signal (input.begin(), input.begin() + trigger));
    driver.effect.trigger();
    const Signal output = driver.process (Signal (input.begin() + trigger, input.end()));

    // The repeat replays the slice from the trigger, not one from the beat.
    EXPECT_EQ (firstMismatch (output.data() + sixteenth, input.data() + trigger, sixteenth - fade, 0.0f), -1);
}

TEST (StutterEffect, HeldSliceIsRecapturedBeforeTheWriteHeadComesRound)
{
    Driver driver (rate, 120.0, 0.0, 1);
    setStutter (driver, lengthSixteenth, holdFree);
    const int capacity = driver.effect.buffer().capacity();
    driver.effect.trigger();

    const Signal input = noise (capacity + 3 * sixteenth, 9);
    const Signal output = driver.process (input);

    // The first slice repeats intact until a fresh capture takes over...
    const int recapture = sixteenth + firstMismatch (output.data() + sixteenth, output.data(), capacity, 0.0f);
    ASSERT_GT (recapture, sixteenth);
    EXPECT_GT (recapture, capacity - 4 * fade);

    // ...which ends its crossfade before the write head reaches the old slice's lead-in...
    EXPECT_LE (recapture + fade, capacity - fade - 1);

    // ...and plays and repeats the new slice like any other capture.
    const float* out = output.data() + recapture;
    const float* in = input.data() + recapture;
    EXPECT_EQ (firstMismatch (out + fade, in + fade, sixteenth - 2 * fade, 0.0f), -1);
    EXPECT_EQ (firstMismatch (out + sixteenth, in, sixteenth - fade, 0.0f), -1);
}

TEST (StutterEffect, SongPositionsBeyondEveryCountRepeatAsUsual)
{
    // A host may report any finite position; the repeat count must stay defined (the sanitised build stops on
    // a cast out of range).
    for (const double firstBeat : { 0x1p63, -0x1p63, 1.0e300, -1.0e300 })
    {
        Driver driver (rate, 120.0, firstBeat, 2);
        setStutter (driver, lengthSixteenth, 0.0f /* 1/16 */, 7.0f);
        driver.effect.trigger();
        for (const auto& channel : driver.process (Channels { noise (beat, 1), noise (beat, 2) }))
            for (const float s : channel)
                ASSERT_TRUE (std::isfinite (s)) << firstBeat;
    }
}

TEST (StutterEffect, ProcessesWithoutAllocating)
{
    Driver driver (rate, 120.0, 0.0, 2);
    setStutter (driver, lengthSixteenth, holdQuarter, 7.0f, 40.0f);
    Channels audio { noise (2 * beat, 10), noise (2 * beat, 11) };

    const tz::test::AllocationCounter counter;
    driver.effect.trigger();
    for (int offset = 0; offset < 2 * beat; offset += tz::chunkSize)
    {
        float* chunk[2] = { audio[0].data() + offset, audio[1].data() + offset };
        driver.effect.process (chunk, 2, tz::chunkSize, driver.values, driver.transport);
        driver.transport.ppq += tz::chunkSize / driver.transport.samplesPerBeat;
    }
    EXPECT_EQ (counter.count(), 0u);
}

} // namespace
