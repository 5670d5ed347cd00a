#include <memory>

#include "LocalHttpServer.h"
#include "UpdateTestSupport.h"
#include "updates/Checker.h"

namespace updates = tz::updates;
using tz::test::LocalHttpServer;
using tz::test::runMessagesUntil;
using tz::test::ScopedEnvironment;

namespace
{
const std::string newerAnswer = R"({"tazzle":{"version":"9.9","page":"https://x.com/notes"}})";

struct Outcome
{
    bool ok = false;
    updates::Release release;
};

// Runs one check against `server` and waits for its result (at most `timeoutMs`).
std::optional<Outcome> checkAgainst (const std::string& server, updates::Checker& checker, int timeoutMs = 15000)
{
    const ScopedEnvironment variable (updates::serverVariable, server);
    std::optional<Outcome> outcome;
    checker.check ([&] (bool ok, const updates::Release& release) { outcome = Outcome { ok, release }; });
    runMessagesUntil ([&] { return outcome.has_value(); }, timeoutMs);
    return outcome;
}

std::optional<Outcome> checkAgainst (const LocalHttpServer& server, updates::Checker& checker)
{
    return checkAgainst (server.address(), checker);
}

double secondsSince (juce::uint32 start) { return (juce::Time::getMillisecondCounter() - start) / 1000.0; }
} // namespace

