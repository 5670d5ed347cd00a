#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/ChunkSize.h"
#include "effects/ReverbEffect.h"
#include "support/AllocationCounter.h"

namespace
{
using Audio = std::vector<std::vector<float>>;

constexpr double rate = 48000.0;
constexpr int chunk = tz::chunkSize;

struct ReverbRig
{
    explicit ReverbRig (int numChannels = 2)
        : channels (numChannels)
    {
        reverb.prepare (rate, channels);
        values[tz::reverbSize] = 100.0f;
        values[tz::reverbDamping] = 0.0f;
    }

    void run (Audio& audio)
    {
        const auto length = (int) audio[0].size();
        for (int start = 0; start < length; start += chunk)
        {
            const int n = std::min (chunk, length - start);
            float* pointers[2] {};
            for (int ch = 0; ch < channels; ++ch)
                pointers[ch] = audio[(size_t) ch].data() + start;

            const tz::Transport transport { 120.0, ppq, rate * 0.5, true };
            reverb.process (pointers, channels, n, values, transport);
            ppq += n / transport.samplesPerBeat;
        }
    }

    // `burst` samples of noise (plus `offset`), then silence up to `length`.
    Audio noise (int length, int burst, float offset = 0.0f) const
    {
        Audio audio ((size_t) channels, std::vector<float> ((size_t) length));
        juce::Random random (42);
        for (auto& channel : audio)
            for (int i = 0; i < burst; ++i)
                channel[(size_t) i] = offset + random.nextFloat() - 0.5f;
        return audio;
    }

    int channels;
    double ppq = 0.0;
    tz::ParamValues values = tz::defaultParamValues();
    tz::ReverbEffect reverb;
};

double rmsOf (const std::vector<float>& signal, int from, int to)
{
    double sum = 0.0;
    for (int i = from; i < to; ++i)
        sum += (double) signal[(size_t) i] * signal[(size_t) i];
    return std::sqrt (sum / (to - from));
}

double dB (double ratio) { return 20.0 * std::log10 (ratio); }

// JUCE's eight combs feed back 0.7 + 0.28 x size; at damping 0 they lose nothing else.
// The shortest and longest comb are 1116 and 1640 samples at 44.1 kHz (right channel: +23).
double combDecayDbPerSecond (double size, int combLength44k)
{
    const auto samples = (int) rate * combLength44k / 44100;
    return dB (0.7 + 0.28 * size) * rate / samples;
}

TEST (ReverbEffect, FullSizeRingsForSecondsAndSmallSizeDiesAtOnce)
{
    const int burst = 4800;
    const int length = burst + 3 * 48000;

    ReverbRig large;
    auto tail = large.noise (length, burst);
    large.run (tail);

    ReverbRig small;
    small.values[tz::reverbSize] = 0.0f;
    auto shortTail = small.noise (length, burst);
    small.run (shortTail);

    for (int ch = 0; ch < 2; ++ch)
    {
        SCOPED_TRACE (ch);
        const auto& out = tail[(size_t) ch];

        // Fully wet: nothing comes out before the first comb has gone round once.
        const int firstComb = (int) rate * 1116 / 44100;
        EXPECT_EQ (rmsOf (out, 0, firstComb), 0.0);

        // Late decay lies between the rates of the fastest and the slowest comb.
        const auto at1s = rmsOf (out, burst + 48000, burst + 72000);
        const auto at2s = rmsOf (out, burst + 96000, burst + 120000);
        const auto decayPerSecond = dB (at2s / at1s);
        EXPECT_LT (decayPerSecond, combDecayDbPerSecond (1.0, 1640) * 0.9);
        EXPECT_GT (decayPerSecond, combDecayDbPerSecond (1.0, 1116) * 1.1);

        // Two seconds after the burst the tail is still well audible; a size-0 room has fallen to JUCE's
        // denormal guard, far below hearing.
        const auto burstLevel = rmsOf (out, burst / 2, burst);
        EXPECT_GT (dB (at2s / burstLevel), -30.0);
        EXPECT_LT (dB (rmsOf (shortTail[(size_t) ch], burst + 96000, burst + 120000) / burstLevel), -100.0);
    }
}

// The same network straight from the framework, with the effect's DC blocker after it.
Audio referenceReverb (Audio audio, float size, float damping)
{
    const auto fullyWet = [] (float roomSize, float damp)
    {
        juce::Reverb::Parameters p;
        p.roomSize = roomSize;
        p.damping = damp;
        p.wetLevel = 0.5f;
        p.dryLevel = 0.0f;
        p.width = 1.0f;
        return p;
    };

    juce::Reverb reverb;
    reverb.setParameters (fullyWet (0.5f, 0.5f));
    reverb.setSampleRate (rate);
    const auto coef = (float) (1.0 - 10.0 * juce::MathConstants<double>::pi / rate);
    std::array<float, 2> previousInput {}, previousOutput {};

    for (size_t start = 0; start < audio[0].size(); start += chunk)
    {
        reverb.setParameters (fullyWet (size * 0.01f, damping * 0.01f));
        if (audio.size() == 1)
            reverb.processMono (audio[0].data() + start, chunk);
        else
            reverb.processStereo (audio[0].data() + start, audio[1].data() + start, chunk);

        for (size_t ch = 0; ch < audio.size(); ++ch)
            for (size_t i = start; i < start + chunk; ++i)
            {
                const float x = audio[ch][i];
                previousOutput[ch] = coef * previousOutput[ch] + x - previousInput[ch];
                previousInput[ch] = x;
                audio[ch][i] = previousOutput[ch];
            }
    }
    return audio;
}

TEST (ReverbEffect, ATailDecaysToTrueSilence)
{
    // The network's own rounding holds a used reverb at a floor (up to -92.5 dB peak) instead of letting it
    // decay. Once the input is silent, the effect gives exactly what the network gives until the tail has fallen
    // to that floor, then zeros.
    const struct
    {
        float size, damping;
        int channels;
    } cases[] = { { 100.0f, 0.0f, 2 }, { 98.0f, 20.0f, 2 }, { 60.0f, 40.0f, 2 }, { 100.0f, 0.0f, 1 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "size " << c.size << ", damping " << c.damping << ", " << c.channels
                                         << " channels");
        ReverbRig rig (c.channels);
        rig.values[tz::reverbSize] = c.size;
        rig.values[tz::reverbDamping] = c.damping;
        const auto input = rig.noise (4800 + 20 * 48000, 4800);
        auto out = input;
        rig.run (out);
        const auto expected = referenceReverb (input, c.size, c.damping);

        // Where the output falls silent for good.
        size_t silentFrom = out[0].size();
        while (silentFrom > 0
               && std::all_of (out.begin(), out.end(), [&] (auto& ch) { return ch[silentFrom - 1] == 0.0f; }))
            --silentFrom;
        ASSERT_LT (silentFrom, out[0].size() - 48000) << "still not silent a second before the end";

        float droppedPeak = 0.0f;
        for (size_t ch = 0; ch < out.size(); ++ch)
        {
            for (size_t i = 0; i < silentFrom; ++i)
                ASSERT_EQ (out[ch][i], expected[ch][i]) << "channel " << ch << ", sample " << i;
            for (size_t i = silentFrom; i < out[ch].size(); ++i)
                droppedPeak = std::max (droppedPeak, std::abs (expected[ch][i]));
        }
        EXPECT_LE (droppedPeak, 5.0e-5f); // what was dropped lies some 88 dB down, near the network's floor
    }
}

TEST (ReverbEffect, QuietMaterialComesOutScaledWithTheInput)
{
    // However quiet the input, the reverb gives what the network gives: the output scales with the input, apart
    // from the network's own rounding, which grows as the material falls toward it.
    const int length = 3 * 48000;
    const int from = 48000; // well past the half second after which a reverb at rest would show
    ReverbRig full;
    auto reference = full.noise (length, length);
    full.run (reference);

    const struct
    {
        float scale;
        double roundingDb; // the difference from the scaled reference, relative to it
    } cases[] = { { 1.0f, -300.0 }, { 1.0e-3f, -60.0 }, { 1.0e-4f, -40.0 }, { 1.0e-5f, -20.0 } }; // -300: to the bit

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.scale);
        ReverbRig rig;
        auto audio = rig.noise (length, length);
        for (auto& channel : audio)
            for (auto& s : channel)
                s *= c.scale;
        rig.run (audio);

