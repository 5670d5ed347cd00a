#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "core/ChunkSize.h"
#include "engine/InputStage.h"
#include "engine/OutputStage.h"

namespace
{
constexpr double rate = 48000.0;
using Chunk = std::array<float, tz::chunkSize>;

// An input stage at unity gain whose dry copies hold `dry`, and no latency.
tz::InputStage inputHolding (float dry)
{
    tz::InputStage input;
    input.prepare (rate, 0);
    Chunk left, right;
    left.fill (dry);
    right.fill (dry);
    std::array<float*, 2> channels { left.data(), right.data() };
    input.process (channels.data(), 2, 2, tz::chunkSize, 0.0f);
    return input;
}

struct Stage
{
    tz::InputStage input = inputHolding (0.2f);
    tz::OutputStage output;
    Chunk left {}, right {};

    explicit Stage (int latency = 0) { output.prepare (rate, latency); }

    bool run (float wet, float mix = 100.0f, float gainDb = 0.0f, bool orderChanging = false, bool restart = false)
    {
        left.fill (wet);
        right.fill (wet);
        std::array<float*, 2> channels { left.data(), right.data() };
        return output.process (channels.data(), 2, tz::chunkSize, input, mix, gainDb, orderChanging, restart);
    }
};
} // namespace

TEST (OutputStage, MixesWithTheDryInputThenAppliesTheOutputGain)
{
    Stage stage;
    ASSERT_TRUE (stage.run (1.0f, 25.0f, -6.0f));
    const float expected = (0.2f + 0.25f * (1.0f - 0.2f)) * tz::decibelsToGain (-6.0f);
    for (const float sample : stage.left)
        EXPECT_FLOAT_EQ (sample, expected);
    EXPECT_EQ (stage.left, stage.right);
}

TEST (OutputStage, ANonFiniteChunkComesOutSilentAndAsksForARestart)
{
    Stage stage;
    EXPECT_FALSE (stage.run (std::numeric_limits<float>::infinity()));
    EXPECT_EQ (stage.left, Chunk {});
    EXPECT_EQ (stage.right, Chunk {});
    EXPECT_TRUE (stage.run (0.5f));
}

TEST (OutputStage, FadesOutForAReorderIn3MsAndForARestartIn5MsThenBackInFromTheEmptyDelays)
{
    // 3 ms = 144 samples: 5 chunks; 5 ms = 240 samples: 8 chunks.
    for (const bool reorder : { true, false })
    {
        Stage stage;
        const int chunksToSilence = reorder ? 5 : 8;
        for (int chunk = 1; chunk <= chunksToSilence; ++chunk)
        {
            stage.run (1.0f, 100.0f, 0.0f, reorder, ! reorder);
            EXPECT_EQ (reorder ? stage.output.orderFadedOut() : stage.output.restartFadedOut(),
                       chunk == chunksToSilence)
                << reorder << " " << chunk;
        }
        EXPECT_EQ (stage.left.back(), 0.0f);
    }

    // After a restart the delays hold nothing for the latency: the fade-in starts right after it.
    constexpr int latency = 6;
    Stage stage (latency);
    stage.output.fadeInFromEmptyDelays();
    stage.run (1.0f);
    for (int i = 0; i < tz::chunkSize; ++i)
    {
        if (i < latency - 1)
        {
            EXPECT_NEAR (stage.left[(size_t) i], 0.0f, 1.0e-6f) << i;
        }
        else if (i >= latency)
        {
            EXPECT_NEAR (stage.left[(size_t) i], (float) (i + 1 - latency) / 240.0f, 1.0e-5f) << i;
        }
    }
}
