#pragma once

#include <array>
#include <vector>

#include <juce_dsp/juce_dsp.h>

namespace tz
{

// Stereo eight-times oversampling by three cascaded 2x half-band polyphase allpass stages: the same filter
// designs, arithmetic and integer-latency compensation as juce::dsp::Oversampling's polyphase IIR, so the
// output matches it sample for sample. Both channels and both polyphase branches run as the four lanes of one
// vector, and the oversampled signal is kept as interleaved stereo frames, which is what the shaper loops want.
class StereoOversampler
{
public:
    struct StageDesign
    {
        float transitionUp, stopbandUpDb, transitionDown, stopbandDownDb;
    };

    // The first stage is the steepest: it alone guards the base rate's band edge.
    static constexpr std::array<StageDesign, 3> designs {
        { { 0.05f, -90.0f, 0.06f, -75.0f }, { 0.10f, -80.0f, 0.12f, -65.0f }, { 0.10f, -70.0f, 0.12f, -55.0f } }
    };

    static constexpr int factor = 8;

    void prepare (int maxBaseSamples);
    void reset() noexcept;

    // Whole samples of delay from input to output, fractional compensation included.
    int latencySamples() const noexcept { return latency; }

    // Oversamples numSamples base-rate samples (right may equal left) and returns factor * numSamples
    // interleaved stereo frames, to be shaped in place before processDown.
    float* processUp (const float* left, const float* right, int numSamples) noexcept;

    // Brings the shaped frames back to numSamples base-rate samples per channel; right may be null.
    void processDown (float* left, float* right, int numSamples) noexcept;

private:
    // Lanes: left and right of the direct branch, then left and right of the delayed branch.
    using Quad = juce::dsp::SIMDRegister<float>;
    static_assert (Quad::size() == 4);

    // One cascade of first-order allpasses in z^2, as pairs of (direct, delayed) sections run side by side;
    // with an odd number of coefficients the direct branch has one section more, which runs on the first two
    // lanes alone. The number is fixed here, so a copy of the states can live in registers through a chunk:
    // each state is a serial dependency from one frame to the next, and a trip through memory lengthens it.
    template <size_t numCoefficients>
    struct AllpassBranches
    {
        static constexpr size_t numPairs = numCoefficients / 2;
        static constexpr bool hasExtra = numCoefficients % 2 == 1;

        std::array<Quad, numPairs> coefficients {}, states {};
        Quad extraCoefficient {}, extraState {};

        void design (float transitionWidth, float stopbandDb);
        void clear() noexcept;
        Quad run (Quad input) noexcept;
        void snapStatesToZero() noexcept;
    };

    // The stages of each direction, with the coefficient counts JUCE's half-band design gives for `designs`
    // (prepare checks them). Each chunk works on a local copy of a chain, which keeps its states in registers.
    struct UpChain
    {
        AllpassBranches<7> first;
        AllpassBranches<5> second;
        AllpassBranches<4> third;

        void clear() noexcept;
        void snapStatesToZero() noexcept;

        // One base-rate frame to the eight frames it becomes, interleaved.
        void run (float left, float right, float* target) noexcept;
    };

    struct DownChain
    {
        AllpassBranches<6> first;
        AllpassBranches<4> second;
        AllpassBranches<3> third;
        std::array<std::array<float, 2>, 3> delayed {}; // each stage's delayed branch, a frame behind
        std::array<float, 2> thiranInput {}, thiranOutput {};

        void clear() noexcept;
        void snapStatesToZero() noexcept;

        // Eight interleaved frames to the base-rate frame they make.
        std::array<float, 2> run (const float* source) noexcept;
    };

    UpChain up;
    DownChain down;
    std::vector<float> frames; // the oversampled signal, interleaved stereo

    bool fractionalDelayActive = false;
    float thiranAlpha = 0.0f;
    int latency = 0;
};

} // namespace tz
