#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <utility>

#include "support/ProcessorHarness.h"

namespace
{
using tz::test::ProcessorHarness;

constexpr int fadeSamples = 240;  // 5 ms at 48 kHz
constexpr int orderSamples = 144; // 3 ms at 48 kHz

float dBToGain (float dB) { return std::pow (10.0f, dB / 20.0f); }

TEST (ProcessorIdentity, AnswersTheHostsQuestions)
{
    TazzleAudioProcessor processor;
    EXPECT_EQ (processor.getName(), "Tazzle");
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_DOUBLE_EQ (processor.getTailLengthSeconds(), 1800.0);
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getParameters().size(), 263);
}

// Hosts list the one program under this name: a blank entry would look broken.
TEST (ProcessorIdentity, TheProgramIsNamedAfterTheCurrentPreset)
{
    TazzleAudioProcessor processor;
    EXPECT_EQ (processor.getProgramName (0), "Tazzle Machine");

    juce::XmlElement preset ("Tazzle");
    preset.setAttribute ("presetName", "Breathing Gate");
    processor.loadPreset (preset);
    EXPECT_EQ (processor.getProgramName (0), "Breathing Gate");

    processor.getParameterState().state.setProperty ("presetName", "", nullptr);
    EXPECT_EQ (processor.getProgramName (0), "Init");
}

TEST (ProcessorIdentity, TheDeclaredTailCoversTheLongestEchoesAndReverb)
{
    // A host may stop processing once the tail has passed. The longest the parameters allow: the delay at its
    // highest feedback and longest time at the slowest tempo, into the largest undamped reverb, both gains at
    // their tops, after a full-scale burst. The tails run in seconds, so a low sample rate keeps this quick.
    constexpr double rate = 8000.0;
    ProcessorHarness harness (rate, 2, 4000);
    harness.playHead.bpm = tz::minBpm;
    const auto& infos = tz::allParams();
    for (const tz::P p : { tz::delayOn, tz::delayFeedback, tz::delayTime, tz::delayTone, tz::delayMix, tz::reverbOn,
                           tz::reverbSize, tz::reverbMix, tz::inputGain, tz::outputGain })
        harness.setValue (p, infos[(size_t) p].max);
    harness.setValue (tz::reverbDamping, 0.0f);
    harness.prepare (4000);

    juce::Random random (3);
    auto burst = harness.constant (0.0f, (int) (0.1 * rate));
    for (auto& channel : burst)
        for (auto& s : channel)
            s = random.nextBool() ? 1.0f : -1.0f;
    harness.process (burst, 4000);

    const auto silence = harness.constant (0.0f, 4000);
    const auto blocksInTail = (int) (harness.processor.getTailLengthSeconds() * rate / 4000);
    float peak = 0.0f;
    for (int block = 0; block < blocksInTail + 2; ++block)
    {
        const auto out = harness.process (silence, 4000);
        if (block >= blocksInTail)
            for (const auto& channel : out)
                for (const float s : channel)
                    peak = std::max (peak, std::abs (s));
    }
    EXPECT_LT (peak, dBToGain (-100.0f));
}

