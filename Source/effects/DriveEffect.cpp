#include "effects/DriveEffect.h"

namespace tz
{

void DriveEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    reset();
}

void DriveEffect::reset() noexcept
{
}

void DriveEffect::process (float* const*, float* const*, int, int, const ParamValues&, const Transport&) noexcept
{
}

void DriveEffect::delayOnly (float* const*, int, int) noexcept
{
}

} // namespace tz
