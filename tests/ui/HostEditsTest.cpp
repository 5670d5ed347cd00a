// Every edit made in the editor reaches the host as it expects: each parameter change inside that parameter's
// gesture, every gesture ended, and each change to the rest of the saved state announced once.

#include <gtest/gtest.h>

#include <set>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "ui/PluginEditor.h"

using tz::test::mouseEvent;

namespace
{
// What a host sees of the plug-in.
struct HostRecorder : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float) override
    {
        if (inGesture.count (index) == 0)
            outsideGesture.insert (index);
    }
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override
    {
        ++begun;
        inGesture.insert (index);
    }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override
    {
        ++ended;
        inGesture.erase (index);
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
    {
        nonParameterChanges += details.nonParameterStateChanged ? 1 : 0;
        programChanges += details.programChanged ? 1 : 0;
    }

    juce::String outsideNames (juce::AudioProcessor& processor) const
    {
        juce::StringArray names;
        for (const int index : outsideGesture)
            names.add (processor.getParameters()[index]->getName (64));
        return names.joinIntoString (", ");
    }

    std::multiset<int> inGesture;
    std::set<int> outsideGesture;
    int begun = 0, ended = 0, nonParameterChanges = 0, programChanges = 0;
};

void click (juce::Component& c, juce::Point<float> at)
{
    c.mouseDown (mouseEvent (c, at, juce::ModifierKeys::leftButtonModifier, at));
    c.mouseUp (mouseEvent (c, at, {}, at));
}

void dragAcross (juce::Component& c, juce::Point<float> from, juce::Point<float> to)
{
    c.mouseDown (mouseEvent (c, from, juce::ModifierKeys::leftButtonModifier, from));
    c.mouseDrag (mouseEvent (c, (from + to) / 2.0f, juce::ModifierKeys::leftButtonModifier, from));
    c.mouseDrag (mouseEvent (c, to, juce::ModifierKeys::leftButtonModifier, from));
    c.mouseUp (mouseEvent (c, to, {}, from));
}

struct Editing
{
    TazzleAudioProcessor& processor;
    MainPanel& panel;

    EffectPanel& effectInSlot (int slot)
    {
        return panel.getEffectPanel ((tz::EffectId) processor.getChainOrder()[(size_t) slot]);
    }
    Knob& cutoffKnob() { return *panel.getEffectPanel (tz::EffectId::filter).getKnobs()[0]; }
    StepEditor& stepEditor() { return panel.getModulatorSection().getStepEditor(); }
};

struct UserEdit
{
    const char* name;
    bool changesOtherState;
    std::function<void (Editing&)> setUp, perform;
};

