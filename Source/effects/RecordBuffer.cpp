#include "effects/RecordBuffer.h"

#include <algorithm>
#include <cmath>

#include <juce_core/juce_core.h>

#if TAZZLE_AVX2_PATHS
#include <immintrin.h>
#endif

namespace tz
{

void RecordBuffer::prepare (double seconds, double sampleRate, bool withFilteredLayers)
{
    size = (int) std::ceil (seconds * sampleRate) + 4;
    numLayers = withFilteredLayers ? maxLayers : 1;
    writePos = 0;

    for (auto& layerChannels : layers)
        for (auto& channel : layerChannels)
            channel.clear();

    for (int l = 0; l < numLayers; ++l)
        for (auto& channel : layers[(size_t) l])
            channel.assign ((size_t) size, 0.0f);

    // Eighth-order Butterworth low passes: four bilinear sections with the Butterworth Qs.
    constexpr std::array<double, maxLayers> cutoffRatio { 0.0, 0.2, 0.1 };
    constexpr double pi = 3.14159265358979323846;

    for (int j = 0; j < numSections; ++j)
    {
        const auto q = (float) (1.0 / (2.0 * std::cos ((2 * j + 1) * pi / 16.0)));
        alignas (16) std::array<float, Quad::size()> b0 {}, a1 {}, a2 {};

        for (size_t lane = 0; lane < Quad::size(); ++lane)
        {
            const size_t layerIndex = 1 + lane / 2;
            const auto c = (float) (1.0 / std::tan (pi * cutoffRatio[layerIndex]));
            b0[lane] = 1.0f / (1.0f + c / q + c * c);
            a1[lane] = 2.0f * b0[lane] * (1.0f - c * c);
            a2[lane] = (1.0f - c / q + c * c) * b0[lane];
        }

        cascade.b0[(size_t) j] = Quad::fromRawArray (b0.data());
        cascade.a1[(size_t) j] = Quad::fromRawArray (a1.data());
        cascade.a2[(size_t) j] = Quad::fromRawArray (a2.data());
    }

    cascade.bx1 = cascade.y1 = cascade.older = {};
}

namespace
{
    // One section on its four lanes: y[n] = b0 (x[n] + 2 x[n-1] + x[n-2]) - a1 y[n-1] - a2 y[n-2], summed so that
    // the previous output waits for one multiply and one subtraction. The wide version below does the same
    // arithmetic lane for lane.
    template <typename Cascade, typename Quad>
    forcedinline Quad runSection (Cascade& c, size_t j, Quad x) noexcept
    {
        const Quad bx = c.b0[j] * x;
        const Quad y = (bx + ((c.bx1[j] + c.bx1[j]) + c.older[j])) - c.a1[j] * c.y1[j];
        c.older[j] = c.bx1[j] - c.a2[j] * c.y1[j];
        c.bx1[j] = bx;
        c.y1[j] = y;
        return y;
    }

    // Runs the cascade section after section over a stereo run, storing lanes 0..3 to out[0..3].
    template <typename Cascade>
    forcedinline void lowPassPlain (Cascade& c, const float* left, const float* right, int numSamples,
                                    float* const* out) noexcept
    {
        using Quad = typename decltype (c.b0)::value_type;

        // On a local copy of the states, which the compiler keeps in registers: the output stores could alias them.
        auto local = c;
        for (int i = 0; i < numSamples; ++i)
        {
            alignas (16) std::array<float, Quad::size()> in { left[i], right[i], left[i], right[i] }, low {};
            Quad x = Quad::fromRawArray (in.data());
            for (size_t j = 0; j < local.b0.size(); ++j)
                x = runSection (local, j, x);
            x.copyToRawArray (low.data());
            for (size_t lane = 0; lane < Quad::size(); ++lane)
                out[lane][i] = low[lane];
        }
        c = local;
    }

#if TAZZLE_AVX2_PATHS
    // The four sections of the four lanes in one sixteen-lane register, section j in lanes 4j .. 4j + 3, run as a
    // pipeline: in step n section j filters sample n - 2j, taking the output section j - 1 gave two steps before,
    // so the sections never wait on one another within a step, and each step waits on the one before only for
    // a section's own recurrence. Filling and draining the pipeline, only the sections with a sample to filter
    // move on, so the states between chunks are those of the plain cascade.
    struct WideCascade
    {
        __m512 b0, a1, a2, bx1, y1, older;
        __m512 earlier = _mm512_setzero_ps(); // y1 as it was before the last step

