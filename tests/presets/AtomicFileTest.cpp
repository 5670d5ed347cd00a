#include <gtest/gtest.h>

#include <sys/stat.h>

#include "presets/AtomicFile.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetLibrary.h"
#include "presets/StateDocument.h"
#include "support/ChildProcess.h"
#include "updates/Settings.h"
#include "updates/UpdateTestSupport.h"

namespace
{
// A scratch preset root, and the test home's settings file put back afterwards.
struct WriterFixture : tz::test::UpdateSettingsTest
{
    WriterFixture() { root.createDirectory(); }
    ~WriterFixture() override { base.deleteRecursively(); }

    juce::StringArray filesIn (const juce::File& folder) const
    {
        juce::StringArray names;
        for (const auto& child : folder.findChildFiles (juce::File::findFiles, false, "*"))
            names.add (child.getFileName());
        names.sort (false);
        return names;
    }

    static mode_t modeOf (const juce::File& file)
    {
        struct stat info
        {
        };
        ::stat (file.getFullPathName().toRawUTF8(), &info);
        return info.st_mode & 07777;
    }

    juce::File base = juce::File::getSpecialLocation (juce::File::tempDirectory)
                          .getChildFile ("tazzle-writers-" + juce::String::toHexString (juce::Random().nextInt64()));
    juce::File root = base.getChildFile ("Presets");
    tz::PresetLibrary library { root };
};

// A preset of about 11 KB whose contents depend on `seed`.
juce::ValueTree largeState (int seed)
{
    juce::ValueTree state ("Tazzle");
    for (int i = 0; i < 200; ++i)
        state.appendChild (juce::ValueTree ("PARAM")
                               .setProperty ("id", "p" + juce::String (i), nullptr)
                               .setProperty ("value", seed * 1000 + i, nullptr),
                           nullptr);
    return state;
}

juce::File writePack (const juce::File& file, const juce::String& name, const juce::String& text)
{
    juce::ZipFile::Builder builder;
    builder.addEntry (new juce::MemoryInputStream (text.toRawUTF8(), text.getNumBytesAsUTF8(), true), 9, name,
                      juce::Time::getCurrentTime());
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out (file);
    builder.writeToStream (out, nullptr);
    return file;
}
} // namespace

TEST_F (WriterFixture, TheWriterReplacesWholeKeepsTheModeAndRefusesWhatItMustNotReplace)
{
    const auto target = root.getChildFile ("File.xml");
    ASSERT_TRUE (tz::replaceFileAtomically (target, juce::String ("first")).wasOk());
    ::chmod (target.getFullPathName().toRawUTF8(), 0640);
    ASSERT_TRUE (tz::replaceFileAtomically (target, juce::String ("second")).wasOk());
    EXPECT_EQ (target.loadFileAsString(), "second");
    EXPECT_EQ (modeOf (target), 0640u);

    // Read-only stays read-only and unchanged, even for a user the system would let write it.
    ::chmod (target.getFullPathName().toRawUTF8(), 0444);
    const auto readOnly = tz::replaceFileAtomically (target, juce::String ("third"));
    EXPECT_TRUE (readOnly.failed());
    EXPECT_TRUE (readOnly.getErrorMessage().contains (target.getFullPathName()));
    EXPECT_EQ (target.loadFileAsString(), "second");
    EXPECT_EQ (modeOf (target), 0444u);

    EXPECT_TRUE (tz::replaceFileAtomically (root, juce::String ("x")).failed());                          // a folder
    EXPECT_TRUE (tz::replaceFileAtomically (base.getChildFile ("no/File.xml"), juce::String()).failed()); // no folder
    EXPECT_EQ (filesIn (root), juce::StringArray ({ "File.xml" })); // no temporary

    // A folder that another process creates at the same moment is as good as one made here.
    EXPECT_TRUE (tz::ensureFolder (root));
    EXPECT_FALSE (tz::ensureFolder (target));
}

