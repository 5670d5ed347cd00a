#include "ui/PresetBrowser.h"

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/HostWrites.h"
#include "ui/theme/Theme.h"

namespace theme = tz::theme;

namespace
{
constexpr int allCategoriesId = 1;
constexpr int allSourcesId = 1, factoryId = 2, userId = 3, firstPackId = 4;
constexpr int starWidth = 28;
} // namespace

PresetBrowser::PresetBrowser (TazzleAudioProcessor& p)
    : processor (p)
    , library (TazzleAudioProcessor::presetFolder())
{
    search.setTextToShowWhenEmpty ("Type part of a name, a category or a pack", theme::dimText);
    search.setEscapeAndReturnKeysConsumed (false);
    search.onTextChange = [this] { readFilterControls(); };

    categories.addItem ("All categories", allCategoriesId);
    for (int c = 0; c < tz::presetCategories().size(); ++c)
        categories.addItem (tz::presetCategories()[c], allCategoriesId + 1 + c);
    categories.setSelectedId (allCategoriesId, juce::dontSendNotification);
    categories.onChange = [this] { readFilterControls(); };
    sources.onChange = [this] { readFilterControls(); };
    favouritesOnly.setClickingTogglesState (true);
    favouritesOnly.setTooltip ("Show only your favourites");
    favouritesOnly.onClick = [this] { readFilterControls(); };
    done.onClick = [this] { close (true); };
    done.setTooltip ("Keep the preset you are hearing (Enter); Escape goes back to the one you had");

    list.setRowHeight (rowHeight);
    list.setColour (juce::ListBox::backgroundColourId, juce::Colours::transparentBlack);
    list.setWantsKeyboardFocus (true);

    for (juce::Component* c :
         { (juce::Component*) &search, (juce::Component*) &categories, (juce::Component*) &sources,
           (juce::Component*) &favouritesOnly, (juce::Component*) &done, (juce::Component*) &list })
        addAndMakeVisible (*c);

    search.addKeyListener (&keys);
    list.addKeyListener (&keys);
    setWantsKeyboardFocus (true);
    setOpaque (true);
    setVisible (false);
}

PresetBrowser::~PresetBrowser()
{
    search.removeKeyListener (&keys);
    list.removeKeyListener (&keys);
}

//==============================================================================
void PresetBrowser::open()
{
    patchWhenOpened = processor.getParameterState().copyState().createXml();
    fileWhenOpened = processor.getPresetFile();
    // A session's auditions are one step of the undo history, from the patch it opened on to the one kept.
    processor.getUndoHistory().breakMerge();
    rescan();
    setVisible (true);
    toFront (false);
    if (isShowing())
        search.grabKeyboardFocus();
}

void PresetBrowser::close (bool keep)
{
    // Applied as a preset is, so the host hears it as one user action and the usual fades play. It closes the
    // session's step, which then holds nothing and leaves the history as it was before the browser opened.
    if (! keep && patchWhenOpened != nullptr)
    {
        const tz::ui::UserAction action (processor, {}, tz::UndoHistory::presetBrowsing);
        processor.loadPreset (*patchWhenOpened);
        processor.restorePresetOrigin (patchWhenOpened->getStringAttribute (tz::stateIds::presetCategory),
                                       patchWhenOpened->getStringAttribute (tz::stateIds::presetPack));
        if (fileWhenOpened != juce::File())
            processor.setPresetFile (fileWhenOpened);
    }
    patchWhenOpened.reset();
    setVisible (false);
    if (onClosed)
        onClosed();
}

void PresetBrowser::refresh()
{
    if (isOpen() && tz::PresetLibrary::revision() != seenRevision)
        rescan();
}

void PresetBrowser::rescan()
{
    seenRevision = tz::PresetLibrary::revision();
    index = tz::PresetIndex (library.scan(), library.favourites(), tz::factoryPresetFileNames(), library);
    fillSourceBox();
    applyFilter();
}

