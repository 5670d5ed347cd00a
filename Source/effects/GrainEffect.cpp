#include "effects/GrainEffect.h"

#include "effects/FastTanh.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
 #include <emmintrin.h>
#endif

namespace tz
{

namespace
{
    // Every grain stays at least this far behind the write head, clear of the interpolator's taps.
    constexpr double headGuard = 64.0;

    // A position less than a lap outside the buffer, wrapped back into 0..size-1.
    double wrapOnce (double position, double size) noexcept
    {
        if (position >= size)
            return position - size;

        if (position < 0.0)
        {
            position += size;
            return position >= size ? 0.0 : position; // a tiny negative rounds up to size
        }

        return position;
    }

    // One grain's reads over a stretch of the chunk.
    struct GrainReads
    {
        const float* left;
        const float* right;
        float* outLeft;
        float* outRight;
        double origin, rate;
        float gainLeft, gainRight;
        HannWindow& window;
    };

    // Read `age` of the grain into chunk sample s: Catmull-Rom on both channels, scaled by window and pan.
    void addRead (const GrainReads& reads, int s, int age, double position, int im1, int i, int i1, int i2) noexcept
    {
        const auto t = (float) (position - i);
        const auto w = (float) reads.window.value (age);
        const float* left = reads.left;
        const float* right = reads.right;
        reads.outLeft[s] += reads.gainLeft * w * RecordBuffer::catmullRom (left[im1], left[i], left[i1], left[i2], t);
        reads.outRight[s] += reads.gainRight * w * RecordBuffer::catmullRom (right[im1], right[i], right[i1], right[i2], t);

        if ((age & (HannWindow::numLanes - 1)) == HannWindow::numLanes - 1)
            reads.window.nextFour();
    }

    // Reads whose taps all lie inside the buffer: `wrap` (0 or +-size) brings their positions into it.
    void addClearRead (const GrainReads& reads, int s, int age, double wrap) noexcept
    {
        const double position = (reads.origin + age * reads.rate) + wrap;
        const int i = (int) position;
        addRead (reads, s, age, position, i - 1, i, i + 1, i + 2);
    }

#if defined(__SSE2__) || defined(_M_X64)
    __m128 catmullRom (__m128 ym1, __m128 y0, __m128 y1, __m128 y2, __m128 t) noexcept
    {
        const auto times = [] (float k, __m128 v) { return _mm_mul_ps (_mm_set1_ps (k), v); };
        const __m128 a = times (0.5f, _mm_sub_ps (y1, ym1));
        const __m128 b = _mm_sub_ps (_mm_add_ps (_mm_sub_ps (ym1, times (2.5f, y0)), times (2.0f, y1)), times (0.5f, y2));
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

    // The window lanes of four consecutive reads that start `offset` lanes into the current group of four:
    // the rest of this group, then the start of the next.
    struct CosinePairs
    {
        __m128d low, high;
    };

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

    // Clear reads age .. age + 4 * numFours - 1 into chunk samples from s, four at a time. Every lane does the
    // arithmetic of addClearRead, and the window moves on by whole groups as single reads move it, so the
    // sound does not depend on how reads are grouped.
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
        const auto toFloats = [] (__m128d low, __m128d high) { return _mm_movelh_ps (_mm_cvtpd_ps (low), _mm_cvtpd_ps (high)); };
        const auto hann = [half] (__m128d c) { return _mm_sub_pd (half, _mm_mul_pd (half, c)); };

        __m128d age01 = _mm_set_pd (age + 1, age), age23 = _mm_set_pd (age + 3, age + 2);

        for (const int end = s + 4 * numFours; s < end; s += 4)
        {
            const __m128d p01 = _mm_add_pd (_mm_add_pd (origin, _mm_mul_pd (age01, rate)), shift);
            const __m128d p23 = _mm_add_pd (_mm_add_pd (origin, _mm_mul_pd (age23, rate)), shift);
            const __m128i i01 = _mm_cvttpd_epi32 (p01), i23 = _mm_cvttpd_epi32 (p23);
            const __m128 t = toFloats (_mm_sub_pd (p01, _mm_cvtepi32_pd (i01)), _mm_sub_pd (p23, _mm_cvtepi32_pd (i23)));

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

    void addClearReadsInFours (const GrainReads& reads, int s, int age, double wrap, int numFours) noexcept
    {
        if (numFours <= 0)
            return;

        switch (age & 3)
        {
            case 0: addClearReadsInFours<0> (reads, s, age, wrap, numFours); break;
            case 1: addClearReadsInFours<1> (reads, s, age, wrap, numFours); break;
            case 2: addClearReadsInFours<2> (reads, s, age, wrap, numFours); break;
            default: addClearReadsInFours<3> (reads, s, age, wrap, numFours); break;
        }
    }
#else
    void addClearReadsInFours (const GrainReads& reads, int s, int age, double wrap, int numFours) noexcept
    {
        for (int n = 0; n < 4 * numFours; ++n)
            addClearRead (reads, s + n, age + n, wrap);
    }
#endif
} // namespace

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

void GrainEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    recordBuffer.prepare (bufferSeconds, sampleRate, true);
    lastWriteIndex = recordBuffer.capacity() - 1;
    dcCoefficient = (float) (1.0 - 10.0 * juce::MathConstants<double>::pi / sampleRate);
    reset();
}

void GrainEffect::reset() noexcept
{
    for (auto& grain : grains)
        grain.active = false;

    random.seed (randomSeed);
    spawnCountdown = 0.0;
    dcInLeft = dcInRight = dcOutLeft = dcOutRight = 0.0f;
}

int GrainEffect::activeGrainCount() const noexcept
{
    return (int) std::count_if (grains.begin(), grains.end(), [] (const Grain& grain) { return grain.active; });
}

void GrainEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    if (numChannels < 1)
        return;

