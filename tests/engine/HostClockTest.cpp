#include <gtest/gtest.h>

#include <limits>

#include "engine/HostClock.h"

namespace
{
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

struct FakePlayHead : juce::AudioPlayHead
{
    juce::Optional<PositionInfo> position;
    juce::Optional<PositionInfo> getPosition() const override { return position; }
};

juce::AudioPlayHead::PositionInfo positionOf (juce::Optional<double> bpm, bool playing, juce::Optional<double> ppq)
{
    juce::AudioPlayHead::PositionInfo info;
    info.setBpm (bpm);
    info.setIsPlaying (playing);
    info.setPpqPosition (ppq);
    return info;
}
} // namespace

TEST (HostClock, TakesAUsableTempoAndStartsWhereTheHostPlaysOrWhereTheLastBlockEnded)
{
    constexpr double lastEnd = 7.25;
    struct Case
    {
        const char* what;
        juce::Optional<double> bpm;
        bool playing;
        juce::Optional<double> ppq;
        tz::HostClock expected;
    };
    const Case cases[] = {
        { "playing", 90.0, true, 16.5, { 90.0, true, 16.5 } },
        { "stopped at a position", 90.0, false, 16.5, { 90.0, false, lastEnd } },
        { "playing without a position", 90.0, true, {}, { 90.0, false, lastEnd } },
        { "playing at a NaN position", 90.0, true, notANumber, { 90.0, false, lastEnd } },
        { "no tempo", {}, true, 2.0, { tz::defaultBpm, true, 2.0 } },
        { "NaN tempo", notANumber, true, 2.0, { tz::defaultBpm, true, 2.0 } },
        { "too slow", 10.0, false, {}, { tz::minBpm, false, lastEnd } },
        { "too fast", 999.0, false, {}, { tz::maxBpm, false, lastEnd } },
    };

    for (const auto& c : cases)
    {
        FakePlayHead playHead;
        playHead.position = positionOf (c.bpm, c.playing, c.ppq);
        const auto clock = tz::readHostClock (&playHead, lastEnd);
        EXPECT_EQ (clock.bpm, c.expected.bpm) << c.what;
        EXPECT_EQ (clock.playing, c.expected.playing) << c.what;
        EXPECT_EQ (clock.startBeat, c.expected.startBeat) << c.what;
    }

    // No play head, or one without a position: the default tempo, stopped, running on from the last block.
    FakePlayHead silent;
    for (auto* playHead : { (juce::AudioPlayHead*) nullptr, (juce::AudioPlayHead*) &silent })
    {
        const auto clock = tz::readHostClock (playHead, lastEnd);
        EXPECT_EQ (clock.bpm, tz::defaultBpm);
        EXPECT_FALSE (clock.playing);
        EXPECT_EQ (clock.startBeat, lastEnd);
    }
}
