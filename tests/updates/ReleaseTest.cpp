#include "updates/Release.h"
#include "UpdateTestSupport.h"

using tz::updates::Release;

namespace
{
Release parse (const std::string& answer)
{
    return tz::updates::parseRelease (juce::MemoryBlock (answer.data(), answer.size()));
}

// `depth` levels of `open`, then as many of `close`.
std::string nested (int depth, const std::string& open, const std::string& close)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += open;
    for (int i = 0; i < depth; ++i)
        text += close;
    return text;
}

// An answer whose member "x" nests `depth` levels deep in all (the outer object is the first).
std::string answerNesting (int depth)
{
    return R"({"tazzle":{"version":"1.1"},"x":)" + nested (depth - 1, "[", "]") + "}";
}
} // namespace

TEST (CompareVersions, NumbersCompareInTurn)
{
    const struct
    {
        const char *a, *b;
        int expected;
    } cases[] = {
        { "1.0", "1.0.0", 0 },
        { "1.0.10", "1.0.9", 1 },
        { "0.9", "1.0.2", -1 },
        { "1.10", "1.9", 1 },
        { "1.2", "1.2.0.0", 0 },
        { "1.2.1", "1.2", 1 },
        { "2", "1.99.99", 1 },
        { " 1.0.3 ", "1.0.2", 1 },
        { "01.002", "1.2", 0 },
        // Parts of any length count exactly, past what any integer type holds.
        { "1.123456789012345678901234567890", "1.123456789012345678901234567889", 1 },
        { "99999999999999999999999", "1", 1 },
        // Malformed: missing or non-numeric parts count as 0, a part's leading digits as its number.
        { "", "0.0", 0 },
        { "abc", "0", 0 },
        { "1..2", "1.0.2", 0 },
        { ".5", "0.5", 0 },
        { "1.", "1.0", 0 },
        { "v1.1", "0.1", 0 },
        { "1.1-beta", "1.1", 0 },
        { "1.2rc3", "1.2", 0 },
        { "1.-2", "1.0", 0 },
        { "", "0.0.1", -1 },
    };

    for (const auto& c : cases)
    {
        EXPECT_EQ (tz::updates::compareVersions (c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ (tz::updates::compareVersions (c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST (ReleaseAnswer, FieldsFollowTheirRules)
{
    const auto answer = [] (const std::string& members) { return parse ("{\"tazzle\":{" + members + "}}"); };
    const std::string links =
        R"("page":"https://quarrowtools.com/tazzle/1-1","mac":"HTTPS://dl.quarrowtools.com/T.pkg",)"
        R"("windows":"https://dl.quarrowtools.com/T.exe")";

    EXPECT_EQ (answer (R"("version":" 1.1 ",)" + links),
               (Release { "1.1", "https://quarrowtools.com/tazzle/1-1", "HTTPS://dl.quarrowtools.com/T.pkg",
                          "https://dl.quarrowtools.com/T.exe" }));

    const struct
    {
        const char* members;
        Release expected;
    } cases[] = {
        { R"("version":"v1.1")", {} },
        { R"("version":"1.1-beta")", {} },
        { R"("version":"11")", {} },
        { R"("version":"1.1.")", { "1.1." } },
        { R"("version":1.1)", {} }, // a number, not a string
        { R"("version":"2.0","page":"http://quarrowtools.com/tazzle")", { "2.0" } },
        { R"("version":"2.0","mac":"ftp://quarrowtools.com/T.pkg","windows":"//quarrowtools.com/T.exe")", { "2.0" } },
        // The browser is started through a shell: links with characters it would act on are refused.
        { R"j("page":"https://x.com/$(touch pwned)")j", {} },
        { R"("page":"https://x.com/\"; touch pwned; \"")", {} },
        { R"("page":"https://x.com/`id`")", {} },
        { R"("page":"https://x.com/a b")", {} },
        { R"("page":"https://x.com/caf\u00e9")", {} },
        { R"("page":"https://x.com/a?b=1&c=%20#n")", { {}, "https://x.com/a?b=1&c=%20#n" } },
        { R"("mac":["https://x.com"],"windows":{"a":"https://x.com"})", {} },
        { "", {} },
    };
    for (const auto& c : cases)
        EXPECT_EQ (answer (c.members), c.expected) << c.members;
}

TEST (ReleaseAnswer, AnythingButTheExpectedObjectIsEmpty)
{
    const std::string bodies[] = {
        R"({"tazzle":"1.1"})",
        R"({"tazzle":["1.1"]})",
        R"({"tazzle":null})",
        R"({"other":{"version":"1.1"}})",
        R"([{"tazzle":{"version":"1.1"}}])",
        R"({"version":"1.1"})",
        R"("1.1")",
        "<html>Not found</html>",
        R"({"tazzle":{"version":"1.1")",
        std::string ("\xff\xfe{\"tazzle\":{\"version\":\"1.1\"}}"), // not UTF-8
        std::string ("{\"tazzle\":{\"version\":\"1.\xc3\"}}"),      // a broken sequence
    };
    for (const auto& body : bodies)
        EXPECT_EQ (parse (body), Release {}) << body;
}

// The framework's parser recurses once per level and asserts on a few malformed inputs; such answers are refused
// before it sees them. Each of these would overflow the stack or log an assertion.
TEST (ReleaseAnswer, HostileJsonIsRefusedBeforeParsing)
{
    const std::string bodies[] = {
        answerNesting (tz::updates::maxJsonDepth + 1),
        R"({"tazzle":{"version":"1.1"},"x":)" + nested (60000, "[", "]") + "}",
        R"({"tazzle":{"version":"1.1"},"x":)" + nested (20000, "{\"a\":", "}") + "}",
        // Brackets hidden in a single-quoted string still count, as the parser reads '...' as a string too.
        R"({"tazzle":{"version":"1.1"},"x":['"',)" + nested (30000, "[", "]") + R"(,'"']})",
        R"({"tazzle":{"version":"1.1","x":-x}})",
        R"({"tazzle":{"version":"1.1","x":- })",
        R"({"tazzle":{"version":"1.1","":1}})",
        R"({"tazzle":{"version":"1.1", ""  :1}})",
        // The parser names the member before it looks for the ':' (found by fuzzing).
        R"({"tazzle":{""https://www.quarrowtools.com/tazzle/notes"}})",
        R"({"tazzle":{"version":"1.1",""}})",
    };
    for (const auto& body : bodies)
        EXPECT_EQ (parse (body), Release {}) << body.substr (0, 80);
}

TEST (ReleaseAnswer, OrdinaryJsonWithinTheLimitsIsRead)
{
    const std::string bodies[] = {
        answerNesting (tz::updates::maxJsonDepth),
        // Brackets, quotes and minus signs inside strings are text, not structure.
        R"({"tazzle":{"version":"1.1","note":"[[[[[[[[[[[[[[[[[[[[[[[[[[[[ -x \" ' {{{{{{{{{{{{{{{{{{{{"}})",
        R"({"tazzle":{"version":"1.1","n":-3,"m":- 2,"e":1e-5,"s":""}})",
        R"({ "tazzle" : { "version" : "1.1" , "a" : "" , "b" : [ "" , '' ] } })", // empty strings as values
    };
    for (const auto& body : bodies)
        EXPECT_EQ (parse (body).version, "1.1") << body.substr (0, 80);
}

TEST (ReleaseAnswer, OnlyANewerVersionOtherThanTheSkippedOneOffersAnUpdate)
{
    EXPECT_TRUE (tz::updates::offersUpdate ({ "1.0.3" }, {}));
    EXPECT_TRUE (tz::updates::offersUpdate ({ "1.1" }, "1.0.3"));
    EXPECT_FALSE (tz::updates::offersUpdate ({ "1.1" }, "1.1"));
    EXPECT_FALSE (tz::updates::offersUpdate ({ tz::updates::currentVersion }, {}));
    EXPECT_FALSE (tz::updates::offersUpdate ({ "1.0.2.0" }, {}));
    EXPECT_FALSE (tz::updates::offersUpdate ({ "0.9" }, {}));
    EXPECT_FALSE (tz::updates::offersUpdate ({}, {}));
}

TEST (UpdateMessages, NameTheVersionAndTheHost)
{
    EXPECT_EQ (tz::updates::latestVersionMessage(), "Tazzle 1.0.2 is the latest version.");
    EXPECT_EQ (tz::updates::unreachableMessage ("updates.quarrowtools.com"),
               "Couldn't reach updates.quarrowtools.com. Check your internet connection and try again.");
}
