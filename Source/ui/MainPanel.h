#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/Parameters.h"
#include "engine/ChainOrder.h"
#include "ui/Accessibility.h"
#include "ui/EffectPanel.h"
#include "ui/GridView.h"
#include "ui/HostWrites.h"
#include "ui/IconButton.h"
#include "ui/Knob.h"
#include "ui/ModulatorSection.h"
#include "ui/PresetBar.h"
#include "ui/PresetBrowser.h"
#include "ui/UpdateNotice.h"
#include "ui/WindowSize.h"
#include "ui/XYPad.h"
#include "ui/theme/Theme.h"
#include "updates/UpdateController.h"

class TazzleAudioProcessor;

// Every control of the plug-in, laid out once at the design size; the editor scales it as a whole.
class MainPanel : public juce::Component, public juce::FileDragAndDropTarget
{
public:
    static constexpr int designWidth = tz::ui::window::designWidth, designHeight = tz::ui::window::designHeight;

    MainPanel (TazzleAudioProcessor& processor, std::function<void (float)> setScale);
    ~MainPanel() override;

    // The 30 Hz poll: acts only on what changed since the last call.
    void refresh();
    // Tells the host of the editor's edits beyond the parameters since the last call, and of a new preset name.
    void announceToHost();
    void layoutChain();

    void paint (juce::Graphics&) override;
    void resized() override;
    // Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo, wherever the keyboard focus is in the editor.
    bool keyPressed (const juce::KeyPress&) override;

    // Undo and redo from the header; each refreshes the buttons at once.
    void undo();
    void redo();

    bool isInterestedInFileDrag (const juce::StringArray& files) override;
    void filesDropped (const juce::StringArray& files, int x, int y) override;

    // The usable area of the screen the panel is on (or of the main screen, before it is on one); tests replace it.
    std::function<juce::Rectangle<int>()> usableScreenArea;
    // The largest window scale whose window fits that area, no smaller than the smallest scale.
    float largestFittingScale() const;
    static float scaleFitting (juce::Rectangle<int> area);

    // The SETTINGS menu as this panel stands, and what its choices do here.
    void showSettingsMenu();
    juce::PopupMenu buildSettingsMenu() const;
    void handleSettingsMenuResult (int code);

    void showModulatorsPage (bool showModulators);

    // A check asked for by the user (manual) speaks up whatever it finds; an automatic one only shows the notice.
    void checkForUpdates (bool manual);
    // Checks a few seconds from now when the automatic check is on and a day has passed since the last one.
    void startAutomaticUpdateCheck();
    // Shows a message of a manual check, or of a setting that could not be saved: a box, unless a test listens.
    std::function<void (const juce::String& text)> showUpdateMessage;

    juce::TextButton& getRandomButton() noexcept { return randomButton; }
    juce::TextButton& getMutateButton() noexcept { return mutateButton; }
    juce::TextButton& getSettingsButton() noexcept { return settingsButton; }
    IconButton& getUndoButton() noexcept { return undoButton; }
    IconButton& getRedoButton() noexcept { return redoButton; }
    juce::TextButton& getModulatorsTab() noexcept { return modulatorsTab; }
    juce::TextButton& getGridTab() noexcept { return gridTab; }
    Knob& getMasterKnob (int k) noexcept { return *masterKnobs[(size_t) k]; }
    EffectPanel& getEffectPanel (tz::EffectId e) noexcept { return *effectPanels[(size_t) e]; }
    PresetBar& getPresetBar() noexcept { return presetBar; }
    PresetBrowser& getPresetBrowser() noexcept { return presetBrowser; }
    UpdateNotice& getUpdateNotice() noexcept { return updateNotice; }
    juce::Viewport& getChainViewport() noexcept { return chainViewport; }
    ModulatorSection& getModulatorSection() noexcept { return modulatorSection; }
    GridView& getGridView() noexcept { return gridView; }
    XYPad& getXYPad() noexcept { return xyPad; }
    tz::ui::FocusOutline& getFocusOutline() noexcept { return focusOutline; }

private:
    void parentHierarchyChanged() override;
    void paintBackground (juce::Graphics&);
    // Moves the dragged effect live to the chain slot under x (in the chain content).
    void moveDraggedEffect (tz::EffectId dragged, int x);
    // Enables the undo and redo buttons and names their steps, when the history moved since the last call.
    void refreshUndoButtons();
    float storedScale() const;

    TazzleAudioProcessor& processor;
    std::function<void (float)> setScale;
    juce::Image logo;
    tz::theme::PaintCache background { true };

    UpdateNotice updateNotice;
    tz::updates::UpdateController updates;
    juce::Viewport chainViewport;
    juce::Component chainContent;
    std::array<std::unique_ptr<EffectPanel>, tz::numEffects> effectPanels;
    std::array<std::unique_ptr<Knob>, 3> masterKnobs;
    ModulatorSection modulatorSection;
    GridView gridView;
    XYPad xyPad;
    juce::TextButton modulatorsTab { "MODULATORS" }, gridTab { "FX GRID" };
    juce::TextButton randomButton { "RANDOM" }, mutateButton { "MUTATE" }, settingsButton { "SETTINGS" };
    IconButton undoButton { IconButton::Icon::undo, {} }, redoButton { IconButton::Icon::redo, {} };
    PresetBar presetBar;
    PresetBrowser presetBrowser;
    tz::ui::FocusOutline focusOutline;

    juce::Random random;
    tz::ChainOrder cachedOrder {};
    int cachedFolded = 0;
    juce::String announcedPresetName;
    int shownHistoryRevision = -1;
    // A header drag that reorders the chain, from press to release, is one user action.
    std::optional<tz::ui::UserAction> reorderAction;
    bool automaticCheckStarted = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainPanel)
};
