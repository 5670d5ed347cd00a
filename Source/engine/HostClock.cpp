#include "engine/HostClock.h"

#include <cmath>

namespace tz
{

HostClock readHostClock (juce::AudioPlayHead* playHead, double lastEndBeat)
{
    HostClock clock;
    clock.startBeat = lastEndBeat;

    const auto position =
        playHead != nullptr ? playHead->getPosition() : juce::Optional<juce::AudioPlayHead::PositionInfo>();
    if (! position)
        return clock;

    const auto hostBpm = position->getBpm();
    clock.bpm = clampTempo (hostBpm && std::isfinite (*hostBpm) ? *hostBpm : defaultBpm);

    if (position->getIsPlaying())
    {
        if (const auto ppq = position->getPpqPosition(); ppq && std::isfinite (*ppq))
        {
            clock.playing = true;
            clock.startBeat = *ppq;
        }
    }
    return clock;
}

} // namespace tz
