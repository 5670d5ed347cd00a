#pragma once

#include <vector>

#include <juce_graphics/juce_graphics.h>

#include "core/Parameters.h"

namespace tz::theme
{

// What a pedal shows: its choice parameters as menus, its continuous ones as knobs.
struct PanelLayout
{
    struct Entry
    {
        P parameter;
        const char* caption; // nullptr: none
    };

    std::vector<Entry> menus, knobs;
};

// How the editor shows one effect. Their table, in EffectId order, is the editor's one list of the effects.
struct PedalLook
{
    EffectId effect;
    juce::Colour colour;
    int width; // open, before the chain stretches it
    PanelLayout layout;
};

const PedalLook& pedalLook (EffectId effect);

// The effect's name in words, from its on switch, as screen readers say it: "Tape Stop".
juce::String effectTitle (EffectId effect);

} // namespace tz::theme
