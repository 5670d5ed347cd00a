#include <gtest/gtest.h>

#include "effects/EffectTestSignals.h"
#include "effects/VolumeEffect.h"

namespace
{
using namespace tz::test;

constexpr double rate = 48000.0;

tz::ParamValues volumeValues (float level, float pan)
{
    auto values = tz::defaultParamValues();
    values[tz::volumeLevel] = level;
    values[tz::volumePan] = pan;
    return values;
}

TEST (VolumeEffect, LevelAndLinearBalanceApplyFromTheFirstSample)
{
    const struct
    {
        int channels;
        float level, pan;
        float leftGain, rightGain;
    } cases[] = {
        { 2, 100.0f, 100.0f, 0.0f, 1.0f },
        { 2, 50.0f, 100.0f, 0.0f, 0.5f },
        { 2, 80.0f, -100.0f, 0.8f, 0.0f },
        { 2, 100.0f, 50.0f, 0.5f, 1.0f },
        { 2, 100.0f, -25.0f, 1.0f, 0.75f },
        { 2, 60.0f, 0.0f, 0.6f, 0.6f },
        { 2, 0.0f, 0.0f, 0.0f, 0.0f },
        // Mono ignores the pan.
        { 1, 70.0f, 100.0f, 0.7f, 0.0f },
        { 1, 70.0f, -100.0f, 0.7f, 0.0f },
    };

    const auto input = noise (1000, 21);
    for (const auto& c : cases)
    {
        tz::VolumeEffect volume;
        volume.prepare (rate, c.channels);
        auto left = input, right = input;
        std::vector<Signal*> channels { &left };
        if (c.channels == 2)
            channels.push_back (&right);
        render (volume, channels, volumeValues (c.level, c.pan));

        for (size_t i = 0; i < input.size(); ++i)
        {
            ASSERT_NEAR (left[i], input[i] * c.leftGain, 1e-6f) << c.level << " " << c.pan << " at " << i;
            if (c.channels == 2)
            {
                ASSERT_NEAR (right[i], input[i] * c.rightGain, 1e-6f) << c.level << " " << c.pan << " at " << i;
            }
        }
    }
}

TEST (VolumeEffect, LevelChangeGlidesAndSettlesOnItsTarget)
{
    tz::VolumeEffect volume;
    volume.prepare (rate, 1);

    Signal ones (4800, 1.0f);
    const tz::Transport transport;
    inChunks ({ &ones },
              [&, done = 0] (float* const* channels, int numChannels, int n) mutable
              {
                  volume.process (channels, numChannels, n, volumeValues (done < 960 ? 100.0f : 20.0f, 0.0f),
                                  transport);
                  done += n;
              });

    // One chunk of linear ramp (0.8 over 32 samples) shaped by a 1 ms smoother: no step, no overshoot.
    for (size_t i = 1; i < ones.size(); ++i)
    {
        ASSERT_LE (ones[i], ones[i - 1]) << i;
        ASSERT_LT (ones[i - 1] - ones[i], 0.8f / 32.0f) << i;
    }
    EXPECT_GT (ones[960], 0.99f);
    EXPECT_FLOAT_EQ (ones.back(), 0.2f);
}

} // namespace
