#include <gtest/gtest.h>

#include "support/AllocationCounter.h"
#include "support/ProcessorHarness.h"

namespace
{
using tz::test::AllocationCounter;

// Turns every effect on and exercises the paths that restart or fade while audio runs.
void processVariedBlocks (tz::test::ProcessorHarness& harness, int numChannels, std::size_t& allocations)
{
    const int blockSizes[] = { 1, 31, 32, 33, 100, 512, 4096 };
    juce::Random random (1);

    for (const int size : blockSizes)
    {
        juce::AudioBuffer<float> buffer (numChannels, size);
        for (int ch = 0; ch < numChannels; ++ch)
            for (int i = 0; i < size; ++i)
                buffer.setSample (ch, i, random.nextFloat() * 2.0f - 1.0f);

        for (int repeat = 0; repeat < 8; ++repeat)
        {
            if (repeat == 3)
            {
                harness.processor.beginStateChange();
                harness.processor.endStateChange();
            }

            const AllocationCounter counter;
            harness.processor.processBlock (buffer, harness.midi);
            if (repeat == 5)
                harness.processor.processBlockBypassed (buffer, harness.midi);
            allocations += counter.count();
        }
    }
}

TEST (RealtimeSafety, CounterSeesEveryKindOfAllocation)
{
    const AllocationCounter counter;
    const auto boxed = std::make_unique<std::vector<int>> (100);
    const juce::HeapBlock<float> block (64);
    const juce::String text ("allocated on purpose, long enough to leave any small-string buffer");
    EXPECT_GE (counter.count(), 3u);
    EXPECT_EQ (boxed->size(), 100u);
    EXPECT_TRUE (text.isNotEmpty() && block != nullptr);
}

TEST (RealtimeSafety, ProcessBlockNeverAllocates)
{
    for (const double rate : { 44100.0, 48000.0, 96000.0 })
    {
        for (const int channels : { 1, 2 })
        {
            tz::test::ProcessorHarness harness (rate, channels, 4096);
            for (int e = 0; e < tz::numEffects; ++e)
            {
                harness.setValue (tz::effectParams[(size_t) e].on, 1.0f);
                harness.processor.setGridRow ((tz::EffectId) e, { 0x5555, e % 2 == 0 });
            }
            harness.setValue (tz::grainDensity, 60.0f);
            harness.setValue (tz::grainSize, 500.0f);
            harness.prepare (4096);

            std::size_t allocations = 0;
            processVariedBlocks (harness, channels, allocations);

            auto order = tz::defaultChainOrder;
            std::swap (order[2], order[7]);
            harness.processor.setChainOrder (order);
            processVariedBlocks (harness, channels, allocations);

            EXPECT_EQ (allocations, 0u) << rate << " Hz, " << channels << " channels";
        }
    }
}
} // namespace
