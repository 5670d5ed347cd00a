#pragma once

#include <array>
#include <memory>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "ui/Knob.h"
#include "ui/ParamMenu.h"
#include "ui/ParameterLink.h"
#include "ui/RouteList.h"
#include "ui/StepEditor.h"
#include "ui/theme/Theme.h"

class TazzleAudioProcessor;

// The page of the four modulators: a tab for each, the selected one's controls and step editor, and the list
// of what it modulates.
class ModulatorSection : public juce::Component
{
public:
    // One modulator's tab: name, XY badge, mode and rate, route count and a miniature of its pattern.
    class Tab : public juce::Component
    {
    public:
        Tab (ModulatorSection& owner, int modulator);

        juce::StringArray lines() const;
        // Repaints when anything the tab shows may have changed since it last looked; true when it did.
        bool refresh();

        void paint (juce::Graphics&) override;
        void mouseDown (const juce::MouseEvent&) override;
        void mouseEnter (const juce::MouseEvent&) override { repaint(); }
        void mouseExit (const juce::MouseEvent&) override { repaint(); }
        std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

    private:
        ModulatorSection& owner;
        const int modulator;
        // The revision of the parameters it shows and whether it was selected, when it last painted.
        std::uint32_t shownRevision = 0;
        int shownSelected = -1;
    };

    explicit ModulatorSection (TazzleAudioProcessor& processor);
    ~ModulatorSection() override;

    int getSelectedModulator() const noexcept { return selected; }
    void selectModulator (int modulator);
    void buildControls();
    void repaintTabs();
    void refresh();
    // What "+ ADD TARGET" does with the target chosen in its menu.
    void addTarget (tz::P target);

    void paint (juce::Graphics&) override;
    void resized() override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

    Tab& getTab (int m) noexcept { return *tabs[(size_t) m]; }
    juce::TextButton& getLfoButton() noexcept { return lfoButton; }
    juce::TextButton& getStepsButton() noexcept { return stepsButton; }
    juce::TextButton& getAddButton() noexcept { return addButton; }
    StepEditor& getStepEditor() noexcept { return *stepEditor; }
    ParamMenu& getShapeMenu() noexcept { return *shapeMenu; }
    ParamMenu& getRateMenu() noexcept { return *rateMenu; }
    ParamMenu& getLengthMenu() noexcept { return *lengthMenu; }
    juce::TextButton& getFollowsXYButton() noexcept { return followsXY; }
    Knob& getKnob (int k) noexcept { return *knobs[(size_t) k]; }
    const std::vector<std::unique_ptr<RouteRow>>& getRouteRows() const noexcept { return routeList.getRows(); }
    RouteList& getRouteList() noexcept { return routeList; }

    // The display position of a modulator (0..1 across its step editor) at the beat it was last computed for.
    double displayPosition (int modulator) const;

    static juce::String emptyListText() { return "Nothing to move yet.\nAdd a target, or right-click any knob."; }

private:
    bool isStepMode() const;

    TazzleAudioProcessor& processor;
    int selected = 0;
    bool stepsMode = false;

    std::array<std::unique_ptr<Tab>, 4> tabs;
    juce::TextButton lfoButton { "LFO" }, stepsButton { "STEPS" }, followsXY { "FOLLOWS XY" };
    juce::Label shapeLabel, rateLabel, lengthLabel;
    std::unique_ptr<ParamMenu> shapeMenu, rateMenu, lengthMenu;
    std::unique_ptr<tz::ui::ButtonLink> followsXYLink;
    std::unique_ptr<tz::ui::ParameterLink> modeLink;
    std::array<std::unique_ptr<Knob>, 3> knobs; // smooth, swing, phase
    std::unique_ptr<StepEditor> stepEditor;

    juce::TextButton addButton { "+ ADD TARGET" };
    RouteList routeList;

    tz::theme::PaintCache body;
    int bodyFor = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ModulatorSection)
};
