#pragma once

#include <functional>
#include <memory>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/Parameters.h"
#include "ui/ParameterLink.h"

class TazzleAudioProcessor;

// A rotary dial whose right-click is handed to its owner instead of moving the value; Shift drags it finely.
class ModSlider : public tz::ui::FineSlider
{
public:
    std::function<void()> onPopupClick;

    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;

private:
    bool popupPress = false; // this press went to onPopupClick, not to the slider
};

// A captioned dial bound to one parameter that also shows, and on right-click edits, the parameter's
// modulation routes and lock.
class Knob : public juce::Component
{
public:
    Knob (TazzleAudioProcessor& processor, tz::P parameter, const juce::String& caption, juce::Colour colour);
    ~Knob() override;

    // Called with the source (0..3) after the menu added or removed a modulator's route.
    std::function<void (int)> onModulatorChosen;

    void refreshModulation();
    void showModulationMenu();

    juce::PopupMenu buildModulationMenu() const;
    void handleModulationMenuResult (int code);

    void resized() override;
    void paintOverChildren (juce::Graphics&) override;

    bool isModulatable() const noexcept { return modulatable; }
    tz::P getParameter() const noexcept { return parameter; }
    ModSlider& getDial() noexcept { return dial; }
    const juce::Label& getCaption() const noexcept { return caption; }

    enum MenuCode
    {
        removeAllCode = 100,
        lockCode = 200
    };

private:
    void clearRoutesFrom (int source);

    // Where the dial is drawn, in the knob: centre, radius of the modulation dot's track, sweep angles.
    struct DialGeometry
    {
        juce::Point<float> centre;
        float radius, startAngle, endAngle;
    };
    DialGeometry dialGeometry() const;
    // The modulation dot at a live value, with its outline.
    juce::Rectangle<float> liveDotBounds (float live) const;

    TazzleAudioProcessor& processor;
    const tz::P parameter;
    const bool modulatable;
    ModSlider dial;
    juce::Label caption;
    std::unique_ptr<tz::ui::SliderLink> link;

    float shownDepth = 0.0f;
    float shownLive = -1.0f;
    int shownSource = -1;
    bool shownLocked = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Knob)
};
