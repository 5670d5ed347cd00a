#include "ui/MainPanel.h"

#include <algorithm>

#include "UiResources.h"
#include "core/PluginProcessor.h"
#include "presets/RandomPatch.h"
#include "presets/StateDocument.h"
#include "ui/HostWrites.h"
#include "ui/Menus.h"
#include "ui/PluginEditor.h"
#include "ui/PresetFolderActions.h"
#include "ui/SettingsMenu.h"
#include "ui/theme/Theme.h"
#include "updates/Settings.h"

namespace theme = tz::theme;

MainPanel::MainPanel (TazzleAudioProcessor& proc, std::function<void (float)> scaleSetter)
    : processor (proc)
    , setScale (std::move (scaleSetter))
    // Not through the image cache: its timer would be destroyed on whatever thread deletes the last instance.
    , logo (juce::ImageFileFormat::loadFrom (UiResources::QuarrowLogo_png, (size_t) UiResources::QuarrowLogo_pngSize))
    , updates (proc.getUpdateChecker())
    , modulatorSection (proc)
    , gridView (proc)
    , xyPad (proc)
    , presetBar (proc)
    , presetBrowser (proc)
{
    addChildComponent (updateNotice);
    updateNotice.onSkip = [this] (const juce::String& version) { updates.skip (version); };
    updates.showNotice = [this] (const tz::updates::Release& release) { updateNotice.show (release); };
    updates.showMessage = [this] (const juce::String& text) { showUpdateMessage (text); };
    usableScreenArea = [this]
    {
        const auto& displays = juce::Desktop::getInstance().getDisplays();
        const auto* display =
            getPeer() != nullptr ? displays.getDisplayForRect (getScreenBounds()) : displays.getPrimaryDisplay();
        return display != nullptr ? display->userArea : juce::Rectangle<int> (1 << 16, 1 << 16);
    };
    showUpdateMessage = [this] (const juce::String& text)
    {
        juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::NoIcon, tz::updates::messageTitle, text, "OK",
                                                this);
    };

    chainViewport.setViewedComponent (&chainContent, false);
    chainViewport.setScrollBarsShown (false, true);
    addAndMakeVisible (chainViewport);

    const auto chooseModulator = [this] (int n) { modulatorSection.selectModulator (n); };
    for (int e = 0; e < tz::numEffects; ++e)
    {
        auto& panel = effectPanels[(size_t) e];
        panel = std::make_unique<EffectPanel> (processor, (tz::EffectId) e, chooseModulator);
        panel->onDragMove = [this] (tz::EffectId dragged, int x, bool released)
        {
            if (! reorderAction)
                reorderAction.emplace (processor, tz::stepNames::effectOrder);
            moveDraggedEffect (dragged, x);
            if (released)
                reorderAction.reset();
        };
        panel->onFoldChanged = [this] { layoutChain(); };
        chainContent.addAndMakeVisible (*panel);
    }

    const std::pair<tz::P, const char*> masters[] = { { tz::inputGain, "INPUT" },
                                                      { tz::mix, "MIX" },
                                                      { tz::outputGain, "OUTPUT" } };
    for (size_t k = 0; k < masterKnobs.size(); ++k)
    {
        masterKnobs[k] = std::make_unique<Knob> (processor, masters[k].first, masters[k].second, theme::accent);
        masterKnobs[k]->onModulatorChosen = chooseModulator;
        addAndMakeVisible (*masterKnobs[k]);
    }

    addAndMakeVisible (modulatorSection);
    addChildComponent (gridView);
    addAndMakeVisible (xyPad);

    for (auto* tab : { &modulatorsTab, &gridTab })
    {
        tab->setColour (juce::TextButton::buttonOnColourId, theme::panelEdge.brighter (0.15f));
        tab->setColour (juce::TextButton::textColourOnId, theme::text);
        addAndMakeVisible (*tab);
    }
    modulatorsTab.setTooltip ("LFOs and step sequencers that move any knob");
    gridTab.setTooltip ("Paint where each effect plays, Tilemark style");
    modulatorsTab.onClick = [this] { showModulatorsPage (true); };
    gridTab.onClick = [this] { showModulatorsPage (false); };

    randomButton.setTooltip ("A new random patch: gates, filter moves, glitches, textures and space, always musical");
    mutateButton.setTooltip ("A variation of the current sound: knobs nudged, a few steps changed");
    settingsButton.setTooltip ("Window size, preset packs, updates, the web site and the version");
    const auto generate = [this] (void (*generator) (TazzleAudioProcessor&, juce::Random&), const char* name)
    {
        tz::ui::UserAction action (processor, name);
        generator (processor, random);
        action.changedOtherState();
    };
    randomButton.onClick = [generate] { generate (tz::makeRandomPatch, tz::stepNames::random); };
    mutateButton.onClick = [generate] { generate (tz::makeVariation, tz::stepNames::mutate); };
    settingsButton.onClick = [this] { showSettingsMenu(); };
    for (auto* button : { &randomButton, &mutateButton, &settingsButton })
        addAndMakeVisible (*button);
    undoButton.onClick = [this] { undo(); };
    redoButton.onClick = [this] { redo(); };
    for (auto* button : { &undoButton, &redoButton })
        addAndMakeVisible (*button);
    refreshUndoButtons();
    // Any click in the editor that no control keeps brings the keyboard here, for the undo keys.
    setWantsKeyboardFocus (true);

    addAndMakeVisible (presetBar);
    addChildComponent (presetBrowser);
    presetBar.onBrowse = [this]
    {
        if (presetBrowser.isOpen())
            presetBrowser.close (true);
        else
            presetBrowser.open();
        presetBar.getBrowseButton().setToggleState (presetBrowser.isOpen(), juce::dontSendNotification);
    };
    presetBrowser.onClosed = [this]
    {
        presetBar.getBrowseButton().setToggleState (false, juce::dontSendNotification);
        presetBar.refresh();
    };

    tz::ui::describeMainPanel (*this, processor);
    setOpaque (true);
    showModulatorsPage (true);
    cachedOrder = processor.getChainOrder();
    announcedPresetName = processor.getPresetName();
    setSize (designWidth, designHeight);

    updates.showStoredRelease();
}

