#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "core/ChunkSize.h"
#include "effects/GrainEffect.h"
#include "support/AllocationCounter.h"

namespace
{
constexpr double rate = 48000.0;
using tz::chunkSize;
constexpr double pi = 3.14159265358979323846;

enum Mode
{
    forward,
    reverse,
    both,
    freeze
};

struct Settings
{
    float mode = forward, size = 90.0f, density = 16.0f, pitch = 0.0f, spray = 0.0f, feedback = 0.0f;

    tz::ParamValues values() const
    {
        auto v = tz::defaultParamValues();
        v[tz::grainOn] = 1.0f;
        v[tz::grainMode] = mode;
        v[tz::grainSize] = size;
        v[tz::grainDensity] = density;
        v[tz::grainPitch] = pitch;
        v[tz::grainSpray] = spray;
        v[tz::grainFeedback] = feedback;
        return v;
    }
};

struct Output
{
    std::vector<float> left, right;
};

using Input = std::function<float (long)>;

// Drives one grain effect the way the processor does: chunks of at most chunkSize samples and a running clock.
class Driver
{
public:
    explicit Driver (int channelCount = 2)
        : numChannels (channelCount)
    {
        effect.prepare (rate, numChannels);
    }

    // Runs `count` samples; `input` gives the value of global sample n on every channel.
    Output run (const Settings& settings, long count, const Input& input, int chunk = chunkSize)
    {
        const auto values = settings.values();
        Output out;
        out.left.reserve ((size_t) count);
        out.right.reserve ((size_t) count);

        for (long done = 0; done < count;)
        {
            const int n = (int) std::min<long> (chunk, count - done);
            float left[chunkSize], right[chunkSize];
            for (int i = 0; i < n; ++i)
                left[i] = right[i] = input (clock + i);

            tz::Transport transport;
            transport.samplesPerBeat = tz::samplesPerBeatFor (rate, transport.bpm);
            transport.ppq = (double) clock / transport.samplesPerBeat;

            float* channels[] = { left, right };
            {
                const tz::test::AllocationCounter counter;
                effect.process (channels, numChannels, n, values, transport);
                allocations += counter.count();
            }

            for (int i = 0; i < n; ++i)
            {
                out.left.push_back (left[i]);
                out.right.push_back (numChannels > 1 ? right[i] : left[i]);
            }

            clock += n;
            done += n;
        }
        return out;
    }

