#include "updates/Settings.h"

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

void saveSettings (std::initializer_list<std::pair<juce::String, juce::String>> values)
{
    auto root = readSettings();
    if (root == nullptr)
        root = std::make_unique<juce::XmlElement> (rootTag);
    for (const auto& [key, value] : values)
        root->setAttribute (key, value);

    const auto file = settingsFile();
    if (! file.getParentDirectory().createDirectory())
        return;

    const juce::TemporaryFile temporary (file, juce::TemporaryFile::useHiddenFile);
    {
        juce::FileOutputStream out (temporary.getFile());
        if (! out.openedOk())
            return;
        root->writeTo (out);
        out.flush();
        if (out.getStatus().failed())
            return;
    }
    temporary.overwriteTargetFileWithTemporary();
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

bool isAutomaticCheckOn() { return getSetting (keys::autoUpdateCheck, "1") != "0"; }

void setAutomaticCheck (bool on) { saveSettings ({ { keys::autoUpdateCheck, on ? "1" : "0" } }); }

bool isAutomaticCheckDue (juce::int64 now)
{
    // Anything but up to 18 digits reads as 0 (the check is due), so the subtraction cannot overflow.
    const auto text = getSetting (keys::lastUpdateCheck, "0");
    const auto last = text.containsOnly ("0123456789") && text.length() <= 18 ? text.getLargeIntValue() : 0;
    return isAutomaticCheckOn() && now - last >= automaticCheckInterval;
}

} // namespace tz::updates
