#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "updates/Release.h"

// The line under the header that tells of a newer release; hidden until the update check shows it.
class UpdateNotice : public juce::Component
{
public:
    UpdateNotice();

    // Copies the release, shows the notice and lays out its buttons.
    void show (const tz::updates::Release& release);

    // Called with the release's version when the user dismisses the notice (after it hides).
    std::function<void (const juce::String& version)> onSkip;

    const tz::updates::Release& getRelease() const noexcept { return release; }
    juce::String getTitle() const;

    // WHAT'S NEW: the release notes, or the vendor's site when the release names none.
    juce::URL getReleaseNotesLink() const;
    // DOWNLOAD: the installer for this system when the release has one, else where WHAT'S NEW leads.
    juce::URL getDownloadLink() const;

    juce::TextButton& getDownloadButton() noexcept { return downloadButton; }
    juce::TextButton& getWhatsNewButton() noexcept { return whatsNewButton; }
    juce::TextButton& getDismissButton() noexcept { return dismissButton; }

    void paint (juce::Graphics&) override;
    void resized() override;

private:
    tz::updates::Release release;
    juce::TextButton downloadButton { "DOWNLOAD" }, whatsNewButton { "WHAT'S NEW" };
    juce::TextButton dismissButton { juce::String::charToString (0x00d7) };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateNotice)
};