    tz::GrainEffect effect;
    int numChannels;
    long clock = 0;
    std::size_t allocations = 0; // made inside the effect
};

// White noise in -amplitude..amplitude, a pure function of the seed and the sample index.
Input noise (std::uint64_t seed, float amplitude = 1.0f)
{
    return [seed, amplitude] (long n)
    {
        auto z = seed * 0x9E3779B97F4A7C15ull + (std::uint64_t) n; // splitmix64
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return amplitude * (float) ((double) (z >> 11) / 4503599627370496.0 - 1.0);
    };
}

// Inverts the output's DC blocker (R = 1 - 10 pi / rate) to recover the plain grain sum.
std::vector<double> grainSum (const std::vector<float>& y)
{
    const auto r = (double) (float) (1.0 - 10.0 * pi / rate);
    std::vector<double> sum (y.size());
    double previousSum = 0.0, previousY = 0.0;
    for (size_t n = 0; n < y.size(); ++n)
    {
        sum[n] = previousSum + y[n] - r * previousY;
        previousSum = sum[n];
        previousY = y[n];
    }
    return sum;
}

// What the grains read, as a buffer index: the same cloud runs once on a constant input (its envelope) and
// once on a ramp whose value is its own index; their ratio is the index read (averaged over live grains).
struct Trace
{
    std::vector<double> envelope, index;
};

constexpr double rampStep = 1.0 / 65536.0; // exact in float for every index used

Trace traceReads (const Settings& settings, long count)
{
    Driver ones, ramp;
    const auto envelope = grainSum (ones.run (settings, count, [] (long) { return 1.0f; }).left);
    const auto ramped = grainSum (ramp.run (settings, count, [] (long n) { return (float) (n * rampStep); }).left);

    Trace trace { envelope, std::vector<double> ((size_t) count, 0.0) };
    for (size_t n = 0; n < (size_t) count; ++n)
        trace.index[n] = envelope[n] != 0.0 ? ramped[n] / envelope[n] / rampStep : 0.0;
    return trace;
}

constexpr double audible = 0.2; // envelope level above which a traced index is trusted

// Grain starts and directions as drand48 (seeded with 0x5EED) predicts them for a pool that never fills.
struct Spawn
{
    long sample;
    bool backward;
};

std::vector<Spawn> predictedSpawns (double interval, long count, bool drawsDirection)
{
    unsigned short state[3] = { 0x5EED, 0, 0 };
    const auto draw = [&state] { return (std::uint32_t) jrand48 (state); };

    std::vector<Spawn> spawns;
    double countdown = 0.0;
    for (long n = 0; n < count; ++n)
    {
        countdown -= 1.0;
        if (countdown > 0.0)
            continue;

        countdown += interval * (0.75 + 0.5 * draw() / 4294967296.0);
        const bool backward = drawsDirection && ((draw() >> 30) & 1u) != 0; // bit 46 of the state
        draw();                                                             // spray
        draw();                                                             // pan
        spawns.push_back ({ n, backward });
    }
    return spawns;
}

double slopeOf (const std::vector<double>& index, long from, long to)
{
    double sumX = 0, sumY = 0, sumXX = 0, sumXY = 0;
    const auto count = (double) (to - from);
    for (long n = from; n < to; ++n)
    {
        const auto x = (double) (n - from);
        sumX += x;
        sumY += index[(size_t) n];
        sumXX += x * x;
        sumXY += x * index[(size_t) n];
    }
    return (count * sumXY - sumX * sumY) / (count * sumXX - sumX * sumX);
}

double rms (const std::vector<float>& signal, size_t from, size_t to)
{
    double sum = 0.0;
    for (size_t n = from; n < to; ++n)
        sum += (double) signal[n] * signal[n];
    return std::sqrt (sum / (double) (to - from));
}

long firstDifference (const std::vector<float>& a, const std::vector<float>& b)
{
    const auto mismatch = std::mismatch (a.begin(), a.end(), b.begin(), b.end());
    return mismatch.first == a.end() && mismatch.second == b.end() ? -1 : (long) (mismatch.first - a.begin());
}
} // namespace

TEST (GrainEffect, ResetReplaysTheSameCloudWithoutAllocating)
{
    // Both effects hear the same input but run different clouds, then are reset and given the same settings.
    const auto input = noise (1);
    const Settings cloud { both, 120.0f, 30.0f, 7.0f, 60.0f, 50.0f };

    Driver first, second;
    first.run ({ forward, 90.0f, 16.0f, 0.0f, 30.0f, 0.0f }, 48000, input);
    second.run ({ reverse, 300.0f, 45.0f, -12.0f, 80.0f, 0.0f }, 48000, input);
    first.effect.reset();
    second.effect.reset();

    const auto expected = first.run (cloud, 96000, input);
    const auto replayed = second.run (cloud, 96000, input, 17);

    EXPECT_EQ (firstDifference (expected.left, replayed.left), -1);
    EXPECT_EQ (firstDifference (expected.right, replayed.right), -1);
    EXPECT_GT (rms (replayed.left, 0, replayed.left.size()), 0.05);
    EXPECT_GT (rms (replayed.right, 0, replayed.right.size()), 0.05);
    EXPECT_EQ (first.allocations + second.allocations, 0u);
}

