#include "ui/ParamMenu.h"

#include "core/PluginProcessor.h"
#include "ui/Accessibility.h"

ParamMenu::ParamMenu (TazzleAudioProcessor& proc, tz::P p, const juce::StringArray& choices, int valueOffset)
    : processor (proc)
    , parameter (p)
    , offset (valueOffset)
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
    tz::ui::makeParameterControl (*this, processor, parameter);
}

std::unique_ptr<juce::AccessibilityHandler> ParamMenu::createAccessibilityHandler()
{
    return tz::ui::createMenuHandler (*this, processor, parameter);
}

ParamMenu::~ParamMenu() = default;
