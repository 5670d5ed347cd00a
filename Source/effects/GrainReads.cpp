#include "effects/GrainReads.h"

#include "effects/RecordBuffer.h"
#include "effects/SimdSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include <juce_core/juce_core.h>

#if defined(__SSE2__) || defined(_M_X64)
#define TAZZLE_GRAIN_SSE2 1
#include <emmintrin.h>
#else
#define TAZZLE_GRAIN_SSE2 0
#endif

#if TAZZLE_GRAIN_SSE2 && TAZZLE_AVX2_PATHS
#define TAZZLE_GRAIN_AVX2 1
#include <immintrin.h>
#else
#define TAZZLE_GRAIN_AVX2 0
#endif

namespace tz
{

void HannWindow::start (double length) noexcept
{
    const double step = juce::MathConstants<double>::twoPi / length;
    for (size_t k = 0; k < numLanes; ++k)
    {
        cosLanes[k] = std::cos ((double) k * step);
        sinLanes[k] = std::sin ((double) k * step);
    }
    cosFourSteps = std::cos (numLanes * step);
    sinFourSteps = std::sin (numLanes * step);
}

namespace
{
    constexpr int groupMask = HannWindow::numLanes - 1;

    // One read at `position` whose taps are im1, i, i1 and i2.
    void addRead (const GrainReads& reads, int s, int age, double position, int im1, int i, int i1, int i2) noexcept
    {
        const auto t = (float) (position - i);
        const auto w = (float) reads.window.value (age);
        const float* left = reads.left;
        const float* right = reads.right;
        reads.outLeft[s] += reads.gainLeft * w * RecordBuffer::catmullRom (left[im1], left[i], left[i1], left[i2], t);
        reads.outRight[s] +=
            reads.gainRight * w * RecordBuffer::catmullRom (right[im1], right[i], right[i1], right[i2], t);

        if ((age & groupMask) == groupMask)
            reads.window.nextFour();
    }

    // Reads age .. age + count - 1, whose taps all lie inside the buffer once `wrap` (0 or +-size) is added.
    void addClearReads (const GrainReads& reads, int s, int age, double wrap, int count) noexcept
    {
        for (const int end = s + count; s < end; ++s, ++age)
        {
            const double position = (reads.origin + age * reads.rate) + wrap;
            const int i = (int) position;
            addRead (reads, s, age, position, i - 1, i, i + 1, i + 2);
        }
    }

#if TAZZLE_GRAIN_SSE2
    __m128 catmullRom (__m128 ym1, __m128 y0, __m128 y1, __m128 y2, __m128 t) noexcept
    {
        const auto times = [] (float k, __m128 v) { return _mm_mul_ps (_mm_set1_ps (k), v); };
        const __m128 a = times (0.5f, _mm_sub_ps (y1, ym1));
        const __m128 b =
            _mm_sub_ps (_mm_add_ps (_mm_sub_ps (ym1, times (2.5f, y0)), times (2.0f, y1)), times (0.5f, y2));
        const __m128 c = _mm_add_ps (times (0.5f, _mm_sub_ps (y2, ym1)), times (1.5f, _mm_sub_ps (y0, y1)));
        return _mm_add_ps (y0, _mm_mul_ps (t, _mm_add_ps (a, _mm_mul_ps (t, _mm_add_ps (b, _mm_mul_ps (t, c))))));
    }

    // Four reads of one channel: each one unaligned load of its four taps, transposed into rows of taps.
    forcedinline __m128 readFour (const float* data, const std::int32_t* index, __m128 t) noexcept
    {
        __m128 ym1 = _mm_loadu_ps (data + index[0] - 1);
        __m128 y0 = _mm_loadu_ps (data + index[1] - 1);
        __m128 y1 = _mm_loadu_ps (data + index[2] - 1);
        __m128 y2 = _mm_loadu_ps (data + index[3] - 1);
        _MM_TRANSPOSE4_PS (ym1, y0, y1, y2);
        return catmullRom (ym1, y0, y1, y2, t);
    }

    struct CosinePairs
    {
        __m128d low, high;
    };

    // The window lanes of four consecutive reads starting `offset` lanes into the current group of four: the
    // rest of this group, then the start of the next.
    template <int offset>
    forcedinline CosinePairs windowCosines (__m128d cos01, __m128d cos23, __m128d next01, __m128d next23) noexcept
    {
        if constexpr (offset == 0)
            return { cos01, cos23 };
        else if constexpr (offset == 1)
            return { _mm_shuffle_pd (cos01, cos23, 1), _mm_shuffle_pd (cos23, next01, 1) };
        else if constexpr (offset == 2)
            return { cos23, next01 };
        else
            return { _mm_shuffle_pd (cos23, next01, 1), _mm_shuffle_pd (next01, next23, 1) };
    }

