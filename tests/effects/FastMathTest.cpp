#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effects/FastMath.h"

namespace
{
// Error in units of the float spacing at the exact value.
double ulpsFrom (float value, double exact)
{
    const double spacing = std::nextafter ((float) exact, std::numeric_limits<float>::infinity()) - (float) exact;
    return std::abs ((double) value - exact) / spacing;
}

TEST (FastMath, ExpAndTanStayWithinAFewUlpsOfTheLibrary)
{
    double worstExp = 0.0;
    for (float x = -80.0f; x <= 80.0f; x += 0.00173f)
        worstExp = std::max (worstExp, ulpsFrom (tz::fastExp (x), std::exp ((double) x)));

    // The filter's whole range: prewarped tangents from 1 Hz up to 0.499 of the sample rate.
    double worstTan = 0.0;
    for (float x = 1.0e-5f; x < 0.499f * 3.14159265f; x += 0.0000917f)
        worstTan = std::max (worstTan, ulpsFrom (tz::fastTan (x), std::tan ((double) x)));

    EXPECT_LT (worstExp, 2.0);
    EXPECT_LT (worstTan, 4.0);
    EXPECT_EQ (tz::fastExp (0.0f), 1.0f);
    EXPECT_EQ (tz::fastTan (0.0f), 0.0f);
}

TEST (FastMath, SineOfQuarterTurnsIsCloserThanTheLibraryOnARoundedArgument)
{
    // The wave folder's whole range: a full-scale input driven by up to +36 dB, and more from a hot input.
    double worst = 0.0, worstLibrary = 0.0;
    for (float u = -300.0f; u <= 300.0f; u += 0.000731f)
    {
        const double exact = std::sin ((double) u * 1.57079632679489662);
        worst = std::max (worst, std::abs ((double) tz::fastSinOfQuarterTurns (u) - exact));
        worstLibrary = std::max (worstLibrary, std::abs ((double) std::sin (u * 1.57079632679489662f) - exact));
    }

    EXPECT_LT (worst, 2.0e-7);
    EXPECT_LT (worst, worstLibrary);

    const struct
    {
        float u, expected;
    } exactly[] = { { 0.0f, 0.0f }, { 1.0f, 1.0f }, { 2.0f, 0.0f }, { 3.0f, -1.0f }, { -1.0f, -1.0f }, { 4.0f, 0.0f } };
    for (const auto& c : exactly)
        EXPECT_EQ (std::abs (tz::fastSinOfQuarterTurns (c.u) - c.expected), 0.0f) << c.u;

    EXPECT_TRUE (std::isnan (tz::fastSinOfQuarterTurns (std::numeric_limits<float>::quiet_NaN())));
}
} // namespace
