#include "presets/UndoHistory.h"

#include <algorithm>

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"

namespace tz
{

std::size_t EditStep::memoryUsed() const
{
    std::size_t bytes = sizeof (EditStep) + parameters.capacity() * sizeof (ParameterChange)
        + attributes.capacity() * sizeof (AttributeChange);
    // Names and texts are shared with the parameter table and the state tree; counted in full all the same.
    bytes += name.getNumBytesAsUTF8() + fileBefore.getFullPathName().getNumBytesAsUTF8()
        + fileAfter.getFullPathName().getNumBytesAsUTF8();
    for (const auto& attribute : attributes)
        bytes += attribute.before.toString().getNumBytesAsUTF8() + attribute.after.toString().getNumBytesAsUTF8();
    return bytes;
}

void EditStep::absorb (const EditStep& later)
{
    for (const auto& change : later.parameters)
    {
        const auto same = std::find_if (parameters.begin(), parameters.end(),
                                        [&change] (const auto& c) { return c.index == change.index; });
        if (same != parameters.end())
            same->after = change.after;
        else
            parameters.push_back (change);
    }

    for (const auto& change : later.attributes)
    {
        const auto same = std::find_if (attributes.begin(), attributes.end(),
                                        [&change] (const auto& c) { return c.id == change.id; });
        if (same != attributes.end())
            same->after = change.after;
        else
            attributes.push_back (change);
    }

    fileAfter = later.fileAfter;
    wholePatch = wholePatch || later.wholePatch;
    name = later.name;
}

bool EditStep::pruneUnchanged()
{
    parameters.erase (
        std::remove_if (parameters.begin(), parameters.end(), [] (const auto& c) { return c.before == c.after; }),
        parameters.end());
    attributes.erase (std::remove_if (attributes.begin(), attributes.end(),
                                      [] (const auto& c) { return c.before.equalsWithSameType (c.after); }),
                      attributes.end());
    return parameters.empty() && attributes.empty() && fileBefore == fileAfter;
}

//==============================================================================
UndoHistory::UndoHistory (TazzleAudioProcessor& p)
    : processor (p)
    , restoresSeen (restoresSeenBy (p))
{
}

int UndoHistory::restoresSeenBy (const TazzleAudioProcessor& p) noexcept { return p.getHostRestoreCount(); }

void UndoHistory::catchUp()
{
    if (! isCurrent())
    {
        restoresSeen = restoresSeenBy (processor);
        clear();
    }
}

const std::array<juce::Identifier, UndoHistory::numAttributes>& UndoHistory::patchAttributes()
{
    static const std::array<juce::Identifier, numAttributes> ids { stateIds::chainOrder,     stateIds::grid,
                                                                   stateIds::locked,         stateIds::presetName,
                                                                   stateIds::presetCategory, stateIds::presetPack };
    return ids;
}

UndoHistory::Snapshot UndoHistory::snapshot() const
{
    const auto& state = processor.getParameterState().state;
    Snapshot taken;
    for (std::size_t a = 0; a < numAttributes; ++a)
        if (const auto* value = state.getPropertyPointer (patchAttributes()[a]))
            taken.attributes[a] = *value;
    taken.file = processor.getPresetFile();
    return taken;
}

void UndoHistory::beginStep()
{
    catchUp();
    recording.emplace();
    recording->before = snapshot();
    recording->generation = processor.getStateGeneration();
}

void UndoHistory::noteWrite (int parameter)
{
    if (! recording || parameter < 0 || parameter >= numParams || recording->written[(std::size_t) parameter])
        return;

    recording->written.set ((std::size_t) parameter);
    const float value = processor.getParameters()[parameter]->getValue();
    recording->parameters.push_back ({ (std::uint16_t) parameter, value, value });
}

void UndoHistory::endStep (const juce::String& name, int mergeKey)
{
    // An action open while the host replaced the whole state changed a state that is gone.
    catchUp();
    if (! recording)
        return;

    auto made = std::move (*recording);
    recording.reset();

    EditStep step;
    step.parameters = std::move (made.parameters);
    for (auto& change : step.parameters)
        change.after = processor.getParameters()[change.index]->getValue();

    const auto after = snapshot();
    for (std::size_t a = 0; a < numAttributes; ++a)
        step.attributes.push_back ({ patchAttributes()[a], made.before.attributes[a], after.attributes[a] });

    step.fileBefore = made.before.file;
    step.fileAfter = after.file;

    if (step.pruneUnchanged())
        return;
    step.parameters.shrink_to_fit();
    step.attributes.shrink_to_fit();

    // A step that moved one parameter and nothing else is known by it ("Delay Feedback"), whatever the action.
    const bool oneParameter = step.parameters.size() == 1 && step.attributes.empty();
    step.name = oneParameter ? allParams()[step.parameters[0].index].name
        : name.isNotEmpty()  ? name
                             : juce::String (stepNames::fallback);
    step.wholePatch = processor.getStateGeneration() != made.generation;
    step.mergeKey = mergeKey;
    push (std::move (step));
}

void UndoHistory::push (EditStep step)
{
    steps.erase (steps.begin() + (std::ptrdiff_t) cursor, steps.end());

    if (mergeOpen && step.mergeKey >= 0 && ! steps.empty() && steps.back().mergeKey == step.mergeKey)
    {
        // A merge that comes back to where it began (a browse that goes back) leaves nothing to undo.
        steps.back().absorb (step);
        if (steps.back().pruneUnchanged())
        {
            steps.pop_back();
            mergeOpen = false;
        }
    }
    else
    {
        mergeOpen = step.mergeKey >= 0;
        steps.push_back (std::move (step));
        if (steps.size() > depth)
            steps.pop_front();
    }

    cursor = steps.size();
    ++revision;
}

//==============================================================================
juce::String UndoHistory::undoName() const { return canUndo() ? steps[cursor - 1].name : juce::String(); }

juce::String UndoHistory::redoName() const { return canRedo() ? steps[cursor].name : juce::String(); }

bool UndoHistory::undo()
{
    catchUp();
    if (! canUndo())
        return false;

    --cursor;
    apply (steps[cursor], false);
    return true;
}

bool UndoHistory::redo()
{
    catchUp();
    if (! canRedo())
        return false;

    apply (steps[cursor], true);
    ++cursor;
    return true;
}

void UndoHistory::clear()
{
    steps.clear();
    cursor = 0;
    recording.reset();
    mergeOpen = false;
    ++revision;
}

void UndoHistory::apply (const EditStep& step, bool forward)
{
    mergeOpen = false;
    ++revision;

    // Like a preset load: the audio thread fades out, starts clean from the whole state and fades in.
    if (step.wholePatch)
        processor.beginStateChange();

    // One move for the host: every gesture open while the values change.
    const auto& hostParameters = processor.getParameters();
    for (const auto& change : step.parameters)
        hostParameters[change.index]->beginChangeGesture();

    const auto write = [this, forward] (const EditStep::ParameterChange& change)
    { processor.setNormalisedValue (change.index, forward ? change.after : change.before); };
    if (forward)
        std::for_each (step.parameters.begin(), step.parameters.end(), write);
    else
        std::for_each (step.parameters.rbegin(), step.parameters.rend(), write);

    for (const auto& change : step.parameters)
        hostParameters[change.index]->endChangeGesture();

    for (const auto& attribute : step.attributes)
    {
        processor.restoreStateProperty (attribute.id, forward ? attribute.after : attribute.before);

        // The same hand-over to the audio thread as any edit of the order or the grid.
        if (attribute.id == stateIds::chainOrder)
            processor.loadChainOrderFromState();
        else if (attribute.id == stateIds::grid)
            processor.loadGridFromState();
    }

    if (step.fileBefore != step.fileAfter)
        processor.setPresetFile (forward ? step.fileAfter : step.fileBefore);

    if (! step.attributes.empty())
        processor.markNonParameterChange();

    if (step.wholePatch)
        processor.endStateChange();
}

std::size_t UndoHistory::memoryUsed() const
{
    std::size_t bytes = sizeof (UndoHistory);
    for (const auto& step : steps)
        bytes += step.memoryUsed();
    return bytes;
}

} // namespace tz
