#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/ModulatorSection.h"
#include "ui/PluginEditor.h"

using Rect = juce::Rectangle<int>;
using tz::test::menuItems;

namespace
{
struct SectionFixture : ::testing::Test
{
    SectionFixture()
    {
        processor.resetToInit();
        section = std::make_unique<ModulatorSection> (processor);
        section->setBounds (0, 0, 1224, 384);
        section->setVisible (true);
    }

    void setMod (int m, int field, float value) { processor.setValue (tz::modParam (m, field), value); }
    float route (int r, int field) const { return processor.getValue (tz::routeParam (r, field)); }

    TazzleAudioProcessor processor;
    std::unique_ptr<ModulatorSection> section;
};

int targetIndex (tz::P p)
{
    const auto& targets = tz::modTargets();
    return (int) (std::find (targets.begin(), targets.end(), p) - targets.begin());
}
} // namespace

TEST_F (SectionFixture, GeometryFollowsTheLayoutRules)
{
    setMod (0, tz::modField::mode, 1.0f);
    section->refresh();

    const struct
    {
        const char* name;
        juce::Component& component;
        Rect bounds;
    } cases[] = {
        { "tab 1", section->getTab (0), { 18, 48, 112, 74 } },
        { "tab 4", section->getTab (3), { 18, 288, 112, 74 } },
        { "add", section->getAddButton(), { 1096, 18, 110, 22 } },
        { "route list", section->getRouteList(), { 956, 48, 250, 316 } },
        { "step editor", section->getStepEditor(), { 140, 102, 806, 262 } },
        { "length menu", section->getLengthMenu(), { 264, 32, 60, 24 } },
        { "rate menu", section->getRateMenu(), { 332, 32, 84, 24 } },
        { "smooth", section->getKnob (0), { 424, 18, 66, 78 } },
        { "swing", section->getKnob (1), { 490, 18, 66, 78 } },
    };
    for (const auto& c : cases)
        EXPECT_EQ (c.component.getBounds(), c.bounds) << c.name;

    auto& editor = section->getStepEditor();
    EXPECT_EQ (editor.plotArea(), juce::Rectangle<float> (12.0f, 24.0f, 782.0f, 184.0f));
    EXPECT_EQ (editor.shapesRow(), juce::Rectangle<float> (12.0f, 214.0f, 782.0f, 22.0f));

    // LFO mode: the shape menu instead of the length menu, no swing, a taller plot.
    section->getLfoButton().onClick();
    section->refresh();
    EXPECT_EQ (processor.getValue (tz::modParam (0, tz::modField::mode)), 0.0f);
    EXPECT_TRUE (section->getLfoButton().getToggleState());
    EXPECT_TRUE (section->getShapeMenu().isVisible());
    EXPECT_FALSE (section->getLengthMenu().isVisible());
    EXPECT_FALSE (section->getKnob (1).isVisible());
    EXPECT_EQ (section->getShapeMenu().getBounds(), Rect (264, 32, 128, 24));
    EXPECT_EQ (section->getKnob (2).getBounds(), Rect (492 + 66, 18, 66, 78));
    EXPECT_EQ (editor.plotArea(), juce::Rectangle<float> (12.0f, 24.0f, 782.0f, 212.0f));

    RouteRow row (processor, 0);
    row.setBounds (0, 0, 242, 30);
    EXPECT_EQ (row.getRemoveButton().getBounds(), Rect (220, 3, 22, 24));
    EXPECT_EQ (row.getDepthSlider().getBounds(), Rect (130, 3, 86, 24));
    EXPECT_EQ (row.getTargetButton().getBounds(), Rect (0, 3, 126, 24));
}

