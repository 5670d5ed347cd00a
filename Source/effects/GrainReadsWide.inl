// The eight-reads-at-a-time grain kernel, included once per instruction set it is built for, with
// TAZZLE_WIDE_FUNCTION naming the target. Every lane does the arithmetic of a single read.

TAZZLE_WIDE_FUNCTION inline __m256 catmullRom (__m256 ym1, __m256 y0, __m256 y1, __m256 y2, __m256 t) noexcept
{
    const __m256 k05 = _mm256_set1_ps (0.5f), k15 = _mm256_set1_ps (1.5f);
    const __m256 k2 = _mm256_set1_ps (2.0f), k25 = _mm256_set1_ps (2.5f);
    const __m256 a = _mm256_mul_ps (k05, _mm256_sub_ps (y1, ym1));
    const __m256 b = _mm256_sub_ps (
        _mm256_add_ps (_mm256_sub_ps (ym1, _mm256_mul_ps (k25, y0)), _mm256_mul_ps (k2, y1)), _mm256_mul_ps (k05, y2));
    const __m256 c =
        _mm256_add_ps (_mm256_mul_ps (k05, _mm256_sub_ps (y2, ym1)), _mm256_mul_ps (k15, _mm256_sub_ps (y0, y1)));
    return _mm256_add_ps (
        y0, _mm256_mul_ps (t, _mm256_add_ps (a, _mm256_mul_ps (t, _mm256_add_ps (b, _mm256_mul_ps (t, c))))));
}

// Eight reads of one channel: reads k and k + 4 share a register, one in each half, so the four-by-four
// transpose of the taps works within the halves.
TAZZLE_WIDE_FUNCTION inline __m256 tapsOfTwoReads (const float* data, std::int32_t first, std::int32_t second) noexcept
{
    return _mm256_insertf128_ps (_mm256_castps128_ps256 (_mm_loadu_ps (data + first - 1)),
                                 _mm_loadu_ps (data + second - 1), 1);
}

TAZZLE_WIDE_FUNCTION inline __m256 readEight (const float* data, const std::int32_t* index, __m256 t) noexcept
{
    const __m256 r0 = tapsOfTwoReads (data, index[0], index[4]), r1 = tapsOfTwoReads (data, index[1], index[5]);
    const __m256 r2 = tapsOfTwoReads (data, index[2], index[6]), r3 = tapsOfTwoReads (data, index[3], index[7]);
    const __m256 low01 = _mm256_unpacklo_ps (r0, r1), high01 = _mm256_unpackhi_ps (r0, r1);
    const __m256 low23 = _mm256_unpacklo_ps (r2, r3), high23 = _mm256_unpackhi_ps (r2, r3);
    return catmullRom (_mm256_shuffle_ps (low01, low23, 0x44), _mm256_shuffle_ps (low01, low23, 0xEE),
                       _mm256_shuffle_ps (high01, high23, 0x44), _mm256_shuffle_ps (high01, high23, 0xEE), t);
}

// Lanes offset .. 3 of `group`, then lanes 0 .. offset - 1 of `next`.
template <int offset>
TAZZLE_WIDE_FUNCTION inline __m256d fromLane (__m256d group, __m256d next) noexcept
{
    if constexpr (offset == 0)
        return group;

    const __m256d middle = _mm256_permute2f128_pd (group, next, 0x21); // lanes 2, 3 of group, 0, 1 of next
    if constexpr (offset == 1)
        return _mm256_shuffle_pd (group, middle, 0x5);
    else if constexpr (offset == 2)
        return middle;
    else
        return _mm256_shuffle_pd (middle, next, 0x5);
}

// Both phasor sets of a window moved on by four samples.
TAZZLE_WIDE_FUNCTION inline void rotateByFour (__m256d& cosines, __m256d& sines, __m256d cosFour,
                                               __m256d sinFour) noexcept
{
    const __m256d nextCos = _mm256_sub_pd (_mm256_mul_pd (cosines, cosFour), _mm256_mul_pd (sines, sinFour));
    sines = _mm256_add_pd (_mm256_mul_pd (sines, cosFour), _mm256_mul_pd (cosines, sinFour));
    cosines = nextCos;
}

