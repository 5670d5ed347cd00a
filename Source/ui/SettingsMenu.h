#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

// The SETTINGS menu: window size, preset packs, updates, the web site and the version. It holds no state: the
// menu is built from what the panel reports, and each choice goes to the action the panel gave it.
namespace tz::ui::settingsMenu
{

// A window size's item code is its percent.
enum Code
{
    installPackCode = 2000,
    showPresetsFolderCode = 2001,
    checkUpdatesCode = 4000,
    autoUpdateCode = 4001,
    webSiteCode = 1000,
    versionCode = 1001
};

struct State
{
    float scale;           // the window's
    float largestScale;    // the largest whose window fits the screen
    bool automaticCheckOn; // checks for updates automatically
};

struct Actions
{
    std::function<void (float scale)> setScale;
    std::function<void()> installPack, showPresetsFolder, checkForUpdates, toggleAutomaticCheck, openWebSite;
};

juce::PopupMenu build (const State& state);
void handleResult (int code, const Actions& actions);

} // namespace tz::ui::settingsMenu