void PresetBrowser::fillSourceBox()
{
    const auto chosen = sources.getText();
    sources.clear (juce::dontSendNotification);
    sources.addItem ("All sources", allSourcesId);
    sources.addItem ("Factory", factoryId);
    sources.addItem ("Your presets", userId);

    juce::StringArray packs;
    for (const auto& item : index.getItems())
        if (item.entry.pack.isNotEmpty())
            packs.addIfNotAlreadyThere (item.entry.pack);
    if (! packs.isEmpty())
        sources.addSectionHeading ("PACKS");
    for (int i = 0; i < packs.size(); ++i)
        sources.addItem (packs[i], firstPackId + i);

    int id = allSourcesId;
    for (int i = 0; i < sources.getNumItems(); ++i)
        if (sources.getItemText (i) == chosen)
            id = sources.getItemId (i);
    sources.setSelectedId (id, juce::dontSendNotification);
}

void PresetBrowser::readFilterControls()
{
    tz::PresetFilter wanted;
    wanted.text = search.getText();
    wanted.category = categories.getSelectedId() > allCategoriesId ? categories.getText() : juce::String();
    const int source = sources.getSelectedId();
    wanted.anySource = source <= allSourcesId;
    wanted.source = source == factoryId ? tz::PresetSource::factory
        : source == userId              ? tz::PresetSource::user
                                        : tz::PresetSource::pack;
    wanted.pack = source >= firstPackId ? sources.getText() : juce::String();
    wanted.favouritesOnly = favouritesOnly.getToggleState();
    filter = wanted;
    applyFilter();
}

void PresetBrowser::setFilter (const tz::PresetFilter& wanted)
{
    search.setText (wanted.text, juce::dontSendNotification);
    categories.setSelectedId (allCategoriesId + 1 + tz::presetCategories().indexOf (wanted.category),
                              juce::dontSendNotification);
    favouritesOnly.setToggleState (wanted.favouritesOnly, juce::dontSendNotification);
    filter = wanted;
    applyFilter();
}

void PresetBrowser::applyFilter()
{
    shown = index.filter (filter);
    list.updateContent();

    // The preset that is playing stays selected when it is shown, without loading it again: its file when known,
    // else the entry of its name, category and pack, as the preset bar finds it.
    const auto playing = processor.getPresetFile();
    const auto isPlaying = [&] (const tz::PresetEntry& entry)
    {
        return playing != juce::File() ? entry.file == playing
                                       : entry.name() == tz::legalFileStem (processor.getPresetName())
                && entry.category == processor.getPresetCategory() && entry.pack == processor.getPresetPack();
    };
    const juce::ScopedValueSetter<bool> quiet (auditioning, true);
    list.deselectAllRows();
    for (size_t row = 0; row < shown.size(); ++row)
        if (isPlaying (index.getItems()[(size_t) shown[row]].entry))
        {
            selectRow ((int) row);
            break;
        }
    repaint();
}

//==============================================================================
void PresetBrowser::selectRow (int row)
{
    if (row >= 0 && row < (int) shown.size())
    {
        list.selectRow (row);
        list.scrollToEnsureRowIsOnscreen (row);
    }
}

void PresetBrowser::selectedRowsChanged (int row)
{
    if (auditioning || row < 0 || row >= (int) shown.size())
        return;
    const auto& entry = index.getItems()[(size_t) shown[(size_t) row]].entry;
    const tz::ui::UserAction action (processor, tz::stepNames::presetLoad (entry.name()),
                                     tz::UndoHistory::presetBrowsing);
    processor.loadPresetFile (entry.file);
}

void PresetBrowser::listBoxItemClicked (int row, const juce::MouseEvent& event)
{
    if (event.x < starWidth)
        toggleFavourite (row);
}

void PresetBrowser::listBoxItemDoubleClicked (int row, const juce::MouseEvent& event)
{
    if (event.x >= starWidth && row >= 0 && row < (int) shown.size())
        close (true);
}

void PresetBrowser::toggleFavourite (int row)
{
    if (row < 0 || row >= (int) shown.size())
        return;
    const int item = shown[(size_t) row];
    if (library.toggleFavourite (index.getItems()[(size_t) item].entry.file).wasOk())
        index.setFavourite (item, ! index.getItems()[(size_t) item].favourite);
    seenRevision = tz::PresetLibrary::revision(); // the list already shows it
    list.repaintRow (row);
}

