#include "ui/ParameterLink.h"

namespace tz::ui
{

// One timer for every link in the process: controls catch up with changes made off the message thread.
struct ParameterLink::Poll : private juce::Timer
{
    void add (ParameterLink& link)
    {
        links.add (&link);
        if (! isTimerRunning())
            startTimerHz (30);
    }

    void remove (ParameterLink& link)
    {
        links.removeFirstMatchingValue (&link);
        if (links.isEmpty())
            stopTimer();
    }

    void timerCallback() override
    {
        for (int i = links.size(); --i >= 0;)
            if (auto* link = links[i])
                link->poll();
    }

    juce::Array<ParameterLink*> links;
};

ParameterLink::ParameterLink (juce::RangedAudioParameter& param, std::function<void (float)> showValue)
    : parameter (param)
    , show (std::move (showValue))
{
    poller->add (*this);
    parameter.addListener (this);
}

ParameterLink::~ParameterLink()
{
    parameter.removeListener (this);
    poller->remove (*this);
    if (gestureOpen)
        parameter.endChangeGesture();
}

void ParameterLink::sendInitialUpdate() { showNormalised (parameter.getValue()); }

void ParameterLink::poll()
{
    if (const float value = parameter.getValue(); value != shown)
        showNormalised (value);
}

void ParameterLink::parameterValueChanged (int, float value)
{
    // Off the message thread nothing happens here: the poll shows it.
    if (juce::Thread::getCurrentThreadId() == messageThread)
        showNormalised (value);
}

void ParameterLink::showNormalised (float normalised)
{
    shown = normalised;
    if (show)
        show (parameter.convertFrom0to1 (normalised));
}

void ParameterLink::beginGesture()
{
    if (gestureOpen)
        return;
    gestureOpen = true;
    parameter.beginChangeGesture();
}

void ParameterLink::endGesture()
{
    if (! gestureOpen)
        return;
    gestureOpen = false;
    parameter.endChangeGesture();
}

void ParameterLink::setValueAsPartOfGesture (float plainValue)
{
    if (const float value = parameter.convertTo0to1 (plainValue); value != parameter.getValue())
        parameter.setValueNotifyingHost (value);
}

void ParameterLink::setValueAsCompleteGesture (float plainValue)
{
    if (const float value = parameter.convertTo0to1 (plainValue); value != parameter.getValue())
    {
        parameter.beginChangeGesture();
        parameter.setValueNotifyingHost (value);
        parameter.endChangeGesture();
    }
}

//==============================================================================
bool textHoldsNumber (const juce::String& text) { return text.containsAnyOf ("0123456789"); }

SliderLink::SliderLink (juce::RangedAudioParameter& param, juce::Slider& s)
    : slider (s)
    , link (param,
            [this] (float value)
            {
                const juce::ScopedValueSetter<bool> ignoring (ignoreCallbacks, true);
                slider.setValue (value, juce::sendNotificationSync);
            })
{
    slider.valueFromTextFunction = [&param, &s = slider] (const juce::String& text)
    { return textHoldsNumber (text) ? (double) param.convertFrom0to1 (param.getValueForText (text)) : s.getValue(); };
    slider.textFromValueFunction = [&param] (double value)
    { return param.getText (param.convertTo0to1 ((float) value), 0); };
    slider.setDoubleClickReturnValue (true, param.convertFrom0to1 (param.getDefaultValue()));

    // The parameter's own mapping, so the slider moves as the host's value does (skew included).
    const auto range = param.getNormalisableRange();
    juce::NormalisableRange<double> sliderRange {
        (double) range.start, (double) range.end,
        [range] (double, double, double normalised) { return (double) range.convertFrom0to1 ((float) normalised); },
        [range] (double, double, double plain) { return (double) range.convertTo0to1 ((float) plain); },
        [range] (double, double, double plain) { return (double) range.snapToLegalValue ((float) plain); }
    };
    sliderRange.interval = range.interval;
    sliderRange.skew = range.skew;
    sliderRange.symmetricSkew = range.symmetricSkew;
    slider.setNormalisableRange (sliderRange);

    link.sendInitialUpdate();
    slider.valueChanged();
    slider.addListener (this);
}

SliderLink::~SliderLink() { slider.removeListener (this); }

void SliderLink::sliderValueChanged (juce::Slider*)
{
    if (ignoreCallbacks)
        return;

    // The slider wraps drags, typed values, double-clicks and the wheel in drag start and end; anything else is
    // one complete gesture.
    if (link.isInGesture())
        link.setValueAsPartOfGesture ((float) slider.getValue());
    else
        link.setValueAsCompleteGesture ((float) slider.getValue());
}

//==============================================================================
ButtonLink::ButtonLink (juce::RangedAudioParameter& param, juce::Button& b)
    : button (b)
    , link (param,
            [this] (float value)
            {
                const juce::ScopedValueSetter<bool> ignoring (ignoreCallbacks, true);
                button.setToggleState (value >= 0.5f, juce::sendNotificationSync);
            })
{
    link.sendInitialUpdate();
    button.addListener (this);
}

ButtonLink::~ButtonLink() { button.removeListener (this); }

void ButtonLink::buttonClicked (juce::Button*)
{
    if (! ignoreCallbacks)
        link.setValueAsCompleteGesture (button.getToggleState() ? 1.0f : 0.0f);
}

} // namespace tz::ui