MainPanel::~MainPanel() { announceToHost(); }

//==============================================================================
void MainPanel::resized()
{
    const int W = getWidth(), H = getHeight();

    presetBar.setBounds ((W - 440) / 2 + 40, 19, 440, 24);
    randomButton.setBounds (presetBar.getRight() + 24, 19, 84, 24);
    mutateButton.setBounds (randomButton.getRight() + 8, 19, 84, 24);
    // Clear of the preset bar, between the generators and SETTINGS.
    undoButton.setBounds (mutateButton.getRight() + 24, 19, 28, 24);
    redoButton.setBounds (undoButton.getRight() + 4, 19, 28, 24);
    settingsButton.setBounds (W - 124, 19, 84, 24);
    updateNotice.setBounds (W - 796, 57, 780, 22);
    chainViewport.setBounds (16, 80, W - 32, 340);
    presetBrowser.setBounds (chainViewport.getBounds());

    xyPad.setBounds (W - 362, 424, 236, H - 436);
    const juce::Rectangle<int> pageArea (16, 424, xyPad.getX() - 14, H - 436);
    modulatorSection.setBounds (pageArea);
    gridView.setBounds (pageArea);
    modulatorsTab.setBounds (34, 436, 100, 22);
    gridTab.setBounds (138, 436, 76, 22);

    const int q = H >= 490 ? (H - 489) / 3 : 0;
    for (int k = 0; k < (int) masterKnobs.size(); ++k)
        masterKnobs[(size_t) k]->setBounds (W - 112, 462 + k * q, 80, q - 6);

    layoutChain();
}

