#pragma once

// Hot loops may have AVX2 and AVX-512 versions beside the baseline one, chosen at run time. All do the same
// arithmetic (the project builds with -ffp-contract=off, so no multiply and add ever fuse), so the sound does
// not depend on the processor.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TAZZLE_AVX2_PATHS 1
#define TAZZLE_AVX2_FUNCTION __attribute__ ((target ("avx2")))
#define TAZZLE_AVX512_FUNCTION __attribute__ ((target ("avx2,avx512f,avx512vl")))
#else
#define TAZZLE_AVX2_PATHS 0
#define TAZZLE_AVX2_FUNCTION
#define TAZZLE_AVX512_FUNCTION
#endif

namespace tz
{

// Whether this processor runs the AVX2 and the AVX-512 versions (always false where there are none).
bool processorHasAvx2() noexcept;
bool processorHasAvx512() noexcept;

// Which version of a hot loop runs: the baseline one, one with a wider instruction set, or the widest this
// processor runs (`best`, what the engine asks for). A loop without the version asked for, or on a processor
// without it, runs the next narrower one. Tests ask for each in turn.
enum class SimdPath
{
    plain,
    avx2,
    avx512,
    best
};

// Whether `path` runs on this processor (plain and best always do).
bool processorRuns (SimdPath path) noexcept;

// The widest version allowed by the value of TAZZLE_SIMD_LIMIT, a measuring aid that lets a wide processor time
// the narrower versions: "avx2" stops at AVX2, "none" keeps to the baseline, anything else (or nothing) allows
// all (`best`). Read once, when the library loads.
SimdPath simdLimitFrom (const char* value) noexcept;

} // namespace tz
