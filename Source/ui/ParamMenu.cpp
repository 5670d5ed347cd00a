#include "ui/ParamMenu.h"

#include "core/PluginProcessor.h"

ParamMenu::ParamMenu (TazzleAudioProcessor& processor, tz::P parameter, const juce::StringArray& choices,
                      int valueOffset)
    : offset (valueOffset)
{
    auto& param = *processor.getParameterState().getParameter (tz::allParams()[(size_t) parameter].id);
    link = std::make_unique<tz::ui::ParameterLink> (
        param,
        [this] (float value) { setSelectedId (juce::roundToInt (value) - offset + 1, juce::dontSendNotification); });

    addItemList (choices, 1);

    onChange = [this]
    {
        if (const int id = getSelectedId(); id >= 1)
            link->setValueAsCompleteGesture ((float) (offset + id - 1));
    };

    link->sendInitialUpdate();
}

ParamMenu::~ParamMenu() = default;
