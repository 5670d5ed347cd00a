#pragma once

#include <juce_core/juce_core.h>

namespace tz
{

inline constexpr const char* presetExtension = ".tzpreset";
inline constexpr const char* packsFolderName = "Packs";

// <application data>/Quarrow/Tazzle/Presets. Nothing is created.
juce::File presetRoot();

// "Gates", "Rhythmic", "Glitch", "Lo-Fi", "Space", "Textures", "Transitions", "User": the order of every list.
const juce::StringArray& presetCategories();

// The file a preset of this name and category lives in: the name made legal, plus the extension.
juce::File presetFileFor (const juce::File& root, const juce::String& category, const juce::String& name);

// The pack a preset file belongs to: the pack folder's name when the file sits in root/Packs/<pack>/<category>/.
juce::String packOfPresetFile (const juce::File& file, const juce::File& root);

} // namespace tz