    // Clear reads four at a time: every lane does the arithmetic of addClearReads, and the window moves on by
    // whole groups as single reads move it.
    template <int offset>
    void addClearReadsInFours (const GrainReads& reads, int s, int age, double wrap, int numFours) noexcept
    {
        auto& window = reads.window;
        __m128d cos01 = _mm_loadu_pd (window.cosLanes.data()), cos23 = _mm_loadu_pd (window.cosLanes.data() + 2);
        __m128d sin01 = _mm_loadu_pd (window.sinLanes.data()), sin23 = _mm_loadu_pd (window.sinLanes.data() + 2);
        const __m128d cosFour = _mm_set1_pd (window.cosFourSteps), sinFour = _mm_set1_pd (window.sinFourSteps);
        const __m128d half = _mm_set1_pd (0.5), four = _mm_set1_pd (4.0);
        const __m128d origin = _mm_set1_pd (reads.origin), rate = _mm_set1_pd (reads.rate);
        const __m128d shift = _mm_set1_pd (wrap);
        const __m128 gainLeft = _mm_set1_ps (reads.gainLeft), gainRight = _mm_set1_ps (reads.gainRight);
        const auto toFloats = [] (__m128d low, __m128d high)
        { return _mm_movelh_ps (_mm_cvtpd_ps (low), _mm_cvtpd_ps (high)); };
        const auto hann = [half] (__m128d c) { return _mm_sub_pd (half, _mm_mul_pd (half, c)); };

        __m128d age01 = _mm_set_pd (age + 1, age), age23 = _mm_set_pd (age + 3, age + 2);

        for (const int end = s + 4 * numFours; s < end; s += 4)
        {
            const __m128d p01 = _mm_add_pd (_mm_add_pd (origin, _mm_mul_pd (age01, rate)), shift);
            const __m128d p23 = _mm_add_pd (_mm_add_pd (origin, _mm_mul_pd (age23, rate)), shift);
            const __m128i i01 = _mm_cvttpd_epi32 (p01), i23 = _mm_cvttpd_epi32 (p23);
            const __m128 t =
                toFloats (_mm_sub_pd (p01, _mm_cvtepi32_pd (i01)), _mm_sub_pd (p23, _mm_cvtepi32_pd (i23)));

            alignas (16) std::int32_t index[4];
            _mm_store_si128 (reinterpret_cast<__m128i*> (index), _mm_unpacklo_epi64 (i01, i23));

            const __m128d nextCos01 = _mm_sub_pd (_mm_mul_pd (cos01, cosFour), _mm_mul_pd (sin01, sinFour));
            const __m128d nextCos23 = _mm_sub_pd (_mm_mul_pd (cos23, cosFour), _mm_mul_pd (sin23, sinFour));
            sin01 = _mm_add_pd (_mm_mul_pd (sin01, cosFour), _mm_mul_pd (cos01, sinFour));
            sin23 = _mm_add_pd (_mm_mul_pd (sin23, cosFour), _mm_mul_pd (cos23, sinFour));

            const auto [w01, w23] = windowCosines<offset> (cos01, cos23, nextCos01, nextCos23);
            const __m128 w = toFloats (hann (w01), hann (w23));
            const __m128 left = _mm_mul_ps (_mm_mul_ps (gainLeft, w), readFour (reads.left, index, t));
            const __m128 right = _mm_mul_ps (_mm_mul_ps (gainRight, w), readFour (reads.right, index, t));
            _mm_storeu_ps (reads.outLeft + s, _mm_add_ps (_mm_loadu_ps (reads.outLeft + s), left));
            _mm_storeu_ps (reads.outRight + s, _mm_add_ps (_mm_loadu_ps (reads.outRight + s), right));

            cos01 = nextCos01;
            cos23 = nextCos23;
            age01 = _mm_add_pd (age01, four);
            age23 = _mm_add_pd (age23, four);
        }

        _mm_storeu_pd (window.cosLanes.data(), cos01);
        _mm_storeu_pd (window.cosLanes.data() + 2, cos23);
        _mm_storeu_pd (window.sinLanes.data(), sin01);
        _mm_storeu_pd (window.sinLanes.data() + 2, sin23);
    }
#endif

#if TAZZLE_GRAIN_AVX2
    namespace avx2
    {
#define TAZZLE_WIDE_FUNCTION TAZZLE_AVX2_FUNCTION
#include "effects/GrainReadsWide.inl"
#undef TAZZLE_WIDE_FUNCTION
    } // namespace avx2

