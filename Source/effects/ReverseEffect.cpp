#include "effects/ReverseEffect.h"

namespace tz
{

void ReverseEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    recordBuffer.prepare (bufferSeconds, sampleRate, false);
    reset();
}

void ReverseEffect::reset() noexcept
{
}

void ReverseEffect::trigger() noexcept
{
}

void ReverseEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    const float* right = channels[numChannels > 1 ? 1 : 0];
    for (int i = 0; i < numSamples; ++i)
        recordBuffer.write (channels[0][i], right[i]);
}

void ReverseEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues&,
                     const Transport&) noexcept
{
    record (channels, numChannels, numSamples);
}

} // namespace tz
