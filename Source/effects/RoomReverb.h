#pragma once

#include <array>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

namespace tz
{

// The comb and allpass network of juce::Reverb, sample for sample the same output for the same parameters, but
// with its delay lines stepped by a compare instead of an integer division (24 of them per stereo sample).
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
    class DelayLine
    {
    public:
        void setSize (int newSize);
        void clear() noexcept;

        float read() const noexcept { return buffer[(size_t) index]; }

        void writeAndStep (float value) noexcept
        {
            buffer[(size_t) index] = value;
            if (++index >= (int) buffer.size())
                index = 0;
        }

    private:
        std::vector<float> buffer;
        int index = 0;
    };

    struct Comb
    {
        DelayLine line;
        float last = 0.0f;

        float process (float input, float damp, float feedbackLevel) noexcept
        {
            const float output = line.read();
            last = (output * (1.0f - damp)) + (last * damp);
            JUCE_UNDENORMALISE (last);

            float temp = input + (last * feedbackLevel);
            JUCE_UNDENORMALISE (temp);
            line.writeAndStep (temp);
            return output;
        }
    };

    struct AllPass
    {
        DelayLine line;

        float process (float input) noexcept
        {
            const float buffered = line.read();
            float temp = input + (buffered * 0.5f);
            JUCE_UNDENORMALISE (temp);
            line.writeAndStep (temp);
            return buffered - input;
        }
    };

    static constexpr int numCombs = 8, numAllPasses = 4;

    std::array<std::array<Comb, numCombs>, 2> combs;
    std::array<std::array<AllPass, numAllPasses>, 2> allPasses;
    juce::SmoothedValue<float> damping, feedback, dryGain, wetGain1, wetGain2;
    float gain = 0.0f;
};

} // namespace tz
