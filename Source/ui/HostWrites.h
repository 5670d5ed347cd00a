#pragma once

#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/PluginProcessor.h"

// Edits made with the mouse reach the host as gestures, so it records them as one move each.
namespace tz::ui
{

inline juce::RangedAudioParameter& hostParameter (TazzleAudioProcessor& processor, int p)
{
    return *processor.getParameterState().getParameter (allParams()[(size_t) p].id);
}

// One complete gesture: begin, the new plain value, end.
inline void setAsGesture (TazzleAudioProcessor& processor, int p, float plainValue)
{
    auto& param = hostParameter (processor, p);
    param.beginChangeGesture();
    param.setValueNotifyingHost (param.convertTo0to1 (plainValue));
    param.endChangeGesture();
}

// Gestures held open across a drag, each begun on its first write and all ended together.
class OpenGestures
{
public:
    explicit OpenGestures (TazzleAudioProcessor& p)
        : processor (p)
    {
    }

    ~OpenGestures() { endAll(); }

    void set (int p, float plainValue)
    {
        auto& param = hostParameter (processor, p);
        if (std::find (open.begin(), open.end(), p) == open.end())
        {
            param.beginChangeGesture();
            open.push_back (p);
        }
        param.setValueNotifyingHost (param.convertTo0to1 (plainValue));
    }

    void endAll()
    {
        for (const int p : open)
            hostParameter (processor, p).endChangeGesture();
        open.clear();
    }

    const std::vector<int>& parameters() const noexcept { return open; }

private:
    TazzleAudioProcessor& processor;
    std::vector<int> open;
};

} // namespace tz::ui
