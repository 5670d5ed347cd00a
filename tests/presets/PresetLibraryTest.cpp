#include <gtest/gtest.h>

#include <cstring>

#include "presets/PresetLibrary.h"
#include "presets/StateDocument.h"
#include "support/AllocationCounter.h"
#include "support/ChildProcess.h"

namespace
{
constexpr const char* presetText = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tazzle presetName=\"P\"/>\n";

struct LibraryFixture : ::testing::Test
{
    LibraryFixture() { root.createDirectory(); }

    ~LibraryFixture() override { base.deleteRecursively(); }

    juce::File addPreset (const juce::String& relative, const juce::String& text = presetText)
    {
        const auto file = root.getChildFile (relative);
        file.getParentDirectory().createDirectory();
        file.replaceWithText (text);
        return file;
    }

    juce::StringArray listed() const
    {
        juce::StringArray names;
        for (const auto& entry : library.scan())
            names.add ((entry.pack.isEmpty() ? juce::String() : entry.pack + ":") + entry.category + "/"
                       + entry.name());
        return names;
    }

    // Every file below the base folder, relative to it.
    juce::StringArray filesOnDisk() const
    {
        juce::StringArray files;
        for (const auto& entry : juce::RangedDirectoryIterator (base, true, "*", juce::File::findFiles))
            files.add (entry.getFile().getRelativePathFrom (base));
        files.sort (false);
        return files;
    }

    juce::File base = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getChildFile ("tazzle-library-" + juce::String::toHexString (juce::Random().nextInt64()));
    juce::File root = base.getChildFile ("Quarrow").getChildFile ("Tazzle").getChildFile ("Presets");
    tz::PresetLibrary library { root };
};

// A pack written with the framework's ZIP writer; `stored` entries are not compressed.
juce::File writePack (const juce::File& file, const std::vector<std::pair<juce::String, juce::String>>& entries,
                      int compression = 9)
{
    juce::ZipFile::Builder builder;
    for (const auto& [path, text] : entries)
        builder.addEntry (new juce::MemoryInputStream (text.toRawUTF8(), text.getNumBytesAsUTF8(), true), compression,
                          path, juce::Time::getCurrentTime());

    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out (file);
    builder.writeToStream (out, nullptr);
    return file;
}

// Rewrites every size a ZIP header declares for its entries (local and central), as a lying archive would.
void patchDeclaredSizes (const juce::File& pack, juce::uint32 declared)
{
    juce::MemoryBlock bytes;
    pack.loadFileAsData (bytes);
    auto* data = static_cast<juce::uint8*> (bytes.getData());
    for (size_t i = 0; i + 46 < bytes.getSize(); ++i)
    {
        const auto signature = juce::ByteOrder::littleEndianInt (data + i);
        if (signature == 0x04034b50)
            std::memcpy (data + i + 22, &declared, 4);
        else if (signature == 0x02014b50)
            std::memcpy (data + i + 24, &declared, 4);
    }
    pack.replaceWithData (bytes.getData(), bytes.getSize());
}
} // namespace

TEST_F (LibraryFixture, ListIsInNaturalOrderCategoriesFirstThenPacks)
{
    addPreset ("User/Preset 10.tzpreset");
    addPreset ("User/Preset 2.tzpreset");
    addPreset ("User/preset 3.tzpreset");
    addPreset ("Gates/Zed.tzpreset");
    addPreset ("Packs/Pack 10/Space/Far.tzpreset");
    addPreset ("Packs/Pack 2/Gates/Kick.tzpreset");
    addPreset ("Loose.tzpreset");              // directly in the root
    addPreset ("Other/Elsewhere.tzpreset");    // not a category
    addPreset ("User/Deeper/Hidden.tzpreset"); // one level too deep
    addPreset ("User/Notes.txt", "text");

    EXPECT_EQ (listed().joinIntoString (","),
               "Gates/Zed,User/Preset 2,User/preset 3,User/Preset 10,Pack 2:Gates/Kick,Pack 10:Space/Far");
}

