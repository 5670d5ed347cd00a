#include "ui/ParamMenu.h"

#include "core/PluginProcessor.h"

ParamMenu::ParamMenu (TazzleAudioProcessor& processor, tz::P parameter, const juce::StringArray& choices,
                      int valueOffset)
    : offset (valueOffset)
{
    auto& param = *processor.getParameterState().getParameter (tz::allParams()[(size_t) parameter].id);
    attachment = std::make_unique<juce::ParameterAttachment> (
        param,
        [this] (float value) { setSelectedId (juce::roundToInt (value) - offset + 1, juce::dontSendNotification); });

    addItemList (choices, 1);

    onChange = [this]
    {
        if (const int id = getSelectedId(); id >= 1)
            attachment->setValueAsCompleteGesture ((float) (offset + id - 1));
    };

    attachment->sendInitialUpdate();
}

ParamMenu::~ParamMenu() = default;
