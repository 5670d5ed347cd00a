#include <gtest/gtest.h>

#include "core/PluginProcessor.h"
#include "presets/PresetLibrary.h"
#include "ui/PresetBrowser.h"

namespace
{
// The whole saved state as text, as a host would store it.
juce::String stateDocument (TazzleAudioProcessor& processor)
{
    juce::MemoryBlock state;
    processor.getStateInformation (state);
    const auto xml = juce::AudioProcessor::getXmlFromBinary (state.getData(), (int) state.getSize());
    return xml != nullptr ? xml->toString() : juce::String();
}

struct BrowserFixture : ::testing::Test
{
    BrowserFixture()
    {
        TazzleAudioProcessor::installFactoryPresets();
        browser.setBounds (0, 0, 1000, 400);
    }

    ~BrowserFixture() override { root.getChildFile ("User/Browser Test.tzpreset").deleteFile(); }

    juce::String selectedName() const
    {
        const int row = browser.getSelectedRow();
        return row < 0 ? juce::String()
                       : browser.getIndex().getItems()[(size_t) browser.getShown()[(size_t) row]].entry.name();
    }

    juce::File root = TazzleAudioProcessor::presetFolder();
    TazzleAudioProcessor processor;
    PresetBrowser browser { processor };
};
} // namespace

TEST_F (BrowserFixture, ArrowsAuditionEnterKeepsEscapeReturnsToTheUnsavedPatch)
{
    // The welcome preset with an unsaved change.
    processor.setValue (tz::P::filterCutoff, 1234.0f);
    const auto before = stateDocument (processor);

    browser.open();
    browser.setFilter ({ "gate" });
    ASSERT_GE (browser.getShown().size(), 3u);
    EXPECT_EQ (browser.getSelectedRow(), -1); // the playing preset is not a gate

    EXPECT_TRUE (browser.keyPressed (juce::KeyPress (juce::KeyPress::downKey)));
    EXPECT_EQ (processor.getPresetName(), selectedName());
    browser.keyPressed (juce::KeyPress (juce::KeyPress::downKey));
    const auto second = selectedName();
    EXPECT_EQ (processor.getPresetName(), second);

    browser.keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
    EXPECT_FALSE (browser.isOpen());
    EXPECT_EQ (stateDocument (processor), before);

    browser.open();
    browser.setFilter ({ "gate" });
    browser.keyPressed (juce::KeyPress (juce::KeyPress::downKey));
    browser.keyPressed (juce::KeyPress (juce::KeyPress::downKey));
    browser.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    EXPECT_FALSE (browser.isOpen());
    EXPECT_EQ (processor.getPresetName(), second);
    EXPECT_NE (stateDocument (processor), before);
}

TEST_F (BrowserFixture, FollowsSavesAndStarsFavourites)
{
    browser.open();
    browser.setFilter ({ "browser test" });
    EXPECT_TRUE (browser.getShown().empty());

    // A preset saved elsewhere while the browser is open appears at the next refresh.
    ASSERT_TRUE (tz::PresetLibrary (root).save (processor.getParameterState().state, "Browser Test", "User").wasOk());
    browser.refresh();
    ASSERT_EQ (browser.getShown().size(), 1u);

    // A click on the star column makes it a favourite; "favourites only" then still shows it.
    auto* row = browser.getList().getComponentAt (5, 5);
    ASSERT_NE (row, nullptr);
    const juce::MouseEvent click (juce::Desktop::getInstance().getMainMouseSource(), { 5.0f, 5.0f }, {}, 1.0f, 0.0f,
                                  0.0f, 0.0f, 0.0f, row, row, juce::Time::getCurrentTime(), { 5.0f, 5.0f },
                                  juce::Time::getCurrentTime(), 1, false);
    row->mouseDown (click);
    row->mouseUp (click);
    const auto file = browser.getIndex().getItems()[(size_t) browser.getShown()[0]].entry.file;
    EXPECT_TRUE (tz::PresetLibrary (root).isFavourite (file));
    browser.setFilter ({ "browser", "", true, tz::PresetSource::factory, "", true });
    EXPECT_EQ (browser.getShown().size(), 1u);

    tz::PresetLibrary (root).toggleFavourite (file);
    browser.close (true);
}
