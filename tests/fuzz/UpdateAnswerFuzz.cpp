// The update server's answer: any bytes give a release whose fields are empty or keep their rules, and the
// versions compare consistently.
#include "FuzzSupport.h"

#include "updates/Release.h"

namespace
{
bool isEmptyOrVersion (const juce::String& version)
{
    return version.isEmpty() || (version.containsOnly ("0123456789.") && version.containsChar ('.'));
}

// A link the browser is handed through the shell: https, plain ASCII, nothing the shell reads inside "...".
bool isEmptyOrLink (const juce::String& link)
{
    if (link.isEmpty())
        return true;
    for (auto c : { '"', '$', '`', '\\', ' ' })
        if (link.containsChar (c))
            return false;
    for (auto p = link.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();
        if (c <= 32 || c >= 127)
            return false;
    }
    return link.startsWithIgnoreCase ("https://");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    tz::fuzz::initialiseOnce();
    const auto release = tz::updates::parseRelease (juce::MemoryBlock (data, size));

    tz::fuzz::require (isEmptyOrVersion (release.version), "version breaks its rule");
    for (const auto* link : { &release.page, &release.mac, &release.windows })
        tz::fuzz::require (isEmptyOrLink (*link), "link breaks its rule");
    tz::fuzz::require (tz::updates::makeRelease (release.version, release.page, release.mac, release.windows)
                           == release,
                       "a parsed release does not pass its own rules unchanged");

    const juce::String current (tz::updates::currentVersion);
    tz::fuzz::require (tz::updates::compareVersions (release.version, release.version) == 0,
                       "version unequal to itself");
    tz::fuzz::require (tz::updates::compareVersions (release.version, current)
                           == -tz::updates::compareVersions (current, release.version),
                       "version comparison not antisymmetric");
    return 0;
}
