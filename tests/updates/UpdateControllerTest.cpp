#include <gtest/gtest.h>

#include "updates/UpdateController.h"

namespace
{
using Controller = tz::updates::UpdateController;

const tz::updates::Release newer { "99.0", "https://quarrowtools.com/tazzle/99-0", {}, {} };
const tz::updates::Release current { JucePlugin_VersionString, {}, {}, {} };
} // namespace

// What a finished check tells the user, by who asked, what came back and what was skipped.
TEST (UpdateController, AManualCheckAlwaysSpeaksAnAutomaticOneOnlyOffers)
{
    const juce::String server = "https://updates.example.com/tazzle.json", off = "none";
    const struct
    {
        const char* name;
        bool ok;
        const tz::updates::Release& release;
        bool manual;
        const char* skipped;
        const juce::String& server;
        bool notice;
        juce::String message;
    } cases[] = {
        { "automatic, newer", true, newer, false, "", server, true, {} },
        { "automatic, skipped", true, newer, false, "99.0", server, false, {} },
        { "automatic, current", true, current, false, "", server, false, {} },
        { "automatic, failed", false, newer, false, "", server, false, {} },
        { "manual, skipped", true, newer, true, "99.0", server, true, {} },
        { "manual, current", true, current, true, "", server, false, tz::updates::latestVersionMessage() },
        { "manual, failed", false, current, true, "", server, false,
          tz::updates::unreachableMessage (tz::updates::hostOf (server)) },
        { "manual, switched off", false, current, true, "", off, false, tz::updates::switchedOffMessage() },
    };
    for (const auto& c : cases)
    {
        const auto outcome = Controller::outcomeOf (c.ok, c.release, c.manual, c.skipped, c.server);
        EXPECT_EQ (outcome.notice.has_value(), c.notice) << c.name;
        if (outcome.notice)
        {
            EXPECT_EQ (outcome.notice->version, "99.0") << c.name;
        }
        EXPECT_EQ (outcome.message, c.message) << c.name;
    }
}
