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
    const auto structure = juce::dsp::FilterDesign<float>::designIIRLowpassHalfBandPolyphaseAllpassMethod (
        transitionWidth, stopbandDb);

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
        reference.addOversamplingStage (juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR,
                                        design.transitionUp, design.stopbandUpDb, design.transitionDown,
                                        design.stopbandDownDb);
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
    fractionalDelayLine.prepare ({ 0.0, (juce::uint32) std::max (maxBaseSamples, 1), 2 });
    fractionalDelayLine.setDelay (fractionalDelay);
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
    fractionalDelayLine.reset();
}

float* StereoOversampler::processUp (const float* left, const float* right, int numSamples) noexcept
{
    // Each input sample gives two output frames, which are the four lanes.
    auto& first = stages.front();
    for (int i = 0; i < numSamples; ++i)
        first.up.run (quadOf (left[i], right[i], left[i], right[i])).copyToRawArray (first.frames.data() + 4 * i);
    first.up.snapStatesToZero();

    int numFrames = 2 * numSamples;
    for (size_t s = 1; s < stages.size(); ++s)
    {
        const float* input = stages[s - 1].frames.data();
        auto& stage = stages[s];
        for (int i = 0; i < numFrames; ++i)
        {
            const float l = input[2 * i], r = input[2 * i + 1];
            stage.up.run (quadOf (l, r, l, r)).copyToRawArray (stage.frames.data() + 4 * i);
        }
        stage.up.snapStatesToZero();
        numFrames *= 2;
    }

    return stages.back().frames.data();
}

void StereoOversampler::processDown (float* left, float* right, int numSamples) noexcept
{
    // Each stage halves its own frames into the buffer of the stage before it, the first into the output.
    const auto halve = [] (Stage& stage, int numOutputFrames, auto&& store)
    {
        const float* input = stage.frames.data();
        for (int i = 0; i < numOutputFrames; ++i)
        {
            alignas (16) float output[4];
            stage.down.run (Quad::fromRawArray (input + 4 * i)).copyToRawArray (output);
            store (i, (stage.delayedDown[0] + output[0]) * 0.5f, (stage.delayedDown[1] + output[1]) * 0.5f);
            stage.delayedDown = { output[2], output[3] };
        }
        stage.down.snapStatesToZero();
    };

    for (size_t s = stages.size() - 1; s > 0; --s)
    {
        float* target = stages[s - 1].frames.data();
        halve (stages[s], numSamples << s,
               [target] (int i, float l, float r)
               {
                   target[2 * i] = l;
                   target[2 * i + 1] = r;
               });
    }

    halve (stages.front(), numSamples,
           [left, right] (int i, float l, float r)
           {
               left[i] = l;
               if (right != nullptr)
                   right[i] = r;
           });

    if (! fractionalDelayActive)
        return;

    for (int i = 0; i < numSamples; ++i)
    {
        fractionalDelayLine.pushSample (0, left[i]);
        left[i] = fractionalDelayLine.popSample (0);
    }

    if (right != nullptr)
        for (int i = 0; i < numSamples; ++i)
        {
            fractionalDelayLine.pushSample (1, right[i]);
            right[i] = fractionalDelayLine.popSample (1);
        }
}

} // namespace tz
