#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

// A host transport playing at 120 BPM from `ppq`; the benchmark moves it on as it plays.
struct PlayingHead : juce::AudioPlayHead
{
    double ppq = 0.0;

    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setBpm (120.0);
        info.setIsPlaying (true);
        info.setPpqPosition (ppq);
        return info;
    }
};
