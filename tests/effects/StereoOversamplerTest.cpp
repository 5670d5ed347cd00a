#include <gtest/gtest.h>

#include <juce_dsp/juce_dsp.h>

#include "core/ChunkSize.h"
#include "effects/EffectTestSignals.h"
#include "effects/StereoOversampler.h"

namespace
{
using namespace tz::test;

constexpr int maxChunk = tz::chunkSize;
std::unique_ptr<juce::dsp::Oversampling<float>> makeReference (size_t numChannels)
{
    auto reference = std::make_unique<juce::dsp::Oversampling<float>> (numChannels);
    reference->setUsingIntegerLatency (true);
    for (const auto& d : tz::StereoOversampler::designs)
        reference->addOversamplingStage (juce::dsp::Oversampling<float>::filterHalfBandPolyphaseIIR, d.transitionUp,
                                         d.stopbandUpDb, d.transitionDown, d.stopbandDownDb);
    reference->initProcessing (maxChunk);
    return reference;
}

// Something nonlinear between up and down, so the downsampler has out-of-band content to remove.
float shape (float x) { return std::tanh (3.0f * x); }

// Chunk sizes that are not a fixed pattern, between 1 and maxChunk.
int chunkSizeAt (int index) { return 1 + (index * 7 + index / 3) % maxChunk; }

TEST (StereoOversampler, MatchesJuceOversamplingSampleForSample)
{
    for (const int numChannels : { 1, 2 })
    {
        SCOPED_TRACE (numChannels);
        auto reference = makeReference ((size_t) numChannels);
        tz::StereoOversampler oversampler;
        oversampler.prepare (maxChunk);
        EXPECT_EQ ((float) oversampler.latencySamples(), reference->getLatencyInSamples());

        const int total = 9000;
        std::array<Signal, 2> input { noise (total, 11, 0.7f), sine (3000.0, 48000.0, total, 0.9f) };
        std::array<Signal, 2> expected = input, actual = input;

        int largestFrameError = 0;
        for (int start = 0, index = 0; start < total; start += chunkSizeAt (index++))
        {
            const int n = std::min (chunkSizeAt (index), total - start);

            std::array<float*, 2> referenceChannels { expected[0].data() + start, expected[1].data() + start };
            juce::dsp::AudioBlock<float> block (referenceChannels.data(), (size_t) numChannels, (size_t) n);
            auto up = reference->processSamplesUp (block);

            float* frames = oversampler.processUp (actual[0].data() + start, actual[numChannels - 1].data() + start, n);
            for (int i = 0; i < 8 * n; ++i)
                for (int ch = 0; ch < numChannels; ++ch)
                    if (frames[2 * i + ch] != up.getSample (ch, i))
                        ++largestFrameError;

            for (int ch = 0; ch < numChannels; ++ch)
                for (int i = 0; i < 8 * n; ++i)
                    up.setSample (ch, i, shape (up.getSample (ch, i)));
            for (int i = 0; i < 16 * n; ++i)
                frames[i] = shape (frames[i]);

            reference->processSamplesDown (block);
            oversampler.processDown (actual[0].data() + start, numChannels > 1 ? actual[1].data() + start : nullptr, n);
        }

        EXPECT_EQ (largestFrameError, 0) << "oversampled frames differ";
        for (int ch = 0; ch < numChannels; ++ch)
            for (int i = 0; i < total; ++i)
                ASSERT_EQ (actual[(size_t) ch][(size_t) i], expected[(size_t) ch][(size_t) i])
                    << "channel " << ch << " sample " << i;
    }
}

TEST (StereoOversampler, ResetForgetsThePastAndPassesALowSineAtUnityAfterTheLatency)
{
    tz::StereoOversampler oversampler;
    oversampler.prepare (maxChunk);

    const auto run = [&oversampler] (Signal signal)
    {
        for (int start = 0; start < (int) signal.size(); start += maxChunk)
        {
            float* s = signal.data() + start;
            oversampler.processUp (s, s, maxChunk);
            oversampler.processDown (s, nullptr, maxChunk);
        }
        return signal;
    };

    const auto first = run (noise (4096, 3));
    oversampler.reset();
    const auto tone = sine (1000.0, 48000.0, 9600);
    const auto out = run (tone);

    // 1 kHz is deep in the pass band: unity gain and a delay of the reported whole latency.
    const int latency = oversampler.latencySamples();
    double error = 0.0;
    for (size_t i = 4800; i < out.size(); ++i)
        error = std::max (error, (double) std::abs (out[i] - tone[i - (size_t) latency]));
    EXPECT_LT (error, 0.01);

    oversampler.reset();
    EXPECT_EQ (run (noise (4096, 3)), first);
}

} // namespace
