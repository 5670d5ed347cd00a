#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "presets/PresetTestSupport.h"
#include "presets/RandomPatch.h"
#include "support/ProcessorHarness.h"

namespace
{
using namespace tz::test;

// Both presets play at the same level, one through full volume and -12 dB output, the other through a quarter
// volume and 0 dB output. Output gain is written before the volume level, so a load caught halfway from A to B
// plays four times too loud. Input gain stays put: the drive's latency line carries audio across a restart.
const char* const presetA = R"(<Tazzle presetName="A">
    <PARAM id="volume_on" value="1"/><PARAM id="volume_level" value="100"/><PARAM id="output_gain" value="-12"/></Tazzle>)";
const char* const presetB = R"(<Tazzle presetName="B" chainOrder="6,8,9,0,3,2,4,1,5,7" grid="1:1">
    <PARAM id="volume_on" value="1"/><PARAM id="volume_level" value="25.118864"/><PARAM id="output_gain" value="0"/></Tazzle>)";

struct OutputWatch
{
    float peak = 0.0f;
    float steepest = 0.0f;
    int nonFinite = 0;
    int silences = 0; // times the output faded all the way down
    float previous = 0.0f;
    bool silent = false;

    void check (const juce::AudioBuffer<float>& buffer)
    {
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
                if (! std::isfinite (buffer.getSample (ch, i)))
                    ++nonFinite;

            const float y = buffer.getSample (0, i);
            if (! std::isfinite (y))
                continue;

            peak = juce::jmax (peak, std::abs (y));
            steepest = juce::jmax (steepest, std::abs (y - previous));
            previous = y;

            if (! silent && y <= 0.0f)
                ++silences;
            silent = y <= 0.0f;
        }
    }
};

TEST (PresetHandOver, LoadsAgainstARunningAudioThreadRestartCleanly)
{
    ProcessorHarness harness; // 48 kHz: a 5 ms fade moves 1/240 of the level per sample
    constexpr float input = 0.2f;
    const float level = input * std::pow (10.0f, -12.0f / 20.0f);
    constexpr int blockSize = 64;

    const auto a = parse (presetA);
    const auto b = parse (presetB);

    juce::MemoryBlock blobA, blobB;
    {
        TazzleAudioProcessor other;
        other.loadPreset (*a);
        blobA = stateOf (other);
        other.loadPreset (*b);
        blobB = stateOf (other);
    }

    harness.processor.loadPreset (*a);
    ASSERT_NEAR (harness.processConstant (input, 4096, blockSize).back(), level, 1.0e-6f);

    OutputWatch watch;
    watch.previous = level;
    std::atomic<int> blocks { 0 };
    std::atomic<bool> stop { false };

    std::thread audio (
        [&]
        {
            juce::AudioBuffer<float> buffer (2, blockSize);
            while (! stop.load())
            {
                for (int ch = 0; ch < 2; ++ch)
                    juce::FloatVectorOperations::fill (buffer.getWritePointer (ch), input, blockSize);
                harness.processor.processBlock (buffer, harness.midi);
                watch.check (buffer);
                ++blocks;
            }
        });

    constexpr int loads = 3000;
    for (int i = 0; i < loads; ++i)
    {
        const bool toB = i % 2 == 0;
        if (i % 5 == 4)
            restore (harness.processor, toB ? blobB : blobA);
        else
            harness.processor.loadPreset (toB ? *b : *a);

        // Let the audio thread run between loads so that loads land at every point of a block.
        const int seen = blocks.load();
        while (blocks.load() < seen + 1 + i % 3)
            std::this_thread::yield();
    }

    stop = true;
    audio.join();

    RecordProperty ("silences", watch.silences);
    RecordProperty ("blocks", blocks.load());
    EXPECT_EQ (watch.nonFinite, 0);
    EXPECT_LE (watch.peak, level * 1.0001f);                       // never a mixture of the two presets
    EXPECT_LE (watch.steepest, level / 240.0f * 1.001f + 1.0e-7f); // every change is faded
    EXPECT_GT (watch.silences, loads / 10);                        // and the restarts did happen

    // The last load was A; after the hand-over the engine plays it.
    EXPECT_EQ (harness.processor.getPresetName(), "A");
    EXPECT_NEAR (harness.processConstant (input, 2048, blockSize).back(), level, 1.0e-6f);
    EXPECT_EQ (harness.processor.getChainOrder(), tz::defaultChainOrder);
}

TEST (PresetHandOver, EveryLoadFadesOutAndBackIn)
{
    ProcessorHarness harness;
    constexpr float level = 0.5f;
    harness.processConstant (level, 1024, 64);

    const auto preset = parse (R"(<Tazzle presetName="Quiet"><PARAM id="output_gain" value="-6"/></Tazzle>)");
    harness.processor.loadPreset (*preset);
    const auto out = harness.processConstant (level, 2048, 64);

    // Down over 240 samples at the old gain, then up over 240 at the new one; no step anywhere.
    const float quiet = level * std::pow (10.0f, -6.0f / 20.0f);
    const auto lowest = std::min_element (out.begin(), out.end());
    EXPECT_EQ (*lowest, 0.0f);
    EXPECT_NEAR (out[120], level * (1.0f - 121.0f / 240.0f), 1.0e-4f);
    EXPECT_NEAR (out.back(), quiet, 1.0e-6f);
    for (size_t i = 1; i < out.size(); ++i)
        ASSERT_LE (std::abs (out[i] - out[i - 1]), level / 240.0f + 1.0e-6f) << i;
}

TEST (PresetHandOver, RandomPatchRestartsOnlyOnceItIsComplete)
{
    ProcessorHarness harness;
    constexpr float input = 0.5f;
    harness.processConstant (input, 1024, 64);

    // The pad is set near the end of a random patch: audio processed at that moment must stay faded out
    // rather than restart on a patch that is only half built.
    struct AudioOnWrite : juce::AudioProcessorParameter::Listener
    {
        ProcessorHarness& harness;
        float last = -1.0f;
        explicit AudioOnWrite (ProcessorHarness& h)
            : harness (h)
        {
        }
        void parameterValueChanged (int, float) override { last = harness.processConstant (input, 2048, 64).back(); }
        void parameterGestureChanged (int, bool) override {}
    } listener (harness);

    auto* pad = harness.processor.getParameterState().getParameter ("xy_y");
    pad->addListener (&listener);
    juce::Random random (3);
    tz::makeRandomPatch (harness.processor, random);
    pad->removeListener (&listener);

    EXPECT_EQ (listener.last, 0.0f);
    for (const float sample : harness.processConstant (input, 4096, 64))
        ASSERT_TRUE (std::isfinite (sample));
}
} // namespace