TEST (GrainEffect, ForwardGrainsWithoutSprayOrPitchPlay64SamplesBehindTheHead)
{
    // Sparse clicks: a grain reading at any other distance would sound between the delayed clicks.
    constexpr long spacing = 331;
    const auto clicks = [] (long n) { return n % spacing == 0 ? 1.0f : 0.0f; };

    const Settings cases[] = {
        { forward, 90.0f, 16.0f, 0.0f, 0.0f, 0.0f },
        { forward, 10.0f, 60.0f, 0.0f, 0.0f, 0.0f },
        { forward, 500.0f, 60.0f, 0.0f, 0.0f, 0.0f },
    };

    for (const auto& settings : cases)
    {
        SCOPED_TRACE (settings.size);
        const long count = (long) (2.5 * rate);
        Driver driver;
        const auto sum = grainSum (driver.run (settings, count, clicks).left);

        long delayedClicks = 0, heard = 0;
        double strayest = 0.0;
        for (long n = 0; n < count; ++n)
        {
            if (n >= 64 && (n - 64) % spacing == 0)
            {
                ++delayedClicks;
                heard += sum[(size_t) n] > 1e-3 ? 1 : 0;
            }
            else
            {
                strayest = std::max (strayest, std::abs (sum[(size_t) n]));
            }
        }
        EXPECT_LT (strayest, 1e-4);
        EXPECT_GT (heard, delayedClicks / 2);
    }
}

TEST (GrainEffect, GrainsPlayInTheirModesDirectionAtThePitchedRate)
{
    // One grain per second at most, so each grain can be traced on its own.
    const struct
    {
        Mode mode;
        float pitch;
        double slope;
    } cases[] = {
        { forward, 0.0f, 1.0 },    { reverse, 0.0f, -1.0 },  { forward, 12.0f, 2.0 },
        { reverse, -12.0f, -0.5 }, { reverse, 24.0f, -4.0 }, { forward, -24.0f, 0.25 },
    };

    const long count = (long) (3.5 * rate);
    const auto spawns = predictedSpawns (rate, count, false);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "mode " << c.mode << " pitch " << c.pitch);
        const auto trace = traceReads ({ (float) c.mode, 100.0f, 1.0f, c.pitch, 0.0f, 0.0f }, count);

        int grainsSeen = 0;
        for (const auto& spawn : spawns)
        {
            // A grain lives 4800 samples; its middle, where the window is high, gives a clean slope.
            const long from = spawn.sample + 1200, to = spawn.sample + 3600;
            if (spawn.sample < (long) (0.5 * rate) || to > count)
                continue;
            ASSERT_GT (*std::min_element (trace.envelope.begin() + from, trace.envelope.begin() + to), audible);
            EXPECT_NEAR (slopeOf (trace.index, from, to), c.slope, 0.01);
            ++grainsSeen;
        }
        EXPECT_GE (grainsSeen, 2);
    }
}

TEST (GrainEffect, BothModeDrawsEachGrainsDirectionFromTheSeededGenerator)
{
    const long count = (long) (8.0 * rate);
    const auto spawns = predictedSpawns (rate, count, true);
    const auto trace = traceReads ({ both, 100.0f, 1.0f, 0.0f, 0.0f, 0.0f }, count);

    int forwardSeen = 0, backwardSeen = 0;
    for (const auto& spawn : spawns)
    {
        const long from = spawn.sample + 1200, to = spawn.sample + 3600;
        if (spawn.sample < (long) (0.5 * rate) || to > count)
            continue;
        ASSERT_GT (*std::min_element (trace.envelope.begin() + from, trace.envelope.begin() + to), audible);
        EXPECT_NEAR (slopeOf (trace.index, from, to), spawn.backward ? -1.0 : 1.0, 0.01) << spawn.sample;
        ++(spawn.backward ? backwardSeen : forwardSeen);
    }
    EXPECT_GE (forwardSeen, 1);
    EXPECT_GE (backwardSeen, 1);
}

