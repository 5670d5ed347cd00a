#pragma once

#include <array>

#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/RoomReverb.h"

namespace tz
{

// Room reverb. Turns the chunk into its pure wet signal; the slot mixes.
class ReverbEffect
{
public:
    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;
    void process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

private:
    // 5 Hz one-pole high pass: the comb network passes DC with a large gain.
    struct DcBlocker
    {
        float previousInput = 0.0f;
        float previousOutput = 0.0f;

        float process (float x, float coef) noexcept
        {
            previousOutput = coef * previousOutput + x - previousInput;
            previousInput = x;
            return previousOutput;
        }
    };

    void removeDc (float* const* channels, int numChannels, int numSamples) noexcept;

    // In and out below -80 dB for this long, the reverb counts as silent. Its network would otherwise settle on a
    // floor of its own rounding (up to -92 dB peak) instead of decaying: it is cleared and rests until the input
    // rises again, so its output is exactly what the network gives down to that level, and zero after it.
    static constexpr float silenceLevel = 1.0e-4f;
    static constexpr double silenceSeconds = 0.5;

    double sampleRate = 44100.0;
    RoomReverb reverb;
    std::array<DcBlocker, 2> dcBlockers;
    float dcCoef = 0.0f;
    int quietSamples = 0;
    bool resting = false;
};

} // namespace tz
