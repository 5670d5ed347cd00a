#pragma once

#include <array>
#include <vector>

#include <cmath>

#include <juce_dsp/juce_dsp.h>

namespace tz
{

// Circular stereo capture buffer of the effects that replay recent input. Optional extra layers hold
// low-passed copies (0.2 and 0.1 x sample rate) for readers that play up to two octaves faster.
class RecordBuffer
{
public:
    static constexpr int maxLayers = 3;

    void prepare (double seconds, double sampleRate, bool withFilteredLayers);

    // Stores one stereo sample in every layer and returns the index written.
    int write (float left, float right) noexcept;

    // Stores a stereo chunk, sample for sample the same as single writes, and returns the last index written,
    // or -1 for none.
    int write (const float* left, const float* right, int numSamples) noexcept;

    // The same for planar channels; a single channel serves as both sides.
    int write (const float* const* channels, int numChannels, int numSamples) noexcept
    {
        return numChannels < 1 ? -1 : write (channels[0], channels[numChannels > 1 ? 1 : 0], numSamples);
    }

    // Stores a chunk in the unfiltered layer only, for an owner that reads the filtered layers no further back
    // than a little before the write head: catchUpFilters() must run before the next filtered write or read.
    void writeUnfiltered (const float* const* channels, int numChannels, int numSamples) noexcept;

    // Filters what writeUnfiltered() stored, or at least its last `reach` samples: after a long wait, the cascade
    // starts from rest `settleSamples` before those, which it forgets below float precision (its slowest poles
    // lie at radius 0.89, so 384 samples take their memory below 1e-19). A short wait is filtered whole, as
    // if it had been written filtered.
    void catchUpFilters (int reach) noexcept;
    static constexpr int settleSamples = 384;

    int capacity() const noexcept { return size; }
    int writePosition() const noexcept { return writePos; }
    int layerCount() const noexcept { return numLayers; }

    // The layer a reader at playback speed `speed` should use.
    int layerFor (double speed) const noexcept;

    const std::vector<float>& layer (int index, int channel) const noexcept
    {
        return layers[(size_t) index][(size_t) channel];
    }

    // 4-point Catmull-Rom read of channel `channel` at absolute position `position` (wrapped).
    float read (int layerIndex, int channel, double position) const noexcept
    {
        return readWrapped (layers[(size_t) layerIndex][(size_t) channel].data(), size, position);
    }

    static float catmullRom (float ym1, float y0, float y1, float y2, float t) noexcept
    {
        return y0
            + t
            * (0.5f * (y1 - ym1)
               + t * ((ym1 - 2.5f * y0 + 2.0f * y1 - 0.5f * y2) + t * (0.5f * (y2 - ym1) + 1.5f * (y0 - y1))));
    }

    // Where a read at `position` lands in a buffer of `length` samples: the sample before it and how far past.
    struct Tap
    {
        int index;
        float fraction;
    };

    static Tap tapAt (int length, double position) noexcept
    {
        // Within a lap either side (nearly every read) this gives what fmod gives, exactly, without the call.
        const auto size = (double) length;
        double q = position > -size && position < 2.0 * size ? (position >= size ? position - size : position)
                                                             : std::fmod (position, size);
        if (q < 0.0)
            q += length;
        // A tiny negative position plus the length rounds up to the length: that is sample 0. A position that is
        // not finite (NaN here) reads there too, rather than far outside the buffer.
        if (! (q < size))
            q = 0.0;

        const auto i = (int) q;
        return { i, (float) (q - i) };
    }

    // Reads of several channels at one position share one tapAt().
    static float readTap (const float* data, int length, Tap tap) noexcept
    {
        const int i = tap.index;
        // On a whole sample the interpolator gives that sample (a replay at its own pitch reads only these).
        if (tap.fraction == 0.0f)
            return data[i];

        const auto wrap = [length] (int k) { return k < 0 ? k + length : (k >= length ? k - length : k); };
        return catmullRom (data[wrap (i - 1)], data[i], data[wrap (i + 1)], data[wrap (i + 2)], tap.fraction);
    }

    static float readWrapped (const float* data, int length, double position) noexcept
    {
        return readTap (data, length, tapAt (length, position));
    }

private:
    // The four anti-alias chains (layers 1 and 2, left and right) run side by side as the lanes of one vector;
    // each lane is a direct form I biquad cascade. A bilinear low pass's numerator is b0 * (1, 2, 1),
    // so each section forms b0 * x once and doubles it, which is exact.
    using Quad = juce::dsp::SIMDRegister<float>;
    static_assert (Quad::size() == 4);
    static constexpr int numSections = 4;

    // The sections' coefficients and states, section j's four lanes at index j of each.
    struct Cascade
    {
        std::array<Quad, numSections> b0 {}, a1 {}, a2 {};
        std::array<Quad, numSections> bx1 {}, y1 {}; // b0 x and y of the previous sample
        std::array<Quad, numSections> older {};      // b0 x - a2 y of the sample before that
    };

    int storeUnfiltered (const float* left, const float* right, int numSamples) noexcept;
    void filterChunk (const float* left, const float* right, int numSamples, int firstIndex) noexcept;
    void restartPoisonedFilters() noexcept;
    void storeFiltered (const float* left, const float* right, int numSamples, int index) noexcept;

    std::array<std::array<std::vector<float>, 2>, maxLayers> layers;
    Cascade cascade;
    int size = 0;
    int writePos = 0;
    int numLayers = 1;
    int unfilteredSamples = 0; // written by writeUnfiltered() since the filters last ran, up to the capacity
};

} // namespace tz
