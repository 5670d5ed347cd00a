#include <gtest/gtest.h>

#include <optional>

#include "effects/DriveEffect.h"
#include "effects/EffectRack.h"
#include "effects/EffectTestSignals.h"
#include "support/AllocationCounter.h"

namespace
{
using namespace tz::test;

constexpr int soft = 0, hard = 1, fold = 2, tube = 3;
const double normAtUnityGain = 0.35 / std::tanh (0.35);

tz::ParamValues driveValues (bool on, float mix, int type = soft, float amount = 0.0f, float tone = 100.0f)
{
    auto values = tz::defaultParamValues();
    values[tz::driveOn] = on ? 1.0f : 0.0f;
    values[tz::driveMix] = mix;
    values[tz::driveType] = (float) type;
    values[tz::driveAmount] = amount;
    values[tz::driveTone] = tone;
    return values;
}

Signal delayed (const Signal& input, int latency)
{
    Signal out (input.size(), 0.0f);
    std::copy (input.begin(), input.end() - latency, out.begin() + latency);
    return out;
}

// The drive slot of a rack, fed in whole chunks with the parameters each chunk's start position asks for.
template <typename ValuesAt>
std::vector<Signal> renderRack (double rate, std::vector<Signal> channels, ValuesAt&& valuesAt, int* latency = nullptr)
{
    tz::EffectRack rack;
    rack.prepare (rate, (int) channels.size());
    rack.startClean (valuesAt (0));
    if (latency != nullptr)
        *latency = rack.latencySamples();

    std::vector<Signal*> pointers;
    for (auto& channel : channels)
        pointers.push_back (&channel);

    const tz::Transport transport;
    inChunks (pointers,
              [&, done = 0] (float* const* chunk, int numChannels, int n) mutable
              {
                  rack.run (tz::drive, chunk, numChannels, n, transport, valuesAt (done), 0, 0);
                  done += n;
              });
    return channels;
}

double delayInSamples (std::complex<double> input, std::complex<double> output, double frequency, double rate)
{
    const double lag = std::remainder (std::arg (input) - std::arg (output), juce::MathConstants<double>::twoPi);
    return lag * rate / (juce::MathConstants<double>::twoPi * frequency);
}

TEST (DriveEffect, ReportsTheSameWholeLatencyAtEveryRate)
{
    tz::DriveEffect reference;
    reference.prepare (48000.0, 2);
    EXPECT_GT (reference.latencySamples(), 0);

    for (const double rate : { 44100.0, 48000.0, 96000.0 })
        for (const int channels : { 1, 2 })
        {
            tz::DriveEffect drive;
            drive.prepare (rate, channels);
            EXPECT_EQ (drive.latencySamples(), reference.latencySamples())
                << rate << " Hz, " << channels << " channels";
        }
}

TEST (DriveEffect, OffOrAtMixZeroDelaysByExactlyTheLatency)
{
    const auto input = noise (9600, 17);

    for (const double rate : { 44100.0, 48000.0, 96000.0 })
    {
        const struct
        {
            const char* name;
            std::function<tz::ParamValues (int)> valuesAt;
        } cases[] = {
            { "off", [] (int) { return driveValues (false, 100.0f, tube, 100.0f, 0.0f); } },
            { "on at mix 0", [] (int) { return driveValues (true, 0.0f, hard, 80.0f, 30.0f); } },
            // Waking and sleeping again: the latency line keeps running through both.
            { "switched", [] (int position) { return driveValues ((position / 960) % 2 == 1, 0.0f, soft, 50.0f); } },
        };

        for (const auto& c : cases)
        {
            int latency = 0;
            const auto out = renderRack (rate, { input, input }, c.valuesAt, &latency);
            ASSERT_GT (latency, 0);
            EXPECT_EQ (out[0], delayed (input, latency)) << c.name << " at " << rate;
            EXPECT_EQ (out[1], delayed (input, latency)) << c.name << " at " << rate;
        }
    }
}

TEST (DriveEffect, DryCopyComesBackDelayedThroughResetsAndSleep)
{
    tz::DriveEffect drive;
    drive.prepare (48000.0, 2);
    const int latency = drive.latencySamples();

    const auto input = noise (3200, 23);
    Signal dryOut (input.size());
    const auto values = driveValues (true, 50.0f, fold, 70.0f, 40.0f);
    const tz::Transport transport;

    for (int start = 0, chunk = 0; start < (int) input.size(); start += tz::chunkSize, ++chunk)
    {
        std::array<float, tz::chunkSize> wetLeft {}, wetRight {}, dryLeft {}, dryRight {};
        std::copy_n (input.begin() + start, tz::chunkSize, wetLeft.begin());
        std::copy_n (input.begin() + start, tz::chunkSize, wetRight.begin());
        dryLeft = wetLeft;
        dryRight = wetLeft;
        std::array<float*, 2> wet { wetLeft.data(), wetRight.data() }, dry { dryLeft.data(), dryRight.data() };

        if (chunk % 10 == 3)
            drive.reset();

        if (chunk % 7 == 5)
        {
            drive.delayOnly (wet.data(), 2, tz::chunkSize);
            dryLeft = wetLeft; // asleep, the audio itself is what passes through the delay
        }
        else
        {
            drive.process (wet.data(), dry.data(), 2, tz::chunkSize, values, transport);
            ASSERT_EQ (dryLeft, dryRight);
        }
        std::copy (dryLeft.begin(), dryLeft.end(), dryOut.begin() + start);
    }

    EXPECT_EQ (dryOut, delayed (input, latency));
}

TEST (DriveEffect, ACleanStartLeavesNothingOfTheOldSignalInTheLatencyLine)
{
    // A wake keeps the line running, but a clean start (a preset switch) must not play the old patch's last
    // samples into the new one's fade-in, whether the drive is on or asleep.
    for (const bool on : { true, false })
    {
        const auto values = driveValues (on, 50.0f);
        tz::EffectRack rack;
        rack.prepare (48000.0, 2);
        rack.startClean (values);
        const tz::Transport transport;

        const auto runChunk = [&] (Signal left, Signal right)
        {
            std::array<float*, 2> chunk { left.data(), right.data() };
            rack.run (tz::drive, chunk.data(), 2, (int) left.size(), transport, values, 0, 0);
            return std::make_pair (left, right);
        };

        for (int chunk = 0; chunk < 10; ++chunk)
            runChunk (noise (tz::chunkSize, chunk), noise (tz::chunkSize, 100 + chunk));

        rack.resetAll();
        rack.startClean (values);
        const auto [left, right] = runChunk (Signal (tz::chunkSize, 0.0f), Signal (tz::chunkSize, 0.0f));
        EXPECT_EQ (left, Signal (tz::chunkSize, 0.0f)) << (on ? "on" : "asleep");
        EXPECT_EQ (right, Signal (tz::chunkSize, 0.0f)) << (on ? "on" : "asleep");
    }
}

// At low level every curve is a gain, so the wet path's delay and gain can be read off a sine.
TEST (DriveEffect, WetAndBlendedSignalsKeepTheLatencyAlignment)
{
    constexpr double rate = 48000.0, frequency = 1000.0;
    constexpr int settle = 4800, measure = 48000;
    const auto input = sine (frequency, rate, settle + measure, 0.01f);
    const auto inputTone = toneOf (input, frequency, rate, settle, measure);

    for (const float mix : { 100.0f, 50.0f, 25.0f })
    {
        int latency = 0;
        const auto out = renderRack (
            rate, { input }, [mix] (int) { return driveValues (true, mix); }, &latency);
        const auto outputTone = toneOf (out[0], frequency, rate, settle, measure);

        const double wetAmount = mix / 100.0;
        EXPECT_NEAR (delayInSamples (inputTone, outputTone, frequency, rate), latency, 0.05) << mix;
        EXPECT_NEAR (std::abs (outputTone / inputTone), 1.0 - wetAmount + wetAmount * normAtUnityGain, 0.002) << mix;
    }
}

TEST (DriveEffect, ToneHundredIsUnfilteredAndToneZeroIsAOnePoleAtOneKilohertz)
{
    constexpr double rate = 48000.0;
    constexpr int settle = 4800, measure = 48000;

    for (const double frequency : { 200.0, 3000.0, 12000.0 })
    {
        const auto input = sine (frequency, rate, settle + measure, 0.01f);
        const auto inputTone = toneOf (input, frequency, rate, settle, measure);
        auto gainAt = [&] (float tone)
        {
            const auto out =
                renderRack (rate, { input }, [tone] (int) { return driveValues (true, 100.0f, soft, 0.0f, tone); });
            return std::abs (toneOf (out[0], frequency, rate, settle, measure) / inputTone);
        };

        const double a = 1.0 - std::exp (-juce::MathConstants<double>::twoPi * 1000.0 / rate);
        const double w = juce::MathConstants<double>::twoPi * frequency / rate;
        const double onePole = a / std::abs (1.0 - (1.0 - a) * std::polar (1.0, -w));

        EXPECT_NEAR (toDecibels (gainAt (100.0f)), toDecibels (normAtUnityGain), 0.01) << frequency;
        EXPECT_NEAR (toDecibels (gainAt (99.9f)), toDecibels (normAtUnityGain), 0.01) << frequency;
        EXPECT_NEAR (toDecibels (gainAt (0.0f)), toDecibels (normAtUnityGain * onePole), 0.05) << frequency;
    }
}

TEST (DriveEffect, TubeOnSilenceIsSilence)
{
    for (const float amount : { 0.0f, 50.0f, 100.0f })
    {
        const auto out = renderRack (48000.0, { Signal (48000, 0.0f), Signal (48000, 0.0f) },
                                     [amount] (int) { return driveValues (true, 100.0f, tube, amount); });
        for (const auto& channel : out)
            for (const float s : channel)
                ASSERT_LT (std::abs (s), 1e-6f) << amount;
    }
}

TEST (DriveEffect, HardCurveFlattensAtFullScaleTimesTheNorm)
{
    constexpr double rate = 48000.0;
    const auto input = sine (100.0, rate, 9600, 1.3f);
    int latency = 0;
    const auto out = renderRack (
        rate, { input }, [] (int) { return driveValues (true, 100.0f, hard); }, &latency);

    // Crests of the delayed sine, where the input has sat above the knee for 20 samples.
    for (int crest = 120 + 4800, sign = 1; crest < 9600 - 240; crest += 240, sign = -sign)
        EXPECT_NEAR (out[0][(size_t) (crest + latency)], sign * normAtUnityGain, 0.002) << crest;
}

TEST (DriveEffect, AnAmountChangeLandsExactlyOnItsTarget)
{
    // The change happens over silence, which every amount leaves silent, so afterwards a drive that was moved
    // to an amount must sound exactly like one that started there.
    constexpr int changeAt = 320, soundAt = 640, total = 4800;
    auto input = noise (total, 8, 0.5f);
    std::fill (input.begin(), input.begin() + soundAt, 0.0f);

    const struct
    {
        float from, to;
    } changes[] = { { 20.0f, 50.0f }, { 0.0f, 100.0f }, { 73.0f, 37.0f }, { 50.0f, 50.5f }, { 100.0f, 1.0f } };

    for (const auto& change : changes)
    {
        for (const int type : { soft, tube })
        {
            const auto moved = renderRack (
                48000.0, { input, input },
                [&] (int done) { return driveValues (true, 100.0f, type, done < changeAt ? change.from : change.to); });
            const auto started = renderRack (48000.0, { input, input },
                                             [&] (int) { return driveValues (true, 100.0f, type, change.to); });

            EXPECT_EQ (moved[0], started[0]) << change.from << " -> " << change.to << ", type " << type;
        }
    }
}

class DriveShapingPaths : public testing::TestWithParam<tz::SimdPath>
{
};

TEST_P (DriveShapingPaths, ShapeAsThePlainLoopDoesToTheBit)
{
    if (! tz::processorRuns (GetParam()))
        GTEST_SKIP() << "this processor lacks the path";

    // A sweep across every curve's knees and folds, with unusual values at several places, shaped in runs of
    // every length around the vector widths and from every alignment the first run may have.
    Signal input;
    for (int i = -400; i <= 400; ++i)
        input.push_back ((float) i * 0.01f);
    for (const size_t at : { 3u, 250u, 601u })
        layUnusualValues (input, at);

    for (const bool flushDenormals : { false, true })
        for (const int curve : { soft, hard, fold, tube })
            for (const float dB : { 0.0f, 14.4f, 36.0f })
                for (const int run : { 1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 31, 32, 33, 64 })
                    for (const size_t offset : { 0u, 1u, 3u })
                    {
                        std::optional<juce::ScopedNoDenormals> flushing; // as the processor's blocks run
                        if (flushDenormals)
                            flushing.emplace();

                        const auto gain = std::pow (10.0f, dB / 20.0f);
                        const auto norm = 0.35f / std::tanh (0.35f * gain);
                        Signal plain (offset, 0.0f);
                        plain.insert (plain.end(), input.begin(), input.end());
                        auto wide = plain;
                        for (size_t start = offset; start < plain.size(); start += (size_t) run)
                        {
                            const int count = std::min (run, (int) (plain.size() - start));
                            tz::DriveEffect::shapeSteadily (curve, plain.data() + start, count, gain, norm,
                                                            tz::SimdPath::plain);
                            tz::DriveEffect::shapeSteadily (curve, wide.data() + start, count, gain, norm, GetParam());
                        }

                        const auto at = firstDifferentBits (wide, plain);
                        ASSERT_EQ (at, -1) << "curve " << curve << " at " << dB << " dB, runs of " << run << " from "
                                           << offset << (flushDenormals ? ", denormals flushed" : "") << ": "
                                           << wide[(size_t) at] << " against " << plain[(size_t) at];
                    }
}

INSTANTIATE_TEST_SUITE_P (WidePaths, DriveShapingPaths, testing::Values (tz::SimdPath::avx2), simdPathName);

TEST (DriveEffect, ProcessingAllocatesNothing)
{
    tz::DriveEffect drive;
    drive.prepare (48000.0, 2);
    auto left = noise (tz::chunkSize, 1), right = noise (tz::chunkSize, 2);
    auto dryLeft = left, dryRight = right;
    std::array<float*, 2> wet { left.data(), right.data() }, dry { dryLeft.data(), dryRight.data() };
    const auto values = driveValues (true, 50.0f, tube, 60.0f, 20.0f);
    const tz::Transport transport;

    AllocationCounter allocations;
    for (int i = 0; i < 100; ++i)
    {
        drive.process (wet.data(), dry.data(), 2, tz::chunkSize, values, transport);
        drive.delayOnly (wet.data(), 1, tz::chunkSize);
        drive.reset();
    }
    EXPECT_EQ (allocations.count(), 0u);
}

} // namespace
