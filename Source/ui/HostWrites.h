#pragma once

#include <algorithm>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/PluginProcessor.h"

// Edits made in the editor reach the host as the host expects: parameter writes inside gestures, so automation
// recording and undo take one user action as one move; other changes to the saved state announced as such.
namespace tz::ui
{

// One user action, from a click to its end or from a press to its release. Every parameter written while it is
// open, by the editor or by the processor on its behalf (a route added, a preset or random patch applied), is
// changed inside that parameter's gesture: begun before its first write, all ended together when the action
// ends. The action is one step of the undo history, named by its one parameter or else by its name. An action
// opened inside another joins it. Message thread only.
class UserAction
{
public:
    explicit UserAction (TazzleAudioProcessor& p, juce::String stepName = {}, int mergeKey = -1)
        : processor (p)
        , outermost (! p.beforeUserWrite)
        , name (std::move (stepName))
        , merge (mergeKey)
    {
        if (! outermost)
            return;

        processor.getUndoHistory().beginStep();
        processor.beforeUserWrite = [this] (juce::RangedAudioParameter& param)
        {
            processor.getUndoHistory().noteWrite (param.getParameterIndex());
            openGesture (param);
        };
    }

    ~UserAction() { end(); }

    // Ends the gestures now; later writes go to the host without one, as before the action.
    void end()
    {
        if (! outermost)
            return;

        outermost = false;
        processor.beforeUserWrite = nullptr;
        processor.getUndoHistory().endStep (name, merge);
        for (auto* param : open)
            param->endChangeGesture();
        open.clear();
    }

    void set (int p, float plainValue) { processor.setValue (p, plainValue); }

    // Names the step when what the action does is known only once it runs.
    void rename (juce::String stepName) { name = std::move (stepName); }

    // The action changed saved state that no parameter carries (grid, chain order, folds, locks).
    void changedOtherState() { processor.markNonParameterChange(); }

    const std::vector<juce::RangedAudioParameter*>& openGestures() const noexcept { return open; }

private:
    void openGesture (juce::RangedAudioParameter& param)
    {
        if (std::find (open.begin(), open.end(), &param) != open.end())
            return;
        param.beginChangeGesture();
        open.push_back (&param);
    }

    TazzleAudioProcessor& processor;
    bool outermost;
    juce::String name;
    const int merge;
    std::vector<juce::RangedAudioParameter*> open;

    JUCE_DECLARE_NON_COPYABLE (UserAction)
};

// A user action of one write: begin, the new plain value, end.
inline void setAsGesture (TazzleAudioProcessor& processor, int p, float plainValue, juce::String stepName = {})
{
    UserAction (processor, std::move (stepName)).set (p, plainValue);
}

} // namespace tz::ui
