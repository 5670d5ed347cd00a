#include "engine/InputStage.h"

#include <algorithm>
#include <cmath>

namespace tz
{

void replaceNonFinite (float* samples, int numSamples) noexcept
{
    for (int i = 0; i < numSamples; ++i)
        if (! std::isfinite (samples[i]))
            samples[i] = 0.0f;
}

void applyGain (float* const* channels, int numChannels, int numSamples, float gain) noexcept
{
    if (gain == 1.0f)
        return;
    for (int ch = 0; ch < numChannels; ++ch)
        for (int i = 0; i < numSamples; ++i)
            channels[ch][i] *= gain;
}

void InputStage::prepare (double sampleRate, int latencySamples)
{
    gainCoef = 1.0 - std::exp (-1.0 / (0.010 * sampleRate));
    bypassDelay.prepare (latencySamples);
    mixDelay.prepare (latencySamples);
    gainRamp.reset();
}

void InputStage::process (float* const* present, int numPresent, int numChannels, int numSamples,
                          float inputGainDb) noexcept
{
    for (int ch = 0; ch < numPresent; ++ch)
    {
        replaceNonFinite (present[ch], numSamples);
        std::copy_n (present[ch], numSamples, rawDryChunk[(size_t) ch].begin());
    }

    if (bypassDelay.isActive())
    {
        std::array<float*, 2> raw { rawDryChunk[0].data(), rawDryChunk[1].data() };
        bypassDelay.process (raw.data(), numPresent, numSamples);
    }

    gainRamp.beginChunk (decibelsToGain (inputGainDb), numSamples);
    if (gainRamp.atRest())
        applyGain (present, numChannels, numSamples, (float) gainRamp.current);
    else
    {
        for (int i = 0; i < numSamples; ++i)
        {
            const float gain = gainRamp.next (gainCoef);
            for (int ch = 0; ch < numChannels; ++ch)
                present[ch][i] *= gain;
        }
    }

    for (int ch = 0; ch < numChannels; ++ch)
        std::copy_n (present[ch], numSamples, mixDryChunk[(size_t) ch].begin());
    if (mixDelay.isActive())
    {
        std::array<float*, 2> mix { mixDryChunk[0].data(), mixDryChunk[1].data() };
        mixDelay.process (mix.data(), numChannels, numSamples);
    }
}

void InputStage::processBypassed (float* const* channels, int numPresent, int numSamples) noexcept
{
    if (! bypassDelay.isActive())
        return;
    for (int ch = 0; ch < numPresent; ++ch)
        replaceNonFinite (channels[ch], numSamples);
    bypassDelay.process (channels, numPresent, numSamples);
}

} // namespace tz
