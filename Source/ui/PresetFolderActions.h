#pragma once

#include <functional>
#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

// What the preset bar's menu and SETTINGS both offer, and what a file dropped on the window may be.
namespace tz::ui
{

bool isPresetPack (const juce::String& path);

// Opens the presets folder in the file browser, making it first when it is missing.
void showPresetsFolder();

// Asks for a preset pack in a file dialog, kept in `chooser` while it is open, and hands the file to `install`.
void choosePresetPack (std::unique_ptr<juce::FileChooser>& chooser,
                       std::function<void (const juce::File& pack)> install);

} // namespace tz::ui
