#pragma once

#include <functional>

#include <juce_audio_processors/juce_audio_processors.h>

namespace tz::ui
{

// Binds a control to a parameter like the framework's attachments, with two differences. A change that arrives
// off the message thread (host automation, on the audio thread) is never posted from there, since posting takes a
// lock shared with the message thread and may allocate: the control catches up at the next tick of a shared
// 30 Hz poll. A change on the message thread shows at once. And a gesture still open when the link goes (a row
// rebuilt during a drag) is ended first, so the host never keeps one open.
class ParameterLink : private juce::AudioProcessorParameter::Listener
{
public:
    ParameterLink (juce::RangedAudioParameter& parameter, std::function<void (float plainValue)> show);
    ~ParameterLink() override;

    // Shows the current value now.
    void sendInitialUpdate();
    // Shows the value when it moved since it was last shown; the poll calls it for every link.
    void poll();

    void beginGesture();
    void endGesture();
    void setValueAsPartOfGesture (float plainValue);
    void setValueAsCompleteGesture (float plainValue);
    bool isInGesture() const noexcept { return gestureOpen; }

    juce::RangedAudioParameter& getParameter() const noexcept { return parameter; }

private:
    void parameterValueChanged (int, float) override;
    void parameterGestureChanged (int, bool) override {}
    void showNormalised (float normalised);

    struct Poll;
    juce::RangedAudioParameter& parameter;
    std::function<void (float)> show;
    float shown = -1.0f;
    bool gestureOpen = false;
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
    SliderLink (juce::RangedAudioParameter& parameter, juce::Slider& slider);
    ~SliderLink() override;

private:
    void sliderValueChanged (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override { link.beginGesture(); }
    void sliderDragEnded (juce::Slider*) override { link.endGesture(); }

    juce::Slider& slider;
    ParameterLink link;
    bool ignoreCallbacks = false;

    JUCE_DECLARE_NON_COPYABLE (SliderLink)
};

// A toggle that switches a parameter between off (below 0.5) and on.
class ButtonLink : private juce::Button::Listener
{
public:
    ButtonLink (juce::RangedAudioParameter& parameter, juce::Button& button);
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