TAZZLE_WIDE_FUNCTION inline __m128 hannOf (__m256d cosines) noexcept
{
    const __m256d half = _mm256_set1_pd (0.5);
    return _mm256_cvtpd_ps (_mm256_sub_pd (half, _mm256_mul_pd (half, cosines)));
}

// Clear reads eight at a time, with the same per-lane arithmetic as the single and four-wide reads.
template <int offset>
TAZZLE_WIDE_FUNCTION void addClearReadsInEights (const GrainReads& reads, int s, int age, double wrap,
                                                 int numEights) noexcept
{
    auto& window = reads.window;
    __m256d cosGroup = _mm256_loadu_pd (window.cosLanes.data()), sinGroup = _mm256_loadu_pd (window.sinLanes.data());
    const __m256d cosFour = _mm256_set1_pd (window.cosFourSteps), sinFour = _mm256_set1_pd (window.sinFourSteps);
    const __m256d eight = _mm256_set1_pd (8.0);
    const __m256d origin = _mm256_set1_pd (reads.origin), rate = _mm256_set1_pd (reads.rate);
    const __m256d shift = _mm256_set1_pd (wrap);
    const __m256 gainLeft = _mm256_set1_ps (reads.gainLeft), gainRight = _mm256_set1_ps (reads.gainRight);

    __m256d ages0123 = _mm256_set_pd (age + 3, age + 2, age + 1, age);
    __m256d ages4567 = _mm256_add_pd (ages0123, _mm256_set1_pd (4.0));

    for (const int end = s + 8 * numEights; s < end; s += 8)
    {
        const __m256d p0123 = _mm256_add_pd (_mm256_add_pd (origin, _mm256_mul_pd (ages0123, rate)), shift);
        const __m256d p4567 = _mm256_add_pd (_mm256_add_pd (origin, _mm256_mul_pd (ages4567, rate)), shift);
        const __m128i i0123 = _mm256_cvttpd_epi32 (p0123), i4567 = _mm256_cvttpd_epi32 (p4567);
        const __m256 t = _mm256_set_m128 (_mm256_cvtpd_ps (_mm256_sub_pd (p4567, _mm256_cvtepi32_pd (i4567))),
                                          _mm256_cvtpd_ps (_mm256_sub_pd (p0123, _mm256_cvtepi32_pd (i0123))));

        alignas (32) std::int32_t index[8];
        _mm_store_si128 (reinterpret_cast<__m128i*> (index), i0123);
        _mm_store_si128 (reinterpret_cast<__m128i*> (index + 4), i4567);

        __m256d cosNext = cosGroup, sinNext = sinGroup;
        rotateByFour (cosNext, sinNext, cosFour, sinFour);
        __m256d cosAfter = cosNext, sinAfter = sinNext;
        rotateByFour (cosAfter, sinAfter, cosFour, sinFour);

        const __m256 w = _mm256_set_m128 (hannOf (fromLane<offset> (cosNext, cosAfter)),
                                          hannOf (fromLane<offset> (cosGroup, cosNext)));

        const __m256 left = _mm256_mul_ps (_mm256_mul_ps (gainLeft, w), readEight (reads.left, index, t));
        const __m256 right = _mm256_mul_ps (_mm256_mul_ps (gainRight, w), readEight (reads.right, index, t));
        _mm256_storeu_ps (reads.outLeft + s, _mm256_add_ps (_mm256_loadu_ps (reads.outLeft + s), left));
        _mm256_storeu_ps (reads.outRight + s, _mm256_add_ps (_mm256_loadu_ps (reads.outRight + s), right));

        cosGroup = cosAfter;
        sinGroup = sinAfter;
        ages0123 = _mm256_add_pd (ages0123, eight);
        ages4567 = _mm256_add_pd (ages4567, eight);
    }

    _mm256_storeu_pd (window.cosLanes.data(), cosGroup);
    _mm256_storeu_pd (window.sinLanes.data(), sinGroup);
    _mm256_zeroupper();
}
