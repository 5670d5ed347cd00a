// The editor from the keyboard: Tab in the order the eye reads it, keys that move values and press switches as
// one host gesture each, and keys it has no use for left to the host.

#include <gtest/gtest.h>

#include "HeadlessWindow.h"
#include "HostRecorder.h"
#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "ui/Accessibility.h"
#include "ui/PluginEditor.h"

namespace
{
using Key = juce::KeyPress;
using tz::test::HostRecorder;

struct Keyboard
{
    Keyboard()
    {
        processor.setChainOrder ({ 6, 8, 9, 0, 3, 2, 1, 4, 5, 7 });
        processor.setValue (tz::delayFeedback, 40.0f);
        editor.getMainPanel().refresh();
    }

    juce::String focusedTitle() const
    {
        auto* focused = juce::Component::getCurrentlyFocusedComponent();
        if (focused == nullptr)
            return "(nothing)";
        auto* handler = focused->getAccessibilityHandler();
        return handler != nullptr ? handler->getTitle() : "(no handler)";
    }

    Knob& knob (tz::EffectId effect, size_t k) { return *editor.getMainPanel().getEffectPanel (effect).getKnobs()[k]; }
    float value (int p) const { return processor.getValue (p); }

    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor { processor };
    tz::test::HeadlessWindow window { editor };
};
} // namespace

TEST (Keyboard, TabMovesThroughTheHeaderAndTheChainInVisualOrder)
{
    Keyboard k;
    k.editor.grabKeyboardFocus();
    const auto presetName = k.editor.getMainPanel().getPresetBar().getNameButton().getButtonText();

    const juce::StringArray expected { "Previous preset", presetName, "Browse presets", "Favourite", "Next preset",
                                       "Save preset", "Random patch", "Mutate patch", "Settings",
                                       // The first pedal: its switch, menus, knobs row by row, then its buttons
                                       // (the first cannot move earlier, so that one is skipped).
                                       "Stutter On", "Stutter Length", "Stutter Repeat", "Stutter Decay",
                                       "Stutter Pitch", "Stutter Mix", "Fold Stutter", "Move Stutter later",
                                       "Reverse On", "Reverse Length", "Reverse Mix", "Move Reverse earlier",
                                       "Fold Reverse", "Move Reverse later", "Grain On" };
    juce::StringArray forwards;
    for (int i = 0; i < expected.size(); ++i)
    {
        EXPECT_TRUE (k.window.press (Key::tabKey));
        forwards.add (k.focusedTitle());
    }
    EXPECT_EQ (forwards.joinIntoString (" | "), expected.joinIntoString (" | "));

    juce::StringArray backwards;
    for (int i = 0; i < 3; ++i)
    {
        k.window.press (Key::tabKey, juce::ModifierKeys::shiftModifier);
        backwards.add (k.focusedTitle());
    }
    EXPECT_EQ (backwards.joinIntoString (" | "), "Move Reverse later | Fold Reverse | Move Reverse earlier");
}

TEST (Keyboard, ThePageThePadAndMasterFollowTheChain)
{
    Keyboard k;
    k.knob (tz::EffectId::reverb, 2).getDial().grabKeyboardFocus(); // Reverb Mix, in the last slot but one
    juce::StringArray titles;
    for (int i = 0; i < 120 && ! titles.contains ("Output"); ++i)
    {
        k.window.press (Key::tabKey);
        titles.add (k.focusedTitle());
    }
    // In order: the last pedal, the page tabs, the page, the pad, then MASTER.
    const char* landmarks[] = {
        "Tape Stop On", "Modulators page",  "FX Grid page", "Mod 1", "Mod 1 Smooth", "Add a target for Mod 1",
        "X (Speed)",    "Send X to a knob", "Input",        "Mix",   "Output"
    };
    int last = -1;
    for (const auto* landmark : landmarks)
    {
        const int at = titles.indexOf (landmark);
        EXPECT_GT (at, last) << landmark << " in " << titles.joinIntoString (" | ");
        last = juce::jmax (last, at);
    }
}

