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
} // namespace
