#include <atomic>
#include <thread>

#include <sys/stat.h>

#include "UpdateTestSupport.h"
#include "presets/XmlReader.h"
#include "updates/Settings.h"

namespace updates = tz::updates;

namespace
{
struct UpdateSettings : tz::test::UpdateSettingsTest
{
    void write (const juce::String& text)
    {
        file.getParentDirectory().createDirectory();
        file.replaceWithText (text);
    }
};
} // namespace

TEST_F (UpdateSettings, ReadsFallBackToTheDefault)
{
    juce::String deep;
    for (int i = 0; i < 15000; ++i)
        deep << "<a>";

    const struct
    {
        const char* what;
        std::optional<juce::String> content;
        const char* expected;
    } cases[] = {
        { "no file", std::nullopt, "1" },
        { "stored", R"(<TAZZLE_SETTINGS autoUpdateCheck="0"/>)", "0" },
        { "root in another case", R"(<tazzle_settings autoUpdateCheck="0"/>)", "0" },
        { "another root", R"(<FAVORITES autoUpdateCheck="0"/>)", "1" },
        { "name in another case", R"(<TAZZLE_SETTINGS AutoUpdateCheck="0"/>)", "1" },
        { "not XML", "autoUpdateCheck=0", "1" },
        { "empty", "", "1" },
        // Refused before parsing, which would recurse once per level.
        { "deep children", R"(<TAZZLE_SETTINGS autoUpdateCheck="0">)" + deep, "1" },
        { "larger than any settings file",
          R"(<TAZZLE_SETTINGS autoUpdateCheck="0" pad=")" + juce::String::repeatedString ("x", (int) tz::maxXmlBytes)
              + "\"/>",
          "1" },
    };

    for (const auto& c : cases)
    {
        file.deleteFile();
        if (c.content)
            write (*c.content);
        EXPECT_EQ (updates::getSetting (updates::keys::autoUpdateCheck, "1"), c.expected) << c.what;
    }

    // A pipe in its place is neither waited on nor kept: the next save puts a file there.
    file.deleteFile();
    ASSERT_EQ (::mkfifo (file.getFullPathName().toRawUTF8(), 0600), 0);
    EXPECT_EQ (updates::getSetting (updates::keys::autoUpdateCheck, "1"), "1");
    updates::saveSettings ({ { updates::keys::autoUpdateCheck, "0" } });
    EXPECT_TRUE (file.existsAsFile());
    EXPECT_EQ (updates::getSetting (updates::keys::autoUpdateCheck, "1"), "0");
}

TEST_F (UpdateSettings, SavesKeepOtherSettingsAndLeaveAnUnreadableFileToTheUser)
{
    updates::saveSettings ({ { "a", "1" }, { "b", "2" } });
    updates::saveSettings ({ { "b", "3" }, { "c", "4" } });
    EXPECT_EQ (updates::getSetting ("a", {}), "1");
    EXPECT_EQ (updates::getSetting ("b", {}), "3");
    EXPECT_EQ (updates::getSetting ("c", {}), "4");

    const auto saved = juce::XmlDocument::parse (file);
    ASSERT_NE (saved, nullptr);
    EXPECT_EQ (saved->getTagName(), "TAZZLE_SETTINGS");

    // A file that can't be read may still hold the user's choices: only a choice the user makes replaces it, and
    // until then nothing is checked automatically.
    for (const auto* foreign : { "<FAVORITES a=\"1\"/>", "garbage", "<TAZZLE_SETTINGS autoUpdateCheck=\"1\" a" })
    {
        write (foreign);
        EXPECT_FALSE (updates::isAutomaticCheckOn()) << foreign;
        EXPECT_FALSE (updates::isAutomaticCheckDue (juce::Time::currentTimeMillis())) << foreign;
        EXPECT_TRUE (updates::saveSettings ({ { "b", "5" } }).failed()) << foreign;
        updates::storeRelease ({ "9.9", {}, {}, {} }, 1234);
        EXPECT_EQ (file.loadFileAsString(), foreign);

        EXPECT_TRUE (updates::setAutomaticCheck (true).wasOk()) << foreign;
        EXPECT_TRUE (updates::isAutomaticCheckOn()) << foreign;
        EXPECT_EQ (updates::getSetting ("a", "none"), "none") << foreign;
    }
}

