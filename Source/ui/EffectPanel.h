#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/Parameters.h"
#include "ui/IconButton.h"
#include "ui/Knob.h"
#include "ui/ParamMenu.h"
#include "ui/ParameterLink.h"
#include "ui/theme/Theme.h"

class TazzleAudioProcessor;

// One pedal of the chain strip: switch, menus, knobs, and buttons to move or fold it. Dragging its header
// moves the effect along the chain.
class EffectPanel : public juce::Component
{
public:
    EffectPanel (TazzleAudioProcessor& processor, tz::EffectId effect,
                 const std::function<void (int)>& onModulatorChosen);
    ~EffectPanel() override;

    // Reports a header drag: the pointer's x in the chain content, and whether the button was released.
    std::function<void (tz::EffectId, int, bool)> onDragMove;
    std::function<void()> onFoldChanged;

    // Bit `effect` of the "folded" state property.
    static bool isFolded (TazzleAudioProcessor& processor, tz::EffectId effect);

    int preferredWidth() const;
    void setCollapsed (bool collapsed);
    bool isCollapsed() const noexcept { return folded; }

    tz::EffectId getEffect() const noexcept { return effect; }
    // The effect's name as screen readers say it: "Tape Stop".
    juce::String displayName() const;
    // The panel's slot in the chain; the arrows follow it.
    void setPosition (int slot);
    int getPosition() const noexcept { return position; }

    // What the panel last drew of its on switch; the main panel's refresh keeps it.
    bool enabled = false;

    juce::ToggleButton& getSwitch() noexcept { return onOff; }
    IconButton& getEarlierButton() noexcept { return earlier; }
    IconButton& getLaterButton() noexcept { return later; }
    IconButton& getFoldButton() noexcept { return fold; }
    const std::vector<std::unique_ptr<Knob>>& getKnobs() const noexcept { return knobs; }
    ParamMenu& getMenu (size_t i) noexcept { return *menus[i].menu; }
    juce::Label& getMenuLabel (size_t i) noexcept { return *menus[i].label; }
    size_t getNumMenus() const noexcept { return menus.size(); }
    bool isDragging() const noexcept { return dragging; }

    void paint (juce::Graphics&) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    struct LabelledMenu
    {
        std::unique_ptr<ParamMenu> menu;
        std::unique_ptr<juce::Label> label;
    };

    void layOutOpen();
    void paintBody (juce::Graphics&);
    int pointerInChain (const juce::MouseEvent&) const;

    TazzleAudioProcessor& processor;
    const tz::EffectId effect;
    const juce::Colour colour;
    int position = 0;
    bool folded = false;
    bool dragging = false;

    juce::ToggleButton onOff;
    std::unique_ptr<tz::ui::ButtonLink> onOffLink;
    IconButton earlier, later, fold;
    std::vector<LabelledMenu> menus;
    std::vector<std::unique_ptr<Knob>> knobs;

    tz::theme::PaintCache body;
    int bodyKey = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EffectPanel)
};
