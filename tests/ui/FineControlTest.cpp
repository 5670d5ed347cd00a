// Shift slows a drag down to a tenth on every control that is dragged for a value, and pressing or letting go of
// Shift mid-drag never makes the value jump.

#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "ui/PluginEditor.h"

using tz::test::mouseEvent;

namespace
{
// A control, where a drag on it starts, which way it moves the value up and how far a test drags it.
struct DragTarget
{
    juce::Component& component;
    int parameter;
    juce::Point<float> start, direction;
    float pixels;
};

struct FineCase
{
    const char* name;
    std::function<DragTarget (MainPanel&, TazzleAudioProcessor&)> target;
};

const std::vector<FineCase>& fineCases()
{
    static const std::vector<FineCase> cases {
        { "knob",
          [] (MainPanel& panel, TazzleAudioProcessor&)
          {
              auto& dial = panel.getEffectPanel (tz::EffectId::delay).getKnobs()[0]->getDial();
              return DragTarget { dial,
                                  tz::delayFeedback,
                                  dial.getLocalBounds().getCentre().toFloat(),
                                  { 0, -1 },
                                  100.0f };
          } },
        { "route depth bar",
          [] (MainPanel& panel, TazzleAudioProcessor& processor)
          {
              processor.addRoute (0, tz::filterCutoff);
              processor.setValue (tz::routeParam (0, tz::routeField::depth), -50.0f);
              panel.refresh();
              auto& bar = panel.getModulatorSection().getRouteRows()[0]->getDepthSlider();
              return DragTarget { bar,
                                  tz::routeParam (0, tz::routeField::depth),
                                  bar.getLocalBounds().getCentre().toFloat(),
                                  { 1, 0 },
                                  100.0f };
          } },
        { "step level",
          [] (MainPanel& panel, TazzleAudioProcessor&)
          {
              auto& steps = panel.getModulatorSection().getStepEditor();
              const auto plot = steps.plotArea();
              const float column = plot.getX() + plot.getWidth() * 3.5f / 16.0f;
              return DragTarget { steps,
                                  tz::modParam (0, tz::modField::firstStep + 3),
                                  { column, plot.getCentreY() },
                                  { 0, -1 },
                                  plot.getHeight() * 0.4f };
          } },
        { "XY puck",
          [] (MainPanel& panel, TazzleAudioProcessor&)
          {
              auto& pad = panel.getXYPad();
              return DragTarget { pad,
                                  tz::xyX,
                                  { 24.0f + (float) (pad.getWidth() - 48) * 0.3f, 130.0f },
                                  { 1, 0 },
                                  100.0f };
          } },
    };
    return cases;
}

struct FineFixture
{
    FineFixture()
    {
        processor.setValue (tz::modParam (0, tz::modField::mode), 1.0f);
        processor.setValue (tz::modParam (0, tz::modField::firstStep + 3), 50.0f);
        processor.setValue (tz::xyX, 30.0f);
    }

    float normalised (int p) { return processor.getParameters()[p]->getValue(); }

    // Presses, then drags in steps of 5 pixels; Shift held from the press or only from `shiftFrom` pixels on.
    // Gives how far the drag moved the value (normalised) after the press.
    float drag (const DragTarget& t, float pixels, float shiftFrom)
    {
        constexpr auto button = juce::ModifierKeys::leftButtonModifier;
        const auto mods = [&] (float at)
        {
            return at >= shiftFrom ? juce::ModifierKeys (button | juce::ModifierKeys::shiftModifier)
                                   : juce::ModifierKeys (button);
        };
        auto& c = t.component;
        c.mouseDown (mouseEvent (c, t.start, mods (0.0f), t.start));
        const float pressed = normalised (t.parameter);
        for (float at = 5.0f; at <= pixels + 0.5f; at += 5.0f)
            c.mouseDrag (mouseEvent (c, t.start + t.direction * at, mods (at), t.start));
        const auto end = t.start + t.direction * pixels;
        c.mouseUp (mouseEvent (c, end, {}, t.start));
        return normalised (t.parameter) - pressed;
    }

    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor { processor };
};
} // namespace

TEST (FineControl, ShiftDragsMoveATenthAsFar)
{
    for (const auto& fine : fineCases())
    {
        SCOPED_TRACE (fine.name);
        FineFixture normal, slow;
        const auto normalTarget = fine.target (normal.editor.getMainPanel(), normal.processor);
        const auto slowTarget = fine.target (slow.editor.getMainPanel(), slow.processor);

        const float full = normal.drag (normalTarget, normalTarget.pixels, 1.0e9f);
        const float tenth = slow.drag (slowTarget, slowTarget.pixels, 0.0f);
        ASSERT_GT (full, 0.05f);
        EXPECT_NEAR (tenth, full / 10.0f, full * 0.02f);
    }
}

TEST (FineControl, ShiftPressedOrReleasedMidDragNeverJumps)
{
    for (const auto& fine : fineCases())
    {
        SCOPED_TRACE (fine.name);
        FineFixture fixture;
        const auto t = fine.target (fixture.editor.getMainPanel(), fixture.processor);
        auto& c = t.component;
        constexpr auto button = juce::ModifierKeys::leftButtonModifier;
        const juce::ModifierKeys shifted (button | juce::ModifierKeys::shiftModifier);
        const auto at = [&t] (float pixels) { return t.start + t.direction * pixels; };

        c.mouseDown (mouseEvent (c, t.start, button, t.start));
        c.mouseDrag (mouseEvent (c, at (30.0f), button, t.start));
        const float beforeShift = fixture.normalised (t.parameter);

        c.mouseDrag (mouseEvent (c, at (30.0f), shifted, t.start));
        EXPECT_EQ (fixture.normalised (t.parameter), beforeShift) << "Shift pressed";
        c.mouseDrag (mouseEvent (c, at (50.0f), shifted, t.start));
        const float fine20 = fixture.normalised (t.parameter) - beforeShift;
        EXPECT_GT (fine20, 0.0f);

        const float beforeRelease = fixture.normalised (t.parameter);
        c.mouseDrag (mouseEvent (c, at (50.0f), button, t.start));
        EXPECT_EQ (fixture.normalised (t.parameter), beforeRelease) << "Shift released";
        c.mouseDrag (mouseEvent (c, at (70.0f), button, t.start));
        EXPECT_NEAR (fixture.normalised (t.parameter) - beforeRelease, fine20 * 10.0f, fine20 * 0.5f);
        c.mouseUp (mouseEvent (c, at (70.0f), {}, t.start));
    }
}
