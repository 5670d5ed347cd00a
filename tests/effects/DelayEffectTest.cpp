#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/ChunkSize.h"
#include "effects/DelayEffect.h"
#include "support/AllocationCounter.h"

namespace
{
using Audio = std::vector<std::vector<float>>;

constexpr int chunk = tz::chunkSize;
constexpr int quarter = 8; // delay_time index of 1/4
constexpr int oneBar = 12; // delay_time index of 1 Bar
constexpr int eighthTriplet = 4;
constexpr int sixteenth = 2;

// Drives a delay the way the slot does: whole chunks, a transport whose beat position runs on.
struct DelayRig
{
    explicit DelayRig (double sampleRate = 48000.0, int numChannels = 2)
        : rate (sampleRate)
        , channels (numChannels)
    {
        delay.prepare (rate, channels);
        values[tz::delayFeedback] = 0.0f;
        values[tz::delayPingpong] = 0.0f;
        values[tz::delayTone] = 100.0f;
        values[tz::delayTime] = quarter;
    }

    void run (Audio& audio) { run (audio, 0, (int) audio[0].size()); }

    // Processes samples [from, to) of `audio` in place.
    void run (Audio& audio, int from, int to)
    {
        for (int start = from; start < to; start += chunk)
        {
            const int n = std::min (chunk, to - start);
            float* pointers[2] {};
            for (int ch = 0; ch < channels; ++ch)
                pointers[ch] = audio[(size_t) ch].data() + start;

            const tz::Transport transport { bpm, ppq, rate * 60.0 / bpm, true };
            delay.process (pointers, channels, n, values, transport);
            ppq += n / transport.samplesPerBeat;
        }
    }

    Audio silence (int length) const { return Audio ((size_t) channels, std::vector<float> ((size_t) length)); }

    Audio sine (int length, double frequency) const
    {
        auto audio = silence (length);
        for (auto& channel : audio)
            for (int i = 0; i < length; ++i)
                channel[(size_t) i] = (float) std::sin (2.0 * juce::MathConstants<double>::pi * frequency * i / rate);
        return audio;
    }

    Audio impulse (int length) const
    {
        auto audio = silence (length);
        for (auto& channel : audio)
            channel[0] = 1.0f;
        return audio;
    }

    double rate;
    int channels;
    double bpm = 120.0;
    double ppq = 0.0;
    tz::ParamValues values = tz::defaultParamValues();
    tz::DelayEffect delay;
};

// Every sample of `signal` except those listed in `echoes` (index -> value) is silent; the listed ones match.
void expectEchoes (const std::vector<float>& signal, const std::vector<std::pair<int, float>>& echoes)
{
    size_t next = 0;
    for (int i = 0; i < (int) signal.size(); ++i)
    {
        if (next < echoes.size() && echoes[next].first == i)
            EXPECT_NEAR (signal[(size_t) i], echoes[next++].second, 1.0e-6f) << "echo at " << i;
        else if (std::abs (signal[(size_t) i]) > 1.0e-6f)
            ADD_FAILURE() << "unexpected " << signal[(size_t) i] << " at " << i;
    }
    EXPECT_EQ (next, echoes.size());
}

TEST (DelayEffect, EchoesAtTheTempoSyncedTime)
{
    const struct
    {
        int timeIndex;
        double bpm, rate;
        int expected;
    } cases[] = {
        { quarter, 120.0, 48000.0, 24000 },
        { eighthTriplet, 120.0, 48000.0, 8000 },
        { sixteenth, 150.0, 44100.0, 4410 },
        { oneBar, 40.0, 48000.0, 288000 },                              // the longest time fits the line
        { oneBar, 20.0, 48000.0, (int) std::ceil (6.2 * 48000.0) + 1 }, // beyond the line: clamped to its end
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.expected);
        DelayRig rig (c.rate);
        rig.bpm = c.bpm;
        rig.values[tz::delayTime] = (float) c.timeIndex;

        auto audio = rig.impulse (c.expected + 100);
        rig.run (audio);
        for (const auto& channel : audio)
            expectEchoes (channel, { { c.expected, 1.0f } });
    }
}

