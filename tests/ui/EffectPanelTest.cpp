#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/PluginEditor.h"

using Rect = juce::Rectangle<int>;

namespace
{
struct ChainFixture : ::testing::Test
{
    ChainFixture()
    {
        processor.resetToInit();
        processor.setChainOrder (tz::defaultChainOrder);
        editor = std::make_unique<TazzleAudioProcessorEditor> (processor);
    }

    MainPanel& panel() { return editor->getMainPanel(); }
    EffectPanel& pedal (tz::EffectId e) { return panel().getEffectPanel (e); }

    void setFolded (int mask)
    {
        processor.getParameterState().state.setProperty (tz::stateIds::folded, mask, nullptr);
        panel().refresh();
    }

    int slotOf (tz::EffectId e) const
    {
        const auto order = processor.getChainOrder();
        return (int) (std::find (order.begin(), order.end(), (int) e) - order.begin());
    }

    void press (EffectPanel& p, juce::Point<float> at)
    {
        pressedAt = at;
        p.mouseDown (tz::test::mouseEvent (p, at, juce::ModifierKeys::leftButtonModifier, at));
    }
    void drag (EffectPanel& p, juce::Point<float> to)
    {
        p.mouseDrag (tz::test::mouseEvent (p, to, juce::ModifierKeys::leftButtonModifier, pressedAt));
    }
    void release (EffectPanel& p, juce::Point<float> at) { p.mouseUp (tz::test::mouseEvent (p, at, {}, pressedAt)); }

    TazzleAudioProcessor processor;
    std::unique_ptr<TazzleAudioProcessorEditor> editor;
    juce::Point<float> pressedAt;
};
} // namespace

