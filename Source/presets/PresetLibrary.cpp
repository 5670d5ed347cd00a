#include "presets/PresetLibrary.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>

#include "presets/AtomicFile.h"
#include "presets/PackArchive.h"
#include "presets/StateDocument.h"
#include "presets/XmlReader.h"

namespace tz
{

namespace
{
    constexpr const char* favouritesFileName = "Favorites.xml";
    constexpr const char* packDescriptionName = "Pack.xml";
    constexpr int maxPackEntries = 10000;
    constexpr juce::int64 maxPackPresetBytes = 64 << 20;

    bool naturallyBefore (const juce::String& a, const juce::String& b) { return a.compareNatural (b, false) < 0; }

    juce::Array<juce::File> sortedChildren (const juce::File& folder, int whatToFind, const juce::String& pattern)
    {
        auto found = folder.findChildFiles (whatToFind, false, pattern, juce::File::FollowSymlinks::no);
        std::sort (found.begin(), found.end(),
                   [] (const juce::File& a, const juce::File& b)
                   { return naturallyBefore (a.getFileNameWithoutExtension(), b.getFileNameWithoutExtension()); });
        return found;
    }

    void appendCategory (std::vector<PresetEntry>& entries, const juce::File& folder, const juce::String& category,
                         const juce::String& pack)
    {
        for (const auto& file :
             sortedChildren (folder.getChildFile (category), juce::File::findFiles | juce::File::ignoreHiddenFiles,
                             juce::String ("*") + presetExtension))
            entries.push_back ({ file, category, pack });
    }

    bool hasControlCharacter (const juce::String& text)
    {
        for (auto c : text)
            if (c < 0x20 || c == 0x7f)
                return true;
        return false;
    }

    // Whether an archive entry's name, still bytes, ends with the preset extension (case ignored).
    bool hasPresetExtension (const std::string& name)
    {
        const std::string extension (presetExtension);
        return name.size() >= extension.size()
            && std::equal (extension.begin(), extension.end(), name.end() - (std::ptrdiff_t) extension.size(),
                           [] (char a, char b)
                           { return std::tolower ((unsigned char) a) == std::tolower ((unsigned char) b); });
    }

    // The category and file name of an archive entry that may hold a preset, or nothing.
    std::optional<std::pair<juce::String, juce::String>> presetEntryPlace (const juce::String& name)
    {
        const auto path = name.replaceCharacter ('\\', '/');
        const auto parts = juce::StringArray::fromTokens (path, "/", {});
        if (parts.size() != 2 || ! presetCategories().contains (parts[0])
            || ! parts[1].endsWithIgnoreCase (presetExtension) || parts[1].startsWithChar ('.'))
            return std::nullopt;

        return std::pair { parts[0], parts[1] };
    }

    // Files are written as UTF-8, so a declaration that names another encoding would no longer be true.
    juce::String withUtf8Declaration (const juce::String& text)
    {
        if (! text.startsWith ("<?xml"))
            return text;
        const int end = text.indexOf ("?>");
        const auto declaration = text.substring (0, end);
        if (end < 0 || ! declaration.containsIgnoreCase ("encoding") || declaration.containsIgnoreCase ("utf-8"))
            return text;
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"" + text.substring (end);
    }

    juce::String packNameFrom (const PackArchive& archive, const juce::File& packFile, juce::int64& inflated)
    {
        if (const int index = archive.indexOf (packDescriptionName); index >= 0)
            if (const auto data = archive.read (archive.getEntries()[(size_t) index], maxXmlBytes, inflated))
                if (const auto xml = readXml (documentText (data->getData(), data->getSize()));
                    xml != nullptr && xml->hasTagName ("TAZZLE_PACK"))
                    if (const auto name = xml->getStringAttribute ("name").trim(); name.isNotEmpty())
                        return name;

        return packFile.getFileNameWithoutExtension();
    }

    enum class EntryResult
    {
        notAPreset,
        installed,
        unusableName,
        pastLimits,
        unreadable,
        notWritten
    };