TEST (GrainEffect, FreezeStopsRecordingAndResumesWhereItStopped)
{
    const auto before = noise (2), during = noise (3, 4.0f), after = noise (4);
    const long recorded = (long) (1.5 * rate);
    const long frozen = (long) (4.5 * rate); // longer than the buffer: any write would reach every slot
    const Settings playing { forward, 200.0f, 20.0f, 0.0f, 50.0f, 0.0f };

    // The frozen effect and a reference that never froze record the same material before the freeze.
    Driver frozenEffect, reference;
    frozenEffect.run (playing, recorded, before);
    reference.run (playing, recorded, before);
    const int stoppedAt = frozenEffect.effect.buffer().writePosition();

    frozenEffect.clock = 0;
    const auto freezeOutput = frozenEffect.run ({ freeze, 200.0f, 20.0f, 12.0f, 50.0f, 90.0f }, frozen, during);
    EXPECT_EQ (frozenEffect.effect.buffer().writePosition(), stoppedAt);
    const auto lastSecond = freezeOutput.left.size() - (size_t) rate;
    EXPECT_GT (rms (freezeOutput.left, lastSecond, freezeOutput.left.size()), 0.05);

    // After a reset both start the same cloud; it can only sound the same if the frozen effect's buffer and
    // write head are exactly where the reference's are.
    frozenEffect.effect.reset();
    reference.effect.reset();
    frozenEffect.clock = reference.clock = 0;
    const Settings resumed { forward, 300.0f, 30.0f, 5.0f, 100.0f, 40.0f };
    const auto expected = reference.run (resumed, (long) rate, after);
    const auto actual = frozenEffect.run (resumed, (long) rate, after);

    EXPECT_EQ (firstDifference (expected.left, actual.left), -1);
    EXPECT_EQ (firstDifference (expected.right, actual.right), -1);
    EXPECT_EQ (frozenEffect.effect.buffer().writePosition(), reference.effect.buffer().writePosition());
}

TEST (GrainEffect, FreezeOnAnEmptyBufferRecordsUntilItHoldsAWholeGrain)
{
    // A project reloaded with a freeze patch has recorded nothing: the freeze records until the buffer holds
    // everything a grain can reach (its span, the guard behind the head, the spray and the two samples the
    // interpolator takes before the oldest read), then holds that.
    const struct
    {
        float pitch, spray;
    } cases[] = { { 0.0f, 0.0f }, { 12.0f, 50.0f } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "pitch " << c.pitch << " spray " << c.spray);
        const Settings frozen { freeze, 200.0f, 20.0f, c.pitch, c.spray, 0.0f };
        const double reach = 0.2 * rate * std::pow (2.0, c.pitch / 12.0) + 64.0 + c.spray * 0.01 * 1.5 * rate + 2.0;

        Driver driver;
        const auto out = driver.run (frozen, (long) (3.0 * rate), noise (7));
        const int stoppedAt = driver.effect.buffer().writePosition();
        EXPECT_GE (stoppedAt, reach);
        EXPECT_LT (stoppedAt, reach + chunkSize);
        EXPECT_GT (rms (out.left, out.left.size() - (size_t) rate, out.left.size()), 0.05);
    }
}

TEST (GrainEffect, AFeedbackJumpWritesNoStepForTheGrainsToReplay)
{
    // The fed-back output enters the buffer, so a jump in the amount is a step there that every grain reading
    // it replays (before: steps of 0.077 and 0.060, five times the sine's own 0.013).
    const auto tone = [] (long n) { return (float) std::sin (2.0 * pi * 100.0 * (double) n / rate); };
    const float sineStep = (float) (2.0 * std::sin (pi * 100.0 / rate));

    Settings cloud { forward, 200.0f, 15.0f, 0.0f, 40.0f, 0.0f };
    Driver driver;
    driver.run (cloud, (long) rate, tone);
    cloud.feedback = 45.0f;
    const auto out = driver.run (cloud, (long) (2.0 * rate), tone);

    for (const auto* side : { &out.left, &out.right })
    {
        float largest = 0.0f;
        for (size_t n = 1; n < side->size(); ++n)
            largest = std::max (largest, std::abs ((*side)[n] - (*side)[n - 1]));
        EXPECT_LE (largest, 2.0f * sineStep);
    }
}

