#include "EditorPicture.h"

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/PluginEditor.h"

namespace tz::render
{

juce::Image drawEditor (TazzleAudioProcessor& processor, std::optional<double> scale, EditorPage page)
{
    if (scale)
        processor.setUiScale (*scale);

    TazzleAudioProcessorEditor editor (processor);
    auto& panel = editor.getMainPanel();
    panel.showModulatorsPage (page != EditorPage::grid);
    if (page == EditorPage::browser)
        panel.getPresetBrowser().open();
    panel.refresh();
    return editor.createComponentSnapshot (editor.getLocalBounds());
}

} // namespace tz::render