TEST_F (ChainFixture, OpenPanelsFollowTheLayoutTable)
{
    // Computed by hand from the layout rules for each effect at its preferred width and 340 high.
    const struct
    {
        tz::EffectId effect;
        Rect onOff;
        std::vector<std::pair<Rect, Rect>> menus; // label, menu
        std::vector<Rect> knobs;
        std::array<Rect, 3> bottom; // earlier, later, fold
    } cases[] = {
        { tz::filter,
          { 111, 15, 24, 24 },
          { { { 14, 46, 0, 22 }, { 14, 46, 122, 22 } } },
          { { 14, 74, 61, 111 }, { 75, 74, 61, 111 }, { 44, 185, 61, 111 } },
          { { { 20, 305, 26, 20 }, { 104, 305, 26, 20 }, { 60, 305, 30, 20 } } } },
        { tz::volume,
          { 97, 15, 24, 24 },
          {},
          { { 14, 74, 54, 111 }, { 68, 74, 54, 111 } },
          { { { 20, 305, 26, 20 }, { 90, 305, 26, 20 }, { 53, 305, 30, 20 } } } },
        { tz::crush,
          { 111, 15, 24, 24 },
          {},
          { { 14, 74, 61, 111 }, { 75, 74, 61, 111 }, { 44, 185, 61, 111 } },
          { { { 20, 305, 26, 20 }, { 104, 305, 26, 20 }, { 60, 305, 30, 20 } } } },
        { tz::drive,
          { 111, 15, 24, 24 },
          { { { 14, 46, 0, 22 }, { 14, 46, 122, 22 } } },
          { { 14, 74, 61, 111 }, { 75, 74, 61, 111 }, { 44, 185, 61, 111 } },
          { { { 20, 305, 26, 20 }, { 104, 305, 26, 20 }, { 60, 305, 30, 20 } } } },
        { tz::delay,
          { 119, 15, 24, 24 },
          { { { 14, 46, 40, 22 }, { 54, 46, 90, 22 } } },
          { { 14, 74, 65, 111 }, { 79, 74, 65, 111 }, { 14, 185, 65, 111 }, { 79, 185, 65, 111 } },
          { { { 20, 305, 26, 20 }, { 112, 305, 26, 20 }, { 64, 305, 30, 20 } } } },
        { tz::reverb,
          { 111, 15, 24, 24 },
          {},
          { { 14, 74, 61, 111 }, { 75, 74, 61, 111 }, { 44, 185, 61, 111 } },
          { { { 20, 305, 26, 20 }, { 104, 305, 26, 20 }, { 60, 305, 30, 20 } } } },
        { tz::stutter,
          { 119, 15, 24, 24 },
          { { { 14, 46, 40, 22 }, { 54, 46, 90, 22 } }, { { 14, 72, 40, 22 }, { 54, 72, 90, 22 } } },
          { { 14, 100, 65, 98 }, { 79, 100, 65, 98 }, { 46, 198, 65, 98 } },
          { { { 20, 305, 26, 20 }, { 112, 305, 26, 20 }, { 64, 305, 30, 20 } } } },
        { tz::tapestop,
          { 107, 15, 24, 24 },
          { { { 14, 46, 40, 22 }, { 54, 46, 78, 22 } } },
          { { 14, 74, 59, 111 }, { 73, 74, 59, 111 } },
          { { { 20, 305, 26, 20 }, { 100, 305, 26, 20 }, { 58, 305, 30, 20 } } } },
        { tz::reverse,
          { 97, 15, 24, 24 },
          { { { 14, 46, 40, 22 }, { 54, 46, 68, 22 } } },
          { { 14, 74, 108, 111 } },
          { { { 20, 305, 26, 20 }, { 90, 305, 26, 20 }, { 53, 305, 30, 20 } } } },
        { tz::grain,
          { 181, 15, 24, 24 },
          { { { 14, 46, 0, 22 }, { 14, 46, 192, 22 } } },
          { { 14, 74, 64, 111 },
            { 78, 74, 64, 111 },
            { 142, 74, 64, 111 },
            { 14, 185, 64, 111 },
            { 78, 185, 64, 111 },
            { 142, 185, 64, 111 } },
          { { { 20, 305, 26, 20 }, { 174, 305, 26, 20 }, { 95, 305, 30, 20 } } } },
    };

    for (const auto& c : cases)
    {
        auto& p = pedal (c.effect);
        SCOPED_TRACE (tz::effectNames[(size_t) c.effect]);
        p.setBounds (0, 0, p.preferredWidth(), 340);

        EXPECT_EQ (p.getSwitch().getBounds(), c.onOff);
        ASSERT_EQ (p.getNumMenus(), c.menus.size());
        for (size_t i = 0; i < c.menus.size(); ++i)
        {
            EXPECT_EQ (p.getMenuLabel (i).getBounds(), c.menus[i].first);
            EXPECT_EQ (p.getMenu (i).getBounds(), c.menus[i].second);
            EXPECT_EQ (p.getMenuLabel (i).isVisible(), c.menus[i].first.getWidth() > 0);
        }
        ASSERT_EQ (p.getKnobs().size(), c.knobs.size());
        for (size_t i = 0; i < c.knobs.size(); ++i)
            EXPECT_EQ (p.getKnobs()[i]->getBounds(), c.knobs[i]) << i;
        EXPECT_EQ (p.getEarlierButton().getBounds(), c.bottom[0]);
        EXPECT_EQ (p.getLaterButton().getBounds(), c.bottom[1]);
        EXPECT_EQ (p.getFoldButton().getBounds(), c.bottom[2]);
    }

    EXPECT_EQ (pedal (tz::stutter).getMenuLabel (1).getText(), "EVERY");
    EXPECT_EQ (pedal (tz::delay).getKnobs()[1]->getCaption().getText(), "PING PONG");
    EXPECT_EQ (pedal (tz::grain).getMenu (0).getNumItems(), 4);
}

