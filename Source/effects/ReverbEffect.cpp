#include "effects/ReverbEffect.h"

namespace tz
{

void ReverbEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    reset();
}

void ReverbEffect::reset() noexcept
{
}

void ReverbEffect::process (float* const*, int, int, const ParamValues&, const Transport&) noexcept
{
}

} // namespace tz