TEST_F (SectionFixture, TabsDescribeTheirModulators)
{
    processor.setValue (tz::xyX, 90.0f); // speed x4 for the modulators that follow the pad
    setMod (0, tz::modField::mode, 1.0f);
    setMod (0, tz::modField::rate, 0.0f);
    setMod (0, tz::modField::followsXY, 1.0f);
    processor.addRoute (0, tz::filterCutoff);
    setMod (1, tz::modField::mode, 0.0f);
    setMod (1, tz::modField::shape, 2.0f);
    setMod (1, tz::modField::rate, 12.0f);
    setMod (1, tz::modField::followsXY, 0.0f);
    setMod (2, tz::modField::mode, 0.0f);
    setMod (2, tz::modField::shape, 6.0f);
    setMod (2, tz::modField::followsXY, 1.0f);
    setMod (2, tz::modField::rate, 9.0f);
    processor.addRoute (2, tz::mix);
    processor.addRoute (2, tz::delayMix);

    const struct
    {
        int modulator;
        juce::StringArray lines;
    } cases[] = {
        { 0, { "MOD 1", "STEPS  1/64 x4", "1 target" } },
        { 1, { "MOD 2", "SAW UP  1 Bar", "no targets" } },
        { 2, { "MOD 3", "SMOOTH RND  1/4 x4", "2 targets" } },
    };
    for (const auto& c : cases)
        EXPECT_EQ (section->getTab (c.modulator).lines(), c.lines) << c.modulator;

    processor.setValue (tz::xyX, 10.0f);
    EXPECT_EQ (section->getTab (2).lines()[1], "SMOOTH RND  1/4 /4");
    processor.setValue (tz::xyX, 50.0f);
    EXPECT_EQ (section->getTab (2).lines()[1], "SMOOTH RND  1/4");
}

TEST (RouteRowText, NamesSourceGroupAndTarget)
{
    const struct
    {
        int source, target;
        const char* text;
    } cases[] = {
        { 1, targetIndex (tz::filterCutoff), "FILTER  Cutoff" },
        { 5, targetIndex (tz::mix), "X   GLOBAL  Mix" },
        { 6, targetIndex (tz::tapestopCurve), "Y   TAPE STOP  Stop Curve" },
        { 2, targetIndex (tz::xyX), "GLOBAL  XY X (Speed)" },
        { 4, 0, "(none)" },
        { 5, 36, "X   (none)" },
        { 6, 400, "Y   (none)" },
    };
    for (const auto& c : cases)
        EXPECT_EQ (routeRowText (c.source, c.target), c.text) << c.text;
}

TEST (TargetMenu, GroupsGlobalFirstThenEachEffect)
{
    const auto menu = buildTargetMenu();
    const auto groups = menuItems (menu);

    juce::StringArray titles;
    for (auto* group : groups)
        titles.add (group->text);
    EXPECT_EQ (titles.joinIntoString (","),
               "GLOBAL,FILTER,VOLUME,CRUSH,DRIVE,DELAY,REVERB,STUTTER,TAPE STOP,REVERSE,GRAIN");

    juce::StringArray global;
    for (auto* item : menuItems (*groups[0]->subMenu))
    {
        global.add (item->text);
        EXPECT_EQ (targetForMenuResult (item->itemID), tz::modTargets()[(size_t) item->itemID]);
    }
    EXPECT_EQ (global.joinIntoString (","), "Mix,Input,Output,XY X (Speed),XY Y (Intensity)");

    const auto filter = menuItems (*groups[1]->subMenu);
    ASSERT_EQ (filter.size(), 3u);
    EXPECT_EQ (filter[0]->text, "Cutoff");
    EXPECT_EQ (targetForMenuResult (filter[0]->itemID), tz::filterCutoff);

    int total = 0;
    for (auto* group : groups)
        total += group->subMenu->getNumItems();
    EXPECT_EQ (total, 35);
    EXPECT_EQ (targetForMenuResult (0), tz::none);
    EXPECT_EQ (targetForMenuResult (36), tz::none);
}