        // Lanes 4k .. 4k + 3. (The zeroing forms of these intrinsics keep GCC 12 from warning about the
        // undefined vector the plain ones start from.)
        template <int k>
        TAZZLE_AVX512_FUNCTION static __m128 quarter (__m512 v) noexcept
        {
            return _mm512_maskz_extractf32x4_ps ((__mmask8) 0xF, v, k);
        }

        // The four sections' vectors of one coefficient or state, lying one after the other.
        template <typename Quads>
        TAZZLE_AVX512_FUNCTION static __m512 load (const Quads& quads) noexcept
        {
            static_assert (sizeof (Quads) == 64);
            return _mm512_loadu_ps (reinterpret_cast<const float*> (quads.data()));
        }

        template <typename Quads>
        TAZZLE_AVX512_FUNCTION static void save (__m512 v, Quads& quads) noexcept
        {
            _mm512_storeu_ps (reinterpret_cast<float*> (quads.data()), v);
        }

        // One step with `input` (its four lanes repeated) entering section 0; the lanes outside `moving` keep
        // their states.
        template <bool allMoving>
        TAZZLE_AVX512_FUNCTION void step (__m512 input, __mmask16 moving) noexcept
        {
            // Lanes 0..3 take the new sample, the rest what the section before gave two steps ago.
            const __m512 x = _mm512_castsi512_ps (_mm512_maskz_alignr_epi32 (
                (__mmask16) 0xFFFF, _mm512_castps_si512 (earlier), _mm512_castps_si512 (input), 12));
            earlier = y1;
            const __m512 bx = _mm512_mul_ps (b0, x);
            const __m512 y = _mm512_sub_ps (_mm512_add_ps (bx, _mm512_add_ps (_mm512_add_ps (bx1, bx1), older)),
                                            _mm512_mul_ps (a1, y1));
            const __m512 nextOlder = _mm512_sub_ps (bx1, _mm512_mul_ps (a2, y1));

            if constexpr (allMoving)
            {
                older = nextOlder;
                bx1 = bx;
                y1 = y;
            }
            else
            {
                older = _mm512_mask_mov_ps (older, moving, nextOlder);
                bx1 = _mm512_mask_mov_ps (bx1, moving, bx);
                y1 = _mm512_mask_mov_ps (y1, moving, y);
            }
        }

        TAZZLE_AVX512_FUNCTION static __m512 input (const float* left, const float* right, int n) noexcept
        {
            return _mm512_setr4_ps (left[n], right[n], left[n], right[n]);
        }

        // A step while the pipeline fills or drains: only the sections with a sample to filter move.
        TAZZLE_AVX512_FUNCTION void partStep (const float* left, const float* right, int numSamples, int n,
                                              float* const* out) noexcept
        {
            const int first = std::max (0, (n - numSamples + 2) / 2), last = std::min (3, n / 2);
            const auto moving = (__mmask16) (((1u << (4 * last + 4)) - 1u) & ~((1u << (4 * first)) - 1u));
            step<false> (n < numSamples ? input (left, right, n) : _mm512_setzero_ps(), moving);
            if (last == 3 && n - 6 < numSamples)
                store (out, n - 6);
        }

        // Section 3's latest output to out[0..3] at `i`.
        TAZZLE_AVX512_FUNCTION void store (float* const* out, int i) const noexcept
        {
            alignas (16) float low[4];
            _mm_store_ps (low, quarter<3> (y1));
            for (int lane = 0; lane < 4; ++lane)
                out[lane][i] = low[lane];
        }
    };

