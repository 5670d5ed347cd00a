#include "presets/PresetFolders.h"

namespace tz
{

juce::File presetRoot()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Quarrow")
        .getChildFile ("Tazzle")
        .getChildFile ("Presets");
}

const juce::StringArray& presetCategories()
{
    static const juce::StringArray categories { "Gates", "Rhythmic", "Glitch",      "Lo-Fi",
                                                "Space", "Textures", "Transitions", "User" };
    return categories;
}

juce::File presetFileFor (const juce::File& root, const juce::String& category, const juce::String& name)
{
    return root.getChildFile (category).getChildFile (juce::File::createLegalFileName (name) + presetExtension);
}

juce::String packOfPresetFile (const juce::File& file, const juce::File& root)
{
    const auto categoryFolder = file.getParentDirectory();
    const auto packFolder = categoryFolder.getParentDirectory();
    const auto packsFolder = packFolder.getParentDirectory();

    if (packsFolder.getFullPathName().equalsIgnoreCase (root.getChildFile (packsFolderName).getFullPathName()))
        return packFolder.getFileName();

    return {};
}

} // namespace tz