void MainPanel::layoutChain()
{
    cachedFolded = processor.getFoldedEffects();

    int openWidth = 0, total = 0;
    for (auto& panel : effectPanels)
    {
        panel->setCollapsed (EffectPanel::isFolded (processor, panel->getEffect()));
        openWidth += panel->isCollapsed() ? 0 : panel->preferredWidth();
        total += panel->isCollapsed() ? 44 : panel->preferredWidth() + 2;
    }

    const int available = chainViewport.getWidth();
    const float stretch =
        openWidth > 0 ? juce::jmin (1.6f, (float) (available + openWidth - total) / (float) openWidth) : 1.0f;
    int x = 0;
    for (int slot = 0; slot < tz::numEffects; ++slot)
    {
        auto& panel = *effectPanels[(size_t) cachedOrder[(size_t) slot]];
        const int width = panel.isCollapsed() ? 42 : juce::roundToInt ((float) panel.preferredWidth() * stretch);
        panel.setBounds (x, 0, width, 340);
        panel.setPosition (slot);
        panel.repaint();
        x += width + 2;
    }

    chainContent.setSize (juce::jmax (available, x), 340);
}

//==============================================================================
void MainPanel::refresh()
{
    const auto order = processor.getChainOrder();
    const bool orderChanged = order != cachedOrder;
    if (orderChanged)
        cachedOrder = order;

    for (auto& panel : effectPanels)
    {
        if (const bool on = panel->getSwitch().getToggleState(); on != panel->enabled)
        {
            panel->enabled = on;
            panel->repaint();
        }

        if (! panel->isCollapsed())
            for (auto& knob : panel->getKnobs())
                knob->refreshModulation();
    }

    const int folded = processor.getFoldedEffects();
    if (orderChanged || folded != cachedFolded)
        layoutChain();

    for (auto& knob : masterKnobs)
        knob->refreshModulation();

    refreshUndoButtons();
    presetBar.refresh();
    presetBrowser.refresh();
    xyPad.refresh();

    if (modulatorSection.isVisible())
        modulatorSection.refresh();
    else
        gridView.refresh();

    announceToHost();
    focusOutline.follow();
}

void MainPanel::announceToHost()
{
    auto details = juce::AudioProcessorListener::ChangeDetails();
    bool changed = false;

    if (processor.takeNonParameterChange())
    {
        details = details.withNonParameterStateChanged (true);
        changed = true;
    }

    // The host names its one program after the preset.
    if (auto name = processor.getPresetName(); name != announcedPresetName)
    {
        announcedPresetName = std::move (name);
        details = details.withProgramChanged (true);
        changed = true;
    }

    if (changed)
        processor.updateHostDisplay (details);
}

bool MainPanel::keyPressed (const juce::KeyPress& key)
{
    constexpr auto command = juce::ModifierKeys::commandModifier, shift = juce::ModifierKeys::shiftModifier;
    if (key == juce::KeyPress ('z', command, 0))
        undo();
    else if (key == juce::KeyPress ('z', command | shift, 0) || key == juce::KeyPress ('y', command, 0))
        redo();
    else
        return false;
    return true;
}

void MainPanel::undo()
{
    processor.getUndoHistory().undo();
    refreshUndoButtons();
}

void MainPanel::redo()
{
    processor.getUndoHistory().redo();
    refreshUndoButtons();
}

void MainPanel::refreshUndoButtons()
{
    const auto& history = processor.getUndoHistory();
    if (history.getRevision() == shownHistoryRevision)
        return;

    shownHistoryRevision = history.getRevision();
    undoButton.setEnabled (history.canUndo());
    redoButton.setEnabled (history.canRedo());
    undoButton.setTooltip (history.canUndo() ? "Undo: " + history.undoName() : juce::String ("Nothing to undo"));
    redoButton.setTooltip (history.canRedo() ? "Redo: " + history.redoName() : juce::String ("Nothing to redo"));
}

