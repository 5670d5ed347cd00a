#pragma once

#include <functional>
#include <optional>

#include <juce_events/juce_events.h>

#include "updates/Checker.h"
#include "updates/Release.h"

namespace tz::updates
{

// When Tazzle looks for a newer release and what it then tells the user. It draws nothing: the panel shows the
// notice and the messages it is handed.
class UpdateController
{
public:
    static constexpr int automaticCheckDelayMs = 3000;

    explicit UpdateController (Checker& checker);
    ~UpdateController();

    // Shows the notice of a release on offer; shows a message of a manual check, or of a setting not saved.
    std::function<void (const Release& release)> showNotice;
    std::function<void (const juce::String& text)> showMessage;

    // What the last check found, at once and without any network access.
    void showStoredRelease();
    // A check asked for by the user (manual) speaks up whatever it finds; an automatic one only shows the notice.
    void check (bool manual);
    // Checks a few seconds from now when the automatic check is on and a day has passed since the last one.
    void startAutomaticCheck();
    // The user dismissed the notice of `version`: automatic checks no longer offer it.
    void skip (const juce::String& version);
    void toggleAutomaticCheck();

    // What a finished check shows: the notice of a release, a message, or nothing (both empty).
    struct Outcome
    {
        std::optional<Release> notice;
        juce::String message;
    };
    static Outcome outcomeOf (bool ok, const Release& release, bool manual, const juce::String& skippedVersion,
                              const juce::String& server);

private:
    void show (const Outcome& outcome) const;
    void reportSettingsFailure (const juce::Result& saved) const;

    Checker& checker;

    JUCE_DECLARE_WEAK_REFERENCEABLE (UpdateController)
    JUCE_DECLARE_NON_COPYABLE (UpdateController)
};

} // namespace tz::updates
