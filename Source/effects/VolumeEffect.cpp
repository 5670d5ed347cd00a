#include "effects/VolumeEffect.h"

#include <algorithm>
#include <cmath>

namespace tz
{

void VolumeEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    smoothCoef = 1.0 - std::exp (-1.0 / (0.001 * sampleRate));
    reset();
}

void VolumeEffect::reset() noexcept
{
    level.reset();
    pan.reset();
}

void VolumeEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                            const Transport&) noexcept
{
    if (numSamples <= 0)
        return;

    level.beginChunk (values[volumeLevel] * 0.01f, numSamples);
    pan.beginChunk (values[volumePan] * 0.01f, numSamples);

    // At rest both ramps give the same value at every sample: the same products with the gains worked out once.
    if (level.atRest() && pan.atRest())
    {
        const auto gain = (float) level.current;
        const auto balance = (float) pan.current;
        const float channelGains[] = { (balance > 0.0f ? 1.0f - balance : 1.0f) * gain,
                                       (balance < 0.0f ? 1.0f + balance : 1.0f) * gain };

        for (int ch = 0; ch < std::min (numChannels, 2); ++ch)
        {
            const float channelGain = numChannels >= 2 ? channelGains[ch] : gain;
            for (int i = 0; i < numSamples; ++i)
                channels[ch][i] *= channelGain;
        }
        return;
    }

    for (int i = 0; i < numSamples; ++i)
    {
        const float gain = level.next (smoothCoef);
        const float balance = pan.next (smoothCoef); // kept moving on mono so a layout change does not jump

        if (numChannels >= 2)
        {
            channels[0][i] *= (balance > 0.0f ? 1.0f - balance : 1.0f) * gain;
            channels[1][i] *= (balance < 0.0f ? 1.0f + balance : 1.0f) * gain;
        }
        else if (numChannels == 1)
        {
            channels[0][i] *= gain;
        }
    }
}

} // namespace tz