TEST (Keyboard, KeysMoveAFocusedValueInOneGesture)
{
    const float feedback = 40.0f;
    const struct
    {
        const char* name;
        Key key;
        tz::EffectId effect;
        size_t knob;
        tz::P parameter;
        float expected; // plain value; NaN: normalised step checked instead
    } cases[] = {
        { "up: one unit", Key (Key::upKey), tz::EffectId::delay, 0, tz::delayFeedback, feedback + 1.0f },
        { "right: one unit", Key (Key::rightKey), tz::EffectId::delay, 0, tz::delayFeedback, feedback + 1.0f },
        { "down: one unit", Key (Key::downKey), tz::EffectId::delay, 0, tz::delayFeedback, feedback - 1.0f },
        { "shift+up: a tenth", Key (Key::upKey, juce::ModifierKeys::shiftModifier, 0), tz::EffectId::delay, 0,
          tz::delayFeedback, feedback + 0.1f },
        { "page down: ten", Key (Key::pageDownKey), tz::EffectId::delay, 0, tz::delayFeedback, feedback - 10.0f },
        { "home: the start", Key (Key::homeKey), tz::EffectId::delay, 0, tz::delayFeedback, 0.0f },
        { "end: the end", Key (Key::endKey), tz::EffectId::delay, 0, tz::delayFeedback, 95.0f },
        { "semitones", Key (Key::upKey), tz::EffectId::stutter, 1, tz::stutterPitch, 1.0f },
        { "skewed: a hundredth of the travel", Key (Key::upKey), tz::EffectId::filter, 0, tz::filterCutoff, NAN },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Keyboard k;
        auto& parameter = *k.processor.getParameters()[c.parameter];
        const float before = parameter.getValue();
        k.knob (c.effect, c.knob).getDial().grabKeyboardFocus();

        HostRecorder host;
        k.processor.addListener (&host);
        EXPECT_TRUE (k.window.press (c.key));
        k.processor.removeListener (&host);

        if (std::isnan (c.expected))
            EXPECT_NEAR (parameter.getValue(), before + 0.01f, 1.0e-4f);
        else
            EXPECT_NEAR (k.value (c.parameter), c.expected, 1.0e-3f);
        EXPECT_EQ (host.begun, 1);
        EXPECT_EQ (host.ended, 1);
        EXPECT_TRUE (host.outsideGesture.empty());
        // The dial shows the new value at once.
        EXPECT_EQ (
            k.knob (c.effect, c.knob).getDial().getTextFromValue (k.knob (c.effect, c.knob).getDial().getValue()),
            parameter.getCurrentValueAsText());
    }
}

TEST (Keyboard, MenusSwitchesAndTheXYPadTakeTheirKeys)
{
    Keyboard k;
    auto& panel = k.editor.getMainPanel();
    HostRecorder host;
    k.processor.addListener (&host);

    // A menu: the arrows choose the next item.
    const float time = k.value (tz::delayTime);
    panel.getEffectPanel (tz::EffectId::delay).getMenu (0).grabKeyboardFocus();
    EXPECT_TRUE (k.window.press (Key::downKey));
    EXPECT_EQ (k.value (tz::delayTime), time - 1.0f);

    // A switch: Space and Enter.
    panel.getEffectPanel (tz::EffectId::stutter).getSwitch().grabKeyboardFocus();
    const float on = k.value (tz::stutterOn);
    EXPECT_TRUE (k.window.press (Key::spaceKey));
    EXPECT_EQ (k.value (tz::stutterOn), 1.0f - on);
    EXPECT_TRUE (k.window.press (Key::returnKey));
    EXPECT_EQ (k.value (tz::stutterOn), on);

    // The pad: X and Y as values.
    auto* x = k.editor.getMainPanel().getXYPad().getChildComponent (
        k.editor.getMainPanel().getXYPad().getNumChildComponents() - 1);
    ASSERT_NE (x, nullptr);
    x->getChildComponent (0)->grabKeyboardFocus();
    ASSERT_EQ (k.focusedTitle(), "X (Speed)");
    const float speed = k.value (tz::xyX);
    EXPECT_TRUE (k.window.press (Key::pageUpKey));
    EXPECT_NEAR (k.value (tz::xyX), juce::jmin (100.0f, speed + 10.0f), 1.0e-3f);

    k.processor.removeListener (&host);
    EXPECT_EQ (host.begun, 4);
    EXPECT_EQ (host.ended, 4);
    EXPECT_TRUE (host.outsideGesture.empty());
}