TEST_F (ChainFixture, FoldedPanelShowsOnlyItsSwitchAndOpenButton)
{
    setFolded (1 << tz::delay);
    auto& p = pedal (tz::delay);

    EXPECT_TRUE (p.isCollapsed());
    EXPECT_EQ (p.getWidth(), 42);
    EXPECT_EQ (p.getSwitch().getBounds(), Rect (9, 14, 24, 24));
    EXPECT_EQ (p.getFoldButton().getBounds(), Rect (8, 306, 26, 20));
    EXPECT_EQ (p.getFoldButton().getIcon(), IconButton::Icon::unfold);
    EXPECT_EQ (p.getFoldButton().getTooltip(), "Open this effect");

    for (auto* child : p.getChildren())
        EXPECT_EQ (child->isVisible(), child == &p.getSwitch() || child == &p.getFoldButton());

    setFolded (0);
    EXPECT_FALSE (p.isCollapsed());
    EXPECT_TRUE (p.getKnobs().front()->isVisible());
    EXPECT_TRUE (p.getMenuLabel (0).isVisible());
    EXPECT_EQ (p.getFoldButton().getTooltip(), "Fold this effect away (it keeps working)");
}

TEST_F (ChainFixture, ChainStretchesOpenPanelsToFillTheStrip)
{
    const auto widthOf = [this] (tz::EffectId e) { return pedal (e).getWidth(); };
    const int everyOther = (1 << tz::numEffects) - 1;

    const struct
    {
        const char* name;
        int foldedMask;
        double factor;
        tz::EffectId probe;
    } cases[] = {
        { "all open", 0, (1568.0 + 1554.0 - 1574.0) / 1554.0, tz::grain },
        { "only grain folded", 1 << tz::grain, (1568.0 + 1334.0 - 1396.0) / 1334.0, tz::filter },
        { "eight folded", everyOther & ~((1 << tz::filter) | (1 << tz::volume)), 1.6, tz::volume },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        setFolded (c.foldedMask);
        EXPECT_EQ (widthOf (c.probe), juce::roundToInt (pedal (c.probe).preferredWidth() * c.factor));

        int x = 0;
        for (const int e : processor.getChainOrder())
        {
            auto& p = pedal ((tz::EffectId) e);
            EXPECT_EQ (p.getX(), x);
            EXPECT_EQ (p.getWidth(), p.isCollapsed() ? 42 : juce::roundToInt (p.preferredWidth() * c.factor));
            EXPECT_EQ (p.getHeight(), 340);
            x += p.getWidth() + 2;
        }
        // Below the cap the panels fill the strip, short by each width's rounding at most.
        if (c.factor < 1.6)
        {
            EXPECT_NEAR (x - 2, 1568, 8);
        }
        EXPECT_EQ (panel().getChainViewport().getViewedComponent()->getWidth(), 1568);
    }

    setFolded (everyOther);
    const auto order = processor.getChainOrder();
    for (int slot = 0; slot < tz::numEffects; ++slot)
        EXPECT_EQ (pedal ((tz::EffectId) order[(size_t) slot]).getBounds(), Rect (44 * slot, 0, 42, 340));
    EXPECT_EQ (panel().getChainViewport().getViewedComponent()->getWidth(), 1568);
}

