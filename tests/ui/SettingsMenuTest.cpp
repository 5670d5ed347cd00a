#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "ui/SettingsMenu.h"

namespace menu = tz::ui::settingsMenu;

TEST (SettingsMenu, SizesBeyondTheScreenAreOffAndTheWindowsOwnIsTicked)
{
    const auto built = menu::build ({ 0.85f, 1.0f, true });
    const auto* sizes = tz::test::findItem (built, 0)->subMenu.get();
    ASSERT_NE (sizes, nullptr);

    const struct
    {
        int percent;
        bool enabled, ticked;
    } cases[] = { { 60, true, false },
                  { 85, true, true },
                  { 100, true, false },
                  { 110, false, false },
                  { 125, false, false } };
    for (const auto& c : cases)
    {
        const auto* item = tz::test::findItem (*sizes, c.percent);
        ASSERT_NE (item, nullptr) << c.percent;
        EXPECT_EQ (item->isEnabled, c.enabled) << c.percent;
        EXPECT_EQ (item->isTicked, c.ticked) << c.percent;
    }

    EXPECT_TRUE (tz::test::findItem (built, menu::autoUpdateCode)->isTicked);
    EXPECT_FALSE (tz::test::findItem (menu::build ({ 1.0f, 1.25f, false }), menu::autoUpdateCode)->isTicked);
    EXPECT_FALSE (tz::test::findItem (built, menu::versionCode)->isEnabled);
}

TEST (SettingsMenu, EachChoiceRunsItsOneAction)
{
    juce::StringArray ran;
    float scale = 0.0f;
    const menu::Actions actions { [&] (float s) { scale = s; },   [&] { ran.add ("install"); },
                                  [&] { ran.add ("folder"); },    [&] { ran.add ("check"); },
                                  [&] { ran.add ("automatic"); }, [&] { ran.add ("site"); } };

    const struct
    {
        int code;
        const char* action;
    } cases[] = { { menu::installPackCode, "install" },
                  { menu::showPresetsFolderCode, "folder" },
                  { menu::checkUpdatesCode, "check" },
                  { menu::autoUpdateCode, "automatic" },
                  { menu::webSiteCode, "site" },
                  { menu::versionCode, "" },
                  { 0, "" } };
    for (const auto& c : cases)
    {
        ran.clear();
        menu::handleResult (c.code, actions);
        EXPECT_EQ (ran.joinIntoString (","), c.action) << c.code;
    }
    EXPECT_EQ (scale, 0.0f);

    menu::handleResult (110, actions);
    EXPECT_FLOAT_EQ (scale, 1.1f);
    EXPECT_TRUE (ran.isEmpty());
}
