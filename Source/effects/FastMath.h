#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tz
{

// exp, tan and sine in plain float arithmetic, a couple of ulps from the library: loops that call them per sample
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

// sin (u pi / 2) for |u| < 2^22, u counted in quarter turns: the nearest whole quarter turn comes off exactly, so
// no pi is rounded into the argument, and the rest (at most an eighth of a turn) goes through Cephes' sine or
// cosine polynomial. Branch-free: the wave folder calls it at eight times the sample rate.
inline float fastSinOfQuarterTurns (float u) noexcept
{
    // Adding 1.5 * 2^23 rounds to the nearest integer, which then sits in the low mantissa bits.
    constexpr float roundingShift = 12582912.0f;
    const float shifted = u + roundingShift;
    const float nearest = shifted - roundingShift;
    std::uint32_t quadrant;
    std::memcpy (&quadrant, &shifted, sizeof (quadrant));

    constexpr float halfPi = 1.57079632679489662f;
    const float x = (u - nearest) * halfPi;
    const float z = x * x;

    const float sine =
        horner (z, std::array<float, 3> { -1.9515295891e-4f, 8.3321608736e-3f, -1.6666654611e-1f }) * z * x + x;
    const float cosine =
        horner (z, std::array<float, 3> { 2.443315711809948e-5f, -1.388731625493765e-3f, 4.166664568298827e-2f }) * z
            * z
        - 0.5f * z + 1.0f;

    const float magnitude = (quadrant & 1u) != 0 ? cosine : sine;
    return (quadrant & 2u) != 0 ? -magnitude : magnitude;
}

} // namespace tz
