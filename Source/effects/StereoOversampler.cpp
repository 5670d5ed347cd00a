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

template <size_t numCoefficients>
void StereoOversampler::AllpassBranches<numCoefficients>::design (float transitionWidth, float stopbandDb)
{
    const auto structure =
        juce::dsp::FilterDesign<float>::designIIRLowpassHalfBandPolyphaseAllpassMethod (transitionWidth, stopbandDb);

    // The delayed branch's first section is its pure delay, which the polyphase split itself provides.
    std::vector<float> all;
    for (int i = 0; i < structure.directPath.size(); ++i)
        all.push_back (structure.directPath.getObjectPointer (i)->coefficients[0]);
    for (int i = 1; i < structure.delayedPath.size(); ++i)
        all.push_back (structure.delayedPath.getObjectPointer (i)->coefficients[0]);

    jassert (all.size() == numCoefficients);
    all.resize (numCoefficients);

    // JUCE splits the combined list: the direct branch takes the larger half.
    constexpr size_t numDirect = numCoefficients - numPairs;
    for (size_t n = 0; n < numPairs; ++n)
        coefficients[n] = quadOf (all[n], all[n], all[numDirect + n], all[numDirect + n]);

    const float extra = hasExtra ? all[numDirect - 1] : 0.0f;
    extraCoefficient = quadOf (extra, extra, 0.0f, 0.0f);
    clear();
}

template <size_t numCoefficients>
void StereoOversampler::AllpassBranches<numCoefficients>::clear() noexcept
{
    for (auto& state : states)
        state = Quad::expand (0.0f);
    extraState = Quad::expand (0.0f);
}

