#include <gtest/gtest.h>

#include <cmath>

#include "engine/Routes.h"

namespace
{
TEST (Routes, TargetPositionsFollowTheStoredList)
{
    const struct
    {
        tz::P p;
        int position;
    } cases[] = { { tz::filterCutoff, 1 }, { tz::volumeLevel, 4 }, { tz::mix, 19 },
                  { tz::inputGain, 20 },   { tz::xyX, 34 },        { tz::xyY, 35 },
                  { tz::gridRate, 0 },     { tz::driveType, 0 },   { tz::none, 0 } };

    for (const auto& c : cases)
    {
        EXPECT_EQ (tz::targetPosition (c.p), c.position) << tz::allParams()[(size_t) c.p].id;
        if (c.position > 0)
        {
            EXPECT_EQ (tz::routeTargetParam ((float) c.position), c.p);
        }
    }

    for (const float invalid : { 0.0f, 36.0f, 200.0f, 255.0f, -1.0f })
        EXPECT_EQ (tz::routeTargetParam (invalid), tz::none) << invalid;

    EXPECT_EQ (tz::routeSourceIndex (0.0f), -1);
    EXPECT_EQ (tz::routeSourceIndex (1.0f), 0);
    EXPECT_EQ (tz::routeSourceIndex (6.0f), tz::routeSource::y);
    EXPECT_EQ (tz::routeSourceIndex (7.0f), -1);
}

struct Route
{
    int source; // stored value: 0 off, 1..4 modulators, 5 X, 6 Y
    int target; // position in the target list
    float depth;
};

tz::ParamValues withRoutes (std::initializer_list<Route> routes)
{
    auto values = tz::defaultParamValues();
    for (int m = 0; m < tz::numModulators; ++m)
        values[(size_t) tz::modParam (m, tz::modField::followsXY)] = (m % 2 == 0) ? 1.0f : 0.0f; // 1 and 3 follow

    int r = 0;
    for (const auto& route : routes)
    {
        values[(size_t) tz::routeParam (r, tz::routeField::source)] = (float) route.source;
        values[(size_t) tz::routeParam (r, tz::routeField::target)] = (float) route.target;
        values[(size_t) tz::routeParam (r, tz::routeField::depth)] = route.depth;
        ++r;
    }
    return values;
}

TEST (Routes, ContributionsAreDepthTimesSourceTimesIntensity)
{
    const tz::ModulatorOutputs modOut { 0.8f, 0.6f, 0.5f, 0.25f };
    const tz::XYPair xySmooth { 0.7f, 0.4f };
    const float y = 0.5f;

    const struct
    {
        Route route;
        tz::P target;
        float expected;
    } cases[] = {
        { { 1, 1, -40.0f }, tz::filterCutoff, -0.4f * 0.8f * y }, // follows XY: scaled by Y
        { { 2, 4, 100.0f }, tz::volumeLevel, 0.6f },              // does not follow: unscaled
        { { 3, 19, 20.0f }, tz::mix, 0.2f * 0.5f * y },
        { { 4, 35, -100.0f }, tz::xyY, -0.25f },
        { { 5, 20, 50.0f }, tz::inputGain, 0.5f * 0.7f }, // X and Y are never scaled by Y
        { { 6, 34, 30.0f }, tz::xyX, 0.3f * 0.4f },
    };

    for (const auto& c : cases)
    {
        tz::ModSums sums {};
        tz::ModTouched touched {};
        tz::addRouteContributions (withRoutes ({ c.route }), modOut, xySmooth, y, sums, touched);

        EXPECT_NEAR (sums[(size_t) c.target], c.expected, 1e-6f) << "source " << c.route.source;
        for (size_t p = 0; p < sums.size(); ++p)
        {
            EXPECT_EQ (touched[p], p == (size_t) c.target) << "source " << c.route.source << " param " << p;
            if (p != (size_t) c.target)
            {
                EXPECT_EQ (sums[p], 0.0f);
            }
        }
    }
}

TEST (Routes, SharedTargetsSumAndInvalidSlotsAreSkipped)
{
    const tz::ModulatorOutputs modOut { 1.0f, 1.0f, 1.0f, 1.0f };
    const tz::XYPair xySmooth { 1.0f, 1.0f };

    const auto values = withRoutes ({
        { 2, 19, 60.0f },  // mix +0.6
        { 5, 19, -30.0f }, // mix -0.3
        { 0, 1, 100.0f },  // off
        { 2, 0, 100.0f },  // no target
        { 2, 36, 100.0f }, // past the list
        { 2, 255, 100.0f },
        { 1, 1, 100.0f }, // Y at 0 silences a modulator that follows the pad
    });

    tz::ModSums sums {};
    tz::ModTouched touched {};
    tz::addRouteContributions (values, modOut, xySmooth, 0.0f, sums, touched);

    EXPECT_NEAR (sums[tz::mix], 0.3f, 1e-6f);
    EXPECT_TRUE (touched[tz::filterCutoff]);
    EXPECT_EQ (sums[tz::filterCutoff], 0.0f);

    int touchedCount = 0;
    for (const bool t : touched)
        touchedCount += t ? 1 : 0;
    EXPECT_EQ (touchedCount, 2);
}

TEST (Routes, XYSourcesFollowThePadWithATwentyMillisecondConstant)
{
    constexpr double rate = 48000.0;
    tz::XYPair smooth {};
    const tz::XYPair last { 50.0f, 100.0f };

    tz::smoothXY (smooth, last, 32, rate);
    const double oneChunk = 1.0 - std::exp (-32.0 / (0.020 * rate));
    EXPECT_NEAR (smooth[0], 0.5 * oneChunk, 1e-6);
    EXPECT_NEAR (smooth[1], 1.0 * oneChunk, 1e-6);

    for (int i = 1; i < 30; ++i) // 30 chunks of 32 samples = 20 ms
        tz::smoothXY (smooth, last, 32, rate);
    EXPECT_NEAR (smooth[0], 0.5 * (1.0 - std::exp (-1.0)), 1e-5);
    EXPECT_NEAR (smooth[1], 1.0 * (1.0 - std::exp (-1.0)), 1e-5);

    EXPECT_FLOAT_EQ (tz::xyIntensity (40.0f), 0.4f);
}

} // namespace
