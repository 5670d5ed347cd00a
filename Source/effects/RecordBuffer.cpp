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

        sections[(size_t) j] = { Quad::fromRawArray (b0.data()), Quad::fromRawArray (a1.data()),
                                 Quad::fromRawArray (a2.data()), Quad::expand (0.0f), Quad::expand (0.0f) };
    }
}

namespace
{
    // The four lanes through the cascade; inlined so each caller's states stay where the caller keeps them.
    template <typename Sections, typename Quad>
    forcedinline Quad lowPass (Sections& sections, Quad x) noexcept
    {
        for (auto& section : sections)
        {
            const Quad bx = section.b0 * x;
            const Quad y = bx + section.s1;
            section.s1 = ((bx + bx) - section.a1 * y) + section.s2;
            section.s2 = bx - section.a2 * y;
            x = y;
        }
        return x;
    }
} // namespace

// Low-passes a stereo run into the filtered layers from `index` on, filtering with `filter`.
forcedinline void RecordBuffer::storeFiltered (const float* left, const float* right, int numSamples, int index,
                                               Sections& filter) noexcept
{
    float* const out[] = { layers[1][0].data() + index, layers[1][1].data() + index, layers[2][0].data() + index,
                           layers[2][1].data() + index };

    for (int i = 0; i < numSamples; ++i)
    {
        alignas (16) std::array<float, Quad::size()> in { left[i], right[i], left[i], right[i] }, low {};
        lowPass (filter, Quad::fromRawArray (in.data())).copyToRawArray (low.data());
        for (size_t lane = 0; lane < Quad::size(); ++lane)
            out[lane][i] = low[lane];
    }
}

int RecordBuffer::write (float left, float right) noexcept
{
    const int index = writePos;
    layers[0][0][(size_t) index] = left;
    layers[0][1][(size_t) index] = right;
    if (numLayers > 1)
        storeFiltered (&left, &right, 1, index, sections);

    if (++writePos >= size)
        writePos = 0;
    return index;
}

int RecordBuffer::write (const float* left, const float* right, int numSamples) noexcept
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
        filterChunk (left, right, numSamples, firstIndex);

    return writePos == 0 ? size - 1 : writePos - 1;
}

void RecordBuffer::filterChunk (const float* left, const float* right, int numSamples, int firstIndex) noexcept
{
    // The filter runs on a local copy of its states, which the compiler keeps in registers through the chunk.
    auto localSections = sections;

    for (int done = 0, index = firstIndex; done < numSamples;)
    {
        const int run = std::min (numSamples - done, size - index);
        storeFiltered (left + done, right + done, run, index, localSections);
        done += run;
        index = 0;
    }

    // A non-finite input leaves NaN in the filters, which would fill the layers for good: start them afresh.
    Quad poison = Quad::expand (0.0f);
    for (const auto& section : localSections)
        poison += (section.s1 + section.s2) * Quad::expand (0.0f);
    if (poison.sum() != 0.0f)
        for (auto& section : localSections)
            section.s1 = section.s2 = Quad::expand (0.0f);

    sections = localSections;
}

int RecordBuffer::layerFor (double speed) const noexcept
{
    const double magnitude = std::abs (speed);

    if (magnitude <= 1.01 || numLayers == 1)
        return 0;
    return magnitude <= 2.01 ? 1 : 2;
}

} // namespace tz
