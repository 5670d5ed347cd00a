#include "ui/ParamMenu.h"

#include "core/PluginProcessor.h"

ParamMenu::ParamMenu (TazzleAudioProcessor& processor, tz::P parameter, const juce::StringArray& choices,
                      int valueOffset)
    : offset (valueOffset)
{
    link = std::make_unique<tz::ui::ParameterLink> (
        processor, parameter,
        [this] (float value) { setSelectedId (juce::roundToInt (value) - offset + 1, juce::dontSendNotification); });

    addItemList (choices, 1);

    onChange = [this]
    {
        if (const int id = getSelectedId(); id >= 1)
            link->setValue ((float) (offset + id - 1));
    };

    link->sendInitialUpdate();
}

ParamMenu::~ParamMenu() = default;
