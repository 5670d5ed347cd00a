#include "effects/DelayEffect.h"

namespace tz
{

void DelayEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    reset();
}

void DelayEffect::reset() noexcept
{
}

void DelayEffect::process (float* const*, int, int, const ParamValues&, const Transport&) noexcept
{
}

} // namespace tz
