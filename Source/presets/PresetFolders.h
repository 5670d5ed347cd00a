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

// The stem a preset or a pack is stored under: the name made legal by the framework's rule, without control
// characters or leading dots (a hidden file no list shows), and short enough in UTF-8 for every file system with
// room left for the extension. Empty when nothing usable is left.
juce::String legalFileStem (const juce::String& name);

// `name` as a child of `folder`, built without the framework's expansion of a leading "~" to a home folder; none
// when the name is empty, holds a separator or would leave the folder.
juce::File childInside (const juce::File& folder, const juce::String& name);

// The file a preset of this name and category lives in: the legal stem plus the extension; none when either the
// category or the name can't be a file name.
juce::File presetFileFor (const juce::File& root, const juce::String& category, const juce::String& name);

// The pack a preset file belongs to: the pack folder's name when the file sits in root/Packs/<pack>/<category>/.
juce::String packOfPresetFile (const juce::File& file, const juce::File& root);

} // namespace tz
