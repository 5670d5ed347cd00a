#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include <juce_data_structures/juce_data_structures.h>

#include "core/Parameters.h"

class TazzleAudioProcessor;

namespace tz
{

// What one user action changed in the patch, before and after: enough to take it back and to do it again.
struct EditStep
{
    struct ParameterChange
    {
        std::uint16_t index;
        float before, after; // normalised, exactly as the parameter held them
    };

    struct AttributeChange
    {
        juce::Identifier id;
        juce::var before, after; // void: the attribute was absent
    };

    juce::String name;
    // In the order the action first wrote them, so a step replays in that order and takes back in reverse: a route
    // is then always complete before its source turns it on, and silent before its target goes.
    std::vector<ParameterChange> parameters;
    std::vector<AttributeChange> attributes;
    juce::File fileBefore, fileAfter;
    // The action replaced the whole patch (a preset, Init, RANDOM): undone and redone the same way, with its fades.
    bool wholePatch = false;
    // Steps with the same key, one after another, become one (turns of the mouse wheel on one control).
    int mergeKey = -1;

    // Takes in the step that came right after it, as if both had been one action.
    void absorb (const EditStep& later);
    // Forgets what a merge brought back where it began; true when nothing is left to undo.
    bool pruneUnchanged();

    std::size_t memoryUsed() const;
};

// The names steps go by where no parameter names them ("Undo: grid edit").
namespace stepNames
{
    inline constexpr const char* gridEdit = "grid edit";
    inline constexpr const char* clearGrid = "CLEAR";
    inline constexpr const char* effectOrder = "effect order";
    inline constexpr const char* addRoute = "add route";
    inline constexpr const char* removeRoute = "remove route";
    inline constexpr const char* routeTarget = "route target";
    inline constexpr const char* lock = "lock";
    inline constexpr const char* steps = "step edit";
    inline constexpr const char* xyPad = "XY pad";
    inline constexpr const char* random = "RANDOM";
    inline constexpr const char* mutate = "MUTATE";
    inline constexpr const char* init = "Init";
    inline constexpr const char* fallback = "edit";
    inline juce::String presetLoad (const juce::String& presetName) { return "load " + presetName; }
} // namespace stepNames

// The patch's edit history: the last 100 user actions made in the editor, each undone and redone exactly. One per
// processor, so it outlives the editor; message thread only. Nothing outside a user action is recorded (host
// automation, modulation), and a host restore forgets it all, since the host then replaced the whole state.
class UndoHistory
{
public:
    static constexpr std::size_t depth = 100;
    // Merge keys: a parameter's index merges the wheel turns on its control; the preset browser's auditions, up
    // to the preset kept or the way back, merge under their own key.
    static constexpr int presetBrowsing = numParams;

    explicit UndoHistory (TazzleAudioProcessor& processor);

    // Recording, by a user action: begin, each parameter before its first write, end.
    void beginStep();
    void noteWrite (int parameter);
    void endStep (const juce::String& name, int mergeKey = -1);
    bool isRecording() const noexcept { return recording.has_value(); }

    bool canUndo() const noexcept { return isCurrent() && ! recording && cursor > 0; }
    bool canRedo() const noexcept { return isCurrent() && ! recording && cursor < steps.size(); }
    // The name of the step that an undo or a redo would apply; empty when there is none.
    juce::String undoName() const;
    juce::String redoName() const;

    // Parameters go to the host inside gestures, grid and order through their usual hand-over; a step that
    // replaced the whole patch is applied as a preset is. False, with nothing changed, while an action is open
    // or when there is nothing to apply.
    bool undo();
    bool redo();

    void clear();
    // The next step starts anew, whatever its merge key (a new browsing session).
    void breakMerge() noexcept { mergeOpen = false; }

    // Changes with every step recorded, undone, redone or forgotten, so a view knows when to look again.
    int getRevision() const noexcept { return revision + restoresSeenBy (processor); }
    std::size_t size() const noexcept { return isCurrent() ? steps.size() : 0; }
    std::size_t memoryUsed() const;

private:
    // The saved state beyond the parameters that undo brings back: the chain order, the grid, the locks and the
    // preset's identity. Folds and the window's scale are the editor's view, not the patch.
    static constexpr std::size_t numAttributes = 6;
    static const std::array<juce::Identifier, numAttributes>& patchAttributes();

    struct Snapshot
    {
        std::array<juce::var, numAttributes> attributes;
        juce::File file;
    };

    struct Recording
    {
        Snapshot before;
        std::bitset<numParams> written;
        std::vector<EditStep::ParameterChange> parameters;
        int generation;
    };

    // A host restore may come on any thread: it only counts, and the history forgets its steps when next used.
    static int restoresSeenBy (const TazzleAudioProcessor& processor) noexcept;
    bool isCurrent() const noexcept { return restoresSeenBy (processor) == restoresSeen; }
    void catchUp();

    Snapshot snapshot() const;
    void push (EditStep step);
    void apply (const EditStep& step, bool forward);

    TazzleAudioProcessor& processor;
    std::deque<EditStep> steps;
    std::size_t cursor = 0; // steps before it are done, steps from it on are undone
    std::optional<Recording> recording;
    bool mergeOpen = false; // the last step recorded may take the next one of its kind in
    int revision = 0;
    int restoresSeen = 0;

    JUCE_DECLARE_NON_COPYABLE (UndoHistory)
};

} // namespace tz
