#include "ui/theme/Theme.h"

#include <array>
#include <cmath>

#include "UiResources.h"
#include "ui/theme/PedalLooks.h"

namespace tz::theme
{

juce::Colour effectColour (int effect)
{
    return pedalLook ((EffectId) (((effect % numEffects) + numEffects) % numEffects)).colour;
}

juce::Colour modColour (int source)
{
    static const std::array<juce::Colour, 6> colours {
        juce::Colour (0xff59f0d2), juce::Colour (0xffc2f25a), juce::Colour (0xffff6ad5),
        juce::Colour (0xfff2f2f2), juce::Colour (0xffff9a3c), juce::Colour (0xffffd84a),
    };
    const int n = (int) colours.size();
    return colours[(size_t) (((source % n) + n) % n)];
}

juce::Typeface::Ptr nexaTypeface()
{
    static const juce::Typeface::Ptr typeface = juce::Typeface::createSystemTypefaceFor (
        UiResources::LeagueSpartanBold_otf, (size_t) UiResources::LeagueSpartanBold_otfSize);
    return typeface;
}

juce::Font nexa (float height) { return juce::Font (nexaTypeface()).withHeight (height); }

//==============================================================================
namespace
{
    constexpr int grainSize = 384;

    // Smoothly interpolated lattice noise whose lattice wraps, so the texture tiles.
    struct ValueNoise
    {
        ValueNoise (int latticeSize, juce::Random& random)
            : k (latticeSize)
            , lattice ((size_t) (latticeSize * latticeSize))
        {
            for (auto& v : lattice)
                v = random.nextFloat();
        }

        float at (int x, int y) const
        {
            const float u = (float) x * (float) k / (float) grainSize;
            const float v = (float) y * (float) k / (float) grainSize;
            const int cx = (int) std::floor (u), cy = (int) std::floor (v);
            const float sx = smooth (u - (float) cx), sy = smooth (v - (float) cy);

            const float top = juce::jmap (sx, cell (cx, cy), cell (cx + 1, cy));
            const float bottom = juce::jmap (sx, cell (cx, cy + 1), cell (cx + 1, cy + 1));
            return juce::jmap (sy, top, bottom);
        }

        float cell (int x, int y) const { return lattice[(size_t) ((y % k) * k + (x % k))]; }
        static float smooth (float t) { return t * t * (3.0f - 2.0f * t); }

        int k;
        std::vector<float> lattice;
    };

    juce::PixelARGB greyPixel (bool white, float alpha)
    {
        const auto a = (juce::uint8) juce::roundToInt (alpha * 255.0f);
        const juce::uint8 level = white ? 255 : 0;
        juce::PixelARGB pixel (a, level, level, level);
        pixel.premultiply();
        return pixel;
    }

    juce::Image makeGrainTexture()
    {
        juce::Image image (juce::Image::ARGB, grainSize, grainSize, true);
        juce::Random random (1234);

        const ValueNoise n4 (4, random), n8 (8, random), n16 (16, random), n48 (48, random);

        {
            const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);

            for (int y = 0; y < grainSize; ++y)
            {
                for (int x = 0; x < grainSize; ++x)
                {
                    const float n =
                        0.45f * n4.at (x, y) + 0.28f * n8.at (x, y) + 0.17f * n16.at (x, y) + 0.10f * n48.at (x, y);
                    const float r = random.nextFloat();
                    const float v = (n - 0.5f) * 1.6f + (r - 0.5f) * 0.22f;
                    const float alpha = juce::jmin (std::abs (v) * 0.32f, 0.2f);
                    *reinterpret_cast<juce::PixelARGB*> (pixels.getPixelPointer (x, y)) = greyPixel (v > 0.0f, alpha);
                }
            }
        }

        // Scratches, each drawn at every wrapped offset so they cross the tile edges unbroken.
        juce::Graphics g (image);
        const float size = (float) grainSize;

