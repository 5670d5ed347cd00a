#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "engine/Routes.h"
#include "presets/StateDocument.h"
#include "ui/Knob.h"
#include "ui/ParamMenu.h"
#include "ui/theme/Theme.h"

using tz::test::findItem;
using tz::test::menuItems;

namespace
{
struct KnobFixture : ::testing::Test
{
    KnobFixture() { processor.resetToInit(); }

    int route (int source, tz::P target) const { return processor.findRoute (source, target); }

    void setDepth (int slot, float depth) { processor.setValue (tz::routeParam (slot, tz::routeField::depth), depth); }

    TazzleAudioProcessor processor;
};

constexpr int mod1 = 1, mod3 = 3, xItem = 5;
} // namespace

TEST_F (KnobFixture, LayoutPutsTheCaptionOverTheDial)
{
    const struct
    {
        juce::Rectangle<int> bounds, caption, dial;
    } cases[] = {
        { { 0, 0, 80, 104 }, { 0, 0, 80, 14 }, { 0, 14, 80, 90 } },
        { { 0, 0, 62, 60 }, { 0, 0, 62, 14 }, { 0, 14, 62, 46 } },
        { { 0, 0, 50, 10 }, { 0, 0, 50, 10 }, { 0, 10, 50, 0 } },
    };

    Knob knob (processor, tz::filterCutoff, "CUTOFF", tz::theme::effectColour (tz::filter));
    for (const auto& c : cases)
    {
        knob.setBounds (c.bounds);
        EXPECT_EQ (knob.getCaption().getBounds(), c.caption);
        EXPECT_EQ (knob.getDial().getBounds(), c.dial);
    }
    EXPECT_EQ (knob.getCaption().getText(), "CUTOFF");
    EXPECT_EQ (knob.getDial().getTextBoxWidth(), 64);
    EXPECT_EQ (knob.getDial().getTextBoxHeight(), 14);
}

TEST_F (KnobFixture, OnlyModulationTargetsOfferTheMenu)
{
    const struct
    {
        tz::P parameter;
        bool modulatable;
        const char* tooltip;
    } cases[] = {
        { tz::filterCutoff, true, "Right-click to modulate" },
        { tz::inputGain, true, "Right-click to modulate" },
        { tz::mix, true, "Right-click to modulate, or to lock it (it then stays when you change presets)" },
        { tz::outputGain, true, "Right-click to modulate, or to lock it (it then stays when you change presets)" },
        { (tz::P) tz::modParam (0, tz::modField::rate), false, "" },
        { (tz::P) tz::routeParam (3, tz::routeField::depth), false, "" },
    };

    for (const auto& c : cases)
    {
        Knob knob (processor, c.parameter, "K", tz::theme::accent);
        EXPECT_EQ (knob.isModulatable(), c.modulatable) << c.parameter;
        EXPECT_EQ (knob.getDial().getTooltip(), juce::String (c.tooltip)) << c.parameter;
        EXPECT_EQ (knob.getDial().onPopupClick != nullptr, c.modulatable) << c.parameter;
    }
}

