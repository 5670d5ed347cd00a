#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <vector>

#include "engine/Modulators.h"

namespace
{
constexpr double pi = 3.14159265358979323846;

enum Shape
{
    sine,
    triangle,
    sawUp,
    sawDown,
    square,
    random,
    smoothRandom
};
enum StepShape
{
    stepSquare,
    rampDown,
    rampUp,
    curve,
    glide
};
enum Rate
{
    rate16th = 3,
    rateQuarter = 9,
    rateHalf = 11,
    rateBar = 12
};

// The hash as described for the Random shapes, written out independently.
double hashR (int modulator, std::int64_t k)
{
    std::uint64_t x = (std::uint64_t) k * 0x9E3779B97F4A7C15ull;
    x ^= (std::uint64_t) (modulator + 1) * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 31;
    x *= 0x94D049BB133111EBull;
    return (double) (x >> 40) / (double) (1 << 24);
}

double sineAt (double phi) { return 0.5 - 0.5 * std::cos (2.0 * pi * phi); }

void setField (tz::ParamValues& values, int m, int field, float value)
{
    values[(size_t) tz::modParam (m, field)] = value;
}

tz::ParamValues lfo (int m, int shape, int rate, float phase, bool followsXY = false)
{
    auto values = tz::defaultParamValues();
    setField (values, m, tz::modField::mode, 0.0f);
    setField (values, m, tz::modField::shape, (float) shape);
    setField (values, m, tz::modField::rate, (float) rate);
    setField (values, m, tz::modField::phase, phase);
    setField (values, m, tz::modField::followsXY, followsXY ? 1.0f : 0.0f);
    return values;
}

tz::ParamValues sequencer (int m, int rate, int length, std::initializer_list<float> levels, int shape = stepSquare)
{
    auto values = tz::defaultParamValues();
    setField (values, m, tz::modField::mode, 1.0f);
    setField (values, m, tz::modField::rate, (float) rate);
    setField (values, m, tz::modField::length, (float) length);
    setField (values, m, tz::modField::followsXY, 0.0f);
    int step = 0;
    for (const float level : levels)
    {
        setField (values, m, tz::modField::firstStep + step, level);
        setField (values, m, tz::modField::firstStepShape + step, (float) shape);
        ++step;
    }
    return values;
}

TEST (Modulators, LfoShapesFollowTheirClosedForms)
{
    const struct
    {
        int modulator, shape, rate;
        float phase;
        double beat, expected;
    } cases[] = {
        // Sine over one bar: 0 at the start, 1 in the middle, 0.5 at the quarters.
        { 0, sine, rateBar, 0, 0.0, 0.0 },
        { 0, sine, rateBar, 0, 2.0, 1.0 },
        { 0, sine, rateBar, 0, 1.0, 0.5 },
        { 0, sine, rateBar, 0, 3.0, 0.5 },
        { 0, sine, rateBar, 0, 4.0 + 0.6, sineAt (0.15) },
        { 0, sine, rateBar, 25, 0.0, 0.5 },
        { 0, triangle, rateQuarter, 0, 0.25, 0.5 },
        { 0, triangle, rateQuarter, 0, 10.5, 1.0 },
        { 0, triangle, rateQuarter, 0, 0.875, 0.25 },
        { 0, sawUp, rateHalf, 0, 0.5, 0.25 },
        { 0, sawDown, rateHalf, 0, 0.5, 0.75 },
        // Saw Up shifted by half a cycle starts at 0.5, reaches 1 at the middle and jumps to 0.
        { 0, sawUp, rateBar, 50, 0.0, 0.5 },
        { 0, sawUp, rateBar, 50, 1.999, 0.5 + 1.999 / 4.0 },
        { 0, sawUp, rateBar, 50, 2.0, 0.0 },
        // Square with phase 50: low in the first half of each cycle, high in the second.
        { 0, square, rateQuarter, 50, 0.25, 0.0 },
        { 0, square, rateQuarter, 50, 0.75, 1.0 },
        { 0, square, rateQuarter, 0, 0.25, 1.0 },
        { 0, square, rateQuarter, 0, 0.5, 0.0 },
        // Random holds one hashed value per cycle, also before the song start.
        { 0, random, rateQuarter, 0, 0.1, hashR (0, 0) },
        { 0, random, rateQuarter, 0, 0.9, hashR (0, 0) },
        { 0, random, rateQuarter, 0, 1.5, hashR (0, 1) },
        { 0, random, rateQuarter, 0, -0.5, hashR (0, -1) },
        { 2, random, rate16th, 0, 10.3, hashR (2, 41) },
        { 0, random, rateQuarter, 100, 0.5, hashR (0, 1) },
        // Smooth Random: a half-cosine from this cycle's value to the next one's.
        { 3, smoothRandom, rateQuarter, 0, 5.0, hashR (3, 5) },
        { 3, smoothRandom, rateQuarter, 0, 5.5, 0.5 * (hashR (3, 5) + hashR (3, 6)) },
        { 3, smoothRandom, rateQuarter, 0, 5.25,
          hashR (3, 5) + (hashR (3, 6) - hashR (3, 5)) * (0.5 - 0.5 * std::cos (pi * 0.25)) },
    };

    for (const auto& c : cases)
    {
        const auto values = lfo (c.modulator, c.shape, c.rate, c.phase);
        EXPECT_NEAR (tz::modulatorValue (values, c.modulator, c.beat, 1.0f), c.expected, 1e-9)
            << "mod " << c.modulator + 1 << " shape " << c.shape << " rate " << c.rate << " phase " << c.phase
            << " beat " << c.beat;
    }
}

TEST (Modulators, PositionsBeyondEveryCountGiveValuesInRange)
{
    // A host may report any finite position: every shape, and the sequencer with swing, gives a value in 0..1
    // (the sanitised build stops on a cycle or step count cast out of range).
    constexpr double largest = std::numeric_limits<double>::max();
    auto sequencer = lfo (0, sine, rate16th, 0);
    setField (sequencer, 0, tz::modField::mode, 1.0f);
    setField (sequencer, 0, tz::modField::swing, 60.0f);
    setField (sequencer, 0, tz::modField::firstStepShape, (float) glide);

    std::vector<tz::ParamValues> patches { sequencer };
    for (const int shape : { sine, triangle, sawUp, sawDown, square, random, smoothRandom })
        patches.push_back (lfo (0, shape, 0 /* 1/64 */, 30));

    for (size_t k = 0; k < patches.size(); ++k)
        for (const double beat : { 0x1p63, -0x1p63, 1.0e300, -1.0e300, largest, -largest })
        {
            const double value = tz::modulatorValue (patches[k], 0, beat, 4.0f);
            EXPECT_TRUE (value >= 0.0 && value <= 1.0) << "patch " << k << " at beat " << beat << ": " << value;
        }
}

TEST (Modulators, RandomRepeatsWithThePositionAndDiffersBetweenModulators)
{
    std::set<double> seen;
    int differing = 0;

    for (int beat = 0; beat < 16; ++beat)
    {
        const double first = tz::modulatorValue (lfo (0, random, rateQuarter, 0), 0, beat + 0.5, 1.0f);
        const double again = tz::modulatorValue (lfo (0, random, rateQuarter, 0), 0, beat + 0.5, 1.0f);
        const double other = tz::modulatorValue (lfo (1, random, rateQuarter, 0), 1, beat + 0.5, 1.0f);

        EXPECT_EQ (first, again);
        EXPECT_GE (first, 0.0);
        EXPECT_LT (first, 1.0);
        differing += first != other ? 1 : 0;
        seen.insert (first);
    }

    EXPECT_EQ (differing, 16);
    EXPECT_EQ (seen.size(), 16u);
}

TEST (Modulators, SmoothRandomIsContinuousAcrossCycleBoundaries)
{
    const auto values = lfo (1, smoothRandom, rate16th, 0);

    for (int k = -3; k < 40; ++k)
    {
        const double boundary = k * 0.25;
        const double before = tz::modulatorValue (values, 1, boundary - 1e-7, 1.0f);
        const double after = tz::modulatorValue (values, 1, boundary + 1e-7, 1.0f);
        EXPECT_NEAR (before, after, 1e-9) << "boundary at beat " << boundary;
        EXPECT_NEAR (after, hashR (1, k), 1e-9);
    }
}

TEST (Modulators, StepSequencerRepeatsAtItsLength)
{
    // Length 4 at 1/16: the four levels repeat every beat.
    const auto four = sequencer (0, rate16th, 4, { 10, 20, 30, 40, 90, 90 });
    const double expected[] = { 0.1, 0.2, 0.3, 0.4 };
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR (tz::modulatorValue (four, 0, i * 0.25 + 0.01, 1.0f), expected[i % 4], 1e-6) << "step " << i;

    // Before the song start the pattern still lands on valid steps.
    EXPECT_NEAR (tz::modulatorValue (four, 0, -0.01, 1.0f), 0.4, 1e-6);

    // Length 1 repeats the first step for ever.
    const auto one = sequencer (0, rate16th, 1, { 70, 10 });
    for (double beat : { 0.0, 0.3, 7.9, -2.2 })
        EXPECT_NEAR (tz::modulatorValue (one, 0, beat, 1.0f), 0.7, 1e-6);

    // Phase shifts by a fraction of the whole pattern: 25 % of four steps is one step.
    auto shifted = four;
    setField (shifted, 0, tz::modField::phase, 25.0f);
    EXPECT_NEAR (tz::modulatorValue (shifted, 0, 0.01, 1.0f), 0.2, 1e-6);
}

TEST (Modulators, StepShapesShapeEachStep)
{
    // Step 1 at level 0.8, step 2 at 0.4; evaluated a quarter of the way through step 1.
    const struct
    {
        int shape;
        double expected;
    } cases[] = {
        { stepSquare, 0.8 },
        { rampDown, 0.8 * 0.75 },
        { rampUp, 0.8 * 0.25 },
        { curve, 0.8 * 0.75 * 0.75 * 0.75 },
        { glide, 0.8 + (0.4 - 0.8) * 0.25 },
    };

    for (const auto& c : cases)
    {
        const auto values = sequencer (0, rateQuarter, 2, { 80, 40 }, c.shape);
        EXPECT_NEAR (tz::modulatorValue (values, 0, 0.25, 1.0f), c.expected, 1e-6) << "shape " << c.shape;
    }
}

TEST (Modulators, GlideWrapsAtThePatternLength)
{
    // Three active steps: the last one glides toward step 1, not toward step 4.
    const auto values = sequencer (0, rateQuarter, 3, { 20, 50, 90, 0 }, glide);
    EXPECT_NEAR (tz::modulatorValue (values, 0, 2.5, 1.0f), 0.9 + (0.2 - 0.9) * 0.5, 1e-6);
    EXPECT_NEAR (tz::modulatorValue (values, 0, 2.999999, 1.0f), 0.2, 1e-5);
}

TEST (Modulators, FullSwingLengthensOddStepsByATwelfthOfABeat)
{
    // Ramp Up at level 1 reads back how far through its step the sequencer is.
    auto values = sequencer (0, rate16th, 16, { 100, 100, 100, 100, 100, 100 }, rampUp);
    setField (values, 0, tz::modField::swing, 100.0f);

    const double oddLength = 0.25 + 1.0 / 12.0;
    const double evenLength = 0.25 - 1.0 / 12.0;

    for (int pair = 0; pair < 2; ++pair)
    {
        const double start = pair * 0.5;
        EXPECT_NEAR (tz::modulatorValue (values, 0, start + 0.5 * oddLength, 1.0f), 0.5, 1e-6);
        EXPECT_NEAR (tz::modulatorValue (values, 0, start + oddLength - 1e-9, 1.0f), 1.0, 1e-6);
        EXPECT_NEAR (tz::modulatorValue (values, 0, start + oddLength + 0.5 * evenLength, 1.0f), 0.5, 1e-6);
        EXPECT_NEAR (tz::modulatorValue (values, 0, start + 0.5 + 1e-9, 1.0f), 0.0, 1e-6);
    }

    const auto at = tz::stepPositionAt (1.0 + 1.0 / 3.0 + 0.001, 100.0f);
    EXPECT_EQ (at.step, 1);
    EXPECT_NEAR (at.fraction, 0.001 / (2.0 / 3.0), 1e-9);
}

TEST (Modulators, XYSpeedFactorSteps)
{
    const struct
    {
        float x, factor;
    } cases[] = { { 0, 0.25f }, { 19.9f, 0.25f }, { 20, 0.5f }, { 39.9f, 0.5f }, { 40, 1 },
                  { 50, 1 },    { 60, 2 },        { 79.9f, 2 }, { 80, 4 },       { 100, 4 } };

    for (const auto& c : cases)
        EXPECT_EQ (tz::xySpeedFor (c.x), c.factor) << "x = " << c.x;
}

TEST (Modulators, FollowingXYScalesTheCycle)
{
    // A one-bar sine at X = 90 completes its cycle in one beat; at X = 10 it takes four bars.
    const auto follows = lfo (0, sine, rateBar, 0, true);
    EXPECT_NEAR (tz::modulatorValue (follows, 0, 0.5, tz::xySpeedFor (90)), 1.0, 1e-9);
    EXPECT_NEAR (tz::modulatorValue (follows, 0, 1.0, tz::xySpeedFor (90)), 0.0, 1e-9);
    EXPECT_NEAR (tz::modulatorValue (follows, 0, 8.0, tz::xySpeedFor (10)), 1.0, 1e-9);
    EXPECT_NEAR (tz::modulatorValue (follows, 0, 4.0, tz::xySpeedFor (10)), 0.5, 1e-9);

    // The step sequencer's steps shrink the same way.
    auto steps = sequencer (0, rateQuarter, 4, { 10, 20, 30, 40 });
    setField (steps, 0, tz::modField::followsXY, 1.0f);
    EXPECT_NEAR (tz::modulatorValue (steps, 0, 0.3, 4.0f), 0.2, 1e-6);

    // A modulator that does not follow the pad ignores its speed.
    const auto independent = lfo (0, sine, rateBar, 0, false);
    EXPECT_NEAR (tz::modulatorValue (independent, 0, 2.0, tz::xySpeedFor (90)), 1.0, 1e-9);
}

TEST (Modulators, SmoothingIsAOnePoleWithAThreeTenthsSecondConstantAtFull)
{
    constexpr double rate = 48000.0;
    constexpr int n = 32;

    // Three modulators hold a constant 1 in step mode, smoothed 100 %, 0 % and 50 %.
    auto values = tz::defaultParamValues();
    const float smoothing[] = { 100.0f, 0.0f, 50.0f };
    for (int m = 0; m < 3; ++m)
    {
        setField (values, m, tz::modField::mode, 1.0f);
        setField (values, m, tz::modField::length, 1.0f);
        setField (values, m, tz::modField::firstStep, 100.0f);
        setField (values, m, tz::modField::smooth, smoothing[m]);
    }

    std::array<float, tz::numModulators> out {};
    const int chunks = 450; // 0.3 s
    for (int i = 0; i < chunks; ++i)
        tz::advanceModulators (values, (i + 1) * n / 24000.0, n, rate, 50.0f, out);

    const double seconds = chunks * n / rate;
    EXPECT_NEAR (out[0], 1.0 - std::exp (-seconds / 0.3), 1e-4);
    EXPECT_NEAR (out[1], 1.0, 1e-7);
    EXPECT_NEAR (out[2], 1.0 - std::exp (-seconds / 0.075), 1e-4);
    EXPECT_EQ (tz::modSmoothingCoefficient (0.0f, n, rate), 1.0f);
}

} // namespace
