#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <vector>

#include <juce_core/juce_core.h>

#include "core/Parameters.h"
#include "core/Transport.h"

namespace tz::test
{

using Signal = std::vector<float>;

inline Signal sine (double frequency, double sampleRate, int numSamples, float amplitude = 1.0f)
{
    Signal out ((size_t) numSamples);
    for (int i = 0; i < numSamples; ++i)
        out[(size_t) i] =
            amplitude * (float) std::sin (juce::MathConstants<double>::twoPi * frequency * i / sampleRate);
    return out;
}

inline Signal noise (int numSamples, int seed, float amplitude = 1.0f)
{
    juce::Random random (seed);
    Signal out ((size_t) numSamples);
    for (auto& s : out)
        s = amplitude * (random.nextFloat() * 2.0f - 1.0f);
    return out;
}

// Complex amplitude of `frequency` in signal[start, start + length): magnitude and phase of a sine component.
inline std::complex<double> toneOf (const Signal& signal, double frequency, double sampleRate, int start, int length)
{
    std::complex<double> sum;
    for (int i = start; i < start + length; ++i)
    {
        const double angle = juce::MathConstants<double>::twoPi * frequency * i / sampleRate;
        sum += (double) signal[(size_t) i] * std::complex<double> (std::sin (angle), std::cos (angle));
    }
    return sum * (2.0 / length);
}

inline double toDecibels (double gain) { return 20.0 * std::log10 (gain); }

// Feeds planar channels through `process (pointers, numChannels, n)` in chunks of at most 32 samples.
template <typename ProcessChunk>
void inChunks (std::vector<Signal*> channels, ProcessChunk&& process, int chunk = 32)
{
    const int total = (int) channels.front()->size();
    std::array<float*, 2> pointers {};
    for (int start = 0; start < total; start += chunk)
    {
        const int n = std::min (chunk, total - start);
        for (size_t ch = 0; ch < channels.size(); ++ch)
            pointers[ch] = channels[ch]->data() + start;
        process (pointers.data(), (int) channels.size(), n);
    }
}

// Runs a body with the usual (channels, numChannels, numSamples, values, transport) signature over whole signals.
template <typename Effect>
void render (Effect& effect, std::vector<Signal*> channels, const ParamValues& values)
{
    const Transport transport;
    inChunks (std::move (channels),
              [&] (float* const* pointers, int numChannels, int n)
              { effect.process (pointers, numChannels, n, values, transport); });
}

} // namespace tz::test