TEST_F (KnobFixture, MenuListsSourcesWithTicksAndLockOnlyOnMixAndOutput)
{
    processor.addRoute (1, tz::filterCutoff);

    Knob cutoff (processor, tz::filterCutoff, "CUTOFF", tz::theme::accent);
    const auto menu = cutoff.buildModulationMenu();
    const auto items = menuItems (menu);

    ASSERT_FALSE (items.empty());
    EXPECT_TRUE (items[0]->isSectionHeader);
    EXPECT_EQ (items[0]->text, "FILTER CUTOFF");

    const struct
    {
        int code;
        const char* text;
        bool ticked;
    } expected[] = {
        { 1, "Modulate with Mod 1", false },      { 2, "Modulate with Mod 2", true },
        { 3, "Modulate with Mod 3", false },      { 4, "Modulate with Mod 4", false },
        { 5, "Modulate with X (XY pad)", false }, { 6, "Modulate with Y (XY pad)", false },
        { 100, "Remove all modulation", false },
    };
    for (const auto& e : expected)
    {
        const auto* item = findItem (menu, e.code);
        ASSERT_NE (item, nullptr) << e.code;
        EXPECT_EQ (item->text, e.text);
        EXPECT_EQ (item->isTicked, e.ticked) << e.text;
        EXPECT_TRUE (item->isEnabled) << e.text;
    }
    EXPECT_EQ (findItem (menu, Knob::lockCode), nullptr);

    Knob input (processor, tz::inputGain, "INPUT", tz::theme::accent);
    EXPECT_EQ (findItem (input.buildModulationMenu(), Knob::lockCode), nullptr);
    EXPECT_FALSE (findItem (input.buildModulationMenu(), Knob::removeAllCode)->isEnabled);

    Knob output (processor, tz::outputGain, "OUTPUT", tz::theme::accent);
    const auto outputMenu = output.buildModulationMenu(); // kept alive: the item found points into it
    const auto* lock = findItem (outputMenu, Knob::lockCode);
    ASSERT_NE (lock, nullptr);
    EXPECT_EQ (lock->text, "Lock (keep when changing presets)");
    EXPECT_FALSE (lock->isTicked);
}

TEST_F (KnobFixture, TogglingASourceAddsOrRemovesItsRouteAndSelectsTheModulator)
{
    Knob knob (processor, tz::filterCutoff, "CUTOFF", tz::theme::accent);
    std::vector<int> chosen;
    knob.onModulatorChosen = [&chosen] (int n) { chosen.push_back (n); };

    knob.handleModulationMenuResult (mod3);
    const int slot = route (2, tz::filterCutoff);
    ASSERT_GE (slot, 0);
    EXPECT_FLOAT_EQ (processor.modDepthOn (tz::filterCutoff), 0.5f);

    // Choosing it again removes the route and still selects Mod 3.
    knob.handleModulationMenuResult (mod3);
    EXPECT_EQ (route (2, tz::filterCutoff), -1);
    EXPECT_EQ (processor.getValue (tz::routeParam (slot, tz::routeField::source)), 0.0f);
    EXPECT_EQ (processor.getValue (tz::routeParam (slot, tz::routeField::target)), 0.0f);
    EXPECT_EQ (processor.getValue (tz::routeParam (slot, tz::routeField::depth)), 50.0f);
    EXPECT_EQ (chosen, (std::vector<int> { 2, 2 }));

    // X and Y are not modulators: nothing to select.
    knob.handleModulationMenuResult (xItem);
    EXPECT_GE (route (tz::routeSource::x, tz::filterCutoff), 0);
    EXPECT_EQ (chosen.size(), 2u);

    knob.handleModulationMenuResult (0);
    EXPECT_GE (route (tz::routeSource::x, tz::filterCutoff), 0);
}

TEST_F (KnobFixture, RoutesSummingToZeroStillCountAsModulation)
{
    Knob knob (processor, tz::filterCutoff, "CUTOFF", tz::theme::accent);
    knob.handleModulationMenuResult (mod1);
    knob.handleModulationMenuResult (xItem);
    setDepth (route (tz::routeSource::x, tz::filterCutoff), -50.0f);
    ASSERT_FLOAT_EQ (processor.modDepthOn (tz::filterCutoff), 0.0f);

    const auto menu = knob.buildModulationMenu();
    EXPECT_TRUE (findItem (menu, mod1)->isTicked);
    EXPECT_TRUE (findItem (menu, xItem)->isTicked);
    EXPECT_TRUE (findItem (menu, Knob::removeAllCode)->isEnabled);

    knob.handleModulationMenuResult (Knob::removeAllCode);
    for (int s = 0; s < tz::routeSource::count; ++s)
        EXPECT_EQ (route (s, tz::filterCutoff), -1) << s;
    EXPECT_FALSE (findItem (knob.buildModulationMenu(), Knob::removeAllCode)->isEnabled);
}

