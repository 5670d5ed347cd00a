#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

// The editor's visual language: palette, colour tables, the embedded face, two generated textures and the
// drawing primitives every component shares.
namespace tz::theme
{

inline const juce::Colour background { 0xff16161a };
inline const juce::Colour panel { 0xff222228 };
inline const juce::Colour panelEdge { 0xff2e2e36 };
inline const juce::Colour accent { 0xffff7a2f };
inline const juce::Colour text { 0xffe8e4dc };
inline const juce::Colour dimText { 0xff8a8690 };
// The window's backdrop, top to bottom; the header plate runs from raisedTop down to backdropTop.
inline const juce::Colour backdropTop { 0xff1d1d22 };
inline const juce::Colour backdropBottom { 0xff0e0e11 };
inline const juce::Colour raisedTop { 0xff3a3a42 };
// Faces of buttons and tabs: a tab's top (raisedTop while the pointer is over it), and the bottom they share.
inline const juce::Colour tabTop { 0xff303037 };
inline const juce::Colour faceBottom { 0xff1c1c21 };
// Where light catches the XY pad's puck.
inline const juce::Colour puckHighlight { 0xffffe2c4 };

// Indexed by effect (wraps every numEffects; the colours are the pedals' own) and by modulation source (Mod 1..4,
// X, Y; wraps every six).
juce::Colour effectColour (int effect);
juce::Colour modColour (int source);

juce::Typeface::Ptr nexaTypeface();
juce::Font nexa (float height);

// Generated once per process from fixed seeds, so every run draws the same pixels.
const juce::Image& grainTexture();
const juce::Image& brushedTexture();

void fillGrain (juce::Graphics& g, const juce::Path& area, float opacity);
void drawPedal (juce::Graphics& g, juce::Rectangle<float> area, juce::Colour colour, bool lit, bool withScrews);
void drawScrew (juce::Graphics& g, juce::Point<float> centre, float radius, float angle);
void drawScreen (juce::Graphics& g, juce::Rectangle<float> area, float cornerRadius);

// A five-pointed star around `centre`, its first point at the top, inner points at 0.45 of `outerRadius`.
juce::Path starPath (juce::Point<float> centre, float outerRadius);

// The machined metal of knob skirts and toggle bezels.
juce::ColourGradient bezelGradient (juce::Rectangle<float> area);

// Keeps what a component draws of itself as an image at the screen's pixel scale, so shadows and textures are
// drawn once and then copied. The owner invalidates it whenever what it draws changes.
class PaintCache
{
public:
    // An opaque cache covers every pixel of its bounds, so it is kept without alpha and copied, not blended.
    explicit PaintCache (bool isOpaque = false)
        : opaque (isOpaque)
    {
    }

    void draw (juce::Graphics& g, juce::Rectangle<int> bounds, const std::function<void (juce::Graphics&)>& paint);
    void invalidate() { image = {}; }

private:
    const bool opaque;
    juce::Image image;
    juce::Rectangle<int> imageBounds;
    float imageScale = 0.0f;
};

} // namespace tz::theme
