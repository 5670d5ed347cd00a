#pragma once

#include <optional>
#include <vector>

#include "Options.h"
#include "core/PluginProcessor.h"

namespace tz::render
{

struct FactoryPreset
{
    juce::String name, category;
};

// The presets carried inside the plug-in, grouped in the category order of the preset menus.
std::vector<FactoryPreset> factoryPresets();

// "--list": one heading per category, its presets indented below; then the user's presets and packs.
juce::String presetListing();

// "--install-pack": installs a preset pack; `report` gets the outcome on one line.
std::optional<Failure> installPack (const juce::File& pack, juce::String& report);

// A factory preset by name (any case), then a user or pack preset by name, "Init", or a ".tzpreset" file; unknown
// names suggest the nearest ones.
std::optional<Failure> applyPreset (TazzleAudioProcessor& processor, const juce::String& nameOrFile,
                                    const juce::File& workingDirectory);

// "--set" overrides by parameter ID, through the processor's host-notifying setter. Out-of-range values are
// clamped, each with a line in `warnings`.
std::optional<Failure> applyOverrides (TazzleAudioProcessor& processor, const std::vector<ParameterOverride>& overrides,
                                       juce::StringArray& warnings);

// A host-state blob as a host would restore it; a bare state document is wrapped the way a host stores it.
std::optional<Failure> applyState (TazzleAudioProcessor& processor, const juce::File& file);

} // namespace tz::render
