#pragma once

#include <optional>

#include <gtest/gtest.h>

#include "updates/Settings.h"

namespace tz::updates
{
// Readable failures for tests that compare releases.
inline void PrintTo (const Release& release, std::ostream* out)
{
    *out << "{ \"" << release.version << "\", \"" << release.page << "\", \"" << release.mac << "\", \""
         << release.windows << "\" }";
}
} // namespace tz::updates

namespace tz::test
{

// Starts a test with no update settings and puts the test home's file back afterwards, so every other test
// keeps "autoUpdateCheck" = "0". It refuses to run outside the test home, which keeps the user's settings safe.
class UpdateSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (file.isAChildOf (juce::File (TAZZLE_TEST_HOME))) << "run the tests through ctest";
        inTestHome = true;
        if (file.existsAsFile())
            previousContent = file.loadFileAsString();
        file.deleteFile();
    }

    void TearDown() override
    {
        if (! inTestHome)
            return;
        if (previousContent)
            file.replaceWithText (*previousContent);
        else
            file.deleteFile();
    }

    const juce::File file = tz::updates::settingsFile();
    bool inTestHome = false;
    std::optional<juce::String> previousContent;
};

} // namespace tz::test
