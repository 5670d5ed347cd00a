#pragma once

#include <array>

#include "core/Parameters.h"

namespace tz
{

// Route sources as the editor's operations name them; the stored source value is the index + 1 (0 = "Off").
namespace routeSource
{
    constexpr int firstModulator = 0, x = 4, y = 5, count = 6;
}

using ModulatorOutputs = std::array<float, numModulators>;
using XYPair = std::array<float, 2>;
using ModSums = std::array<float, numFixedParams>;
using ModTouched = std::array<bool, numFixedParams>;

// Position of p in modTargets(), or 0 (none) when p cannot be modulated.
int targetPosition (P p) noexcept;

// The parameter a stored target value points at, or P::none for 0 and for values past the list.
P routeTargetParam (float targetValue) noexcept;

// The source index (0..5) of a stored source value, or -1 when the slot is off.
int routeSourceIndex (float sourceValue) noexcept;

// The routes' view of the pad: X and Y follow the previous chunk's position with a 20 ms time constant.
void smoothXY (XYPair& xySmooth, const XYPair& xyLast, int numSamples, double sampleRate) noexcept;

// Y scales the routes of the modulators that follow the pad.
inline float xyIntensity (float y) noexcept { return y / 100.0f; }

// The value a route from `source` carries this chunk (0..1).
float routeSourceValue (int source, const ModulatorOutputs& modOut, const XYPair& xySmooth) noexcept;

// Adds every active route's depth x source x intensity into its target's normalised offset and marks the target.
void addRouteContributions (const ParamValues& values, const ModulatorOutputs& modOut, const XYPair& xySmooth,
                            float yIntensity, ModSums& modSum, ModTouched& touched) noexcept;

} // namespace tz
