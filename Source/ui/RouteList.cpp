#include "ui/RouteList.h"

#include "core/PluginProcessor.h"

RouteList::RouteList (TazzleAudioProcessor& p, int height, int inset)
    : processor (p)
    , rowHeight (height)
    , rowInset (inset)
{
    setViewedComponent (&container, false);
    setScrollBarsShown (true, false);
}

void RouteList::showSources (std::uint32_t sourceValueBits)
{
    shownSources = sourceValueBits;
    stale = true;
}

bool RouteList::refresh()
{
    // The revision is read before the routes, so a change made meanwhile is seen at the next call.
    const auto revision = processor.getParameterRevision (tz::routeParam (0, 0), tz::routeParam (tz::numRoutes, 0));
    if (revision == seenRevision && ! stale)
        return false;
    seenRevision = revision;

    std::array<std::pair<int, int>, tz::numRoutes> listed {};
    for (int r = 0; r < tz::numRoutes; ++r)
    {
        const int source = juce::roundToInt (processor.getValue (tz::routeParam (r, tz::routeField::source)));
        const bool shows = source > 0 && source < 32 && ((shownSources >> source) & 1u) != 0;
        listed[(size_t) r] = shows
            ? std::pair (source, juce::roundToInt (processor.getValue (tz::routeParam (r, tz::routeField::target))))
            : std::pair (-1, -1);
    }

    if (listed == shown && ! stale)
        return false;
    shown = listed;
    stale = false;

    rows.clear();
    for (int r = 0; r < tz::numRoutes; ++r)
    {
        if (listed[(size_t) r].first < 0)
            continue;

        auto row = std::make_unique<RouteRow> (processor, r);
        container.addAndMakeVisible (*row);
        rows.push_back (std::move (row));
    }
    layOutRows();
    return true;
}

void RouteList::resized()
{
    juce::Viewport::resized();
    layOutRows();
}

void RouteList::layOutRows()
{
    const int width = juce::jmax (0, getWidth() - rowInset);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i]->setBounds (0, rowHeight * (int) i, width, rowHeight);
    matchRouteRowText (rows);
    container.setSize (width, juce::jmax (1, rowHeight * (int) rows.size()));
}
