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

ParameterLink::ParameterLink (TazzleAudioProcessor& proc, int parameterIndex, std::function<void (float)> showValue)
    : processor (proc)
    , index (parameterIndex)
    , parameter (proc.getHostParameter (parameterIndex))
    , show (std::move (showValue))
{
    poller->add (*this);
    parameter.addListener (this);
}

ParameterLink::~ParameterLink()
{
    parameter.removeListener (this);
    poller->remove (*this);
    action.reset();
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

void ParameterLink::beginGesture (int mergeKey)
{
    if (! action)
        action.emplace (processor, juce::String(), mergeKey);
}

void ParameterLink::endGesture() { action.reset(); }

void ParameterLink::setValue (float plainValue)
{
    if (const float value = parameter.convertTo0to1 (plainValue); value != parameter.getValue())
    {
        const UserAction write (processor);
        processor.setNormalisedValue (index, value);
    }
}

//==============================================================================
bool textHoldsNumber (const juce::String& text) { return text.containsAnyOf ("0123456789"); }

SliderLink::SliderLink (TazzleAudioProcessor& processor, int parameter, FineSlider& s)
    : slider (s)
    , link (processor, parameter,
            [this] (float value)
            {
                const juce::ScopedValueSetter<bool> ignoring (ignoreCallbacks, true);
                slider.setValue (value, juce::sendNotificationSync);
            })
{
    auto& param = link.getParameter();
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
    // an action of its own.
    link.setValue ((float) slider.getValue());
}

void SliderLink::sliderDragStarted (juce::Slider*)
{
    // A turn of the wheel is a drag of its own; the turns in a row on one control are one step.
    link.beginGesture (slider.isTurningWheel() ? link.getParameter().getParameterIndex() : -1);
}

//==============================================================================
ButtonLink::ButtonLink (TazzleAudioProcessor& processor, int parameter, juce::Button& b)
    : button (b)
    , link (processor, parameter,
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
        link.setValue (button.getToggleState() ? 1.0f : 0.0f);
}

} // namespace tz::ui
