#include <gtest/gtest.h>

#include <sys/stat.h>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "presets/FactoryPresets.h"
#include "presets/RandomPatch.h"
#include "ui/PluginEditor.h"

using tz::test::findItem;
using tz::test::menuItems;

namespace
{
// Works in the test home's preset folder, and takes away what it added there.
struct BarFixture : ::testing::Test
{
    BarFixture()
    {
        TazzleAudioProcessor::installFactoryPresets();
        bar.setBounds (0, 0, 440, 24);
    }

    ~BarFixture() override
    {
        root.getChildFile ("Packs").deleteRecursively();
        root.getChildFile ("Gates").getChildFile ("MyPreset1.tzpreset").deleteFile();
        root.getSiblingFile ("Favorites.xml").deleteFile();
    }

    juce::File addPackPreset (const juce::String& pack, const juce::String& category, const juce::String& name)
    {
        const auto file =
            root.getChildFile ("Packs").getChildFile (pack).getChildFile (category).getChildFile (name + ".tzpreset");
        file.getParentDirectory().createDirectory();
        file.replaceWithText ("<Tazzle presetName=\"" + name + "\" presetCategory=\"" + category + "\"/>");
        return file;
    }

    juce::File root = TazzleAudioProcessor::presetFolder();
    TazzleAudioProcessor processor;
    PresetBar bar { processor };
};

const char* const noFileTooltip = "Load or save a preset to make it a favourite";
} // namespace

TEST_F (BarFixture, LayoutLeavesRoomForTheName)
{
    EXPECT_EQ (bar.getSaveButton().getBounds(), juce::Rectangle<int> (380, 0, 60, 24));
    EXPECT_EQ (bar.getPreviousButton().getBounds(), juce::Rectangle<int> (0, 0, 26, 24));
    EXPECT_EQ (bar.getNextButton().getBounds(), juce::Rectangle<int> (346, 0, 26, 24));
    EXPECT_EQ (bar.getStar().getBounds(), juce::Rectangle<int> (320, 0, 26, 24));
    EXPECT_EQ (bar.getBrowseButton().getBounds(), juce::Rectangle<int> (294, 0, 26, 24));
    EXPECT_EQ (bar.getNameButton().getBounds(), juce::Rectangle<int> (30, 0, 260, 24));

    bar.setBounds (0, 0, 50, 24);
    for (auto* child : bar.getChildren())
        EXPECT_GE (child->getWidth(), 0);
}

TEST_F (BarFixture, ShowsCategoryNameAndPack)
{
    EXPECT_EQ (bar.getNameButton().getButtonText(), "RHYTHMIC   Tazzle Machine"); // the welcome preset
    EXPECT_TRUE (bar.getStar().isEnabled());

    const auto kick = addPackPreset ("Drums", "Gates", "Kick");
    processor.loadPresetFile (kick);
    bar.refresh();
    EXPECT_EQ (bar.getNameButton().getButtonText(), "GATES   Kick   (Drums)");
    EXPECT_EQ (bar.currentFile(), kick);

    // Init, a random patch and a variation come from no file: no star.
    juce::Random random (3);
    const std::function<void()> patches[] = { [&] { processor.resetToInit(); },
                                              [&] { tz::makeRandomPatch (processor, random); },
                                              [&] { tz::makeVariation (processor, random); } };
    for (const auto& makePatch : patches)
    {
        makePatch();
        bar.refresh();
        EXPECT_FALSE (bar.getStar().isEnabled()) << processor.getPresetName();
        EXPECT_EQ (bar.getStar().getTooltip(), noFileTooltip);
    }
    EXPECT_EQ (bar.getNameButton().getButtonText(), "Random *");
}

TEST_F (BarFixture, StepsWrapAndStartFromInit)
{
    const auto entries = bar.presetEntries();
    ASSERT_GT (entries.size(), 2u);

    processor.resetToInit();
    bar.step (-1);
    EXPECT_EQ (bar.currentFile(), entries.back().file);
    bar.step (1);
    EXPECT_EQ (bar.currentFile(), entries.front().file);

    processor.resetToInit();
    bar.step (1);
    EXPECT_EQ (bar.currentFile(), entries.front().file);
    bar.step (-1);
    EXPECT_EQ (bar.currentFile(), entries.back().file);
}

