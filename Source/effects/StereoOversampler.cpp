#include "effects/StereoOversampler.h"

#include <cmath>
#include <cstdint>

namespace tz
{

namespace
{
    using Quad = juce::dsp::SIMDRegister<float>;
    using QuadMask = Quad::vMaskType;

    Quad quadOf (float a, float b, float c, float d) noexcept
    {
        alignas (16) const float lanes[4] { a, b, c, d };
        return Quad::fromRawArray (lanes);
    }

    QuadMask maskOf (bool a, bool b, bool c, bool d) noexcept
    {
        alignas (16) const std::uint32_t lanes[4] { a ? ~0u : 0u, b ? ~0u : 0u, c ? ~0u : 0u, d ? ~0u : 0u };
        return QuadMask::fromRawArray (lanes);
    }

    const QuadMask directLanes = maskOf (true, true, false, false);
    const QuadMask delayedLanes = maskOf (false, false, true, true);

    // Keeps decaying filter states out of the denormal range, at the same points as JUCE does.
    void snapToZero (Quad& quad) noexcept
    {
        alignas (16) float lanes[4];
        quad.copyToRawArray (lanes);
        for (auto& value : lanes)
            if (! (value < -1.0e-8f || value > 1.0e-8f))
                value = 0.0f;
        quad = Quad::fromRawArray (lanes);
    }
} // namespace

void StereoOversampler::AllpassBranches::design (float transitionWidth, float stopbandDb)
{
    const auto structure =
        juce::dsp::FilterDesign<float>::designIIRLowpassHalfBandPolyphaseAllpassMethod (transitionWidth, stopbandDb);

    // The delayed branch's first section is its pure delay, which the polyphase split itself provides.
    std::vector<float> all;
    for (int i = 0; i < structure.directPath.size(); ++i)
        all.push_back (structure.directPath.getObjectPointer (i)->coefficients[0]);
    for (int i = 1; i < structure.delayedPath.size(); ++i)
        all.push_back (structure.delayedPath.getObjectPointer (i)->coefficients[0]);

    // JUCE splits the combined list: the direct branch takes the larger half.
    const size_t numDelayed = all.size() / 2;
    const size_t numDirect = all.size() - numDelayed;

    coefficients.clear();
    for (size_t n = 0; n < numDelayed; ++n)
        coefficients.push_back (quadOf (all[n], all[n], all[numDirect + n], all[numDirect + n]));

    hasExtra = numDirect > numDelayed;
    const float extra = hasExtra ? all[numDirect - 1] : 0.0f;
    extraCoefficient = quadOf (extra, extra, 0.0f, 0.0f);
    states.assign (numDelayed, Quad {});
    clear();
}

void StereoOversampler::AllpassBranches::clear() noexcept
{
    for (auto& state : states)
        state = Quad::expand (0.0f);
    extraState = Quad::expand (0.0f);
}

// Every lane does exactly JUCE's scalar arithmetic, in the same order, so the results are identical.
StereoOversampler::Quad StereoOversampler::AllpassBranches::run (Quad input) noexcept
{
    const size_t numSections = coefficients.size();
    for (size_t n = 0; n < numSections; ++n)
    {
        const Quad output = coefficients[n] * input + states[n];
        states[n] = input - coefficients[n] * output;
        input = output;
    }

    if (hasExtra)
    {
        Quad output = extraCoefficient * input + extraState;
        extraState = input - extraCoefficient * output;
        extraState &= directLanes;
        output &= directLanes;
        input &= delayedLanes;
        input = output + input;
    }

    return input;
}

void StereoOversampler::AllpassBranches::snapStatesToZero() noexcept
{
    for (auto& state : states)
        snapToZero (state);
    snapToZero (extraState);
}

void StereoOversampler::prepare (std::initializer_list<StageDesign> designs, int maxBaseSamples)
{
    // JUCE's own chain gives the latency it measures for these designs.
    juce::dsp::Oversampling<float> reference (1);
    stages.assign (designs.size(), Stage {});

    size_t stageIndex = 0;
    int framesPerBaseSample = 1;
    for (const auto& design : designs)
    {
        reference.addOversamplingStage (juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, design.transitionUp,
                                        design.stopbandUpDb, design.transitionDown, design.stopbandDownDb);
        auto& stage = stages[stageIndex++];
        stage.up.design (design.transitionUp, design.stopbandUpDb);
        stage.down.design (design.transitionDown, design.stopbandDownDb);
        framesPerBaseSample *= 2;
        stage.frames.assign ((size_t) (2 * framesPerBaseSample * std::max (maxBaseSamples, 1)), 0.0f);
    }

    // Completes the latency to a whole number of samples, never with less than 0.618 of a sample, where the
    // Thiran allpass would turn unflat.
    const float uncompensated = reference.getLatencyInSamples();
    float fractionalDelay = 1.0f - (uncompensated - std::floor (uncompensated));
    if (fractionalDelay == 1.0f)
        fractionalDelay = 0.0f;
    else if (fractionalDelay < 0.618f)
        fractionalDelay += 1.0f;

    fractionalDelayActive = fractionalDelay > 0.0f;
    thiranAlpha = (1.0f - fractionalDelay) / (1.0f + fractionalDelay);
    latency = juce::roundToInt (uncompensated + fractionalDelay);

    reset();
}

void StereoOversampler::reset() noexcept
{
    for (auto& stage : stages)
    {
        stage.up.clear();
        stage.down.clear();
        stage.delayedDown = {};
        std::fill (stage.frames.begin(), stage.frames.end(), 0.0f);
    }
    thiranInput = {};
    thiranOutput = {};
}

// Both directions go one base-rate sample at a time through every stage rather than a stage at a time
// through the chunk: each allpass state is a serial dependency, and this way the stages' chains overlap.
float* StereoOversampler::processUp (const float* left, const float* right, int numSamples) noexcept
{
    const auto upsampleFrame = [] (Stage& stage, const float* frame, int index)
    {
        const float l = frame[0], r = frame[1];
        stage.up.run (quadOf (l, r, l, r)).copyToRawArray (stage.frames.data() + 4 * index);
    };

    for (int i = 0; i < numSamples; ++i)
    {
        const std::array<float, 2> input { left[i], right[i] };
        upsampleFrame (stages.front(), input.data(), i);

        for (size_t s = 1; s < stages.size(); ++s)
        {
            const int count = 1 << s, first = count * i; // frames the stage before made from sample i
            const float* frames = stages[s - 1].frames.data();
            for (int j = first; j < first + count; ++j)
                upsampleFrame (stages[s], frames + 2 * j, j);
        }
    }

    for (auto& stage : stages)
        stage.up.snapStatesToZero();

    return stages.back().frames.data();
}

void StereoOversampler::processDown (float* left, float* right, int numSamples) noexcept
{
    // Turns frames 2j and 2j + 1 of a stage into one frame at half its rate.
    const auto halveFrame = [] (Stage& stage, int j, float* target)
    {
        alignas (16) float output[4];
        stage.down.run (Quad::fromRawArray (stage.frames.data() + 4 * j)).copyToRawArray (output);
        target[0] = (stage.delayedDown[0] + output[0]) * 0.5f;
        target[1] = (stage.delayedDown[1] + output[1]) * 0.5f;
        stage.delayedDown = { output[2], output[3] };
    };

    for (int i = 0; i < numSamples; ++i)
    {
        for (size_t s = stages.size() - 1; s > 0; --s)
        {
            const int count = 1 << s, first = count * i; // frames of the stage before that make sample i
            float* target = stages[s - 1].frames.data();
            for (int j = first; j < first + count; ++j)
                halveFrame (stages[s], j, target + 2 * j);
        }

        std::array<float, 2> output {};
        halveFrame (stages.front(), i, output.data());

        // The Thiran allpass that completes the latency to whole samples.
        if (fractionalDelayActive)
        {
            for (size_t ch = 0; ch < 2; ++ch)
            {
                const float delayed = thiranInput[ch] + thiranAlpha * (output[ch] - thiranOutput[ch]);
                thiranInput[ch] = output[ch];
                thiranOutput[ch] = delayed;
                output[ch] = delayed;
            }
        }

        left[i] = output[0];
        if (right != nullptr)
            right[i] = output[1];
    }

    for (auto& stage : stages)
        stage.down.snapStatesToZero();
}

} // namespace tz
