#include "presets/PresetSearch.h"

#include <string>

#include "presets/FactoryPresets.h"
#include "presets/StateDocument.h"

namespace tz
{

namespace
{
    // The base letter of each of U+00C0..U+017F once lower-cased, or '.' to keep the character: Latin-1 and
    // Latin Extended-A, where the accented letters of European preset and pack names live.
    constexpr const char* latinBaseLetters = "aaaaaa.ceeeeiiii.nooooo.ouuuuy..aaaaaa.ceeeeiiii.nooooo.ouuuuy.y"
                                             "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiii...jjkk.lllllll"
                                             "lllnnnnnn...oooooo..rrrrrrsssssssstttt..uuuuuuuuuuuuwwyyyzzzzzz.";
    static_assert (std::char_traits<char>::length (latinBaseLetters) == 0x180 - 0xc0);

    juce::juce_wchar foldCharacter (juce::juce_wchar c)
    {
        // The framework lowers only ASCII in the C locale; Latin-1's capitals sit 0x20 below their small letters.
        c = juce::CharacterFunctions::toLowerCase (c);
        if (c >= 0xc0 && c <= 0xde && c != 0xd7)
            c += 0x20;
        if (c >= 0xc0 && c < 0x180 && latinBaseLetters[c - 0xc0] != '.')
            return (juce::juce_wchar) latinBaseLetters[c - 0xc0];
        return c;
    }

    bool passes (const PresetIndex::Item& item, const PresetFilter& filter, const juce::StringArray& words)
    {
        if (filter.category.isNotEmpty() && item.entry.category != filter.category)
            return false;
        if (! filter.anySource
            && (item.source != filter.source
                || (filter.source == PresetSource::pack && filter.pack.isNotEmpty() && item.entry.pack != filter.pack)))
            return false;
        if (filter.favouritesOnly && ! item.favourite)
            return false;
        for (const auto& word : words)
            if (! item.folded.contains (word))
                return false;
        return true;
    }
} // namespace

juce::String foldForSearch (const juce::String& text)
{
    juce::String folded;
    folded.preallocateBytes ((size_t) text.getNumBytesAsUTF8());
    bool space = true; // no leading space
    for (const auto c : text)
    {
        const bool isSpace = juce::CharacterFunctions::isWhitespace (c);
        if (! (isSpace && space))
            folded += isSpace ? juce::juce_wchar (' ') : foldCharacter (c);
        space = isSpace;
    }
    return folded.trimEnd();
}

const juce::StringArray& factoryPresetFileNames()
{
    static const juce::StringArray names = []
    {
        juce::StringArray result;
        for (const auto& document : factoryPresetDocuments())
            result.add (document->getStringAttribute (stateIds::presetCategory) + "/"
                        + legalFileStem (document->getStringAttribute (stateIds::presetName)));
        return result;
    }();
    return names;
}

PresetIndex::PresetIndex (std::vector<PresetEntry> entries, const juce::StringArray& favourites,
                          const juce::StringArray& factoryNames, const PresetLibrary& library)
{
    items.reserve (entries.size());
    for (auto& entry : entries)
    {
        Item item;
        item.source = entry.pack.isNotEmpty()                             ? PresetSource::pack
            : factoryNames.contains (entry.category + "/" + entry.name()) ? PresetSource::factory
                                                                          : PresetSource::user;
        item.favourite = favourites.contains (library.relativePath (entry.file));
        item.folded = foldForSearch (entry.name() + " " + entry.category + " " + entry.pack);
        item.entry = std::move (entry);
        items.push_back (std::move (item));
    }
}

std::vector<int> PresetIndex::filter (const PresetFilter& filter) const
{
    const auto words = juce::StringArray::fromTokens (foldForSearch (filter.text), " ", {});
    std::vector<int> found;
    for (size_t i = 0; i < items.size(); ++i)
        if (passes (items[i], filter, words))
            found.push_back ((int) i);
    return found;
}

} // namespace tz
