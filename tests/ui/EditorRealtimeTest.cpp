// The editor open while the host plays and automates: the audio thread must never wait on the message thread, and
// opening and closing the window while audio runs must be safe (the sanitizer build runs these too).

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "support/AllocationCounter.h"
#include "support/LockCounter.h"
#include "support/ProcessorHarness.h"
#include "ui/PluginEditor.h"
#include "updates/UpdateTestSupport.h"

namespace
{
constexpr int blockSize = 512;

// Plays `numBlocks` on an audio thread, each after host automation of `automated` parameters written there as a
// plug-in format writes them, while the message thread runs (the editor's timers included). Returns the
// allocations and mutex locks of the audio thread's blocks.
std::pair<std::size_t, std::size_t> playAutomated (tz::test::ProcessorHarness& harness, int numBlocks, int automated)
{
    auto& processor = harness.processor;
    juce::AudioBuffer<float> buffer (2, blockSize);
    std::atomic<bool> done { false };
    std::size_t allocations = 0, locks = 0;

    std::thread audio (
        [&]
        {
            juce::Random random (3);
            for (int block = 0; block < numBlocks; ++block)
            {
                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < blockSize; ++i)
                        buffer.setSample (ch, i, 0.2f * (random.nextFloat() - 0.5f));
                {
                    const tz::test::AllocationCounter allocationCounter;
                    const tz::test::LockCounter lockCounter;
                    for (int p = 0; p < automated; ++p)
                        processor.getParameters()[p]->setValueNotifyingHost ((float) ((block + p) % 7) / 6.0f);
                    processor.processBlock (buffer, harness.midi);
                    allocations += allocationCounter.count();
                    locks += lockCounter.count();
                }
                std::this_thread::sleep_for (std::chrono::milliseconds (2));
            }
            done = true;
        });

    tz::test::runMessagesUntil ([&] { return done.load(); }, 60000);
    audio.join();
    return { allocations, locks };
}
} // namespace

TEST (EditorRealtime, HostAutomationWithTheEditorOpenTakesNoLockOrAllocation)
{
    constexpr int numBlocks = 120, numAutomated = 20;

    tz::test::ProcessorHarness closedHarness;
    const auto closed = playAutomated (closedHarness, numBlocks, numAutomated);

    tz::test::ProcessorHarness openHarness;
    TazzleAudioProcessorEditor editor (openHarness.processor);
    const auto open = playAutomated (openHarness, numBlocks, numAutomated);

    EXPECT_EQ (closed.first, 0u);
    EXPECT_EQ (open.first, 0u);
    // Writing a parameter takes its own listener lock, as the framework does with or without an editor; the editor
    // adds none.
    EXPECT_LE (open.second, closed.second) << "mutex locks in " << numBlocks << " automated blocks";
}

TEST (EditorRealtime, OpeningAndClosingWhileAudioRunsIsSafe)
{
    tz::test::ProcessorHarness harness;
    std::atomic<bool> stop { false };

    std::thread audio (
        [&]
        {
            juce::AudioBuffer<float> buffer (2, blockSize);
            juce::Random random (5);
            auto& params = harness.processor.getParameters();
            while (! stop)
            {
                for (int n = 0; n < 8; ++n)
                    params[random.nextInt (params.size())]->setValueNotifyingHost (random.nextFloat());
                buffer.clear();
                harness.processor.processBlock (buffer, harness.midi);
                std::this_thread::sleep_for (std::chrono::milliseconds (1));
            }
        });

    for (int round = 0; round < 25; ++round)
    {
        std::optional<TazzleAudioProcessorEditor> editor;
        editor.emplace (harness.processor);
        editor->getMainPanel().refresh();
        if (round % 2 == 1)
            editor->getMainPanel().getGridTab().onClick();
        tz::test::runMessagesFor (15);
        editor->getMainPanel().refresh();
        editor.reset();
        tz::test::runMessagesFor (2);
    }

    stop = true;
    audio.join();
    SUCCEED();
}
