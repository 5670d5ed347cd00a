#pragma once

#include <memory>
#include <vector>

#include <juce_core/juce_core.h>

namespace tz
{

// Bump when presets are added or changed: every user then gets the missing files once more.
inline constexpr int factoryPresetSetVersion = 4;

// ".factory-presets-v4": present in the preset root once this set has been installed.
juce::String factoryMarkerName();

// The document of the embedded factory file with this file name ("Bit Sweep.tzpreset"), or null.
std::unique_ptr<juce::XmlElement> parseFactoryPreset (const juce::String& fileName);

// Every embedded factory preset's document, in the fixed factory order.
std::vector<std::unique_ptr<juce::XmlElement>> factoryPresetDocuments();

// Writes the embedded presets that are missing under root/<category>/, then the marker. Does nothing while the
// marker exists and never replaces a file, so users keep their edits and deletions. When a preset can't be
// written the marker is not, so the next try writes what is missing; false then.
bool installFactoryPresets (const juce::File& root);

} // namespace tz
