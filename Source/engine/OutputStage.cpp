#include "engine/OutputStage.h"

#include <algorithm>
#include <cmath>

#include "engine/InputStage.h"

namespace tz
{

bool allFinite (float* const* channels, int numChannels, int numSamples) noexcept
{
    // Any NaN or infinity makes the product of a sample and zero NaN; the sum then stays NaN.
    float poison = 0.0f;
    for (int ch = 0; ch < numChannels; ++ch)
        for (int i = 0; i < numSamples; ++i)
            poison += channels[ch][i] * 0.0f;
    return poison == 0.0f;
}

void OutputStage::prepare (double sampleRate, int latencySamples) noexcept
{
    orderStep = (float) (1.0 / (0.003 * sampleRate));
    fadeStep = (float) (1.0 / (0.005 * sampleRate));
    fadeFromEmptyDelays = -fadeStep * (float) latencySamples;
    gainCoef = 1.0 - std::exp (-1.0 / (0.010 * sampleRate));
    mixCoef = 1.0 - std::exp (-1.0 / (0.005 * sampleRate));
    reset();
}

void OutputStage::reset() noexcept
{
    mixRamp.reset();
    gainRamp.reset();
    orderFade = restartFade = dryFade = 1.0f;
}

bool OutputStage::process (float* const* channels, int numChannels, int numSamples, const InputStage& input,
                           float mixPercent, float outputGainDb, bool orderChanging, bool restartPending) noexcept
{
    mix (channels, numChannels, numSamples, input, mixPercent);
    applyGainAndFades (channels, numChannels, numSamples, outputGainDb, orderChanging, restartPending);
    if (dryFade < 1.0f)
        crossfadeFromDry (channels, numChannels, numSamples, input);

    // Whatever went wrong upstream, the host gets silence and a clean restart that fades back in, instead of a
    // track that stays dead.
    if (allFinite (channels, numChannels, numSamples))
        return true;
    for (int ch = 0; ch < numChannels; ++ch)
        std::fill_n (channels[ch], numSamples, 0.0f);
    return false;
}

void OutputStage::mix (float* const* channels, int numChannels, int numSamples, const InputStage& input,
                       float mixPercent) noexcept
{
    const float mixTarget = mixPercent / 100.0f;
    mixRamp.beginChunk (mixTarget, numSamples);
    if (mixRamp.restsAtOrAbove (1.0f, mixTarget))
        return;

    for (int i = 0; i < numSamples; ++i)
    {
        const float m = mixRamp.next (mixCoef);
        for (int ch = 0; ch < numChannels; ++ch)
        {
            const float dry = input.mixDry (ch)[i];
            auto& sample = channels[ch][i];
            sample = dry + m * (sample - dry);
        }
    }
}

void OutputStage::applyGainAndFades (float* const* channels, int numChannels, int numSamples, float outputGainDb,
                                     bool orderChanging, bool restartPending) noexcept
{
    gainRamp.beginChunk (decibelsToGain (outputGainDb), numSamples);
    if (gainRamp.atRest() && ! orderChanging && orderFade >= 1.0f && ! restartPending && restartFade >= 1.0f)
    {
        applyGain (channels, numChannels, numSamples, (float) gainRamp.current);
        return;
    }

    for (int i = 0; i < numSamples; ++i)
    {
        float gain = gainRamp.next (gainCoef);

        if (orderChanging)
        {
            orderFade = std::max (0.0f, orderFade - orderStep);
            gain *= orderFade;
        }
        else if (orderFade < 1.0f)
        {
            orderFade = std::min (1.0f, orderFade + orderStep);
            gain *= orderFade;
        }

        if (restartPending)
        {
            restartFade = std::max (0.0f, restartFade - fadeStep);
            gain *= restartFade;
        }
        else if (restartFade < 1.0f)
        {
            restartFade = std::min (1.0f, restartFade + fadeStep);
            gain *= std::max (0.0f, restartFade);
        }

        for (int ch = 0; ch < numChannels; ++ch)
            channels[ch][i] *= gain;
    }
}

void OutputStage::crossfadeFromDry (float* const* channels, int numChannels, int numSamples,
                                    const InputStage& input) noexcept
{
    for (int i = 0; i < numSamples; ++i)
    {
        dryFade = std::min (1.0f, dryFade + fadeStep);
        const float processed = std::max (0.0f, dryFade);
        for (int ch = 0; ch < numChannels; ++ch)
        {
            const float dry = input.rawDry (ch)[i];
            auto& sample = channels[ch][i];
            sample = dry + processed * (sample - dry);
        }
    }
}

} // namespace tz
