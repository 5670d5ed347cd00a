// Undo and redo from the editor: every kind of user action is one step that takes the state document back to where
// it was and forward again; the host's own moves are never recorded nor undone.

#include <gtest/gtest.h>

#include <thread>

#include "UiTestSupport.h"
#include "UserEdits.h"
#include "core/PluginProcessor.h"
#include "presets/PresetLibrary.h"
#include "ui/PluginEditor.h"

using tz::test::click;
using tz::test::dragAcross;
using tz::test::Editing;
using tz::test::mouseEvent;

namespace
{
juce::String stateDocument (TazzleAudioProcessor& processor)
{
    return processor.getParameterState().copyState().createXml()->toString();
}

void setFromHost (TazzleAudioProcessor& processor, int p, float plainValue)
{
    auto& param = *processor.getParameters()[p];
    auto& ranged = dynamic_cast<juce::RangedAudioParameter&> (param);
    param.setValueNotifyingHost (ranged.convertTo0to1 (plainValue));
}
} // namespace

TEST (Undo, EveryUserActionIsOneStepThatUndoesAndRedoesTheWholeDocument)
{
    for (const auto& edit : tz::test::userEdits())
    {
        SCOPED_TRACE (edit.name);
        TazzleAudioProcessor processor;
        processor.setValue (tz::modParam (0, tz::modField::mode), 1.0f);
        TazzleAudioProcessorEditor editor (processor);
        Editing editing { processor, editor.getMainPanel() };
        edit.setUp (editing);
        editing.panel.refresh();
        auto& history = processor.getUndoHistory();
        history.clear();

        const auto before = stateDocument (processor);
        edit.perform (editing);
        editing.panel.refresh();
        const auto after = stateDocument (processor);
        ASSERT_NE (before, after) << "the action changed nothing";

        EXPECT_EQ (history.size(), (size_t) edit.steps);
        if (edit.steps == 0)
            continue;
        EXPECT_TRUE (editing.panel.getUndoButton().isEnabled());
        EXPECT_FALSE (editing.panel.getRedoButton().isEnabled());

        for (int step = 0; step < edit.steps; ++step)
            editing.panel.undo();
        EXPECT_EQ (stateDocument (processor), before);
        EXPECT_FALSE (editing.panel.getUndoButton().isEnabled());
        EXPECT_TRUE (editing.panel.getRedoButton().isEnabled());

        for (int step = 0; step < edit.steps; ++step)
            editing.panel.redo();
        EXPECT_EQ (stateDocument (processor), after);
        EXPECT_FALSE (history.canRedo());
    }
}

TEST (Undo, TheButtonsAndTheKeysNameTheStepAndDoIt)
{
    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    EXPECT_EQ (panel.getUndoButton().getTooltip(), "Nothing to undo");

    const float feedback = processor.getValue (tz::delayFeedback);
    tz::ui::setAsGesture (processor, tz::delayFeedback, 70.0f);
    panel.refresh();
    EXPECT_EQ (panel.getUndoButton().getTooltip(), "Undo: Delay Feedback");

    panel.getMutateButton().onClick();
    panel.refresh();
    EXPECT_EQ (panel.getUndoButton().getTooltip(), "Undo: MUTATE");

    panel.showModulatorsPage (false);
    auto& grid = panel.getGridView();
    click (grid, grid.cellBounds (2, 5).getCentre().toFloat());
    panel.refresh();
    EXPECT_EQ (panel.getUndoButton().getTooltip(), "Undo: grid edit");

    constexpr auto command = juce::ModifierKeys::commandModifier, shift = juce::ModifierKeys::shiftModifier;
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE (panel.keyPressed (juce::KeyPress ('z', command, 0)));
    EXPECT_EQ (processor.getValue (tz::delayFeedback), feedback);
    EXPECT_EQ (panel.getRedoButton().getTooltip(), "Redo: Delay Feedback");

    EXPECT_TRUE (panel.keyPressed (juce::KeyPress ('y', command, 0)));
    EXPECT_TRUE (panel.keyPressed (juce::KeyPress ('z', command | shift, 0)));
    EXPECT_EQ (panel.getUndoButton().getTooltip(), "Undo: MUTATE");
    EXPECT_FALSE (panel.keyPressed (juce::KeyPress ('z')));

    // A new action after an undo drops what could have been redone.
    panel.undo();
    tz::ui::setAsGesture (processor, tz::delayMix, 10.0f);
    EXPECT_FALSE (processor.getUndoHistory().canRedo());
    EXPECT_EQ (processor.getUndoHistory().size(), 2u);
}

