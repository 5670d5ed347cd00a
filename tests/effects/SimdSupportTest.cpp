#include <gtest/gtest.h>

#include "effects/SimdSupport.h"

namespace
{

TEST (SimdSupport, TheLimitNamesTheWidestVersionAllowed)
{
    const struct
    {
        const char* value;
        tz::SimdPath widest;
    } cases[] = {
        { nullptr, tz::SimdPath::best }, { "", tz::SimdPath::best },         { "none", tz::SimdPath::plain },
        { "avx2", tz::SimdPath::avx2 },  { "AVX2", tz::SimdPath::best },     { "avx512", tz::SimdPath::best },
        { "avx2 ", tz::SimdPath::best }, { "nonesuch", tz::SimdPath::best },
    };

    for (const auto& c : cases)
        EXPECT_EQ (tz::simdLimitFrom (c.value), c.widest) << (c.value == nullptr ? "(unset)" : c.value);
}

} // namespace
