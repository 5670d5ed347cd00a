#pragma once

#include <optional>

#include <juce_graphics/juce_graphics.h>

class TazzleAudioProcessor;

namespace tz::render
{

// What the window shows below the header: a page, or the preset browser open over the chain.
enum class EditorPage
{
    modulators,
    grid,
    browser
};

// The plug-in window as a host would show it, drawn offscreen: no display and no network needed. The editor
// takes one refresh first, so the playhead and the modulation show where the processor stands.
juce::Image drawEditor (TazzleAudioProcessor& processor, std::optional<double> scale, EditorPage page);

} // namespace tz::render
