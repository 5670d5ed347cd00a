#include "ui/PresetFolderActions.h"

#include "core/PluginProcessor.h"

namespace tz::ui
{

bool isPresetPack (const juce::String& path) { return path.endsWithIgnoreCase (".tzpack"); }

void showPresetsFolder()
{
    const auto folder = TazzleAudioProcessor::presetFolder();
    folder.createDirectory();
    if (folder.isDirectory())
        folder.startAsProcess();
}

void choosePresetPack (std::unique_ptr<juce::FileChooser>& chooser,
                       std::function<void (const juce::File& pack)> install)
{
    chooser = std::make_unique<juce::FileChooser> (
        "Install a Tazzle preset pack",
        juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile ("Downloads"), "*.tzpack");
    chooser->launchAsync (juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                          [install = std::move (install)] (const juce::FileChooser& chosen)
                          {
                              if (const auto file = chosen.getResult(); file.existsAsFile())
                                  install (file);
                          });
}

} // namespace tz::ui