// A reader never finds the file half-written: each save lands whole, by a rename over the old file.
TEST_F (UpdateSettings, ASaveNeverLeavesTheFileTruncated)
{
    const auto value = juce::String::repeatedString ("0123456789", 3000);
    updates::saveSettings ({ { "value", value } });

    std::atomic<bool> writing { true };
    std::atomic<int> reads { 0 }, broken { 0 };
    std::thread reader (
        [&]
        {
            while (writing)
            {
                const auto text = file.loadFileAsString();
                const auto root = juce::XmlDocument::parse (text);
                if (root == nullptr || root->getStringAttribute ("value") != value)
                    ++broken;
                ++reads;
            }
        });

    for (int i = 0; i < 300; ++i)
        updates::saveSettings ({ { "value", value }, { "round", juce::String (i) } });
    writing = false;
    reader.join();

    EXPECT_GT (reads.load(), 0);
    EXPECT_EQ (broken.load(), 0) << "of " << reads.load() << " reads";

    // No temporary file is left beside it.
    const auto files = file.getParentDirectory().findChildFiles (juce::File::findFiles, false, "*Settings*");
    ASSERT_EQ (files.size(), 1);
    EXPECT_EQ (files[0], file);
}

TEST_F (UpdateSettings, TheStoredReleaseIsReadBackThroughTheRules)
{
    updates::storeRelease ({ "1.2", "https://x.com/notes", "https://x.com/T.pkg", {} }, 1234);
    EXPECT_EQ (updates::getSetting (updates::keys::lastUpdateCheck, {}), "1234");
    EXPECT_EQ (updates::storedRelease(),
               (updates::Release { "1.2", "https://x.com/notes", "https://x.com/T.pkg", {} }));

    // A file edited by hand, or written by an older build, is held to the same rules as the server's answer.
    updates::saveSettings (
        { { updates::keys::latestVersion, "v1.3" }, { updates::keys::latestPage, "https://x.com/$(id)" } });
    EXPECT_EQ (updates::storedRelease(), (updates::Release { {}, {}, "https://x.com/T.pkg", {} }));
}

TEST_F (UpdateSettings, TheAutomaticCheckIsDueADayAfterTheLastSuccessfulOne)
{
    constexpr juce::int64 now = 1'700'000'000'000;
    constexpr auto day = updates::automaticCheckInterval;

    const struct
    {
        const char* autoCheck; // nullptr: not stored
        std::optional<juce::String> lastCheck;
        bool due;
    } cases[] = {
        { nullptr, std::nullopt, true },
        { "0", std::nullopt, false },
        { "0", "0", false },
        { "1", juce::String (now - day), true },
        { "1", juce::String (now - day + 1), false },
        { "1", juce::String (now), false },
        { "yes", juce::String (now - 1000), false },
        { "yes", juce::String (now - 2 * day), true },
        // A time still to come was written by a clock that was wrong then.
        { nullptr, juce::String (now + 1000), true },
        // Not a number: reads as 0, so the check is due.
        { nullptr, "soon", true },
        { nullptr, "", true },
        { nullptr, "-5", true },
        { nullptr, "99999999999999999999999", true },
        { nullptr, "-9223372036854775808", true },
    };

    for (const auto& c : cases)
    {
        file.deleteFile();
        if (c.autoCheck != nullptr)
            updates::saveSettings ({ { updates::keys::autoUpdateCheck, c.autoCheck } });
        if (c.lastCheck)
            updates::saveSettings ({ { updates::keys::lastUpdateCheck, *c.lastCheck } });
        EXPECT_EQ (updates::isAutomaticCheckDue (now), c.due)
            << (c.autoCheck != nullptr ? c.autoCheck : "-") << ", last " << c.lastCheck.value_or ("-");
    }
}