const std::vector<UserEdit>& userEdits()
{
    const auto nothing = [] (Editing&) {};
    const auto routeOnCutoff = [] (Editing& e) { e.processor.addRoute (0, tz::filterCutoff); };
    const auto gridRowZeroOff = [] (Editing& e)
    {
        e.panel.getGridTab().onClick();
        const auto effect = (tz::EffectId) e.processor.getChainOrder()[0];
        e.processor.setValue (tz::effectParams[(size_t) effect].on, 0.0f);
        e.processor.setGridRow (effect, {});
    };

    static const std::vector<UserEdit> edits {
        { "knob menu: add a route", false, nothing,
          [] (Editing& e) { e.cutoffKnob().handleModulationMenuResult (1); } },
        { "knob menu: remove a route", false, routeOnCutoff,
          [] (Editing& e) { e.cutoffKnob().handleModulationMenuResult (1); } },
        { "knob menu: remove all", false, routeOnCutoff,
          [] (Editing& e) { e.cutoffKnob().handleModulationMenuResult (Knob::removeAllCode); } },
        { "knob menu: lock", true, nothing,
          [] (Editing& e) { e.panel.getMasterKnob (1).handleModulationMenuResult (Knob::lockCode); } },
        { "route row: x", false, routeOnCutoff,
          [] (Editing& e)
          {
              e.panel.refresh();
              e.panel.getModulatorSection().getRouteRows()[0]->getRemoveButton().onClick();
          } },
        { "route row: new target", false, routeOnCutoff,
          [] (Editing& e)
          {
              e.panel.refresh();
              e.panel.getModulatorSection().getRouteRows()[0]->chooseTarget (tz::reverbMix);
          } },
        { "+ ADD TARGET", false, nothing, [] (Editing& e) { e.panel.getModulatorSection().addTarget (tz::delayMix); } },
        { "+ X", false, nothing, [] (Editing& e) { e.panel.getXYPad().addRouteFrom (tz::routeSource::x, tz::mix); } },
        { "+ Y", false, nothing, [] (Editing& e) { e.panel.getXYPad().addRouteFrom (tz::routeSource::y, tz::mix); } },
        { "grid: paint a cell of a switched-off effect", true, gridRowZeroOff,
          [] (Editing& e)
          {
              auto& grid = e.panel.getGridView();
              click (grid, grid.cellBounds (0, 3).getCentre().toFloat());
          } },
        { "grid: paint across a row", true, gridRowZeroOff,
          [] (Editing& e)
          {
              auto& grid = e.panel.getGridView();
              dragAcross (grid, grid.cellBounds (0, 1).getCentre().toFloat(),
                          grid.cellBounds (0, 9).getCentre().toFloat());
          } },
        { "grid: row switch", true, gridRowZeroOff,
          [] (Editing& e)
          {
              auto& grid = e.panel.getGridView();
              click (grid, grid.gridSwitchBounds (0).getCentre().toFloat());
          } },
        { "grid: CLEAR", true, nothing, [] (Editing& e) { e.panel.getGridView().getClearButton().onClick(); } },
        { "chain: arrow", true, nothing, [] (Editing& e) { e.effectInSlot (0).getLaterButton().onClick(); } },
        { "chain: drag", true, nothing,
          [] (Editing& e)
          {
              auto& dragged = e.effectInSlot (0);
              for (const int x : { 400, 700, 900 })
                  dragged.onDragMove (dragged.getEffect(), x, false);
              dragged.onDragMove (dragged.getEffect(), 900, true);
          } },
        { "chain: fold", true, nothing, [] (Editing& e) { e.effectInSlot (2).getFoldButton().onClick(); } },
        { "step editor: draw", false, nothing,
          [] (Editing& e)
          {
              auto& steps = e.stepEditor();
              const auto plot = steps.plotArea();
              dragAcross (steps, { plot.getX() + 5.0f, plot.getCentreY() },
                          { plot.getX() + plot.getWidth() / 2.0f, plot.getY() + 10.0f });
          } },
        { "step editor: shape row", false, nothing,
          [] (Editing& e)
          {
              auto& steps = e.stepEditor();
              click (steps, steps.shapesRow().getCentre());
          } },
        { "step editor: pattern tools", false, nothing,
          [] (Editing& e)
          {
              juce::Random random (1);
              const auto s = e.stepEditor().settings();
              for (const int tool : { 23, 25, 26, 11 })
                  e.stepEditor().handleStepMenuResult (tool, 0, s.levels, s.length, random);
          } },
        { "LFO and STEPS", false, nothing,
          [] (Editing& e)
          {
              e.panel.getModulatorSection().getLfoButton().onClick();
              e.panel.getModulatorSection().getStepsButton().onClick();
          } },
        { "XY pad drag", false, nothing,
          [] (Editing& e)
          {
              auto& pad = e.panel.getXYPad();
              dragAcross (pad, { 60.0f, 100.0f }, { 150.0f, 180.0f });
          } },
        { "RANDOM", true, nothing, [] (Editing& e) { e.panel.getRandomButton().onClick(); } },
        { "MUTATE", true, nothing, [] (Editing& e) { e.panel.getMutateButton().onClick(); } },
        { "next preset", false, nothing, [] (Editing& e) { e.panel.getPresetBar().step (1); } },
    };
    return edits;
}
} // namespace

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
