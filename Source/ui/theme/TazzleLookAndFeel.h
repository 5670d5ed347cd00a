#pragma once

#include <map>
#include <tuple>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

// Makes the framework's standard controls speak the editor's visual language.
class TazzleLookAndFeel : public juce::LookAndFeel_V4
{
public:
    TazzleLookAndFeel();
    ~TazzleLookAndFeel() override;

    // Tooltips and alert windows in the embedded face: a juce::Font made without a typeface resolves through the
    // process's default look and feel, not this one.
    juce::Rectangle<int> getTooltipBounds (const juce::String& tipText, juce::Point<int> screenPos,
                                           juce::Rectangle<int> parentArea) override;
    void drawTooltip (juce::Graphics&, const juce::String& text, int width, int height) override;
    juce::Font getAlertWindowTitleFont() override;
    juce::Font getAlertWindowMessageFont() override;
    juce::Font getAlertWindowFont() override;

    // Alert windows live on the desktop, outside the editor, so they take this look and feel by hand; those still
    // open when it goes (the editor closed) are dismissed first.
    juce::AlertWindow* createAlertWindow (const juce::String& title, const juce::String& message,
                                          const juce::String& button1, const juce::String& button2,
                                          const juce::String& button3, juce::MessageBoxIconType iconType,
                                          int numButtons, juce::Component* associatedComponent) override;
    void adoptWindow (juce::Component& window);

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    void drawToggleButton (juce::Graphics&, juce::ToggleButton&, bool shouldDrawButtonAsHighlighted,
                           bool shouldDrawButtonAsDown) override;
    juce::Font getPopupMenuFont() override;
    void drawComboBox (juce::Graphics&, int width, int height, bool isButtonDown, int buttonX, int buttonY, int buttonW,
                       int buttonH, juce::ComboBox&) override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;
    void positionComboBoxText (juce::ComboBox&, juce::Label&) override;
    juce::Font getLabelFont (juce::Label&) override;
    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos, float minSliderPos,
                           float maxSliderPos, juce::Slider::SliderStyle, juce::Slider&) override;
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPosProportional,
                           float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;
    juce::Label* createSliderTextBox (juce::Slider&) override;
    void drawCornerResizer (juce::Graphics&, int w, int h, bool isMouseOver, bool isMouseDragging) override;

    // Cap diameters (in design units) rendered so far; each is drawn once, then blitted.
    int numCachedKnobCaps() const noexcept { return (int) knobCaps.size(); }
    int numCachedDialFaces() const noexcept { return (int) dialFaces.size(); }

    // A text button with this property set true is drawn as a recessed screen.
    static inline const juce::Identifier screenProperty { "screen" };

private:
    const juce::Image& knobCap (int diameter);
    const juce::Image& dialFace (int width, int height, float startAngle, float endAngle, float pixelScale);

    std::map<int, juce::Image> knobCaps;
    std::vector<juce::Component::SafePointer<juce::Component>> adoptedWindows;
    // Width, height and the two angles in thousandths, at the pixel scale in hundredths.
    using DialFaceKey = std::tuple<int, int, int, int>;
    std::map<DialFaceKey, juce::Image> dialFaces;
    int dialFaceScale = 0;
};