// Each writer of a user file, stopped part-way as a full disk or a quota stops it: the old bytes stay and the
// caller hears of the failure.
TEST_F (WriterFixture, AWriteStoppedPartWayLeavesTheOldFileAndReportsFailure)
{
    const auto kickPack = [this] (int seed)
    {
        return writePack (base.getChildFile ("in/Full.tzpack"), "Gates/Kick.tzpreset",
                          largeState (seed).createXml()->toString());
    };
    const auto favourite = root.getChildFile ("Gates/Zed.tzpreset");

    const struct
    {
        const char* writer;
        juce::File target;
        std::function<bool()> writeOld, writeNew;
    } writers[] = {
        { "preset save", library.fileFor ("Pad", "User"),
          [&] { return library.save (largeState (1), "Pad", "User").wasOk(); },
          [&] { return library.save (largeState (2), "Pad", "User").wasOk(); } },
        { "favourite toggle", library.favouritesFile(),
          [&]
          {
              juce::XmlElement favourites ("FAVORITES");
              for (int i = 0; i < 200; ++i)
                  favourites.createNewChildElement ("PRESET")->setAttribute (
                      "path", "Gates/Preset number " + juce::String (i) + ".tzpreset");
              return tz::replaceFileAtomically (library.favouritesFile(), favourites.toString()).wasOk();
          },
          [&] { return library.toggleFavourite (favourite).wasOk(); } },
        { "settings save", tz::updates::settingsFile(),
          [&]
          {
              return tz::updates::saveSettings ({ { tz::updates::keys::lastUpdateCheck, "1700000000000" },
                                                  { tz::updates::keys::autoUpdateCheck, "0" },
                                                  { "notes", juce::String::repeatedString ("n", 5000) } })
                  .wasOk();
          },
          [&] { return tz::updates::setAutomaticCheck (true).wasOk(); } },
        { "pack install", root.getChildFile ("Packs/Full/Gates/Kick.tzpreset"),
          [&] { return library.installPack (kickPack (1)).count == 1; },
          [&]
          {
              const auto installation = library.installPack (kickPack (2));
              return installation.succeeded() && installation.notWritten == 0;
          } },
    };

    for (const auto& w : writers)
    {
        SCOPED_TRACE (w.writer);
        ASSERT_TRUE (w.writeOld());
        const auto before = w.target.loadFileAsString();
        ASSERT_GT (before.getNumBytesAsUTF8(), 4096u);

        EXPECT_EQ (tz::test::runWithFileSizeLimit (4096, w.writeNew), std::optional<bool> (false));
        EXPECT_EQ (w.target.loadFileAsString(), before);
        EXPECT_TRUE (w.target.getParentDirectory().findChildFiles (juce::File::findFiles, false, "*.tmp").isEmpty());

        // Unhindered, the same write goes through.
        EXPECT_TRUE (w.writeNew());
        EXPECT_NE (w.target.loadFileAsString(), before);
    }
}

TEST_F (WriterFixture, AFactoryInstallStoppedPartWayLeavesWholeFilesAndTriesAgain)
{
    EXPECT_EQ (tz::test::runWithFileSizeLimit (1500, [this] { return tz::installFactoryPresets (root); }),
               std::optional<bool> (false));

    // Every preset on disk is whole, and no marker says the set is complete.
    int written = 0;
    for (const auto& preset : root.findChildFiles (juce::File::findFiles, true, "*"))
    {
        EXPECT_TRUE (preset.hasFileExtension (".tzpreset")) << preset.getFullPathName();
        EXPECT_NE (tz::readPresetFile (preset), nullptr) << preset.getFullPathName();
        ++written;
    }
    EXPECT_GT (written, 0);
    EXPECT_FALSE (root.getChildFile (tz::factoryMarkerName()).exists());

    EXPECT_TRUE (tz::installFactoryPresets (root));
    EXPECT_EQ (root.findChildFiles (juce::File::findFiles, true, "*.tzpreset").size(), 106);
    EXPECT_TRUE (root.getChildFile (tz::factoryMarkerName()).existsAsFile());
}
