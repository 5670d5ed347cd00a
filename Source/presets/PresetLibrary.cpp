#include "presets/PresetLibrary.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

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
        for (const auto& file : sortedChildren (folder.getChildFile (category), juce::File::findFiles,
                                                juce::String ("*") + presetExtension))
            entries.push_back ({ file, category, pack });
    }

    bool isRegularFile (const juce::File& file)
    {
        std::error_code error;
        return std::filesystem::is_regular_file (file.getFullPathName().toStdString(), error);
    }

    bool hasControlCharacter (const juce::String& text)
    {
        for (auto c : text)
            if (c < 0x20 || c == 0x7f)
                return true;
        return false;
    }

    std::uint32_t littleEndian32 (const char* bytes) noexcept { return juce::ByteOrder::littleEndianInt (bytes); }

    std::uint16_t littleEndian16 (const char* bytes) noexcept { return juce::ByteOrder::littleEndianShort (bytes); }

    // The framework makes text of every entry name in an archive's central directory as it opens it, and asserts
    // on bytes that are not UTF-8. This walks the directory first, the way the framework finds and walks it, so
    // that a pack with such a name is refused before the framework sees it.
    bool entryNamesAreText (const juce::File& packFile)
    {
        juce::FileInputStream file (packFile);
        if (! file.openedOk())
            return false;
        juce::BufferedInputStream in (file, 8192);
        const auto total = in.getTotalLength();

        // The end-of-directory record: searched backwards over the last MiB, 22 bytes at a time.
        juce::int64 directory = 0;
        int numEntries = 0;
        char buffer[32] = {};
        for (auto pos = total, lowest = juce::jmax<juce::int64> (0, total - 1048576); pos > lowest && directory == 0;)
        {
            in.setPosition (pos - 22);
            pos = in.getPosition();
            std::memcpy (buffer + 22, buffer, 4);
            if (in.read (buffer, 22) != 22)
                return true; // no directory: the framework finds no entries either

            int found = -1;
            for (int i = 0; i < 22 && found < 0; ++i)
                if (littleEndian32 (buffer + i) == 0x06054b50)
                    found = i;
            if (found < 0)
                continue;

            in.setPosition (pos + found);
            in.read (buffer, 22);
            numEntries = littleEndian16 (buffer + 10);
            directory = (juce::int64) littleEndian32 (buffer + 16);
            if (directory >= 4)
            {
                in.setPosition (directory);
                if (in.readInt() != 0x02014b50)
                {
                    in.setPosition (directory - 4);
                    if (in.readInt() == 0x02014b50)
                        directory -= 4;
                }
            }
            break;
        }

        if (directory < 0 || directory >= total)
            return true;

        juce::MemoryBlock headers;
        const auto size = (size_t) (total - directory);
        in.setPosition (directory);
        if (in.readIntoMemoryBlock (headers, (ssize_t) size) != size)
            return true;

        const auto* bytes = static_cast<const char*> (headers.getData());
        for (size_t pos = 0, i = 0; i < (size_t) numEntries && pos + 46 <= size; ++i)
        {
            const auto* header = bytes + pos;
            const size_t nameLength = littleEndian16 (header + 28);
            if (pos + 46 + nameLength > size)
                break;
            if (! isStrictUtf8 (header + 46, nameLength))
                return false;
            pos += 46 + nameLength + littleEndian16 (header + 30) + littleEndian16 (header + 32);
        }
        return true;
    }

    // The whole entry, or nothing when it inflates past `limit` bytes (its header may say otherwise) or is unreadable.
    std::optional<juce::MemoryBlock> readEntry (juce::ZipFile& zip, int index, size_t limit)
    {
        const std::unique_ptr<juce::InputStream> stream (zip.createStreamForEntry (index));
        if (stream == nullptr)
            return std::nullopt;

        juce::MemoryBlock data;
        char buffer[16384];
        for (int n; (n = stream->read (buffer, (int) sizeof (buffer))) > 0;)
        {
            if (data.getSize() + (size_t) n > limit)
                return std::nullopt;
            data.append (buffer, (size_t) n);
        }
        return data;
    }

    // The category and file name of an archive entry that may hold a preset, or nothing.
    std::optional<std::pair<juce::String, juce::String>> presetEntryPlace (const juce::ZipFile::ZipEntry& entry)
    {
        const auto path = entry.filename.replaceCharacter ('\\', '/');
        if (entry.isSymbolicLink || hasControlCharacter (path))
            return std::nullopt;

        const auto parts = juce::StringArray::fromTokens (path, "/", {});
        if (parts.size() != 2 || ! presetCategories().contains (parts[0])
            || ! parts[1].endsWithIgnoreCase (presetExtension) || parts[1].startsWithChar ('.'))
            return std::nullopt;

        return std::pair { parts[0], parts[1] };
    }

    juce::String packNameFrom (juce::ZipFile& zip, const juce::File& packFile)
    {
        if (const int index = zip.getIndexOfFileName (packDescriptionName); index >= 0)
            if (const auto data = readEntry (zip, index, maxXmlBytes))
                if (const auto xml = readXml (data->getData(), data->getSize());
                    xml != nullptr && xml->hasTagName ("TAZZLE_PACK"))
                    if (const auto name = xml->getStringAttribute ("name").trim(); name.isNotEmpty())
                        return name;

        return packFile.getFileNameWithoutExtension();
    }
} // namespace

