#pragma once

#include <optional>
#include <vector>

#include <juce_data_structures/juce_data_structures.h>

#include "presets/PresetFolders.h"

namespace tz
{

// One preset file of the list, with the category folder and the pack it was found in.
struct PresetEntry
{
    juce::File file;
    juce::String category;
    juce::String pack; // empty for the main preset folder

    juce::String name() const { return file.getFileNameWithoutExtension(); }
};

// What installing a pack came to, and the words that tell the user.
struct PackInstallation
{
    enum class Outcome
    {
        installed,
        notAPack,
        noUsableName,
        noPresets
    };

    Outcome outcome = Outcome::notAPack;
    juce::String packName;
    int count = 0;

    bool succeeded() const noexcept { return outcome == Outcome::installed; }
    juce::String title() const;
    juce::String message (const juce::File& packFile) const;
};

// The user's preset folders on disk: the one place that knows their layout. The list is scanned anew on every
// call, so files added or removed in a file browser show at once.
class PresetLibrary
{
public:
    explicit PresetLibrary (juce::File root = presetRoot());

    const juce::File& getRoot() const noexcept { return root; }

    // Categories in their fixed order, then the packs in natural order; files in natural order, case ignored.
    std::vector<PresetEntry> scan() const;

    // The entry a patch of this name, category and pack was loaded from, or -1.
    static int indexOf (const std::vector<PresetEntry>& entries, const juce::String& presetName,
                        const juce::String& category, const juce::String& pack);

    // The entry `delta` steps on from `current`, wrapping; from no entry, back goes to the last and on to the first.
    static int stepTarget (int current, int delta, int count);

    // The first preset whose name matches, ignoring case: the main folders first, then the packs in list order.
    std::optional<PresetEntry> findByName (const juce::String& presetName) const;

    // A file's path below the root with "/" between folders, as favourites store it.
    juce::String relativePath (const juce::File& file) const;

    juce::File favouritesFile() const;
    juce::StringArray favourites() const;
    bool isFavourite (const juce::File& file) const;
    // Adds the file to the favourites, or removes every copy of it; false when the file could not be written.
    bool toggleFavourite (const juce::File& file) const;

    // Writes a copy of `state` (without the window scale) as a preset; the file written, or none on failure.
    juce::File save (const juce::ValueTree& state, const juce::String& presetName, const juce::String& category) const;

    PackInstallation installPack (const juce::File& packFile) const;

private:
    juce::File root;
};

// Writes `text` through a temporary file beside `target`, so a failed write leaves neither a partial target nor
// the temporary behind.
bool replaceFileWithText (const juce::File& target, const juce::String& text);

} // namespace tz