    // The same code with AVX-512's thirty-two registers, which spare the kernel its spills, and beside it
    // the reads sixteen at a time.
    namespace avx512
    {
#define TAZZLE_WIDE_FUNCTION TAZZLE_AVX512_FUNCTION
#include "effects/GrainReadsWide.inl"
#undef TAZZLE_WIDE_FUNCTION

// GCC 12's 512-bit intrinsics fill their unused pass-through operand with a deliberately undefined value,
// which its uninitialised-use check then reports (fixed in GCC 13).
#if defined(__GNUC__) && ! defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

        TAZZLE_AVX512_FUNCTION inline __m512 catmullRom (__m512 ym1, __m512 y0, __m512 y1, __m512 y2, __m512 t) noexcept
        {
            const __m512 k05 = _mm512_set1_ps (0.5f), k15 = _mm512_set1_ps (1.5f);
            const __m512 k2 = _mm512_set1_ps (2.0f), k25 = _mm512_set1_ps (2.5f);
            const __m512 a = _mm512_mul_ps (k05, _mm512_sub_ps (y1, ym1));
            const __m512 b =
                _mm512_sub_ps (_mm512_add_ps (_mm512_sub_ps (ym1, _mm512_mul_ps (k25, y0)), _mm512_mul_ps (k2, y1)),
                               _mm512_mul_ps (k05, y2));
            const __m512 c = _mm512_add_ps (_mm512_mul_ps (k05, _mm512_sub_ps (y2, ym1)),
                                            _mm512_mul_ps (k15, _mm512_sub_ps (y0, y1)));
            return _mm512_add_ps (
                y0, _mm512_mul_ps (t, _mm512_add_ps (a, _mm512_mul_ps (t, _mm512_add_ps (b, _mm512_mul_ps (t, c))))));
        }

        TAZZLE_AVX512_FUNCTION inline __m512 joined (__m256 low, __m256 high) noexcept
        {
            const __m512d lowAsDoubles = _mm512_castps_pd (_mm512_castps256_ps512 (low));
            return _mm512_castpd_ps (_mm512_insertf64x4 (lowAsDoubles, _mm256_castps_pd (high), 1));
        }

        TAZZLE_AVX512_FUNCTION inline __m512 tapsOfFourReads (const float* data, const std::int32_t* index,
                                                              int k) noexcept
        {
            return joined (tapsOfTwoReads (data, index[k], index[k + 4]),
                           tapsOfTwoReads (data, index[k + 8], index[k + 12]));
        }

        // Sixteen reads of one channel: reads k, k + 4, k + 8 and k + 12 share a register, one in each quarter,
        // so the four-by-four transpose of the taps works within the quarters.
        TAZZLE_AVX512_FUNCTION inline __m512 readSixteen (const float* data, const std::int32_t* index,
                                                          __m512 t) noexcept
        {
            const __m512 r0 = tapsOfFourReads (data, index, 0), r1 = tapsOfFourReads (data, index, 1);
            const __m512 r2 = tapsOfFourReads (data, index, 2), r3 = tapsOfFourReads (data, index, 3);
            const __m512 low01 = _mm512_unpacklo_ps (r0, r1), high01 = _mm512_unpackhi_ps (r0, r1);
            const __m512 low23 = _mm512_unpacklo_ps (r2, r3), high23 = _mm512_unpackhi_ps (r2, r3);
            return catmullRom (_mm512_shuffle_ps (low01, low23, 0x44), _mm512_shuffle_ps (low01, low23, 0xEE),
                               _mm512_shuffle_ps (high01, high23, 0x44), _mm512_shuffle_ps (high01, high23, 0xEE), t);
        }

        TAZZLE_AVX512_FUNCTION inline __m512d joined (__m256d low, __m256d high) noexcept
        {
            return _mm512_insertf64x4 (_mm512_castpd256_pd512 (low), high, 1);
        }

        // The Hann window of eight reads from their phasors' cosines: lanes `from` .. `from` + 7 of `low` and
        // `high` in a row.
        TAZZLE_AVX512_FUNCTION inline __m256 hannOfEight (__m512d low, __m512d high, __m512i from) noexcept
        {
            const __m512d half = _mm512_set1_pd (0.5);
            const __m512d cosines = _mm512_permutex2var_pd (low, from, high);
            return _mm512_cvtpd_ps (_mm512_sub_pd (half, _mm512_mul_pd (half, cosines)));
        }