    const float* right = channels[numChannels > 1 ? 1 : 0];
    for (int i = 0; i < numSamples; ++i)
        lastWriteIndex = recordBuffer.write (channels[0][i], right[i]);
}

double GrainEffect::wrapPosition (double position) const noexcept
{
    const auto size = (double) recordBuffer.capacity();
    const double wrapped = std::fmod (position, size);
    return wrapOnce (wrapped, size);
}

void GrainEffect::startGrain (Grain& grain, const GrainSettings& settings, int writeIndex) noexcept
{
    const bool backward = settings.mode == reverse || (settings.mode == both && ((random.next() >> 46) & 1u) != 0);
    const double sprayOffset = random.uniform() * settings.maxSprayOffset;

    // Forward grains faster than real time start far enough back not to overtake the head; backward grains
    // (and frozen ones, whose head stands still) start a whole span back so that they end clear of it.
    const double distance = (backward || settings.mode == freeze) ? settings.backwardSpan : settings.forwardLead;
    const double start = writeIndex + (backward ? settings.backwardSpan : 0.0) - (distance + headGuard + sprayOffset);

    grain.active = true;
    grain.length = settings.length;
    grain.age = 0;
    grain.rate = backward ? -settings.rate : settings.rate;
    grain.origin = wrapPosition (start);
    grain.layer = recordBuffer.layerFor (grain.rate);
    grain.window.start (settings.length);

    // Constant power, unity in the centre, never wider than +-0.6.
    const float u3 = std::min ((float) random.uniform(), 0.9999999f);
    const float pan = (2.0f * u3 - 1.0f) * 0.6f;
    grain.gainLeft = std::sqrt ((1.0f - pan) * 0.5f) * juce::MathConstants<float>::sqrt2;
    grain.gainRight = std::sqrt ((1.0f + pan) * 0.5f) * juce::MathConstants<float>::sqrt2;
}

// Runs the spawn clock over the chunk and draws every new grain, in sample order, before any grain plays.
// This is possible because grains never read audio written in the chunk they play in: they stay more than a
// chunk behind the write head.
int GrainEffect::scheduleSpawns (const GrainSettings& settings, double interval, int numSamples) noexcept
{
    // The chunk sample from which each pool slot is free, counting the reads its grain has left.
    std::array<double, maxGrains> freeFrom {};
    for (size_t k = 0; k < grains.size(); ++k)
        freeFrom[k] = grains[k].active ? std::ceil (grains[k].length - grains[k].age) : 0.0;

    const int size = recordBuffer.capacity();
    const int firstWrite = recordBuffer.writePosition();
    int numSpawns = 0;

    for (int i = 0; i < numSamples; ++i)
    {
        spawnCountdown -= 1.0;
        if (spawnCountdown > 0.0)
            continue;

        spawnCountdown += interval * (0.75 + 0.5 * random.uniform());

        const auto slot = std::find_if (freeFrom.begin(), freeFrom.end(), [i] (double from) { return from <= i; });
        if (slot == freeFrom.end())
            continue;

        const int writeIndex = settings.mode == freeze ? lastWriteIndex : (firstWrite + i) % size;
        auto& pending = pendingSpawns[(size_t) numSpawns++];
        pending.slot = (int) std::distance (freeFrom.begin(), slot);
        pending.sample = i;
        startGrain (pending.grain, settings, writeIndex);
        *slot = i + std::ceil (pending.grain.length);
    }

    return numSpawns;
}

// Adds one grain's samples from..to-1 of the chunk into the cloud. Stretches whose interpolation taps lie
// clear of the buffer's ends skip all wrapping and go four reads at a time.
void GrainEffect::playGrain (Grain& grain, int from, int to) noexcept
{
    const int size = recordBuffer.capacity();
    const auto sizeAsDouble = (double) size;
    const auto wrapIndex = [size] (int index) { return index < 0 ? index + size : (index >= size ? index - size : index); };

    const GrainReads reads { recordBuffer.layer (grain.layer, 0).data(),
                             recordBuffer.layer (grain.layer, 1).data(),
                             cloudLeft.data(),
                             cloudRight.data(),
                             grain.origin,
                             grain.rate,
                             grain.gainLeft,
                             grain.gainRight,
                             grain.window };

    const int numReads = (int) std::min ((double) (to - from), std::ceil (grain.length - grain.age));
    const int end = from + numReads;
    int age = grain.age;

    for (int s = from; s < end;)
    {
        // The same lap correction, added in the same way, whichever path a read takes.
        const double unwrapped = grain.origin + age * grain.rate;
        const double wrap = unwrapped >= sizeAsDouble ? -sizeAsDouble : (unwrapped < 0.0 ? sizeAsDouble : 0.0);
        const double position = wrapOnce (unwrapped, sizeAsDouble);

        // Reads whose taps (index - 1 .. index + 2) stay inside the buffer, with a sample to spare.
        const bool inside = position >= 1.0 && position < sizeAsDouble - 3.0;
        const double room = grain.rate > 0.0 ? (sizeAsDouble - 3.0 - position) / grain.rate
                                             : (position - 2.0) / -grain.rate;
        const int clearReads = inside && room >= 1.0 ? (int) std::min (room, (double) (end - s)) : 0;

        if (clearReads == 0)
        {
            // Near an end of the buffer: every tap wrapped.
            const int i = (int) position;
            addRead (reads, s++, age++, position, wrapIndex (i - 1), i, wrapIndex (i + 1), wrapIndex (i + 2));
            continue;
        }

        const int clearEnd = s + clearReads;

        const int numFours = (clearEnd - s) / HannWindow::numLanes;
        addClearReadsInFours (reads, s, age, wrap, numFours);
        s += numFours * HannWindow::numLanes;
        age += numFours * HannWindow::numLanes;

        while (s < clearEnd)
            addClearRead (reads, s++, age++, wrap);
    }

    grain.age = age;
    if (grain.length <= grain.age)
        grain.active = false;
}

void GrainEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                           const Transport&) noexcept
{
    if (numChannels < 1)
        return;

    for (int start = 0; start < numSamples; start += maxChunk)
        processChunk (channels[0] + start, numChannels > 1 ? channels[1] + start : nullptr,
                      std::min (maxChunk, numSamples - start), values);
}