TEST_F (ChainFixture, HeaderDragMovesTheEffectLiveAndArrowsFollow)
{
    auto& reverb = pedal (tz::reverb);
    ASSERT_EQ (slotOf (tz::reverb), 8);
    EXPECT_FALSE (pedal (tz::stutter).getEarlierButton().isEnabled());

    // A press in the knob area of an open pedal is no drag.
    press (reverb, { 60.0f, 150.0f });
    EXPECT_FALSE (reverb.isDragging());
    drag (reverb, { -1200.0f, 150.0f });
    release (reverb, { -1200.0f, 150.0f });
    EXPECT_EQ (slotOf (tz::reverb), 8);

    // From the header, to the far left: the move happens while the pointer moves.
    press (reverb, { 60.0f, 20.0f });
    EXPECT_TRUE (reverb.isDragging());
    drag (reverb, { 60.0f - (float) reverb.getX(), 20.0f });
    EXPECT_EQ (slotOf (tz::reverb), 0);
    EXPECT_EQ (reverb.getX(), 0);
    release (reverb, { 10.0f, 20.0f });
    EXPECT_FALSE (reverb.isDragging());
    EXPECT_EQ (slotOf (tz::reverb), 0);

    EXPECT_FALSE (reverb.getEarlierButton().isEnabled());
    EXPECT_TRUE (pedal (tz::stutter).getEarlierButton().isEnabled());
    EXPECT_EQ (pedal (tz::stutter).getPosition(), 1);

    // Releasing over its own place changes nothing.
    const auto before = processor.getChainOrder();
    auto& delay = pedal (tz::delay);
    press (delay, { 50.0f, 10.0f });
    drag (delay, { 58.0f, 12.0f });
    release (delay, { 58.0f, 12.0f });
    EXPECT_EQ (processor.getChainOrder(), before);

    // A folded pedal drags from anywhere.
    setFolded (1 << tz::tapestop);
    auto& tapestop = pedal (tz::tapestop);
    press (tapestop, { 20.0f, 200.0f });
    EXPECT_TRUE (tapestop.isDragging());
    drag (tapestop, { 20.0f - (float) tapestop.getX(), 200.0f });
    release (tapestop, { 20.0f, 200.0f });
    EXPECT_EQ (slotOf (tz::tapestop), 0);
}

TEST_F (ChainFixture, ArrowsMoveTheEffectAndDimAtTheEnds)
{
    auto& stutter = pedal (tz::stutter);
    auto& tapestop = pedal (tz::tapestop);
    EXPECT_FALSE (stutter.getEarlierButton().isEnabled());
    EXPECT_TRUE (stutter.getLaterButton().isEnabled());
    EXPECT_FALSE (tapestop.getLaterButton().isEnabled());

    stutter.getLaterButton().onClick();
    panel().refresh();
    EXPECT_EQ (slotOf (tz::stutter), 1);
    EXPECT_TRUE (stutter.getEarlierButton().isEnabled());
    EXPECT_FALSE (pedal (tz::reverse).getEarlierButton().isEnabled());
    EXPECT_LT (pedal (tz::reverse).getX(), stutter.getX());

    stutter.getEarlierButton().onClick();
    panel().refresh();
    EXPECT_EQ (processor.getChainOrder(), tz::defaultChainOrder);
}

TEST_F (ChainFixture, FoldingIsKeptInTheStateAndSurvivesPresetLoads)
{
    auto& grain = pedal (tz::grain);
    grain.getFoldButton().onClick();
    EXPECT_EQ ((int) processor.getParameterState().state.getProperty (tz::stateIds::folded), 1 << tz::grain);
    EXPECT_TRUE (grain.isCollapsed());
    EXPECT_EQ (grain.getWidth(), 42);

    processor.loadPreset (tz::initPatchDocument());
    panel().refresh();
    EXPECT_TRUE (grain.isCollapsed());

    grain.getFoldButton().onClick();
    EXPECT_EQ ((int) processor.getParameterState().state.getProperty (tz::stateIds::folded), 0);
    EXPECT_FALSE (grain.isCollapsed());
}

TEST_F (ChainFixture, SwitchingAnEffectFromTheHostLightsItsPanelInOneRefresh)
{
    panel().refresh();
    auto& delay = pedal (tz::delay);
    ASSERT_FALSE (delay.enabled);
    auto& repaints = tz::test::RepaintCounter::attachTo (delay);

    processor.setValue (tz::delayOn, 1.0f);
    panel().refresh();
    EXPECT_TRUE (delay.enabled);
    EXPECT_TRUE (delay.getSwitch().getToggleState());
    const int afterSwitch = repaints.count;
    EXPECT_GT (afterSwitch, 0);

    panel().refresh();
    EXPECT_EQ (repaints.count, afterSwitch);

    // Folded pedals leave their knobs alone: a new route shows only once the pedal is open.
    setFolded (1 << tz::delay);
    processor.addRoute (0, tz::delayMix);
    const int folded = repaints.count;
    panel().refresh();
    EXPECT_EQ (repaints.count, folded);
}
