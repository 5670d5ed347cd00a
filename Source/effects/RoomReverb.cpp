#include "effects/RoomReverb.h"

#include <algorithm>

namespace tz
{

void RoomReverb::DelayLine::setSize (int newSize)
{
    length = std::max (newSize, 1);
    buffer.assign ((size_t) (length + maxPiece), 0.0f);
    index = 0;
}

void RoomReverb::DelayLine::clear() noexcept { std::fill (buffer.begin(), buffer.end(), 0.0f); }

void RoomReverb::DelayLine::step (int count) noexcept
{
    float* data = buffer.data();

    // What went past the end belongs at the start; what went into the start is mirrored past the end.
    if (index + count > length)
        std::copy (data + length, data + index + count, data);
    if (index < maxPiece)
        std::copy (data + index, data + std::min (index + count, maxPiece), data + length + index);

    index += count;
    if (index >= length)
        index -= length;
}

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
    pieceLength = maxPiece;

    for (size_t ch = 0; ch < 2; ++ch)
    {
        const int spread = ch == 0 ? 0 : stereoSpread;
        for (size_t i = 0; i < combs[ch].size(); ++i)
        {
            combs[ch][i].line.setSize ((intSampleRate * (combTunings[i] + spread)) / 44100);
            combs[ch][i].last = 0.0f;
            pieceLength = std::min (pieceLength, combs[ch][i].line.size());
        }
        for (size_t i = 0; i < allPasses[ch].size(); ++i)
        {
            allPasses[ch][i].setSize ((intSampleRate * (allPassTunings[i] + spread)) / 44100);
            pieceLength = std::min (pieceLength, allPasses[ch][i].size());
        }
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
            allPass.clear();
}

void RoomReverb::skip (int numSamples) noexcept
{
    for (auto* smoothed : { &damping, &feedback, &dryGain, &wetGain1, &wetGain2 })
        smoothed->skip (numSamples);
}

namespace
{
    // A smoother's next values, as getNextValue gives them one at a time; at rest, a plain fill.
    void nextValues (juce::SmoothedValue<float>& smoothed, float* values, int count) noexcept
    {
        if (! smoothed.isSmoothing())
        {
            std::fill_n (values, count, smoothed.getTargetValue());
            return;
        }

        for (int i = 0; i < count; ++i)
            values[i] = smoothed.getNextValue();
    }
} // namespace

// Each line's piece is read before it is written, which is what a sample at a time does too: the piece is
// no longer than any line, so no sample written in it is due out in it.
template <size_t numChannels>
void RoomReverb::processPiece (const std::array<float*, numChannels>& channels, int numSamples) noexcept
{
    using Piece = std::array<float, maxPiece>;
    constexpr size_t numChannelCombs = numChannels * numCombs;

    Piece input, damp, undamped, feedbackLevel, dry, wet1, wet2;
    for (int i = 0; i < numSamples; ++i)
    {
        if constexpr (numChannels == 2)
            input[(size_t) i] = (channels[0][i] + channels[1][i]) * gain;
        else
            input[(size_t) i] = channels[0][i] * gain;
    }

    nextValues (damping, damp.data(), numSamples);
    nextValues (feedback, feedbackLevel.data(), numSamples);
    for (int i = 0; i < numSamples; ++i)
        undamped[(size_t) i] = 1.0f - damp[(size_t) i];

    std::array<float*, numChannelCombs> lines;
    std::array<float, numChannelCombs> lasts;
    for (size_t k = 0; k < numChannelCombs; ++k)
    {
        auto& comb = combs[k / numCombs][k % numCombs];
        lines[k] = comb.line.next();
        lasts[k] = comb.last;
    }

    std::array<Piece, numChannelCombs> states;
    for (int i = 0; i < numSamples; ++i)
        for (size_t k = 0; k < numChannelCombs; ++k)
        {
            float last = (lines[k][i] * undamped[(size_t) i]) + (lasts[k] * damp[(size_t) i]);
            JUCE_UNDENORMALISE (last);
            lasts[k] = last;
            states[k][(size_t) i] = last;
        }

    std::array<Piece, numChannels> wet {};
    for (size_t k = 0; k < numChannelCombs; ++k)
    {
        auto& comb = combs[k / numCombs][k % numCombs];
        comb.last = lasts[k];

        float* line = lines[k];
        for (int i = 0; i < numSamples; ++i)
        {
            wet[k / numCombs][(size_t) i] += line[i];
            float temp = input[(size_t) i] + (states[k][(size_t) i] * feedbackLevel[(size_t) i]);
            JUCE_UNDENORMALISE (temp);
            line[i] = temp;
        }
        comb.line.step (numSamples);
    }

    for (size_t ch = 0; ch < numChannels; ++ch)
        for (auto& allPass : allPasses[ch])
        {
            float* line = allPass.next();
            for (int i = 0; i < numSamples; ++i)
            {
                const float buffered = line[i];
                float temp = wet[ch][(size_t) i] + (buffered * 0.5f);
                JUCE_UNDENORMALISE (temp);
                line[i] = temp;
                wet[ch][(size_t) i] = buffered - wet[ch][(size_t) i];
            }
            allPass.step (numSamples);
        }

    nextValues (dryGain, dry.data(), numSamples);
    nextValues (wetGain1, wet1.data(), numSamples);
    if constexpr (numChannels == 2)
        nextValues (wetGain2, wet2.data(), numSamples);

    for (int i = 0; i < numSamples; ++i)
    {
        if constexpr (numChannels == 2)
        {
            const float outL = wet[0][(size_t) i], outR = wet[1][(size_t) i];
            channels[0][i] = outL * wet1[(size_t) i] + outR * wet2[(size_t) i] + channels[0][i] * dry[(size_t) i];
            channels[1][i] = outR * wet1[(size_t) i] + outL * wet2[(size_t) i] + channels[1][i] * dry[(size_t) i];
        }
        else
        {
            channels[0][i] = wet[0][(size_t) i] * wet1[(size_t) i] + channels[0][i] * dry[(size_t) i];
        }
    }
}

template <size_t numChannels>
void RoomReverb::process (const std::array<float*, numChannels>& channels, int numSamples) noexcept
{
    for (int start = 0; start < numSamples; start += pieceLength)
    {
        std::array<float*, numChannels> piece;
        for (size_t ch = 0; ch < numChannels; ++ch)
            piece[ch] = channels[ch] + start;
        processPiece (piece, std::min (pieceLength, numSamples - start));
    }
}

void RoomReverb::processStereo (float* left, float* right, int numSamples) noexcept
{
    process (std::array<float*, 2> { left, right }, numSamples);
}

void RoomReverb::processMono (float* samples, int numSamples) noexcept
{
    process (std::array<float*, 1> { samples }, numSamples);
}

} // namespace tz
