#include "effects/CrushEffect.h"

namespace tz
{

void CrushEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    reset();
}

void CrushEffect::reset() noexcept
{
}

void CrushEffect::process (float* const*, int, int, const ParamValues&, const Transport&) noexcept
{
}

} // namespace tz
