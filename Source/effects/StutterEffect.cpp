#include "effects/StutterEffect.h"

namespace tz
{

void StutterEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    recordBuffer.prepare (bufferSeconds, sampleRate, true);
    reset();
}

void StutterEffect::reset() noexcept
{
}

void StutterEffect::trigger() noexcept
{
}

void StutterEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    const float* right = channels[numChannels > 1 ? 1 : 0];
    for (int i = 0; i < numSamples; ++i)
        recordBuffer.write (channels[0][i], right[i]);
}

void StutterEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues&,
                     const Transport&) noexcept
{
    record (channels, numChannels, numSamples);
}

} // namespace tz