        for (int i = 0; i < 260; ++i)
        {
            const float x0 = random.nextFloat() * size;
            const float y0 = random.nextFloat() * size;
            const float length = random.nextFloat() * 38.0f + 6.0f;
            float angle = random.nextFloat() * 0.5f - 0.6f;
            if (random.nextFloat() < 0.2f)
                angle += 1.6f;
            const bool white = random.nextFloat() < 0.6f;
            const float alpha = random.nextFloat() * 0.045f + 0.025f;

            const float x1 = x0 + std::cos (angle) * length;
            const float y1 = y0 + std::sin (angle) * length;
            g.setColour ((white ? juce::Colours::white : juce::Colours::black).withAlpha (alpha));

            for (float dx : { -size, 0.0f, size })
                for (float dy : { -size, 0.0f, size })
                    g.drawLine (x0 + dx, y0 + dy, x1 + dx, y1 + dy, random.nextFloat() * 0.9f + 0.6f);
        }

        return image;
    }

    juce::Image makeBrushedTexture()
    {
        constexpr int width = 256, height = 96;
        juce::Image image (juce::Image::ARGB, width, height, true);
        juce::Random random (99);
        const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);

        for (int y = 0; y < height; ++y)
        {
            const float rowBias = 2.0f * random.nextFloat() - 1.0f;
            float sum = 0.0f;

            for (int x = 0; x < width; ++x)
            {
                sum = 0.92f * sum + 0.08f * (2.0f * random.nextFloat() - 1.0f);
                const float d = 0.7f * rowBias + 2.5f * sum;
                const float alpha = juce::jmin (std::abs (d) * 0.09f, 0.16f);
                *reinterpret_cast<juce::PixelARGB*> (pixels.getPixelPointer (x, y)) = greyPixel (d > 0.0f, alpha);
            }
        }

        return image;
    }
} // namespace

const juce::Image& grainTexture()
{
    static const juce::Image image = makeGrainTexture();
    return image;
}

const juce::Image& brushedTexture()
{
    static const juce::Image image = makeBrushedTexture();
    return image;
}

//==============================================================================
void fillGrain (juce::Graphics& g, const juce::Path& area, float opacity)
{
    const juce::Graphics::ScopedSaveState saved (g);
    g.setTiledImageFill (grainTexture(), 0, 0, opacity);
    g.fillPath (area);
}

juce::ColourGradient bezelGradient (juce::Rectangle<float> area)
{
    juce::ColourGradient gradient (juce::Colour (0xffe8e8ec), area.getTopLeft(), juce::Colour (0xff2a2a30),
                                   area.getBottomRight(), false);
    gradient.addColour (0.35, juce::Colour (0xff9a9aa3));
    gradient.addColour (0.55, juce::Colour (0xff4d4d55));
    gradient.addColour (0.8, juce::Colour (0xffa5a5ae));
    return gradient;
}

void PaintCache::draw (juce::Graphics& g, juce::Rectangle<int> bounds,
                       const std::function<void (juce::Graphics&)>& paint)
{
    const float scale = g.getInternalContext().getPhysicalPixelScaleFactor();
    if (image.isNull() || scale != imageScale || bounds != imageBounds)
    {
        imageScale = scale;
        imageBounds = bounds;
        image = juce::Image (opaque ? juce::Image::RGB : juce::Image::ARGB,
                             juce::jmax (1, juce::roundToInt ((float) bounds.getWidth() * scale)),
                             juce::jmax (1, juce::roundToInt ((float) bounds.getHeight() * scale)), true);
        juce::Graphics cached (image);
        cached.addTransform (
            juce::AffineTransform::translation ((float) -bounds.getX(), (float) -bounds.getY()).scaled (scale));
        paint (cached);
    }

    g.drawImageTransformed (
        image,
        juce::AffineTransform::scale (1.0f / imageScale).translated ((float) bounds.getX(), (float) bounds.getY()));
}

