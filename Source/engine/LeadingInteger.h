#pragma once

#include <cstdint>

#include <juce_core/juce_core.h>

namespace tz
{

// The integer a stored text begins with: white space, an optional sign, then digits; text without digits
// reads as 0. Read exactly however long the digits run, where a fixed-width reading would wrap or saturate.
struct LeadingInteger
{
    bool negative = false;
    std::uint64_t magnitude = 0; // saturates at the largest 64-bit value
    std::uint64_t lowBits = 0;   // the magnitude modulo 2^64, exact

    // Whether the number lies in 0..limit - 1.
    bool isBelow (std::uint64_t limit) const noexcept { return magnitude < limit && (! negative || magnitude == 0); }

    // The number's two's-complement bits, of which any low part is exact.
    std::uint64_t bits() const noexcept { return negative ? 0 - lowBits : lowBits; }
};

inline LeadingInteger readLeadingInteger (const juce::String& text) noexcept
{
    auto p = text.getCharPointer().findEndOfWhitespace();
    LeadingInteger result;

    if (*p == '-' || *p == '+')
        result.negative = p.getAndAdvance() == '-';

    constexpr auto largest = ~std::uint64_t { 0 };

    for (; *p >= '0' && *p <= '9'; ++p)
    {
        const auto digit = (std::uint64_t) (*p - '0');
        result.lowBits = result.lowBits * 10 + digit;
        result.magnitude = result.magnitude > (largest - digit) / 10 ? largest : result.magnitude * 10 + digit;
    }

    return result;
}

} // namespace tz
