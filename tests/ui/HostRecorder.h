#pragma once

#include <set>

#include <juce_audio_processors/juce_audio_processors.h>

namespace tz::test
{
// What a host sees of the plug-in: gestures, changes outside them, and announcements of the rest of the state.
struct HostRecorder : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float) override
    {
        if (inGesture.count (index) == 0)
            outsideGesture.insert (index);
    }
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override
    {
        ++begun;
        inGesture.insert (index);
    }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override
    {
        ++ended;
        inGesture.erase (index);
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails& details) override
    {
        nonParameterChanges += details.nonParameterStateChanged ? 1 : 0;
        programChanges += details.programChanged ? 1 : 0;
    }

    juce::String outsideNames (juce::AudioProcessor& processor) const
    {
        juce::StringArray names;
        for (const int index : outsideGesture)
            names.add (processor.getParameters()[index]->getName (64));
        return names.joinIntoString (", ");
    }

    std::multiset<int> inGesture;
    std::set<int> outsideGesture;
    int begun = 0, ended = 0, nonParameterChanges = 0, programChanges = 0;
};
} // namespace tz::test
