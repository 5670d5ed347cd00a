#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "effects/EffectTestSignals.h"
#include "engine/Routes.h"
#include "support/ProcessorHarness.h"

namespace
{
using tz::test::ProcessorHarness;

constexpr int samplesPerStep = 6000; // 1/16 at 120 BPM, 48 kHz

float largestStep (const std::vector<float>& signal, size_t from, size_t to)
{
    float largest = 0.0f;
    for (size_t i = from + 1; i < to; ++i)
        largest = juce::jmax (largest, std::abs (signal[i] - signal[i - 1]));
    return largest;
}

// Volume at level 0 silences whatever passes while its slot lets it sound: the slot's own fades become audible.
struct MutingVolume : ::testing::Test
{
    MutingVolume()
    {
        harness.setValue (tz::volumeLevel, 0.0f);
        harness.processConstant (1.0f, 4800);
    }

    ProcessorHarness harness;
};

TEST_F (MutingVolume, SwitchingOnAndOffFadesOverTenMilliseconds)
{
    harness.setValue (tz::volumeOn, 1.0f);
    const auto on = harness.processConstant (1.0f, 4800);

    // 10 ms of on-fade in chunk steps, further smoothed with 1.5 ms: no step a listener would hear as a click.
    EXPECT_GT (on[240], 0.35f);
    EXPECT_LT (on[240], 0.65f);
    EXPECT_LT (on[480 + 480], 0.001f);
    EXPECT_LT (largestStep (on, 0, on.size()), 0.01f);
    for (size_t i = 1; i < on.size(); ++i)
        ASSERT_LE (on[i], on[i - 1] + 1e-7f) << i;

    harness.setValue (tz::volumeOn, 0.0f);
    const auto off = harness.processConstant (1.0f, 4800);
    EXPECT_GT (off[240], 0.35f);
    EXPECT_LT (off[240], 0.65f);
    EXPECT_GT (off[960], 0.999f);
    EXPECT_LT (largestStep (off, 0, off.size()), 0.01f);
}

TEST_F (MutingVolume, AClosingGridStepLetsTheInputThroughWithinThreeMilliseconds)
{
    harness.setValue (tz::volumeOn, 1.0f);
    harness.processor.setGridRow (tz::volume, { 0x5555, true }); // odd steps only
    harness.playHead.playing = true;
    harness.playHead.ppq = 0.0;
    const auto out = harness.processConstant (1.0f, 4 * samplesPerStep, 32);

    const int latency = harness.processor.getLatencySamples();
    const auto boundary = (size_t) (samplesPerStep + latency);
    EXPECT_LT (out[boundary - 1], 1e-3f);  // step 1 plays the muting effect
    EXPECT_GT (out[boundary + 144], 0.5f); // 3 ms later the gate is open
    EXPECT_GT (out[boundary + 144 + 360], 0.99f);
    EXPECT_LT (largestStep (out, boundary - 64, boundary + 1000), 0.02f);
    EXPECT_LT (out[2 * samplesPerStep + latency + 600], 1e-3f); // step 3 mutes again
}

TEST (EffectSlot, AnEffectSwitchedOffSleepsAndWakesWiped)
{
    ProcessorHarness harness;
    harness.setValue (tz::delayOn, 1.0f);
    harness.setValue (tz::delayMix, 100.0f);
    harness.setValue (tz::delayFeedback, 90.0f);
    harness.prepare (512);

    auto impulse = harness.constant (0.0f, 2000);
    impulse[0][0] = impulse[1][0] = 1.0f;
    harness.process (impulse);
    harness.processConstant (0.0f, 20000); // the echo ring is still going
    EXPECT_FALSE (harness.processor.getEffectSlot (tz::delay).idle);

    harness.setValue (tz::delayOn, 0.0f);
    harness.processConstant (0.0f, 4800);
    EXPECT_TRUE (harness.processor.getEffectSlot (tz::delay).idle);

    harness.setValue (tz::delayOn, 1.0f);
    const auto afterWake = harness.processConstant (0.0f, 96000);
    EXPECT_FALSE (harness.processor.getEffectSlot (tz::delay).idle);
    for (const float s : afterWake)
        ASSERT_EQ (s, 0.0f); // no old echo survives the sleep
}

TEST (EffectSlot, OnAtMixZeroStaysAwakeAndSilent)
{
    ProcessorHarness harness;
    harness.setValue (tz::crushOn, 1.0f);
    harness.setValue (tz::crushBits, 1.0f);
    harness.setValue (tz::crushMix, 0.0f);
    harness.prepare (512);

    juce::Random random (3);
    auto input = harness.constant (0.0f, 9600);
    for (auto& channel : input)
        for (auto& s : channel)
            s = random.nextFloat() - 0.5f;

    const auto out = harness.process (input);
    const auto latency = (size_t) harness.processor.getLatencySamples();
    EXPECT_FALSE (harness.processor.getEffectSlot (tz::crush).idle);
    for (size_t i = latency; i < out[0].size(); ++i)
        ASSERT_EQ (out[0][i], input[0][i - latency]) << i;
}

TEST (EffectSlot, FullyWetEffectOutputIsTheBodyAlone)
{
    // At mix 100 with the gate open the slot does no dry/wet arithmetic: one-bit crush gives exact -1, 0, +1.
    ProcessorHarness harness;
    harness.setValue (tz::crushOn, 1.0f);
    harness.setValue (tz::crushBits, 1.0f);
    harness.setValue (tz::crushRate, 48000.0f);
    harness.prepare (512);

    juce::Random random (5);
    auto input = harness.constant (0.0f, 9600);
    for (auto& channel : input)
        for (auto& s : channel)
            s = random.nextFloat() * 1.8f - 0.9f;

    const auto out = harness.process (input);
    for (size_t i = 32; i < out[0].size(); ++i)
        ASSERT_TRUE (out[0][i] == -1.0f || out[0][i] == 0.0f || out[0][i] == 1.0f) << i << " " << out[0][i];
}

TEST (EffectSlot, EveryFadeEndsFullyWet)
{
    // Once a fade has settled the slot is the body alone: nothing of the dry signal is left mixed in.
    struct Case
    {
        const char* what;
        std::function<void (ProcessorHarness&)> before, fade;
        std::function<float (float input)> wet;
    };

    const Case cases[] = {
        { "volume switched on", [] (auto& h) { h.setValue (tz::volumeLevel, 50.0f); },
          [] (auto& h) { h.setValue (tz::volumeOn, 1.0f); }, [] (float x) { return 0.5f * x; } },
        { "volume's grid step reopening",
          [] (auto& h)
          {
              h.setValue (tz::volumeOn, 1.0f);
              h.setValue (tz::volumeLevel, 50.0f);
              h.processor.setGridRow (tz::volume, { 0, true });
          },
          [] (auto& h) {
              h.processor.setGridRow (tz::volume, { 0xFFFF, true });
          },
          [] (float x) { return 0.5f * x; } },
        { "tape stop triggered, then stopped", [] (auto&) {},
          [] (auto& h)
          {
              h.setValue (tz::tapestopTime, 0.0f);
              h.setValue (tz::tapestopOn, 1.0f);
          },
          [] (float) { return 0.0f; } },
        { "one-bit crush switched off and on",
          [] (auto& h)
          {
              h.setValue (tz::crushBits, 1.0f);
              h.setValue (tz::crushOn, 1.0f);
          },
          [] (auto& h)
          {
              h.setValue (tz::crushOn, 0.0f);
              h.processConstant (0.0f, 4800);
              h.setValue (tz::crushOn, 1.0f);
          },
          nullptr },
    };

    for (const double rate : { 44100.0, 48000.0, 96000.0, 192000.0 })
    {
        for (const auto& c : cases)
        {
            ProcessorHarness harness (rate);
            c.before (harness);
            harness.prepare (512);
            harness.processConstant (0.0f, 4800);
            c.fade (harness);

            const int total = (int) rate / 2;
            std::vector<std::vector<float>> input (2, tz::test::noise (total, 4, 0.5f));
            const auto out = harness.process (input);
            const auto latency = (size_t) harness.processor.getLatencySamples();

            int wrong = 0;
            for (auto i = (size_t) total - 1000; i < (size_t) total; ++i)
            {
                const float y = out[0][i];
                const bool right =
                    c.wet != nullptr ? y == c.wet (input[0][i - latency]) : (y == -1.0f || y == 0.0f || y == 1.0f);
                wrong += right ? 0 : 1;
            }
            EXPECT_EQ (wrong, 0) << c.what << " at " << rate << " Hz";
        }
    }
}

TEST (EffectSlot, OneShotEffectAtMixZeroNeverTriggersAndRaisingTheMixDoes)
{
    ProcessorHarness harness;
    harness.setValue (tz::stutterOn, 1.0f);
    harness.setValue (tz::stutterMix, 0.0f);
    harness.setValue (tz::stutterHold, 5.0f); // Free: one slice repeats for as long as the effect sounds
    harness.prepare (512);

    std::vector<std::vector<float>> ramp (2, std::vector<float> (48000));
    for (auto& channel : ramp)
        for (size_t i = 0; i < channel.size(); ++i)
            channel[i] = (float) i / 48000.0f;

    const auto latency = (size_t) harness.processor.getLatencySamples();
    const auto silent = harness.process (ramp);
    for (size_t i = latency; i < silent[0].size(); ++i)
        ASSERT_EQ (silent[0][i], ramp[0][i - latency]);

    harness.setValue (tz::stutterMix, 100.0f);
    const auto triggered = harness.process (ramp);
    // The slice (1/16 = 6000 samples) is captured at the trigger and then repeats instead of following the ramp.
    EXPECT_NEAR (triggered[0][20000], triggered[0][20000 - 6000], 1e-4f);
    EXPECT_GT (std::abs (triggered[0][20000] - ramp[0][20000 - latency]), 0.1f);
}

TEST (EffectSlot, AOneShotRestartedWhileStillHeardDoesNotClick)
{
    // A one-bar saw-up LFO on the mix: at every bar line the mix falls from 100 to 0 and climbs straight back, so
    // the effect restarts a chunk later while its fading output is still heard (before: steps of 0.80 for
    // stutter, 0.38 for tape stop and 0.78 for reverse, against the sine's own 0.029).
    const struct
    {
        const char* name;
        tz::P on, mix;
    } cases[] = {
        { "stutter", tz::stutterOn, tz::stutterMix },
        { "tape stop", tz::tapestopOn, tz::tapestopMix },
        { "reverse", tz::reverseOn, tz::reverseMix },
    };

    constexpr int bar = 16 * samplesPerStep;
    constexpr double frequency = 437.0;
    const auto input = tz::test::sine (frequency, 48000.0, 3 * bar, 0.5f);
    const float sineStep = largestStep (input, 0, input.size());

    for (const auto& c : cases)
    {
        ProcessorHarness harness;
        harness.setValue (c.on, 1.0f);
        harness.setValue (c.mix, 0.0f);
        harness.setValue (tz::modParam (0, tz::modField::mode), 0.0f);
        harness.setValue (tz::modParam (0, tz::modField::shape), 2.0f); // saw up
        harness.setValue (tz::modParam (0, tz::modField::rate), 12.0f); // one bar
        harness.setValue (tz::modParam (0, tz::modField::followsXY), 0.0f);
        harness.setValue (tz::routeParam (0, tz::routeField::target), (float) tz::targetPosition (c.mix));
        harness.setValue (tz::routeParam (0, tz::routeField::depth), 100.0f);
        harness.setValue (tz::routeParam (0, tz::routeField::source), 1.0f);
        harness.prepare (512);
        harness.playHead.playing = true;
        // The song starts half a beat and four samples in: each bar line then falls four samples before a chunk
        // ends (the LFO is read at chunk ends; this keeps the read clear of rounding on either side of the wrap),
        // and a quarter cycle away from the sine's zero crossings, where a restart would hide its step.
        constexpr int startOffset = samplesPerStep * 2 + 4;
        harness.playHead.ppq = startOffset / (4.0 * samplesPerStep);

        const auto out = harness.process ({ input, input }).front();
        const auto latency = (size_t) harness.processor.getLatencySamples();
        for (int b = 1; b < 3; ++b)
        {
            const auto wrap = (size_t) (b * bar - startOffset) + latency;
            EXPECT_LE (largestStep (out, wrap - 96, wrap + 96), 2.0f * sineStep) << c.name << " at bar " << b;
        }
    }
}

TEST (EffectSlot, StutterPaintedOnTheLastTwoStepsRetriggersEveryBar)
{
    ProcessorHarness harness;
    harness.setValue (tz::stutterOn, 1.0f);
    harness.setValue (tz::stutterHold, 5.0f);
    harness.processor.setGridRow (tz::stutter, { 0xC000, true }); // steps 15 and 16
    harness.prepare (512);
    harness.playHead.playing = true;
    harness.playHead.ppq = 0.0;

    constexpr int bar = 16 * samplesPerStep;
    std::vector<std::vector<float>> ramp (2, std::vector<float> (3 * bar));
    for (auto& channel : ramp)
        for (size_t i = 0; i < channel.size(); ++i)
            channel[i] = (float) (i % bar) / (float) bar + 0.01f;

    const auto out = harness.process (ramp, 32);
    const auto latency = (size_t) harness.processor.getLatencySamples();

    for (int b = 0; b < 3; ++b)
    {
        const auto step15 = (size_t) (b * bar + 14 * samplesPerStep);
        // Step 3 of the bar plays the input untouched.
        EXPECT_EQ (out[0][(size_t) (b * bar + 2 * samplesPerStep) + latency],
                   ramp[0][(size_t) (b * bar + 2 * samplesPerStep)]);
        // Step 16 repeats what step 15 captured: the slice taken at this bar's step 15.
        for (const size_t offset : { 300u, 2000u, 5000u })
            EXPECT_NEAR (out[0][step15 + samplesPerStep + offset + latency], ramp[0][step15 + offset], 1e-4f)
                << "bar " << b << " offset " << offset;
    }
}
} // namespace