TEST_F (KnobFixture, AFullRouteTableAddsNothing)
{
    // Sixteen routes to the last four targets, none of them the cutoff.
    const auto& targets = tz::modTargets();
    for (int r = 0; r < tz::numRoutes; ++r)
        processor.addRoute (r % tz::numModulators, targets[targets.size() - 1 - (size_t) (r / tz::numModulators)]);
    ASSERT_EQ (route (0, targets.back()), 0);
    ASSERT_GE (route (3, targets[targets.size() - 4]), 0);

    Knob knob (processor, tz::filterCutoff, "CUTOFF", tz::theme::accent);
    int chosen = -1;
    knob.onModulatorChosen = [&chosen] (int n) { chosen = n; };
    knob.handleModulationMenuResult (mod1);

    EXPECT_EQ (route (0, tz::filterCutoff), -1);
    EXPECT_FALSE (findItem (knob.buildModulationMenu(), mod1)->isTicked);
    EXPECT_EQ (chosen, 0);
}

TEST_F (KnobFixture, LockTogglesTheParameterInTheLockedList)
{
    auto& state = processor.getParameterState().state;
    Knob output (processor, tz::outputGain, "OUTPUT", tz::theme::accent);

    output.handleModulationMenuResult (Knob::lockCode);
    EXPECT_EQ (state.getProperty (tz::stateIds::locked).toString(), "output_gain");
    EXPECT_TRUE (findItem (output.buildModulationMenu(), Knob::lockCode)->isTicked);

    // Unlocking removes every copy, whatever else is listed.
    state.setProperty (tz::stateIds::locked, "output_gain,mix,output_gain", nullptr);
    output.handleModulationMenuResult (Knob::lockCode);
    EXPECT_EQ (state.getProperty (tz::stateIds::locked).toString(), "mix");

    // A code for a lock the knob does not offer changes nothing.
    Knob cutoff (processor, tz::filterCutoff, "CUTOFF", tz::theme::accent);
    cutoff.handleModulationMenuResult (Knob::lockCode);
    EXPECT_EQ (state.getProperty (tz::stateIds::locked).toString(), "mix");
}

TEST_F (KnobFixture, RefreshRepaintsOnlyWhenWhatItShowsMoves)
{
    Knob knob (processor, tz::filterCutoff, "CUTOFF", tz::theme::accent);
    knob.setBounds (0, 0, 80, 104);
    knob.setVisible (true);
    auto& repaints = tz::test::RepaintCounter::attachTo (knob);

    knob.refreshModulation();
    const int first = repaints.count;
    knob.refreshModulation();
    EXPECT_EQ (repaints.count, first);

    processor.addRoute (1, tz::filterCutoff);
    knob.refreshModulation();
    EXPECT_EQ (repaints.count, first + 1);

    const int slot = route (1, tz::filterCutoff);
    setDepth (slot, 50.05f); // 0.0005 of the range: below what the arc can show
    knob.refreshModulation();
    EXPECT_EQ (repaints.count, first + 1);

    setDepth (slot, 51.0f);
    knob.refreshModulation();
    EXPECT_EQ (repaints.count, first + 2);

    processor.toggleLock (tz::mix); // another parameter's lock
    knob.refreshModulation();
    EXPECT_EQ (repaints.count, first + 2);
}

