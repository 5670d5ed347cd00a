#pragma once

#include <optional>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/PluginProcessor.h"

namespace tz::test
{

// A host play head whose answers a test sets directly.
struct TestPlayHead : juce::AudioPlayHead
{
    bool providesPosition = true;
    std::optional<double> bpm;
    std::optional<double> ppq;
    bool playing = false;

    juce::Optional<PositionInfo> getPosition() const override
    {
        if (! providesPosition)
            return {};

        PositionInfo info;
        if (bpm)
            info.setBpm (*bpm);
        if (ppq)
            info.setPpqPosition (*ppq);
        info.setIsPlaying (playing);
        return info;
    }
};

// Drives a processor the way a host does: prepared layout, play head, blocks of chosen sizes.
class ProcessorHarness
{
public:
    explicit ProcessorHarness (double sampleRate = 48000.0, int numChannels = 2, int maxBlock = 512)
        : rate (sampleRate)
        , channels (numChannels)
    {
        // Engine tests start from the init patch rather than the welcome preset.
        processor.resetToInit();
        processor.setPlayHead (&playHead);
        playHead.bpm = 120.0;
        prepare (maxBlock);
    }

    void prepare (int maxBlock)
    {
        processor.setPlayConfigDetails (channels, channels, rate, maxBlock);
        processor.prepareToPlay (rate, maxBlock);
    }

    // Processes `input` (one vector per channel) in host blocks of `blockSize`; returns the output.
    std::vector<std::vector<float>> process (const std::vector<std::vector<float>>& input, int blockSize = 512)
    {
        auto output = input;
        const int total = (int) input.front().size();

        for (int start = 0; start < total; start += blockSize)
        {
            const int n = juce::jmin (blockSize, total - start);
            juce::AudioBuffer<float> buffer (channels, n);
            for (int ch = 0; ch < channels; ++ch)
                buffer.copyFrom (ch, 0, input[(size_t) ch].data() + start, n);

            processor.processBlock (buffer, midi);
            advancePlayHead (n);

            for (int ch = 0; ch < channels; ++ch)
                std::copy_n (buffer.getReadPointer (ch), n, output[(size_t) ch].data() + start);
        }

        return output;
    }

    std::vector<std::vector<float>> constant (float value, int numSamples) const
    {
        return std::vector<std::vector<float>> ((size_t) channels, std::vector<float> ((size_t) numSamples, value));
    }

    // Runs `numSamples` of a constant signal and returns channel 0 of the output.
    std::vector<float> processConstant (float value, int numSamples, int blockSize = 512)
    {
        return process (constant (value, numSamples), blockSize).front();
    }

    void setValue (int p, float plainValue) { processor.setValue (p, plainValue); }

    // A playing host moves its position on by each block it has processed.
    void advancePlayHead (int numSamples)
    {
        if (playHead.playing && playHead.ppq)
            *playHead.ppq += numSamples * playHead.bpm.value_or (120.0) / (60.0 * rate);
    }

    double rate;
    int channels;
    TestPlayHead playHead;
    TazzleAudioProcessor processor;
    juce::MidiBuffer midi;
};

} // namespace tz::test