void MainPanel::moveDraggedEffect (tz::EffectId dragged, int x)
{
    auto order = processor.getChainOrder();

    int target = 0;
    while (target < tz::numEffects - 1)
    {
        const auto& panel = *effectPanels[(size_t) order[(size_t) target]];
        if (panel.getX() + panel.getWidth() / 2 > x)
            break;
        ++target;
    }

    const int current = (int) (std::find (order.begin(), order.end(), (int) dragged) - order.begin());
    if (current < target)
        --target;

    if (target != current)
    {
        // Take the effect out and put it back in at the target, shifting what lies between.
        const auto from = order.begin() + current, to = order.begin() + target;
        if (current < target)
            std::move (from + 1, to + 1, from);
        else
            std::move_backward (to, from, from + 1);
        order[(size_t) target] = dragged;
        processor.setChainOrder (order);
        processor.markNonParameterChange();
        cachedOrder = processor.getChainOrder();
        layoutChain();
    }

    // Towards the pointer, a little per move, when it nears either edge of the strip.
    const auto view = chainViewport.getViewPosition();
    chainViewport.autoScroll (x - view.x, 20 - view.y, 60, 12);
}

void MainPanel::parentHierarchyChanged()
{
    // The automatic check waits until the panel is in a window on screen, so pictures, benchmarks and tests of
    // an editor never reach the network.
    if (! automaticCheckStarted && getPeer() != nullptr)
    {
        automaticCheckStarted = true;
        startAutomaticUpdateCheck();
    }
}

void MainPanel::startAutomaticUpdateCheck() { updates.startAutomaticCheck(); }

void MainPanel::checkForUpdates (bool manual) { updates.check (manual); }

void MainPanel::showModulatorsPage (bool showModulators)
{
    modulatorSection.setVisible (showModulators);
    gridView.setVisible (! showModulators);
    modulatorsTab.setToggleState (showModulators, juce::dontSendNotification);
    gridTab.setToggleState (! showModulators, juce::dontSendNotification);
}

//==============================================================================
void MainPanel::paint (juce::Graphics& g)
{
    // Everything drawn here is still, so it is drawn once per pixel scale and then copied.
    background.draw (g, getLocalBounds(), [this] (juce::Graphics& bg) { paintBackground (bg); });
}

