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
        noPresets,
        notWritten
    };

    Outcome outcome = Outcome::notAPack;
    juce::String packName;
    int count = 0;

    // Preset entries left out, by reason: a name that isn't UTF-8 or leaves nothing usable; past the pack's limits
    // (entries or bytes); not a readable Tazzle preset; a write that failed (the first failure's reason kept).
    int skippedNames = 0, skippedPastLimits = 0, skippedUnreadable = 0, notWritten = 0;
    juce::String writeError;

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
    // Adds the file to the favourites, or removes every copy of it. A favourites file that exists but can't be
    // read is not replaced, so its paths are never lost to a toggle.
    juce::Result toggleFavourite (const juce::File& file) const;

    // Where a preset of this name and category is saved; none when the name leaves nothing usable.
    juce::File fileFor (const juce::String& presetName, const juce::String& category) const;
    // Writes a copy of `state` (without the window scale) as a preset, or says why it could not.
    juce::Result save (const juce::ValueTree& state, const juce::String& presetName,
                       const juce::String& category) const;

    PackInstallation installPack (const juce::File& packFile) const;

    // Counts the writes made through any library of this process (saves, favourites, packs), so that a view of
    // the list knows when to scan again.
    static int revision() noexcept;

private:
    juce::File root;
};

} // namespace tz
