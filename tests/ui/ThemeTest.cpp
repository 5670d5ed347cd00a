#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "ui/theme/PedalLooks.h"
#include "ui/theme/TazzleLookAndFeel.h"
#include "ui/theme/Theme.h"

namespace theme = tz::theme;

namespace
{
juce::uint64 pixelHash (const juce::Image& image)
{
    juce::uint64 hash = 14695981039346656037ull;
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
        {
            hash ^= pixels.getPixelColour (x, y).getARGB();
            hash *= 1099511628211ull;
        }
    return hash;
}

// Mean alpha difference between two columns (or rows) of an image.
double meanStep (const juce::Image& image, bool columns, int a, int b)
{
    const int n = columns ? image.getHeight() : image.getWidth();
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const auto pa = columns ? image.getPixelAt (a, i) : image.getPixelAt (i, a);
        const auto pb = columns ? image.getPixelAt (b, i) : image.getPixelAt (i, b);
        sum += std::abs ((int) pa.getAlpha() - (int) pb.getAlpha());
    }
    return sum / n;
}

bool allTransparent (const juce::Image& image)
{
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getAlpha() != 0)
                return false;
    return true;
}
} // namespace

TEST (Theme, ColourTablesWrap)
{
    EXPECT_EQ (theme::effectColour (12), theme::effectColour (2));
    EXPECT_EQ (theme::effectColour (10), juce::Colour (0xffff7a2f));
    EXPECT_EQ (theme::effectColour (4), juce::Colour (0xff4ab8ff));
    EXPECT_EQ (theme::effectColour (9), juce::Colour (0xff3fd6e8));
    EXPECT_EQ (theme::modColour (6), theme::modColour (0));
    EXPECT_EQ (theme::modColour (1), juce::Colour (0xffc2f25a));
    EXPECT_EQ (theme::modColour (5), juce::Colour (0xffffd84a));
}

// Each pedal shows every setting of its own effect once, choices as menus and the rest as knobs.
TEST (Theme, EveryPedalShowsItsOwnEffectsSettings)
{
    const auto& params = tz::allParams();

    for (int e = 0; e < tz::numEffects; ++e)
    {
        const auto effect = (tz::EffectId) e;
        const auto& look = theme::pedalLook (effect);
        SCOPED_TRACE (tz::describe (effect).key);
        EXPECT_EQ (look.effect, effect);

        std::vector<int> shown;
        for (const auto& entry : look.layout.menus)
        {
            EXPECT_EQ (params[(size_t) entry.parameter].kind, tz::ParamKind::Choice) << entry.parameter;
            shown.push_back (entry.parameter);
        }
        for (const auto& entry : look.layout.knobs)
        {
            EXPECT_EQ (params[(size_t) entry.parameter].kind, tz::ParamKind::Float) << entry.parameter;
            shown.push_back (entry.parameter);
        }

        std::vector<int> settings;
        for (int p = 0; p < tz::numFixedParams; ++p)
            if (tz::effectOf ((tz::P) p) == e && p != tz::describe (effect).params.on)
                settings.push_back (p);

        std::sort (shown.begin(), shown.end());
        EXPECT_EQ (shown, settings);
    }
}

TEST (Theme, EmbeddedFaceIsUsedEverywhere)
{
    ASSERT_NE (theme::nexaTypeface(), nullptr);
    EXPECT_EQ (theme::nexaTypeface(), theme::nexaTypeface()); // made once per process
    EXPECT_EQ (theme::nexa (28.0f).getTypefacePtr(), theme::nexaTypeface());
    EXPECT_FLOAT_EQ (theme::nexa (28.0f).getHeight(), 28.0f);
    EXPECT_GT (theme::nexa (20.0f).getStringWidthFloat ("TAZZLE!"), 40.0f);

    TazzleLookAndFeel lookAndFeel;
    juce::Label label ({}, "x");
    label.setFont (juce::Font (17.0f));
    EXPECT_EQ (lookAndFeel.getLabelFont (label).getTypefacePtr(), theme::nexaTypeface());
    EXPECT_FLOAT_EQ (lookAndFeel.getLabelFont (label).getHeight(), 17.0f);
}

TEST (Theme, TexturesAreTheSameOnEveryRun)
{
    const auto& grain = theme::grainTexture();
    const auto& brushed = theme::brushedTexture();
    ASSERT_EQ (grain.getBounds(), juce::Rectangle<int> (0, 0, 384, 384));
    ASSERT_EQ (brushed.getBounds(), juce::Rectangle<int> (0, 0, 256, 96));

    // Fixed seeds: these change only when the generation itself changes.
    EXPECT_EQ (pixelHash (grain), 0x19ffceef1f1c9e63ull) << std::hex << pixelHash (grain);
    EXPECT_EQ (pixelHash (brushed), 0x85a0bbbc56b5ba88ull) << std::hex << pixelHash (brushed);

    EXPECT_EQ (&theme::grainTexture(), &grain); // generated once, shared by every editor
}

TEST (Theme, GrainTilesWithoutASeam)
{
    const auto& grain = theme::grainTexture();

    // Across the tile edge the texture changes no more than between any two neighbouring columns or rows.
    for (const bool columns : { true, false })
    {
        double inside = 0.0;
        for (int i = 0; i < 383; ++i)
            inside += meanStep (grain, columns, i, i + 1);
        inside /= 383.0;

        EXPECT_LT (meanStep (grain, columns, 383, 0), 1.5 * inside) << (columns ? "columns" : "rows");
    }
}

