#include "effects/FilterEffect.h"

#include <algorithm>
#include <cmath>

namespace tz
{

void FilterEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    smoothCoef = (float) (1.0 - std::exp (-1.0 / (0.0015 * sampleRate)));
    typeStep = (float) (1.0 / (0.005 * sampleRate));
    reset();
}

void FilterEffect::reset() noexcept
{
    logCutoff.reset();
    damping.reset();
    for (auto& channel : integrators)
        channel = {};
    rememberedType = noType;
}

void FilterEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                            const Transport&) noexcept
{
    if (numSamples <= 0)
        return;

    const int type = choiceIndex (values[filterType], 3);
    if (rememberedType == noType)
    {
        typeWeights = {};
        typeWeights[(size_t) type] = 1.0f;
    }
    rememberedType = type;

    // The prewarped tangent runs to infinity at Nyquist; 0.45 fs keeps the coefficients well-behaved.
    const float maxCutoff = (float) (0.45 * sampleRate);
    logCutoff.beginChunk (std::log (std::clamp (values[filterCutoff], 20.0f, maxCutoff)), numSamples);
    damping.beginChunk (1.0f / (0.5f * std::pow (30.0f, values[filterResonance] / 100.0f)), numSamples);

    const float piOverRate = (float) (juce::MathConstants<double>::pi / sampleRate);
    const int filteredChannels = std::min (numChannels, maxChannels);
    const auto& typeWeight = typeWeights[(size_t) type];

    struct Coefficients
    {
        float k, a1, a2, a3;
    };

    const auto coefficientsFor = [piOverRate] (float logHz, float k)
    {
        const float g = std::tan (piOverRate * std::exp (logHz));
        const float a1 = 1.0f / (1.0f + g * (g + k));
        const float a2 = g * a1;
        return Coefficients { k, a1, a2, g * a2 };
    };

    // Settled smoothers give the same coefficients at every sample: one tan for the chunk.
    const bool steady = logCutoff.isSteady() && damping.isSteady();
    Coefficients coefficients = steady ? coefficientsFor (logCutoff.value(), damping.value()) : Coefficients {};

    for (int i = 0; i < numSamples; ++i)
    {
        if (! steady)
        {
            const float logHz = logCutoff.next (smoothCoef);
            coefficients = coefficientsFor (logHz, damping.next (smoothCoef));
        }

        const auto [k, a1, a2, a3] = coefficients;
        const bool settledType = typeWeight >= 1.0f;

        for (int ch = 0; ch < filteredChannels; ++ch)
        {
            auto& [s1, s2] = integrators[(size_t) ch];
            const float x = channels[ch][i];
            const float d = x - s2;
            const float band = a1 * s1 + a2 * d;
            const float low = s2 + a2 * s1 + a3 * d;
            s1 = 2.0f * band - s1;
            s2 = 2.0f * low - s2;

            const float bandOut = k * band; // unity gain at the centre frequency
            const float high = x - bandOut - low;

            if (settledType)
                channels[ch][i] = type == 0 ? low : (type == 1 ? high : bandOut);
            else
                channels[ch][i] = low * typeWeights[0] + high * typeWeights[1] + bandOut * typeWeights[2];
        }

        if (! settledType)
            for (int t = 0; t < (int) typeWeights.size(); ++t)
                typeWeights[(size_t) t] = t == type ? std::min (1.0f, typeWeights[(size_t) t] + typeStep)
                                                    : std::max (0.0f, typeWeights[(size_t) t] - typeStep);
    }
}

} // namespace tz