    // Installs entry `index` of the archive into `packFolder`, or says why not. `inflated` counts every byte that
    // came out of the archive so far.
    EntryResult installEntry (const PackArchive& archive, size_t index, const juce::File& packFolder,
                              juce::int64& inflated, juce::String& writeError)
    {
        const auto& entry = archive.getEntries()[index];
        if (! hasPresetExtension (entry.name))
            return EntryResult::notAPreset;

        // Old tools write names in other encodings; nothing tells which, so such an entry can't be placed.
        if (! isStrictUtf8 (entry.name.data(), entry.name.size())
            || std::memchr (entry.name.data(), 0, entry.name.size()) != nullptr)
            return EntryResult::unusableName;

        const auto name = juce::String::fromUTF8 (entry.name.data(), (int) entry.name.size());
        const auto place = presetEntryPlace (name);
        if (! place || entry.isSymbolicLink)
            return EntryResult::notAPreset;

        const auto stem = legalFileStem (place->second.dropLastCharacters (juce::String (presetExtension).length()));
        // The extension is written in lower case: the list looks for "*.tzpreset", and on most systems case counts.
        const auto target = childInside (childInside (packFolder, place->first), stem + presetExtension);
        if (hasControlCharacter (name) || stem.isEmpty() || target == juce::File())
            return EntryResult::unusableName;

        if (index >= (size_t) maxPackEntries || inflated >= maxPackPresetBytes)
            return EntryResult::pastLimits;

        if (entry.declaredSize > (juce::int64) maxXmlBytes)
            return EntryResult::unreadable;
        const auto budget = juce::jmin<juce::int64> ((juce::int64) maxXmlBytes, maxPackPresetBytes - inflated);
        const auto data = archive.read (entry, (size_t) budget, inflated);
        if (! data)
            return inflated >= maxPackPresetBytes ? EntryResult::pastLimits : EntryResult::unreadable;

        const auto text = documentText (data->getData(), data->getSize());
        const auto xml = readXml (text);
        if (xml == nullptr || ! isStateDocument (*xml))
            return EntryResult::unreadable;

        if (! ensureFolder (target.getParentDirectory()))
        {
            writeError = "couldn't create the folder " + target.getParentDirectory().getFullPathName();
            return EntryResult::notWritten;
        }
        const auto written = replaceFileAtomically (
            target, withUtf8Declaration (text.replace ("\r\n", "\n").replaceCharacter ('\r', '\n')));
        writeError = written.getErrorMessage();
        return written.wasOk() ? EntryResult::installed : EntryResult::notWritten;
    }

    std::atomic<int> writes { 0 };

    juce::Result noteWrite (const juce::Result& written)
    {
        ++writes;
        return written;
    }

    juce::String counted (int count, const juce::String& what) { return juce::String (count) + " " + what; }
} // namespace

//==============================================================================
juce::String PackInstallation::title() const { return succeeded() ? "Preset pack installed" : "Install preset pack"; }

juce::String PackInstallation::message (const juce::File& packFile) const
{
    juce::StringArray skips;
    if (skippedNames > 0)
        skips.add (counted (skippedNames, "with names that can't be used"));
    if (skippedPastLimits > 0)
        skips.add (counted (skippedPastLimits, "past the limits of a pack (10,000 entries, 64 MiB)"));
    if (skippedUnreadable > 0)
        skips.add (counted (skippedUnreadable, "that aren't readable Tazzle presets"));
    if (notWritten > 0 && outcome != Outcome::notWritten)
        skips.add (counted (notWritten, "that couldn't be written (" + writeError + ")"));
    const auto skipped = skips.isEmpty() ? juce::String() : "\n\nSkipped: " + skips.joinIntoString (", ") + ".";

    const auto couldNot = "Tazzle could not install " + packFile.getFileName() + ".\n\n";
    switch (outcome)
    {
        case Outcome::installed:
            return packName + ": " + juce::String (count)
                + " presets.\n\nYou'll find them in the preset menu, under PRESET PACKS." + skipped;
        case Outcome::notAPack:
            return couldNot + "This file isn't a Tazzle preset pack (.tzpack).";
        case Outcome::noUsableName:
            return couldNot + "The pack has no usable name.";
        case Outcome::noPresets:
            return couldNot + "It contains no Tazzle presets." + skipped;
        case Outcome::notWritten:
            return couldNot + "Its presets couldn't be written to the preset folder: " + writeError + skipped;
    }
    return {};
}

//==============================================================================
int PresetLibrary::revision() noexcept { return writes.load(); }

PresetLibrary::PresetLibrary (juce::File presetFolder)
    : root (std::move (presetFolder))
{
}

std::vector<PresetEntry> PresetLibrary::scan() const
{
    std::vector<PresetEntry> entries;
    for (const auto& category : presetCategories())
        appendCategory (entries, root, category, {});

    auto packs = root.getChildFile (packsFolderName)
                     .findChildFiles (juce::File::findDirectories | juce::File::ignoreHiddenFiles, false, "*",
                                      juce::File::FollowSymlinks::no);
    std::sort (packs.begin(), packs.end(),
               [] (const juce::File& a, const juce::File& b)
               { return naturallyBefore (a.getFileName(), b.getFileName()); });

    for (const auto& pack : packs)
        for (const auto& category : presetCategories())
            appendCategory (entries, pack, category, pack.getFileName());

    return entries;
}

int PresetLibrary::indexOf (const std::vector<PresetEntry>& entries, const juce::String& presetName,
                            const juce::String& category, const juce::String& pack)
{
    const auto fileName = legalFileStem (presetName);
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].name() == fileName && entries[i].category == category && entries[i].pack == pack)
            return (int) i;
    return -1;
}

