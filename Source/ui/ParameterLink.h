#pragma once

#include <functional>
#include <optional>

#include <juce_audio_processors/juce_audio_processors.h>

#include "ui/FineControl.h"
#include "ui/HostWrites.h"

namespace tz::ui
{

// Binds a control to a parameter like the framework's attachments, with three differences. A change that arrives
// off the message thread (host automation, on the audio thread) is never posted from there, since posting takes a
// lock shared with the message thread and may allocate: the control catches up at the next tick of a shared
// 30 Hz poll. A change on the message thread shows at once. And the control's edits are user actions (gestures for
// the host, steps of the undo history); one still open when the link goes (a row rebuilt during a drag) is ended
// first, so the host never keeps a gesture open.
class ParameterLink : private juce::AudioProcessorParameter::Listener
{
public:
    ParameterLink (TazzleAudioProcessor& processor, int parameter, std::function<void (float plainValue)> show);
    ~ParameterLink() override;

    // Shows the current value now.
    void sendInitialUpdate();
    // Shows the value when it moved since it was last shown; the poll calls it for every link.
    void poll();

    // Opens a user action that lasts until endGesture (a drag): what is set meanwhile is one step. Steps of the
    // same merge key in a row are one (the turns of a wheel).
    void beginGesture (int mergeKey = -1);
    void endGesture();
    // Sets the value within the action open now, or as an action of its own.
    void setValue (float plainValue);
    bool isInGesture() const noexcept { return action.has_value(); }

    juce::RangedAudioParameter& getParameter() const noexcept { return parameter; }

private:
    void parameterValueChanged (int, float) override;
    void parameterGestureChanged (int, bool) override {}
    void showNormalised (float normalised);

    struct Poll;
    TazzleAudioProcessor& processor;
    const int index;
    juce::RangedAudioParameter& parameter;
    std::function<void (float)> show;
    float shown = -1.0f;
    std::optional<UserAction> action;
    // Links are made on the message thread. Asking the message manager instead would take its lock on every
    // change that arrives from the audio thread.
    const juce::Thread::ThreadID messageThread = juce::Thread::getCurrentThreadId();
    juce::SharedResourcePointer<Poll> poller;

    JUCE_DECLARE_NON_COPYABLE (ParameterLink)
};

// A slider that edits a parameter: range, texts and default from the parameter, drags as gestures. Text typed into
// its box that holds no number leaves the value as it was.
class SliderLink : private juce::Slider::Listener
{
public:
    SliderLink (TazzleAudioProcessor& processor, int parameter, FineSlider& slider);
    ~SliderLink() override;

private:
    void sliderValueChanged (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override;
    void sliderDragEnded (juce::Slider*) override { link.endGesture(); }

    FineSlider& slider;
    ParameterLink link;
    bool ignoreCallbacks = false;

    JUCE_DECLARE_NON_COPYABLE (SliderLink)
};

// A toggle that switches a parameter between off (below 0.5) and on.
class ButtonLink : private juce::Button::Listener
{
public:
    ButtonLink (TazzleAudioProcessor& processor, int parameter, juce::Button& button);
    ~ButtonLink() override;

private:
    void buttonClicked (juce::Button*) override;

    juce::Button& button;
    ParameterLink link;
    bool ignoreCallbacks = false;

    JUCE_DECLARE_NON_COPYABLE (ButtonLink)
};

// Whether text typed into a value box says a value: anything without a digit (a typo, an empty box) does not.
bool textHoldsNumber (const juce::String& text);

} // namespace tz::ui
