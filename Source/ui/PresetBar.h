#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "presets/PresetLibrary.h"

class TazzleAudioProcessor;

// The favourite star: outlined when off, filled when on.
class StarButton : public juce::Button
{
public:
    StarButton();
    void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
};

// The magnifier that opens the preset browser.
class BrowseButton : public juce::Button
{
public:
    BrowseButton();
    void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
};

// Browses, loads, saves and stars presets, and installs preset packs.
class PresetBar : public juce::Component
{
public:
    using Entry = tz::PresetEntry;

    explicit PresetBar (TazzleAudioProcessor& processor);
    ~PresetBar() override;

    void refresh();
    void refreshStar();

    std::vector<Entry> presetEntries() const { return library.scan(); }
    int currentIndex (const std::vector<Entry>& entries) const;
    juce::File currentFile() const;
    static juce::StringArray getFavorites();

    void step (int delta);
    void toggleFavourite();

    juce::PopupMenu buildPresetMenu (const std::vector<Entry>& entries) const;
    void handlePresetMenuResult (int code, const std::vector<Entry>& entries);
    void showPresetMenu();

    void showSaveDialog();
    // What the save dialog does with its fields; nothing for an empty name. False, and the user told why, when
    // nothing could be saved.
    bool saveAs (const juce::String& name, const juce::String& category);

    void choosePresetPack();
    void installPresetPack (const juce::File& pack);

    // Tells the user how an installation went; a message box unless replaced (tests have no screen).
    std::function<void (const tz::PackInstallation&, const juce::File& pack)> reportPackInstallation;
    // Tells the user that a save or a favourite could not be written; a message box unless replaced.
    std::function<void (const juce::String& title, const juce::String& message)> reportFailure;

    juce::String displayText() const;

    void resized() override;

    juce::TextButton& getPreviousButton() noexcept { return previous; }
    juce::TextButton& getNextButton() noexcept { return next; }
    juce::TextButton& getNameButton() noexcept { return name; }
    juce::TextButton& getSaveButton() noexcept { return save; }
    StarButton& getStar() noexcept { return star; }
    BrowseButton& getBrowseButton() noexcept { return browse; }

    // Opens or closes the preset browser; set by the panel that holds it.
    std::function<void()> onBrowse;

    enum MenuCode
    {
        initCode = 1,
        saveCode = 2,
        showFolderCode = 3,
        installPackCode = 4,
        firstEntryCode = 100
    };

private:
    TazzleAudioProcessor& processor;
    tz::PresetLibrary library;
    juce::TextButton previous { "<" }, next { ">" }, name, save { "SAVE" };
    StarButton star;
    BrowseButton browse;
    juce::String shownText { "-" };
    std::unique_ptr<juce::FileChooser> packChooser;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetBar)
};