void MainPanel::paintBackground (juce::Graphics& g)
{
    const float W = (float) getWidth(), H = (float) getHeight();
    const auto whole = getLocalBounds().toFloat();

    g.setGradientFill (juce::ColourGradient::vertical (theme::backdropTop, 0.0f, theme::backdropBottom, H));
    g.fillRect (whole);
    juce::Path wholePath;
    wholePath.addRectangle (whole);
    theme::fillGrain (g, wholePath, 0.6f);

    const juce::Rectangle<float> plate (14.0f, 6.0f, W - 28.0f, 50.0f);
    juce::Path platePath;
    platePath.addRoundedRectangle (plate, 6.0f);
    juce::DropShadow (juce::Colours::black.withAlpha ((juce::uint8) 0xb2), 10, { 0, 4 }).drawForPath (g, platePath);
    g.setGradientFill (juce::ColourGradient::vertical (theme::raisedTop, 6.0f, theme::backdropTop, 56.0f));
    g.fillPath (platePath);
    {
        const juce::Graphics::ScopedSaveState saved (g);
        g.reduceClipRegion (platePath);
        g.setTiledImageFill (theme::brushedTexture(), 0, 0, 1.0f);
        g.fillRect (plate);

        const auto sheen = juce::Colours::white.withAlpha ((juce::uint8) 0x12);
        const auto clear = juce::Colours::white.withAlpha ((juce::uint8) 0);
        const float middle = plate.getCentreX();
        g.setGradientFill (juce::ColourGradient::horizontal (clear, plate.getX(), sheen, middle));
        g.fillRect (plate.withRight (middle));
        g.setGradientFill (juce::ColourGradient::horizontal (sheen, middle, clear, plate.getRight()));
        g.fillRect (plate.withLeft (middle));
    }
    g.setGradientFill (
        juce::ColourGradient::vertical (juce::Colours::white.withAlpha ((juce::uint8) 0x40), plate.getY(),
                                        juce::Colours::black.withAlpha ((juce::uint8) 0x99), plate.getBottom()));
    g.strokePath (platePath, juce::PathStrokeType (1.0f));

    theme::drawScrew (g, { 23.0f, 31.0f }, 3.2f, 0.7f);
    theme::drawScrew (g, { W - 23.0f, 31.0f }, 3.2f, 2.0f);

    g.drawImage (logo, { 32.0f, 10.0f, 44.0f, 44.0f }, juce::RectanglePlacement::centred);

    g.setFont (theme::nexa (28.0f));
    const struct
    {
        juce::Colour colour;
        int y;
    } titleLayers[] = { { juce::Colours::black.withAlpha ((juce::uint8) 0xbf), 9 },
                        { juce::Colours::white.withAlpha ((juce::uint8) 0x1f), 11 },
                        { theme::text, 10 } };
    for (const auto& layer : titleLayers)
    {
        g.setColour (layer.colour);
        g.drawText ("TAZZLE!", 90, layer.y, 360, 30, juce::Justification::bottomLeft, false);
    }

    g.setColour (theme::accent);
    g.setFont (theme::nexa (11.0f));
    g.drawText ("by QUARROW", 90, 40, 360, 14, juce::Justification::centredLeft, false);

    g.setColour (theme::dimText);
    g.setFont (theme::nexa (10.0f));
    g.drawText ("IN  >  EFFECT CHAIN  >  OUT", 24, 64, 400, 14, juce::Justification::centredLeft, false);

    theme::drawPedal (g, { W - 124.0f, 428.0f, 104.0f, juce::jmax (0.0f, H - 447.0f) }, theme::accent, true, true);
    g.setColour (theme::text.withAlpha ((juce::uint8) 0x99));
    g.setFont (theme::nexa (12.0f));
    g.drawText ("MASTER", juce::Rectangle<float> (W - 124.0f, 436.0f, 104.0f, 34.0f), juce::Justification::centred,
                false);
}

//==============================================================================
bool MainPanel::isInterestedInFileDrag (const juce::StringArray& files)
{
    for (const auto& path : files)
        if (tz::ui::isPresetPack (path))
            return true;
    return false;
}

void MainPanel::filesDropped (const juce::StringArray& files, int, int)
{
    for (const auto& path : files)
        if (tz::ui::isPresetPack (path))
            presetBar.installPresetPack (juce::File (path));
}

//==============================================================================
float MainPanel::storedScale() const { return processor.getUiScale (tz::ui::window::defaultScale); }

float MainPanel::scaleFitting (juce::Rectangle<int> area)
{
    const float fit =
        juce::jmin ((float) area.getWidth() / (float) designWidth, (float) area.getHeight() / (float) designHeight);
    return juce::jlimit (tz::ui::window::minScale, tz::ui::window::maxScale, fit);
}

float MainPanel::largestFittingScale() const { return scaleFitting (usableScreenArea()); }

juce::PopupMenu MainPanel::buildSettingsMenu() const
{
    return tz::ui::settingsMenu::build ({ storedScale(), largestFittingScale(), tz::updates::isAutomaticCheckOn() });
}

void MainPanel::showSettingsMenu()
{
    tz::ui::showMenu (buildSettingsMenu(), settingsButton,
                      [safeThis = juce::Component::SafePointer<MainPanel> (this)] (int code)
                      {
                          if (safeThis != nullptr)
                              safeThis->handleSettingsMenuResult (code);
                      });
}

void MainPanel::handleSettingsMenuResult (int code)
{
    tz::ui::settingsMenu::handleResult (code,
                                        { setScale, [this] { presetBar.choosePresetPack(); }, tz::ui::showPresetsFolder,
                                          [this] { checkForUpdates (true); },
                                          [this] { updates.toggleAutomaticCheck(); },
                                          [] { tz::updates::vendorSite().launchInDefaultBrowser(); } });
}