TEST (ProcessorIdentity, AcceptsOnlyMatchingMonoOrStereoLayouts)
{
    using Set = juce::AudioChannelSet;
    const struct
    {
        Set in, out;
        bool supported;
    } cases[] = {
        { Set::stereo(), Set::stereo(), true },
        { Set::mono(), Set::mono(), true },
        { Set::stereo(), Set::mono(), false },
        { Set::mono(), Set::stereo(), false },
        { Set::create5point1(), Set::create5point1(), false },
        { Set::disabled(), Set::stereo(), false },
    };

    TazzleAudioProcessor processor;
    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (processor.checkBusesLayoutSupported (layout), c.supported)
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

TEST (BlockLoop, IdleChainPassesAudioUnchanged)
{
    ProcessorHarness harness;
    juce::Random random (7);
    std::vector<std::vector<float>> noise (2, std::vector<float> (4096));
    for (auto& channel : noise)
        for (auto& s : channel)
            s = random.nextFloat() * 2.0f - 1.0f;

    // Everything arrives delayed by the reported latency, otherwise untouched.
    const auto out = harness.process (noise, 333);
    const auto latency = (size_t) harness.processor.getLatencySamples();
    for (size_t ch = 0; ch < out.size(); ++ch)
    {
        const std::vector<float> head (out[ch].begin(), out[ch].begin() + (long) latency);
        const std::vector<float> delayed (out[ch].begin() + (long) latency, out[ch].end());
        EXPECT_EQ (head, std::vector<float> (latency, 0.0f));
        EXPECT_EQ (delayed, std::vector<float> (noise[ch].begin(), noise[ch].end() - (long) latency));
    }
}

TEST (BlockLoop, GainsApplyAtOnceAfterACleanStart)
{
    ProcessorHarness harness;
    harness.setValue (tz::inputGain, 6.0f);
    harness.setValue (tz::outputGain, -12.0f);
    harness.prepare (512);

    const auto out = harness.processConstant (0.5f, 64);
    const float expected = 0.5f * dBToGain (6.0f) * dBToGain (-12.0f);
    EXPECT_NEAR (out[(size_t) harness.processor.getLatencySamples()], expected, 1e-6f);
    EXPECT_NEAR (out.back(), expected, 1e-6f);
}

TEST (BlockLoop, InputGainChangeRampsAndSmoothsWithTenMilliseconds)
{
    ProcessorHarness harness;
    harness.processConstant (1.0f, 1024);
    harness.setValue (tz::inputGain, -12.0f);

    const int total = 9600;
    const auto out = harness.processConstant (1.0f, total);
    const float start = 1.0f, target = dBToGain (-12.0f);
    auto progress = [&] (int i) { return (start - out[(size_t) i]) / (start - target); };

    // The linear ramp covers one chunk; the smoother then approaches with a 10 ms time constant.
    EXPECT_GT (out[0], 0.99f);
    EXPECT_LT (progress (31), 0.1f);
    EXPECT_NEAR (progress (16 + 480), 1.0f - std::exp (-1.0f), 0.02f);
    EXPECT_NEAR (progress (16 + 960), 1.0f - std::exp (-2.0f), 0.02f);
    EXPECT_FLOAT_EQ (out.back(), target);
    for (int i = 1; i < total; ++i)
        ASSERT_LE (out[(size_t) i], out[(size_t) i - 1] + 1e-7f) << i;
}

TEST (BlockLoop, HostBlocksAreCutIntoChunksOf32)
{
    // A 100-sample block runs as chunks of 32, 32, 32 and 4: the same as host blocks of those sizes.
    auto render = [] (const std::vector<int>& blockSizes)
    {
        ProcessorHarness harness;
        harness.processConstant (1.0f, 512);
        harness.setValue (tz::inputGain, -20.0f);

        std::vector<float> out;
        for (const int size : blockSizes)
        {
            const auto block = harness.processConstant (1.0f, size, size);
            out.insert (out.end(), block.begin(), block.end());
        }
        return out;
    };

    const auto whole = render ({ 100 });
    EXPECT_EQ (whole, render ({ 32, 32, 32, 4 }));
    EXPECT_NE (whole, render ({ 25, 75 })); // a first chunk of 25 ramps the gain faster
}

TEST (BlockLoop, PresetChangeFadesOutResetsAndFadesIn)
{
    ProcessorHarness harness;
    harness.processConstant (1.0f, 512);

    // The snapshot stays frozen during the fade-out: this change is heard only after the restart.
    harness.processor.beginStateChange();
    harness.setValue (tz::outputGain, -6.0f);
    harness.processor.endStateChange();

    const auto out = harness.processConstant (1.0f, 1024);
    for (int i = 0; i < fadeSamples; ++i)
        ASSERT_NEAR (out[(size_t) i], 1.0f - (float) (i + 1) / fadeSamples, 1e-4f) << i;

    // The fade-out ends inside the eighth chunk; the restart happens at its end. It empties the latency delays,
    // and the fade-in begins with the first sample that comes out of them.
    const int restart = 256 + harness.processor.getLatencySamples();
    for (int i = fadeSamples; i < restart; ++i)
        ASSERT_EQ (out[(size_t) i], 0.0f) << i;

    const float newGain = dBToGain (-6.0f);
    for (int i = 0; i < fadeSamples; ++i)
        ASSERT_NEAR (out[(size_t) (restart + i)], newGain * (float) (i + 1) / fadeSamples, 1e-4f) << i;
    EXPECT_NEAR (out[(size_t) (restart + fadeSamples + 10)], newGain, 1e-6f);
}

TEST (BlockLoop, ALoadFinishedDuringTheFadeOutRestartsOnceOnTheFinishedPreset)
{
    ProcessorHarness harness;
    harness.processConstant (1.0f, 512);

    harness.processor.beginStateChange();
    auto out = harness.processConstant (1.0f, 64, 64);
    harness.setValue (tz::outputGain, -6.0f);
    harness.processor.endStateChange(); // the load finishes mid-fade
    const auto rest = harness.processConstant (1.0f, 2048, 64);
    out.insert (out.end(), rest.begin(), rest.end());

    int dips = 0;
    for (size_t i = 1; i < out.size(); ++i)
        if (out[i] == 0.0f && out[i - 1] > 0.0f)
            ++dips;
    EXPECT_EQ (dips, 1);
    EXPECT_NEAR (out.back(), dBToGain (-6.0f), 1e-6f);
}

TEST (BlockLoop, ALoadStillRunningAfterTheFadeOutHoldsSilenceUntilItEnds)
{
    ProcessorHarness harness;
    harness.processConstant (1.0f, 512);

    harness.processor.beginStateChange();
    harness.setValue (tz::outputGain, -6.0f);
    const auto held = harness.processConstant (1.0f, 2048);
    for (size_t i = fadeSamples; i < held.size(); ++i)
        ASSERT_EQ (held[i], 0.0f) << i; // no half-written preset is ever heard

    harness.setValue (tz::inputGain, 6.0f);
    harness.processor.endStateChange();
    const auto out = harness.processConstant (1.0f, 1024);
    const float finished = dBToGain (-6.0f) * dBToGain (6.0f);
    EXPECT_LT (out[10], finished * 0.1f);
    EXPECT_NEAR (out.back(), finished, 1e-5f);
}

TEST (BlockLoop, PresetChangeBeforeTheFirstBlockRestartsWithoutAFade)
{
    ProcessorHarness harness;
    harness.processor.beginStateChange();
    harness.processor.endStateChange();
    const auto out = harness.processConstant (1.0f, 256);
    EXPECT_EQ (out[(size_t) harness.processor.getLatencySamples()], 1.0f);
    EXPECT_EQ (out.back(), 1.0f);
}

TEST (BlockLoop, OrderChangeDipsForThreeMillisecondsEachWay)
{
    ProcessorHarness harness;
    harness.processConstant (1.0f, 512);

    auto order = tz::defaultChainOrder;
    std::swap (order[0], order[9]);
    harness.processor.setChainOrder (order);

    const auto out = harness.processConstant (1.0f, 1024);
    for (int i = 0; i < orderSamples; ++i)
        ASSERT_NEAR (out[(size_t) i], 1.0f - (float) (i + 1) / orderSamples, 1e-4f) << i;

    const auto lowest = std::min_element (out.begin(), out.end());
    EXPECT_EQ (*lowest, 0.0f);
    EXPECT_LE (std::distance (out.begin(), lowest), 160);
    const auto recovered = (size_t) (160 + orderSamples);
    EXPECT_EQ (out[recovered], 1.0f);
    EXPECT_EQ (out.back(), 1.0f);
}

TEST (BlockLoop, ALoadLandingAfterTheOrderWasReadRestartsStraightIntoItsOrder)
{
    ProcessorHarness harness;
    harness.processConstant (0.5f, 2048);

    // The load lands between the block's reading of the order and the clean start that block performs.
    const auto preset = juce::parseXML (R"(<Tazzle chainOrder="0,1,2,3,4,5,6,7,8,9">
                                           <PARAM id="output_gain" value="-6"/></Tazzle>)");
    bool loaded = false;
    harness.processor.onOrderRead = [&]
    {
        if (! std::exchange (loaded, true))
            harness.processor.loadPreset (*preset);
    };

    const auto out = harness.processConstant (0.5f, 4096);
    harness.processor.onOrderRead = nullptr;

    // One fade down to the restart, then one fade up: no further dip into an order already left.
    const auto lowest = std::min_element (out.begin(), out.end());
    EXPECT_EQ (*lowest, 0.0f);
    for (auto i = lowest + 1; i != out.end(); ++i)
        ASSERT_GE (*i, *(i - 1)) << std::distance (out.begin(), i);
    EXPECT_NEAR (out.back(), 0.5f * dBToGain (-6.0f), 1e-6f);
}

TEST (BlockLoop, ResumingAfterBypassCrossfadesFromTheDryInput)
{
    ProcessorHarness harness;
    harness.setValue (tz::outputGain, -24.0f);
    harness.processConstant (1.0f, 512);

    juce::AudioBuffer<float> bypassed (2, 256);
    for (int ch = 0; ch < 2; ++ch)
        juce::FloatVectorOperations::fill (bypassed.getWritePointer (ch), 0.7f, 256);
    harness.processor.processBlockBypassed (bypassed, harness.midi);
    EXPECT_EQ (bypassed.getSample (0, 100), 0.7f); // the input passes, delayed by the latency

    const auto out = harness.processConstant (1.0f, 512);
    const float wet = dBToGain (-24.0f);
    const int latency = harness.processor.getLatencySamples();
    // The restart empties the latency delays: the bypassed input plays on until the processed signal comes out
    // of them, and the crossfade begins there.
    for (int i = 0; i < latency + fadeSamples; ++i)
    {
        const float fade = (float) std::max (0, i - latency + 1) / fadeSamples;
        const float dry = i < latency ? 0.7f : 1.0f; // the dry side is the latency-aligned input
        ASSERT_NEAR (out[(size_t) i], dry + fade * (wet - dry), 1e-4f) << i;
    }
    EXPECT_NEAR (out.back(), wet, 1e-6f);
}

TEST (BlockLoop, NonFiniteInputBecomesSilence)
{
    ProcessorHarness harness;
    auto input = harness.constant (0.25f, 256);
    input[0][10] = std::numeric_limits<float>::quiet_NaN();
    input[1][20] = std::numeric_limits<float>::infinity();
    input[0][30] = -std::numeric_limits<float>::infinity();

    const auto out = harness.process (input);
    const auto latency = (size_t) harness.processor.getLatencySamples();
    EXPECT_EQ (out[0][10 + latency], 0.0f);
    EXPECT_EQ (out[1][20 + latency], 0.0f);
    EXPECT_EQ (out[0][30 + latency], 0.0f);
    EXPECT_EQ (out[0][11 + latency], 0.25f);
    for (const auto& channel : out)
        for (const float s : channel)
            ASSERT_TRUE (std::isfinite (s));
}

TEST (BlockLoop, ANonFiniteChunkIsSilencedAndTheEffectsRestart)
{
    ProcessorHarness harness;
    harness.setValue (tz::reverbOn, 1.0f);
    harness.setValue (tz::reverbMix, 100.0f);
    harness.setValue (tz::inputGain, 12.0f);
    harness.prepare (512);

    juce::Random random (9);
    auto input = harness.constant (0.0f, 48000);
    for (auto& channel : input)
        for (auto& s : channel)
            s = 0.25f * (random.nextFloat() * 2.0f - 1.0f);

    // A finite sample that the input gain takes to infinity poisons the reverb's lines.
    input[0][10000] = 3.0e38f;

    const auto out = harness.process (input);
    for (const auto& channel : out)
        for (size_t i = 0; i < channel.size(); ++i)
            ASSERT_TRUE (std::isfinite (channel[i])) << i;

    // A short gap, not a dead track: the reverb sounds again.
    double energy = 0.0;
    for (size_t i = 40000; i < 48000; ++i)
        energy += (double) out[0][i] * out[0][i];
    EXPECT_GT (std::sqrt (energy / 8000), 0.01);
}

// A host may hand a parameter NaN, which the framework reports as an assertion before storing it. A test that
// does so on purpose keeps those reports out of the log, where they would fail the run.
struct QuietFrameworkAssertions : juce::Logger
{
    QuietFrameworkAssertions() { juce::Logger::setCurrentLogger (this); }
    ~QuietFrameworkAssertions() override { juce::Logger::setCurrentLogger (nullptr); }

    void logMessage (const juce::String& message) override
    {
        if (! message.startsWith ("JUCE Assertion failure"))
            juce::Logger::outputDebugString (message);
    }
};

TEST (HostValues, ANaNInAnyParameterNeitherCrashesNorReachesTheOutput)
{
    ProcessorHarness harness;
    for (const auto& effect : tz::effectParams)
    {
        harness.setValue (effect.on, 1.0f);
        if (effect.mix != tz::none)
            harness.setValue (effect.mix, 100.0f);
    }
    // Pitched, so that the stutter's repeats and the grains read between samples.
    harness.setValue (tz::stutterPitch, 7.0f);
    harness.setValue (tz::grainPitch, 7.0f);
    harness.prepare (512);

    juce::Random random (5);
    auto noise = harness.constant (0.0f, 12000);
    for (auto& channel : noise)
        for (auto& s : channel)
            s = 0.25f * (random.nextFloat() * 2.0f - 1.0f);
    harness.process (noise);
    harness.process (noise); // the stutter plays its repeats from here on

    const auto& infos = tz::allParams();
    for (size_t p = 0; p < infos.size(); ++p)
    {
        auto* param = harness.processor.getParameterState().getParameter (infos[p].id);
        const float before = param->getValue();
        {
            const QuietFrameworkAssertions quiet;
            param->setValueNotifyingHost (std::numeric_limits<float>::quiet_NaN());
        }

        for (const auto& channel : harness.process (noise))
            for (size_t i = 0; i < channel.size(); ++i)
                ASSERT_TRUE (std::isfinite (channel[i])) << infos[p].id << ", sample " << i;

        param->setValueNotifyingHost (before);
    }
}

TEST (BlockLoop, ABufferWithoutChannelsIsProcessedWithEveryEffectAwake)
{
    ProcessorHarness harness;
    for (const auto& effect : tz::effectParams)
        harness.setValue (effect.on, 1.0f);
    harness.prepare (512);
    harness.processConstant (0.25f, 512);

    juce::AudioBuffer<float> empty (0, 100);
    harness.processor.processBlock (empty, harness.midi);
    harness.processor.processBlockBypassed (empty, harness.midi);
    harness.processor.processBlock (empty, harness.midi);

    for (const float s : harness.processConstant (0.25f, 4096))
        ASSERT_TRUE (std::isfinite (s));
}

TEST (BlockLoop, MonoLayoutProcessesOneChannel)
{
    ProcessorHarness harness (44100.0, 1);
    harness.setValue (tz::outputGain, -6.0f);
    harness.prepare (512);
    const auto out = harness.processConstant (1.0f, 300);
    EXPECT_NEAR (out.back(), dBToGain (-6.0f), 1e-6f);
}

TEST (Clock, FollowsThePlayingHostAndRunsOnWhenStopped)
{
    ProcessorHarness harness; // 120 BPM, 48 kHz: 24000 samples a beat, grid steps of 1/16
    harness.playHead.playing = true;

    harness.playHead.ppq = -0.1; // pre-roll
    harness.processConstant (0.0f, 32, 32);
    EXPECT_EQ (harness.processor.getUiGridStep(), 15);

    harness.playHead.ppq = 2.0;
    harness.processConstant (0.0f, 32, 32);
    EXPECT_EQ (harness.processor.getUiGridStep(), 8);

    // Stopped: the clock runs on from where the host left it (2 beats + 32 samples).
    harness.playHead.playing = false;
    harness.playHead.ppq = 0.0;
    harness.processConstant (0.0f, 6000 - 32 - 16 + 100, 512);
    harness.processConstant (0.0f, 32, 32);
    EXPECT_EQ (harness.processor.getUiGridStep(), 9);
}

TEST (Clock, ANonFiniteTempoOrPositionCountsAsNone)
{
    // A grid and an LFO on the volume make both the tempo and the position audible.
    const auto render = [] (const std::function<void (tz::test::TestPlayHead&)>& changeBlock)
    {
        ProcessorHarness harness;
        harness.setValue (tz::volumeOn, 1.0f);
        harness.setValue (tz::modParam (0, tz::modField::mode), 0.0f);  // LFO
        harness.setValue (tz::modParam (0, tz::modField::shape), 0.0f); // sine
        harness.setValue (tz::modParam (0, tz::modField::rate), 9.0f);  // 1/4
        harness.setValue (tz::routeParam (0, tz::routeField::target), (float) tz::targetPosition (tz::volumeLevel));
        harness.setValue (tz::routeParam (0, tz::routeField::depth), -60.0f);
        harness.setValue (tz::routeParam (0, tz::routeField::source), 1.0f);
        harness.processor.setGridRow (tz::volume, { 0x5555, true });
        harness.prepare (512);

        std::vector<float> out;
        for (int block = 0; block < 40; ++block)
        {
            harness.playHead.playing = true;
            harness.playHead.bpm = 120.0;
            harness.playHead.ppq = block * 512 / 24000.0;
            if (block == 10)
                changeBlock (harness.playHead);

            const auto piece = harness.processConstant (0.5f, 512);
            out.insert (out.end(), piece.begin(), piece.end());
        }
        return out;
    };

    constexpr auto nan = std::numeric_limits<double>::quiet_NaN();
    constexpr auto inf = std::numeric_limits<double>::infinity();
    const auto noTempo = render ([] (auto& head) { head.bpm.reset(); });
    const auto noPosition = render ([] (auto& head) { head.ppq.reset(); });

    EXPECT_EQ (render ([=] (auto& head) { head.bpm = nan; }), noTempo);
    EXPECT_EQ (render ([=] (auto& head) { head.bpm = inf; }), noTempo);
    EXPECT_EQ (render ([=] (auto& head) { head.bpm = -inf; }), noTempo);
    EXPECT_EQ (render ([=] (auto& head) { head.ppq = nan; }), noPosition);
    EXPECT_EQ (render ([=] (auto& head) { head.ppq = -inf; }), noPosition);
}

TEST (Clock, ClampsTheHostTempo)
{
    const struct
    {
        std::optional<double> hostBpm;
        double effectiveBpm;
    } cases[] = { { 20.0, 40.0 }, { 400.0, 300.0 }, { 250.0, 250.0 }, { std::nullopt, 120.0 } };

    for (const auto& c : cases)
    {
        ProcessorHarness harness;
        harness.setValue (tz::gridRate, 0.0f); // 1/64: sixteen steps span a single beat
        harness.playHead.bpm = c.hostBpm;
        harness.processConstant (0.0f, 48100 - 16, 512);
        harness.processConstant (0.0f, 32, 32);

        const double midBeat = 48100.0 / 48000.0 * c.effectiveBpm / 60.0;
        const int expected = (int) std::floor (midBeat / 0.0625) % 16;
        EXPECT_EQ (harness.processor.getUiGridStep(), expected) << c.effectiveBpm;
    }
}
} // namespace