TEST (GrainEffect, DenseCloudKeepsEveryGrainTheGeneratorStarts)
{
    // Density 60 and 500 ms: intervals of 600..1000 samples against 24000-sample grains, 30 alive on average.
    const long count = (long) (10.0 * rate);
    const double length = 24000.0;
    const auto spawns = predictedSpawns (rate / 60.0, count, false);

    Driver driver;
    const Settings dense { forward, 500.0f, 60.0f, 0.0f, 40.0f, 0.0f };

    double aliveSum = 0.0;
    int checkpoints = 0, mostAlive = 0;
    size_t firstLive = 0;
    for (long done = 0; done < count; done += chunkSize)
    {
        driver.run (dense, chunkSize, [] (long) { return 0.0f; });
        const long last = done + chunkSize - 1;
        const int alive = driver.effect.activeGrainCount();
        mostAlive = std::max (mostAlive, alive);

        // A grain started at sample s has played last - s + 1 samples and lives while that is below its length.
        while (firstLive < spawns.size() && (double) (last - spawns[firstLive].sample + 1) >= length)
            ++firstLive;
        int expected = 0;
        for (size_t k = firstLive; k < spawns.size() && spawns[k].sample <= last; ++k)
            ++expected;
        ASSERT_EQ (alive, expected) << "after sample " << last;

        if (last >= (long) length)
        {
            aliveSum += alive;
            ++checkpoints;
        }
    }

    EXPECT_NEAR (aliveSum / checkpoints, 30.0, 1.0);
    EXPECT_LT (mostAlive, tz::GrainEffect::maxGrains);
}

TEST (GrainEffect, FullFeedbackStaysBoundedOnMinuteOfNoise)
{
    // All grains read the same sample, so the loop gain without saturation would be well above one.
    const Settings loop { forward, 500.0f, 60.0f, 0.0f, 0.0f, 90.0f };
    Driver driver;
    const auto out = driver.run (loop, (long) (60.0 * rate), noise (5));

    // The buffer holds |input| + |tanh| < 2; at most 48 grains with pan gains up to sqrt (1.6) and the
    // Catmull-Rom overshoot (1.25) scaled by 1 / sqrt (30); the DC blocker at most doubles a bounded signal.
    const double bound = 2.0 * (2.0 * 1.25 * 48.0 * std::sqrt (1.6) / std::sqrt (30.0));
    for (const auto* side : { &out.left, &out.right })
    {
        double peak = 0.0;
        for (const float s : *side)
            peak = std::isfinite (s) ? std::max (peak, (double) std::abs (s)) : INFINITY;
        EXPECT_LT (peak, bound);
        const auto second = (size_t) rate;
        EXPECT_LT (rms (*side, 50 * second, 60 * second), 1.25 * rms (*side, 10 * second, 20 * second));
    }
}

TEST (GrainEffect, MonoOutputIsTheAverageOfBothSides)
{
    const auto input = noise (6);
    const Settings cloud { both, 80.0f, 25.0f, 3.0f, 40.0f, 30.0f };
    Driver stereo, mono (1);
    const auto wide = stereo.run (cloud, 24000, input);
    const auto narrow = mono.run (cloud, 24000, input);

    for (size_t n = 0; n < wide.left.size(); ++n)
        ASSERT_EQ (narrow.left[n], (wide.left[n] + wide.right[n]) * 0.5f) << n;
}

TEST (GrainEffect, WindowRecurrenceMatchesTheClosedForm)
{
    // Shortest grain, a fractional length, and the longest grain at 48 and at 192 kHz.
    for (const double length : { 64.0, 4410.5, 0.6 * 48000.0, 0.6 * 192000.0 })
    {
        tz::HannWindow window;
        window.start (length);
        double worst = 0.0;
        for (long n = 0; (double) n < length; ++n)
        {
            const double closedForm = 0.5 - 0.5 * std::cos (2.0 * pi * (double) n / length);
            worst = std::max (worst, std::abs (window.value ((int) n) - closedForm));
            if (n % tz::HannWindow::numLanes == tz::HannWindow::numLanes - 1)
                window.nextFour();
        }
        EXPECT_LT (worst, 1e-9) << length;
    }
}