TEST_F (SectionFixture, RouteRowsMirrorTheRouteParameters)
{
    section->refresh();
    EXPECT_TRUE (section->getRouteRows().empty());

    processor.addRoute (0, tz::filterCutoff);
    processor.addRoute (1, tz::mix);
    processor.addRoute (0, tz::delayMix);
    section->refresh();
    ASSERT_EQ (section->getRouteRows().size(), 2u);
    EXPECT_EQ (section->getRouteRows()[0]->getTargetButton().getButtonText(), "FILTER  Cutoff");
    EXPECT_EQ (section->getRouteRows()[1]->getTargetButton().getButtonText(), "DELAY  Mix");

    // Adding what is already there changes nothing.
    processor.addRoute (0, tz::filterCutoff);
    section->refresh();
    EXPECT_EQ (section->getRouteRows().size(), 2u);

    // The host moves the first route to Mod 3: it leaves this list and joins that one.
    const int moved = section->getRouteRows()[0]->getRoute();
    processor.setValue (tz::routeParam (moved, tz::routeField::source), 3.0f);
    section->refresh();
    ASSERT_EQ (section->getRouteRows().size(), 1u);
    section->selectModulator (2);
    ASSERT_EQ (section->getRouteRows().size(), 1u);
    EXPECT_EQ (section->getRouteRows()[0]->getRoute(), moved);

    // A new target from the row's menu, then removal, which puts the depth back to 50.
    auto& row = *section->getRouteRows()[0];
    row.chooseTarget (tz::reverbSize);
    EXPECT_EQ (route (moved, tz::routeField::target), (float) targetIndex (tz::reverbSize));
    processor.setValue (tz::routeParam (moved, tz::routeField::depth), -30.0f);
    row.getRemoveButton().onClick();
    EXPECT_EQ (route (moved, tz::routeField::source), 0.0f);
    EXPECT_EQ (route (moved, tz::routeField::target), 0.0f);
    EXPECT_EQ (route (moved, tz::routeField::depth), 50.0f);
    section->refresh();
    EXPECT_TRUE (section->getRouteRows().empty());

    // A preset load brings its own routes.
    auto preset = tz::initPatchDocument();
    auto* source = preset.createNewChildElement (tz::paramTag);
    source->setAttribute (tz::stateIds::id, "route05_source");
    source->setAttribute (tz::stateIds::value, 3);
    auto* target = preset.createNewChildElement (tz::paramTag);
    target->setAttribute (tz::stateIds::id, "route05_target");
    target->setAttribute (tz::stateIds::value, targetIndex (tz::grainSize));
    processor.loadPreset (preset);
    section->refresh();
    ASSERT_EQ (section->getRouteRows().size(), 1u);
    EXPECT_EQ (section->getRouteRows()[0]->getTargetButton().getButtonText(), "GRAIN  Size");
}

TEST_F (SectionFixture, IdleRefreshRepaintsNothing)
{
    processor.addRoute (0, tz::filterCutoff);
    section->refresh();
    auto& repaints = tz::test::RepaintCounter::attachTo (*section);

    for (int i = 0; i < 60; ++i)
        section->refresh();
    EXPECT_EQ (repaints.count, 0);

    // What a tab shows changes: that tab repaints, once.
    setMod (1, tz::modField::shape, 4.0f);
    section->refresh();
    section->refresh();
    EXPECT_EQ (repaints.count, 1);
}

TEST (RouteRowDepth, ARowMadeInAnOpenEditorShowsOneValueAndTakesATypedOne)
{
    TazzleAudioProcessor processor;
    processor.resetToInit();
    TazzleAudioProcessorEditor editor (processor);
    auto& section = editor.getMainPanel().getModulatorSection();
    processor.addRoute (0, tz::filterCutoff);
    section.refresh();
    ASSERT_EQ (section.getRouteRows().size(), 1u);

    // The bar draws its value itself: its value box, made after the editor's look was set, stays invisible.
    auto& depth = section.getRouteRows()[0]->getDepthSlider();
    juce::Label* box = nullptr;
    for (auto* child : depth.getChildren())
        box = box != nullptr ? box : dynamic_cast<juce::Label*> (child);
    ASSERT_NE (box, nullptr);
    EXPECT_TRUE (box->findColour (juce::Label::textColourId).isTransparent());
    EXPECT_TRUE (box->isEditable());

    box->setText ("-30", juce::sendNotificationSync);
    EXPECT_EQ (processor.getValue (tz::routeParam (0, tz::routeField::depth)), -30.0f);
}
