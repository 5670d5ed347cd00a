#include "effects/ReverbEffect.h"

#include <algorithm>
#include <cmath>

namespace tz
{

namespace
{
    float peakOf (const float* const* channels, int numChannels, int numSamples) noexcept
    {
        float peak = 0.0f;
        for (int ch = 0; ch < numChannels; ++ch)
            for (int i = 0; i < numSamples; ++i)
                peak = std::max (peak, std::abs (channels[ch][i]));
        return peak;
    }

    juce::Reverb::Parameters fullyWet (float size, float damping) noexcept
    {
        juce::Reverb::Parameters params;
        params.roomSize = size;
        params.damping = damping;
        params.wetLevel = 0.5f;
        params.dryLevel = 0.0f;
        params.width = 1.0f;
        params.freezeMode = 0.0f;
        return params;
    }
} // namespace

void ReverbEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    // Setting the sample rate snaps the reverb's gain smoothers to their targets; without fully-wet targets
    // here it would leak its default dry level into the first 10 ms.
    reverb.setParameters (fullyWet (0.5f, 0.5f));
    reverb.setSampleRate (sampleRate);
    dcCoef = (float) (1.0 - 10.0 * juce::MathConstants<double>::pi / sampleRate);
    reset();
}

void ReverbEffect::reset() noexcept
{
    reverb.reset();
    dcBlockers = {};
    quietSamples = 0;
    resting = false;
}

void ReverbEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                            const Transport&) noexcept
{
    if (numChannels <= 0 || numSamples <= 0)
        return;

    // Set every chunk: the reverb glides to new values itself.
    reverb.setParameters (fullyWet (juce::jlimit (0.0f, 1.0f, values[reverbSize] * 0.01f),
                                    juce::jlimit (0.0f, 1.0f, values[reverbDamping] * 0.01f)));

    const int processed = juce::jmin (numChannels, 2);
    const bool silentInput = peakOf (channels, processed, numSamples) == 0.0f;

    if (resting && silentInput)
    {
        for (int ch = 0; ch < processed; ++ch)
            std::fill_n (channels[ch], numSamples, 0.0f);
        reverb.skip (numSamples);
        return;
    }
    resting = false;

    if (numChannels == 1)
        reverb.processMono (channels[0], numSamples);
    else
        reverb.processStereo (channels[0], channels[1], numSamples);

    removeDc (channels, processed, numSamples);

    quietSamples =
        silentInput && peakOf (channels, processed, numSamples) <= floorLevel ? quietSamples + numSamples : 0;
    if (quietSamples >= silenceSeconds * sampleRate)
    {
        reverb.reset();
        dcBlockers = {};
        quietSamples = 0;
        resting = true;
    }
}

// Both channels in one loop: each blocker is a serial recursion, and side by side the two overlap. They run on
// locals, which stay in registers: the sample stores could alias the members.
void ReverbEffect::removeDc (float* const* channels, int numChannels, int numSamples) noexcept
{
    auto left = dcBlockers[0], right = dcBlockers[1];
    const float coef = dcCoef;

    if (numChannels == 1)
    {
        for (int i = 0; i < numSamples; ++i)
            channels[0][i] = left.process (channels[0][i], coef);
    }
    else
    {
        for (int i = 0; i < numSamples; ++i)
        {
            channels[0][i] = left.process (channels[0][i], coef);
            channels[1][i] = right.process (channels[1][i], coef);
        }
    }

    dcBlockers = { left, right };
}

} // namespace tz
