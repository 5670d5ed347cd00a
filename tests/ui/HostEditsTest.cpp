// Every edit made in the editor reaches the host as it expects: each parameter change inside that parameter's
// gesture, every gesture ended, and each change to the rest of the saved state announced once.

#include <gtest/gtest.h>

#include "HostRecorder.h"
#include "UiTestSupport.h"
#include "UserEdits.h"
#include "core/PluginProcessor.h"
#include "ui/PluginEditor.h"

using tz::test::Editing;
using tz::test::HostRecorder;
using tz::test::mouseEvent;
using tz::test::userEdits;

TEST (HostEdits, EveryUserEditReachesTheHostAsItExpects)
{
    for (const auto& edit : userEdits())
    {
        SCOPED_TRACE (edit.name);
        TazzleAudioProcessor processor;
        processor.setValue (tz::modParam (0, tz::modField::mode), 1.0f);
        TazzleAudioProcessorEditor editor (processor);
        Editing editing { processor, editor.getMainPanel() };
        edit.setUp (editing);
        editing.panel.refresh();

        HostRecorder host;
        processor.addListener (&host);
        edit.perform (editing);
        editing.panel.refresh();
        editing.panel.refresh();
        processor.removeListener (&host);

        EXPECT_GT (host.begun + host.nonParameterChanges, 0) << "the host heard nothing";
        EXPECT_TRUE (host.outsideGesture.empty()) << "changed outside a gesture: " << host.outsideNames (processor);
        EXPECT_EQ (host.begun, host.ended);
        EXPECT_EQ (host.nonParameterChanges, edit.changesOtherState ? 1 : 0);
    }
}

TEST (HostEdits, ARouteRowRebuiltDuringADepthDragEndsItsGesture)
{
    TazzleAudioProcessor processor;
    processor.resetToInit();
    processor.addRoute (0, tz::filterCutoff);
    processor.addRoute (0, tz::filterResonance);
    TazzleAudioProcessorEditor editor (processor);
    auto& section = editor.getMainPanel().getModulatorSection();
    section.refresh();
    ASSERT_EQ (section.getRouteRows().size(), 2u);

    tz::test::GestureCounter host;
    processor.addListener (&host);
    auto& depth = section.getRouteRows()[0]->getDepthSlider();
    const auto centre = depth.getLocalBounds().getCentre().toFloat();
    depth.mouseDown (mouseEvent (depth, centre, juce::ModifierKeys::leftButtonModifier, centre));
    depth.mouseDrag (
        mouseEvent (depth, centre + juce::Point<float> (20.0f, 0.0f), juce::ModifierKeys::leftButtonModifier, centre));
    EXPECT_EQ (host.begun, 1);

    // The host moves the other route to a new target: the rows are built again under the pointer.
    auto* target = processor.getParameterState().getParameter ("route02_target");
    target->setValueNotifyingHost (target->convertTo0to1 (20.0f));
    section.refresh();
    processor.removeListener (&host);

    EXPECT_EQ (host.begun, host.ended);
}

TEST (HostEdits, APresetWithANewNameIsAnnouncedAsAProgramChange)
{
    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor (processor);
    editor.getMainPanel().refresh();

    HostRecorder host;
    processor.addListener (&host);
    editor.getMainPanel().refresh();
    EXPECT_EQ (host.programChanges, 0);

    processor.resetToInit();
    editor.getMainPanel().refresh();
    editor.getMainPanel().refresh();
    processor.removeListener (&host);
    EXPECT_EQ (host.programChanges, 1);
}

TEST (HostEdits, TextWithoutANumberLeavesAKnobAlone)
{
    TazzleAudioProcessor processor;
    processor.setValue (tz::filterCutoff, 2000.0f);
    Knob knob (processor, tz::filterCutoff, "CUTOFF", juce::Colours::orange);
    auto& dial = knob.getDial();

    for (const auto* typo : { "abc", "", "  ", "kHz" })
        EXPECT_NEAR (dial.getValueFromText (typo), 2000.0, 0.5) << typo;
    EXPECT_NEAR (dial.getValueFromText ("500 Hz"), 500.0, 0.5);
}