TEST_F (BarFixture, SavingNamesThePatchAndEnablesTheStar)
{
    bar.saveAs ("  My/Preset:1 ", "Gates");
    EXPECT_TRUE (root.getChildFile ("Gates/MyPreset1.tzpreset").existsAsFile());
    EXPECT_EQ (bar.getNameButton().getButtonText(), "GATES   My/Preset:1");
    EXPECT_TRUE (bar.getStar().isEnabled());

    const auto before = bar.presetEntries().size();
    bar.saveAs ("   ", "Gates");
    EXPECT_EQ (bar.presetEntries().size(), before);
    EXPECT_EQ (processor.getPresetName(), "My/Preset:1");
}

TEST_F (BarFixture, MenuListsFavouritesCategoriesAndPacks)
{
    const auto kick = addPackPreset ("Drums", "Gates", "Kick");
    processor.loadPresetFile (kick);
    bar.refresh();
    bar.toggleFavourite();
    EXPECT_TRUE (bar.getStar().getToggleState());
    EXPECT_EQ (PresetBar::getFavorites(), juce::StringArray ({ "Packs/Drums/Gates/Kick.tzpreset" }));
    EXPECT_EQ (bar.getStar().getTooltip(), "A favourite: click to remove it from FAVORITES");

    const auto entries = bar.presetEntries();
    const auto menu = bar.buildPresetMenu (entries);
    const auto items = menuItems (menu);

    ASSERT_GE (items.size(), 5u);
    EXPECT_TRUE (items[0]->isSectionHeader);
    EXPECT_EQ (items[0]->text, "FAVORITES");
    EXPECT_EQ (items[1]->text, "Kick");
    EXPECT_TRUE (items[1]->isTicked);
    EXPECT_EQ (items[2]->text, "PRESETS");
    EXPECT_EQ (items[3]->itemID, PresetBar::initCode);
    EXPECT_EQ (items[3]->text, "Init (everything off)");

    juce::StringArray tops;
    for (auto* item : items)
        tops.add (item->text);
    EXPECT_GE (tops.indexOf ("PRESET PACKS"), 0);
    const auto* drums = items[(size_t) tops.indexOf ("Drums")];
    EXPECT_TRUE (drums->isTicked);
    EXPECT_EQ (menuItems (*drums->subMenu)[0]->text, "Gates");
    EXPECT_FALSE (items[(size_t) tops.indexOf ("Gates")]->isTicked); // the main folder's Gates holds no current
    EXPECT_EQ (tops[tops.size() - 3], "Save preset...");
    EXPECT_EQ (tops[tops.size() - 2], "Install preset pack...");
    EXPECT_EQ (tops[tops.size() - 1], "Show presets folder");

    // Choosing an entry loads it; an index outside the list does nothing.
    const int first = 0;
    bar.handlePresetMenuResult (PresetBar::firstEntryCode + first, entries);
    EXPECT_EQ (bar.currentFile(), entries[first].file);
    bar.handlePresetMenuResult (PresetBar::firstEntryCode + (int) entries.size(), entries);
    EXPECT_EQ (bar.currentFile(), entries[first].file);
    bar.handlePresetMenuResult (PresetBar::initCode, entries);
    EXPECT_EQ (processor.getPresetName(), "Init");
}

TEST_F (BarFixture, DroppedPacksAreInstalledAndOtherFilesIgnored)
{
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    juce::StringArray reported;
    panel.getPresetBar().reportPackInstallation =
        [&reported] (const tz::PackInstallation& result, const juce::File& pack)
    { reported.add (result.message (pack)); };

    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("tazzle-drop");
    folder.createDirectory();
    const auto pack = folder.getChildFile ("Drums.TZPACK");
    {
        juce::ZipFile::Builder builder;
        const juce::String text = "<Tazzle presetName=\"Kick\"/>";
        builder.addEntry (new juce::MemoryInputStream (text.toRawUTF8(), text.getNumBytesAsUTF8(), true), 9,
                          "Gates/Kick.tzpreset", juce::Time::getCurrentTime());
        juce::FileOutputStream out (pack);
        builder.writeToStream (out, nullptr);
    }

    const juce::StringArray dropped { folder.getFullPathName(), pack.getFullPathName(),
                                      folder.getChildFile ("a.wav").getFullPathName() };
    ASSERT_TRUE (panel.isInterestedInFileDrag (dropped));
    panel.filesDropped (dropped, 10, 10);

    EXPECT_EQ (reported,
               juce::StringArray ({ "Drums: 1 presets.\n\nYou'll find them in the preset menu, under PRESET PACKS." }));
    EXPECT_TRUE (root.getChildFile ("Packs/Drums/Gates/Kick.tzpreset").existsAsFile());
    folder.deleteRecursively();
}

