#pragma once

#include <array>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

#include "core/ChunkSize.h"

namespace tz
{

// The comb and allpass network of juce::Reverb, sample for sample the same output for the same parameters, but
// worked through in pieces shorter than its shortest delay line: within a piece no line reads what the piece
// writes, so everything but the combs' damping runs as plain loops over the piece, and the damping runs for all
// combs side by side, each a serial chain the others overlap.
class RoomReverb
{
public:
    void setParameters (const juce::Reverb::Parameters& newParameters) noexcept;

    // Sizes the delay lines (allocates) and snaps the smoothed gains to their targets.
    void setSampleRate (double sampleRate);

    void reset() noexcept;

    // Moves the smoothed gains on as processing `numSamples` would, without running the network.
    void skip (int numSamples) noexcept;

    void processStereo (float* left, float* right, int numSamples) noexcept;
    void processMono (float* samples, int numSamples) noexcept;

private:
    static constexpr int maxPiece = chunkSize; // a chunk in one piece

    // A delay line whose next samples due out, up to maxPiece of them, always lie in one run of memory: the
    // first maxPiece samples are mirrored past the end.
    class DelayLine
    {
    public:
        void setSize (int newSize);
        void clear() noexcept;
        int size() const noexcept { return length; }

        // The next `count` (at most maxPiece) samples due out, oldest first; each is read, then overwritten
        // with the sample that goes in, before step (count).
        float* next() noexcept { return buffer.data() + index; }

        void step (int count) noexcept;

    private:
        std::vector<float> buffer;
        int length = 1, index = 0;
    };

    struct Comb
    {
        DelayLine line;
        float last = 0.0f;
    };

    static constexpr int numCombs = 8, numAllPasses = 4;

    template <size_t numChannels>
    void processPiece (const std::array<float*, numChannels>& channels, int numSamples) noexcept;

    template <size_t numChannels>
    void process (const std::array<float*, numChannels>& channels, int numSamples) noexcept;

    std::array<std::array<Comb, numCombs>, 2> combs;
    std::array<std::array<DelayLine, numAllPasses>, 2> allPasses;
    juce::SmoothedValue<float> damping, feedback, dryGain, wetGain1, wetGain2;
    float gain = 0.0f;
    int pieceLength = maxPiece;
};

} // namespace tz
