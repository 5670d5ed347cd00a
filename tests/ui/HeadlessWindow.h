#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace tz::test
{

// A window with no display behind it. What it holds is showing, as on screen: controls take keyboard focus, keys
// reach them through the window as a platform's key events do (Tab moving the focus when nobody uses it), and
// screen readers' visibility rules apply.
class HeadlessWindow : public juce::Component
{
public:
    explicit HeadlessWindow (juce::Component& content)
    {
        setBounds (content.getLocalBounds());
        addAndMakeVisible (content);
        addToDesktop (0);
        setVisible (true);
    }

    ~HeadlessWindow() override
    {
        removeFromDesktop();
        removeAllChildren();
    }

    // True when a control (or the window) used the key; false when it would go on to the host.
    bool press (const juce::KeyPress& key) { return getPeer()->handleKeyPress (key); }
    bool press (int keyCode, juce::ModifierKeys modifiers = {})
    {
        return press (juce::KeyPress (keyCode, modifiers, keyCode == juce::KeyPress::spaceKey ? ' ' : 0));
    }

    // A left click at a point of the window, through the window as the platform's mouse events come.
    void click (juce::Point<float> at)
    {
        for (const int mods : { (int) juce::ModifierKeys::leftButtonModifier, 0 })
            getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, at, juce::ModifierKeys (mods),
                                         juce::MouseInputSource::defaultPressure,
                                         juce::MouseInputSource::defaultOrientation, juce::Time::currentTimeMillis());
    }

private:
    struct Peer : juce::ComponentPeer
    {
        using juce::ComponentPeer::ComponentPeer;

        // Not null: the framework only gives components in a real window to screen readers.
        void* getNativeHandle() const override { return (void*) this; }
        void setVisible (bool) override {}
        void setTitle (const juce::String&) override {}
        void setBounds (const juce::Rectangle<int>& area, bool) override { bounds = area; }
        juce::Rectangle<int> getBounds() const override { return bounds; }
        juce::Point<float> localToGlobal (juce::Point<float> p) override { return p + bounds.getPosition().toFloat(); }
        juce::Point<float> globalToLocal (juce::Point<float> p) override { return p - bounds.getPosition().toFloat(); }
        void setMinimised (bool) override {}
        bool isMinimised() const override { return false; }
        void setFullScreen (bool) override {}
        bool isFullScreen() const override { return false; }
        void setIcon (const juce::Image&) override {}
        bool contains (juce::Point<int> p, bool) const override { return bounds.withZeroOrigin().contains (p); }
        OptionalBorderSize getFrameSizeIfPresent() const override { return {}; }
        juce::BorderSize<int> getFrameSize() const override { return {}; }
        bool setAlwaysOnTop (bool) override { return false; }
        void toFront (bool) override {}
        void toBehind (juce::ComponentPeer*) override {}
        bool isFocused() const override { return true; }
        void grabFocus() override {}
        void repaint (const juce::Rectangle<int>&) override {}
        void performAnyPendingRepaintsNow() override {}
        void setAlpha (float) override {}
        juce::StringArray getAvailableRenderingEngines() override { return { "Software" }; }
        void textInputRequired (juce::Point<int>, juce::TextInputTarget&) override {}

        juce::Rectangle<int> bounds;
    };

    juce::ComponentPeer* createNewPeer (int styleFlags, void*) override { return new Peer (*this, styleFlags); }
};

} // namespace tz::test
