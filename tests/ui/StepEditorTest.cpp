#include <gtest/gtest.h>

#include <cmath>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "ui/StepEditor.h"

namespace
{
struct StepFixture : ::testing::Test
{
    StepFixture()
    {
        processor.resetToInit();
        setMod (tz::modField::mode, 1.0f);
        setMod (tz::modField::length, 16.0f);
        for (int i = 0; i < 16; ++i)
            setMod (tz::modField::firstStep + i, 50.0f);
        editor.setBounds (0, 0, 806, 262);
        processor.addListener (&gestures);
    }

    ~StepFixture() override { processor.removeListener (&gestures); }

    void setMod (int field, float value) { processor.setValue (tz::modParam (0, field), value); }
    float level (int step) const { return processor.getValue (tz::modParam (0, tz::modField::firstStep + step)); }
    int shape (int step) const
    {
        return (int) processor.getValue (tz::modParam (0, tz::modField::firstStepShape + step));
    }

    // The middle of a step's column, in the editor.
    float columnX (int step) const { return 12.0f + (step + 0.5f) * 782.0f / 16.0f; }
    float barY (float level) const { return 24.0f + 184.0f * (1.0f - level); }

    void press (juce::Point<float> at, juce::ModifierKeys mods = juce::ModifierKeys::leftButtonModifier)
    {
        pressedAt = at;
        editor.mouseDown (tz::test::mouseEvent (editor, at, mods, at));
    }
    void drag (juce::Point<float> to)
    {
        editor.mouseDrag (tz::test::mouseEvent (editor, to, juce::ModifierKeys::leftButtonModifier, pressedAt));
    }
    void release() { editor.mouseUp (tz::test::mouseEvent (editor, pressedAt, {}, pressedAt)); }

    TazzleAudioProcessor processor;
    StepEditor editor { processor, 0 };
    tz::test::GestureCounter gestures;
    juce::Point<float> pressedAt;
};
} // namespace

TEST_F (StepFixture, DrawingSnapsNearTheTopAndBottom)
{
    const struct
    {
        float y;
        float expected;
    } cases[] = {
        { barY (0.985f), 100.0f }, { barY (1.2f), 100.0f }, { barY (0.02f), 0.0f },
        { barY (-0.5f), 0.0f },    { barY (0.25f), 25.0f }, { barY (0.6f), 60.0f },
    };
    for (const auto& c : cases)
    {
        press ({ columnX (3), c.y });
        release();
        EXPECT_NEAR (level (3), c.expected, 0.01f) << c.y;
    }
    EXPECT_EQ (gestures.begun, gestures.ended);
    EXPECT_GT (gestures.begun, 0);
}

TEST_F (StepFixture, AFastDragWritesEveryStepBetween)
{
    press ({ columnX (2), barY (0.8f) });
    drag ({ columnX (9), barY (0.8f) });
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR (level (i), i >= 2 && i <= 9 ? 80.0f : 50.0f, 0.01f) << i;

    // Back over part of the way, lower.
    drag ({ columnX (5), barY (0.1f) });
    EXPECT_NEAR (level (5), 10.0f, 0.01f);
    EXPECT_NEAR (level (9), 10.0f, 0.01f);
    EXPECT_NEAR (level (4), 80.0f, 0.01f);

    EXPECT_FALSE (editor.openGestures().empty());
    release();
    EXPECT_TRUE (editor.openGestures().empty());
    EXPECT_EQ (gestures.begun, gestures.ended);
}

TEST_F (StepFixture, StepsBeyondTheLengthCannotBeDrawn)
{
    setMod (tz::modField::length, 5.0f);

    press ({ columnX (7), barY (1.0f) });
    drag ({ columnX (9), barY (1.0f) });
    release();
    EXPECT_EQ (level (7), 50.0f);

    // A drag from inside stops at the last step of the pattern.
    press ({ columnX (2), barY (0.01f) });
    drag ({ columnX (12), barY (0.01f) });
    release();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ (level (i), i >= 2 && i <= 4 ? 0.0f : 50.0f) << i;
    EXPECT_EQ (gestures.begun, gestures.ended);
}

TEST_F (StepFixture, LfoModeIgnoresThePointer)
{
    setMod (tz::modField::mode, 0.0f);
    press ({ columnX (3), barY (1.0f) });
    drag ({ columnX (8), barY (0.0f) });
    release();
    press ({ columnX (3), 225.0f });
    release();
    for (int i = 0; i < 16; ++i)
    {
        EXPECT_EQ (level (i), 50.0f);
        EXPECT_EQ (shape (i), 0);
    }
    EXPECT_EQ (gestures.begun, 0);
}

TEST_F (StepFixture, ShapeCellsStepOnClickAndCopyOnDrag)
{
    const float row = editor.shapesRow().getCentreY();
    press ({ columnX (3), row });
    EXPECT_EQ (shape (3), 1);
    drag ({ columnX (6), row });
    release();
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ (shape (i), i >= 3 && i <= 6 ? 1 : 0) << i;

    for (int click = 0; click < 4; ++click)
    {
        press ({ columnX (3), row });
        release();
    }
    EXPECT_EQ (shape (3), 0); // five shapes wrap around
    EXPECT_EQ (gestures.begun, gestures.ended);
}