        for (size_t ch = 0; ch < audio.size(); ++ch)
        {
            std::vector<float> difference ((size_t) length);
            for (size_t i = 0; i < difference.size(); ++i)
                difference[i] = audio[ch][i] / c.scale - reference[ch][i];

            const double referenceRms = rmsOf (reference[ch], from, length);
            EXPECT_NEAR (dB (rmsOf (audio[ch], from, length) / c.scale / referenceRms), 0.0, 0.1);
            EXPECT_LE (dB (std::max (rmsOf (difference, from, length) / referenceRms, 1.0e-15)), c.roundingDb);
        }
    }
}

TEST (ReverbEffect, OutputCarriesNoDc)
{
    for (const int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        // Long enough for the slowest comb (time constant near 1.8 s) to have charged up fully.
        const int length = 20 * 48000;
        const int window = 2 * 48000;

        ReverbRig plain (channels);
        auto withoutOffset = plain.noise (length, length);
        plain.run (withoutOffset);

        ReverbRig offset (channels);
        auto withOffset = offset.noise (length, length, 0.5f);
        offset.run (withOffset);

        // The reverb is linear, so the two runs differ by its answer to the DC alone. Without the blocker
        // that would settle near 0.5 x 0.015 x 8 combs x 50 x 1.5 = 4.5 (mono sum) or 9 (stereo sum).
        for (int ch = 0; ch < channels; ++ch)
        {
            double dcAnswer = 0.0;
            for (int i = length - window; i < length; ++i)
                dcAnswer += withOffset[(size_t) ch][(size_t) i] - withoutOffset[(size_t) ch][(size_t) i];

            EXPECT_NEAR (dcAnswer / window, 0.0, 1.0e-4);
            EXPECT_GT (rmsOf (withOffset[(size_t) ch], length - window, length), 0.1); // the tail itself is there
        }
    }
}

TEST (ReverbEffect, ResetSilencesTheTailWithoutAllocating)
{
    ReverbRig rig;
    auto loud = rig.noise (24000, 24000);
    rig.run (loud);
    auto audio = rig.noise (48000, 0);

    const tz::test::AllocationCounter counter;
    rig.reverb.reset();
    rig.run (audio);
    EXPECT_EQ (counter.count(), 0u);

    for (const auto& channel : audio)
        EXPECT_EQ (rmsOf (channel, 0, 48000), 0.0);
}

} // namespace