TEST (Theme, PrimitivesCopeWithEmptyAndTinyAreas)
{
    const juce::Rectangle<float> areas[] = { {},
                                             { 10.0f, 10.0f, 0.0f, 5.0f },
                                             { 10.0f, 10.0f, 0.4f, 0.4f },
                                             { 10.0f, 10.0f, 1.0f, 1.0f },
                                             { 10.0f, 10.0f, 3.0f, 2.0f } };

    for (const auto& area : areas)
    {
        juce::Image image (juce::Image::ARGB, 32, 32, true);
        juce::Graphics g (image);
        juce::Path path;
        path.addRectangle (area);

        theme::fillGrain (g, path, 1.0f);
        theme::drawPedal (g, area, theme::accent, true, true);
        theme::drawScreen (g, area, 4.0f);
        theme::drawScrew (g, area.getCentre(), area.getWidth() / 2.0f, 1.0f);

        if (area.isEmpty())
        {
            EXPECT_TRUE (allTransparent (image)) << area.toString();
        }
    }

    TazzleLookAndFeel lookAndFeel;
    juce::Slider slider;
    juce::ToggleButton toggle;
    juce::TextButton button;
    juce::ComboBox box;
    for (const int size : { 0, 1, 3, 8 })
    {
        juce::Image image (juce::Image::ARGB, 32, 32, true);
        juce::Graphics g (image);
        for (auto* c : std::initializer_list<juce::Component*> { &slider, &toggle, &button, &box })
            c->setSize (size, size);

        lookAndFeel.drawRotarySlider (g, 0, 0, size, size, 0.5f, 1.2f * juce::MathConstants<float>::pi,
                                      2.8f * juce::MathConstants<float>::pi, slider);
        lookAndFeel.drawLinearSlider (g, 0, 0, size, size, 0.0f, 0.0f, 0.0f, juce::Slider::LinearHorizontal, slider);
        lookAndFeel.drawToggleButton (g, toggle, false, false);
        lookAndFeel.drawButtonBackground (g, button, {}, true, false);
        lookAndFeel.drawComboBox (g, size, size, false, 0, 0, size, size, box);
        lookAndFeel.drawCornerResizer (g, size, size, true, false);
    }
}

TEST (LookAndFeel, KnobCapsAreRenderedOncePerDiameter)
{
    TazzleLookAndFeel lookAndFeel;
    juce::Slider slider;
    juce::Image image (juce::Image::ARGB, 80, 80, true);
    juce::Graphics g (image);
    const auto draw = [&] (int size)
    {
        lookAndFeel.drawRotarySlider (g, 0, 0, size, size, 0.3f, 1.2f * juce::MathConstants<float>::pi,
                                      2.8f * juce::MathConstants<float>::pi, slider);
    };

    // The cap is min(w, h) - 28 across: 35 gives 7, drawn without an image; 36 gives 8.
    draw (35);
    EXPECT_EQ (lookAndFeel.numCachedKnobCaps(), 0);
    draw (36);
    EXPECT_EQ (lookAndFeel.numCachedKnobCaps(), 1);
    draw (36);
    EXPECT_EQ (lookAndFeel.numCachedKnobCaps(), 1);
    draw (64);
    EXPECT_EQ (lookAndFeel.numCachedKnobCaps(), 2);

    TazzleLookAndFeel another;
    EXPECT_EQ (another.numCachedKnobCaps(), 0); // each editor has its own cache
}

TEST (LookAndFeel, DialFacesAreKeptForTheCurrentPixelScaleOnly)
{
    TazzleLookAndFeel lookAndFeel;
    juce::Slider slider;
    juce::Image image (juce::Image::ARGB, 160, 160, true);
    const auto draw = [&] (float pixelScale, int size)
    {
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale (pixelScale));
        lookAndFeel.drawRotarySlider (g, 0, 0, size, size, 0.3f, 1.2f * juce::MathConstants<float>::pi,
                                      2.8f * juce::MathConstants<float>::pi, slider);
    };

    draw (1.0f, 40);
    draw (1.0f, 60);
    EXPECT_EQ (lookAndFeel.numCachedDialFaces(), 2);
    draw (1.25f, 40);
    EXPECT_EQ (lookAndFeel.numCachedDialFaces(), 1);
    draw (0.85f, 40);
    draw (0.85f, 40);
    EXPECT_EQ (lookAndFeel.numCachedDialFaces(), 1);
}

TEST (LookAndFeel, ScreenButtonIgnoresItsOnColour)
{
    TazzleLookAndFeel lookAndFeel;
    const auto centreOf = [&] (bool screen)
    {
        juce::TextButton button;
        button.setLookAndFeel (&lookAndFeel);
        button.setSize (60, 24);
        button.setToggleState (true, juce::dontSendNotification);
        button.getProperties().set (TazzleLookAndFeel::screenProperty, screen);

        juce::Image image (juce::Image::ARGB, 60, 24, true);
        juce::Graphics g (image);
        lookAndFeel.drawButtonBackground (g, button, {}, false, false);
        button.setLookAndFeel (nullptr);
        return image.getPixelAt (30, 12);
    };

    const auto lit = centreOf (false);
    EXPECT_GT (lit.getRed(), 150); // the accent body
    const auto screen = centreOf (true);
    EXPECT_LT (screen.getRed(), 30);
    EXPECT_LT (screen.getGreen(), 30);
}