//==============================================================================
juce::String PackInstallation::title() const { return succeeded() ? "Preset pack installed" : "Install preset pack"; }

juce::String PackInstallation::message (const juce::File& packFile) const
{
    switch (outcome)
    {
        case Outcome::installed:
            return packName + ": " + juce::String (count)
                + " presets.\n\nYou'll find them in the preset menu, under PRESET PACKS.";
        case Outcome::notAPack:
            return "Tazzle could not install " + packFile.getFileName()
                + ".\n\nThis file isn't a Tazzle preset pack (.tzpack).";
        case Outcome::noUsableName:
            return "Tazzle could not install " + packFile.getFileName() + ".\n\nThe pack has no usable name.";
        case Outcome::noPresets:
            return "Tazzle could not install " + packFile.getFileName() + ".\n\nIt contains no Tazzle presets.";
    }
    return {};
}

//==============================================================================
bool replaceFileWithText (const juce::File& target, const juce::String& text)
{
    juce::TemporaryFile temporary (target);
    return temporary.getFile().replaceWithText (text, false, false, "\n")
        && temporary.overwriteTargetFileWithTemporary();
}

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
                     .findChildFiles (juce::File::findDirectories, false, "*", juce::File::FollowSymlinks::no);
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
    const auto fileName = juce::File::createLegalFileName (presetName);
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
    const auto wanted = juce::File::createLegalFileName (presetName.trim());
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

bool PresetLibrary::toggleFavourite (const juce::File& file) const
{
    const auto path = relativePath (file);
    auto paths = favourites();
    if (paths.contains (path))
        paths.removeString (path);
    else
        paths.add (path);

    juce::XmlElement document ("FAVORITES");
    for (const auto& p : paths)
        document.createNewChildElement ("PRESET")->setAttribute ("path", p);

    const auto target = favouritesFile();
    return target.getParentDirectory().createDirectory().wasOk() && replaceFileWithText (target, document.toString());
}

juce::File PresetLibrary::save (const juce::ValueTree& state, const juce::String& presetName,
                                const juce::String& category) const
{
    auto copy = state.createCopy();
    copy.removeProperty (stateIds::uiScale, nullptr);
    copy.setProperty (stateIds::presetName, presetName, nullptr);
    copy.setProperty (stateIds::presetCategory, category, nullptr);

    const auto file = presetFileFor (root, category, presetName);
    const auto xml = copy.createXml();
    if (xml == nullptr || ! file.getParentDirectory().createDirectory().wasOk()
        || ! replaceFileWithText (file, xml->toString()))
        return {};
    return file;
}

//==============================================================================
PackInstallation PresetLibrary::installPack (const juce::File& packFile) const
{
    PackInstallation result;

    // A pipe or device under a pack's name would block the reader or never end.
    if (! isRegularFile (packFile) || ! entryNamesAreText (packFile))
        return result;

    juce::ZipFile zip (packFile);
    const int numEntries = zip.getNumEntries();
    if (numEntries == 0 || numEntries > maxPackEntries)
        return result;

    // Refused whole before anything is written; each entry is also capped as it inflates, since headers can lie.
    juce::int64 declared = 0;
    for (int i = 0; i < numEntries; ++i)
        if (const auto* entry = zip.getEntry (i); presetEntryPlace (*entry))
            declared += juce::jmax<juce::int64> (0, entry->uncompressedSize);
    if (declared > maxPackPresetBytes)
        return result;

    result.packName = juce::File::createLegalFileName (packNameFrom (zip, packFile)).trim();
    if (result.packName.isEmpty() || result.packName.containsOnly ("."))
    {
        result.outcome = PackInstallation::Outcome::noUsableName;
        return result;
    }

    const auto packFolder = root.getChildFile (packsFolderName).getChildFile (result.packName);
    for (int i = 0; i < numEntries; ++i)
    {
        const auto* entry = zip.getEntry (i);
        const auto place = presetEntryPlace (*entry);
        if (! place || entry->uncompressedSize > (juce::int64) maxXmlBytes)
            continue;

        const auto data = readEntry (zip, i, maxXmlBytes);
        if (! data)
            continue;

        const auto xml = readXml (data->getData(), data->getSize());
        if (xml == nullptr || ! isStateDocument (*xml))
            continue;

        // The extension is written in lower case: the list looks for "*.tzpreset", and on most systems case counts.
        const auto stem = place->second.dropLastCharacters (juce::String (presetExtension).length());
        const auto target = packFolder.getChildFile (place->first)
                                .getChildFile (juce::File::createLegalFileName (stem) + presetExtension);
        if (! target.isAChildOf (packFolder) || ! target.getParentDirectory().createDirectory().wasOk())
            continue;

        const auto text = juce::String::createStringFromData (data->getData(), (int) data->getSize())
                              .replace ("\r\n", "\n")
                              .replaceCharacter ('\r', '\n');
        if (replaceFileWithText (target, text))
            ++result.count;
    }

    result.outcome = result.count > 0 ? PackInstallation::Outcome::installed : PackInstallation::Outcome::noPresets;
    return result;
}

} // namespace tz