TEST (Keyboard, SpaceTogglesAGridCellAndTheHostHearsOfIt)
{
    Keyboard k;
    auto& panel = k.editor.getMainPanel();
    panel.getGridTab().onClick();
    panel.refresh();
    k.processor.setGridRow (tz::EffectId::stutter, {});

    // Row 0 shows stutter: its first cell is on the Tab path; the arrows move along the row.
    auto& grid = panel.getGridView();
    grid.getRateMenu().grabKeyboardFocus();
    for (int i = 0; i < 10 && k.focusedTitle() != "Step 1"; ++i)
        k.window.press (Key::tabKey);
    ASSERT_EQ (k.focusedTitle(), "Step 1");
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE (k.window.press (Key::rightKey));
    ASSERT_EQ (k.focusedTitle(), "Step 5");

    HostRecorder host;
    k.processor.addListener (&host);
    EXPECT_TRUE (k.window.press (Key::spaceKey));
    panel.refresh();
    EXPECT_EQ (k.processor.getGridRow (tz::EffectId::stutter).steps, 1u << 4);
    EXPECT_TRUE (k.processor.getGridRow (tz::EffectId::stutter).enabled);
    EXPECT_EQ (k.value (tz::stutterOn), 1.0f); // painting a cell on switches the effect on, in one gesture
    EXPECT_EQ (host.nonParameterChanges, 1);
    EXPECT_EQ (host.begun, host.ended);
    EXPECT_TRUE (host.outsideGesture.empty());

    EXPECT_TRUE (k.window.press (Key::spaceKey));
    panel.refresh();
    EXPECT_EQ (k.processor.getGridRow (tz::EffectId::stutter).steps, 0u);
    EXPECT_EQ (host.nonParameterChanges, 2);
    k.processor.removeListener (&host);

    // Each press is a grid edit the history can take back.
    ASSERT_TRUE (k.processor.getUndoHistory().undo());
    EXPECT_EQ (k.processor.getGridRow (tz::EffectId::stutter).steps, 1u << 4);

    // Down goes to the same step of the next row; Tab from there leaves the grid row by row.
    EXPECT_TRUE (k.window.press (Key::downKey));
    EXPECT_EQ (k.focusedTitle(), "Step 5");
    EXPECT_TRUE (k.window.press (Key::tabKey, juce::ModifierKeys::shiftModifier));
    EXPECT_EQ (k.focusedTitle(), "Reverse Grid On");
}

TEST (Keyboard, KeysTheEditorDoesNotUseGoToTheHost)
{
    Keyboard k;
    k.knob (tz::EffectId::delay, 0).getDial().grabKeyboardFocus();
    const float feedback = k.value (tz::delayFeedback);
    for (const auto& key :
         { Key (Key::spaceKey, {}, ' '), Key ('a', {}, 'a'), Key (Key::escapeKey),
           Key ('s', juce::ModifierKeys::ctrlModifier, 0), Key (Key::upKey, juce::ModifierKeys::ctrlModifier, 0) })
        EXPECT_FALSE (k.window.press (key)) << key.getTextDescription();
    EXPECT_EQ (k.value (tz::delayFeedback), feedback);

    // With the window itself focused (a click on its background), only Tab is its own.
    k.editor.grabKeyboardFocus();
    EXPECT_FALSE (k.window.press (Key (Key::spaceKey, {}, ' ')));
    EXPECT_TRUE (k.window.press (Key::tabKey));
    EXPECT_EQ (k.focusedTitle(), "Previous preset");
}

TEST (Keyboard, PressesInARowOnOneControlAreOneUndoStep)
{
    Keyboard k;
    k.knob (tz::EffectId::delay, 0).getDial().grabKeyboardFocus();
    const float feedback = k.value (tz::delayFeedback);
    for (int press = 0; press < 3; ++press)
        EXPECT_TRUE (k.window.press (Key::upKey));
    EXPECT_FLOAT_EQ (k.value (tz::delayFeedback), feedback + 3.0f);

    // The undo key reaches the editor from the focused knob.
    EXPECT_TRUE (k.window.press (Key ('z', juce::ModifierKeys::commandModifier, 0)));
    EXPECT_FLOAT_EQ (k.value (tz::delayFeedback), feedback);
    EXPECT_FALSE (k.processor.getUndoHistory().canUndo());
}

