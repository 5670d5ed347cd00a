#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "effects/EffectTestSignals.h"
#include "effects/GrainReads.h"

namespace
{
using namespace tz::test;
using Width = tz::GrainReads::Width;

constexpr int bufferSize = 2048; // more than a lap of the longest reach, as in the effect
constexpr int numReads = 480;
constexpr double grainLength = 700.0;

struct Cloud
{
    std::vector<float> left = std::vector<float> (numReads, 0.0f), right = std::vector<float> (numReads, 0.0f);
};

struct Case
{
    double origin, rate;
    int firstAge;
};

// Reads of one grain, made in the stretches `pieces` (of the reads), all at one width.
Cloud play (const Case& c, const Signal& left, const Signal& right, Width width, const std::vector<int>& pieces)
{
    tz::HannWindow window;
    window.start (grainLength);
    for (int n = 0; n < c.firstAge; ++n)
        if (n % tz::HannWindow::numLanes == tz::HannWindow::numLanes - 1)
            window.nextFour();

    Cloud cloud;
    const tz::GrainReads reads {
        left.data(), right.data(), bufferSize, cloud.left.data(), cloud.right.data(), c.origin, c.rate,
        0.8f,        1.2f,         window
    };
    int done = 0;
    for (const int piece : pieces)
    {
        reads.add (done, c.firstAge + done, piece, width);
        done += piece;
    }
    reads.add (done, c.firstAge + done, numReads - done, width);
    return cloud;
}

// Catmull-Rom through the four samples around `position`, wrapping around the buffer.
double catmullRomAt (const Signal& data, double position)
{
    const auto at = [&data] (long k) { return (double) data[(size_t) ((k % bufferSize + bufferSize) % bufferSize)]; };
    const auto i = (long) std::floor (position);
    const double t = position - (double) i;
    const double ym1 = at (i - 1), y0 = at (i), y1 = at (i + 1), y2 = at (i + 2);
    return y0 + 0.5 * t * (y1 - ym1) + t * t * (ym1 - 2.5 * y0 + 2.0 * y1 - 0.5 * y2)
        + t * t * t * (0.5 * (y2 - ym1) + 1.5 * (y0 - y1));
}

// Forward and backward, pitched and not, wrapping around either end, starting at each offset in a group of four.
const std::vector<Case> cases { { 2040.25, 1.0, 0 },  { 700.5, 4.0, 1 },     { 3.75, -1.0, 2 },
                                { 250.125, -2.5, 3 }, { 2046.9, 1.4983, 5 }, { 0.3, 0.5, 6 } };

TEST (GrainReads, EveryWidthAndEveryGroupingGivesTheSameSamples)
{
    // A processor without AVX2 or AVX-512 runs narrower reads in their place; the report says which ran.
    RecordProperty ("avx2Reads", tz::GrainReads::runsAsItself (Width::avx2) ? "ran" : "fell back");
    RecordProperty ("avx512Reads", tz::GrainReads::runsAsItself (Width::avx512) ? "ran" : "fell back");
    const auto left = noise (bufferSize, 1), right = noise (bufferSize, 2);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "origin " << c.origin << ", rate " << c.rate << ", age " << c.firstAge);
        const auto reference = play (c, left, right, Width::one, {});

        for (const auto width : { Width::one, Width::sse2, Width::avx2, Width::avx512 })
            for (const auto& pieces :
                 std::vector<std::vector<int>> { {}, { 1, 2, 3, 5, 8, 13, 21, 34 }, { 7, 32, 9, 31 } })
            {
                const auto cloud = play (c, left, right, width, pieces);
                for (int n = 0; n < numReads; ++n)
                {
                    ASSERT_EQ (cloud.left[(size_t) n], reference.left[(size_t) n])
                        << "width " << (int) width << ", read " << n;
                    ASSERT_EQ (cloud.right[(size_t) n], reference.right[(size_t) n])
                        << "width " << (int) width << ", read " << n;
                }
            }
    }
}

TEST (GrainReads, ReadsAreTheWindowedCatmullRomAtOriginPlusAgeTimesRate)
{
    const auto left = noise (bufferSize, 3), right = noise (bufferSize, 4);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "origin " << c.origin << ", rate " << c.rate);
        const auto cloud = play (c, left, right, Width::best, { 3, 29 });

        double worst = 0.0;
        for (int n = 0; n < numReads; ++n)
        {
            const int age = c.firstAge + n;
            const double window = 0.5 - 0.5 * std::cos (juce::MathConstants<double>::twoPi * age / grainLength);
            const double position = c.origin + age * c.rate;
            worst = std::max (worst, std::abs (cloud.left[(size_t) n] - 0.8 * window * catmullRomAt (left, position)));
            worst =
                std::max (worst, std::abs (cloud.right[(size_t) n] - 1.2 * window * catmullRomAt (right, position)));
        }
        EXPECT_LT (worst, 2e-5);
    }
}

TEST (GrainReads, AnOriginOrRateThatIsNotFiniteReadsInsideTheBuffer)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::vector<Case> unusable { { nan, 1.0, 0 },   { inf, 1.0, 1 },   { -inf, -1.0, 2 },
                                       { 100.5, nan, 3 }, { 100.5, inf, 0 }, { 100.5, -inf, 1 },
                                       { nan, nan, 2 },   { -inf, inf, 3 },  { 1.0e300, 2.0, 0 } };
    const auto left = noise (bufferSize, 5), right = noise (bufferSize, 6);

    for (const auto& c : unusable)
        for (const auto width : { Width::one, Width::sse2, Width::avx2, Width::avx512 })
        {
            const auto cloud = play (c, left, right, width, { 5, 27 });
            for (int n = 0; n < numReads; ++n)
            {
                // The pan gains (0.8, 1.2) times the window times a sample of the buffer.
                ASSERT_LE (std::abs (cloud.left[(size_t) n]), 0.8f) << c.origin << ", " << c.rate << ", read " << n;
                ASSERT_LE (std::abs (cloud.right[(size_t) n]), 1.2f) << c.origin << ", " << c.rate << ", read " << n;
            }
        }
}

} // namespace
