#include "effects/FilterEffect.h"

#include "effects/FastMath.h"

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
    damping.beginChunk (dampingOfResonance (values[filterResonance],
                                            [] (float resonance)
                                            { return 1.0f / (0.5f * std::pow (30.0f, resonance / 100.0f)); }),
                        numSamples);

    const float piOverRate = (float) (juce::MathConstants<double>::pi / sampleRate);
    const int filteredChannels = std::min (numChannels, maxChannels);
    const auto& typeWeight = typeWeights[(size_t) type];

    // The integrators run on a local copy, which stays in registers: the sample stores could alias the members.
    auto states = integrators;

    for (int start = 0; start < numSamples; start += maxPiece)
    {
        const int n = std::min (maxPiece, numSamples - start);

        // The coefficients of every sample first, in loops the compiler turns into vector code. A cutoff and a
        // resonance at rest give every sample the same ones: those are worked out once.
        const bool steady = logCutoff.atRest() && damping.atRest();
        const int varying = steady ? 1 : n;
        std::array<float, maxPiece> logHz, k, a1, a2, a3; // the first `varying`, then the first n
        for (int i = 0; i < varying; ++i)
        {
            logHz[(size_t) i] = logCutoff.next (smoothCoef);
            k[(size_t) i] = damping.next (smoothCoef);
        }

        for (int i = 0; i < varying; ++i)
        {
            const float g = fastTan (piOverRate * fastExp (logHz[(size_t) i]));
            a1[(size_t) i] = 1.0f / (1.0f + g * (g + k[(size_t) i]));
            a2[(size_t) i] = g * a1[(size_t) i];
            a3[(size_t) i] = g * a2[(size_t) i];
        }

        if (steady)
            for (auto* coefficients : { &k, &a1, &a2, &a3 })
                std::fill_n (coefficients->begin() + 1, n - 1, coefficients->front());

        for (int i = 0; i < n; ++i)
        {
            const bool settledType = typeWeight >= 1.0f;

            for (int ch = 0; ch < filteredChannels; ++ch)
            {
                auto& [s1, s2] = states[(size_t) ch];
                float& sample = channels[ch][start + i];
                const float x = sample;
                const float d = x - s2;
                const float band = a1[(size_t) i] * s1 + a2[(size_t) i] * d;
                const float low = s2 + a2[(size_t) i] * s1 + a3[(size_t) i] * d;
                s1 = 2.0f * band - s1;
                s2 = 2.0f * low - s2;

                const float bandOut = k[(size_t) i] * band; // unity gain at the centre frequency
                const float high = x - bandOut - low;

                if (settledType)
                    sample = type == 0 ? low : (type == 1 ? high : bandOut);
                else
                    sample = low * typeWeights[0] + high * typeWeights[1] + bandOut * typeWeights[2];
            }

            if (! settledType)
                for (int t = 0; t < (int) typeWeights.size(); ++t)
                    typeWeights[(size_t) t] = t == type ? std::min (1.0f, typeWeights[(size_t) t] + typeStep)
                                                        : std::max (0.0f, typeWeights[(size_t) t] - typeStep);
        }
    }

    integrators = states;
}

} // namespace tz
