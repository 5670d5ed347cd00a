#pragma once

#include <vector>

#include "presets/PresetLibrary.h"

namespace tz
{

// Where a preset comes from: the plug-in's own set, the user's own presets, or an installed pack.
enum class PresetSource
{
    factory,
    user,
    pack
};

// What the browser asks for: every typed word in the name, category or pack (case and accents ignored), and
// optionally one category, one source (one pack by name when the source is a pack) and favourites only.
struct PresetFilter
{
    juce::String text;
    juce::String category; // empty: every category
    bool anySource = true;
    PresetSource source = PresetSource::factory;
    juce::String pack; // with PresetSource::pack: empty for every pack
    bool favouritesOnly = false;
};

// Text folded for matching: lower case, Latin letters without their accents, runs of spaces as one.
juce::String foldForSearch (const juce::String& text);

// The presets of one scan of the library, with what filtering needs worked out once, so that a keystroke only
// compares prepared text: names come from the files' names, never from their contents.
class PresetIndex
{
public:
    struct Item
    {
        PresetEntry entry;
        PresetSource source = PresetSource::user;
        bool favourite = false;
        juce::String folded; // name, category and pack, folded
    };

    PresetIndex() = default;
    // `factoryNames` holds the factory presets' file names without extension, by category ("Space/Infinite Hall").
    PresetIndex (std::vector<PresetEntry> entries, const juce::StringArray& favourites,
                 const juce::StringArray& factoryNames, const PresetLibrary& library);

    // The index of every item that passes, in library order.
    std::vector<int> filter (const PresetFilter&) const;

    const std::vector<Item>& getItems() const noexcept { return items; }
    void setFavourite (int index, bool favourite) { items[(size_t) index].favourite = favourite; }

private:
    std::vector<Item> items;
};

// "Space/Infinite Hall" for every factory preset, as its file is named on disk.
const juce::StringArray& factoryPresetFileNames();

} // namespace tz
