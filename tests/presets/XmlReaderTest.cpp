#include <gtest/gtest.h>

#include "presets/XmlReader.h"

namespace
{
juce::String repeated (const juce::String& text, int times)
{
    juce::String result;
    for (int i = 0; i < times; ++i)
        result << text;
    return result;
}

// `depth` elements, each inside the one before.
juce::String nested (int depth, const juce::String& open = "<a>", const juce::String& inside = {})
{
    return repeated (open, depth) + inside + repeated ("</a>", depth);
}

TEST (XmlReader, RefusesNestingBeyondTheLimitHoweverItIsDisguised)
{
    const auto deep = repeated ("<a>", 40);
    const struct
    {
        const char* what;
        juce::String text;
        bool accepted;
    } cases[] = {
        { "at the limit", nested (tz::maxXmlDepth), true },
        { "one beyond", nested (tz::maxXmlDepth + 1), false },
        { "deep markup in a comment", nested (tz::maxXmlDepth, "<a>", "<!--" + deep + "-->"), true },
        { "deep markup in CDATA", nested (tz::maxXmlDepth, "<a>", "<![CDATA[" + deep + "]]>"), true },
        { "deep markup in a processing instruction", nested (tz::maxXmlDepth, "<a>", "<?pi " + deep + "?>"), true },
        { "empty elements close again", "<r>" + repeated ("<a/><a x='1' />", 40) + "</r>", true },
        { "'/>' inside a value closes nothing", nested (tz::maxXmlDepth + 1, "<a x=\"/>\">"), false },
        { "'>' inside a value", nested (tz::maxXmlDepth + 1, "<a x='>'>"), false },
        { "header, comment and instruction before the root", "<?xml version=\"1.0\"?><!-- c --><?pi?><r/>", true },
        { "the five entities and numeric references", "<r a=\"&amp;&LT;&#60;&#x3C;\">&quot;&apos;&gt;&#1114111;</r>",
          true },
        { "a document type", "<!DOCTYPE r [<!ENTITY e \"<a><a>\">]><r>&e;</r>", false },
        { "an unknown entity", "<r>&e;</r>", false },
        { "a bare ampersand", "<r a=\"x & y\"/>", false },
        { "a numeric reference too long for the parser", "<r>&#1234567890123;</r>", false },
        { "'<' inside a tag", "<r><a b<c>></a></r>", false },
        { "'<' inside a value", "<r a=\"<\"/>", false },
        { "an unterminated comment", "<r><!-- </r>", false },
        { "an unterminated value", "<r a=\"x/></r>", false },
    };

    for (const auto& c : cases)
        EXPECT_EQ (tz::readXml (c.text) != nullptr, c.accepted) << c.what;
}

TEST (XmlReader, RefusesMoreThanOneMebibyte)
{
    const juce::String root ("<r></r>");
    const auto ofSize = [&root] (size_t bytes)
    { return "<r>" + juce::String::repeatedString (" ", (int) (bytes - root.length())) + "</r>"; };

    const auto largest = ofSize (tz::maxXmlBytes);
    const auto tooLarge = ofSize (tz::maxXmlBytes + 1);

    EXPECT_NE (tz::readXml (largest), nullptr);
    EXPECT_EQ (tz::readXml (tooLarge), nullptr);
    EXPECT_NE (tz::readXml (largest.toRawUTF8(), largest.getNumBytesAsUTF8()), nullptr);
    EXPECT_EQ (tz::readXml (tooLarge.toRawUTF8(), tooLarge.getNumBytesAsUTF8()), nullptr);
}

TEST (XmlReader, RefusesAProcessingInstructionFollowedByTextInsideAnElement)
{
    // Inside an element and followed by text, the parser would loop for ever on it.
    EXPECT_EQ (tz::readXml (juce::String ("<Tazzle><?x?>text</Tazzle>")), nullptr);
    EXPECT_EQ (tz::readXml (juce::String ("<Tazzle><?x?> <!-- c --><?y?> text</Tazzle>")), nullptr);
    EXPECT_NE (tz::readXml (juce::String ("<Tazzle><PARAM/><?x?> <!-- c --></Tazzle>")), nullptr);
}

TEST (XmlReader, ReadsWhatTheParserReads)
{
    const auto document = tz::readXml (R"(<?xml version="1.0" encoding="UTF-8"?>
        <Tazzle presetName="A &amp; B &#233;"><PARAM id="mix" value="10"/><!-- note --></Tazzle>)");

    ASSERT_NE (document, nullptr);
    EXPECT_EQ (document->getTagName(), "Tazzle");
    EXPECT_EQ (document->getStringAttribute ("presetName"), juce::String::fromUTF8 ("A & B \xc3\xa9"));
    EXPECT_EQ (document->getNumChildElements(), 1);
}
} // namespace

TEST (XmlReader, RefusesBytesThatAreNotStrictUtf8)
{
    const struct
    {
        const char* name;
        std::string bytes;
        bool valid;
    } cases[] = {
        { "plain", "<Tazzle a=\"x\"/>", true },
        { "two, three and four bytes", "<Tazzle a=\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x8e\xb5\"/>", true },
        { "overlong NUL", std::string ("<Tazzle a=\"\xc0\x80\"/>", 17), false },
        { "overlong slash", "<Tazzle a=\"\xe0\x80\xaf\"/>", false },
        { "surrogate", "<Tazzle a=\"\xed\xa0\x80\"/>", false },
        { "past U+10FFFF", "<Tazzle a=\"\xf4\x90\x80\x80\"/>", false },
        { "cut short", "<Tazzle a=\"\xe2\x82\"/>", false },
        { "text ends at a NUL", std::string ("<Tazzle/>\0\xc0\x80", 12), true },
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ (tz::isStrictUtf8 (c.bytes.data(), c.bytes.size()), c.valid) << c.name;
        EXPECT_EQ (tz::readXml (c.bytes.data(), c.bytes.size()) != nullptr, c.valid) << c.name;
    }
}

TEST (XmlReader, RefusesNamesTheFrameworkWouldAssertOn)
{
    // The parser takes any run of letters, digits, '_', '-', ':' and '.' as a name, and the framework asserts on
    // one that starts with a digit, '-' or '.'.
    const struct
    {
        const char* text;
        bool read;
    } cases[] = {
        { "<Tazzle a=\"1\"><PARAM id=\"mix\" value=\"1\"/></Tazzle>", true },
        { "<x:y-z.w _a=\"1\" b.c='2'/>", true },
        { "<1Tazzle/>", false },
        { "<Tazzle 2a=\"1\"/>", false },
        { "<Tazzle -a=\"1\"/>", false },
        { "<.Tazzle/>", false },
        { "<Tazzle><PARAM 9=\"x\"/></Tazzle>", false },
        { "<Tazzle a=\"1\"b=\"2\"/>", true },
    };
    for (const auto& c : cases)
        EXPECT_EQ (tz::readXml (juce::String (c.text)) != nullptr, c.read) << c.text;
}
