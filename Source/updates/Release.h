#pragma once

#include <juce_core/juce_core.h>

namespace tz::updates
{

// This build's version, as the update server and the messages compare and name it.
inline constexpr const char* currentVersion = JucePlugin_VersionString;

// The latest release as the update server reports it. A field that is missing or breaks its rule is empty.
struct Release
{
    juce::String version; // digits and dots, at least one dot
    juce::String page;    // release notes
    juce::String mac;     // macOS installer
    juce::String windows; // Windows installer

    bool operator== (const Release& other) const
    {
        return version == other.version && page == other.page && mac == other.mac && windows == other.windows;
    }
};

// Applies the rules above to each field (after trimming).
Release makeRelease (const juce::String& version, const juce::String& page, const juce::String& mac,
                     const juce::String& windows);

// The server's answer: a JSON object whose member "tazzle" holds the release's members as strings. Anything
// else gives an empty release. Answers that are not UTF-8, nest deeper than maxJsonDepth or would trip the
// framework's parser are refused before parsing.
inline constexpr int maxJsonDepth = 16;
Release parseRelease (const juce::MemoryBlock& answer);

// -1, 0 or 1 as version a is older, the same or newer than b: dot-separated numbers compared in turn, a missing
// or non-numeric part counting as 0, so "1.2" equals "1.2.0" and "1.10" is newer than "1.9".
int compareVersions (const juce::String& a, const juce::String& b);

// True when the release is newer than this build and is not the version the user chose to skip.
bool offersUpdate (const Release& release, const juce::String& skippedVersion);

// The vendor's web site: SETTINGS links to it, and WHAT'S NEW leads there when a release names no notes.
const juce::URL& vendorSite();

// The texts of the messages a check asked for by the user ends with.
inline constexpr const char* messageTitle = "Tazzle updates";
juce::String latestVersionMessage();
juce::String unreachableMessage (const juce::String& host);
juce::String switchedOffMessage();

} // namespace tz::updates
