#include "effects/DriveEffect.h"

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

    constexpr float tanhOfTubeBias = 0.2913126f; // tanh (0.3): keeps silence silent

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
            return std::sin (u * juce::MathConstants<float>::halfPi);
        else if constexpr (curve == tube)
            return std::tanh (u + 0.3f) - tanhOfTubeBias;
        else
            return std::tanh (u);
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

void DriveEffect::prepare (double newSampleRate, int numChannels)
{
    sampleRate = newSampleRate;

    const size_t oversampledChannels = numChannels < 2 ? 1 : 2;
    using Oversampler = juce::dsp::Oversampling<float>;
    constexpr auto halfBandIIR = Oversampler::filterHalfBandPolyphaseIIR;

    auto newOversampler = std::make_unique<Oversampler> (oversampledChannels);
    newOversampler->setUsingIntegerLatency (true);
    newOversampler->addOversamplingStage (halfBandIIR, 0.05f, -90.0f, 0.06f, -75.0f);
    newOversampler->addOversamplingStage (halfBandIIR, 0.10f, -80.0f, 0.12f, -65.0f);
    newOversampler->addOversamplingStage (halfBandIIR, 0.10f, -70.0f, 0.12f, -55.0f);
    newOversampler->initProcessing ((size_t) maxChunk);
    oversampler = std::move (newOversampler);

    latency = juce::roundToInt (oversampler->getLatencyInSamples());
    latencyDelay.prepare (std::max (latency, 0));
    work.setSize ((int) oversampledChannels, maxChunk);

    reset();
}

void DriveEffect::reset() noexcept
{
    // The latency delay keeps running: the signal's delay must never jump.
    if (oversampler != nullptr)
        oversampler->reset();
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

    // The oversampler is sized for chunks of maxChunk; longer calls are split rather than overrun.
    jassert (numSamples <= maxChunk);
    std::array<float*, maxChannels> piece {};
    const int pieceChannels = std::min (numChannels, maxChannels);

    for (int start = 0; start < numSamples; start += maxChunk)
    {
        for (int ch = 0; ch < pieceChannels; ++ch)
            piece[(size_t) ch] = channels[ch] + start;
        processPiece (piece.data(), pieceChannels, std::min (maxChunk, numSamples - start), values);
    }
}

void DriveEffect::processPiece (float* const* channels, int numChannels, int numSamples,
                                const ParamValues& values) noexcept
{
    if (oversampler == nullptr)
        return;

    const int shapedChannels = std::min (numChannels, work.getNumChannels());
    for (int ch = 0; ch < work.getNumChannels(); ++ch)
    {
        if (ch < shapedChannels)
            work.copyFrom (ch, 0, channels[ch], numSamples);
        else
            work.clear (ch, 0, numSamples);
    }

    auto block = juce::dsp::AudioBlock<float> (work).getSubBlock (0, (size_t) numSamples);
    auto oversampled = oversampler->processSamplesUp (block);

    amountDb.beginChunk (values[driveAmount] * 0.36f, (int) oversampled.getNumSamples());
    const int curve = choiceIndex (values[driveType], 4);

    switch (curve)
    {
        case hard:
            shapeOversampled<hard> (oversampled);
            break;
        case fold:
            shapeOversampled<fold> (oversampled);
            break;
        case tube:
            shapeOversampled<tube> (oversampled);
            break;
        default:
            shapeOversampled<soft> (oversampled);
            break;
    }

    oversampler->processSamplesDown (block);

    for (int ch = 0; ch < shapedChannels; ++ch)
        std::copy_n (work.getReadPointer (ch), numSamples, channels[ch]);

    applyTone (channels, shapedChannels, numSamples, toneCoefficientFor (values[driveTone]), curve == tube);
}

template <int curve>
void DriveEffect::shapeOversampled (juce::dsp::AudioBlock<float>& block) noexcept
{
    const auto numChannels = block.getNumChannels();
    const bool moving = amountDb.step != 0.0f;
    auto drive = driveGainFor (amountDb.current);

    for (size_t i = 0; i < block.getNumSamples(); ++i)
    {
        const float dB = amountDb.next();
        if (moving)
            drive = driveGainFor (dB);

        for (size_t ch = 0; ch < numChannels; ++ch)
        {
            auto& sample = block.getChannelPointer (ch)[i];
            sample = shapeSample<curve> (drive.gain * sample) * drive.norm;
        }
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
