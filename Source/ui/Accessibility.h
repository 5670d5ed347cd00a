#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

class TazzleAudioProcessor;
class MainPanel;
class ModulatorSection;
class RouteRow;
class GridView;
class StepEditor;
class XYPad;

// What screen readers and the keyboard reach: names, roles and values for every control, keys that edit
// parameters as one user action each, and the focus outline.
namespace tz::ui
{

// Where a key moves a parameter, as a plain value: the arrows one step (a fine step with Shift), Page Up and Down
// ten steps, Home and End the ends of the range. Nothing for other keys, or with Ctrl, Alt or Command held.
// A step is one value of a stepped parameter, one unit of a linear one and a hundredth of the travel of a skewed one.
std::optional<float> keyedValue (const juce::RangedAudioParameter& parameter, const juce::KeyPress& key);

// Moves parameter p by keyedValue as one user action; false when the key is not one of those.
bool applyValueKey (TazzleAudioProcessor& processor, int p, const juce::KeyPress& key);

bool isPressKey (const juce::KeyPress& key);

// Names a control after parameter p and lets the keyboard reach and move it: the keys above for a slider or a
// menu, Enter or Space to switch a toggle or open a menu. Keys it does not use go on to the host.
void makeParameterControl (juce::Component& control, TazzleAudioProcessor& processor, int p);

// Tab and Shift+Tab over the controls, passing over what only a pointer needs: the scroll areas and the value boxes
// of knobs (the knob itself takes the keys; a click still types a value).
std::unique_ptr<juce::ComponentTraverser> createControlTraverser();

// Names a control and lets Space press it, as Enter does.
void makePressable (juce::Button& button, const juce::String& title);

// A group of controls named after what it holds (an effect's pedal, a page).
std::unique_ptr<juce::AccessibilityHandler> createGroupHandler (juce::Component& group);
// A menu bound to parameter p: named by the component's title, its value the host's text.
std::unique_ptr<juce::AccessibilityHandler> createMenuHandler (juce::ComboBox& menu, TazzleAudioProcessor& processor,
                                                               int p);
// A tab: pressing selects it; the description says what it shows.
std::unique_ptr<juce::AccessibilityHandler> createTabHandler (juce::Component& tab, std::function<void()> select,
                                                              std::function<bool()> isSelected,
                                                              std::function<juce::String()> description);

// An invisible stand-in for one part of a custom view (a grid cell, a step, an axis of the pad): it takes keyboard
// focus and speaks for that part. The view places it over the part; the mouse still goes to the view.
class Proxy : public juce::Component
{
public:
    explicit Proxy (juce::AccessibilityRole role);

    const juce::AccessibilityRole role;
    // Asked each time, so rows that follow the chain order are named after what they show now.
    std::function<juce::String()> title, description;
    // Set for parts that are on or off.
    std::function<bool()> isOn;
    // Enter, Space and a screen reader's press.
    std::function<void()> press;
    // Other keys (moving between cells, say); return true when used.
    std::function<bool (const juce::KeyPress&)> onKey;

    // The parameter the part edits: its value reads as the host's text and the value keys move it.
    void setParameter (TazzleAudioProcessor& processor, int p);

    bool keyPressed (const juce::KeyPress&) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

private:
    TazzleAudioProcessor* processor = nullptr;
    int parameter = -1;
};

// The accent outline around the control that has keyboard focus, drawn over its parent (the main panel). Shown
// only when focus came from the keyboard, so a click leaves the look as it was. Scrolls a focused control into
// its viewport.
class FocusOutline : public juce::Component, private juce::FocusChangeListener
{
public:
    FocusOutline();
    ~FocusOutline() override;

    // Follows the focused control; the editor's refresh calls it, and so does every focus change.
    void follow();
    // The focus a click gave is not shown; focus that moves on from there is.
    void mouseDown (const juce::MouseEvent&) override;

    juce::Component* getShownControl() const noexcept { return shown.get(); }
    void paint (juce::Graphics&) override;

    static constexpr int margin = 3;

private:
    void globalFocusChanged (juce::Component*) override { follow(); }

    juce::WeakReference<juce::Component> shown, focusedByClick;
};

// Names, keys and tab order for the controls of the main panel and its views that have no parameter of their own.
void describeMainPanel (MainPanel&, TazzleAudioProcessor&);
// The selected modulator's controls; again after every rebuild.
void describeModulatorSection (ModulatorSection&, TazzleAudioProcessor&);
void describeRouteRow (RouteRow&, TazzleAudioProcessor&);
// The grid's rows as groups of sixteen step toggles and the row's GRID switch.
void describeGridView (GridView&, TazzleAudioProcessor&);
// The levels and shapes of the steps, while the editor is in Steps mode.
void describeStepEditor (StepEditor&, TazzleAudioProcessor&);
// X and Y as two values.
void describeXYPad (XYPad&, TazzleAudioProcessor&);

} // namespace tz::ui
