#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace tz::render
{

// A stereo groove at `bpm` (kick, snare, hats, a bass line and chord stabs over an 8-bar phrase), so a preset
// can be heard without bringing audio. Deterministic: the same arguments give the same samples.
juce::AudioBuffer<float> synthesiseDemoLoop (double sampleRate, double bpm, int numSamples);

} // namespace tz::render
