#include <memory>

#include "LocalHttpServer.h"
#include "UpdateTestSupport.h"
#include "core/PluginProcessor.h"
#include "ui/PluginEditor.h"
#include "ui/UiTestSupport.h"

namespace updates = tz::updates;
using tz::test::LocalHttpServer;
using tz::test::runMessagesFor;
using tz::test::runMessagesUntil;
using tz::test::ScopedEnvironment;

namespace
{
std::string answerFor (const char* version)
{
    return R"({"tazzle":{"version":")" + std::string (version)
        + R"(","page":"https://quarrowtools.com/tazzle/notes","mac":"https://dl.quarrowtools.com/Tazzle.pkg"}})";
}

const updates::Release newerRelease {
    "9.9", "https://quarrowtools.com/tazzle/notes", "https://dl.quarrowtools.com/Tazzle.pkg", {}
};

constexpr int resultTimeoutMs = 15000;
// Longer than the automatic check's delay after the panel asks for it.
constexpr int pastAutomaticDelayMs = 3500;

// An editor whose update messages are collected instead of shown in a box.
struct Window
{
    explicit Window (TazzleAudioProcessor& processor)
        : editor (processor)
    {
        panel().showUpdateMessage = [this] (const juce::String& text) { messages.add (text); };
    }

    MainPanel& panel() { return editor.getMainPanel(); }
    UpdateNotice& notice() { return panel().getUpdateNotice(); }

    TazzleAudioProcessorEditor editor;
    juce::StringArray messages;
};

struct UpdateCheckPanel : tz::test::UpdateSettingsTest
{
    // Starts the server the checks are pointed at.
    LocalHttpServer& serve (LocalHttpServer::Reply reply)
    {
        variable.reset();
        server = std::make_unique<LocalHttpServer> (std::move (reply));
        variable = std::make_unique<ScopedEnvironment> (updates::serverVariable, server->address());
        return *server;
    }

    // Runs a check from `window` and waits until the panel has had its answer: a callback added right after the
    // panel's shares its request and runs after it.
    void checkFrom (Window& window, bool manual)
    {
        window.panel().checkForUpdates (manual);
        bool answered = false;
        processor.getUpdateChecker().check ([&] (bool, const updates::Release&) { answered = true; });
        ASSERT_TRUE (runMessagesUntil ([&] { return answered; }, resultTimeoutMs));
    }

    std::unique_ptr<LocalHttpServer> server;
    std::unique_ptr<ScopedEnvironment> variable;
    TazzleAudioProcessor processor;
};
} // namespace

TEST_F (UpdateCheckPanel, ANewerVersionShowsTheNoticeAndIsRemembered)
{
    for (const bool manual : { true, false })
    {
        file.deleteFile();
        serve ({ 200, answerFor ("9.9") });
        Window window (processor);
        ASSERT_FALSE (window.notice().isVisible());

        const auto before = juce::Time::currentTimeMillis();
        checkFrom (window, manual);
        EXPECT_TRUE (window.notice().isVisible()) << manual;
        EXPECT_EQ (window.notice().getRelease(), newerRelease) << manual;
        EXPECT_TRUE (window.messages.isEmpty()) << window.messages.joinIntoString ("|");

        EXPECT_EQ (updates::storedRelease(), newerRelease);
        const auto checkedAt = updates::getSetting (updates::keys::lastUpdateCheck, {}).getLargeIntValue();
        EXPECT_GE (checkedAt, before);
        EXPECT_LE (checkedAt, juce::Time::currentTimeMillis());
    }

    // The next editor shows the remembered release at once, without asking the server.
    Window reopened (processor);
    EXPECT_TRUE (reopened.notice().isVisible());
    EXPECT_EQ (reopened.notice().getRelease(), newerRelease);
    runMessagesFor (200);
    EXPECT_EQ (server->requestCount(), 1);
}

