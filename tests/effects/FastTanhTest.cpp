#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effects/FastTanh.h"

namespace
{
TEST (FastTanh, MatchesTheLibraryWithinFloatRounding)
{
    float worstAbsolute = 0.0f, worstRelative = 0.0f;

    for (float x = -12.0f; x <= 12.0f; x += 0.00037f)
    {
        const double exact = std::tanh ((double) x);
        const auto error = (float) std::abs (tz::fastTanh (x) - exact);
        worstAbsolute = std::max (worstAbsolute, error);
        if (std::abs (exact) > 1e-3)
            worstRelative = std::max (worstRelative, error / (float) std::abs (exact));
    }

    EXPECT_LT (worstAbsolute, 4.0f * std::numeric_limits<float>::epsilon());
    EXPECT_LT (worstRelative, 8.0f * std::numeric_limits<float>::epsilon());
    EXPECT_EQ (tz::fastTanh (0.0f), 0.0f);
    EXPECT_EQ (tz::fastTanh (1e-5f), 1e-5f);
    EXPECT_EQ (tz::fastTanh (100.0f), 1.0f);
    EXPECT_EQ (tz::fastTanh (-100.0f), -1.0f);
}
} // namespace