TEST_F (BarFixture, StepsAndStarsFollowTheFileLoadedWhateverItsName)
{
    // Packs often number their files: "01 Kick.tzpreset" holds the preset "Kick".
    const auto drums = root.getChildFile ("Packs/Drums/Gates");
    drums.createDirectory();
    const auto kick = drums.getChildFile ("01 Kick.tzpreset"), snare = drums.getChildFile ("02 Snare.tzpreset");
    kick.replaceWithText ("<Tazzle presetName=\"Kick\" presetCategory=\"Gates\"/>");
    snare.replaceWithText ("<Tazzle presetName=\"Snare\" presetCategory=\"Gates\"/>");

    processor.loadPresetFile (kick);
    bar.refresh();
    EXPECT_EQ (bar.currentFile(), kick);
    EXPECT_TRUE (bar.getStar().isEnabled());
    bar.step (1);
    EXPECT_EQ (bar.currentFile(), snare);
    bar.step (-1);
    EXPECT_EQ (bar.currentFile(), kick);

    // Once the patch is no longer that file's (a random patch), no file is current.
    juce::Random random (5);
    tz::makeRandomPatch (processor, random);
    EXPECT_EQ (bar.currentFile(), juce::File());
}

TEST_F (BarFixture, SavesAndFavouritesThatCannotBeWrittenAreReported)
{
    juce::StringArray reports;
    bar.reportFailure = [&reports] (const juce::String& title, const juce::String& message)
    { reports.add (title + ": " + message); };

    EXPECT_TRUE (bar.saveAs ("My/Preset:1", "Gates"));
    const auto saved = root.getChildFile ("Gates/MyPreset1.tzpreset");
    ::chmod (saved.getFullPathName().toRawUTF8(), 0444);
    processor.resetToInit();

    EXPECT_FALSE (bar.saveAs ("My/Preset:1", "Gates"));
    EXPECT_FALSE (bar.saveAs (":*?", "Gates"));
    EXPECT_EQ (processor.getPresetName(), "Init"); // the name shows no save that did not happen
    ASSERT_EQ (reports.size(), 2);
    EXPECT_TRUE (reports[0].startsWith ("Save preset: Tazzle could not save \"My/Preset:1\".")) << reports[0];
    EXPECT_TRUE (reports[1].contains ("nothing that can be used in a file name")) << reports[1];
    ::chmod (saved.getFullPathName().toRawUTF8(), 0644);

    processor.loadPresetFile (saved);
    bar.refresh();
    const auto favourites = root.getSiblingFile ("Favorites.xml");
    favourites.replaceWithText ("<FAVORITES/>");
    ::chmod (favourites.getFullPathName().toRawUTF8(), 0444);
    bar.toggleFavourite();
    EXPECT_FALSE (bar.getStar().getToggleState());
    ASSERT_EQ (reports.size(), 3);
    EXPECT_TRUE (reports[2].startsWith ("Favourites: Tazzle could not change your favourites.")) << reports[2];
    EXPECT_EQ (favourites.loadFileAsString(), "<FAVORITES/>");
    ::chmod (favourites.getFullPathName().toRawUTF8(), 0644);
}

TEST_F (BarFixture, TheFirstEditorOnANewMachineStarsTheWelcomePreset)
{
    root.getChildFile (tz::factoryMarkerName()).deleteFile();
    root.getChildFile ("Rhythmic/Tazzle Machine.tzpreset").deleteFile();

    TazzleAudioProcessor fresh;
    TazzleAudioProcessorEditor editor (fresh);
    EXPECT_TRUE (editor.getMainPanel().getPresetBar().getStar().isEnabled());
}
