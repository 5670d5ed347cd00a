#pragma once

// The table of every kind of user action the editor offers, each set up and performed as a user would: shared by
// the tests of what the host hears and of what undo takes back.

#include <functional>
#include <vector>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "ui/PluginEditor.h"

namespace tz::test
{

inline void click (juce::Component& c, juce::Point<float> at)
{
    c.mouseDown (mouseEvent (c, at, juce::ModifierKeys::leftButtonModifier, at));
    c.mouseUp (mouseEvent (c, at, {}, at));
}

// Types text into a slider's value box, as a user does after clicking a knob's value or a route's bar.
inline void typeInto (juce::Slider& slider, const juce::String& text)
{
    for (auto* child : slider.getChildren())
        if (auto* box = dynamic_cast<juce::Label*> (child))
            box->setText (text, juce::sendNotificationSync);
}

inline void dragAcross (juce::Component& c, juce::Point<float> from, juce::Point<float> to)
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
    // How many steps of the undo history it makes: one per action, none for the editor's own view (folds).
    int steps = 1;
};

inline const std::vector<UserEdit>& userEdits()
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
        { "chain: fold", true, nothing, [] (Editing& e) { e.effectInSlot (2).getFoldButton().onClick(); }, 0 },
        { "knob: drag", false, nothing,
          [] (Editing& e)
          {
              auto& dial = e.cutoffKnob().getDial();
              const auto centre = dial.getLocalBounds().getCentre().toFloat();
              dragAcross (dial, centre, centre + juce::Point<float> (0.0f, -60.0f));
          } },
        { "knob: wheel turns", false, nothing,
          [] (Editing& e)
          {
              auto& dial = e.cutoffKnob().getDial();
              const auto centre = dial.getLocalBounds().getCentre().toFloat();
              juce::MouseWheelDetails wheel { 0.0f, 0.1f, false, false, false };
              for (int turn = 0; turn < 3; ++turn)
                  dial.mouseWheelMove (mouseEvent (dial, centre, {}, centre), wheel);
          } },
        { "knob: typed value", false, nothing, [] (Editing& e) { typeInto (e.cutoffKnob().getDial(), "440 Hz"); } },
        { "menu choice", false, nothing,
          [] (Editing& e)
          { e.panel.getModulatorSection().getRateMenu().setSelectedItemIndex (2, juce::sendNotificationSync); } },
        { "switch", false, nothing,
          [] (Editing& e)
          {
              auto& onOff = e.effectInSlot (4).getSwitch();
              onOff.setToggleState (! onOff.getToggleState(), juce::sendNotificationSync);
          } },
        { "route row: depth drag", false, routeOnCutoff,
          [] (Editing& e)
          {
              e.panel.refresh();
              auto& depth = e.panel.getModulatorSection().getRouteRows()[0]->getDepthSlider();
              const auto centre = depth.getLocalBounds().getCentre().toFloat();
              dragAcross (depth, centre, centre + juce::Point<float> (-30.0f, 0.0f));
          } },
        { "route row: typed depth", false, routeOnCutoff,
          [] (Editing& e)
          {
              e.panel.refresh();
              typeInto (e.panel.getModulatorSection().getRouteRows()[0]->getDepthSlider(), "-25");
          } },
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
          },
          4 },
        { "LFO", false, nothing, [] (Editing& e) { e.panel.getModulatorSection().getLfoButton().onClick(); } },
        { "STEPS", false,
          [] (Editing& e)
          {
              e.processor.setValue (tz::modParam (0, tz::modField::mode), 0.0f);
              e.panel.getModulatorSection().refresh();
          },
          [] (Editing& e) { e.panel.getModulatorSection().getStepsButton().onClick(); } },
        { "XY pad drag", false, nothing,
          [] (Editing& e)
          {
              auto& pad = e.panel.getXYPad();
              dragAcross (pad, { 60.0f, 100.0f }, { 150.0f, 180.0f });
          } },
        { "RANDOM", true, nothing, [] (Editing& e) { e.panel.getRandomButton().onClick(); } },
        { "MUTATE", true, nothing, [] (Editing& e) { e.panel.getMutateButton().onClick(); } },
        { "next preset", false, nothing, [] (Editing& e) { e.panel.getPresetBar().step (1); } },
        { "preset menu: a preset", false, nothing,
          [] (Editing& e)
          {
              auto& bar = e.panel.getPresetBar();
              const auto entries = bar.presetEntries();
              bar.handlePresetMenuResult (PresetBar::firstEntryCode + 3, entries);
          } },
        { "preset menu: Init", false, nothing,
          [] (Editing& e)
          {
              auto& bar = e.panel.getPresetBar();
              bar.handlePresetMenuResult (PresetBar::initCode, bar.presetEntries());
          } },
        { "preset browser: auditions, then keep", false, nothing,
          [] (Editing& e)
          {
              auto& browser = e.panel.getPresetBrowser();
              browser.open();
              for (const int row : { 2, 5, 7 })
                  browser.selectRow (row);
              browser.close (true);
          } },
    };
    return edits;
}
} // namespace tz::test
