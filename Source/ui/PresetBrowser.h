#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "presets/PresetSearch.h"

class TazzleAudioProcessor;

// Finds presets by typing and auditions them: moving through the list loads each one (with the usual preset-load
// fades); Enter or a double-click keeps it, Escape goes back to the patch that was playing when it opened,
// unsaved changes and all. Lives over the effect chain while it is open.
class PresetBrowser : public juce::Component, private juce::ListBoxModel
{
public:
    explicit PresetBrowser (TazzleAudioProcessor& processor);
    ~PresetBrowser() override;

    // Scans the library, remembers the patch to go back to and puts the keyboard in the search field.
    void open();
    // Keeps the patch now loaded (keep), or restores the one from when it opened; then hides.
    void close (bool keep);
    bool isOpen() const noexcept { return isVisible(); }

    // Follows the library (saves, installed packs, favourites) and the preset loaded elsewhere; the editor's
    // refresh calls it.
    void refresh();

    // Called after the browser has hidden itself.
    std::function<void()> onClosed;

    void setFilter (const tz::PresetFilter& filter);
    const tz::PresetFilter& getFilter() const noexcept { return filter; }
    // The presets shown, as indices into the index's items, and the one selected (-1 for none).
    const std::vector<int>& getShown() const noexcept { return shown; }
    const tz::PresetIndex& getIndex() const noexcept { return index; }
    int getSelectedRow() const { return list.getSelectedRow(); }
    // Selects a row and auditions its preset, as a click or an arrow key does.
    void selectRow (int row);

    juce::TextEditor& getSearchField() noexcept { return search; }
    juce::ComboBox& getCategoryBox() noexcept { return categories; }
    juce::ComboBox& getSourceBox() noexcept { return sources; }
    juce::TextButton& getFavouritesButton() noexcept { return favouritesOnly; }
    juce::ListBox& getList() noexcept { return list; }

    static constexpr int rowHeight = 26;

    void paint (juce::Graphics&) override;
    void resized() override;
    bool keyPressed (const juce::KeyPress& key) override { return handleKey (key); }

private:
    int getNumRows() override;
    void paintListBoxItem (int row, juce::Graphics&, int width, int height, bool selected) override;
    void selectedRowsChanged (int lastRowSelected) override;
    void listBoxItemClicked (int row, const juce::MouseEvent&) override;
    void listBoxItemDoubleClicked (int row, const juce::MouseEvent&) override;
    bool handleKey (const juce::KeyPress&);

    void rescan();
    void applyFilter();
    void readFilterControls();
    void fillSourceBox();
    void toggleFavourite (int row);

    TazzleAudioProcessor& processor;
    tz::PresetLibrary library;
    tz::PresetIndex index;
    tz::PresetFilter filter;
    std::vector<int> shown;
    int seenRevision = -1;

    std::unique_ptr<juce::XmlElement> patchWhenOpened;
    juce::File fileWhenOpened;
    bool auditioning = false; // selections made by the browser itself load nothing

    juce::TextEditor search;
    juce::ComboBox categories, sources;
    juce::TextButton favouritesOnly { "FAVORITES" };
    juce::TextButton done { "DONE" };
    juce::ListBox list { "Presets", this };

    // The search field and the list would use the arrows and Enter themselves; the browser's keys come first.
    struct Keys : juce::KeyListener
    {
        explicit Keys (PresetBrowser& b)
            : browser (b)
        {
        }
        bool keyPressed (const juce::KeyPress& key, juce::Component*) override { return browser.handleKey (key); }
        PresetBrowser& browser;
    } keys { *this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetBrowser)
};