        // Clear reads sixteen at a time, with the same per-lane arithmetic as the single reads: the window's
        // groups of four still move on one rotation at a time. The reads' offset into their group of four picks
        // the window's lanes at run time, so no branch on it comes before the kernel.
        TAZZLE_AVX512_FUNCTION void addClearReadsInSixteens (const GrainReads& reads, int s, int age, double wrap,
                                                             int numSixteens) noexcept
        {
            auto& window = reads.window;
            __m256d cosGroup = _mm256_loadu_pd (window.cosLanes.data());
            __m256d sinGroup = _mm256_loadu_pd (window.sinLanes.data());
            const __m256d cosFour = _mm256_set1_pd (window.cosFourSteps),
                          sinFour = _mm256_set1_pd (window.sinFourSteps);
            const __m512i windowLanes =
                _mm512_add_epi64 (_mm512_set1_epi64 (age & groupMask), _mm512_set_epi64 (7, 6, 5, 4, 3, 2, 1, 0));
            const __m512d sixteen = _mm512_set1_pd (16.0);
            const __m512d origin = _mm512_set1_pd (reads.origin), rate = _mm512_set1_pd (reads.rate);
            const __m512d shift = _mm512_set1_pd (wrap);
            const __m512 gainLeft = _mm512_set1_ps (reads.gainLeft), gainRight = _mm512_set1_ps (reads.gainRight);

            __m512d agesLow = _mm512_add_pd (_mm512_set1_pd (age), _mm512_set_pd (7, 6, 5, 4, 3, 2, 1, 0));
            __m512d agesHigh = _mm512_add_pd (agesLow, _mm512_set1_pd (8.0));

            for (const int end = s + 16 * numSixteens; s < end; s += 16)
            {
                const __m512d pLow = _mm512_add_pd (_mm512_add_pd (origin, _mm512_mul_pd (agesLow, rate)), shift);
                const __m512d pHigh = _mm512_add_pd (_mm512_add_pd (origin, _mm512_mul_pd (agesHigh, rate)), shift);
                const __m256i iLow = _mm512_cvttpd_epi32 (pLow);
                const __m256i iHigh = _mm512_cvttpd_epi32 (pHigh);
                const __m512 t = joined (_mm512_cvtpd_ps (_mm512_sub_pd (pLow, _mm512_cvtepi32_pd (iLow))),
                                         _mm512_cvtpd_ps (_mm512_sub_pd (pHigh, _mm512_cvtepi32_pd (iHigh))));

                alignas (64) std::int32_t index[16];
                _mm256_store_si256 (reinterpret_cast<__m256i*> (index), iLow);
                _mm256_store_si256 (reinterpret_cast<__m256i*> (index + 8), iHigh);

                // The five groups of four the sixteen reads touch; the last is where the next reads start.
                __m256d groups[5] { cosGroup };
                for (int g = 1; g < 5; ++g)
                {
                    rotateByFour (cosGroup, sinGroup, cosFour, sinFour);
                    groups[g] = cosGroup;
                }
                const __m512d first = joined (groups[0], groups[1]), second = joined (groups[2], groups[3]);
                const __m512d third = _mm512_castpd256_pd512 (groups[4]);
                const __m512 w =
                    joined (hannOfEight (first, second, windowLanes), hannOfEight (second, third, windowLanes));

                const __m512 left = _mm512_mul_ps (_mm512_mul_ps (gainLeft, w), readSixteen (reads.left, index, t));
                const __m512 right = _mm512_mul_ps (_mm512_mul_ps (gainRight, w), readSixteen (reads.right, index, t));
                _mm512_storeu_ps (reads.outLeft + s, _mm512_add_ps (_mm512_loadu_ps (reads.outLeft + s), left));
                _mm512_storeu_ps (reads.outRight + s, _mm512_add_ps (_mm512_loadu_ps (reads.outRight + s), right));

                agesLow = _mm512_add_pd (agesLow, sixteen);
                agesHigh = _mm512_add_pd (agesHigh, sixteen);
            }

            _mm256_storeu_pd (window.cosLanes.data(), cosGroup);
            _mm256_storeu_pd (window.sinLanes.data(), sinGroup);
            _mm256_zeroupper();
        }

#if defined(__GNUC__) && ! defined(__clang__)
#pragma GCC diagnostic pop
#endif
    } // namespace avx512
#endif

    // Calls kernel (offset) with the reads' offset into their group of four as a compile-time constant.
    template <typename Kernel>
    void withGroupOffset (int age, Kernel&& kernel) noexcept
    {
        switch (age & groupMask)
        {
            case 0:
                kernel (std::integral_constant<int, 0>());
                break;
            case 1:
                kernel (std::integral_constant<int, 1>());
                break;
            case 2:
                kernel (std::integral_constant<int, 2>());
                break;
            default:
                kernel (std::integral_constant<int, 3>());
                break;
        }
    }