int PresetLibrary::stepTarget (int current, int delta, int count)
{
    if (count <= 0)
        return -1;
    if (current < 0)
        return delta <= 0 ? count - 1 : 0;
    return ((delta % count) + count + current) % count;
}

std::optional<PresetEntry> PresetLibrary::findByName (const juce::String& presetName) const
{
    const auto wanted = legalFileStem (presetName);
    for (auto& entry : scan())
        if (entry.name().equalsIgnoreCase (wanted))
            return entry;
    return std::nullopt;
}

juce::String PresetLibrary::relativePath (const juce::File& file) const
{
    return file.getRelativePathFrom (root).replaceCharacter ('\\', '/');
}

//==============================================================================
juce::File PresetLibrary::favouritesFile() const { return root.getSiblingFile (favouritesFileName); }

juce::StringArray PresetLibrary::favourites() const
{
    juce::StringArray paths;
    if (const auto xml = readXmlFile (favouritesFile()))
        for (auto* child : xml->getChildIterator())
            if (child->getTagName().equalsIgnoreCase ("PRESET"))
                paths.addIfNotAlreadyThere (child->getStringAttribute ("path"));
    return paths;
}

bool PresetLibrary::isFavourite (const juce::File& file) const { return favourites().contains (relativePath (file)); }

juce::Result PresetLibrary::toggleFavourite (const juce::File& file) const
{
    const auto target = favouritesFile();
    if (isRegularFile (target) && readXmlFile (target) == nullptr)
        return juce::Result::fail ("Couldn't read " + target.getFullPathName()
                                   + ", so it was left as it is. Repair or remove it to change favourites.");

    const auto path = relativePath (file);
    auto paths = favourites();
    if (paths.contains (path))
        paths.removeString (path);
    else
        paths.add (path);

    juce::XmlElement document ("FAVORITES");
    for (const auto& p : paths)
        document.createNewChildElement ("PRESET")->setAttribute ("path", p);

    if (! ensureFolder (target.getParentDirectory()))
        return juce::Result::fail ("Couldn't create the folder " + target.getParentDirectory().getFullPathName());
    return noteWrite (replaceFileAtomically (target, document.toString()));
}

juce::File PresetLibrary::fileFor (const juce::String& presetName, const juce::String& category) const
{
    return presetFileFor (root, category, presetName);
}

juce::Result PresetLibrary::save (const juce::ValueTree& state, const juce::String& presetName,
                                  const juce::String& category) const
{
    const auto file = fileFor (presetName, category);
    if (file == juce::File())
        return juce::Result::fail ("The name \"" + presetName + "\" has nothing that can be used in a file name.");

    auto copy = state.createCopy();
    copy.removeProperty (stateIds::uiScale, nullptr);
    copy.setProperty (stateIds::presetName, presetName, nullptr);
    copy.setProperty (stateIds::presetCategory, category, nullptr);

    const auto xml = copy.createXml();
    if (xml == nullptr)
        return juce::Result::fail ("The settings could not be turned into a preset.");
    if (! ensureFolder (file.getParentDirectory()))
        return juce::Result::fail ("Couldn't create the folder " + file.getParentDirectory().getFullPathName());
    return noteWrite (replaceFileAtomically (file, xml->toString()));
}

//==============================================================================
PackInstallation PresetLibrary::installPack (const juce::File& packFile) const
{
    PackInstallation result;

    // A pipe or device under a pack's name would block the reader or never end.
    if (! isRegularFile (packFile))
        return result;

    const PackArchive archive (packFile);
    if (! archive.isArchive())
        return result;

    // Every byte that comes out of the archive counts against one cap, since headers can lie about sizes.
    juce::int64 inflated = 0;
    result.packName = legalFileStem (packNameFrom (archive, packFile, inflated));
    const auto packFolder = childInside (root.getChildFile (packsFolderName), result.packName);
    if (packFolder == juce::File())
    {
        result.outcome = PackInstallation::Outcome::noUsableName;
        return result;
    }

    for (size_t i = 0; i < archive.getEntries().size(); ++i)
    {
        juce::String error;
        switch (installEntry (archive, i, packFolder, inflated, error))
        {
            case EntryResult::notAPreset:
                break;
            case EntryResult::installed:
                ++result.count;
                break;
            case EntryResult::unusableName:
                ++result.skippedNames;
                break;
            case EntryResult::pastLimits:
                ++result.skippedPastLimits;
                break;
            case EntryResult::unreadable:
                ++result.skippedUnreadable;
                break;
            case EntryResult::notWritten:
                if (result.notWritten++ == 0)
                    result.writeError = error;
                break;
        }
    }

    ++writes;
    using Outcome = PackInstallation::Outcome;
    result.outcome = result.count > 0 ? Outcome::installed
        : result.notWritten > 0       ? Outcome::notWritten
                                      : Outcome::noPresets;
    return result;
}

} // namespace tz