TEST (Undo, HostAutomationDuringAndBetweenActionsIsNeitherRecordedNorUndone)
{
    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    auto& history = processor.getUndoHistory();
    const float cutoff = processor.getValue (tz::filterCutoff);

    // The host moves a parameter while the user drags the cutoff knob.
    auto& dial = panel.getEffectPanel (tz::EffectId::filter).getKnobs()[0]->getDial();
    const auto centre = dial.getLocalBounds().getCentre().toFloat();
    dial.mouseDown (mouseEvent (dial, centre, juce::ModifierKeys::leftButtonModifier, centre));
    dial.mouseDrag (
        mouseEvent (dial, centre + juce::Point<float> (0.0f, -40.0f), juce::ModifierKeys::leftButtonModifier, centre));
    setFromHost (processor, tz::delayMix, 77.0f);
    dial.mouseUp (mouseEvent (dial, centre + juce::Point<float> (0.0f, -40.0f), {}, centre));
    ASSERT_NE (processor.getValue (tz::filterCutoff), cutoff);

    // And again between actions, on a parameter of its own and on the one the user moved.
    setFromHost (processor, tz::reverbMix, 33.0f);
    EXPECT_EQ (history.size(), 1u);

    EXPECT_TRUE (history.undo());
    EXPECT_EQ (processor.getValue (tz::filterCutoff), cutoff);
    EXPECT_EQ (processor.getValue (tz::delayMix), 77.0f);
    EXPECT_EQ (processor.getValue (tz::reverbMix), 33.0f);
    EXPECT_FALSE (history.canUndo());
}

TEST (Undo, TheOldestOfOneHundredAndOneStepsIsDropped)
{
    TazzleAudioProcessor processor;
    auto& history = processor.getUndoHistory();
    for (int i = 1; i <= 101; ++i)
        tz::ui::setAsGesture (processor, tz::delayFeedback, (float) i * 0.5f);
    EXPECT_EQ (history.size(), 100u);

    int undone = 0;
    while (history.undo())
        ++undone;
    EXPECT_EQ (undone, 100);
    EXPECT_EQ (processor.getValue (tz::delayFeedback), 0.5f) << "the first step is no longer there to undo";
}

TEST (Undo, AHostRestoreClearsTheHistory)
{
    TazzleAudioProcessor processor;
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);

    tz::ui::setAsGesture (processor, tz::delayFeedback, 80.0f);
    setFromHost (processor, tz::delayMix, 12.0f);
    juce::MemoryBlock restored;
    processor.getStateInformation (restored);
    // Some hosts restore off the message thread.
    std::thread ([&] { processor.setStateInformation (restored.getData(), (int) restored.getSize()); }).join();
    const auto afterRestore = stateDocument (processor);

    auto& history = processor.getUndoHistory();
    EXPECT_FALSE (history.canUndo());
    EXPECT_FALSE (history.undo());
    EXPECT_EQ (stateDocument (processor), afterRestore);

    // An action open while the host restores changed a state that is gone: it leaves no step.
    {
        tz::ui::UserAction action (processor);
        processor.setValue (tz::delayFeedback, 30.0f);
        processor.setStateInformation (saved.getData(), (int) saved.getSize());
    }
    EXPECT_FALSE (history.canUndo());
}

