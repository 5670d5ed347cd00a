#include "effects/SimdSupport.h"

#include <cstdlib>
#include <cstring>

namespace tz
{

namespace
{
    // Asked once, when the library loads, so the audio thread only reads flags.
#if TAZZLE_AVX2_PATHS
    const SimdPath limit = simdLimitFrom (std::getenv ("TAZZLE_SIMD_LIMIT"));
    const bool hasAvx2 = limit != SimdPath::plain &&
        []
    {
        __builtin_cpu_init();
        return __builtin_cpu_supports ("avx2") != 0;
    }();
    const bool hasAvx512 = hasAvx2 && limit == SimdPath::best && __builtin_cpu_supports ("avx512f") != 0
        && __builtin_cpu_supports ("avx512vl") != 0;
#else
    constexpr bool hasAvx2 = false, hasAvx512 = false;
#endif
} // namespace

bool processorHasAvx2() noexcept { return hasAvx2; }

bool processorHasAvx512() noexcept { return hasAvx512; }

bool processorRuns (SimdPath path) noexcept
{
    switch (path)
    {
        case SimdPath::avx2:
            return hasAvx2;
        case SimdPath::avx512:
            return hasAvx512;
        case SimdPath::plain:
        case SimdPath::best:
            break;
    }
    return true;
}

SimdPath simdLimitFrom (const char* value) noexcept
{
    if (value != nullptr && std::strcmp (value, "none") == 0)
        return SimdPath::plain;
    if (value != nullptr && std::strcmp (value, "avx2") == 0)
        return SimdPath::avx2;
    return SimdPath::best;
}

} // namespace tz
