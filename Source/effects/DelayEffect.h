#pragma once

#include <array>
#include <vector>

#include "core/Parameters.h"
#include "core/Transport.h"

namespace tz
{

// Tempo-synced stereo delay with ping-pong and tone. Turns the chunk into its pure wet signal; the slot mixes.
class DelayEffect
{
public:
    // Seconds of line: 4 beats at the slowest tempo the transport allows, with headroom.
    static constexpr double maxSeconds = 6.2;

    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;
    void process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

    int lineLength() const noexcept { return length; }
    // The delay in samples that the last processed sample was read at; negative before the first chunk.
    double currentDelaySamples() const noexcept { return delayStage2; }

private:
    // A value moved linearly across a chunk toward its target.
    struct Ramp
    {
        float current = 0.0f;
        float step = 0.0f;
        bool primed = false;

        void beginChunk (float target, int numSamples) noexcept
        {
            if (! primed)
            {
                current = target;
                primed = true;
            }
            step = (target - current) / (float) numSamples;
        }

        float next() noexcept { return current += step; }
    };

    float sampleRate = 44100.0f;
    // Double: in float the two glide stages stall a few samples short of a new delay time.
    double glideCoef = 0.0;
    double delayStage1 = -1.0;
    double delayStage2 = -1.0;
    int length = 0;
    int writePos = 0;
    std::array<std::vector<float>, 2> lines;
    std::array<float, 2> toneState {};
    Ramp feedback, pingPong, tone;
};

} // namespace tz
