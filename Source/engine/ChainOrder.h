#pragma once

#include <array>
#include <cstdint>

#include <juce_core/juce_core.h>

#include "core/Parameters.h"

namespace tz
{

// Slot 0 runs first; each slot holds an EffectId.
using ChainOrder = std::array<int, numEffects>;

// True when every effect appears exactly once.
constexpr bool isValidChainOrder (const ChainOrder& order) noexcept
{
    std::array<bool, numEffects> seen {};

    for (const int id : order)
    {
        if (id < 0 || id >= numEffects || seen[(size_t) id])
            return false;
        seen[(size_t) id] = true;
    }

    return true;
}

inline constexpr ChainOrder defaultChainOrder = []
{
    ChainOrder order {};
    for (const auto& effect : effectDescriptors)
        order[(size_t) effect.defaultPlace] = effect.id;
    return order;
}();
static_assert (isValidChainOrder (defaultChainOrder), "two effects share a default place");

// Slot i lives in bits 4i..4i+3, so one 64-bit atomic carries a whole order across threads.
static_assert (numEffects <= 16);

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

// Lenient reader of the stored text: bad or repeated entries are dropped, missing effects appended.
ChainOrder decodeChainOrder (const juce::String& text);

juce::String encodeChainOrder (const ChainOrder& order);

} // namespace tz
