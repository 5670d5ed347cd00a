#include <gtest/gtest.h>

#include "core/PluginProcessor.h"
#include "engine/StepGrid.h"

namespace
{
constexpr float rate1_16 = 3.0f, rate1Bar = 12.0f;

TEST (StepGrid, DecodesStoredTextLeniently)
{
    const struct
    {
        const char* text;
        size_t row;
        std::uint32_t word;
    } cases[] = {
        { "768:1", 0, 0x10000 | 768 },
        { "70000:1", 0, 0x10000 | 4464 }, // only the low 16 bits are steps
        { "5", 0, 5 },
        { "5:true", 0, 5 }, // only "1" enables
        { "0:0,0:0,0:0,0:0,0:0,0:0,61440:1,0:0,0:0,0:0", 6, 0x10000 | 61440 },
        { "0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,4112:1,0:0,99:1", 8, 0x10000 | 4112 },
        { "", 3, 0 },
    };

    for (const auto& c : cases)
    {
        const auto words = tz::decodeGrid (c.text);
        for (size_t e = 0; e < words.size(); ++e)
            EXPECT_EQ (words[e], e == c.row ? c.word : 0u) << '"' << c.text << "\" row " << e;
    }
}

TEST (StepGrid, EncodesEveryRowAfterAnEdit)
{
    TazzleAudioProcessor processor;
    for (int e = 0; e < tz::numEffects; ++e)
        processor.setGridRow ((tz::EffectId) e, {});

    processor.setGridRow (tz::stutter, { 61440, true });
    processor.setGridRow (tz::filter, { 0x1FFFF, false }); // bits above 16 are not steps
    EXPECT_EQ (processor.getParameterState().state.getProperty ("grid").toString(),
               "65535:0,0:0,0:0,0:0,0:0,0:0,61440:1,0:0,0:0,0:0");

    const auto row = processor.getGridRow (tz::stutter);
    EXPECT_EQ (row.steps, 61440u);
    EXPECT_TRUE (row.enabled);
}

TEST (StepGrid, StepOfAChunkMidpoint)
{
    const struct
    {
        double beat;
        float rate, length;
        int step;
    } cases[] = {
        { -0.1, rate1_16, 16, 15 }, // pre-roll still lands on a step
        { 0.0, rate1_16, 16, 0 },    { 3.99, rate1_16, 16, 15 },
        { 4.0, rate1_16, 16, 0 },    { 0.8, rate1_16, 3, 0 },    // three steps repeat every 0.75 beats
        { 0.5, rate1_16, 3, 2 },     { 17.0, rate1Bar, 16, 4 },  // one step per bar
        { 63.9, rate1Bar, 16, 15 },  { 1.3, rate1_16, 1.4f, 0 }, // fewer than two steps is one step
        { 1.3, rate1_16, 40.0f, 5 },                             // lengths clamp to 16
        { 1.3, 99.0f, 16, 0 },                                   // rates clamp to 8 bars
    };

    for (const auto& c : cases)
        EXPECT_EQ (tz::gridStepAt (c.beat, c.rate, c.length), c.step) << c.beat << " " << c.rate << " " << c.length;
}

TEST (StepGrid, GateFollowsOnlyEnabledRows)
{
    EXPECT_EQ (tz::gridGateTarget (0, 5), 1.0f); // disabled row plays everywhere
    EXPECT_EQ (tz::gridGateTarget (0xFFFF, 5), 1.0f);
    EXPECT_EQ (tz::gridGateTarget (tz::gridEnabledBit, 5), 0.0f); // enabled but empty: silent
    EXPECT_EQ (tz::gridGateTarget (tz::gridEnabledBit | 0x20, 5), 1.0f);
    EXPECT_EQ (tz::gridGateTarget (tz::gridEnabledBit | 0x20, 4), 0.0f);
}
} // namespace
