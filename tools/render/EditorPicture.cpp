#include "EditorPicture.h"

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/PluginEditor.h"

namespace tz::render
{

juce::Image drawEditor (TazzleAudioProcessor& processor, std::optional<double> scale, bool showGrid)
{
    if (scale)
        processor.getParameterState().state.setProperty (tz::stateIds::uiScale, *scale, nullptr);

    TazzleAudioProcessorEditor editor (processor);
    editor.getMainPanel().showModulatorsPage (! showGrid);
    editor.getMainPanel().refresh();
    return editor.createComponentSnapshot (editor.getLocalBounds());
}

} // namespace tz::render
