#include "effects/DriveEffect.h"

#include "effects/FastMath.h"
#include "effects/FastTanh.h"

#include <algorithm>
#include <cmath>

namespace tz
{

namespace
{
    enum Curve : int
    {
        soft,
        hard,
        fold,
        tube
    };

    constexpr float tanhOfTubeBias = fastTanh (0.3f); // the same tanh as the curve: silence stays silent

    float hardClip (float u) noexcept
    {
        const float magnitude = std::abs (u);
        if (magnitude <= 0.75f)
            return u;
        if (magnitude >= 1.25f)
            return std::copysign (1.0f, u);

        // The knee ends at 0.875 and the curve then steps to full scale.
        const float t = 2.0f * (magnitude - 0.75f);
        return std::copysign (0.75f + 0.25f * (t - t * t * 0.5f), u);
    }

    template <int curve>
    float shapeSample (float u) noexcept
    {
        if constexpr (curve == hard)
            return hardClip (u);
        else if constexpr (curve == fold)
            return fastSinOfQuarterTurns (u);
        else if constexpr (curve == tube)
            return fastTanh (u + 0.3f) - tanhOfTubeBias;
        else
            return fastTanh (u);
    }

    // The oversampled frames of both channels shaped at a steady amount: one flat loop the compiler vectorises,
    // eight wide where the processor allows.
    template <int curve>
    void shapeSteadily (float* samples, int count, float gain, float norm) noexcept
    {
        for (int i = 0; i < count; ++i)
            samples[i] = shapeSample<curve> (gain * samples[i]) * norm;
    }

    template <int curve>
    TAZZLE_AVX2_FUNCTION void shapeSteadilyWide (float* samples, int count, float gain, float norm) noexcept
    {
        for (int i = 0; i < count; ++i)
            samples[i] = shapeSample<curve> (gain * samples[i]) * norm;
    }

    template <int curve>
    void shapeSteadilyOn (SimdPath path, float* samples, int count, float gain, float norm) noexcept
    {
        // AVX2: drive_heaviest 4.52 -> 3.78 ms/s, drive 4.69 -> 4.01 (medians of 3 x 3 runs, noise about 5 %).
        if (path != SimdPath::plain && processorHasAvx2())
            shapeSteadilyWide<curve> (samples, count, gain, norm);
        else
            shapeSteadily<curve> (samples, count, gain, norm);
    }

    struct DriveGain
    {
        float gain, norm;
    };

    // The norm keeps a signal of peak 0.35 near peak 0.35 at every amount.
    DriveGain driveGainFor (float dB) noexcept
    {
        if (dB <= -100.0f)
            return { 0.0f, 0.0f };
        const float gain = std::pow (10.0f, dB / 20.0f);
        return { gain, 0.35f / std::tanh (0.35f * gain) };
    }
} // namespace

void DriveEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;

    oversampler.prepare (chunkSize);
    prepared = true;

    latency = oversampler.latencySamples();
    latencyDelay.prepare (std::max (latency, 0));

    reset();
}

void DriveEffect::reset() noexcept
{
    // The latency delay keeps running: the signal's delay must never jump.
    oversampler.reset();
    toneState = {};
    dcBlockerState = {};
    dcBlockerInput = {};
    amountDb.primed = false;
    toneCoef.primed = false;
}

void DriveEffect::delayOnly (float* const* channels, int numChannels, int numSamples) noexcept
{
    if (latencyDelay.isActive())
        latencyDelay.process (channels, numChannels, numSamples);
}

void DriveEffect::process (float* const* channels, float* const* dry, int numChannels, int numSamples,
                           const ParamValues& values, const Transport&) noexcept
{
    delayOnly (dry, numChannels, numSamples);

    // The oversampler is sized for one chunk; longer calls are split rather than overrun.
    jassert (numSamples <= chunkSize);
    std::array<float*, maxChannels> piece {};
    const int pieceChannels = std::min (numChannels, maxChannels);

    for (int start = 0; start < numSamples; start += chunkSize)
    {
        for (int ch = 0; ch < pieceChannels; ++ch)
            piece[(size_t) ch] = channels[ch] + start;
        processPiece (piece.data(), pieceChannels, std::min (chunkSize, numSamples - start), values);
    }
}

