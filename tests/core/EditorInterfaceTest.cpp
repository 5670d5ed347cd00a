#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "presets/XmlReader.h"

namespace
{
std::unique_ptr<juce::XmlElement> savedState (TazzleAudioProcessor& processor)
{
    juce::MemoryBlock blob;
    processor.getStateInformation (blob);
    return tz::readHostBlob (blob.getData(), (int) blob.getSize());
}
} // namespace

TEST (EditorInterface, StateWritesReachTheHostsSave)
{
    TazzleAudioProcessor processor;
    processor.setUiScale (1.1);
    processor.setFoldedEffects (37);
    processor.setSavedAs ("Round Trip", "Space");

    const auto saved = savedState (processor);
    ASSERT_NE (saved, nullptr);
    EXPECT_DOUBLE_EQ (saved->getDoubleAttribute (tz::stateIds::uiScale), 1.1);
    EXPECT_EQ (saved->getIntAttribute (tz::stateIds::folded), 37);
    EXPECT_EQ (saved->getStringAttribute (tz::stateIds::presetName), "Round Trip");
    EXPECT_EQ (saved->getStringAttribute (tz::stateIds::presetCategory), "Space");
    EXPECT_EQ (saved->getStringAttribute (tz::stateIds::presetPack), "");
    EXPECT_FLOAT_EQ (processor.getUiScale (0.85f), 1.1f);
    EXPECT_EQ (processor.getFoldedEffects(), 37);

    processor.restorePresetOrigin ("Drums", "A Pack");
    EXPECT_EQ (processor.getPresetCategory(), "Drums");
    EXPECT_EQ (processor.getPresetPack(), "A Pack");
}

// A host may save on a thread of its own while the editor writes: every save must still be a whole state.
TEST (EditorInterface, AHostSavingOnAnotherThreadNeverSeesAHalfWrittenState)
{
    TazzleAudioProcessor processor;
    std::atomic<bool> done { false };
    std::atomic<int> broken { 0 }, saves { 0 };

    std::thread host (
        [&]
        {
            while (! done.load())
            {
                const auto saved = savedState (processor);
                if (saved == nullptr || ! saved->hasAttribute (tz::stateIds::presetName))
                    ++broken;
                ++saves;
            }
        });

    for (int i = 0; i < 4000 || saves.load() < 20; ++i)
    {
        processor.setUiScale (0.6 + (i % 60) / 100.0);
        processor.setFoldedEffects (i & 1023);
        processor.setSavedAs ("Take " + juce::String (i), "Space");
    }
    done = true;
    host.join();

    EXPECT_EQ (broken.load(), 0);
}

TEST (EditorInterface, ParameterRevisionsMoveWithTheirParametersOnly)
{
    TazzleAudioProcessor processor;
    const auto revision = [&processor] (int p) { return processor.getParameterRevision (p, p + 1); };
    constexpr int route = tz::routeParam (3, tz::routeField::depth);

    const auto cutoffBefore = revision (tz::filterCutoff), routeBefore = revision (route);

    processor.setValue (tz::filterCutoff, 1234.0f);
    EXPECT_NE (revision (tz::filterCutoff), cutoffBefore);
    EXPECT_EQ (revision (route), routeBefore);

    // A write from another thread, as a host's automation, moves it as well.
    std::thread ([&processor] { processor.getHostParameter (route).setValueNotifyingHost (0.9f); }).join();
    EXPECT_NE (revision (route), routeBefore);
}
