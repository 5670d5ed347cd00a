#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "support/ProcessorHarness.h"
#include "ui/XYPad.h"
#include "ui/theme/Theme.h"

namespace
{
struct PadFixture : ::testing::Test
{
    PadFixture() { pad.setBounds (0, 0, 236, 384); } // the pad's place at the design size

    void press (juce::Point<float> at)
    {
        pressedAt = at;
        pad.mouseDown (tz::test::mouseEvent (pad, at, juce::ModifierKeys::leftButtonModifier, at));
    }
    void drag (juce::Point<float> to)
    {
        pad.mouseDrag (tz::test::mouseEvent (pad, to, juce::ModifierKeys::leftButtonModifier, pressedAt));
    }
    void release() { pad.mouseUp (tz::test::mouseEvent (pad, pressedAt, {}, pressedAt)); }

    float x() const { return harness.processor.getValue (tz::xyX); }
    float y() const { return harness.processor.getValue (tz::xyY); }

    tz::test::ProcessorHarness harness;
    XYPad pad { harness.processor };
    juce::Point<float> pressedAt;
};
} // namespace

TEST_F (PadFixture, ValuesFollowThePointerAndClampBeyondThePad)
{
    // The value area is 188 wide from x 24 and 160 high up from y 210.
    const struct
    {
        juce::Point<float> at;
        float x, y;
    } cases[] = {
        { { 24.0f, 210.0f }, 0.0f, 0.0f },    { { 212.0f, 50.0f }, 100.0f, 100.0f },
        { { 118.0f, 130.0f }, 50.0f, 50.0f }, { { 61.6f, 170.0f }, 20.0f, 25.0f },
        { { -80.0f, 400.0f }, 0.0f, 0.0f },   { { 600.0f, -90.0f }, 100.0f, 100.0f },
    };
    for (const auto& c : cases)
    {
        const auto values = pad.valuesAt (c.at);
        EXPECT_NEAR (values.x, c.x, 1e-3f) << c.at.toString();
        EXPECT_NEAR (values.y, c.y, 1e-3f) << c.at.toString();
    }

    press ({ 118.0f, 130.0f });
    EXPECT_NEAR (x(), 50.0f, 0.01f);
    EXPECT_NEAR (y(), 50.0f, 0.01f);
    drag ({ 900.0f, -300.0f });
    EXPECT_EQ (x(), 100.0f);
    EXPECT_EQ (y(), 100.0f);
    release();
}

TEST_F (PadFixture, APressOutsideThePadMovesNothing)
{
    harness.processor.setValue (tz::xyX, 30.0f);
    harness.processor.setValue (tz::xyY, 40.0f);

    press (pad.getXButton().getBounds().toFloat().getCentre());
    drag ({ 118.0f, 130.0f });
    release();
    EXPECT_FLOAT_EQ (x(), 30.0f);
    EXPECT_FLOAT_EQ (y(), 40.0f);

    pad.mouseDoubleClick (tz::test::mouseEvent (pad, { 100.0f, 100.0f }, {}, { 100.0f, 100.0f }));
    EXPECT_EQ (x(), 50.0f);
    EXPECT_EQ (y(), 100.0f);
    EXPECT_EQ (XYPad::speedLabel (x()), "x1");
}

TEST_F (PadFixture, GesturesAlwaysClose)
{
    tz::test::GestureCounter counter;
    harness.processor.addListener (&counter);

    press ({ 60.0f, 60.0f });
    drag ({ 90.0f, 100.0f });
    release();
    EXPECT_EQ (counter.begun, 2);
    EXPECT_EQ (counter.ended, 2);
    harness.processor.removeListener (&counter);
}