TEST_F (StepFixture, FooterTellsWhatThePointerCanDo)
{
    EXPECT_EQ (editor.footerLeftText(), "");
    EXPECT_EQ (editor.footerRightText(),
               "draw levels on the bars   change shapes in the row below   right-click for pattern tools");

    setMod (tz::modField::firstStepShape + 4, 4.0f);
    editor.mouseMove (tz::test::mouseEvent (editor, { columnX (4), barY (0.5f) }, {}, {}));
    EXPECT_EQ (editor.footerLeftText(), "STEP 5    LEVEL 50 %    SHAPE Glide");
    EXPECT_EQ (editor.footerRightText(), "drag: draw   right-click: shapes and pattern tools");

    editor.mouseMove (tz::test::mouseEvent (editor, { columnX (4), editor.shapesRow().getCentreY() }, {}, {}));
    EXPECT_EQ (editor.footerRightText(), "click: next shape   drag: copy it   right-click: all shapes");

    setMod (tz::modField::mode, 0.0f);
    setMod (tz::modField::shape, 1.0f);
    EXPECT_EQ (editor.footerLeftText(), "TRIANGLE    NOW 0 %");
    EXPECT_EQ (editor.footerRightText(), "rate = one cycle   phase shifts it   smooth rounds it off");
}

TEST_F (StepFixture, PatternToolsWorkOnTheCapturedLevels)
{
    std::array<float, 16> captured {};
    for (int i = 0; i < 16; ++i)
        captured[(size_t) i] = i < 4 ? 0.1f * (float) (i + 1) : 0.9f;

    const auto apply = [&] (int itemId, int length)
    {
        juce::Random random (7);
        editor.handleStepMenuResult (itemId, 0, captured, length, random);
        std::array<float, 16> result {};
        for (int i = 0; i < 16; ++i)
            result[(size_t) i] = level (i);
        return result;
    };

    const auto shiftedLeft = apply (26, 4);
    const auto shiftedRight = apply (27, 4);
    for (int i = 0; i < 16; ++i)
    {
        const float left[] = { 20.0f, 30.0f, 40.0f, 10.0f };
        const float right[] = { 40.0f, 10.0f, 20.0f, 30.0f };
        EXPECT_NEAR (shiftedLeft[(size_t) i], left[i % 4], 1e-4f) << i;
        EXPECT_NEAR (shiftedRight[(size_t) i], right[i % 4], 1e-4f) << i;
    }

    const auto inverted = apply (23, 16);
    EXPECT_NEAR (inverted[0], 90.0f, 1e-4f);
    EXPECT_NEAR (inverted[10], 10.0f, 1e-4f);

    for (const auto& [itemId, expected] : { std::pair { 21, 100.0f }, { 22, 0.0f } })
        for (const float v : apply (itemId, 16))
            EXPECT_EQ (v, expected);

    for (const float v : apply (24, 16))
        EXPECT_TRUE (v == 0.0f || v == 100.0f) << v;
    const auto random = apply (25, 16);
    for (const float v : random)
        EXPECT_TRUE (v >= 0.0f && v < 100.0f) << v;
    EXPECT_GT (*std::max_element (random.begin(), random.end()) - *std::min_element (random.begin(), random.end()),
               1.0f);

    apply (3, 16);
    EXPECT_EQ (shape (0), 2);
    apply (15, 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ (shape (i), 4);

    const auto menu = editor.buildStepMenu (0);
    const auto items = tz::test::menuItems (menu);
    EXPECT_EQ (items[0]->text, "STEP 1");
    EXPECT_TRUE (tz::test::findItem (menu, 5)->isTicked); // Glide, set just above
}

TEST_F (StepFixture, LfoCurveIsTheEnginesWaveForTheShownCycle)
{
    setMod (tz::modField::mode, 0.0f);
    setMod (tz::modField::rate, 12.0f); // one bar
    setMod (tz::modField::smooth, 0.0f);

    const struct
    {
        int shape;
        float phase;
        std::function<double (double)> wave; // of the cycle position, phase included
    } cases[] = {
        { 0, 0.0f, [] (double t) { return 0.5 - 0.5 * std::cos (2.0 * juce::MathConstants<double>::pi * t); } },
        { 1, 25.0f, [] (double t) { return 1.0 - std::abs (2.0 * (t - std::floor (t)) - 1.0); } },
        { 2, 50.0f, [] (double t) { return t - std::floor (t); } },
    };

    for (const auto& c : cases)
    {
        setMod (tz::modField::shape, (float) c.shape);
        setMod (tz::modField::phase, c.phase);
        const auto curve = editor.lfoCurve();
        ASSERT_EQ (curve.size(), (size_t) StepEditor::lfoSegments + 1);

        for (int k = 0; k < 8; ++k)
        {
            const double x = k / 8.0 + 1.0 / 64.0; // clear of the saw's jump
            const int i = (int) std::lround (x * StepEditor::lfoSegments);
            EXPECT_NEAR (curve[(size_t) i], c.wave ((double) i / StepEditor::lfoSegments + c.phase / 100.0), 1e-5)
                << c.shape << " at " << x;
        }
    }

    // Smoothing rounds off the square's jump instead of drawing a cliff.
    setMod (tz::modField::shape, 4.0f);
    setMod (tz::modField::phase, 0.0f);
    setMod (tz::modField::smooth, 50.0f);
    const auto smoothed = editor.lfoCurve();
    const float justAfter = smoothed[StepEditor::lfoSegments / 2 + 2];
    EXPECT_GT (justAfter, 0.3f);
    EXPECT_LT (justAfter, 0.99f);
    EXPECT_LT (smoothed[StepEditor::lfoSegments - 1], 0.2f);
}
