#include "updates/Release.h"

#include <algorithm>
#include <array>

#include "presets/XmlReader.h"
#include "updates/Checker.h"

namespace tz::updates
{
namespace
{
    bool isValidVersion (const juce::String& version)
    {
        return version.containsOnly ("0123456789.") && version.containsChar ('.');
    }

    // On Linux the framework hands a link to the browser through "/bin/sh -c", inside double quotes, so a link may
    // hold only characters that are plain there: no quotes, '$', '`', '\\', spaces or anything outside ASCII.
    bool isValidLink (const juce::String& link)
    {
        return link.startsWithIgnoreCase ("https://")
            && link.containsOnly (
                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~:/?#[]@!&'()*+,;=%");
    }

    // Whether the framework's JSON parser may read `json` safely. It recurses once per level of nesting, so deep
    // nesting would overflow the stack; and it asserts on a '-' without a digit and on an empty member name, which
    // it builds before it looks for the ':' (so {"": ...} and {""x} alike). The scan reads strings as that parser
    // does ("..." and '...', a backslash escaping the next character), so the depth seen here is the depth it
    // would reach, and it knows where the parser expects a member name: after '{' or ',' inside an object.
    bool isSafeToParse (const juce::String& json)
    {
        int depth = 0;
        std::array<bool, maxJsonDepth + 1> isObject {}; // per open level: an object, not an array
        juce::juce_wchar quote = 0;                     // of the string being read, 0 outside strings
        int stringLength = 0;
        bool atMemberName = false; // the next string would be read as a member name

        for (auto p = json.getCharPointer(); ! p.isEmpty();)
        {
            const auto c = p.getAndAdvance();
            if (quote != 0)
            {
                if (c == quote)
                {
                    if (atMemberName && stringLength == 0)
                        return false;
                    atMemberName = false;
                    quote = 0;
                }
                else
                {
                    if (c == '\\' && ! p.isEmpty())
                        ++p;
                    ++stringLength;
                }
                continue;
            }

            if (juce::CharacterFunctions::isWhitespace (c))
                continue;

            if (c == '"' || c == '\'')
            {
                quote = c;
                stringLength = 0;
                continue;
            }

            atMemberName = false;
            if (c == '{' || c == '[')
            {
                if (++depth > maxJsonDepth)
                    return false;
                isObject[(size_t) depth] = c == '{';
                atMemberName = c == '{';
            }
            else if (c == '}' || c == ']')
            {
                depth = std::max (0, depth - 1);
            }
            else if (c == ',')
            {
                atMemberName = isObject[(size_t) depth];
            }
            else if (c == '-')
            {
                const auto next = *p.findEndOfWhitespace();
                if (next < '0' || next > '9')
                    return false;
            }
        }
        return true;
    }

    // The decimal digits a version part starts with, without leading zeros: "" stands for 0.
    juce::String leadingNumber (const juce::String& part)
    {
        return part.initialSectionContainingOnly ("0123456789").trimCharactersAtStart ("0");
    }
} // namespace

Release makeRelease (const juce::String& version, const juce::String& page, const juce::String& mac,
                     const juce::String& windows)
{
    const auto link = [] (const juce::String& text)
    { return isValidLink (text.trim()) ? text.trim() : juce::String(); };
    return { isValidVersion (version.trim()) ? version.trim() : juce::String(), link (page), link (mac),
             link (windows) };
}

Release parseRelease (const juce::MemoryBlock& answer)
{
    const auto* bytes = static_cast<const char*> (answer.getData());
    if (answer.isEmpty() || ! tz::isStrictUtf8 (bytes, answer.getSize()))
        return {};

    const auto json = answer.toString();
    juce::var parsed;
    if (! isSafeToParse (json) || juce::JSON::parse (json, parsed).failed())
        return {};

    const auto* tazzle = parsed.getProperty ("tazzle", {}).getDynamicObject();
    if (tazzle == nullptr)
        return {};

    const auto member = [tazzle] (const char* name)
    {
        const auto& value = tazzle->getProperty (name);
        return value.isString() ? value.toString() : juce::String();
    };
    return makeRelease (member ("version"), member ("page"), member ("mac"), member ("windows"));
}

int compareVersions (const juce::String& a, const juce::String& b)
{
    const auto partsA = juce::StringArray::fromTokens (a.trim(), ".", {});
    const auto partsB = juce::StringArray::fromTokens (b.trim(), ".", {});

    for (int i = 0; i < std::max (partsA.size(), partsB.size()); ++i)
    {
        // Compared as digit strings, so a part of any length counts exactly.
        const auto x = leadingNumber (partsA[i]), y = leadingNumber (partsB[i]);
        if (x.length() != y.length())
            return x.length() < y.length() ? -1 : 1;
        if (const int order = x.compare (y); order != 0)
            return order < 0 ? -1 : 1;
    }
    return 0;
}

bool offersUpdate (const Release& release, const juce::String& skippedVersion)
{
    return release.version.isNotEmpty() && compareVersions (release.version, currentVersion) > 0
        && release.version != skippedVersion;
}

juce::String latestVersionMessage() { return juce::String ("Tazzle ") + currentVersion + " is the latest version."; }

juce::String unreachableMessage (const juce::String& host)
{
    return "Couldn't reach " + host + ". Check your internet connection and try again.";
}

juce::String switchedOffMessage()
{
    return juce::String ("Update checks are switched off on this machine (") + serverVariable + ").";
}

const juce::URL& vendorSite()
{
    static const juce::URL site { JucePlugin_ManufacturerWebsite };
    return site;
}

} // namespace tz::updates