TEST (Keyboard, AClickGivesTheEditorTheKeyboard)
{
    Keyboard k;
    // The background under the header.
    k.window.click ({ 600.0f, 60.0f });
    EXPECT_TRUE (k.editor.hasKeyboardFocus (true));

    // A knob takes it, and keeps it.
    auto& dial = k.knob (tz::EffectId::delay, 0).getDial();
    k.window.click (k.window.getLocalArea (&dial, dial.getLocalBounds()).getCentre().toFloat());
    EXPECT_TRUE (dial.hasKeyboardFocus (false));
}

TEST (Keyboard, TheOutlineShowsOnlyFocusFromTheKeyboard)
{
    Keyboard k;
    auto& panel = k.editor.getMainPanel();
    auto& outline = panel.getFocusOutline();
    auto& dial = k.knob (tz::EffectId::delay, 0).getDial();
    const auto before = panel.createComponentSnapshot (panel.getLocalBounds());

    // A click on a knob focuses it, and nothing changes on screen.
    k.window.click (k.window.getLocalArea (&dial, dial.getLocalBounds()).getCentre().toFloat());
    ASSERT_TRUE (dial.hasKeyboardFocus (false));
    panel.refresh();
    EXPECT_FALSE (outline.isVisible());

    // Tab moves on and the outline follows, in the accent colour around the control.
    k.window.press (Key::tabKey);
    panel.refresh();
    ASSERT_TRUE (outline.isVisible());
    auto* focused = juce::Component::getCurrentlyFocusedComponent();
    EXPECT_EQ (outline.getShownControl(), focused);
    const auto area = panel.getLocalArea (focused, focused->getLocalBounds());
    EXPECT_TRUE (outline.getBounds().contains (area));

    const auto after = panel.createComponentSnapshot (panel.getLocalBounds());
    const juce::Image::BitmapData pixels (after, juce::Image::BitmapData::readOnly);
    int accent = 0;
    const auto ring = outline.getBounds();
    for (int x = ring.getX(); x < ring.getRight(); ++x)
        for (const int y : { ring.getY() + 1, ring.getBottom() - 2 })
            accent +=
                pixels.getPixelColour (x, y).getPixelARGB().getNativeARGB() == tz::theme::accent.getARGB() ? 1 : 0;
    EXPECT_GT (accent, ring.getWidth());

    // Away from the outline the picture is the one from before.
    const juce::Image::BitmapData old (before, juce::Image::BitmapData::readOnly);
    EXPECT_EQ (old.getPixelColour (400, 700).getARGB(), pixels.getPixelColour (400, 700).getARGB());

    // Focus leaves the editor: the outline goes.
    focused->giveAwayKeyboardFocus();
    panel.refresh();
    EXPECT_FALSE (outline.isVisible());
}

TEST (Keyboard, KeyedValuesStepByUnitsValuesOrTravel)
{
    TazzleAudioProcessor processor;
    const auto step = [&processor] (tz::P p, float from, const Key& key)
    {
        auto& parameter = *dynamic_cast<juce::RangedAudioParameter*> (processor.getParameters()[p]);
        processor.setValue (p, from);
        return *tz::ui::keyedValue (parameter, key);
    };
    const auto shift = juce::ModifierKeys::shiftModifier;

    EXPECT_FLOAT_EQ (step (tz::delayFeedback, 94.5f, Key (Key::upKey)), 95.0f); // held at the end
    EXPECT_FLOAT_EQ (step (tz::outputGain, 0.0f, Key (Key::downKey)), -1.0f);
    EXPECT_FLOAT_EQ (step (tz::outputGain, 0.0f, Key (Key::downKey, shift, 0)), -0.1f);
    EXPECT_FLOAT_EQ (step (tz::delayTime, 6.0f, Key (Key::rightKey)), 7.0f);
    EXPECT_FLOAT_EQ (step (tz::delayTime, 6.0f, Key (Key::rightKey, shift, 0)), 7.0f); // no finer than one choice
    EXPECT_FLOAT_EQ (step (tz::gridLength, 16.0f, Key (Key::pageDownKey)), 6.0f);
    EXPECT_FLOAT_EQ (step (tz::volumePan, 0.0f, Key (Key::homeKey)), -100.0f);
    EXPECT_FALSE (tz::ui::keyedValue (*dynamic_cast<juce::RangedAudioParameter*> (processor.getParameters()[tz::mix]),
                                      Key ('z', juce::ModifierKeys::commandModifier, 0)));
}