TEST (Undo, RandomIsUndoneWholeWithThePresetFades)
{
    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    processor.setGridRow (tz::EffectId::stutter, { 0x0f0f, true });
    processor.addRoute (1, tz::delayMix);

    std::array<float, tz::numParams> values {};
    for (int p = 0; p < tz::numParams; ++p)
        values[(size_t) p] = processor.getValue (p);
    std::array<TazzleAudioProcessor::GridRow, tz::numEffects> rows {};
    for (int e = 0; e < tz::numEffects; ++e)
        rows[(size_t) e] = processor.getGridRow ((tz::EffectId) e);
    const auto order = processor.getChainOrder();
    const auto name = processor.getPresetName();

    panel.getRandomButton().onClick();
    ASSERT_EQ (processor.getPresetName(), "Random");

    const int generation = processor.getStateGeneration();
    panel.undo();
    EXPECT_EQ (processor.getStateGeneration(), generation + 2) << "one faded clean start, as for a preset";
    for (int p = 0; p < tz::numParams; ++p)
        EXPECT_EQ (processor.getValue (p), values[(size_t) p]) << tz::allParams()[(size_t) p].id;
    for (int e = 0; e < tz::numEffects; ++e)
    {
        EXPECT_EQ (processor.getGridRow ((tz::EffectId) e).steps, rows[(size_t) e].steps);
        EXPECT_EQ (processor.getGridRow ((tz::EffectId) e).enabled, rows[(size_t) e].enabled);
    }
    EXPECT_EQ (processor.getChainOrder(), order);
    EXPECT_EQ (processor.getPresetName(), name);

    // Anything less than a whole patch plays on without a clean start.
    tz::ui::setAsGesture (processor, tz::delayFeedback, 80.0f);
    panel.getMutateButton().onClick();
    const int beforeUndo = processor.getStateGeneration();
    panel.undo();
    panel.undo();
    EXPECT_EQ (processor.getStateGeneration(), beforeUndo);
}

TEST (Undo, APresetLoadIsUndoneToThePresetBeforeWithItsStar)
{
    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    auto& bar = panel.getPresetBar();
    const auto entries = bar.presetEntries();
    ASSERT_GT (entries.size(), 10u);

    // A favourite from one category, then a preset of another that is no favourite.
    const auto& first = entries[1];
    const auto second = std::find_if (entries.begin(), entries.end(),
                                      [&first] (const auto& e) { return e.category != first.category; });
    ASSERT_NE (second, entries.end());
    tz::PresetLibrary library (TazzleAudioProcessor::presetFolder());
    const bool wasFavourite = library.isFavourite (first.file);
    ASSERT_TRUE (wasFavourite || library.toggleFavourite (first.file).wasOk());
    ASSERT_FALSE (library.isFavourite (second->file));

    bar.handlePresetMenuResult (PresetBar::firstEntryCode + 1, entries);
    bar.refresh();
    ASSERT_TRUE (bar.getStar().getToggleState());
    const auto name = processor.getPresetName(), category = processor.getPresetCategory();

    bar.handlePresetMenuResult (PresetBar::firstEntryCode + (int) (second - entries.begin()), entries);
    panel.refresh();
    ASSERT_FALSE (bar.getStar().getToggleState());
    EXPECT_EQ (panel.getUndoButton().getTooltip(), "Undo: load " + second->name());

    panel.undo();
    bar.refresh();
    EXPECT_EQ (processor.getPresetName(), name);
    EXPECT_EQ (processor.getPresetCategory(), category);
    EXPECT_EQ (processor.getPresetFile(), first.file);
    EXPECT_TRUE (bar.getStar().getToggleState());
    if (! wasFavourite)
        library.toggleFavourite (first.file);
}

TEST (Undo, ABrowsingSessionThatGoesBackLeavesTheHistoryAsItWas)
{
    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    auto& history = processor.getUndoHistory();
    tz::ui::setAsGesture (processor, tz::delayFeedback, 80.0f);
    const auto before = stateDocument (processor);

    auto& browser = panel.getPresetBrowser();
    browser.open();
    for (const int row : { 3, 4, 9 })
        browser.selectRow (row);
    EXPECT_EQ (history.size(), 2u) << "the auditions are one step";
    browser.close (false);

    EXPECT_EQ (stateDocument (processor), before);
    EXPECT_EQ (history.size(), 1u);
    EXPECT_EQ (history.undoName(), "Delay Feedback");
}

TEST (Undo, OneHundredKnobStepsAndARandomPatchStayFarBelowAMegabyte)
{
    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor (processor);
    auto& history = processor.getUndoHistory();
    for (int i = 0; i < 100; ++i)
        tz::ui::setAsGesture (processor, i % 2 == 0 ? tz::delayFeedback : tz::filterCutoff, 10.0f + (float) i);
    const auto knobSteps = history.memoryUsed();
    EXPECT_LT (knobSteps, (size_t) 64 * 1024);

    history.clear();
    const auto empty = history.memoryUsed();
    editor.getMainPanel().getRandomButton().onClick();
    const auto randomStep = history.memoryUsed() - empty;
    EXPECT_LT (randomStep, (size_t) 32 * 1024);
    RecordProperty ("bytesFor100KnobSteps", (int) knobSteps);
    RecordProperty ("bytesForARandomStep", (int) randomStep);
}
