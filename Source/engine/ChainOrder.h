#pragma once

#include <array>
#include <cstdint>

#include <juce_core/juce_core.h>

#include "core/Parameters.h"

namespace tz
{

// Slot 0 runs first; each slot holds an EffectId.
using ChainOrder = std::array<int, numEffects>;

inline constexpr ChainOrder defaultChainOrder { stutter, reverse, grain, filter, drive,
                                                crush,   volume,  delay, reverb, tapestop };

// Slot i lives in bits 4i..4i+3, so one 64-bit atomic carries a whole order across threads.
constexpr std::uint64_t packChainOrder (const ChainOrder& order) noexcept
{
    std::uint64_t word = 0;
    for (size_t i = 0; i < order.size(); ++i)
        word |= (std::uint64_t) (order[i] & 15) << (4 * i);
    return word;
}

constexpr ChainOrder unpackChainOrder (std::uint64_t word) noexcept
{
    ChainOrder order {};
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = (int) ((word >> (4 * i)) & 15);
    return order;
}

// True when every effect appears exactly once.
bool isValidChainOrder (const ChainOrder& order) noexcept;

// Lenient reader of the stored text: bad or repeated entries are dropped, missing effects appended.
ChainOrder decodeChainOrder (const juce::String& text);

juce::String encodeChainOrder (const ChainOrder& order);

} // namespace tz