void GrainEffect::processChunk (float* left, float* right, int numSamples, const ParamValues& values) noexcept
{
    const double rate = std::pow (2.0, (double) values[grainPitch] / 12.0);
    const auto mode = (Mode) choiceIndex (values[grainMode], 4);
    const double length = juce::jlimit (64.0, 0.6 * sampleRate, (double) values[grainSize] * 0.001 * sampleRate);
    const double interval = sampleRate / std::max ((double) values[grainDensity], 0.5);

    // The overlap count sets the level, so that dense clouds are no louder than sparse ones.
    const auto norm = (float) (1.0 / std::sqrt (std::max (length / interval, 1.0)));
    const float feedback = values[grainFeedback] * 0.01f;

    const GrainSettings settings { mode,
                                   rate,
                                   length,
                                   (double) values[grainSpray] * 0.01 * 1.5 * sampleRate,
                                   std::max ((rate - 1.0) * length, 0.0),
                                   length * rate };

    const int numSpawns = scheduleSpawns (settings, interval, numSamples);

    // Grain by grain in pool order, so every sample sums its grains in the same order as a sample-by-sample loop.
    std::fill_n (cloudLeft.begin(), numSamples, 0.0f);
    std::fill_n (cloudRight.begin(), numSamples, 0.0f);

    for (int k = 0; k < maxGrains; ++k)
    {
        auto& grain = grains[(size_t) k];
        if (grain.active)
            playGrain (grain, 0, numSamples);

        for (int p = 0; p < numSpawns; ++p)
        {
            if (pendingSpawns[(size_t) p].slot != k)
                continue;

            grain = pendingSpawns[(size_t) p].grain;
            playGrain (grain, pendingSpawns[(size_t) p].sample, numSamples);
        }
    }

    for (int i = 0; i < numSamples; ++i)
    {
        const float inLeft = left[i];
        const float inRight = right != nullptr ? right[i] : inLeft;

        if (mode != freeze)
            lastWriteIndex = recordBuffer.write (inLeft + fastTanh (dcOutLeft * feedback),
                                                 inRight + fastTanh (dcOutRight * feedback));

        const float scaledLeft = cloudLeft[(size_t) i] * norm;
        const float scaledRight = cloudRight[(size_t) i] * norm;
        dcOutLeft = dcCoefficient * dcOutLeft + scaledLeft - dcInLeft;
        dcOutRight = dcCoefficient * dcOutRight + scaledRight - dcInRight;
        dcInLeft = scaledLeft;
        dcInRight = scaledRight;

        if (right != nullptr)
        {
            left[i] = dcOutLeft;
            right[i] = dcOutRight;
        }
        else
        {
            left[i] = (dcOutLeft + dcOutRight) * 0.5f;
        }
    }
}

} // namespace tz
