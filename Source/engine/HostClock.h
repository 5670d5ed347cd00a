#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include "core/Transport.h"

namespace tz
{

// What a block takes from the host's play head.
struct HostClock
{
    double bpm = defaultBpm;
    bool playing = false;
    double startBeat = 0.0;
};

// A non-finite tempo or position (some hosts send NaN while stopped) counts as none: it would poison the clock
// and the modulators for good. Unless the host plays from a position, the block starts where the last one ended.
HostClock readHostClock (juce::AudioPlayHead* playHead, double lastEndBeat);

} // namespace tz
