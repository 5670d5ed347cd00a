#include "effects/RecordBuffer.h"

#include <algorithm>
#include <cmath>

#include <juce_core/juce_core.h>

namespace tz
{

void RecordBuffer::prepare (double seconds, double sampleRate, bool withFilteredLayers)
{
    size = (int) std::ceil (seconds * sampleRate) + 4;
    numLayers = withFilteredLayers ? maxLayers : 1;
    writePos = 0;
    unfilteredSamples = 0;

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
    // the previous output waits for one multiply and one subtraction.
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
    forcedinline void lowPass (Cascade& c, const float* left, const float* right, int numSamples,
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

} // namespace

// Low-passes a stereo run into the filtered layers from `index` on.
forcedinline void RecordBuffer::storeFiltered (const float* left, const float* right, int numSamples,
                                               int index) noexcept
{
    float* const out[] = { layers[1][0].data() + index, layers[1][1].data() + index, layers[2][0].data() + index,
                           layers[2][1].data() + index };
    // An AVX-512 pipeline of the four sections gained nothing beyond the noise (idle 1.29 ms/s without, 1.33 with):
    // the processor overlaps the sections of successive samples by itself.
    lowPass (cascade, left, right, numSamples, out);
}

int RecordBuffer::write (float left, float right) noexcept
{
    const int index = writePos;
    layers[0][0][(size_t) index] = left;
    layers[0][1][(size_t) index] = right;
    if (numLayers > 1)
        storeFiltered (&left, &right, 1, index);

    if (++writePos >= size)
        writePos = 0;
    return index;
}

int RecordBuffer::write (const float* left, const float* right, int numSamples) noexcept
{
    if (numSamples <= 0)
        return -1;

    jassert (unfilteredSamples == 0);
    const int firstIndex = storeUnfiltered (left, right, numSamples);
    if (numLayers > 1)
        filterChunk (left, right, numSamples, firstIndex);

    return writePos == 0 ? size - 1 : writePos - 1;
}

void RecordBuffer::writeUnfiltered (const float* const* channels, int numChannels, int numSamples) noexcept
{
    if (numChannels < 1 || numSamples <= 0)
        return;

    storeUnfiltered (channels[0], channels[numChannels > 1 ? 1 : 0], numSamples);
    unfilteredSamples = std::min (unfilteredSamples + numSamples, size);
}

// Into layer 0, in runs up to the end of the buffer, so that the write head wraps only between them. Returns the
// first index written.
int RecordBuffer::storeUnfiltered (const float* left, const float* right, int numSamples) noexcept
{
    const int firstIndex = writePos;
    for (int done = 0; done < numSamples;)
    {
        const int run = std::min (numSamples - done, size - writePos);
        std::copy_n (left + done, run, layers[0][0].data() + writePos);
        std::copy_n (right + done, run, layers[0][1].data() + writePos);
        done += run;
        writePos = writePos + run < size ? writePos + run : 0;
    }
    return firstIndex;
}

void RecordBuffer::catchUpFilters (int reach) noexcept
{
    int count = unfilteredSamples;
    unfilteredSamples = 0;
    if (numLayers == 1 || count == 0)
        return;

    if (count > reach + settleSamples)
    {
        count = std::min (reach + settleSamples, size);
        cascade.bx1 = cascade.y1 = cascade.older = {};
    }

    // Layer 0 holds the input at the very indices the filtered layers take it to.
    for (int index = writePos - count < 0 ? writePos - count + size : writePos - count; count > 0;)
    {
        const int run = std::min (count, size - index);
        storeFiltered (layers[0][0].data() + index, layers[0][1].data() + index, run, index);
        count -= run;
        index = 0;
    }
    restartPoisonedFilters();
}

void RecordBuffer::filterChunk (const float* left, const float* right, int numSamples, int firstIndex) noexcept
{
    for (int done = 0, index = firstIndex; done < numSamples;)
    {
        const int run = std::min (numSamples - done, size - index);
        storeFiltered (left + done, right + done, run, index);
        done += run;
        index = 0;
    }
    restartPoisonedFilters();
}

void RecordBuffer::restartPoisonedFilters() noexcept
{
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
