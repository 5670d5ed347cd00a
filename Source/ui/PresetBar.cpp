#include "ui/PresetBar.h"

#include <algorithm>
#include <cmath>

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/HostWrites.h"
#include "ui/Menus.h"
#include "ui/PresetFolderActions.h"
#include "ui/theme/TazzleLookAndFeel.h"
#include "ui/theme/Theme.h"

namespace theme = tz::theme;

StarButton::StarButton()
    : juce::Button ("Favourite")
{
}

void StarButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    const auto area = getLocalBounds().toFloat().reduced (3.0f);
    const float outer = juce::jmin (area.getWidth(), area.getHeight()) / 2.0f * (down ? 0.9f : 1.0f);
    if (outer <= 0.0f)
        return;

    const auto star = theme::starPath (area.getCentre(), outer);

    if (getToggleState())
    {
        g.setColour (theme::accent.withAlpha ((juce::uint8) 0x40));
        g.strokePath (star, juce::PathStrokeType (3.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        g.setColour (theme::accent);
        g.fillPath (star);
        return;
    }

    auto colour = highlighted ? theme::accent : juce::Colours::white.withAlpha ((juce::uint8) 0x8c);
    if (! isEnabled())
        colour = colour.withMultipliedAlpha (0.35f);
    g.setColour (colour);
    g.strokePath (star, juce::PathStrokeType (1.3f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

BrowseButton::BrowseButton()
    : juce::Button ("Browse presets")
{
    setTooltip ("Search and audition presets");
}

void BrowseButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    const auto area = getLocalBounds().toFloat().reduced (6.0f);
    const float size = juce::jmin (area.getWidth(), area.getHeight()) * (down ? 0.9f : 1.0f);
    if (size <= 0.0f)
        return;

    const auto box = juce::Rectangle<float> (size, size).withCentre (area.getCentre());
    const auto lens = box.withSize (size * 0.68f, size * 0.68f);
    juce::Path glass;
    glass.addEllipse (lens);
    glass.startNewSubPath (lens.getCentre().translated (size * 0.24f, size * 0.24f));
    glass.lineTo (box.getBottomRight());

    auto colour = highlighted ? theme::accent : juce::Colours::white.withAlpha ((juce::uint8) 0x8c);
    if (getToggleState())
        colour = theme::accent;
    g.setColour (colour);
    g.strokePath (glass, juce::PathStrokeType (1.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

//==============================================================================
PresetBar::PresetBar (TazzleAudioProcessor& p)
    : processor (p)
    , library (TazzleAudioProcessor::presetFolder())
{
    previous.setTooltip ("Previous preset");
    next.setTooltip ("Next preset");
    name.setTooltip ("Click for all presets");
    save.setTooltip ("Save the current settings as a preset");
    name.getProperties().set (TazzleLookAndFeel::screenProperty, true);
    name.setColour (juce::TextButton::textColourOffId, theme::accent);

    previous.onClick = [this] { step (-1); };
    next.onClick = [this] { step (1); };
    name.onClick = [this] { showPresetMenu(); };
    save.onClick = [this] { showSaveDialog(); };
    star.onClick = [this] { toggleFavourite(); };
    browse.onClick = [this]
    {
        if (onBrowse)
            onBrowse();
    };
    reportPackInstallation = [this] (const tz::PackInstallation& installation, const juce::File& pack)
    {
        juce::AlertWindow::showMessageBoxAsync (installation.succeeded() ? juce::MessageBoxIconType::InfoIcon
                                                                         : juce::MessageBoxIconType::WarningIcon,
                                                installation.title(), installation.message (pack), "OK", this);
    };
    reportFailure = [this] (const juce::String& title, const juce::String& message)
    { juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, title, message, "OK", this); };

    for (juce::Component* c : { (juce::Component*) &previous, (juce::Component*) &next, (juce::Component*) &name,
                                (juce::Component*) &save, (juce::Component*) &star, (juce::Component*) &browse })
        addAndMakeVisible (*c);

    refresh();
}

PresetBar::~PresetBar() = default;

void PresetBar::resized()
{
    const int w = getWidth(), h = getHeight();
    const int saveWidth = juce::jmin (w, 60);
    save.setBounds (w - saveWidth, 0, saveWidth, h);

    const int rest = juce::jmax (0, w - saveWidth - 8);
    const int previousWidth = juce::jmin (rest, 26);
    previous.setBounds (0, 0, previousWidth, h);
    const int nextX = juce::jmax (previousWidth, rest - 26);
    next.setBounds (nextX, 0, rest - nextX, h);
    const int starX = juce::jmax (previousWidth, nextX - 26);
    star.setBounds (starX, 0, nextX - starX, h);
    const int browseX = juce::jmax (previousWidth, starX - 26);
    browse.setBounds (browseX, 0, starX - browseX, h);
    const int nameX = previousWidth + 4;
    name.setBounds (nameX, 0, juce::jmax (0, browseX - 4 - nameX), h);
}

//==============================================================================
juce::String PresetBar::displayText() const
{
    const auto category = processor.getPresetCategory(), pack = processor.getPresetPack();
    juce::String text =
        category.isEmpty() ? processor.getPresetName() : category.toUpperCase() + "   " + processor.getPresetName();
    if (pack.isNotEmpty())
        text << "   (" << pack << ")";
    return text;
}

void PresetBar::refresh()
{
    auto text = displayText();
    if (text == shownText)
        return;

    shownText = text;
    name.setButtonText (text);
    refreshStar();
}

int PresetBar::currentIndex (const std::vector<Entry>& entries) const
{
    if (const auto file = processor.getPresetFile(); file != juce::File())
    {
        const auto found =
            std::find_if (entries.begin(), entries.end(), [&] (const Entry& entry) { return entry.file == file; });
        if (found != entries.end())
            return (int) std::distance (entries.begin(), found);
    }
    return tz::PresetLibrary::indexOf (entries, processor.getPresetName(), processor.getPresetCategory(),
                                       processor.getPresetPack());
}

juce::File PresetBar::currentFile() const
{
    const auto entries = presetEntries();
    const int index = currentIndex (entries);
    return index >= 0 ? entries[(size_t) index].file : juce::File();
}

juce::StringArray PresetBar::getFavorites()
{
    return tz::PresetLibrary (TazzleAudioProcessor::presetFolder()).favourites();
}

void PresetBar::refreshStar()
{
    const auto file = currentFile();
    const bool enabled = file != juce::File();
    const bool on = enabled && library.isFavourite (file);

    star.setEnabled (enabled);
    star.setToggleState (on, juce::dontSendNotification);
    star.setTooltip (! enabled ? "Load or save a preset to make it a favourite"
                         : on  ? "A favourite: click to remove it from FAVORITES"
                               : "Click to add this preset to FAVORITES at the top of the preset menu");
}

void PresetBar::toggleFavourite()
{
    if (const auto file = currentFile(); file != juce::File())
        if (const auto written = library.toggleFavourite (file); written.failed() && reportFailure)
            reportFailure ("Favourites", "Tazzle could not change your favourites.\n\n" + written.getErrorMessage());
    refreshStar();
}

void PresetBar::step (int delta)
{
    const auto entries = presetEntries();
    const int target = tz::PresetLibrary::stepTarget (currentIndex (entries), delta, (int) entries.size());
    if (target < 0)
        return;

    {
        const auto& entry = entries[(size_t) target];
        const tz::ui::UserAction action (processor, tz::stepNames::presetLoad (entry.name()));
        processor.loadPresetFile (entry.file);
    }
    refresh();
}

//==============================================================================
juce::PopupMenu PresetBar::buildPresetMenu (const std::vector<Entry>& entries) const
{
    const int current = currentIndex (entries);
    const auto favourites = library.favourites();
    juce::PopupMenu menu;

    bool anyFavourite = false;
    for (size_t i = 0; i < entries.size(); ++i)
    {
        if (! favourites.contains (library.relativePath (entries[i].file)))
            continue;
        if (! anyFavourite)
            menu.addSectionHeader ("FAVORITES");
        anyFavourite = true;
        menu.addItem (firstEntryCode + (int) i, entries[i].name(), true, (int) i == current);
    }
    if (anyFavourite)
        menu.addSectionHeader ("PRESETS");

    menu.addItem (initCode, "Init (everything off)");
    menu.addSeparator();

    // One submenu per category of a pack (or of the main folder), ticked when it holds the current preset.
    const auto addCategories = [&] (juce::PopupMenu& parent, const juce::String& pack)
    {
        for (const auto& category : tz::presetCategories())
        {
            juce::PopupMenu items;
            bool holdsCurrent = false;
            for (size_t i = 0; i < entries.size(); ++i)
            {
                if (entries[i].category != category || entries[i].pack != pack)
                    continue;
                items.addItem (firstEntryCode + (int) i, entries[i].name(), true, (int) i == current);
                holdsCurrent = holdsCurrent || (int) i == current;
            }
            if (items.getNumItems() > 0)
                parent.addSubMenu (category, items, true, nullptr, holdsCurrent);
        }
    };
    addCategories (menu, {});

    juce::StringArray packs;
    for (const auto& entry : entries)
        if (entry.pack.isNotEmpty())
            packs.addIfNotAlreadyThere (entry.pack);

    if (! packs.isEmpty())
    {
        menu.addSectionHeader ("PRESET PACKS");
        for (const auto& pack : packs)
        {
            juce::PopupMenu packMenu;
            addCategories (packMenu, pack);
            menu.addSubMenu (pack, packMenu, true, nullptr, pack == processor.getPresetPack());
        }
    }

    menu.addSeparator();
    menu.addItem (saveCode, "Save preset...");
    menu.addItem (installPackCode, "Install preset pack...");
    menu.addItem (showFolderCode, "Show presets folder");
    return menu;
}

void PresetBar::handlePresetMenuResult (int code, const std::vector<Entry>& entries)
{
    const bool isEntry = code >= firstEntryCode && code - firstEntryCode < (int) entries.size();
    const tz::ui::UserAction action (processor,
                                     code == initCode ? juce::String (tz::stepNames::init)
                                         : isEntry
                                         ? tz::stepNames::presetLoad (entries[(size_t) (code - firstEntryCode)].name())
                                         : juce::String());
    if (code == initCode)
        processor.resetToInit();
    else if (code == saveCode)
        showSaveDialog();
    else if (code == showFolderCode)
        tz::ui::showPresetsFolder();
    else if (code == installPackCode)
        choosePresetPack();
    else if (isEntry)
        processor.loadPresetFile (entries[(size_t) (code - firstEntryCode)].file);

    refresh();
}

void PresetBar::showPresetMenu()
{
    auto entries = presetEntries();
    tz::ui::showMenu (
        buildPresetMenu (entries), name,
        [safeThis = juce::Component::SafePointer<PresetBar> (this), entries = std::move (entries)] (int code)
        {
            if (safeThis != nullptr && code != 0)
                safeThis->handlePresetMenuResult (code, entries);
        });
}

//==============================================================================
void PresetBar::showSaveDialog()
{
    auto* window = new juce::AlertWindow ("Save preset", "Give it a name and pick a category.",
                                          juce::MessageBoxIconType::NoIcon, this);
    if (auto* tazzleLook = dynamic_cast<TazzleLookAndFeel*> (&getLookAndFeel()))
        tazzleLook->adoptWindow (*window);

    const auto currentName = processor.getPresetName();
    window->addTextEditor ("name", currentName == "Init" ? juce::String ("My Preset") : currentName, "Name");

    const auto& categories = tz::presetCategories();
    window->addComboBox ("category", categories, "Category");
    const int category = categories.indexOf (processor.getPresetCategory());
    window->getComboBoxComponent ("category")->setSelectedItemIndex (category >= 0 ? category : categories.size() - 1);

    window->addButton ("Save", 1, juce::KeyPress (juce::KeyPress::returnKey));
    window->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));

    window->enterModalState (true,
                             juce::ModalCallbackFunction::create (
                                 [safeThis = juce::Component::SafePointer<PresetBar> (this), window] (int result)
                                 {
                                     if (safeThis == nullptr)
                                         return;
                                     if (result == 1)
                                         safeThis->saveAs (window->getTextEditorContents ("name"),
                                                           window->getComboBoxComponent ("category")->getText());
                                     safeThis->refresh();
                                 }),
                             true);
}

bool PresetBar::saveAs (const juce::String& presetName, const juce::String& category)
{
    const auto trimmed = presetName.trim();
    if (trimmed.isEmpty())
        return false;

    auto& state = processor.getParameterState().state;
    const auto saved = library.save (state, trimmed, category);
    if (saved.wasOk())
    {
        processor.setSavedAs (trimmed, category);
        processor.setPresetFile (library.fileFor (trimmed, category));
    }
    else if (reportFailure)
    {
        reportFailure ("Save preset", "Tazzle could not save \"" + trimmed + "\".\n\n" + saved.getErrorMessage());
    }
    refresh();
    return saved.wasOk();
}

//==============================================================================
void PresetBar::choosePresetPack()
{
    tz::ui::choosePresetPack (packChooser,
                              [safeThis = juce::Component::SafePointer<PresetBar> (this)] (const juce::File& pack)
                              {
                                  if (safeThis != nullptr)
                                      safeThis->installPresetPack (pack);
                              });
}

void PresetBar::installPresetPack (const juce::File& pack)
{
    const auto installation = library.installPack (pack);
    if (reportPackInstallation)
        reportPackInstallation (installation, pack);
}