void drawPedal (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour, bool lit, bool withScrews)
{
    if (area.isEmpty())
        return;

    juce::Path body;
    body.addRoundedRectangle (area, 12.0f);

    juce::DropShadow (juce::Colours::black.withAlpha ((juce::uint8) 0xcc), 12, { 0, 5 }).drawForPath (g, body);

    g.setGradientFill (juce::ColourGradient::vertical (juce::Colour (0xff2e2e35), area.getY(),
                                                       juce::Colour (0xff141417), area.getBottom()));
    g.fillPath (body);
    fillGrain (g, body, 1.0f);

    {
        const juce::Graphics::ScopedSaveState saved (g);
        g.reduceClipRegion (body);
        g.setGradientFill (juce::ColourGradient (
            juce::Colours::white.withAlpha ((juce::uint8) 0x0d), area.getTopLeft(),
            juce::Colours::white.withAlpha ((juce::uint8) 0),
            { area.getX() + 0.5f * area.getWidth(), area.getY() + 0.45f * area.getHeight() }, false));
        g.fillRect (area);
    }

    g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::white.withAlpha ((juce::uint8) 0x29), area.getY(),
                                                       juce::Colours::black.withAlpha ((juce::uint8) 0x80),
                                                       area.getBottom()));
    g.strokePath (body, juce::PathStrokeType (1.0f));

    if (lit)
    {
        const juce::Rectangle<float> strip (area.getX() + 12.0f, area.getY() + 0.5f,
                                            juce::jmax (0.0f, area.getWidth() - 24.0f), 2.0f);
        const struct
        {
            float longer, high;
            juce::uint8 alpha;
        } halos[] = { { 9.0f, 8.0f, 0x1a }, { 6.0f, 6.0f, 0x33 }, { 3.0f, 4.0f, 0x4c } };

        for (const auto& halo : halos)
        {
            g.setColour (colour.withAlpha (halo.alpha));
            g.fillRoundedRectangle (strip.withSizeKeepingCentre (strip.getWidth() + halo.longer, halo.high), 2.0f);
        }

        g.setColour (colour);
        g.fillRoundedRectangle (strip, 1.0f);
    }

    if (withScrews)
    {
        const float inset = 8.0f, radius = 2.8f;
        drawScrew (g, { area.getX() + inset, area.getY() + inset }, radius, 0.6f);
        drawScrew (g, { area.getRight() - inset, area.getY() + inset }, radius, 2.1f);
        drawScrew (g, { area.getX() + inset, area.getBottom() - inset }, radius, 1.2f);
        drawScrew (g, { area.getRight() - inset, area.getBottom() - inset }, radius, 0.2f);
    }
}

void drawScrew (juce::Graphics& g, juce::Point<float> centre, float radius, float angle)
{
    if (radius <= 0.0f)
        return;

    const float shadowSize = 2.0f * radius + 1.2f;
    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x8c));
    g.fillEllipse (juce::Rectangle<float> (shadowSize, shadowSize).withCentre (centre.translated (0.0f, 0.8f)));

    const auto head = juce::Rectangle<float> (2.0f * radius, 2.0f * radius).withCentre (centre);
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff6d6d76), head.getTopLeft(), juce::Colour (0xff26262b),
                                             head.getBottomRight(), false));
    g.fillEllipse (head);

    juce::Path slot;
    slot.addRectangle (juce::Rectangle<float> (1.5f * radius, 1.2f).withCentre (centre));
    g.setColour (juce::Colour (0xff141417));
    g.fillPath (slot, juce::AffineTransform::rotation (angle, centre.x, centre.y));
}

void drawScreen (juce::Graphics& g, juce::Rectangle<float> area, float cornerRadius)
{
    if (area.isEmpty())
        return;

    g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x0f));
    g.drawRoundedRectangle (area.translated (0.0f, 1.0f), cornerRadius, 1.0f);

    juce::Path screen;
    screen.addRoundedRectangle (area, cornerRadius);
    g.setGradientFill (juce::ColourGradient::vertical (juce::Colour (0xff07080b), area.getY(),
                                                       juce::Colour (0xff0f1116), area.getBottom()));
    g.fillPath (screen);

    {
        const juce::Graphics::ScopedSaveState saved (g);
        g.reduceClipRegion (screen);
        const auto top = area.withHeight (juce::jmin (8.0f, area.getHeight()));
        g.setGradientFill (juce::ColourGradient::vertical (juce::Colours::black.withAlpha ((juce::uint8) 0x99),
                                                           top.getY(), juce::Colours::transparentBlack,
                                                           top.getY() + 8.0f));
        g.fillRect (top);
    }

    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0xcc));
    g.drawRoundedRectangle (area.reduced (0.5f), cornerRadius, 1.0f);
}

juce::Path starPath (juce::Point<float> centre, float outerRadius)
{
    juce::Path star;
    for (int i = 0; i < 10; ++i)
    {
        const auto point = centre.getPointOnCircumference (i % 2 == 0 ? outerRadius : 0.45f * outerRadius,
                                                           (float) i * juce::MathConstants<float>::pi / 5.0f);
        if (i == 0)
            star.startNewSubPath (point);
        else
            star.lineTo (point);
    }
    star.closeSubPath();
    return star;
}

} // namespace tz::theme
