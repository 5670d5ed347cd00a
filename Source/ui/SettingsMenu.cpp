#include "ui/SettingsMenu.h"

#include <cmath>

#include "ui/WindowSize.h"
#include "updates/Release.h"

namespace tz::ui::settingsMenu
{

juce::PopupMenu build (const State& state)
{
    juce::PopupMenu sizes;
    // Sizes larger than the screen would put SETTINGS, the MASTER pedal and the resize corner off it.
    for (const int percent : window::sizesPercent)
        sizes.addItem (percent, juce::String (percent) + " %", (float) percent / 100.0f <= state.largestScale + 0.0001f,
                       std::abs (state.scale - (float) percent / 100.0f) < 0.01f);

    juce::PopupMenu menu;
    menu.addSubMenu ("Window size", sizes);
    menu.addSeparator();
    menu.addItem (installPackCode, "Install preset pack...");
    menu.addItem (showPresetsFolderCode, "Show presets folder");
    menu.addSectionHeader ("UPDATES");
    menu.addItem (checkUpdatesCode, "Check for updates now");
    menu.addItem (autoUpdateCode, "Check for updates automatically", true, state.automaticCheckOn);
    menu.addSeparator();
    menu.addItem (webSiteCode, updates::vendorSite().getDomain());
    menu.addItem (versionCode, juce::String ("Tazzle ") + JucePlugin_VersionString + " by Quarrow", false);
    return menu;
}

void handleResult (int code, const Actions& actions)
{
    const auto run = [] (const std::function<void()>& action)
    {
        if (action)
            action();
    };

    if (code >= window::minPercent && code <= window::maxPercent)
    {
        if (actions.setScale)
            actions.setScale ((float) code / 100.0f);
    }
    else if (code == installPackCode)
        run (actions.installPack);
    else if (code == showPresetsFolderCode)
        run (actions.showPresetsFolder);
    else if (code == checkUpdatesCode)
        run (actions.checkForUpdates);
    else if (code == autoUpdateCode)
        run (actions.toggleAutomaticCheck);
    else if (code == webSiteCode)
        run (actions.openWebSite);
}

} // namespace tz::ui::settingsMenu
