#include "effects/RecordBuffer.h"

#include <cmath>

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

    for (int l = 1; l < numLayers; ++l)
    {
        const auto c = (float) (1.0 / std::tan (juce::MathConstants<double>::pi * cutoffRatio[(size_t) l]));

        for (auto& cascade : filters[(size_t) l])
        {
            for (int j = 0; j < 4; ++j)
            {
                const auto q = (float) (1.0 / (2.0 * std::cos ((2 * j + 1) * juce::MathConstants<double>::pi / 16.0)));
                const float b0 = 1.0f / (1.0f + c / q + c * c);
                const float a1 = 2.0f * b0 * (1.0f - c * c);
                const float a2 = (1.0f - c / q + c * c) * b0;

                auto& section = cascade[(size_t) j];
                section.coefficients = new juce::dsp::IIR::Coefficients<float> (b0, 2.0f * b0, b0, 1.0f, a1, a2);
                section.reset();
            }
        }
    }
}

int RecordBuffer::write (float left, float right) noexcept
{
    const int index = writePos;
    const std::array<float, 2> input { left, right };

    for (size_t ch = 0; ch < 2; ++ch)
    {
        layers[0][ch][(size_t) index] = input[ch];

        for (int l = 1; l < numLayers; ++l)
        {
            float filtered = input[ch];
            for (auto& section : filters[(size_t) l][ch])
                filtered = section.processSample (filtered);
            layers[(size_t) l][ch][(size_t) index] = filtered;
        }
    }

    if (++writePos >= size)
        writePos = 0;

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