TEST (DelayEffect, ToneDarkensOnlyTheRepeats)
{
    DelayRig rig;
    rig.values[tz::delayTone] = 0.0f;
    rig.values[tz::delayFeedback] = 50.0f;
    constexpr int d = 24000;

    auto audio = rig.impulse (2 * d + 8);
    rig.run (audio);

    // The first echo is the untouched impulse; the second is the impulse through an 800 Hz one-pole low pass.
    const auto c = 1.0 - std::exp (-2.0 * juce::MathConstants<double>::pi * 800.0 / 48000.0);
    std::vector<std::pair<int, float>> expected { { d, 1.0f } };
    for (int k = 0; k < 8; ++k)
        expected.push_back ({ 2 * d + k, (float) (0.5 * c * std::pow (1.0 - c, k)) });

    for (const auto& channel : audio)
        expectEchoes (channel, expected);
}

TEST (DelayEffect, FullFeedbackStaysBelowUnity)
{
    for (const float pingPong : { 0.0f, 100.0f })
    {
        SCOPED_TRACE (pingPong);
        DelayRig rig;
        rig.values[tz::delayFeedback] = 95.0f;
        rig.values[tz::delayTone] = 100.0f;
        rig.values[tz::delayPingpong] = pingPong;
        constexpr int d = 24000;

        // 100 Hz fits the delay a whole number of times, so every repeat adds up in phase.
        const int length = 60 * 48000;
        const auto input = rig.sine (length, 100.0);

        auto audio = input;
        rig.run (audio);

        // The lines hold input + feedback, so what was fed back is the echo minus the input that entered with it.
        const auto pp = pingPong * 0.01f;
        float maxFedBack = 0.0f;
        for (int i = d; i < length; ++i)
        {
            const auto xL = input[0][(size_t) (i - d)];
            const auto xR = input[1][(size_t) (i - d)];
            const auto enteredL = xL + ((xL + xR) * 0.5f - xL) * pp;
            const auto enteredR = xR * (1.0f - pp);
            maxFedBack = std::max (
                { maxFedBack, std::abs (audio[0][(size_t) i] - enteredL), std::abs (audio[1][(size_t) i] - enteredR) });
        }

        EXPECT_LE (maxFedBack, 1.0f + 1.0e-6f);
        EXPECT_GT (maxFedBack, 0.95f); // the repeats did build up into the ceiling
    }
}

TEST (DelayEffect, PingPongAlternatesSides)
{
    DelayRig rig;
    rig.values[tz::delayPingpong] = 100.0f;
    rig.values[tz::delayFeedback] = 50.0f;
    constexpr int d = 24000;

    // A left-only impulse enters as mono at half level, then every repeat crosses over at half the level.
    auto audio = rig.silence (4 * d + 8);
    audio[0][0] = 1.0f;
    rig.run (audio);

    expectEchoes (audio[0], { { d, 0.5f }, { 3 * d, 0.125f } });
    expectEchoes (audio[1], { { 2 * d, 0.25f }, { 4 * d, 0.0625f } });
}

TEST (DelayEffect, PingPongIsIgnoredOnOneChannel)
{
    DelayRig rig (48000.0, 1);
    rig.values[tz::delayPingpong] = 100.0f;
    rig.values[tz::delayFeedback] = 50.0f;
    constexpr int d = 24000;

    auto audio = rig.impulse (3 * d + 8);
    rig.run (audio);

    expectEchoes (audio[0], { { d, 1.0f }, { 2 * d, 0.5f }, { 3 * d, 0.25f } });
}

