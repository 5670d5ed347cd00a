#pragma once

#include <functional>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/Parameters.h"
#include "ui/Knob.h"

class TazzleAudioProcessor;

// One pedal of the chain strip.
class EffectPanel : public juce::Component
{
public:
    EffectPanel (TazzleAudioProcessor& processor, tz::EffectId effect, std::function<void (int)> onModulatorChosen);

    // Bit `effect` of the "folded" state property.
    static bool isFolded (TazzleAudioProcessor& processor, tz::EffectId effect);

    int preferredWidth() const;
    void setCollapsed (bool collapsed);
    bool isCollapsed() const noexcept { return folded; }

    tz::EffectId getEffect() const noexcept { return effect; }
    void setPosition (int slot) { position = slot; }
    int getPosition() const noexcept { return position; }

    // The effect's on switch as the host sees it, and what the panel last drew.
    bool isSwitchedOn() const;
    bool enabled = false;

    std::vector<Knob*> getKnobs() const;

private:
    TazzleAudioProcessor& processor;
    const tz::EffectId effect;
    int position = 0;
    bool folded = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EffectPanel)
};
