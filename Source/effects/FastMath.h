#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tz
{

// exp and tan in plain float arithmetic, a couple of ulps from the library: loops that call them per sample
// become vector code. Range reduction as in Cephes, with its minimax polynomials.

// The polynomial with coefficients c (highest power first) at x, by Horner's rule.
template <std::size_t N>
constexpr float horner (float x, const std::array<float, N>& c) noexcept
{
    float p = c[0];
    for (std::size_t i = 1; i < N; ++i)
        p = p * x + c[i];
    return p;
}

// e^x for |x| < 87.
inline float fastExp (float x) noexcept
{
    constexpr float log2e = 1.44269504088896341f;
    constexpr float ln2High = 0.693359375f, ln2Low = -2.12194440e-4f;

    // x = k ln 2 + r with |r| <= ln 2 / 2.
    const float scaled = x * log2e + 0.5f;
    int k = (int) scaled;
    k -= scaled < (float) k ? 1 : 0; // floor for negative x
    const float r = (x - (float) k * ln2High) - (float) k * ln2Low;

    constexpr std::array<float, 6> coefficients { 1.9875691500e-4f, 1.3981999507e-3f, 8.3334519073e-3f,
                                                  4.1665795894e-2f, 1.6666665459e-1f, 5.0000001201e-1f };
    const float expR = horner (r, coefficients) * (r * r) + r + 1.0f;

    const auto exponentBits = (std::uint32_t) (k + 127) << 23;
    float twoToK;
    std::memcpy (&twoToK, &exponentBits, sizeof (twoToK));
    return expR * twoToK;
}

// tan x for 0 <= x < pi / 2.
inline float fastTan (float x) noexcept
{
    constexpr float quarterPiSplit1 = 0.78515625f, quarterPiSplit2 = 2.4187564849853515625e-4f,
                    quarterPiSplit3 = 3.77489497744594108e-8f;
    constexpr float fourOverPi = 1.27323954473516f;

    // Above pi / 4, tan x = -1 / tan (x - pi / 2); the reduced argument then lies in -pi / 4 .. 0.
    const bool upper = x * fourOverPi > 1.0f;
    const float octants = upper ? 2.0f : 0.0f;
    const float z = ((x - octants * quarterPiSplit1) - octants * quarterPiSplit2) - octants * quarterPiSplit3;
    const float zz = z * z;

    constexpr std::array<float, 6> coefficients { 9.38540185543e-3f, 3.11992232697e-3f, 2.44301354525e-2f,
                                                  5.34112807005e-2f, 1.33387994085e-1f, 3.33331568548e-1f };
    const float tanZ = horner (zz, coefficients) * zz * z + z;

    const float reciprocal = -1.0f / tanZ;
    return upper ? reciprocal : tanZ;
}

} // namespace tz
