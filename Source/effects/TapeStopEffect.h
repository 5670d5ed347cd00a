#pragma once

#include <array>

#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/RecordBuffer.h"

namespace tz
{

// Slows the captured input to a halt like a stopping tape. Turns the chunk into its pure wet signal; the slot mixes.
class TapeStopEffect
{
public:
    static constexpr double bufferSeconds = 13.0;

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

    // 0 at the start of a stop, 1 once the tape stands still.
    double stopProgress() const noexcept { return head.progress; }

private:
    struct Head
    {
        double lag = 0.0; // how far the read head trails the newest sample written
        double progress = 0.0;

        // The speed (1 - progress)^exponent, worked out exactly at an anchor and from a short series beyond it.
        double anchorProgress = 0.0, anchorSpeed = 1.0, anchorScale = 1.0; // scale: 1 / (1 - anchorProgress)
        double anchorExponent = 0.0;                                       // none yet: every exponent is at least 1
        std::array<double, 4> series {};

        double speed (double exponent) noexcept;
    };

    float readBehind (int channel, int newestIndex, double lag) const noexcept;
    // One output sample of a head (silence once it has stopped), which then moves on.
    std::array<float, 2> play (Head& h, int newestIndex, bool stereo, double exponent, double step) const noexcept;

    double sampleRate = 44100.0;
    double crossfadeLength = 220.5;
    double crossfadeCounter = 0.0;
    Head head, fadingHead;
    RecordBuffer recordBuffer;
    bool active = false;
    bool triggered = false;
    bool crossfadeOnTrigger = false;
};

} // namespace tz
