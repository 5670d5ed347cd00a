#pragma once

#include <array>
#include <cstdint>

#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/RecordBuffer.h"

namespace tz
{

// Plays the previous segment of the input backwards. Turns the chunk into its pure wet signal; the slot mixes.
class ReverseEffect
{
public:
    static constexpr double bufferSeconds = 7.0;

    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;
    void process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

    // Starts a new capture: the slot calls this when the effect becomes audible after silence.
    void trigger() noexcept;
    // Starts a new capture while the last one is still heard fading out: the new one crossfades from it.
    void retrigger() noexcept;

    // Keeps the capture buffer current while the effect sleeps.
    void record (const float* const* channels, int numChannels, int numSamples) noexcept;

    const RecordBuffer& buffer() const noexcept { return recordBuffer; }

private:
    struct Voice
    {
        bool active = false;
        double start = 0.0;    // buffer index at which the segment began
        double position = 0.0; // samples played, and so samples back from the start being read
    };

    std::array<float, 2> sample (const Voice& voice, double maxDistance) const noexcept;

    double sampleRate = 44100.0;
    double crossfadeLength = 220.5;
    double crossfadeCounter = 0.0;
    RecordBuffer recordBuffer;
    Voice voice, previousVoice;
    bool triggered = false;
    bool fresh = false;
    std::int64_t lastSegmentIndex = 0;
};

} // namespace tz
