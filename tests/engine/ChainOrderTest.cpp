#include <gtest/gtest.h>

#include "core/PluginProcessor.h"
#include "engine/ChainOrder.h"

namespace
{
TEST (ChainOrder, PacksFourBitsPerSlot)
{
    EXPECT_EQ (tz::packChainOrder (tz::defaultChainOrder), 0x7541230986u);
    EXPECT_EQ (tz::unpackChainOrder (0x7541230986u), tz::defaultChainOrder);
    EXPECT_EQ (tz::encodeChainOrder (tz::defaultChainOrder), "6,8,9,0,3,2,1,4,5,7");
}

TEST (ChainOrder, DecodesStoredTextLeniently)
{
    const struct
    {
        const char* text;
        tz::ChainOrder expected;
    } cases[] = {
        { "", tz::defaultChainOrder },
        { "6,8,9,0,3,2,1,4,5,7", tz::defaultChainOrder },
        { "3,2", { 3, 2, 6, 8, 9, 0, 1, 4, 5, 7 } },
        { "3,3,12,x", { 3, 0, 6, 8, 9, 2, 1, 4, 5, 7 } },
        { "a,b", { 0, 6, 8, 9, 3, 2, 1, 4, 5, 7 } },
        { "12,-1,99", tz::defaultChainOrder },
        { " 9, +1,4", { 9, 1, 4, 6, 8, 0, 3, 2, 5, 7 } },
        { "0,1,2,3,4,5,6,7,8,9,5", { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9 } },
    };

    for (const auto& c : cases)
        EXPECT_EQ (tz::decodeChainOrder (c.text), c.expected) << '"' << c.text << '"';
}

TEST (ChainOrder, SetChainOrderRefusesAnythingButAPermutation)
{
    TazzleAudioProcessor processor;
    const auto before = processor.getChainOrder();
    const auto property = processor.getParameterState().state.getProperty ("chainOrder");

    for (const tz::ChainOrder& bad :
         { tz::ChainOrder { 0, 1, 2, 3, 4, 5, 6, 7, 8, 8 }, tz::ChainOrder { 0, 1, 2, 3, 4, 5, 6, 7, 8, 10 },
           tz::ChainOrder { -1, 1, 2, 3, 4, 5, 6, 7, 8, 9 } })
    {
        processor.setChainOrder (bad);
        EXPECT_EQ (processor.getChainOrder(), before);
        EXPECT_EQ (processor.getParameterState().state.getProperty ("chainOrder"), property);
    }

    const tz::ChainOrder reversed { 7, 5, 4, 1, 2, 3, 0, 9, 8, 6 };
    processor.setChainOrder (reversed);
    EXPECT_EQ (processor.getChainOrder(), reversed);
    EXPECT_EQ (processor.getParameterState().state.getProperty ("chainOrder").toString(), "7,5,4,1,2,3,0,9,8,6");
}

TEST (ChainOrder, MoveEffectSwapsNeighboursWithinTheChain)
{
    TazzleAudioProcessor processor;
    processor.setChainOrder (tz::defaultChainOrder);

    processor.moveEffect (tz::stutter, -1); // already first
    EXPECT_EQ (processor.getChainOrder(), tz::defaultChainOrder);

    processor.moveEffect (tz::tapestop, +1); // already last
    EXPECT_EQ (processor.getChainOrder(), tz::defaultChainOrder);

    processor.moveEffect (tz::stutter, +1);
    EXPECT_EQ (processor.getParameterState().state.getProperty ("chainOrder").toString(), "8,6,9,0,3,2,1,4,5,7");

    processor.moveEffect (tz::reverb, -1);
    EXPECT_EQ (processor.getChainOrder(), (tz::ChainOrder { 8, 6, 9, 0, 3, 2, 1, 5, 4, 7 }));
}

TEST (ChainOrder, LoadingFromTheStateDecodesWithoutWritingBack)
{
    TazzleAudioProcessor processor;
    auto& state = processor.getParameterState().state;
    state.setProperty ("chainOrder", "3,3,12,x", nullptr);
    processor.loadChainOrderFromState();
    EXPECT_EQ (processor.getChainOrder(), (tz::ChainOrder { 3, 0, 6, 8, 9, 2, 1, 4, 5, 7 }));
    EXPECT_EQ (state.getProperty ("chainOrder").toString(), "3,3,12,x");
}
} // namespace
