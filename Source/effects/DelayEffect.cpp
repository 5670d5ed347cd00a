#include "effects/DelayEffect.h"

#include <cmath>

#include "effects/RecordBuffer.h"

namespace tz
{

namespace
{
    // Above this the feedback bends smoothly toward 1 instead of clipping.
    constexpr float ceilingKnee = 0.8f;
    constexpr float ceilingWidth = 1.0f - ceilingKnee;

    float softCeiling (float x) noexcept
    {
        const auto magnitude = std::abs (x);
        if (magnitude <= ceilingKnee)
            return x;

        return std::copysign (ceilingKnee + ceilingWidth * std::tanh ((magnitude - ceilingKnee) / ceilingWidth), x);
    }

    float toneCoefficient (float tonePercent, float sampleRate) noexcept
    {
        if (tonePercent >= 99.9f)
            return 1.0f;

        const auto cutoff = 800.0f * std::pow (25.0f, tonePercent / 100.0f);
        return 1.0f - std::exp (-juce::MathConstants<float>::twoPi * cutoff / sampleRate);
    }
} // namespace

void DelayEffect::prepare (double newSampleRate, int)
{
    sampleRate = (float) newSampleRate;
    glideCoef = 1.0 - std::exp (-1.0 / (0.04 * sampleRate));
    length = (int) std::ceil (maxSeconds * newSampleRate) + 4;

    for (auto& line : lines)
        line.assign ((size_t) length, 0.0f);

    reset();
}

void DelayEffect::reset() noexcept
{
    for (auto& line : lines)
        std::fill (line.begin(), line.end(), 0.0f);

    writePos = 0;
    delayStage1 = delayStage2 = -1.0;
    toneState = {};
    feedback.primed = pingPong.primed = tone.primed = false;
}

void DelayEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                           const Transport& transport) noexcept
{
    if (numChannels <= 0 || numSamples <= 0 || length == 0)
        return;

    const auto beats = lookupBeats (delayTimeBeats, values[delayTime]);
    const auto seconds = (float) (beats * 60.0 / transport.bpm);
    // fmax/fmin also turn a NaN tempo into the shortest delay instead of an invalid read position.
    const auto target = std::fmin (std::fmax (seconds * sampleRate, 1.0f), (float) (length - 3));

    if (delayStage2 < 0.0)
        delayStage1 = delayStage2 = target;

    const bool stereo = numChannels >= 2;
    feedback.beginChunk (values[delayFeedback] * 0.01f, numSamples);
    pingPong.beginChunk (stereo ? values[delayPingpong] * 0.01f : 0.0f, numSamples);
    tone.beginChunk (toneCoefficient (values[delayTone], sampleRate), numSamples);

    auto* left = lines[0].data();
    auto* right = lines[1].data();
    float* const out0 = channels[0];
    float* const out1 = stereo ? channels[1] : nullptr;

    // The tone's states run on locals, which stay in registers: the line and output stores could alias the
    // members. A delay time at rest would glide by nothing.
    float toneLeft = toneState[0], toneRight = toneState[1];
    const bool gliding = delayStage1 != target || delayStage2 != target;

    for (int i = 0; i < numSamples; ++i)
    {
        // Even in double each stage stalls a few billionths of a sample short of what it follows, which would
        // keep every read interpolated for good: a step that no longer moves a stage puts it there.
        if (gliding)
        {
            const double stage1 = delayStage1 + (target - delayStage1) * glideCoef;
            delayStage1 = stage1 == delayStage1 ? target : stage1;
            const double stage2 = delayStage2 + (delayStage1 - delayStage2) * glideCoef;
            delayStage2 = stage2 == delayStage2 ? delayStage1 : stage2;
        }

        const auto fb = feedback.next();
        const auto pp = pingPong.next();
        const auto toneCoef = tone.next();

        const auto tap = RecordBuffer::tapAt (length, writePos - delayStage2);
        const auto delayedL = RecordBuffer::readTap (left, length, tap);
        const auto delayedR = RecordBuffer::readTap (right, length, tap);

        toneLeft += (delayedL - toneLeft) * toneCoef;
        toneRight += (delayedR - toneRight) * toneCoef;
        const auto lpL = toneLeft;
        const auto lpR = toneRight;

        const auto xL = out0[i];
        const auto xR = stereo ? out1[i] : xL;
        const auto mono = (xL + xR) * 0.5f;

        const auto fbL = softCeiling (fb * (lpL + (lpR - lpL) * pp));
        const auto fbR = softCeiling (fb * (lpR + (lpL - lpR) * pp));

        // At full ping-pong the input enters the left line only, as mono, and every repeat changes side.
        left[writePos] = xL + (mono - xL) * pp + fbL;
        right[writePos] = xR * (1.0f - pp) + fbR;

        // The repeats are darkened by the tone; the first echo leaves the line unfiltered.
        out0[i] = delayedL;
        if (stereo)
            out1[i] = delayedR;

        if (++writePos == length)
            writePos = 0;
    }

    toneState = { toneLeft, toneRight };
}

} // namespace tz