TEST (UpdateServer, HttpsAnywhereAndHttpOnlyOnThisMachine)
{
    const struct
    {
        const char* server;
        const char* request; // "" when refused
    } cases[] = {
        { "https://updates.quarrowtools.com", "https://updates.quarrowtools.com/wp-json/qw/v1/latest" },
        { "HTTPS://mirror.studio.lan/tazzle/", "HTTPS://mirror.studio.lan/tazzle/wp-json/qw/v1/latest" },
        { "https://mirror.studio.lan:8443", "https://mirror.studio.lan:8443/wp-json/qw/v1/latest" },
        { "http://127.0.0.1:8080", "http://127.0.0.1:8080/wp-json/qw/v1/latest" },
        { "http://127.200.3.4", "http://127.200.3.4/wp-json/qw/v1/latest" },
        { "http://localhost:9000/", "http://localhost:9000/wp-json/qw/v1/latest" },
        { "http://[::1]:9000", "http://[::1]:9000/wp-json/qw/v1/latest" },
        { "http://updates.quarrowtools.com", "" },
        { "http://128.0.0.1", "" },
        { "http://127.0.0.1.example.com", "" },
        { "http://127.0.0", "" },
        { "http://127.0.0.256", "" },
        { "http://0x7f.0.0.1", "" },
        { "http://[::2]", "" },
        { "http://localhost.example.com", "" },
        { "http://127.0.0.1@example.com", "" },
        { "https://user@updates.quarrowtools.com", "" },
        { "https://updates.quarrowtools.com/?x=1", "" },
        { "https://updates.quarrowtools.com/#x", "" },
        { "https://updates.quarrowtools.com:", "" },
        { "https://updates.quarrowtools.com:44x", "" },
        { "https://", "" },
        { "https:///path", "" },
        { "ftp://127.0.0.1", "" },
        { "file:///etc/passwd", "" },
        { "127.0.0.1:8080", "" },
        { "none", "" },
        { " https://updates.quarrowtools.com", "" },
        { "https://updates.quarrowtools.com/a b", "" },
        { "https://updates.quarrowtools.com/$(id)", "" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (updates::requestUrlFor (c.server), c.request) << c.server;
}

TEST (UpdateServer, MessagesNameTheHostAsked)
{
    EXPECT_EQ (updates::hostOf (updates::defaultServer), "updates.quarrowtools.com");
    EXPECT_EQ (updates::hostOf ("http://127.0.0.1:8080/mirror"), "127.0.0.1");
    EXPECT_EQ (updates::hostOf ("http://[::1]:8080"), "[::1]");
    EXPECT_EQ (updates::hostOf ("http://example.com"), "example.com");
    EXPECT_EQ (updates::hostOf ("none"), "none");

    {
        const ScopedEnvironment variable (updates::serverVariable, "https://mirror.studio.lan");
        EXPECT_EQ (updates::serverAddress(), "https://mirror.studio.lan");
    }
    const ScopedEnvironment empty (updates::serverVariable, "");
    EXPECT_EQ (updates::serverAddress(), updates::defaultServer);
}

TEST (UpdateChecker, AsksForTheLatestReleaseAsJson)
{
    LocalHttpServer server ({ 200, newerAnswer });
    updates::Checker checker;

    const auto outcome = checkAgainst (server.address() + "/mirror/", checker);
    ASSERT_TRUE (outcome);
    EXPECT_TRUE (outcome->ok);
    EXPECT_EQ (outcome->release, (updates::Release { "9.9", "https://x.com/notes" }));

    const auto request = juce::String (server.lastRequest());
    EXPECT_TRUE (request.startsWith ("GET /mirror/wp-json/qw/v1/latest HTTP/1.1\r\n")) << request;
    EXPECT_TRUE (request.containsIgnoreCase ("\r\nAccept: application/json\r\n")) << request;
    EXPECT_EQ (server.requestCount(), 1);
}

TEST (UpdateChecker, OnlyAWholeAnswerOfStatus200IsOk)
{
    using Reply = LocalHttpServer::Reply;
    const auto padded = [] (size_t size)
    {
        auto body = newerAnswer;
        body.insert (1, std::string (size - body.size(), ' '));
        return body;
    };
    const auto tenMegabytes = padded (10 * 1024 * 1024);

    const struct
    {
        const char* what;
        Reply reply;
        bool ok;
        const char* version;
    } cases[] = {
        { "a newer release", { 200, newerAnswer }, true, "9.9" },
        { "not found", { 404, newerAnswer }, false, "" },
        { "a server error", { 500, newerAnswer }, false, "" },
        { "a redirect, not followed", { 302, newerAnswer }, false, "" },
        { "an empty body", { 200, "" }, false, "" },
        { "malformed JSON", { 200, "{\"tazzle\":{\"version\":" }, true, "" },
        { "an HTML page", { 200, "<html><body>Maintenance</body></html>" }, true, "" },
        { "nesting that would overflow the parser's stack",
          { 200, "{\"tazzle\":" + std::string (60000, '[') },
          true,
          "" },
        { "exactly the longest answer read", { 200, padded (updates::maxAnswerBytes) }, true, "9.9" },
        { "one byte longer", { 200, padded (updates::maxAnswerBytes + 1) }, false, "" },
        { "one byte longer, size not announced", { 200, padded (updates::maxAnswerBytes + 1), {}, false }, false, "" },
        { "10 MB", { 200, tenMegabytes }, false, "" },
        { "10 MB, size not announced", { 200, tenMegabytes, {}, false }, false, "" },
    };

    for (const auto& c : cases)
    {
        LocalHttpServer server (c.reply);
        updates::Checker checker;
        const auto outcome = checkAgainst (server, checker);
        ASSERT_TRUE (outcome) << c.what;
        EXPECT_EQ (outcome->ok, c.ok) << c.what;
        EXPECT_EQ (outcome->release.version, c.version) << c.what;
        EXPECT_EQ (server.requestCount(), 1) << c.what;
    }
}

TEST (UpdateChecker, ARefusedServerIsNeverAsked)
{
    LocalHttpServer server ({ 200, newerAnswer });
    const auto port = juce::String (server.address()).fromLastOccurrenceOf (":", false, false);
    updates::Checker checker;

    for (const auto& refused : { "ftp://127.0.0.1:" + port, "http://127.0.0.1:" + port + "@localhost",
                                 "http://127.0.0.1:" + port + "/?a", juce::String ("none") })
    {
        const auto outcome = checkAgainst (refused.toStdString(), checker);
        ASSERT_TRUE (outcome) << refused;
        EXPECT_FALSE (outcome->ok) << refused;
    }
    EXPECT_EQ (server.requestCount(), 0);
}

TEST (UpdateChecker, ChecksWhileOneIsUnderWayShareItsRequest)
{
    LocalHttpServer server ({ 200, newerAnswer });
    const ScopedEnvironment variable (updates::serverVariable, server.address());
    updates::Checker checker;

    std::vector<juce::String> calls;
    for (const auto* name : { "first", "second", "third" })
        checker.check ([&calls, name] (bool ok, const updates::Release& release)
                       { calls.push_back (juce::String (name) + (ok ? " " : " failed ") + release.version); });

    ASSERT_TRUE (runMessagesUntil ([&] { return calls.size() == 3; }, 15000));
    EXPECT_EQ (juce::StringArray (calls.data(), (int) calls.size()).joinIntoString (", "),
               "first 9.9, second 9.9, third 9.9");
    EXPECT_EQ (server.requestCount(), 1);

    // Once delivered, the next check asks again; a callback may start it.
    checker.check (
        [&] (bool, const updates::Release&)
        { checker.check ([&] (bool ok, const updates::Release&) { calls.push_back (ok ? "again" : "failed"); }); });
    ASSERT_TRUE (runMessagesUntil ([&] { return calls.size() == 4; }, 15000));
    EXPECT_EQ (calls.back(), "again");
    EXPECT_EQ (server.requestCount(), 3);
}

// A server that accepts the connection and never answers, or sends a body that never ends: the request gives up at
// its deadline (shortened here from the real one), well before the transfer's own stall timeout or the size limit
// would end it.
TEST (UpdateChecker, AHangingServerFailsAtTheDeadline)
{
    constexpr int deadlineMs = 1500;
    for (const auto behaviour : { LocalHttpServer::Behaviour::stall, LocalHttpServer::Behaviour::trickle })
    {
        LocalHttpServer server ({ 200, {}, behaviour });
        updates::Checker checker (deadlineMs);

        const auto start = juce::Time::getMillisecondCounter();
        const auto outcome = checkAgainst (server, checker);
        const auto seconds = secondsSince (start);

        ASSERT_TRUE (outcome);
        EXPECT_FALSE (outcome->ok);
        EXPECT_GE (seconds, deadlineMs / 1000.0 - 0.1);
        EXPECT_LT (seconds, 4.0) << "gave up only after " << seconds << " s";
        EXPECT_EQ (server.requestCount(), 1);
    }
}

// Closing the last instance while the server stalls: the destructor cancels the request instead of waiting for it.
TEST (UpdateChecker, DestructionCancelsARequestInProgress)
{
    LocalHttpServer server ({ 200, {}, LocalHttpServer::Behaviour::stall });
    const ScopedEnvironment variable (updates::serverVariable, server.address());

    auto checker = std::make_unique<updates::Checker>();
    bool called = false;
    checker->check ([&] (bool, const updates::Release&) { called = true; });
    ASSERT_TRUE (runMessagesUntil ([&] { return server.requestCount() == 1; }, 5000));
    tz::test::runMessagesFor (300);

    const auto start = juce::Time::getMillisecondCounter();
    checker.reset();
    const auto seconds = secondsSince (start);

    EXPECT_LT (seconds, 1.5) << "the destructor took " << seconds << " s";
    tz::test::runMessagesFor (100);
    EXPECT_FALSE (called);
}
