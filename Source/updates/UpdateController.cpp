#include "updates/UpdateController.h"

#include "updates/Settings.h"

namespace tz::updates
{

UpdateController::UpdateController (Checker& c)
    : checker (c)
{
}

UpdateController::~UpdateController() = default;

UpdateController::Outcome UpdateController::outcomeOf (bool ok, const Release& release, bool manual,
                                                       const juce::String& skippedVersion, const juce::String& server)
{
    // A manual check offers a release even when an automatic one was told to skip it.
    if (ok && offersUpdate (release, manual ? juce::String() : skippedVersion))
        return { release, {} };

    if (! manual)
        return {};

    return { std::nullopt,
             ok                               ? latestVersionMessage()
                 : switchesChecksOff (server) ? switchedOffMessage()
                                              : unreachableMessage (hostOf (server)) };
}

void UpdateController::show (const Outcome& outcome) const
{
    if (outcome.notice && showNotice)
        showNotice (*outcome.notice);
    else if (outcome.message.isNotEmpty() && showMessage)
        showMessage (outcome.message);
}

void UpdateController::showStoredRelease()
{
    const auto stored = storedRelease();
    if (offersUpdate (stored, getSetting (keys::skippedVersion, {})) && showNotice)
        showNotice (stored);
}

void UpdateController::check (bool manual)
{
    checker.check (
        [weakThis = juce::WeakReference<UpdateController> (this), manual] (bool ok, const Release& release)
        {
            // Remembered even when the editor has closed meanwhile.
            if (ok)
                storeRelease (release, juce::Time::currentTimeMillis());
            if (auto* controller = weakThis.get())
                controller->show (
                    outcomeOf (ok, release, manual, getSetting (keys::skippedVersion, {}), serverAddress()));
        });
}

void UpdateController::startAutomaticCheck()
{
    if (! isAutomaticCheckDue (juce::Time::currentTimeMillis()))
        return;

    juce::Timer::callAfterDelay (automaticCheckDelayMs,
                                 [weakThis = juce::WeakReference<UpdateController> (this)]
                                 {
                                     if (auto* controller = weakThis.get())
                                         controller->check (false);
                                 });
}

void UpdateController::skip (const juce::String& version)
{
    reportSettingsFailure (saveSettings ({ { keys::skippedVersion, version } }, true));
}

void UpdateController::toggleAutomaticCheck() { reportSettingsFailure (setAutomaticCheck (! isAutomaticCheckOn())); }

void UpdateController::reportSettingsFailure (const juce::Result& saved) const
{
    if (saved.failed() && showMessage)
        showMessage ("Tazzle could not save its settings.\n\n" + saved.getErrorMessage());
}

} // namespace tz::updates
