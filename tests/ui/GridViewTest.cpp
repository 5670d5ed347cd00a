#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "ui/GridView.h"

using Rect = juce::Rectangle<int>;

namespace
{
struct GridFixture : ::testing::Test
{
    GridFixture()
    {
        processor.resetToInit();
        processor.setChainOrder (tz::defaultChainOrder);
        grid.setBounds (0, 0, 1224, 384); // the page area at the design size
    }

    // The row that shows effect e, in the current chain order.
    int rowOf (tz::EffectId e) const
    {
        const auto order = processor.getChainOrder();
        return (int) (std::find (order.begin(), order.end(), (int) e) - order.begin());
    }

    juce::Point<float> cellCentre (tz::EffectId e, int column) const
    {
        return grid.cellBounds (rowOf (e), column).toFloat().getCentre();
    }

    void press (juce::Point<float> at)
    {
        pressedAt = at;
        grid.mouseDown (tz::test::mouseEvent (grid, at, juce::ModifierKeys::leftButtonModifier, at));
    }
    void drag (juce::Point<float> to)
    {
        grid.mouseDrag (tz::test::mouseEvent (grid, to, juce::ModifierKeys::leftButtonModifier, pressedAt));
    }

    unsigned steps (tz::EffectId e) const { return processor.getGridRow (e).steps; }

    TazzleAudioProcessor processor;
    GridView grid { processor };
    juce::Point<float> pressedAt;
};

unsigned columns (int from, int to)
{
    unsigned mask = 0;
    for (int c = from; c <= to; ++c)
        mask |= 1u << c;
    return mask;
}
} // namespace

TEST_F (GridFixture, GeometryFollowsTheLayoutRules)
{
    EXPECT_EQ (grid.rowHeight(), 31);
    EXPECT_EQ (grid.cellWidth(), 65);
    EXPECT_EQ (grid.cellBounds (0, 0), Rect (168, 55, 61, 25));
    EXPECT_EQ (grid.cellBounds (9, 15), Rect (168 + 15 * 65, 55 + 9 * 31, 61, 25));
    EXPECT_EQ (grid.gridSwitchBounds (2), Rect (116, 57 + 2 * 31, 40, 21));

    const struct
    {
        const char* name;
        juce::Component& component;
        Rect bounds;
    } header[] = {
        { "CLEAR", grid.getClearButton(), { 1136, 18, 70, 24 } },
        { "steps menu", grid.getStepsMenu(), { 1060, 18, 60, 24 } },
        { "steps label", grid.getStepsLabel(), { 1014, 18, 46, 24 } },
        { "rate menu", grid.getRateMenu(), { 918, 18, 84, 24 } },
        { "rate label", grid.getRateLabel(), { 878, 18, 40, 24 } },
    };
    for (const auto& c : header)
        EXPECT_EQ (c.component.getBounds(), c.bounds) << c.name;

    // Narrow: laid out as if 256 wide, each control taking what is left.
    grid.setBounds (0, 0, 100, 60);
    EXPECT_EQ (grid.getClearButton().getBounds(), Rect (168, 18, 70, 24));
    EXPECT_EQ (grid.getRateLabel().getWidth(), 0);
    EXPECT_EQ (grid.cellWidth(), 0);
    EXPECT_EQ (grid.rowHeight(), 0);
}

TEST_F (GridFixture, PaintingFillsEveryColumnSweptAndSwitchesTheEffectOn)
{
    ASSERT_EQ (processor.getValue (tz::delayOn), 0.0f);
    ASSERT_FALSE (processor.getGridRow (tz::delay).enabled);

    press (cellCentre (tz::delay, 2));
    drag (cellCentre (tz::delay, 9)); // one fast move, nothing in between
    EXPECT_EQ (steps (tz::delay), columns (2, 9));
    EXPECT_TRUE (processor.getGridRow (tz::delay).enabled);
    EXPECT_EQ (processor.getValue (tz::delayOn), 1.0f);

    // The row never changes during a drag, whatever the pointer crosses.
    drag (cellCentre (tz::reverb, 11));
    EXPECT_EQ (steps (tz::delay), columns (2, 11));
    EXPECT_EQ (steps (tz::reverb), 0u);

    // Pressing a set cell erases, whatever the swept cells were; erasing switches nothing off.
    press (cellCentre (tz::delay, 5));
    drag (cellCentre (tz::delay, 13));
    EXPECT_EQ (steps (tz::delay), columns (2, 4));
    processor.setValue (tz::delayOn, 0.0f);
    press (cellCentre (tz::delay, 3));
    EXPECT_EQ (steps (tz::delay), columns (2, 2) | columns (4, 4));
    EXPECT_TRUE (processor.getGridRow (tz::delay).enabled);
    EXPECT_EQ (processor.getValue (tz::delayOn), 0.0f);
}

TEST_F (GridFixture, GridSwitchTogglesTheRowAndKeepsItsSteps)
{
    processor.setGridRow (tz::crush, { columns (0, 3), true });
    press (grid.gridSwitchBounds (rowOf (tz::crush)).toFloat().getCentre());
    EXPECT_FALSE (processor.getGridRow (tz::crush).enabled);
    EXPECT_EQ (steps (tz::crush), columns (0, 3));

    drag (cellCentre (tz::crush, 8)); // no drag starts on a switch
    EXPECT_EQ (steps (tz::crush), columns (0, 3));

    press (grid.gridSwitchBounds (rowOf (tz::crush)).toFloat().getCentre());
    EXPECT_TRUE (processor.getGridRow (tz::crush).enabled);
}

TEST_F (GridFixture, RowsFollowTheChainOrder)
{
    processor.moveEffect (tz::grain, -2); // to the first row
    ASSERT_EQ (rowOf (tz::grain), 0);
    press (grid.cellBounds (0, 4).toFloat().getCentre());
    EXPECT_EQ (steps (tz::grain), columns (4, 4));
    EXPECT_EQ (steps (tz::stutter), 0u);
}

TEST_F (GridFixture, CellsBeyondTheLengthStayEditable)
{
    processor.setValue (tz::gridLength, 5.0f);
    press (cellCentre (tz::filter, 10));
    EXPECT_EQ (steps (tz::filter), columns (10, 10));

    juce::Image image (juce::Image::ARGB, grid.getWidth(), grid.getHeight(), true);
    juce::Graphics g (image);
    grid.paintEntireComponent (g, false);
    // Set cells beyond the length are drawn dimmed and darkened; inside it they are bright.
    press (cellCentre (tz::filter, 1));
    juce::Image after (juce::Image::ARGB, grid.getWidth(), grid.getHeight(), true);
    juce::Graphics g2 (after);
    grid.paintEntireComponent (g2, false);
    const auto inside = after.getPixelAt ((int) cellCentre (tz::filter, 1).x, (int) cellCentre (tz::filter, 1).y);
    const auto beyond = after.getPixelAt ((int) cellCentre (tz::filter, 10).x, (int) cellCentre (tz::filter, 10).y);
    EXPECT_GT (inside.getBrightness(), beyond.getBrightness() + 0.3f);
}

TEST_F (GridFixture, ClearLeavesEveryRowDisabledAndEmpty)
{
    for (int e = 0; e < tz::numEffects; ++e)
        processor.setGridRow ((tz::EffectId) e, { 0x5555u, true });

    grid.getClearButton().onClick();
    for (int e = 0; e < tz::numEffects; ++e)
    {
        EXPECT_EQ (processor.getGridRow ((tz::EffectId) e).steps, 0u) << e;
        EXPECT_FALSE (processor.getGridRow ((tz::EffectId) e).enabled) << e;
    }
}
