#include "effects/RoomReverb.h"

namespace tz
{

void RoomReverb::DelayLine::setSize (int newSize)
{
    buffer.assign ((size_t) std::max (newSize, 1), 0.0f);
    index = 0;
}

void RoomReverb::DelayLine::clear() noexcept { std::fill (buffer.begin(), buffer.end(), 0.0f); }

// The same gains and the same order of setting them as juce::Reverb.
void RoomReverb::setParameters (const juce::Reverb::Parameters& newParameters) noexcept
{
    constexpr float wetScaleFactor = 3.0f, dryScaleFactor = 2.0f;
    constexpr float roomScaleFactor = 0.28f, roomOffset = 0.7f, dampScaleFactor = 0.4f;

    const float wet = newParameters.wetLevel * wetScaleFactor;
    dryGain.setTargetValue (newParameters.dryLevel * dryScaleFactor);
    wetGain1.setTargetValue (0.5f * wet * (1.0f + newParameters.width));
    wetGain2.setTargetValue (0.5f * wet * (1.0f - newParameters.width));

    const bool frozen = newParameters.freezeMode >= 0.5f;
    gain = frozen ? 0.0f : 0.015f;
    damping.setTargetValue (frozen ? 0.0f : newParameters.damping * dampScaleFactor);
    feedback.setTargetValue (frozen ? 1.0f : newParameters.roomSize * roomScaleFactor + roomOffset);
}

void RoomReverb::setSampleRate (double sampleRate)
{
    // Delay lengths in samples at 44.1 kHz, the right channel's spread a little wider.
    constexpr std::array<int, numCombs> combTunings { 1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617 };
    constexpr std::array<int, numAllPasses> allPassTunings { 556, 441, 341, 225 };
    constexpr int stereoSpread = 23;
    const auto intSampleRate = (int) sampleRate;

    for (size_t ch = 0; ch < 2; ++ch)
    {
        const int spread = ch == 0 ? 0 : stereoSpread;
        for (size_t i = 0; i < combs[ch].size(); ++i)
        {
            combs[ch][i].line.setSize ((intSampleRate * (combTunings[i] + spread)) / 44100);
            combs[ch][i].last = 0.0f;
        }
        for (size_t i = 0; i < allPasses[ch].size(); ++i)
            allPasses[ch][i].line.setSize ((intSampleRate * (allPassTunings[i] + spread)) / 44100);
    }

    constexpr double smoothTime = 0.01;
    for (auto* smoothed : { &damping, &feedback, &dryGain, &wetGain1, &wetGain2 })
        smoothed->reset (sampleRate, smoothTime);
}

void RoomReverb::reset() noexcept
{
    for (auto& channelCombs : combs)
        for (auto& comb : channelCombs)
        {
            comb.line.clear();
            comb.last = 0.0f;
        }

    for (auto& channelAllPasses : allPasses)
        for (auto& allPass : channelAllPasses)
            allPass.line.clear();
}

void RoomReverb::skip (int numSamples) noexcept
{
    for (auto* smoothed : { &damping, &feedback, &dryGain, &wetGain1, &wetGain2 })
        smoothed->skip (numSamples);
}

void RoomReverb::processStereo (float* left, float* right, int numSamples) noexcept
{
    for (int i = 0; i < numSamples; ++i)
    {
        const float input = (left[i] + right[i]) * gain;
        float outL = 0, outR = 0;

        const float damp = damping.getNextValue();
        const float feedbackLevel = feedback.getNextValue();

        for (size_t j = 0; j < numCombs; ++j)
        {
            outL += combs[0][j].process (input, damp, feedbackLevel);
            outR += combs[1][j].process (input, damp, feedbackLevel);
        }

        for (size_t j = 0; j < numAllPasses; ++j)
        {
            outL = allPasses[0][j].process (outL);
            outR = allPasses[1][j].process (outR);
        }

        const float dry = dryGain.getNextValue();
        const float wet1 = wetGain1.getNextValue();
        const float wet2 = wetGain2.getNextValue();

        left[i] = outL * wet1 + outR * wet2 + left[i] * dry;
        right[i] = outR * wet1 + outL * wet2 + right[i] * dry;
    }
}

void RoomReverb::processMono (float* samples, int numSamples) noexcept
{
    for (int i = 0; i < numSamples; ++i)
    {
        const float input = samples[i] * gain;
        float output = 0;

        const float damp = damping.getNextValue();
        const float feedbackLevel = feedback.getNextValue();

        for (auto& comb : combs[0])
            output += comb.process (input, damp, feedbackLevel);

        for (auto& allPass : allPasses[0])
            output = allPass.process (output);

        const float dry = dryGain.getNextValue();
        const float wet1 = wetGain1.getNextValue();

        samples[i] = output * wet1 + samples[i] * dry;
    }
}

} // namespace tz
