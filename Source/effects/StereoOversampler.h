#pragma once

#include <array>
#include <initializer_list>
#include <vector>

#include <juce_dsp/juce_dsp.h>

namespace tz
{

// Stereo oversampling by cascaded 2x half-band polyphase allpass stages: the same filter designs, arithmetic
// and integer-latency compensation as juce::dsp::Oversampling's polyphase IIR, so the output matches it
// sample for sample. Both channels and both polyphase branches run as the four lanes of one vector, and the
// oversampled signal is kept as interleaved stereo frames, which is what the shaper loops want.
class StereoOversampler
{
public:
    struct StageDesign
    {
        float transitionUp, stopbandUpDb, transitionDown, stopbandDownDb;
    };

    void prepare (std::initializer_list<StageDesign> designs, int maxBaseSamples);
    void reset() noexcept;

    int factor() const noexcept { return 1 << (int) stages.size(); }

    // Whole samples of delay from input to output, fractional compensation included.
    int latencySamples() const noexcept { return latency; }

    // Oversamples numSamples base-rate samples (right may equal left) and returns factor() * numSamples
    // interleaved stereo frames, to be shaped in place before processDown.
    float* processUp (const float* left, const float* right, int numSamples) noexcept;

    // Brings the shaped frames back to numSamples base-rate samples per channel; right may be null.
    void processDown (float* left, float* right, int numSamples) noexcept;

private:
    // Lanes: left and right of the direct branch, then left and right of the delayed branch.
    using Quad = juce::dsp::SIMDRegister<float>;
    static_assert (Quad::size() == 4);

    // One cascade of first-order allpasses in z^2, as pairs of (direct, delayed) sections run side by side;
    // the direct branch may have one section more, which runs on the first two lanes alone.
    struct AllpassBranches
    {
        std::vector<Quad> coefficients, states;
        Quad extraCoefficient {}, extraState {};
        bool hasExtra = false;

        void design (float transitionWidth, float stopbandDb);
        void clear() noexcept;
        Quad run (Quad input) noexcept;
        void snapStatesToZero() noexcept;
    };

    struct Stage
    {
        AllpassBranches up, down;
        std::array<float, 2> delayedDown {};
        std::vector<float> frames; // this stage's output at its rate, interleaved stereo
    };

    std::vector<Stage> stages;
    bool fractionalDelayActive = false;
    float thiranAlpha = 0.0f;
    std::array<float, 2> thiranInput {}, thiranOutput {};
    int latency = 0;
};

} // namespace tz