TEST_F (UpdateCheckPanel, OtherOutcomesSpeakOnlyForAManualCheck)
{
    const auto latest = updates::latestVersionMessage();
    const auto unreachable = updates::unreachableMessage ("127.0.0.1");

    const struct
    {
        const char* what;
        LocalHttpServer::Reply reply;
        juce::String message; // for a manual check; an automatic one says nothing
        bool remembered;      // a successful check is remembered, a failed one is tried again next time
    } cases[] = {
        { "the same version", { 200, answerFor (updates::currentVersion) }, latest, true },
        { "an older version", { 200, answerFor ("0.9") }, latest, true },
        { "an invalid version", { 200, answerFor ("v9.9") }, latest, true },
        { "malformed JSON", { 200, "{\"tazzle\":[" }, latest, true },
        { "not found", { 404, answerFor ("9.9") }, unreachable, false },
        { "an empty body", { 200, "" }, unreachable, false },
    };

    for (const auto& c : cases)
    {
        for (const bool manual : { true, false })
        {
            file.deleteFile();
            serve (c.reply);
            Window window (processor);
            checkFrom (window, manual);

            EXPECT_EQ (window.messages.joinIntoString ("|"), manual ? c.message : juce::String())
                << c.what << (manual ? ", manual" : ", automatic");
            EXPECT_FALSE (window.notice().isVisible()) << c.what;
            EXPECT_EQ (updates::getSetting (updates::keys::lastUpdateCheck, {}).isNotEmpty(), c.remembered) << c.what;
        }
    }
}

TEST_F (UpdateCheckPanel, ARefusedServerIsNamedAndNeverAsked)
{
    const ScopedEnvironment refused (updates::serverVariable, "http://updates.example.com:8080");
    Window window (processor);
    window.panel().checkForUpdates (true);
    ASSERT_TRUE (runMessagesUntil ([&] { return ! window.messages.isEmpty(); }, resultTimeoutMs));
    EXPECT_EQ (window.messages[0], updates::unreachableMessage ("updates.example.com"));
}

TEST_F (UpdateCheckPanel, ChecksSwitchedOffSaySo)
{
    for (const auto* setting : { "none", "off" })
    {
        const ScopedEnvironment off (updates::serverVariable, setting);
        Window window (processor);
        window.panel().checkForUpdates (true);
        ASSERT_TRUE (runMessagesUntil ([&] { return ! window.messages.isEmpty(); }, resultTimeoutMs));
        EXPECT_EQ (window.messages[0], "Update checks are switched off on this machine (TAZZLE_UPDATE_SERVER).");
    }
}

TEST_F (UpdateCheckPanel, ASkippedVersionIsSkippedOnlyByAutomaticChecks)
{
    serve ({ 200, answerFor ("9.9") });
    updates::saveSettings ({ { updates::keys::skippedVersion, "9.9" } });

    Window window (processor);
    checkFrom (window, false);
    EXPECT_FALSE (window.notice().isVisible());
    EXPECT_TRUE (window.messages.isEmpty());

    // Remembered, but the next editor does not show it either.
    EXPECT_EQ (updates::storedRelease().version, "9.9");
    EXPECT_FALSE (Window (processor).notice().isVisible());

    checkFrom (window, true);
    EXPECT_TRUE (window.notice().isVisible());
    EXPECT_TRUE (window.messages.isEmpty());

    // A newer release than the skipped one shows again.
    serve ({ 200, answerFor ("10.0") });
    Window other (processor);
    checkFrom (other, false);
    EXPECT_TRUE (other.notice().isVisible());
    EXPECT_EQ (other.notice().getRelease().version, "10.0");
}

TEST_F (UpdateCheckPanel, DismissingTheNoticeSkipsItsVersion)
{
    updates::storeRelease (newerRelease, 0);
    Window window (processor);
    ASSERT_TRUE (window.notice().isVisible());

    window.notice().getDismissButton().onClick();
    EXPECT_FALSE (window.notice().isVisible());
    EXPECT_EQ (updates::getSetting (updates::keys::skippedVersion, {}), "9.9");
    EXPECT_FALSE (Window (processor).notice().isVisible());
}

TEST_F (UpdateCheckPanel, TwoPanelsShareOneRequest)
{
    serve ({ 200, answerFor ("9.9") });
    TazzleAudioProcessor secondProcessor;
    Window first (processor), second (secondProcessor);

    first.panel().checkForUpdates (false);
    second.panel().checkForUpdates (true);
    ASSERT_TRUE (
        runMessagesUntil ([&] { return first.notice().isVisible() && second.notice().isVisible(); }, resultTimeoutMs));
    runMessagesFor (200);
    EXPECT_EQ (server->requestCount(), 1);
}

