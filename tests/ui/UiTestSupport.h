#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace tz::test
{

// Counts the repaints that reach a component: attached as its cached image, it sees every invalidation
// from the component and its children, with no window needed.
class RepaintCounter : public juce::CachedComponentImage
{
public:
    static RepaintCounter& attachTo (juce::Component& component)
    {
        auto* counter = new RepaintCounter();
        component.setCachedComponentImage (counter);
        counter->count = 0; // attaching repaints once
        return *counter;
    }

    void paint (juce::Graphics&) override {}
    bool invalidateAll() override { return ++count, true; }
    bool invalidate (const juce::Rectangle<int>&) override { return ++count, true; }
    void releaseResources() override {}

    int count = 0;
};

// Counts the gestures a host sees, so a test can tell that every one that began also ended.
struct GestureCounter : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int) override { ++begun; }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int) override { ++ended; }

    int begun = 0, ended = 0;
};

// A synthesized mouse event on `component`, at `position`, pressed at `downPosition`.
inline juce::MouseEvent mouseEvent (juce::Component& component, juce::Point<float> position,
                                    juce::ModifierKeys modifiers, juce::Point<float> downPosition)
{
    const auto now = juce::Time::getCurrentTime();
    return { juce::Desktop::getInstance().getMainMouseSource(),
             position,
             modifiers,
             juce::MouseInputSource::defaultPressure,
             juce::MouseInputSource::defaultOrientation,
             juce::MouseInputSource::defaultRotation,
             juce::MouseInputSource::defaultTiltX,
             juce::MouseInputSource::defaultTiltY,
             &component,
             &component,
             now,
             downPosition,
             now,
             1,
             position != downPosition };
}

// The items of a menu's top level, in order.
inline std::vector<const juce::PopupMenu::Item*> menuItems (const juce::PopupMenu& menu)
{
    std::vector<const juce::PopupMenu::Item*> items;
    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        items.push_back (&it.getItem());
    return items;
}

inline const juce::PopupMenu::Item* findItem (const juce::PopupMenu& menu, int itemId)
{
    for (auto* item : menuItems (menu))
        if (item->itemID == itemId)
            return item;
    return nullptr;
}

} // namespace tz::test
