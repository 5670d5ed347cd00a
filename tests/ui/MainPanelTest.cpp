#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "presets/FactoryPresets.h"
#include "presets/StateDocument.h"
#include "support/ProcessorHarness.h"
#include "ui/PluginEditor.h"

using tz::test::findItem;
using tz::test::menuItems;

namespace
{
struct EditorFixture : ::testing::Test
{
    juce::ValueTree state() { return processor.getParameterState().state; }
    float storedScale() { return (float) state().getProperty (tz::stateIds::uiScale); }

    TazzleAudioProcessor processor;
};
} // namespace

TEST_F (EditorFixture, MainPanelRectanglesFollowTheDesign)
{
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    ASSERT_EQ (panel.getBounds(), juce::Rectangle<int> (0, 0, 1600, 820));

    const struct
    {
        const char* name;
        juce::Component& component;
        juce::Rectangle<int> bounds;
    } cases[] = {
        { "preset bar", panel.getPresetBar(), { 620, 19, 440, 24 } },
        { "RANDOM", panel.getRandomButton(), { 1084, 19, 84, 24 } },
        { "MUTATE", panel.getMutateButton(), { 1176, 19, 84, 24 } },
        { "SETTINGS", panel.getSettingsButton(), { 1476, 19, 84, 24 } },
        { "update notice", panel.getUpdateNotice(), { 804, 57, 780, 22 } },
        { "chain viewport", panel.getChainViewport(), { 16, 80, 1568, 340 } },
        { "XY pad", panel.getXYPad(), { 1238, 424, 236, 384 } },
        { "modulator section", panel.getModulatorSection(), { 16, 424, 1224, 384 } },
        { "grid view", panel.getGridView(), { 16, 424, 1224, 384 } },
        { "MODULATORS tab", panel.getModulatorsTab(), { 34, 436, 100, 22 } },
        { "FX GRID tab", panel.getGridTab(), { 138, 436, 76, 22 } },
        { "INPUT", panel.getMasterKnob (0), { 1488, 462, 80, 104 } },
        { "MIX", panel.getMasterKnob (1), { 1488, 572, 80, 104 } },
        { "OUTPUT", panel.getMasterKnob (2), { 1488, 682, 80, 104 } },
    };

    for (const auto& c : cases)
        EXPECT_EQ (c.component.getBounds(), c.bounds) << c.name;

    EXPECT_FALSE (panel.getUpdateNotice().isVisible());
    EXPECT_EQ (panel.getMasterKnob (1).getParameter(), tz::mix);
    EXPECT_EQ (panel.getMasterKnob (2).getCaption().getText(), "OUTPUT");
    EXPECT_EQ (panel.getRandomButton().getButtonText(), "RANDOM");
}

TEST_F (EditorFixture, OpeningInstallsTheFactoryPresetsWhenTheirMarkerIsMissing)
{
    const auto folder = TazzleAudioProcessor::presetFolder();
    folder.getChildFile (tz::factoryMarkerName()).deleteFile();
    folder.getChildFile ("Gates").deleteRecursively();

    TazzleAudioProcessorEditor editor (processor);
    EXPECT_TRUE (folder.getChildFile (tz::factoryMarkerName()).existsAsFile());
    EXPECT_GT (folder.getChildFile ("Gates").getNumberOfChildFiles (juce::File::findFiles, "*.tzpreset"), 0);
}