TEST_F (PadFixture, AModulatedXMovesThePuckAndItsTrail)
{
    // Mod 1, a fast sine, moves X; nobody touches the pad.
    auto& processor = harness.processor;
    processor.setValue (tz::modParam (0, tz::modField::mode), 0.0f);
    processor.setValue (tz::modParam (0, tz::modField::rate), 9.0f);
    processor.setValue (tz::xyX, 20.0f);
    processor.addRoute (tz::routeSource::firstModulator, tz::xyX);
    harness.playHead.playing = true;
    harness.playHead.ppq = 0.0;

    harness.processConstant (0.0f, 4800);
    pad.refresh();
    const auto before = pad.puckCentre();
    harness.processConstant (0.0f, 4800);
    pad.refresh();
    harness.processConstant (0.0f, 4800);
    pad.refresh();

    EXPECT_GT (std::abs (pad.puckCentre().x - before.x), 5.0f);
    EXPECT_GE (pad.getTrailCount(), 2);
    EXPECT_FLOAT_EQ (x(), 20.0f); // the parameter itself stays
}

TEST_F (PadFixture, RouteRowsShowTheRoutesOfXAndY)
{
    auto& processor = harness.processor;
    pad.refresh();
    EXPECT_TRUE (pad.getRouteRows().empty());

    processor.addRoute (tz::routeSource::x, tz::filterCutoff);
    processor.addRoute (tz::routeSource::y, tz::mix);
    processor.addRoute (0, tz::delayMix);
    processor.addRoute (tz::routeSource::x, tz::filterCutoff); // already there
    pad.refresh();
    ASSERT_EQ (pad.getRouteRows().size(), 2u);
    // The pad's rows are too narrow for the group names.
    EXPECT_EQ (pad.getRouteRows()[0]->getTargetButton().getButtonText(), "X   Cutoff");
    EXPECT_EQ (pad.getRouteRows()[1]->getTargetButton().getButtonText(), "Y   Mix");
    EXPECT_EQ (pad.getRouteRows()[0]->getWidth(), 236 - 36 - 6);
}

TEST_F (PadFixture, WithoutModulationThePuckFollowsTheParameters)
{
    // No audio has run: the pad still shows where a drag put it.
    press ({ 61.6f, 170.0f });
    release();
    EXPECT_NEAR (pad.puckCentre().x, 61.6f, 0.01f);
    EXPECT_NEAR (pad.puckCentre().y, 170.0f, 0.01f);
    pad.refresh();
    EXPECT_EQ (pad.getTrailCount(), 1);
}

TEST_F (PadFixture, RouteRowTextStaysOnOneLineAtOneSize)
{
    harness.processor.addRoute (tz::routeSource::x, tz::filterResonance);
    harness.processor.addRoute (tz::routeSource::y, tz::tapestopCurve);
    harness.processor.addRoute (tz::routeSource::y, tz::mix);
    pad.refresh();
    ASSERT_EQ (pad.getRouteRows().size(), 3u);

    const juce::StringArray expected { "X   Resonance", "Y   Stop Curve", "Y   Mix" };
    const float height = pad.getRouteRows()[0]->getTargetButton().fontHeight;
    for (size_t i = 0; i < pad.getRouteRows().size(); ++i)
    {
        auto& button = pad.getRouteRows()[i]->getTargetButton();
        EXPECT_EQ (button.getButtonText(), expected[(int) i]);
        EXPECT_EQ (button.fontHeight, height); // neighbours match
        EXPECT_GE (button.fontHeight, 9.0f);
        EXPECT_LE (tz::theme::nexa (button.fontHeight).getStringWidthFloat (button.getButtonText()),
                   (float) button.getWidth() - 8.0f + 0.01f);
    }
}

TEST (RouteRowText, EveryRouteFitsOneLineNoSmallerThanTheSmallestLabel)
{
    // The target buttons' text widths in the XY pad's rows and in the modulator section's.
    for (const float width : { 89.0f, 118.0f })
        for (const int source : { 1, 5, 6 })
            for (int target = 0; target < (int) tz::modTargets().size(); ++target)
            {
                const auto label = fitRouteRowText (source, target, width);
                const auto& text = label.text;
                EXPECT_GE (label.fontHeight, 9.0f) << text;
                EXPECT_LE (label.fontHeight, 12.0f) << text;
                if (label.fontHeight > 9.0f)
                {
                    EXPECT_LE (tz::theme::nexa (label.fontHeight).getStringWidthFloat (text), width + 0.01f) << text;
                }
                if (label.fontHeight < 12.0f)
                {
                    EXPECT_NE (text, routeRowText (source, target)) << "shrunk before shortened: " << text;
                }
            }
}
