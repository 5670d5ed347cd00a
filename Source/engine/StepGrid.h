#pragma once

#include <array>
#include <cstdint>

#include <juce_core/juce_core.h>

#include "core/Parameters.h"

namespace tz
{

// One effect's row: bit i of steps set = step i + 1 plays; a disabled row does not restrict its effect.
struct GridRow
{
    unsigned int steps = 0;
    bool enabled = false;
};

using GridWords = std::array<std::uint32_t, numEffects>;

constexpr std::uint32_t gridEnabledBit = 0x10000;
constexpr std::uint32_t gridStepMask = 0xFFFF;
constexpr int maxGridSteps = 16;

constexpr std::uint32_t packGridRow (GridRow row) noexcept
{
    return (row.enabled ? gridEnabledBit : 0u) | (row.steps & gridStepMask);
}

constexpr GridRow unpackGridRow (std::uint32_t word) noexcept
{
    return { word & gridStepMask, (word & gridEnabledBit) != 0 };
}

// Lenient reader of the stored "steps:flag,..." text; only the flag text "1" enables a row.
GridWords decodeGrid (const juce::String& text);

juce::String encodeGrid (const GridWords& words);

// The grid step of the chunk whose midpoint sits at `midBeat`, for the effective grid_rate and grid_length values.
int gridStepAt (double midBeat, float gridRateValue, float gridLengthValue) noexcept;

// 1 when the row lets its effect sound on `step`, else 0.
constexpr float gridGateTarget (std::uint32_t word, int step) noexcept
{
    if ((word & gridEnabledBit) == 0)
        return 1.0f;
    return ((word >> step) & 1u) != 0 ? 1.0f : 0.0f;
}

} // namespace tz
