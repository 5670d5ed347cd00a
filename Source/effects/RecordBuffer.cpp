#include "effects/RecordBuffer.h"

#include <cmath>
#include <tuple>

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

    for (int lane = 0; lane < numLanes; ++lane)
    {
        const int layerIndex = 1 + lane / 2;
        const auto c = (float) (1.0 / std::tan (pi * cutoffRatio[(size_t) layerIndex]));

        for (int j = 0; j < numSections; ++j)
        {
            const auto q = (float) (1.0 / (2.0 * std::cos ((2 * j + 1) * pi / 16.0)));
            const float b0 = 1.0f / (1.0f + c / q + c * c);

            auto& section = sections[(size_t) j];
            section.b0[(size_t) lane] = b0;
            section.b1[(size_t) lane] = 2.0f * b0;
            section.b2[(size_t) lane] = b0;
            section.a1[(size_t) lane] = 2.0f * b0 * (1.0f - c * c);
            section.a2[(size_t) lane] = (1.0f - c / q + c * c) * b0;
            section.s1[(size_t) lane] = section.s2[(size_t) lane] = 0.0f;
        }
    }
}

namespace
{
    // The four lanes through the cascade; inlined so each caller's states stay where the caller keeps them.
    template <typename Sections, typename Lanes>
    forcedinline Lanes lowPass (Sections& sections, Lanes x) noexcept
    {
        for (auto& section : sections)
        {
            Lanes y;
            for (size_t k = 0; k < std::tuple_size_v<Lanes>; ++k)
            {
                y[k] = (section.b0[k] * x[k]) + section.s1[k];
                section.s1[k] = (section.b1[k] * x[k]) - (section.a1[k] * y[k]) + section.s2[k];
                section.s2[k] = (section.b2[k] * x[k]) - (section.a2[k] * y[k]);
            }
            x = y;
        }
        return x;
    }
} // namespace

// Stores one stereo sample in every layer at the write head, filtering with `filter`, and moves the head on.
forcedinline int RecordBuffer::store (float left, float right, Sections& filter) noexcept
{
    const int index = writePos;
    layers[0][0][(size_t) index] = left;
    layers[0][1][(size_t) index] = right;

    if (numLayers > 1)
    {
        const auto low = lowPass (filter, Lanes { left, right, left, right });
        layers[1][0][(size_t) index] = low[0];
        layers[1][1][(size_t) index] = low[1];
        layers[2][0][(size_t) index] = low[2];
        layers[2][1][(size_t) index] = low[3];
    }

    if (++writePos >= size)
        writePos = 0;

    return index;
}

int RecordBuffer::write (float left, float right) noexcept { return store (left, right, sections); }

int RecordBuffer::write (const float* left, const float* right, int numSamples) noexcept
{
    // The filter runs on a local copy of its states, which the compiler keeps in registers through the chunk.
    auto localSections = sections;
    int index = -1;

    for (int i = 0; i < numSamples; ++i)
        index = store (left[i], right[i], localSections);

    // A non-finite input leaves NaN in the filters, which would fill the layers for good: start them afresh.
    float poison = 0.0f;
    for (const auto& section : localSections)
        for (size_t k = 0; k < numLanes; ++k)
            poison += (section.s1[k] + section.s2[k]) * 0.0f;
    if (poison != 0.0f)
        for (auto& section : localSections)
            section.s1 = section.s2 = Lanes {};

    sections = localSections;
    return index;
}

int RecordBuffer::layerFor (double speed) const noexcept
{
    const double magnitude = std::abs (speed);

    if (magnitude <= 1.01 || numLayers == 1)
        return 0;
    return magnitude <= 2.01 ? 1 : 2;
}

} // namespace tz
