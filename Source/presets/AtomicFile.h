#pragma once

#include <cstddef>

#include <juce_core/juce_core.h>

namespace tz
{

// Every write of a user file (presets, favourites, settings, packs) comes through here. The bytes go to a hidden
// temporary file beside the target (a name no preset list shows), each write is checked, the file is synced and
// only then renamed over the target, so the target holds either all of its old bytes or all of the new ones. On
// any failure the temporary is removed, the target is left as it was and the result says why. A target that
// exists keeps its permissions, and one that is read-only is not replaced.
juce::Result replaceFileAtomically (const juce::File& target, const void* data, std::size_t numBytes);

// The text as UTF-8, without a byte-order mark.
juce::Result replaceFileAtomically (const juce::File& target, const juce::String& text);

// True when `folder` is a folder once this returns, whoever made it: another instance or process creating the same
// folder at the same moment is not a failure.
bool ensureFolder (const juce::File& folder);

// What the temporary files of the writer end with; lists of presets never show them.
inline constexpr const char* temporaryFileSuffix = ".tmp";

} // namespace tz
