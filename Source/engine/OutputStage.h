#pragma once

#include "core/GainRamp.h"

namespace tz
{

class InputStage;

// The tail of the chunk loop: the mix with the dry input, the output gain with the fades around a chain
// reorder and a restart, the crossfade in from the dry input after a bypass, and the guard that lets nothing
// non-finite reach the host.
class OutputStage
{
public:
    void prepare (double sampleRate, int latencySamples) noexcept;
    // No fade under way; the ramps take their next targets at once.
    void reset() noexcept;

    // A restart empties the latency delays, so it is silent for the latency; a fade-in that starts this far
    // below zero (applied clamped at zero) begins with the restart's first sample instead of jumping to it.
    void fadeInFromEmptyDelays() noexcept { restartFade = fadeFromEmptyDelays; }
    void crossfadeFromDryAfterEmptyDelays() noexcept { dryFade = fadeFromEmptyDelays; }
    void silence() noexcept { restartFade = 0.0f; }

    bool orderFadedOut() const noexcept { return orderFade <= 0.0f; }
    bool restartFadedOut() const noexcept { return restartFade <= 0.0f; }

    // False, with the chunk silenced, when it came out non-finite: the caller restarts cleanly.
    bool process (float* const* channels, int numChannels, int numSamples, const InputStage& input, float mixPercent,
                  float outputGainDb, bool orderChanging, bool restartPending) noexcept;

private:
    void mix (float* const* channels, int numChannels, int numSamples, const InputStage& input,
              float mixPercent) noexcept;
    void applyGainAndFades (float* const* channels, int numChannels, int numSamples, float outputGainDb,
                            bool orderChanging, bool restartPending) noexcept;
    void crossfadeFromDry (float* const* channels, int numChannels, int numSamples, const InputStage& input) noexcept;

    float orderStep = 0.0f, fadeStep = 0.0f, fadeFromEmptyDelays = 0.0f;
    double gainCoef = 0.0, mixCoef = 0.0;
    GainRamp mixRamp, gainRamp;
    float orderFade = 1.0f, restartFade = 1.0f, dryFade = 1.0f;
};

// True when no sample of the chunk is NaN or infinite.
bool allFinite (float* const* channels, int numChannels, int numSamples) noexcept;

} // namespace tz
