#pragma once

#include <memory>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/Parameters.h"
#include "ui/ParameterLink.h"

class TazzleAudioProcessor;

// A combo box bound to a choice parameter: item id k stands for the value offset + k - 1.
class ParamMenu : public juce::ComboBox
{
public:
    ParamMenu (TazzleAudioProcessor& processor, tz::P parameter, const juce::StringArray& choices, int offset);
    ~ParamMenu() override;

    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    TazzleAudioProcessor& processor;
    const tz::P parameter;
    const int offset;
    std::unique_ptr<tz::ui::ParameterLink> link;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ParamMenu)
};
