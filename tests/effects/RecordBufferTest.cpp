#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "effects/EffectTestSignals.h"
#include "effects/RecordBuffer.h"

namespace
{
using tz::RecordBuffer;

TEST (RecordBuffer, WritesCircularlyAndSizesBySeconds)
{
    RecordBuffer buffer;
    buffer.prepare (4.5, 48000.0, true);
    EXPECT_EQ (buffer.capacity(), 4.5 * 48000 + 4);

    RecordBuffer tape;
    tape.prepare (13.0, 48000.0, false);
    EXPECT_EQ (tape.capacity(), 13 * 48000 + 4);
    EXPECT_EQ (tape.layerCount(), 1);

    RecordBuffer small;
    small.prepare (0.0001, 10000.0, false); // 1 sample + 4
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ (small.write ((float) i, 0.0f), i % 5);
}

TEST (RecordBuffer, ReadersPickTheLayerForTheirSpeed)
{
    RecordBuffer buffer;
    buffer.prepare (0.1, 48000.0, true);
    const struct
    {
        double speed;
        int layer;
    } cases[] = { { 1.0, 0 }, { -1.01, 0 }, { 1.5, 1 }, { -2.0, 1 }, { 2.01, 1 }, { 4.0, 2 }, { -3.0, 2 } };
    for (const auto& c : cases)
        EXPECT_EQ (buffer.layerFor (c.speed), c.layer) << c.speed;

    RecordBuffer single;
    single.prepare (0.1, 48000.0, false);
    EXPECT_EQ (single.layerFor (4.0), 0);
}

TEST (RecordBuffer, ReadsAreExactOnSamplesAndCubicBetweenAndWrapAround)
{
    RecordBuffer buffer;
    buffer.prepare (0.001, 8000.0, false); // 12 samples
    const int n = buffer.capacity();
    for (int i = 0; i < n; ++i)
        buffer.write ((float) (i * i), (float) -i);

    // A reader at whole positions returns the samples; halfway between, Catmull-Rom is exact for a parabola.
    EXPECT_EQ (buffer.read (0, 0, 5.0), 25.0f);
    EXPECT_EQ (buffer.read (0, 1, 7.0), -7.0f);
    EXPECT_NEAR (buffer.read (0, 0, 5.5), 30.25f, 1e-4f);
    EXPECT_NEAR (buffer.read (0, 1, 6.25), -6.25f, 1e-5f);

    // Negative positions and positions past the end wrap into the layer.
    EXPECT_EQ (buffer.read (0, 0, -1.0), (float) ((n - 1) * (n - 1)));
    EXPECT_EQ (buffer.read (0, 1, (double) n + 3.0), -3.0f);
}

TEST (RecordBuffer, ATinyNegativePositionReadsTheFirstSample)
{
    // Such a position plus the length rounds to the length itself: the read must land on sample 0, not
    // evaluate the cubic a whole buffer length away from its taps.
    for (const int length : { 12, 216004, 624004 })
    {
        std::vector<float> data ((size_t) length);
        for (int i = 0; i < length; ++i)
            data[(size_t) i] = 0.5f + 0.25f * (float) std::sin (0.01 * i);

        for (const double position : { -1.0e-17, -1.0e-13, -5.0e-12, -2.9e-11, -(double) length - 1.0e-12 })
            EXPECT_NEAR (RecordBuffer::readWrapped (data.data(), length, position), data[0], 1.0e-5f)
                << "length " << length << " at " << position;
    }
}

TEST (RecordBuffer, APositionOrSpeedThatIsNotFiniteReadsInsideTheLayers)
{
    RecordBuffer buffer;
    buffer.prepare (0.01, 48000.0, true);
    const auto input = tz::test::noise (buffer.capacity() / 2, 3);
    for (const float s : input)
        buffer.write (s, -s);

    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const double value : { nan, inf, -inf })
    {
        // A reader's position lands on the first sample, its speed on one of the layers.
        const auto tap = RecordBuffer::tapAt (buffer.capacity(), value);
        EXPECT_EQ (tap.index, 0) << value;
        EXPECT_EQ (tap.fraction, 0.0f) << value;
        EXPECT_EQ (buffer.read (0, 1, value), -input[0]) << value;

        const int layer = buffer.layerFor (value);
        EXPECT_TRUE (layer >= 0 && layer < buffer.layerCount()) << value;
    }
}

TEST (RecordBuffer, FilteredLayersRecoverFromANonFiniteInput)
{
    // An infinity leaves NaN in the anti-alias filters; the next chunk must not carry it on for ever.
    RecordBuffer buffer;
    buffer.prepare (0.1, 48000.0, true);
    auto left = tz::test::sine (1000.0, 48000.0, 32 * 20, 0.5f);
    auto right = left;
    left[5] = std::numeric_limits<float>::infinity();

    for (size_t start = 0; start < left.size(); start += 32)
        buffer.write (left.data() + start, right.data() + start, 32);

    const int last = buffer.writePosition() - 1;
    for (int layer = 1; layer < 3; ++layer)
        for (int ch = 0; ch < 2; ++ch)
            for (int i = last - 100; i <= last; ++i)
                ASSERT_TRUE (std::abs (buffer.layer (layer, ch)[(size_t) i]) < 1.0f) << layer << " " << ch << " " << i;
}

