#include "effects/SimdSupport.h"

namespace tz
{

namespace
{
    // Asked once, when the library loads, so the audio thread only reads a flag.
    const bool hasAvx2 = []
    {
#if TAZZLE_AVX2_PATHS
        __builtin_cpu_init();
        return __builtin_cpu_supports ("avx2") != 0;
#else
        return false;
#endif
    }();
} // namespace

bool processorHasAvx2() noexcept
{
    return hasAvx2;
}

} // namespace tz
