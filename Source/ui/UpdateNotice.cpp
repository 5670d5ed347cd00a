#include "ui/UpdateNotice.h"

#include "ui/theme/Theme.h"

namespace theme = tz::theme;

namespace
{
constexpr const char* installNote = "Installs over this version; your presets and settings stay.";
} // namespace

UpdateNotice::UpdateNotice()
{
    for (auto colourId : { juce::TextButton::textColourOffId, juce::TextButton::textColourOnId })
        downloadButton.setColour (colourId, theme::accent);

    downloadButton.setTooltip (juce::String ("Download the installer for this computer. ") + installNote);
    whatsNewButton.setTooltip ("What's new, on " + tz::updates::vendorSite().getDomain());
    dismissButton.setTooltip ("Skip this version");

    downloadButton.onClick = [this] { getDownloadLink().launchInDefaultBrowser(); };
    whatsNewButton.onClick = [this] { getReleaseNotesLink().launchInDefaultBrowser(); };
    dismissButton.onClick = [this]
    {
        setVisible (false);
        if (onSkip)
            onSkip (release.version);
    };

    for (auto* button : { &whatsNewButton, &downloadButton, &dismissButton })
        addAndMakeVisible (*button);
}

void UpdateNotice::show (const tz::updates::Release& newRelease)
{
    release = newRelease;
    setVisible (true);
    resized();
    repaint();
}

juce::String UpdateNotice::getTitle() const { return "TAZZLE " + release.version + " IS AVAILABLE"; }

juce::URL UpdateNotice::getReleaseNotesLink() const
{
    return release.page.isNotEmpty() ? juce::URL (release.page) : tz::updates::vendorSite();
}

juce::URL UpdateNotice::getDownloadLink() const
{
#if JUCE_MAC
    const auto& installer = release.mac;
#elif JUCE_WINDOWS
    const auto& installer = release.windows;
#else
    // No installer is published for other systems; the release notes tell what there is.
    const juce::String installer;
#endif
    return installer.isNotEmpty() ? juce::URL (installer) : getReleaseNotesLink();
}

void UpdateNotice::resized()
{
    const int w = getWidth(), h = getHeight();
    const int usable = w < 7 ? 0 : w - 6;
    const int buttonHeight = juce::jmax (h - 4, 0);

    // Right-aligned from the usable width's right edge, each button clamped to the space left.
    int right = 3 + usable;
    const auto place = [&] (juce::Button& button, int width)
    {
        width = juce::jmin (width, right - 3);
        button.setBounds (right - width, 2, width, buttonHeight);
        right = juce::jmax (3, right - width - 4);
    };
    place (dismissButton, h + 4);
    place (downloadButton, 92);
    place (whatsNewButton, 100);
}

void UpdateNotice::paint (juce::Graphics& g)
{
    const auto bounds = getLocalBounds().toFloat();
    const juce::Rectangle<float> r (0.5f, 0.5f, juce::jmax (0.0f, bounds.getWidth() - 1.0f),
                                    juce::jmax (0.0f, bounds.getHeight() - 1.0f));
    theme::drawScreen (g, r, 5.0f);
    g.setColour (theme::accent.withAlpha ((juce::uint8) 0xcc));
    g.drawRoundedRectangle (r, 5.0f, 1.0f);

    // Title, then the note, both left of WHAT'S NEW with 10 units to spare.
    const int whatsNewX = whatsNewButton.getX();
    const int titleX = whatsNewX < 22 ? whatsNewX - 10 : 12;
    const int space = juce::jmax (0, whatsNewX - 22);
    const auto title = getTitle();
    const auto titleFont = theme::nexa (11.0f);
    const int titleWidth = juce::jmin (space, titleFont.getStringWidth (title) + 14);

    g.setColour (theme::accent);
    g.setFont (titleFont);
    g.drawText (title, titleX, 0, titleWidth, getHeight(), juce::Justification::centredLeft, false);

    g.setColour (theme::dimText);
    g.setFont (theme::nexa (10.0f));
    g.drawFittedText (installNote, titleX + titleWidth, 0, space - titleWidth, getHeight(),
                      juce::Justification::centredLeft, 1, 0.8f);
}
