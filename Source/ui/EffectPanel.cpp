#include "ui/EffectPanel.h"

#include <array>

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"

EffectPanel::EffectPanel (TazzleAudioProcessor& proc, tz::EffectId id, std::function<void (int)>)
    : processor (proc)
    , effect (id)
{
}

bool EffectPanel::isFolded (TazzleAudioProcessor& processor, tz::EffectId effect)
{
    const int mask = processor.getParameterState().state.getProperty (tz::stateIds::folded, 0);
    return (mask >> (int) effect) & 1;
}

int EffectPanel::preferredWidth() const
{
    static constexpr std::array<int, tz::numEffects> widths { 150, 136, 150, 150, 158, 150, 158, 146, 136, 220 };
    return widths[(size_t) effect];
}

void EffectPanel::setCollapsed (bool collapsed) { folded = collapsed; }

bool EffectPanel::isSwitchedOn() const { return processor.getValue (tz::effectParams[(size_t) effect].on) >= 0.5f; }

std::vector<Knob*> EffectPanel::getKnobs() const { return {}; }
