#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#include "core/ChunkSize.h"
#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/SimdSupport.h"

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

// `signal` with the values that take other roads through float arithmetic laid over it from `at` on: NaN of
// either sign, infinities, zeros of either sign, denormals, the smallest and largest normal numbers.
inline void layUnusualValues (Signal& signal, size_t at)
{
    constexpr auto nan = std::numeric_limits<float>::quiet_NaN();
    constexpr auto inf = std::numeric_limits<float>::infinity();
    constexpr auto tiny = std::numeric_limits<float>::denorm_min();
    constexpr auto smallest = std::numeric_limits<float>::min();
    constexpr auto largest = std::numeric_limits<float>::max();
    const std::array<float, 14> unusual { nan,   -nan,     inf,       -inf,     0.0f,      -0.0f,   tiny,
                                          -tiny, 1.0e-39f, -3.0e-39f, smallest, -smallest, largest, -largest };
    std::copy_n (unusual.begin(), std::min (unusual.size(), signal.size() - at), signal.begin() + (long) at);
}

// The first index at which two signals differ in any bit (a NaN matches only a NaN of the same bits), or -1.
inline long firstDifferentBits (const Signal& a, const Signal& b)
{
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp (&a[i], &b[i], sizeof (float)) != 0)
            return (long) i;
    return -1;
}

// Names the hot-loop versions in parameterised tests.
inline std::string simdPathName (const testing::TestParamInfo<SimdPath>& info)
{
    switch (info.param)
    {
        case SimdPath::plain:
            return "plain";
        case SimdPath::avx2:
            return "avx2";
        case SimdPath::avx512:
            return "avx512";
        case SimdPath::best:
            break;
    }
    return "best";
}

// Feeds planar channels through `process (pointers, numChannels, n)` in chunks of at most a chunk.
template <typename ProcessChunk>
void inChunks (std::vector<Signal*> channels, ProcessChunk&& process, int chunk = chunkSize)
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
