#pragma once

#include <algorithm>

namespace tz
{

// tanh as a 13/6 rational minimax fit: a few ulps from std::tanh over the whole float range, but plain
// arithmetic the compiler can vectorise. The waveshapers call it at eight times the sample rate.
constexpr float fastTanh (float x) noexcept
{
    constexpr float clampAt = 7.90531110763549805f; // beyond this tanh rounds to +-1 in float
    constexpr float tiny = 0.0004f;                 // below this tanh(x) == x in float

    const float clamped = std::clamp (x, -clampAt, clampAt);
    const float x2 = clamped * clamped;

    float p = -2.76076847742355e-16f;
    p = p * x2 + 2.00018790482477e-13f;
    p = p * x2 + -8.60467152213735e-11f;
    p = p * x2 + 5.12229709037114e-08f;
    p = p * x2 + 1.48572235717979e-05f;
    p = p * x2 + 6.37261928875436e-04f;
    p = p * x2 + 4.89352455891786e-03f;
    p = p * clamped;

    float q = 1.19825839466702e-06f;
    q = q * x2 + 1.18534705686654e-04f;
    q = q * x2 + 2.26843463243900e-03f;
    q = q * x2 + 4.89352518554385e-03f;

    // Both sides computed, so that loops over it become branch-free vector code.
    const float ratio = p / q;
    return (clamped < 0.0f ? -clamped : clamped) < tiny ? x : ratio;
}

} // namespace tz