TEST_F (EditorFixture, ScaleFollowsTheWidthAndIsRemembered)
{
    {
        TazzleAudioProcessorEditor editor (processor);
        EXPECT_EQ (editor.getBounds(), juce::Rectangle<int> (0, 0, 1360, 697)); // a new instance opens at 85 %
        EXPECT_TRUE (findItem (*findItem (editor.getMainPanel().buildSettingsMenu(), 0)->subMenu, 85)->isTicked);

        editor.setSize (1200, 615);
        EXPECT_FLOAT_EQ (storedScale(), 0.75f);
        EXPECT_EQ (editor.getMainPanel().getTransform(), juce::AffineTransform::scale (0.75f));
        EXPECT_EQ (editor.getMainPanel().getBounds(), juce::Rectangle<int> (0, 0, 1600, 820));
    }
    {
        TazzleAudioProcessorEditor reopened (processor);
        EXPECT_EQ (reopened.getBounds(), juce::Rectangle<int> (0, 0, 1200, 615));

        reopened.getMainPanel().handleSettingsMenuResult (110);
        EXPECT_EQ (reopened.getBounds(), juce::Rectangle<int> (0, 0, 1760, 902));
        EXPECT_FLOAT_EQ (storedScale(), 1.1f);

        const auto sizes = *findItem (reopened.getMainPanel().buildSettingsMenu(), 0)->subMenu;
        EXPECT_TRUE (findItem (sizes, 110)->isTicked);
        EXPECT_FALSE (findItem (sizes, 85)->isTicked);

        // A host that forces the window narrower still gets the smallest scale.
        reopened.setSize (800, 410);
        EXPECT_FLOAT_EQ (storedScale(), 0.6f);

        const auto* constrainer = reopened.getConstrainer();
        ASSERT_NE (constrainer, nullptr);
        EXPECT_EQ (constrainer->getMinimumWidth(), 960);
        EXPECT_EQ (constrainer->getMaximumHeight(), 1025);
        EXPECT_DOUBLE_EQ (constrainer->getFixedAspectRatio(), 1600.0 / 820.0);
        EXPECT_TRUE (reopened.isResizable());
    }

    const struct
    {
        juce::var stored;
        juce::Rectangle<int> bounds;
    } stored[] = { { 3.0, { 0, 0, 2000, 1025 } }, { 0.1, { 0, 0, 960, 492 } }, { "junk", { 0, 0, 960, 492 } } };
    for (const auto& s : stored)
    {
        state().setProperty (tz::stateIds::uiScale, s.stored, nullptr);
        TazzleAudioProcessorEditor editor (processor);
        EXPECT_EQ (editor.getBounds(), s.bounds) << s.stored.toString();
    }
}

TEST_F (EditorFixture, SettingsMenuHoldsEveryItemInOrder)
{
    TazzleAudioProcessorEditor editor (processor);
    const auto menu = editor.getMainPanel().buildSettingsMenu();
    const auto items = menuItems (menu);

    const struct
    {
        int id;
        const char* text;
        bool enabled, ticked, header, separator;
    } expected[] = {
        { 0, "Window size", true, false, false, false },
        { 0, "", true, false, false, true },
        { 2000, "Install preset pack...", true, false, false, false },
        { 2001, "Show presets folder", true, false, false, false },
        { 0, "UPDATES", true, false, true, false },
        { 4000, "Check for updates now", true, false, false, false },
        // The test home switches the automatic check off.
        { 4001, "Check for updates automatically", true, false, false, false },
        { 0, "", true, false, false, true },
        { 1000, "www.quarrowtools.com", true, false, false, false },
        { 1001, "Tazzle 1.0.2 by Quarrow", false, false, false, false },
    };

    ASSERT_EQ (items.size(), std::size (expected));
    for (size_t i = 0; i < items.size(); ++i)
    {
        const auto& item = *items[i];
        const auto& e = expected[i];
        EXPECT_EQ (item.itemID, e.id) << i;
        EXPECT_EQ (item.text, e.text) << i;
        EXPECT_EQ (item.isEnabled, e.enabled) << item.text;
        EXPECT_EQ (item.isTicked, e.ticked) << item.text;
        EXPECT_EQ (item.isSectionHeader, e.header) << i;
        EXPECT_EQ (item.isSeparator, e.separator) << i;
    }

    ASSERT_NE (items[0]->subMenu, nullptr);
    juce::StringArray labels;
    for (auto* size : menuItems (*items[0]->subMenu))
    {
        labels.add (size->text);
        EXPECT_EQ (size->text, juce::String (size->itemID) + " %");
    }
    EXPECT_EQ (labels.joinIntoString (","), "60 %,65 %,70 %,75 %,80 %,85 %,90 %,100 %,110 %,125 %");

    // Dismissing the menu changes nothing.
    editor.getMainPanel().handleSettingsMenuResult (0);
    EXPECT_EQ (editor.getWidth(), 1360);
}

TEST_F (EditorFixture, WindowSizesThatDoNotFitTheScreenAreDisabled)
{
    EXPECT_FLOAT_EQ (MainPanel::scaleFitting ({ 0, 0, 1920, 1050 }), 1.2f);
    EXPECT_FLOAT_EQ (MainPanel::scaleFitting ({ 0, 0, 2560, 1400 }), 1.25f);
    EXPECT_FLOAT_EQ (MainPanel::scaleFitting ({ 0, 0, 1366, 728 }), 1366.0f / 1600.0f);
    EXPECT_FLOAT_EQ (MainPanel::scaleFitting ({ 0, 0, 800, 600 }), 0.6f); // never below the smallest size

    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    panel.usableScreenArea = [] { return juce::Rectangle<int> (0, 25, 1920, 1050); };
    const auto menu = panel.buildSettingsMenu();
    const auto& sizes = *menuItems (menu)[0]->subMenu;
    for (const int percent : { 60, 85, 100, 110 })
        EXPECT_TRUE (findItem (sizes, percent)->isEnabled) << percent;
    EXPECT_FALSE (findItem (sizes, 125)->isEnabled); // 2000 x 1025 is wider than the screen
}

