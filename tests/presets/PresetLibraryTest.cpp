#include <gtest/gtest.h>

#include <cstring>

#include "presets/PresetLibrary.h"
#include "presets/StateDocument.h"

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

    const auto file = library.save (state, "My/Preset:1", "Gates");
    EXPECT_EQ (file, root.getChildFile ("Gates").getChildFile ("MyPreset1.tzpreset"));
    const auto xml = juce::parseXML (file);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("presetName"), "My/Preset:1");
    EXPECT_EQ (xml->getStringAttribute ("presetCategory"), "Gates");
    EXPECT_FALSE (xml->hasAttribute ("uiScale"));
    EXPECT_TRUE (state.hasProperty (tz::stateIds::uiScale)); // the live state keeps it

    state.setProperty (tz::stateIds::chainOrder, "3,2,1", nullptr);
    EXPECT_EQ (library.save (state, "My/Preset:1", "Gates"), file);
    EXPECT_EQ (juce::parseXML (file)->getStringAttribute ("chainOrder"), "3,2,1");
    EXPECT_EQ (filesOnDisk().size(), 1);
}

TEST_F (LibraryFixture, FavouritesToggleAndListEachPathOnce)
{
    const auto kick = addPreset ("Packs/Drums/Gates/Kick.tzpreset");
    const auto zed = addPreset ("Gates/Zed.tzpreset");

    EXPECT_TRUE (library.toggleFavourite (kick));
    EXPECT_TRUE (library.toggleFavourite (zed));
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

    library.favouritesFile().replaceWithText ("not xml");
    EXPECT_TRUE (library.favourites().isEmpty());
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

    // 20,000 tiny entries.
    std::vector<std::pair<juce::String, juce::String>> many;
    for (int i = 0; i < 20000; ++i)
        many.push_back ({ "Gates/P" + juce::String (i) + ".tzpreset", presetText });
    const auto crowded = writePack (folder.getChildFile ("Crowded.tzpack"), many, 0);

    // Headers that declare 70 MiB of presets.
    const auto huge = writePack (folder.getChildFile ("Huge.tzpack"), { { "Gates/Kick.tzpreset", presetText } });
    patchDeclaredSizes (huge, 70u << 20);

    for (const auto& pack : { text, empty, truncated, crowded, huge, folder.getChildFile ("Missing.tzpack"), folder })
    {
        const auto result = library.installPack (pack);
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

TEST_F (LibraryFixture, APackWhoseEntryNamesAreNotTextIsRefused)
{
    // A name byte that is not UTF-8, in the archive's directory (the framework asserts on making text of it).
    const auto pack = writePack (base.getChildFile ("in/Names.tzpack"), { { "Gates/Kick.tzpreset", presetText } });
    juce::MemoryBlock bytes;
    pack.loadFileAsData (bytes);
    auto* data = static_cast<char*> (bytes.getData());
    const juce::String name ("Gates/Kick.tzpreset");
    int patched = 0;
    for (size_t i = 0; i + (size_t) name.length() <= bytes.getSize(); ++i)
        if (std::memcmp (data + i, name.toRawUTF8(), (size_t) name.length()) == 0)
        {
            data[i + 6] = (char) 0xff;
            ++patched;
        }
    ASSERT_EQ (patched, 2); // the local header and the directory
    pack.replaceWithData (bytes.getData(), bytes.getSize());

    EXPECT_EQ (library.installPack (pack).outcome, tz::PackInstallation::Outcome::notAPack);
    EXPECT_FALSE (root.getChildFile ("Packs").exists());
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