TEST_F (UpdateCheckPanel, APanelClosedBeforeTheAnswerMissesItButTheAnswerIsRemembered)
{
    serve ({ 200, answerFor ("9.9") });
    {
        Window window (processor);
        window.panel().checkForUpdates (true);
    }
    ASSERT_TRUE (runMessagesUntil ([] { return updates::storedRelease().version == "9.9"; }, resultTimeoutMs));
}

TEST_F (UpdateCheckPanel, TheSettingsMenuChecksAndSwitchesTheAutomaticCheck)
{
    serve ({ 200, answerFor (updates::currentVersion) });
    Window window (processor);
    const auto automaticItem = [&] { return *tz::test::findItem (window.panel().buildSettingsMenu(), 4001); };

    EXPECT_TRUE (automaticItem().isEnabled);
    EXPECT_TRUE (automaticItem().isTicked); // on when never set
    window.panel().handleSettingsMenuResult (4001);
    EXPECT_EQ (updates::getSetting (updates::keys::autoUpdateCheck, {}), "0");
    EXPECT_FALSE (automaticItem().isTicked);
    window.panel().handleSettingsMenuResult (4001);
    EXPECT_EQ (updates::getSetting (updates::keys::autoUpdateCheck, {}), "1");
    updates::saveSettings ({ { updates::keys::autoUpdateCheck, "off" } }); // anything but "0" is on
    EXPECT_TRUE (automaticItem().isTicked);
    window.panel().handleSettingsMenuResult (4001);
    EXPECT_EQ (updates::getSetting (updates::keys::autoUpdateCheck, {}), "0");

    window.panel().handleSettingsMenuResult (4000);
    ASSERT_TRUE (runMessagesUntil ([&] { return ! window.messages.isEmpty(); }, resultTimeoutMs));
    EXPECT_EQ (window.messages[0], updates::latestVersionMessage());
    EXPECT_EQ (server->requestCount(), 1);
}

TEST_F (UpdateCheckPanel, ADueAutomaticCheckAsksAfterADelay)
{
    serve ({ 200, answerFor ("9.9") });
    Window window (processor);

    const auto start = juce::Time::getMillisecondCounter();
    window.panel().startAutomaticUpdateCheck();
    ASSERT_TRUE (runMessagesUntil ([&] { return window.notice().isVisible(); }, resultTimeoutMs));
    EXPECT_GE (juce::Time::getMillisecondCounter() - start, 2900u);
    EXPECT_EQ (server->requestCount(), 1);
    EXPECT_TRUE (window.messages.isEmpty());
}

TEST_F (UpdateCheckPanel, NoAutomaticRequestWhenSwitchedOffOrRecent)
{
    serve ({ 200, answerFor ("9.9") });
    // A newer release found earlier still shows, without the network.
    updates::storeRelease (newerRelease, juce::Time::currentTimeMillis() - updates::automaticCheckInterval);
    updates::saveSettings ({ { updates::keys::autoUpdateCheck, "0" } });
    Window off (processor);
    off.panel().startAutomaticUpdateCheck();
    EXPECT_TRUE (off.notice().isVisible());

    updates::saveSettings ({ { updates::keys::autoUpdateCheck, "1" } });
    updates::storeRelease (newerRelease, juce::Time::currentTimeMillis() - updates::automaticCheckInterval / 2);
    Window recent (processor);
    recent.panel().startAutomaticUpdateCheck();

    runMessagesFor (pastAutomaticDelayMs);
    EXPECT_EQ (server->requestCount(), 0);
}

// A picture of the editor (as tazzle-render --ui draws it), a benchmark or a test builds an editor that never reaches
// a window: it never asks, even with a check due. A panel closed before its delay ends does not ask either.
TEST_F (UpdateCheckPanel, AnEditorNeverShownInAWindowStaysOffline)
{
    serve ({ 200, answerFor ("9.9") });
    {
        Window closed (processor);
        closed.panel().startAutomaticUpdateCheck();
    }

    Window offscreen (processor);
    offscreen.panel().refresh();
    const auto picture = offscreen.editor.createComponentSnapshot (offscreen.editor.getLocalBounds());
    EXPECT_FALSE (picture.isNull());

    runMessagesFor (pastAutomaticDelayMs);
    EXPECT_EQ (server->requestCount(), 0);
}
