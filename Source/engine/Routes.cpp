#include "engine/Routes.h"

#include <algorithm>
#include <cmath>

#include "engine/Modulators.h"

namespace tz
{

int targetPosition (P p) noexcept
{
    const auto& targets = modTargets();
    const auto found = std::find (targets.begin() + 1, targets.end(), p);
    return found == targets.end() ? 0 : (int) std::distance (targets.begin(), found);
}

P routeTargetParam (float targetValue) noexcept
{
    const auto& targets = modTargets();
    const auto t = std::lround (targetValue);
    return (t >= 1 && t < (long) targets.size()) ? targets[(size_t) t] : none;
}

int routeSourceIndex (float sourceValue) noexcept
{
    const auto s = std::lround (sourceValue);
    return (s >= 1 && s <= routeSource::count) ? (int) s - 1 : -1;
}

void smoothXY (XYPair& xySmooth, const XYPair& xyLast, int numSamples, double sampleRate) noexcept
{
    const auto coef = (float) (1.0 - std::exp (-numSamples / (0.020 * sampleRate)));

    for (size_t axis = 0; axis < xySmooth.size(); ++axis)
        xySmooth[axis] += (xyLast[axis] / 100.0f - xySmooth[axis]) * coef;
}

float routeSourceValue (int source, const ModulatorOutputs& modOut, const XYPair& xySmooth) noexcept
{
    if (source == routeSource::x)
        return xySmooth[0];
    if (source == routeSource::y)
        return xySmooth[1];
    return modOut[(size_t) source];
}

void addRouteContributions (const ParamValues& values, const ModulatorOutputs& modOut, const XYPair& xySmooth,
                            float yIntensity, ModSums& modSum, ModTouched& touched) noexcept
{
    for (int r = 0; r < numRoutes; ++r)
    {
        const int source = routeSourceIndex (values[(size_t) routeParam (r, routeField::source)]);
        if (source < 0)
            continue;

        const P target = routeTargetParam (values[(size_t) routeParam (r, routeField::target)]);
        if (target == none)
            continue;

        // The pad's own axes are never scaled by Y; only modulators that follow the pad are.
        const bool scaled = source < numModulators && followsXY (values, source);
        const float depth = values[(size_t) routeParam (r, routeField::depth)] / 100.0f;

        modSum[(size_t) target] += depth * routeSourceValue (source, modOut, xySmooth) * (scaled ? yIntensity : 1.0f);
        touched[(size_t) target] = true;
    }
}

} // namespace tz