// Every lane does exactly JUCE's scalar arithmetic, in the same order, so the results are identical.
template <size_t numCoefficients>
StereoOversampler::Quad StereoOversampler::AllpassBranches<numCoefficients>::run (Quad input) noexcept
{
    for (size_t n = 0; n < numPairs; ++n)
    {
        const Quad output = coefficients[n] * input + states[n];
        states[n] = input - coefficients[n] * output;
        input = output;
    }

    if constexpr (hasExtra)
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

template <size_t numCoefficients>
void StereoOversampler::AllpassBranches<numCoefficients>::snapStatesToZero() noexcept
{
    for (auto& state : states)
        snapToZero (state);
    snapToZero (extraState);
}

void StereoOversampler::UpChain::clear() noexcept
{
    first.clear();
    second.clear();
    third.clear();
}

void StereoOversampler::UpChain::snapStatesToZero() noexcept
{
    first.snapStatesToZero();
    second.snapStatesToZero();
    third.snapStatesToZero();
}

void StereoOversampler::DownChain::clear() noexcept
{
    first.clear();
    second.clear();
    third.clear();
    delayed = {};
    thiranInput = {};
    thiranOutput = {};
}

void StereoOversampler::DownChain::snapStatesToZero() noexcept
{
    first.snapStatesToZero();
    second.snapStatesToZero();
    third.snapStatesToZero();
}

void StereoOversampler::prepare (int maxBaseSamples)
{
    up.first.design (designs[0].transitionUp, designs[0].stopbandUpDb);
    up.second.design (designs[1].transitionUp, designs[1].stopbandUpDb);
    up.third.design (designs[2].transitionUp, designs[2].stopbandUpDb);
    down.first.design (designs[0].transitionDown, designs[0].stopbandDownDb);
    down.second.design (designs[1].transitionDown, designs[1].stopbandDownDb);
    down.third.design (designs[2].transitionDown, designs[2].stopbandDownDb);
    frames.assign ((size_t) (2 * factor * std::max (maxBaseSamples, 1)), 0.0f);

    // JUCE's own chain gives the latency it measures for these designs.
    juce::dsp::Oversampling<float> reference (1);
    for (const auto& design : designs)
        reference.addOversamplingStage (juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, design.transitionUp,
                                        design.stopbandUpDb, design.transitionDown, design.stopbandDownDb);

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
    up.clear();
    down.clear();
    std::fill (frames.begin(), frames.end(), 0.0f);
}

namespace
{
    struct Lanes
    {
        alignas (16) float values[4];
    };

    Lanes lanesOf (Quad quad) noexcept
    {
        Lanes lanes;
        quad.copyToRawArray (lanes.values);
        return lanes;
    }

    // One stereo frame into a stage's up filter: out come its two frames at twice the rate, interleaved.
    template <typename Branches>
    Quad upsample (Branches& branches, float left, float right) noexcept
    {
        return branches.run (quadOf (left, right, left, right));
    }

    // Two interleaved stereo frames into a stage's down filter: out comes one frame at half the rate.
    template <typename Branches>
    std::array<float, 2> halve (Branches& branches, std::array<float, 2>& delayed, Quad frames) noexcept
    {
        const auto output = lanesOf (branches.run (frames));
        const std::array<float, 2> frame { (delayed[0] + output.values[0]) * 0.5f,
                                           (delayed[1] + output.values[1]) * 0.5f };
        delayed = { output.values[2], output.values[3] };
        return frame;
    }

    Quad quadOf (const std::array<float, 2>& a, const std::array<float, 2>& b) noexcept
    {
        return quadOf (a[0], a[1], b[0], b[1]);
    }
} // namespace

// Between stages the frames stay in registers: a trip through memory would lengthen every chain. Both runs are
// inlined into the chunk loops, so the chains' states stay in registers too.
forcedinline void StereoOversampler::UpChain::run (float left, float right, float* target) noexcept
{
    const auto twice = lanesOf (upsample (first, left, right));

    for (int half = 0; half < 2; ++half)
    {
        const auto fourTimes = lanesOf (upsample (second, twice.values[2 * half], twice.values[2 * half + 1]));
        upsample (third, fourTimes.values[0], fourTimes.values[1]).copyToRawArray (target + 8 * half);
        upsample (third, fourTimes.values[2], fourTimes.values[3]).copyToRawArray (target + 8 * half + 4);
    }
}

forcedinline std::array<float, 2> StereoOversampler::DownChain::run (const float* source) noexcept
{
    std::array<std::array<float, 2>, 2> twice;
    for (int half = 0; half < 2; ++half)
    {
        const auto a = halve (third, delayed[2], Quad::fromRawArray (source + 8 * half));
        const auto b = halve (third, delayed[2], Quad::fromRawArray (source + 8 * half + 4));
        twice[(size_t) half] = halve (second, delayed[1], quadOf (a, b));
    }

    return halve (first, delayed[0], quadOf (twice[0], twice[1]));
}

// Both directions go one base-rate sample at a time through every stage rather than a stage at a time through
// the chunk, so that the three stages' chains of dependent sections overlap.
float* StereoOversampler::processUp (const float* left, const float* right, int numSamples) noexcept
{
    auto chain = up;
    for (int i = 0; i < numSamples; ++i)
        chain.run (left[i], right[i], frames.data() + 2 * factor * i);

    chain.snapStatesToZero();
    up = chain;
    return frames.data();
}

void StereoOversampler::processDown (float* left, float* right, int numSamples) noexcept
{
    auto chain = down;
    for (int i = 0; i < numSamples; ++i)
    {
        auto output = chain.run (frames.data() + 2 * factor * i);

        // The Thiran allpass that completes the latency to whole samples.
        if (fractionalDelayActive)
        {
            for (size_t ch = 0; ch < 2; ++ch)
            {
                const float delayed = chain.thiranInput[ch] + thiranAlpha * (output[ch] - chain.thiranOutput[ch]);
                chain.thiranInput[ch] = output[ch];
                chain.thiranOutput[ch] = delayed;
                output[ch] = delayed;
            }
        }

        left[i] = output[0];
        if (right != nullptr)
            right[i] = output[1];
    }

    chain.snapStatesToZero();
    down = chain;
}

} // namespace tz