    // Runs a clear stretch at the given width; narrower reads finish what the wide ones leave.
    void addClearStretch (const GrainReads& reads, int s, int age, double wrap, int count,
                          GrainReads::Width width) noexcept
    {
        const auto advance = [&] (int numReads)
        {
            s += numReads;
            age += numReads;
            count -= numReads;
        };

        // Takes the reads that groups of `groupSize` can cover off the front of the stretch.
        const auto takeGroups = [&] (int groupSize, auto&& addGroups)
        {
            const int numGroups = count / groupSize;
            if (numGroups == 0)
                return;

            withGroupOffset (age, [&] (auto offset) { addGroups (offset, numGroups); });
            advance (groupSize * numGroups);
        };

#if TAZZLE_GRAIN_AVX2
        // AVX-512 over AVX2: grain_heaviest 6.15 -> 5.35 ms/s (medians of 3 x 3 runs, noise about 3 %).
        if (width == GrainReads::Width::avx512 && processorHasAvx512())
        {
            if (const int numSixteens = count / 16; numSixteens > 0)
            {
                avx512::addClearReadsInSixteens (reads, s, age, wrap, numSixteens);
                advance (16 * numSixteens);
            }
            takeGroups (8,
                        [&] (auto offset, int numEights)
                        { avx512::addClearReadsInEights<decltype (offset)::value> (reads, s, age, wrap, numEights); });
        }
        // AVX2 over SSE2: grain_heaviest 7.98 -> 6.15 ms/s (medians of 3 x 3 runs, noise about 3 %).
        else if (width >= GrainReads::Width::avx2 && processorHasAvx2())
            takeGroups (8,
                        [&] (auto offset, int numEights)
                        { avx2::addClearReadsInEights<decltype (offset)::value> (reads, s, age, wrap, numEights); });
#endif

#if TAZZLE_GRAIN_SSE2
        if (width != GrainReads::Width::one)
            takeGroups (4,
                        [&] (auto offset, int numFours)
                        { addClearReadsInFours<decltype (offset)::value> (reads, s, age, wrap, numFours); });
#endif

        addClearReads (reads, s, age, wrap, count);
    }
} // namespace

bool GrainReads::runsAsItself (Width width) noexcept
{
    switch (width)
    {
        case Width::sse2:
            return TAZZLE_GRAIN_SSE2;
        case Width::avx2:
            return TAZZLE_GRAIN_AVX2 && processorHasAvx2();
        case Width::avx512:
            return TAZZLE_GRAIN_AVX2 && processorHasAvx512();
        case Width::one:
        case Width::best:
            break;
    }
    return true;
}

void GrainReads::add (int s, int age, int count, Width width) const noexcept
{
    // The widest there is; narrower ones stand in where the processor lacks it.
    if (width == Width::best)
        width = Width::avx512;

    const auto sizeAsDouble = (double) size;
    const auto wrapIndex = [this] (int index)
    { return index < 0 ? index + size : (index >= size ? index - size : index); };

    for (const int end = s + count; s < end;)
    {
        // The lap correction, added the same way whichever path a read takes.
        const double unwrapped = origin + age * rate;
        const double wrap = unwrapped >= sizeAsDouble ? -sizeAsDouble : (unwrapped < 0.0 ? sizeAsDouble : 0.0);
        double position = unwrapped + wrap;
        // A tiny negative rounds up to size; an origin or rate that is not finite gives NaN or an infinity.
        // Either reads at sample 0 rather than outside the buffer.
        if (! (position >= 0.0 && position < sizeAsDouble))
            position = 0.0;

        // Reads whose taps (index - 1 .. index + 2) stay inside the buffer, with a sample to spare.
        const bool inside = position >= 1.0 && position < sizeAsDouble - 3.0;
        const double room = rate > 0.0 ? (sizeAsDouble - 3.0 - position) / rate : (position - 2.0) / -rate;
        const int clearReads = inside && room >= 1.0 ? (int) std::min (room, (double) (end - s)) : 0;

        if (clearReads > 0)
        {
            addClearStretch (*this, s, age, wrap, clearReads, width);
            s += clearReads;
            age += clearReads;
            continue;
        }

        // Near an end of the buffer: every tap wrapped.
        const int i = (int) position;
        addRead (*this, s++, age++, position, wrapIndex (i - 1), i, wrapIndex (i + 1), wrapIndex (i + 2));
    }
}

} // namespace tz
