#include "updates/Settings.h"

#include "presets/AtomicFile.h"
#include "presets/XmlReader.h"

namespace tz::updates
{
namespace
{
    constexpr const char* rootTag = "TAZZLE_SETTINGS";

    std::unique_ptr<juce::XmlElement> readSettings()
    {
        auto root = tz::readXmlFile (settingsFile());
        if (root == nullptr || ! root->getTagName().equalsIgnoreCase (rootTag))
            return nullptr;
        return root;
    }

    // A settings file is there but tells nothing: damaged, cut short, too large or another kind of document. (A
    // pipe or a device in its place holds no settings to lose.)
    bool isUnreadable() { return tz::isRegularFile (settingsFile()) && readSettings() == nullptr; }
} // namespace

juce::File settingsFile()
{
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
        .getChildFile ("Quarrow")
        .getChildFile ("Tazzle")
        .getChildFile ("Settings.xml");
}

juce::String getSetting (const juce::String& key, const juce::String& defaultValue)
{
    if (const auto root = readSettings(); root != nullptr && root->hasAttribute (key))
        return root->getStringAttribute (key);
    return defaultValue;
}

juce::Result saveSettings (std::initializer_list<std::pair<juce::String, juce::String>> values, bool userChoice)
{
    const auto file = settingsFile();
    if (! userChoice && isUnreadable())
        return juce::Result::fail ("Couldn't read " + file.getFullPathName() + ", so it was left as it is.");

    auto root = readSettings();
    if (root == nullptr)
        root = std::make_unique<juce::XmlElement> (rootTag);
    for (const auto& [key, value] : values)
        root->setAttribute (key, value);

    if (! tz::ensureFolder (file.getParentDirectory()))
        return juce::Result::fail ("Couldn't create the folder " + file.getParentDirectory().getFullPathName());
    return tz::replaceFileAtomically (file, root->toString());
}

Release storedRelease()
{
    return makeRelease (getSetting (keys::latestVersion, {}), getSetting (keys::latestPage, {}),
                        getSetting (keys::latestMac, {}), getSetting (keys::latestWindows, {}));
}

void storeRelease (const Release& release, juce::int64 checkedAt)
{
    saveSettings ({ { keys::lastUpdateCheck, juce::String (checkedAt) },
                    { keys::latestVersion, release.version },
                    { keys::latestPage, release.page },
                    { keys::latestMac, release.mac },
                    { keys::latestWindows, release.windows } });
}

bool isAutomaticCheckOn() { return ! isUnreadable() && getSetting (keys::autoUpdateCheck, "1") != "0"; }

juce::Result setAutomaticCheck (bool on) { return saveSettings ({ { keys::autoUpdateCheck, on ? "1" : "0" } }, true); }

bool isAutomaticCheckDue (juce::int64 now)
{
    // Anything but up to 18 digits reads as 0 (the check is due), so the subtraction cannot overflow.
    const auto text = getSetting (keys::lastUpdateCheck, "0");
    const auto last = text.containsOnly ("0123456789") && text.length() <= 18 ? text.getLargeIntValue() : 0;
    return isAutomaticCheckOn() && (now - last >= automaticCheckInterval || last > now);
}

} // namespace tz::updates
