#pragma once

#include <array>
#include <cstdint>

#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/Memo.h"
#include "effects/RecordBuffer.h"

namespace tz
{

// Repeats a captured slice of the input. Turns the chunk into its pure wet signal; the slot mixes.
class StutterEffect
{
public:
    static constexpr double bufferSeconds = 4.5;

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
        double start = 0.0;    // buffer index of the slice's first sample
        double position = 0.0; // distance played into the slice, in buffer samples
        int repeats = 0;       // completed passes
        float targetGain = 1.0f;
        float gain = 1.0f;
    };

    std::array<float, 2> sample (const Voice& voice, double sliceLength, double rate) const noexcept;
    void advance (Voice& voice, double sliceLength, double rate, float decayFactor) const noexcept;
    bool outlivesBuffer (const Voice& voice, int writtenIndex) const noexcept;

    double sampleRate = 44100.0;
    double crossfadeLength = 220.5;
    double crossfadeCounter = 0.0;
    float gainCoef = 0.0f;
    Memo<double> rateOfPitch;
    RecordBuffer recordBuffer;
    Voice voice, previousVoice;
    bool triggered = false;
    bool fresh = false;
    std::int64_t lastRepeatIndex = 0;
};

} // namespace tz