    template <typename Cascade>
    TAZZLE_AVX512_FUNCTION void lowPassWide (Cascade& c, const float* left, const float* right, int numSamples,
                                             float* const* out) noexcept
    {
        WideCascade cascade { WideCascade::load (c.b0),  WideCascade::load (c.a1), WideCascade::load (c.a2),
                              WideCascade::load (c.bx1), WideCascade::load (c.y1), WideCascade::load (c.older) };

        // Step n moves the sections j with 0 <= n - 2j < numSamples; section 3 gives sample n - 6. The pipeline
        // fills, runs whole, then drains.
        int n = 0;
        for (; n < std::min (6, numSamples); ++n)
            cascade.partStep (left, right, numSamples, n, out);
        for (; n < numSamples; ++n)
        {
            cascade.step<true> (WideCascade::input (left, right, n), 0xFFFF);
            cascade.store (out, n - 6);
        }
        for (; n < numSamples + 6; ++n)
            cascade.partStep (left, right, numSamples, n, out);

        WideCascade::save (cascade.bx1, c.bx1);
        WideCascade::save (cascade.y1, c.y1);
        WideCascade::save (cascade.older, c.older);
    }
#endif
} // namespace

// Low-passes a stereo run into the filtered layers from `index` on, filtering with `filter`.
forcedinline void RecordBuffer::storeFiltered (const float* left, const float* right, int numSamples, int index,
                                               Cascade& filter, SimdPath path) noexcept
{
    float* const out[] = { layers[1][0].data() + index, layers[1][1].data() + index, layers[2][0].data() + index,
                           layers[2][1].data() + index };

#if TAZZLE_AVX2_PATHS
    // A single sample would spend most of the pipeline's steps filling and draining it, unless asked to.
    const bool wide = path == SimdPath::avx512 || (path == SimdPath::best && numSamples > 1);
    if (wide && processorHasAvx512())
    {
        lowPassWide (filter, left, right, numSamples, out);
        return;
    }
#else
    juce::ignoreUnused (path);
#endif

    lowPassPlain (filter, left, right, numSamples, out);
}

int RecordBuffer::write (float left, float right) noexcept
{
    const int index = writePos;
    layers[0][0][(size_t) index] = left;
    layers[0][1][(size_t) index] = right;
    if (numLayers > 1)
        storeFiltered (&left, &right, 1, index, cascade, SimdPath::best);

    if (++writePos >= size)
        writePos = 0;
    return index;
}

int RecordBuffer::write (const float* left, const float* right, int numSamples, SimdPath path) noexcept
{
    if (numSamples <= 0)
        return -1;

    const int firstIndex = writePos;

    // In runs up to the end of the buffer, so that the write head wraps only between them.
    for (int done = 0; done < numSamples;)
    {
        const int run = std::min (numSamples - done, size - writePos);
        std::copy_n (left + done, run, layers[0][0].data() + writePos);
        std::copy_n (right + done, run, layers[0][1].data() + writePos);
        done += run;
        writePos = writePos + run < size ? writePos + run : 0;
    }

    if (numLayers > 1)
        filterChunk (left, right, numSamples, firstIndex, path);

    return writePos == 0 ? size - 1 : writePos - 1;
}

void RecordBuffer::filterChunk (const float* left, const float* right, int numSamples, int firstIndex,
                                SimdPath path) noexcept
{
    for (int done = 0, index = firstIndex; done < numSamples;)
    {
        const int run = std::min (numSamples - done, size - index);
        storeFiltered (left + done, right + done, run, index, cascade, path);
        done += run;
        index = 0;
    }

    // A non-finite input leaves NaN in the filters, which would fill the layers for good: start them afresh.
    Quad poison = Quad::expand (0.0f);
    for (size_t j = 0; j < numSections; ++j)
        poison += (cascade.bx1[j] + cascade.y1[j] + cascade.older[j]) * Quad::expand (0.0f);
    if (poison.sum() != 0.0f)
        cascade.bx1 = cascade.y1 = cascade.older = {};
}

int RecordBuffer::layerFor (double speed) const noexcept
{
    const double magnitude = std::abs (speed);

    if (magnitude <= 1.01 || numLayers == 1)
        return 0;
    return magnitude <= 2.01 ? 1 : 2;
}

} // namespace tz
