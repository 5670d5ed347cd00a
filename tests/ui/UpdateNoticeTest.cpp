#include "updates/UpdateTestSupport.h"

#include "ui/UpdateNotice.h"

namespace
{
const tz::updates::Release release { "1.3", "https://quarrowtools.com/tazzle/1-3",
                                     "https://dl.quarrowtools.com/Tazzle-1.3.pkg",
                                     "https://dl.quarrowtools.com/Tazzle-1.3.exe" };
} // namespace

TEST (UpdateNotice, ButtonsLineUpFromTheRight)
{
    const struct
    {
        int width, height;
        juce::Rectangle<int> whatsNew, download, dismiss;
    } cases[] = {
        { 780, 22, { 551, 2, 100, 18 }, { 655, 2, 92, 18 }, { 751, 2, 26, 18 } },
        // Too narrow for all three: each takes what is left, none reaches past the left edge.
        { 130, 22, { 3, 2, 0, 18 }, { 5, 2, 92, 18 }, { 101, 2, 26, 18 } },
        { 40, 30, { 3, 2, 0, 26 }, { 3, 2, 0, 26 }, { 3, 2, 34, 26 } },
        { 6, 3, { 3, 2, 0, 0 }, { 3, 2, 0, 0 }, { 3, 2, 0, 0 } },
    };

    for (const auto& c : cases)
    {
        UpdateNotice notice;
        notice.setSize (c.width, c.height);
        EXPECT_EQ (notice.getWhatsNewButton().getBounds(), c.whatsNew) << c.width;
        EXPECT_EQ (notice.getDownloadButton().getBounds(), c.download) << c.width;
        EXPECT_EQ (notice.getDismissButton().getBounds(), c.dismiss) << c.width;

        // Drawing at any size stays within the notice and needs no window.
        juce::Image image (juce::Image::ARGB, juce::jmax (1, c.width), juce::jmax (1, c.height), true);
        juce::Graphics g (image);
        notice.paintEntireComponent (g, true);
    }
}

TEST (UpdateNotice, ShowsTheReleaseAndWhereItsButtonsLead)
{
    UpdateNotice notice;
    notice.setBounds (0, 0, 780, 22);
    EXPECT_FALSE (notice.isVisible());

    notice.show (release);
    EXPECT_TRUE (notice.isVisible());
    EXPECT_EQ (notice.getRelease(), release);
    EXPECT_EQ (notice.getTitle(), "TAZZLE 1.3 IS AVAILABLE");
    EXPECT_EQ (notice.getDismissButton().getButtonText(), juce::String::charToString (0x00d7));
    EXPECT_EQ (notice.getDismissButton().getTooltip(), "Skip this version");
    EXPECT_TRUE (notice.getDownloadButton().getTooltip().startsWith ("Download the installer for this computer."));
    EXPECT_EQ (notice.getWhatsNewButton().getTooltip(), "What's new, on www.quarrowtools.com");

    EXPECT_EQ (notice.getReleaseNotesLink().toString (false), release.page);
#if JUCE_MAC
    EXPECT_EQ (notice.getDownloadLink().toString (false), release.mac);
#elif JUCE_WINDOWS
    EXPECT_EQ (notice.getDownloadLink().toString (false), release.windows);
#else
    EXPECT_EQ (notice.getDownloadLink().toString (false), release.page); // no installer for this system
#endif

    // Without links, both lead to the vendor's site.
    notice.show ({ "1.4" });
    EXPECT_EQ (notice.getTitle(), "TAZZLE 1.4 IS AVAILABLE");
    EXPECT_EQ (notice.getReleaseNotesLink().toString (false), JucePlugin_ManufacturerWebsite);
    EXPECT_EQ (notice.getDownloadLink().toString (false), JucePlugin_ManufacturerWebsite);
}

TEST (UpdateNotice, DismissHidesItThenSkipsTheVersion)
{
    UpdateNotice notice;
    notice.show (release);

    juce::String skipped;
    bool visibleWhenSkipped = true;
    notice.onSkip = [&] (const juce::String& version)
    {
        skipped = version;
        visibleWhenSkipped = notice.isVisible();
    };
    notice.getDismissButton().onClick();

    EXPECT_EQ (skipped, "1.3");
    EXPECT_FALSE (visibleWhenSkipped);
    EXPECT_FALSE (notice.isVisible());
}
