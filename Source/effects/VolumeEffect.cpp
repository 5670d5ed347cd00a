#include "effects/VolumeEffect.h"

namespace tz
{

void VolumeEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    reset();
}

void VolumeEffect::reset() noexcept
{
}

void VolumeEffect::process (float* const*, int, int, const ParamValues&, const Transport&) noexcept
{
}

} // namespace tz