void DriveEffect::processPiece (float* const* channels, int numChannels, int numSamples,
                                const ParamValues& values) noexcept
{
    if (! prepared)
        return;

    const int numFrames = numSamples * StereoOversampler::factor;
    amountDb.beginChunk (values[driveAmount] * 0.36f, numFrames);

    // Without channels there is nothing to shape, but the ramps move on as they would.
    if (numChannels < 1)
    {
        for (int i = 0; i < numFrames; ++i)
            amountDb.next();
        applyTone (channels, 0, numSamples, toneCoefficientFor (values[driveTone]), false);
        return;
    }

    float* right = numChannels > 1 ? channels[1] : nullptr;
    float* frames = oversampler.processUp (channels[0], right != nullptr ? right : channels[0], numSamples);
    const int curve = choiceIndex (values[driveType], 4);

    switch (curve)
    {
        case hard:
            shapeFrames<hard> (frames, numFrames);
            break;
        case fold:
            shapeFrames<fold> (frames, numFrames);
            break;
        case tube:
            shapeFrames<tube> (frames, numFrames);
            break;
        default:
            shapeFrames<soft> (frames, numFrames);
            break;
    }

    oversampler.processDown (channels[0], right, numSamples);

    applyTone (channels, std::min (numChannels, maxChannels), numSamples, toneCoefficientFor (values[driveTone]),
               curve == tube);
}

template <int curve>
void DriveEffect::shapeFrames (float* frames, int numFrames) noexcept
{
    if (amountDb.step == 0.0f)
    {
        const auto drive = driveGainFor (amountDb.current);
        shapeSteadilyOn<curve> (SimdPath::best, frames, 2 * numFrames, drive.gain, drive.norm);
        return;
    }

    for (int i = 0; i < numFrames; ++i)
    {
        const auto drive = driveGainFor (amountDb.next());
        for (int k = 2 * i; k < 2 * i + 2; ++k)
            frames[k] = shapeSample<curve> (drive.gain * frames[k]) * drive.norm;
    }
}

void DriveEffect::shapeSteadily (int curve, float* samples, int count, float gain, float norm, SimdPath path) noexcept
{
    switch (choiceIndex ((float) curve, 4))
    {
        case hard:
            shapeSteadilyOn<hard> (path, samples, count, gain, norm);
            break;
        case fold:
            shapeSteadilyOn<fold> (path, samples, count, gain, norm);
            break;
        case tube:
            shapeSteadilyOn<tube> (path, samples, count, gain, norm);
            break;
        default:
            shapeSteadilyOn<soft> (path, samples, count, gain, norm);
            break;
    }
}

// One-pole low pass from 1 kHz at tone 0 to 20 kHz at 99.9; the top of the range bypasses it.
float DriveEffect::toneCoefficientFor (float tone) const noexcept
{
    if (tone >= 99.9f)
        return 1.0f;
    const float cutoff = 1000.0f * std::pow (20.0f, tone / 100.0f);
    return 1.0f - std::exp (-juce::MathConstants<float>::twoPi * cutoff / (float) sampleRate);
}

void DriveEffect::applyTone (float* const* channels, int numChannels, int numSamples, float toneTarget,
                             bool tube) noexcept
{
    toneCoef.beginChunk (toneTarget, numSamples);

    // The tone at the top of its range, at rest, passes the signal as it is.
    if (! tube && toneCoef.step == 0.0f && toneCoef.current >= 1.0f)
    {
        for (int ch = 0; ch < numChannels && numSamples > 0; ++ch)
            toneState[(size_t) ch] = channels[ch][numSamples - 1];
        return;
    }

    for (int i = 0; i < numSamples; ++i)
    {
        const float a = toneCoef.next();

        for (int ch = 0; ch < numChannels; ++ch)
        {
            float input = channels[ch][i];

            // The tube curve is asymmetric: block its DC before the low pass.
            if (tube)
            {
                auto& blocked = dcBlockerState[(size_t) ch];
                blocked = 0.995f * blocked + (input - dcBlockerInput[(size_t) ch]);
                dcBlockerInput[(size_t) ch] = input;
                input = blocked;
            }

            auto& lowPass = toneState[(size_t) ch];
            lowPass = a >= 1.0f ? input : lowPass + (input - lowPass) * a;
            channels[ch][i] = lowPass;
        }
    }
}

} // namespace tz