TEST (DelayEffect, TempoChangeGlidesWithoutAClick)
{
    constexpr double rate = 48000.0;
    constexpr double frequency = 233.0; // no whole number of cycles in either delay: a jump would show
    const auto a = 1.0 - std::exp (-1.0 / (0.04 * rate));

    for (const double newBpm : { 150.0, 80.0 })
    {
        SCOPED_TRACE (newBpm);
        DelayRig rig (rate);
        const double oldDelay = 24000.0;
        const double newDelay = 60.0 / newBpm * rate;
        const double jump = std::abs (newDelay - oldDelay);

        const int before = 30000;
        const int after = 72000;
        const auto input = rig.sine (before + after, frequency);

        auto output = input;
        rig.run (output, 0, before);
        rig.bpm = newBpm;

        // Two 40 ms one-pole stages from the old delay to the new: d(n) = new + (old - new)(1 - a)^n (1 + n a).
        int done = 0;
        for (const int checkpoint : { 480, 1920, 5760 })
        {
            rig.run (output, before + done, before + checkpoint);
            done = checkpoint;

            const auto expected =
                newDelay + (oldDelay - newDelay) * std::pow (1.0 - a, checkpoint) * (1.0 + checkpoint * a);
            EXPECT_NEAR (rig.delay.currentDelaySamples(), expected, 0.5) << "after " << checkpoint;
        }
        rig.run (output, before + done, before + after);

        // The read speed departs from 1 by at most jump * a / e (the peak slope of the two stages).
        const auto omega = 2.0 * juce::MathConstants<double>::pi * frequency / rate;
        const auto maxStep = omega * (1.0 + jump * a / std::exp (1.0)) * 1.1;
        double largestStep = 0.0;
        for (size_t i = 24001; i < output[0].size(); ++i)
            largestStep = std::max (largestStep, (double) std::abs (output[0][i] - output[0][i - 1]));
        EXPECT_LT (largestStep, maxStep);

        // Settled: the echo is the input delayed by exactly the new time.
        EXPECT_NEAR (rig.delay.currentDelaySamples(), newDelay, 1.0e-3);
        const auto settledDelay = (int) newDelay;
        for (int i = before + after - 1000; i < before + after; ++i)
            ASSERT_NEAR (output[0][(size_t) i], input[0][(size_t) (i - settledDelay)], 1.0e-3f) << i;
    }
}

TEST (DelayEffect, AGlideEndsExactlyOnTheNewTime)
{
    // Until it does, every read stays interpolated. Two 40 ms stages come within a billionth of a sample of a
    // whole beat's change in well under two seconds.
    const struct
    {
        int fromTime, toTime;
        double fromBpm, toBpm, rate;
    } cases[] = {
        { quarter, eighthTriplet, 120.0, 120.0, 48000.0 }, // a time change
        { quarter, quarter, 120.0, 150.0, 48000.0 },       // a tempo change
        { sixteenth, oneBar, 97.0, 97.0, 44100.0 },        // to a time that is not a whole number of samples
    };

    for (const auto& c : cases)
    {
        DelayRig rig (c.rate);
        rig.values[tz::delayTime] = (float) c.fromTime;
        rig.bpm = c.fromBpm;
        auto audio = rig.sine ((int) (2.5 * c.rate), 440.0);
        rig.run (audio, 0, (int) (0.5 * c.rate));

        rig.values[tz::delayTime] = (float) c.toTime;
        rig.bpm = c.toBpm;
        rig.run (audio, (int) (0.5 * c.rate), (int) audio[0].size());

        const auto seconds = (float) (tz::delayTimeBeats[(size_t) c.toTime] * 60.0 / c.toBpm);
        const auto target = (double) (seconds * (float) c.rate);
        EXPECT_EQ (rig.delay.currentDelaySamples(), target)
            << c.toTime << " at " << c.toBpm << " BPM: short by " << target - rig.delay.currentDelaySamples();
    }
}

TEST (DelayEffect, ResetForgetsEchoesAndTime)
{
    DelayRig rig;
    auto old = rig.impulse (1000);
    rig.values[tz::delayFeedback] = 90.0f;
    rig.run (old);

    rig.delay.reset();
    rig.bpm = 80.0; // the new time applies at once, without gliding from the old one

    auto audio = rig.impulse (40000);
    rig.run (audio);
    for (const auto& channel : audio)
        expectEchoes (channel, { { 36000, 1.0f } });
}

TEST (DelayEffect, ProcessesWithoutAllocating)
{
    DelayRig rig;
    rig.values[tz::delayFeedback] = 60.0f;
    rig.values[tz::delayPingpong] = 40.0f;
    auto audio = rig.impulse (4096);

    const tz::test::AllocationCounter counter;
    rig.run (audio);
    rig.delay.reset();
    EXPECT_EQ (counter.count(), 0u);
}

} // namespace