TEST_F (KnobFixture, RightClickOpensTheMenuWithoutMovingTheValue)
{
    Knob knob (processor, tz::filterCutoff, "CUTOFF", tz::theme::accent);
    knob.setBounds (0, 0, 80, 104);
    auto& dial = knob.getDial();
    int popups = 0;
    dial.onPopupClick = [&popups] { ++popups; };

    const double before = dial.getValue();
    const juce::Point<float> press (40.0f, 40.0f), dragged (80.0f, 0.0f);
    const juce::ModifierKeys right (juce::ModifierKeys::rightButtonModifier);

    dial.mouseDown (tz::test::mouseEvent (dial, press, right, press));
    dial.mouseDrag (tz::test::mouseEvent (dial, dragged, right, press));
    dial.mouseUp (tz::test::mouseEvent (dial, dragged, {}, press));
    EXPECT_EQ (popups, 1);
    EXPECT_EQ (dial.getValue(), before);

    // The same gesture with the left button turns the dial.
    const juce::ModifierKeys left (juce::ModifierKeys::leftButtonModifier);
    dial.mouseDown (tz::test::mouseEvent (dial, press, left, press));
    dial.mouseDrag (tz::test::mouseEvent (dial, dragged, left, press));
    dial.mouseUp (tz::test::mouseEvent (dial, dragged, {}, press));
    EXPECT_EQ (popups, 1);
    EXPECT_GT (dial.getValue(), before);
    EXPECT_NEAR (processor.getValue (tz::filterCutoff), dial.getValue(), 1e-3 * dial.getValue());
}

TEST_F (KnobFixture, ParamMenuMapsItemsThroughItsOffset)
{
    juce::StringArray steps;
    for (int n = 1; n <= 16; ++n)
        steps.add (juce::String (n));

    processor.setValue (tz::gridLength, 1.0f);
    ParamMenu menu (processor, tz::gridLength, steps, 1);
    EXPECT_EQ (menu.getSelectedId(), 1);
    EXPECT_EQ (menu.getText(), "1");

    processor.setValue (tz::gridLength, 5.0f);
    EXPECT_EQ (menu.getSelectedId(), 5);

    menu.setSelectedId (12, juce::sendNotificationSync);
    EXPECT_EQ (processor.getValue (tz::gridLength), 12.0f);
}

namespace
{
// A host that offers its own items for every parameter, as VST3 hosts do.
struct HostWithAMenu : juce::AudioProcessorEditorHostContext
{
    struct Menu : juce::HostProvidedContextMenu
    {
        juce::PopupMenu getEquivalentPopupMenu() const override
        {
            juce::PopupMenu menu;
            menu.addItem ("Show automation lane", [] {});
            menu.addItem ("MIDI learn", [] {});
            return menu;
        }
        void showNativeMenu (juce::Point<int>) const override {}
    };

    std::unique_ptr<juce::HostProvidedContextMenu>
        getContextMenuForParameter (const juce::AudioProcessorParameter* param) const override
    {
        asked = param;
        return std::make_unique<Menu>();
    }

    mutable const juce::AudioProcessorParameter* asked = nullptr;
};
} // namespace

TEST (KnobHostMenu, TheHostsItemsFollowTheModulationItems)
{
    struct Editor : juce::AudioProcessorEditor
    {
        explicit Editor (juce::AudioProcessor& p)
            : AudioProcessorEditor (p)
        {
        }
    };

    TazzleAudioProcessor processor;
    Editor editor (processor);
    Knob knob (processor, tz::filterCutoff, "CUTOFF", juce::Colours::orange);
    editor.addAndMakeVisible (knob);

    const auto itemTexts = [&]
    {
        juce::StringArray texts;
        const auto menu = knob.buildModulationMenu();
        for (auto* item : tz::test::menuItems (menu))
            texts.add (item->text);
        return texts;
    };

    EXPECT_FALSE (itemTexts().contains ("Show automation lane")); // a host without a context offers nothing

    HostWithAMenu host;
    editor.setHostContext (&host);
    const auto texts = itemTexts();
    EXPECT_EQ (texts[texts.size() - 2], "Show automation lane");
    EXPECT_EQ (texts[texts.size() - 1], "MIDI learn");
    EXPECT_EQ (texts.indexOf ("Remove all modulation") + 2, texts.size() - 2); // then a separator, then the host's
    EXPECT_EQ (host.asked, processor.getParameterState().getParameter ("filter_cutoff"));
    editor.setHostContext (nullptr);
    editor.removeChildComponent (&knob);
}