TEST_F (EditorFixture, PresetPacksAreTheOnlyFilesOfInterest)
{
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();

    EXPECT_TRUE (panel.isInterestedInFileDrag ({ "/home/me/Downloads", "/home/me/Downloads/Drums.TZPACK" }));
    EXPECT_TRUE (panel.isInterestedInFileDrag ({ "Pads.tzpack" }));
    EXPECT_FALSE (panel.isInterestedInFileDrag ({ "/home/me/loop.wav", "/home/me/tzpack" }));
    EXPECT_FALSE (panel.isInterestedInFileDrag ({}));
}

TEST_F (EditorFixture, TabsSwitchThePage)
{
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    EXPECT_TRUE (panel.getModulatorSection().isVisible());
    EXPECT_FALSE (panel.getGridView().isVisible());
    EXPECT_TRUE (panel.getModulatorsTab().getToggleState());

    panel.getGridTab().onClick();
    EXPECT_FALSE (panel.getModulatorSection().isVisible());
    EXPECT_TRUE (panel.getGridView().isVisible());
    EXPECT_TRUE (panel.getGridTab().getToggleState());
    EXPECT_FALSE (panel.getModulatorsTab().getToggleState());

    panel.getModulatorsTab().onClick();
    EXPECT_TRUE (panel.getModulatorSection().isVisible());
    EXPECT_FALSE (panel.getGridTab().getToggleState());

    // A second editor for the same processor starts on the modulators again.
    panel.getGridTab().onClick();
    TazzleAudioProcessorEditor second (processor);
    EXPECT_TRUE (second.getMainPanel().getModulatorSection().isVisible());
}

TEST_F (EditorFixture, RandomAndMutateChangeThePatch)
{
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();

    panel.getRandomButton().onClick();
    EXPECT_EQ (processor.getPresetName(), "Random");

    panel.getMutateButton().onClick();
    EXPECT_EQ (processor.getPresetName(), "Random *");
}

TEST_F (EditorFixture, ModulatorChosenOnAKnobSelectsItOnThePage)
{
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    auto& mix = panel.getMasterKnob (1);

    mix.handleModulationMenuResult (3);
    EXPECT_EQ (panel.getModulatorSection().getSelectedModulator(), 2);
    EXPECT_TRUE (panel.getModulatorSection().isVisible());

    panel.getGridTab().onClick();
    mix.handleModulationMenuResult (4);
    EXPECT_EQ (panel.getModulatorSection().getSelectedModulator(), 3);
    EXPECT_TRUE (panel.getGridView().isVisible()); // the page shown stays
}

TEST_F (EditorFixture, IdleRefreshRepaintsNothing)
{
    processor.addRoute (0, tz::mix);
    processor.toggleLock (tz::outputGain);

    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    auto& repaints = tz::test::RepaintCounter::attachTo (panel);

    panel.refresh();
    const int first = repaints.count;
    EXPECT_GT (first, 0); // the routed and locked knobs, at least

    for (int i = 0; i < 60; ++i)
        panel.refresh();
    EXPECT_EQ (repaints.count, first);

    panel.getGridTab().onClick();
    panel.refresh();
    const int onGrid = repaints.count;
    for (int i = 0; i < 60; ++i)
        panel.refresh();
    EXPECT_EQ (repaints.count, onGrid);
}

TEST (EditorRefresh, GridPageRepaintsWhenTheStepMoves)
{
    tz::test::ProcessorHarness harness;
    harness.playHead.playing = true;
    harness.playHead.ppq = 0.0;

    TazzleAudioProcessorEditor editor (harness.processor);
    auto& panel = editor.getMainPanel();
    panel.getGridTab().onClick();
    panel.refresh();
    auto& repaints = tz::test::RepaintCounter::attachTo (panel.getGridView());

    panel.refresh();
    EXPECT_EQ (repaints.count, 0);

    // One sixteenth at 120 BPM and 48 kHz is 6000 samples.
    const int stepBefore = harness.processor.getUiGridStep();
    harness.processConstant (0.0f, 6400);
    ASSERT_NE (harness.processor.getUiGridStep(), stepBefore);
    panel.refresh();
    panel.refresh();
    EXPECT_EQ (repaints.count, 1);
}
