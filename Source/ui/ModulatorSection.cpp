#include "ui/ModulatorSection.h"

#include "core/PluginProcessor.h"

ModulatorSection::ModulatorSection (TazzleAudioProcessor& proc)
    : processor (proc)
{
}

void ModulatorSection::selectModulator (int modulator)
{
    selected = juce::jlimit (0, tz::numModulators - 1, modulator);
}

void ModulatorSection::buildControls() {}

void ModulatorSection::repaintTabs() {}

void ModulatorSection::refresh() {}
