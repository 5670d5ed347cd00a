#include <gtest/gtest.h>

#include "core/PluginProcessor.h"
#include "engine/Routes.h"
#include "ui/RouteList.h"

namespace
{
struct ListFixture : ::testing::Test
{
    ListFixture()
    {
        for (int r = 0; r < tz::numRoutes; ++r) // the welcome patch routes its modulators
            processor.removeRoute (r);
        list.setBounds (0, 0, 250, 300);
        list.showSources (1u << (tz::routeSource::firstModulator + 2)); // modulator 2
    }

    void addRoute (int source, tz::P target) { processor.addRoute (source, target); }
    std::vector<RouteRow*> rows() const
    {
        std::vector<RouteRow*> shown;
        for (const auto& row : list.getRows())
            shown.push_back (row.get());
        return shown;
    }

    TazzleAudioProcessor processor;
    RouteList list { processor, 30, 8 };
};
} // namespace

TEST_F (ListFixture, RebuildsForSourcesAndTargetsButKeepsItsRowsWhileADepthMoves)
{
    ASSERT_TRUE (list.refresh()); // the first look always builds
    EXPECT_TRUE (list.getRows().empty());

    addRoute (1, tz::filterCutoff);
    addRoute (0, tz::delayMix); // another modulator's: not listed
    ASSERT_TRUE (list.refresh());
    ASSERT_EQ (list.getRows().size(), 1u);
    EXPECT_EQ (list.getRows()[0]->getBounds(), juce::Rectangle<int> (0, 0, 242, 30));
    const auto before = rows();

    processor.setValue (tz::routeParam (list.getRows()[0]->getRoute(), tz::routeField::depth), -20.0f);
    EXPECT_FALSE (list.refresh());
    EXPECT_EQ (rows(), before);
    EXPECT_FALSE (list.refresh());

    list.getRows()[0]->chooseTarget (tz::reverbMix);
    EXPECT_TRUE (list.refresh());
    ASSERT_EQ (list.getRows().size(), 1u);

    list.showSources (1u << 1); // modulator 1
    EXPECT_TRUE (list.refresh());
    ASSERT_EQ (list.getRows().size(), 1u);
    EXPECT_EQ (processor.getValue (tz::routeParam (list.getRows()[0]->getRoute(), tz::routeField::source)), 1.0f);
}
