#pragma once

#include <optional>

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_graphics/juce_graphics.h>

#include "Options.h"

namespace tz::render
{

struct PictureContent
{
    const juce::AudioBuffer<float>& input;
    const juce::AudioBuffer<float>& output;
    double sampleRate;
    double bpm;
    juce::String title;
};

// The input and output waveforms over the bar grid and a spectrogram of the output. Software rendering only,
// so it works without a display.
juce::Image drawPicture (const PictureContent& content);

// Writes the picture as PNG through a temporary file, so a failed write leaves nothing behind.
std::optional<Failure> writePng (const juce::File& target, const juce::Image& image);

} // namespace tz::render
