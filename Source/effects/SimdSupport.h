#pragma once

// Hot loops may have an AVX2 version beside the baseline one, chosen at run time; both do the same arithmetic
// (no fused multiply-add), so the sound does not depend on the processor.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
 #define TAZZLE_AVX2_PATHS 1
 #define TAZZLE_AVX2_FUNCTION __attribute__ ((target ("avx2")))
#else
 #define TAZZLE_AVX2_PATHS 0
 #define TAZZLE_AVX2_FUNCTION
#endif

namespace tz
{

// Whether this processor runs the AVX2 versions (always false where there are none).
bool processorHasAvx2() noexcept;

} // namespace tz
