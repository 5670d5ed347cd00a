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

    // The network never decays to silence by itself: its own rounding holds a tail on a floor (up to -92.5 dB
    // peak, at size 100 and damping 0) for good. Once the input has been exactly zero and the output below the
    // floor's level for this long, nothing but that floor is left: the network is cleared and rests until any
    // input returns. Quiet material, however quiet, and its tail down to the floor come out as the network gives
    // them.
    static constexpr float floorLevel = 4.0e-5f; // -88 dB
    static constexpr double silenceSeconds = 0.5;

    double sampleRate = 44100.0;
    RoomReverb reverb;
    std::array<DcBlocker, 2> dcBlockers;
    float dcCoef = 0.0f;
    int quietSamples = 0;
    bool resting = false;
};

} // namespace tz