TEST_F (LibraryFixture, StepsWrapAndStartFromTheEndsWithoutACurrentEntry)
{
    const struct
    {
        int current, delta, count, target;
    } cases[] = { { 2, 1, 3, 0 },  { 0, -1, 3, 2 }, { 1, 1, 3, 2 }, { -1, -1, 3, 2 },
                  { -1, 1, 3, 0 }, { -1, 0, 3, 2 }, { 0, 1, 1, 0 }, { 1, 1, 0, -1 } };
    for (const auto& c : cases)
        EXPECT_EQ (tz::PresetLibrary::stepTarget (c.current, c.delta, c.count), c.target)
            << c.current << " " << c.delta << " " << c.count;
}

TEST_F (LibraryFixture, CurrentEntryMatchesLegalNameCategoryAndPack)
{
    addPreset ("Gates/MyPreset1.tzpreset");
    addPreset ("Packs/Drums/Gates/MyPreset1.tzpreset");
    const auto entries = library.scan();

    EXPECT_EQ (tz::PresetLibrary::indexOf (entries, "My/Preset:1", "Gates", ""), 0);
    EXPECT_EQ (tz::PresetLibrary::indexOf (entries, "My/Preset:1", "Gates", "Drums"), 1);
    EXPECT_EQ (tz::PresetLibrary::indexOf (entries, "MyPreset1", "User", ""), -1);
    EXPECT_EQ (tz::PresetLibrary::indexOf (entries, "MyPreset1 *", "Gates", ""), -1);
    EXPECT_EQ (tz::PresetLibrary::indexOf (entries, "Init", "", ""), -1);
}

TEST_F (LibraryFixture, SavingWritesALegalFileAndOverwritesByName)
{
    juce::ValueTree state ("Tazzle");
    state.setProperty (tz::stateIds::uiScale, 1.1, nullptr);
    state.setProperty (tz::stateIds::chainOrder, "1,2,3", nullptr);

    EXPECT_TRUE (library.save (state, "My/Preset:1", "Gates").wasOk());
    const auto file = library.fileFor ("My/Preset:1", "Gates");
    EXPECT_EQ (file, root.getChildFile ("Gates").getChildFile ("MyPreset1.tzpreset"));
    const auto xml = juce::parseXML (file);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("presetName"), "My/Preset:1");
    EXPECT_EQ (xml->getStringAttribute ("presetCategory"), "Gates");
    EXPECT_FALSE (xml->hasAttribute ("uiScale"));
    EXPECT_TRUE (state.hasProperty (tz::stateIds::uiScale)); // the live state keeps it

    state.setProperty (tz::stateIds::chainOrder, "3,2,1", nullptr);
    EXPECT_TRUE (library.save (state, "My/Preset:1", "Gates").wasOk());
    EXPECT_EQ (juce::parseXML (file)->getStringAttribute ("chainOrder"), "3,2,1");
    EXPECT_EQ (filesOnDisk().size(), 1);
}

TEST_F (LibraryFixture, FavouritesToggleAndListEachPathOnce)
{
    const auto kick = addPreset ("Packs/Drums/Gates/Kick.tzpreset");
    const auto zed = addPreset ("Gates/Zed.tzpreset");

    EXPECT_TRUE (library.toggleFavourite (kick).wasOk());
    EXPECT_TRUE (library.toggleFavourite (zed).wasOk());
    EXPECT_EQ (library.favourites(), juce::StringArray ({ "Packs/Drums/Gates/Kick.tzpreset", "Gates/Zed.tzpreset" }));
    EXPECT_EQ (library.favouritesFile(), root.getSiblingFile ("Favorites.xml"));
    EXPECT_TRUE (library.favouritesFile().loadFileAsString().contains ("<FAVORITES>"));

    library.favouritesFile().replaceWithText ("<Whatever><PRESET path=\"Gates/Zed.tzpreset\"/><preset "
                                              "path=\"Gates/Zed.tzpreset\"/><OTHER path=\"x\"/></Whatever>");
    EXPECT_EQ (library.favourites(), juce::StringArray ({ "Gates/Zed.tzpreset" }));
    EXPECT_TRUE (library.isFavourite (zed));
    library.toggleFavourite (zed);
    EXPECT_TRUE (library.favourites().isEmpty());
    EXPECT_FALSE (library.favouritesFile().loadFileAsString().contains ("Zed"));

    // A file that exists but can't be read is not replaced by a list that lost its paths.
    library.favouritesFile().replaceWithText ("<FAVORITES><PRESET path=\"Gates/Zed.tzpreset\"/>");
    EXPECT_TRUE (library.favourites().isEmpty());
    EXPECT_TRUE (library.toggleFavourite (kick).failed());
    EXPECT_EQ (library.favouritesFile().loadFileAsString(), "<FAVORITES><PRESET path=\"Gates/Zed.tzpreset\"/>");
}

