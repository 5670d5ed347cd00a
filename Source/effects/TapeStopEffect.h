#pragma once

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

    // Keeps the capture buffer current while the effect sleeps.
    void record (const float* const* channels, int numChannels, int numSamples) noexcept;

    const RecordBuffer& buffer() const noexcept { return recordBuffer; }

    // 0 at the start of a stop, 1 once the tape stands still.
    double stopProgress() const noexcept { return progress; }

private:
    float readBehind (int channel, int newestIndex) const noexcept;

    double sampleRate = 44100.0;
    double lag = 0.0; // how far the read head trails the newest sample written
    double progress = 0.0;
    RecordBuffer recordBuffer;
    bool active = false;
    bool triggered = false;
};

} // namespace tz
