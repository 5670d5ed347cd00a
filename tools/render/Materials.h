#pragma once

#include <array>
#include <optional>

#include <juce_audio_basics/juce_audio_basics.h>

namespace tz::render
{

// The generated inputs a preset can be heard on without bringing audio. Levels as a producer meets them: the
// pink noise sits at -20 dBFS RMS, the hits peak at -1 dBFS, the others at -6 dBFS.
enum class Material
{
    demo, // the demo loop: drums, bass and chords in one short mix
    pink, // pink noise, standing in for a full mix
    bass, // a bass line, mostly sine and saw below 200 Hz
    pad,  // a sustained chord pad
    hits  // single drum hits and clicks with silence between: the worst case for make-up gain and ringing
};

constexpr std::array<Material, 5> allMaterials { Material::demo, Material::pink, Material::bass, Material::pad,
                                                 Material::hits };

constexpr float materialPeakDb = -6.0f;
constexpr float hitsPeakDb = -1.0f;
constexpr float pinkNoiseRmsDb = -20.0f;

// The name on the command line ("demo", "pink", "bass", "pad") and a few words on what it is.
juce::String materialName (Material material);
juce::String materialDescription (Material material);
std::optional<Material> materialNamed (const juce::String& name);

// Deterministic: the same arguments give the same samples. Two channels.
juce::AudioBuffer<float> synthesiseMaterial (Material material, double sampleRate, double bpm, int numSamples);

} // namespace tz::render
