#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/Parameters.h"
#include "ui/RouteRow.h"

class TazzleAudioProcessor;

// The routes of some sources, one row each, in a list that scrolls. The rows are built again only when a listed
// route's source or target changed: a depth that moves keeps its row, and so the drag on it.
class RouteList : public juce::Viewport
{
public:
    // `rowInset` is the room the rows leave for the scroll bar.
    RouteList (TazzleAudioProcessor& processor, int rowHeight, int rowInset);

    // The sources listed, as a bit per route source value (1 + tz::routeSource); the next refresh rebuilds.
    void showSources (std::uint32_t sourceValueBits);
    // Rebuilds the rows when the listed routes changed since the last call; true when it did.
    bool refresh();

    const std::vector<std::unique_ptr<RouteRow>>& getRows() const noexcept { return rows; }

    void resized() override;

private:
    void layOutRows();

    TazzleAudioProcessor& processor;
    const int rowHeight, rowInset;
    std::uint32_t shownSources = 0;
    juce::Component container;
    std::vector<std::unique_ptr<RouteRow>> rows;

    // What the rows show: each route's source and target value, or { -1, -1 } when it is not listed.
    std::array<std::pair<int, int>, tz::numRoutes> shown {};
    std::uint32_t seenRevision = 0;
    bool stale = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RouteList)
};
