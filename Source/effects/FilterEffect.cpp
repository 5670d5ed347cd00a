#include "effects/FilterEffect.h"

namespace tz
{

void FilterEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    reset();
}

void FilterEffect::reset() noexcept
{
}

void FilterEffect::process (float* const*, int, int, const ParamValues&, const Transport&) noexcept
{
}

} // namespace tz
