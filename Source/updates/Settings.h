#pragma once

#include <initializer_list>
#include <utility>

#include <juce_core/juce_core.h>

#include "updates/Release.h"

// The update checker's settings, one small file shared by every instance and host:
// <application data>/Quarrow/Tazzle/Settings.xml, a "TAZZLE_SETTINGS" element whose attributes are the settings.
namespace tz::updates
{

namespace keys
{
    inline constexpr const char* autoUpdateCheck = "autoUpdateCheck"; // "0" turns the automatic check off
    inline constexpr const char* lastUpdateCheck = "lastUpdateCheck"; // last successful check, ms since 1970
    inline constexpr const char* latestVersion = "latestVersion";
    inline constexpr const char* latestPage = "latestPage";
    inline constexpr const char* latestMac = "latestMac";
    inline constexpr const char* latestWindows = "latestWindows";
    inline constexpr const char* skippedVersion = "skippedVersion";
} // namespace keys

juce::File settingsFile();

// The stored value of `key`, or `defaultValue` when the file is missing, unreadable, has another root or lacks it.
juce::String getSetting (const juce::String& key, const juce::String& defaultValue);

// Sets every pair and keeps the other settings, through the atomic writer; says why when nothing was saved. A file
// that exists but can't be read is left alone, so what it holds is never lost to a write that only meant to add
// a value, unless `userChoice`: a setting the user changed by hand replaces it.
juce::Result saveSettings (std::initializer_list<std::pair<juce::String, juce::String>> values,
                           bool userChoice = false);

// The release the last successful check found, read back through the release's rules.
Release storedRelease();
// Remembers a successful check made at `checkedAt` (ms since 1970) and what it found.
void storeRelease (const Release& release, juce::int64 checkedAt);

// The automatic check is on unless switched off, or the file can't be read (it may say off); due when the last
// successful one is a day old or claims a time still to come (a clock that was wrong once).
inline constexpr juce::int64 automaticCheckInterval = 24 * 60 * 60 * 1000;
bool isAutomaticCheckOn();
juce::Result setAutomaticCheck (bool on);
bool isAutomaticCheckDue (juce::int64 now);

} // namespace tz::updates
