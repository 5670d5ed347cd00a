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

juce::String legalFileStem (const juce::String& name)
{
    constexpr int maxStemBytes = 200;

    juce::String stem;
    for (const auto c : juce::File::createLegalFileName (name))
        if (c >= 0x20 && c != 0x7f)
            stem += c;
    stem = stem.trimCharactersAtStart (".");

    while (stem.getNumBytesAsUTF8() > maxStemBytes)
        stem = stem.dropLastCharacters (1);
    return stem;
}

juce::File childInside (const juce::File& folder, const juce::String& name)
{
    if (name.isEmpty() || name == "." || name == ".." || name.containsAnyOf ("/\\") || folder == juce::File())
        return {};

    const juce::File child (folder.getFullPathName() + juce::File::getSeparatorString() + name);
    return child.getParentDirectory() == folder ? child : juce::File();
}

juce::File presetFileFor (const juce::File& root, const juce::String& category, const juce::String& name)
{
    const auto stem = legalFileStem (name);
    if (stem.isEmpty())
        return {};
    return childInside (childInside (root, category), stem + presetExtension);
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
