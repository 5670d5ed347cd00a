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

template <size_t upCoefficients, size_t downCoefficients>
void StereoOversampler::Stage<upCoefficients, downCoefficients>::design (const StageDesign& stageDesign)
{
    up.design (stageDesign.transitionUp, stageDesign.stopbandUpDb);
    down.design (stageDesign.transitionDown, stageDesign.stopbandDownDb);
}

template <size_t upCoefficients, size_t downCoefficients>
void StereoOversampler::Stage<upCoefficients, downCoefficients>::clear() noexcept
{
    up.clear();
    down.clear();
    delayedDown = {};
}

void StereoOversampler::prepare (int maxBaseSamples)
{
    first.design (designs[0]);
    second.design (designs[1]);
    third.design (designs[2]);
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
    first.clear();
    second.clear();
    third.clear();
    std::fill (frames.begin(), frames.end(), 0.0f);
    thiranInput = {};
    thiranOutput = {};
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

// Both directions go one base-rate sample at a time through every stage rather than a stage at a time
// through the chunk, so that the three stages' chains of dependent sections overlap. Between stages the
// frames stay in registers, and the branches are worked on as local copies, which keeps their states there
// too: a trip through memory would lengthen every chain.
float* StereoOversampler::processUp (const float* left, const float* right, int numSamples) noexcept
{
    auto up1 = first.up;
    auto up2 = second.up;
    auto up3 = third.up;

    for (int i = 0; i < numSamples; ++i)
    {
        const auto twice = lanesOf (upsample (up1, left[i], right[i]));
        float* target = frames.data() + 2 * factor * i;

        for (int half = 0; half < 2; ++half)
        {
            const auto fourTimes = lanesOf (upsample (up2, twice.values[2 * half], twice.values[2 * half + 1]));
            upsample (up3, fourTimes.values[0], fourTimes.values[1]).copyToRawArray (target + 8 * half);
            upsample (up3, fourTimes.values[2], fourTimes.values[3]).copyToRawArray (target + 8 * half + 4);
        }
    }

    up1.snapStatesToZero();
    up2.snapStatesToZero();
    up3.snapStatesToZero();
    first.up = up1;
    second.up = up2;
    third.up = up3;

    return frames.data();
}

void StereoOversampler::processDown (float* left, float* right, int numSamples) noexcept
{
    auto down1 = first.down;
    auto down2 = second.down;
    auto down3 = third.down;
    auto delayed1 = first.delayedDown;
    auto delayed2 = second.delayedDown;
    auto delayed3 = third.delayedDown;

    for (int i = 0; i < numSamples; ++i)
    {
        const float* source = frames.data() + 2 * factor * i;
        std::array<std::array<float, 2>, 2> twice;

        for (int half = 0; half < 2; ++half)
        {
            const auto a = halve (down3, delayed3, Quad::fromRawArray (source + 8 * half));
            const auto b = halve (down3, delayed3, Quad::fromRawArray (source + 8 * half + 4));
            twice[(size_t) half] = halve (down2, delayed2, quadOf (a, b));
        }

        auto output = halve (down1, delayed1, quadOf (twice[0], twice[1]));

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

    down1.snapStatesToZero();
    down2.snapStatesToZero();
    down3.snapStatesToZero();
    first.down = down1;
    second.down = down2;
    third.down = down3;
    first.delayedDown = delayed1;
    second.delayedDown = delayed2;
    third.delayedDown = delayed3;
}

} // namespace tz