TEST (RecordBuffer, ChunkedWritesFilterExactlyAsSingleWrites)
{
    // Where the processor has AVX-512, chunks run the anti-alias cascade as a pipeline across the sections;
    // single writes run it section after section. Chunks of every size, some of them crossing the end of the
    // buffer, must store the same layers to the bit.
    const auto left = tz::test::noise (3000, 1, 0.5f);
    const auto right = tz::test::noise (3000, 2, 0.5f);

    RecordBuffer single;
    single.prepare (0.01, 48000.0, true); // 484 samples: the writes go round several times
    for (size_t i = 0; i < left.size(); ++i)
        single.write (left[i], right[i]);

    for (const int chunk : { 1, 2, 3, 4, 5, 7, 32, 100, 483 })
    {
        RecordBuffer chunked;
        chunked.prepare (0.01, 48000.0, true);
        for (int start = 0; start < (int) left.size(); start += chunk)
        {
            const int count = std::min (chunk, (int) left.size() - start);
            chunked.write (left.data() + start, right.data() + start, count);
        }

        for (int layer = 0; layer < RecordBuffer::maxLayers; ++layer)
            for (int ch = 0; ch < 2; ++ch)
                ASSERT_EQ (chunked.layer (layer, ch), single.layer (layer, ch))
                    << "chunks of " << chunk << ", layer " << layer << ", channel " << ch;
    }
}

TEST (RecordBuffer, FiltersCaughtUpAfterAWaitMatchThoseThatRanAllAlong)
{
    constexpr int reach = 300, chunk = 32;
    const struct
    {
        const char* name;
        int waited;     // samples written unfiltered
        bool bitForBit; // short enough to be filtered whole
    } cases[] = {
        { "a short wait", reach + RecordBuffer::settleSamples - 20, true },
        { "a long wait", 20000, false },
        { "longer than the buffer", 60000, false },
    };

    for (const auto& c : cases)
    {
        const auto left = tz::test::noise (3000 + c.waited + 2000, 1, 0.5f);
        const auto right = tz::test::noise ((int) left.size(), 2, 0.5f);
        RecordBuffer always, caughtUp;
        always.prepare (0.5, 48000.0, true); // 24004 samples
        caughtUp.prepare (0.5, 48000.0, true);

        const auto writeFrom = [&] (size_t from, size_t to, bool filtered)
        {
            for (size_t start = from; start < to; start += chunk)
            {
                const int count = (int) std::min ((size_t) chunk, to - start);
                const float* channels[] = { left.data() + start, right.data() + start };
                always.write (channels, 2, count);
                if (filtered)
                    caughtUp.write (channels, 2, count);
                else
                    caughtUp.writeUnfiltered (channels, 2, count);
            }
        };

        writeFrom (0, 3000, true);
        writeFrom (3000, 3000 + (size_t) c.waited, false);
        caughtUp.catchUpFilters (reach);
        writeFrom (3000 + (size_t) c.waited, left.size(), true);

        // The reach before the catch-up and everything written after it.
        const int newest = always.writePosition();
        for (int layer = 1; layer < RecordBuffer::maxLayers; ++layer)
            for (int ch = 0; ch < 2; ++ch)
                for (int back = 1; back <= reach + 2000; ++back)
                {
                    const auto i = (size_t) ((newest - back + always.capacity()) % always.capacity());
                    const float expected = always.layer (layer, ch)[i], actual = caughtUp.layer (layer, ch)[i];
                    if (c.bitForBit)
                        ASSERT_EQ (actual, expected) << c.name << ", layer " << layer << ", " << back << " back";
                    else
                        ASSERT_NEAR (actual, expected, 1.0e-6f)
                            << c.name << ", layer " << layer << ", " << back << " back";
                }
    }
}

// Gain in dB of a sine at `frequency` through layer `layer`, measured after the filters settle.
double layerGainDb (int layer, double frequency)
{
    constexpr double rate = 48000.0;
    RecordBuffer buffer;
    buffer.prepare (0.5, rate, true);
    const auto input = tz::test::sine (frequency, rate, 20000);
    for (const float s : input)
        buffer.write (s, s);

    const auto& out = buffer.layer (layer, 1);
    double in2 = 0.0, out2 = 0.0;
    for (int i = 10000; i < 20000; ++i)
    {
        in2 += (double) input[(size_t) i] * input[(size_t) i];
        out2 += (double) out[(size_t) i] * out[(size_t) i];
    }
    return 10.0 * std::log10 (out2 / in2);
}

TEST (RecordBuffer, FilteredLayersAreEighthOrderButterworthLowPasses)
{
    // Bilinear Butterworth: |H|^2 = 1 / (1 + (tan(pi f / fs) / tan(pi fc / fs))^16).
    auto expectedDb = [] (double f, double fc)
    {
        const double ratio = std::tan (juce::MathConstants<double>::pi * f / 48000.0)
            / std::tan (juce::MathConstants<double>::pi * fc / 48000.0);
        return -10.0 * std::log10 (1.0 + std::pow (ratio, 16.0));
    };

    const struct
    {
        int layer;
        double frequency, cutoff;
    } cases[] = {
        { 1, 1000.0, 9600.0 }, { 1, 9600.0, 9600.0 }, { 1, 12000.0, 9600.0 },
        { 2, 1000.0, 4800.0 }, { 2, 4800.0, 4800.0 }, { 2, 7000.0, 4800.0 },
    };

    for (const auto& c : cases)
        EXPECT_NEAR (layerGainDb (c.layer, c.frequency), expectedDb (c.frequency, c.cutoff), 0.05)
            << "layer " << c.layer << " at " << c.frequency << " Hz";

    EXPECT_NEAR (layerGainDb (1, 9600.0), -3.01, 0.05);
    EXPECT_LT (layerGainDb (1, 14400.0), -44.0); // 0.3 x fs, what a +12 st reader folds back
}
} // namespace