//==============================================================================
TEST_F (LibraryFixture, PacksInstallIntoTheirOwnFolderOnly)
{
    const auto other = juce::String ("<Other/>");
    const auto big =
        "<Tazzle presetName=\"Big\" padding=\"" + juce::String::repeatedString ("x", 2 * 1024 * 1024) + "\"/>";
    const auto deep = juce::String::repeatedString ("<a>", 5000) + juce::String::repeatedString ("</a>", 5000);
    const auto packXml = [] (const char* tag, const char* name)
    { return juce::String ("<") + tag + " name=\"" + name + "\"/>"; };

    const struct
    {
        const char* name;
        juce::String fileName;
        std::vector<std::pair<juce::String, juce::String>> entries;
        tz::PackInstallation::Outcome outcome;
        juce::String packFolder;
        int count;
    } cases[] = {
        { "two presets, named by the file",
          "Drums.tzpack",
          { { "Gates/Kick.tzpreset", presetText }, { "Gates/Snare.tzpreset", presetText } },
          tz::PackInstallation::Outcome::installed,
          "Drums",
          2 },
        { "named by Pack.xml",
          "x.tzpack",
          { { "Pack.xml", packXml ("TAZZLE_PACK", " My Pack ") }, { "Space/Far.tzpreset", presetText } },
          tz::PackInstallation::Outcome::installed,
          "My Pack",
          1 },
        { "Pack.xml of another kind",
          "Keys.tzpack",
          { { "Pack.xml", packXml ("OTHER", "Nope") }, { "User/A.TZPRESET", presetText } },
          tz::PackInstallation::Outcome::installed,
          "Keys",
          1 },
        { "backslashes count as folders",
          "Win.tzpack",
          { { "Gates\\Kick.tzpreset", presetText } },
          tz::PackInstallation::Outcome::installed,
          "Win",
          1 },
        { "skipped places and contents",
          "Skips.tzpack",
          { { "gates/Kick.tzpreset", presetText },
            { "Presets/Gates/Kick.tzpreset", presetText },
            { "Kick.tzpreset", presetText },
            { "Gates/._Kick.tzpreset", presetText },
            { "Gates/Big.tzpreset", big },
            { "Gates/Foreign.tzpreset", other },
            { "Gates/Deep.tzpreset", deep } },
          tz::PackInstallation::Outcome::noPresets,
          "",
          0 },
        { "escapes and control characters",
          "Evil.tzpack",
          { { "Gates/../../../Evil.tzpreset", presetText },
            { "../Gates/Evil.tzpreset", presetText },
            { "Gates/Ev\x01il.tzpreset", presetText },
            { "Gates\\..\\..\\Evil.tzpreset", presetText } },
          tz::PackInstallation::Outcome::noPresets,
          "",
          0 },
        { "a name that is all dots",
          "x.tzpack",
          { { "Pack.xml", packXml ("TAZZLE_PACK", "...") }, { "Gates/Kick.tzpreset", presetText } },
          tz::PackInstallation::Outcome::noUsableName,
          "",
          0 },
        { "a name made only of illegal characters",
          "x.tzpack",
          { { "Pack.xml", packXml ("TAZZLE_PACK", ":*?") }, { "Gates/Kick.tzpreset", presetText } },
          tz::PackInstallation::Outcome::noUsableName,
          "",
          0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto before = filesOnDisk();
        const auto pack = writePack (base.getChildFile ("in").getChildFile (c.fileName), c.entries);
        const auto result = library.installPack (pack);
        EXPECT_EQ (result.outcome, c.outcome);
        EXPECT_EQ (result.count, c.count);

        // Whatever it wrote lies inside its own pack folder, with no temporary left behind.
        for (const auto& file : filesOnDisk())
        {
            if (before.contains (file) || file.startsWith ("in/"))
                continue;
            EXPECT_TRUE (file.startsWith ("Quarrow/Tazzle/Presets/Packs/" + c.packFolder + "/")) << file;
            EXPECT_TRUE (file.endsWith (".tzpreset")) << file;
        }
        if (c.outcome == tz::PackInstallation::Outcome::installed)
        {
            EXPECT_EQ (result.packName, c.packFolder);
        }
    }

    EXPECT_TRUE (root.getChildFile ("Packs/Drums/Gates/Snare.tzpreset").existsAsFile());
    EXPECT_TRUE (root.getChildFile ("Packs/Win/Gates/Kick.tzpreset").existsAsFile());

    // Installing again replaces the files and reports the same count.
    const auto drums = base.getChildFile ("in/Drums.tzpack");
    EXPECT_EQ (library.installPack (drums).count, 2);
}

TEST_F (LibraryFixture, WhatIsNotAPackIsRefusedBeforeAnythingIsWritten)
{
    const auto folder = base.getChildFile ("in");
    folder.createDirectory();

    const auto text = folder.getChildFile ("Notes.tzpack");
    text.replaceWithText ("just some words");
    const auto empty = folder.getChildFile ("Empty.tzpack");
    empty.create();

    // Truncated: the end of the archive, where its directory lives, is missing.
    const auto whole = writePack (folder.getChildFile ("Whole.tzpack"), { { "Gates/Kick.tzpreset", presetText } });
    juce::MemoryBlock bytes;
    whole.loadFileAsData (bytes);
    const auto truncated = folder.getChildFile ("Truncated.tzpack");
    truncated.replaceWithData (bytes.getData(), bytes.getSize() - 30);

    // 100 MB of nothing, and the same ending in an end-of-archive record whose directory claims 99 MiB: both are
    // refused without reading the file.
    const auto largeFile = [&folder] (const char* name, const std::vector<juce::uint8>& ending)
    {
        const auto file = folder.getChildFile (name);
        juce::FileOutputStream out (file);
        out.setPosition (100 << 20);
        out.write (ending.data(), ending.size());
        return file;
    };
    const auto zeros = largeFile ("Zeros.tzpack", { 0 });
    const auto bogus = largeFile (
        "Bogus.tzpack", { 0x50, 0x4b, 0x05, 0x06, 0, 0, 0, 0, 1, 0, 1, 0, 0x00, 0x00, 0x30, 0x06, 0, 0, 0, 0, 0, 0 });

    for (const auto& pack : { text, empty, truncated, zeros, bogus, folder.getChildFile ("Missing.tzpack"), folder })
    {
        const tz::test::AllocationCounter allocations;
        const auto result = library.installPack (pack);
        EXPECT_LT (allocations.largest(), (size_t) 1 << 20) << pack.getFileName();
        EXPECT_EQ (result.outcome, tz::PackInstallation::Outcome::notAPack) << pack.getFileName();
        EXPECT_EQ (result.message (pack),
                   "Tazzle could not install " + pack.getFileName()
                       + ".\n\nThis file isn't a Tazzle preset pack (.tzpack).");
    }
    EXPECT_FALSE (root.getChildFile ("Packs").exists());
}

TEST_F (LibraryFixture, AnEntryThatInflatesPastItsHeaderIsCutOffAndSkipped)
{
    // 3 MiB of preset that compresses to almost nothing, declared as 200 bytes.
    const auto bomb = "<Tazzle presetName=\"Bomb\" x=\"" + juce::String::repeatedString ("A", 3 * 1024 * 1024) + "\"/>";
    const auto pack = writePack (base.getChildFile ("in/Bomb.tzpack"),
                                 { { "Gates/Bomb.tzpreset", bomb }, { "Gates/Fine.tzpreset", presetText } });
    patchDeclaredSizes (pack, 200);

    const auto result = library.installPack (pack);
    EXPECT_EQ (result.outcome, tz::PackInstallation::Outcome::installed);
    EXPECT_EQ (result.count, 1);
    EXPECT_FALSE (root.getChildFile ("Packs/Bomb/Gates/Bomb.tzpreset").exists());
}

TEST_F (LibraryFixture, AnEntryWhoseNameIsNotTextIsSkippedAndTheRestInstalled)
{
    // A Latin-1 name byte, as older tools write, in the local header and the directory.
    const auto pack = writePack (base.getChildFile ("in/Names.tzpack"),
                                 { { "Gates/Kick.tzpreset", presetText }, { "Gates/Snare.tzpreset", presetText } });
    juce::MemoryBlock bytes;
    pack.loadFileAsData (bytes);
    auto* data = static_cast<char*> (bytes.getData());
    const juce::String name ("Gates/Kick.tzpreset");
    int patched = 0;
    for (size_t i = 0; i + (size_t) name.length() <= bytes.getSize(); ++i)
        if (std::memcmp (data + i, name.toRawUTF8(), (size_t) name.length()) == 0)
        {
            data[i + 7] = (char) 0xfc;
            ++patched;
        }
    ASSERT_EQ (patched, 2);
    pack.replaceWithData (bytes.getData(), bytes.getSize());

    const auto result = library.installPack (pack);
    EXPECT_EQ (result.outcome, tz::PackInstallation::Outcome::installed);
    EXPECT_EQ (result.count, 1);
    EXPECT_EQ (result.skippedNames, 1);
    EXPECT_TRUE (root.getChildFile ("Packs/Names/Gates/Snare.tzpreset").existsAsFile());
    EXPECT_TRUE (result.message (pack).endsWith ("PRESET PACKS.\n\nSkipped: 1 with names that can't be used."))
        << result.message (pack);
}

TEST_F (LibraryFixture, PacksBeyondTheLimitsInstallWhatFitsAndSayWhatDidNot)
{
    // Seventy entries of 1.5 MiB each that declare 200 bytes: each is too large to be a preset, and together
    // they inflate past the 64 MiB a pack may produce, where reading stops.
    const auto big = "<Tazzle x=\"" + juce::String::repeatedString ("A", 3 << 19) + "\"/>";
    std::vector<std::pair<juce::String, juce::String>> lying { { "Gates/Fine.tzpreset", presetText } };
    for (int i = 0; i < 70; ++i)
        lying.push_back ({ "Gates/Big" + juce::String (i) + ".tzpreset", big });
    const auto liar = writePack (base.getChildFile ("in/Liar.tzpack"), lying);
    patchDeclaredSizes (liar, 200);

    const auto limited = library.installPack (liar);
    EXPECT_EQ (limited.count, 1);
    EXPECT_EQ (limited.skippedUnreadable + limited.skippedPastLimits, 70);
    EXPECT_GE (limited.skippedPastLimits, 70 - 64);

    // Past 10,000 entries, presets are left out; those before are installed.
    std::vector<std::pair<juce::String, juce::String>> many { { "Gates/First.tzpreset", presetText } };
    for (int i = 1; i < 10000; ++i)
        many.push_back ({ "Docs/" + juce::String (i) + ".txt", "x" });
    many.push_back ({ "Gates/Last.tzpreset", presetText });
    const auto crowded = library.installPack (writePack (base.getChildFile ("in/Crowded.tzpack"), many, 0));
    EXPECT_EQ (crowded.count, 1);
    EXPECT_EQ (crowded.skippedPastLimits, 1);
    EXPECT_TRUE (root.getChildFile ("Packs/Crowded/Gates/First.tzpreset").existsAsFile());
    EXPECT_FALSE (root.getChildFile ("Packs/Crowded/Gates/Last.tzpreset").exists());

    // Headers that declare more than the cap in all are read for what they hold.
    const auto huge = writePack (base.getChildFile ("in/Huge.tzpack"), { { "Gates/Kick.tzpreset", presetText } });
    patchDeclaredSizes (huge, 70u << 20);
    EXPECT_EQ (library.installPack (huge).outcome, tz::PackInstallation::Outcome::noPresets); // too large each
}

TEST_F (LibraryFixture, EntriesWithAByteOrderMarkOrInUtf16InstallAsUtf8WithoutTheMark)
{
    const auto presetName = juce::String (juce::CharPointer_UTF8 ("Caf\xc3\xa9 \xf0\x9f\x8e\xb5"));
    const auto document = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Tazzle presetName=\"" + presetName + "\"/>";
    juce::MemoryOutputStream utf8Bom, utf16le, utf16be;
    utf8Bom.write ("\xef\xbb\xbf", 3);
    utf8Bom << document;
    utf16le.writeShort ((short) 0xfeff);
    utf16be.writeShortBigEndian ((short) 0xfeff);
    for (const auto* unit = document.toUTF16().getAddress(); *unit != 0; ++unit)
    {
        utf16le.writeShort ((short) *unit);
        utf16be.writeShortBigEndian ((short) *unit);
    }

    juce::ZipFile::Builder builder;
    for (const auto& [name, stream] :
         { std::pair { "Gates/Bom.tzpreset", &utf8Bom }, std::pair { "Gates/Le.tzpreset", &utf16le },
           std::pair { "Gates/Be.tzpreset", &utf16be } })
        builder.addEntry (new juce::MemoryInputStream (stream->getMemoryBlock(), true), 9, name,
                          juce::Time::getCurrentTime());
    const auto pack = base.getChildFile ("in/Marks.tzpack");
    pack.getParentDirectory().createDirectory();
    {
        juce::FileOutputStream out (pack);
        builder.writeToStream (out, nullptr);
    }

    const auto result = library.installPack (pack);
    EXPECT_EQ (result.count, 3);
    for (const auto* name : { "Bom", "Le", "Be" })
    {
        const auto file = root.getChildFile ("Packs/Marks/Gates").getChildFile (juce::String (name) + ".tzpreset");
        juce::MemoryBlock written;
        ASSERT_TRUE (file.loadFileAsData (written)) << name;
        EXPECT_TRUE (written.toString().startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tazzle")) << name;
        const auto xml = tz::readPresetFile (file);
        ASSERT_NE (xml, nullptr) << name;
        EXPECT_EQ (xml->getStringAttribute ("presetName"), presetName) << name;
    }
}

TEST_F (LibraryFixture, NoNameCanPlaceAFileOutsideThePresetRoot)
{
    // A leading "~" names a home folder to the framework; dots, separators and control characters have their own
    // tricks; names can be too long for a file system once they are UTF-8.
    const juce::String names[] = { "~",
                                   "~x",
                                   "~/x",
                                   "~root",
                                   "~Wobble Pad",
                                   "..",
                                   ". .",
                                   "...",
                                   ":*?",
                                   "a\x01"
                                   "b\nc\td\x1b[31m",
                                   juce::String::repeatedString ("x", 300),
                                   juce::String::repeatedString (juce::CharPointer_UTF8 ("\xc3\xa9"), 300),
                                   juce::String::charToString (0xfffd) + "x" };

    const auto homeListing = []
    {
        juce::StringArray listing;
        for (const auto* home : { "~", "/root" })
            for (const auto& file : juce::File (home).findChildFiles (juce::File::findFilesAndDirectories, false))
                listing.add (file.getFullPathName());
        return listing;
    };
    const auto homesBefore = homeListing();

    juce::ValueTree state ("Tazzle");
    for (const auto& name : names)
    {
        SCOPED_TRACE (name.toStdString());

        // Saving: the file lies in its category folder, or the name is refused with a reason.
        const auto saved = library.save (state, name, "User");
        const auto file = library.fileFor (name, "User");
        if (saved.wasOk())
        {
            EXPECT_EQ (file.getParentDirectory(), root.getChildFile ("User"));
            EXPECT_TRUE (file.existsAsFile());
            EXPECT_LE (file.getFileName().getNumBytesAsUTF8(), 255u);
        }
        else
        {
            EXPECT_EQ (file, juce::File());
            EXPECT_TRUE (saved.getErrorMessage().contains ("nothing that can be used")) << saved.getErrorMessage();
        }

        // A pack named so, by its description: its own folder below Packs, or no usable name.
        juce::XmlElement description ("TAZZLE_PACK");
        description.setAttribute ("name", name);
        const auto named = library.installPack (
            writePack (base.getChildFile ("in/Named.tzpack"),
                       { { "Pack.xml", description.toString() }, { "Gates/Kick.tzpreset", presetText } }));
        if (named.succeeded())
            EXPECT_TRUE (
                juce::File (root.getFullPathName() + "/Packs/" + named.packName + "/Gates/Kick.tzpreset").existsAsFile()
                && ! named.packName.containsAnyOf ("/\x01\n"))
                << named.packName;
        else
            EXPECT_EQ (named.outcome, tz::PackInstallation::Outcome::noUsableName);

        // An entry named so: installed into the pack's category folder, or skipped and counted (a path of its own
        // or a hidden name is no preset entry at all).
        const auto entry = library.installPack (
            writePack (base.getChildFile ("in/Entries.tzpack"), { { "Gates/" + name + ".tzpreset", presetText } }));
        EXPECT_EQ (entry.count + entry.skippedNames + (name.containsChar ('/') || name.startsWithChar ('.') ? 1 : 0),
                   1);
    }

    EXPECT_EQ (homeListing(), homesBefore);
    for (const auto& file : filesOnDisk())
        EXPECT_TRUE (file.startsWith ("Quarrow/Tazzle/Presets/") || file.startsWith ("in/")) << file;
}

TEST_F (LibraryFixture, AnInstallKilledPartWayLeavesNothingTheListShows)
{
    // The process dies writing the sixth preset, the first one larger than it may write.
    std::vector<std::pair<juce::String, juce::String>> entries;
    for (int i = 0; i < 5; ++i)
        entries.push_back ({ "Gates/Small" + juce::String (i) + ".tzpreset", presetText });
    const auto large = "<Tazzle presetName=\"Large\" x=\"" + juce::String::repeatedString ("y", 8000) + "\"/>";
    entries.push_back ({ "Gates/Large.tzpreset", large });
    entries.push_back ({ "Gates/After.tzpreset", presetText });
    const auto pack = writePack (base.getChildFile ("in/Fill.tzpack"), entries);

    const auto outcome = tz::test::runWithFileSizeLimit (
        4096, [&] { return library.installPack (pack).count > 0; }, true);
    EXPECT_FALSE (outcome.has_value()); // killed

    EXPECT_EQ (listed().joinIntoString (","),
               "Fill:Gates/Small0,Fill:Gates/Small1,Fill:Gates/Small2,Fill:Gates/Small3,Fill:Gates/Small4");
    for (const auto& entry : library.scan())
        EXPECT_NE (tz::readPresetFile (entry.file), nullptr) << entry.name();
}

TEST_F (LibraryFixture, TwoInstallsAtOnceBothWriteEveryEntry)
{
    std::vector<std::pair<juce::String, juce::String>> entries;
    for (const auto& category : tz::presetCategories())
        for (int i = 0; i < 4; ++i)
            entries.push_back ({ category + "/P" + juce::String (i) + ".tzpreset", presetText });
    const auto pack = writePack (base.getChildFile ("in/Both.tzpack"), entries);

    for (int round = 0; round < 24; ++round)
    {
        const tz::PresetLibrary fresh (base.getChildFile ("round" + juce::String (round)));
        const auto answers =
            tz::test::runInChildren (2, [&] { return fresh.installPack (pack).count == (int) entries.size(); });
        for (const auto& answer : answers)
            EXPECT_EQ (answer, std::optional<bool> (true)) << "round " << round;
        EXPECT_EQ (fresh.scan().size(), entries.size()) << "round " << round;
    }
}

TEST (PackMessages, TellTheUserWhatHappened)
{
    const juce::File pack ("/downloads/Drums.tzpack");
    using Outcome = tz::PackInstallation::Outcome;
    const struct
    {
        tz::PackInstallation installation;
        const char *title, *message;
    } cases[] = {
        { { Outcome::installed, "Drums", 1 },
          "Preset pack installed",
          "Drums: 1 presets.\n\nYou'll find them in the preset menu, under PRESET PACKS." },
        { { Outcome::notAPack, "", 0 },
          "Install preset pack",
          "Tazzle could not install Drums.tzpack.\n\nThis file isn't a Tazzle preset pack (.tzpack)." },
        { { Outcome::noUsableName, "", 0 },
          "Install preset pack",
          "Tazzle could not install Drums.tzpack.\n\nThe pack has no usable name." },
        { { Outcome::noPresets, "Drums", 0 },
          "Install preset pack",
          "Tazzle could not install Drums.tzpack.\n\nIt contains no Tazzle presets." },
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ (c.installation.title(), c.title);
        EXPECT_EQ (c.installation.message (pack), c.message);
    }
}