bool PresetBrowser::handleKey (const juce::KeyPress& key)
{
    if (key == juce::KeyPress::escapeKey)
    {
        close (false);
        return true;
    }
    if (key == juce::KeyPress::returnKey)
    {
        close (true);
        return true;
    }

    // The arrows move through the list from the search field too, so typing and browsing need no mouse.
    const int row = list.getSelectedRow();
    const int last = (int) shown.size() - 1;
    int target = -1;
    if (key == juce::KeyPress::downKey)
        target = juce::jmin (last, row + 1);
    else if (key == juce::KeyPress::upKey)
        target = row < 0 ? last : juce::jmax (0, row - 1);
    else if (key == juce::KeyPress::pageDownKey)
        target = juce::jmin (last, juce::jmax (0, row) + list.getNumRowsOnScreen());
    else if (key == juce::KeyPress::pageUpKey)
        target = juce::jmax (0, row - list.getNumRowsOnScreen());
    else
        return false;

    if (target >= 0 && target != row)
        selectRow (target);
    return true;
}

//==============================================================================
int PresetBrowser::getNumRows() { return (int) shown.size(); }

void PresetBrowser::paintListBoxItem (int row, juce::Graphics& g, int width, int height, bool selected)
{
    if (row < 0 || row >= (int) shown.size())
        return;
    const auto& item = index.getItems()[(size_t) shown[(size_t) row]];

    if (selected)
        g.fillAll (theme::accent.withAlpha (0.22f));
    else if (row % 2 == 1)
        g.fillAll (juce::Colours::white.withAlpha (0.03f));

    // The star: filled for a favourite, a faint outline otherwise.
    const auto star = theme::starPath ({ (float) starWidth / 2.0f, (float) height / 2.0f }, (float) height * 0.28f);
    if (item.favourite)
    {
        g.setColour (theme::accent);
        g.fillPath (star);
    }
    else
    {
        g.setColour (juce::Colours::white.withAlpha (0.3f));
        g.strokePath (star, juce::PathStrokeType (1.2f));
    }

    const int categoryX = width * 58 / 100, packX = width * 76 / 100;
    g.setFont (theme::nexa ((float) height * 0.5f));
    g.setColour (selected ? theme::accent : theme::text);
    g.drawText (item.entry.name(), starWidth, 0, categoryX - starWidth - 8, height, juce::Justification::centredLeft,
                true);
    g.setFont (theme::nexa ((float) height * 0.42f));
    g.setColour (theme::dimText);
    g.drawText (item.entry.category.toUpperCase(), categoryX, 0, packX - categoryX - 8, height,
                juce::Justification::centredLeft, true);
    g.drawText (item.entry.pack, packX, 0, width - packX - 8, height, juce::Justification::centredLeft, true);
}

void PresetBrowser::paint (juce::Graphics& g)
{
    const auto area = getLocalBounds().toFloat();
    g.fillAll (theme::background);
    g.setColour (theme::panel);
    g.fillRoundedRectangle (area, 8.0f);
    g.setColour (theme::panelEdge);
    g.drawRoundedRectangle (area.reduced (0.5f), 8.0f, 1.0f);

    g.setColour (theme::dimText);
    g.setFont (theme::nexa (12.0f));
    const auto header = list.getBounds().translated (0, -18).withHeight (16);
    g.drawText ("PRESET", header.withTrimmedLeft (starWidth), juce::Justification::centredLeft);
    g.drawText ("CATEGORY", header.withTrimmedLeft (header.getWidth() * 58 / 100), juce::Justification::centredLeft);
    g.drawText ("PACK", header.withTrimmedLeft (header.getWidth() * 76 / 100), juce::Justification::centredLeft);
    g.drawText (juce::String ((int) shown.size()) + " of " + juce::String ((int) index.getItems().size()), header,
                juce::Justification::centredRight);
}

void PresetBrowser::resized()
{
    auto area = getLocalBounds().reduced (14);
    auto top = area.removeFromTop (28);
    done.setBounds (top.removeFromRight (80));
    top.removeFromRight (10);
    favouritesOnly.setBounds (top.removeFromRight (110));
    top.removeFromRight (10);
    sources.setBounds (top.removeFromRight (170));
    top.removeFromRight (10);
    categories.setBounds (top.removeFromRight (150));
    top.removeFromRight (10);
    search.setBounds (top);
    area.removeFromTop (26);
    list.setBounds (area);
}
