#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <utility>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/EffectRack.h"
#include "engine/ChainOrder.h"
#include "engine/HostClock.h"
#include "engine/InputStage.h"
#include "engine/Modulators.h"
#include "engine/OutputStage.h"
#include "engine/Routes.h"
#include "engine/StepGrid.h"
#include "presets/UndoHistory.h"
#include "updates/Checker.h"

class TazzleAudioProcessor : public juce::AudioProcessor
{
public:
    using GridRow = tz::GridRow;

    // What may still sound after the input stops: the delay at 95 % feedback repeating a bar at 40 BPM, into the
    // largest undamped reverb, with both gains at their tops, has fallen below -100 dBFS 28 minutes after a
    // full-scale burst.
    static constexpr double tailSeconds = 1800.0;

    TazzleAudioProcessor();
    ~TazzleAudioProcessor() override;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

    //==============================================================================
    void prepareToPlay (double sampleRate, int maximumBlockSize) override;
    void releaseResources() override {}
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;
    using juce::AudioProcessor::processBlockBypassed;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override { return true; }

    const juce::String getName() const override { return "Tazzle"; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    bool isMidiEffect() const override { return false; }
    double getTailLengthSeconds() const override { return tailSeconds; }

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    // The one program is the current patch, named as the preset bar names it.
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String&) override {}

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    juce::AudioProcessorValueTreeState& getParameterState() noexcept { return parameterState; }

    // Plain value of parameter p as the host sees it (unmodulated).
    float getValue (int p) const noexcept { return rawValues[(size_t) p]->load(); }
    juce::RangedAudioParameter& getHostParameter (int p) const noexcept { return *params[(size_t) p]; }

    // Moves on with every change of a parameter in [first, end), on whichever thread made it; read before the
    // values, a revision a view has seen means it has seen those values. Lock-free.
    std::uint32_t getParameterRevision (int first, int end) const noexcept;
    // Every parameter's plain value as the host sees it, for the editor to run the engine's functions on.
    tz::ParamValues currentValues() const noexcept;

    // Writes a plain value through the host parameter, so the host hears about it.
    void setValue (int p, float plainValue);
    void setNormalisedValue (int p, float normalised);

    // Set while an editor action is open: called before each write of a parameter, so the action can open that
    // parameter's gesture (once) and the host records the whole action as one move. Message thread only.
    std::function<void (juce::RangedAudioParameter&)> beforeUserWrite;

    // The editor's edits of the saved state beyond the parameters (grid, chain, folds, locks) mark it here; the
    // editor's refresh takes the mark and tells the host once, so a drag is one notification, not one per move.
    void markNonParameterChange() noexcept { nonParameterChangePending = true; }
    bool takeNonParameterChange() noexcept { return std::exchange (nonParameterChangePending, false); }

    // The saved state beyond the parameters that only the editor writes: the window scale, the folded effects
    // (a bit per effect), and the name and category a patch was saved as (from no pack). Every write of the
    // state's properties takes the state's lock, as the host's save does, so a host saving on another thread
    // never copies a tree half-written.
    float getUiScale (float fallback) const;
    void setUiScale (double scale);
    int getFoldedEffects() const;
    void setFoldedEffects (int mask);
    void setSavedAs (const juce::String& name, const juce::String& category);
    void setPresetName (const juce::String& name);
    // Puts back the category and pack a patch had, after a preset that was only tried out.
    void restorePresetOrigin (const juce::String& category, const juce::String& pack);
    // Sets a property of the saved state back to a value an undo step noted; a void value removes it.
    void restoreStateProperty (const juce::Identifier& property, const juce::var& value);

    // The user actions made in any editor of this instance, to undo and redo. Message thread only.
    tz::UndoHistory& getUndoHistory() noexcept { return undoHistory; }

    //==============================================================================
    void setChainOrder (const tz::ChainOrder& order);
    void moveEffect (tz::EffectId id, int delta);
    void loadChainOrderFromState();
    tz::ChainOrder getChainOrder() const noexcept { return tz::unpackChainOrder (chainOrderBits.load()); }

    void setGridRow (tz::EffectId id, GridRow row);
    GridRow getGridRow (tz::EffectId id) const noexcept { return tz::unpackGridRow (gridWords[(size_t) id].load()); }
    void loadGridFromState();

    //==============================================================================
    // Routes. Sources: 0..3 = modulators 1..4, 4 = X, 5 = Y.
    int findRoute (int source, tz::P target) const noexcept;
    void addRoute (int source, tz::P target);
    void removeRoute (int slot);
    float modDepthOn (tz::P target) const noexcept;

    // Only mix and output gain can be locked; a lock keeps their value through preset loads.
    bool isLocked (tz::P p) const;
    void toggleLock (tz::P p);

    //==============================================================================
    // Presets and the identity of the current patch.
    static constexpr const char* welcomePresetFileName = "Tazzle Machine.tzpreset";

    static juce::File presetFolder();
    static const juce::StringArray& presetCategories();
    // False when a factory preset could not be written (the next call tries again).
    static bool installFactoryPresets();

    // Applies a state document on top of the live state; locked parameters keep their values.
    void loadPreset (const juce::XmlElement& preset);
    // Loads a preset file and notes the pack it came from; anything unreadable changes nothing (false).
    bool loadPresetFile (const juce::File& file);
    void resetToInit();

    juce::String getPresetName() const;
    juce::String getPresetCategory() const;
    juce::String getPresetPack() const;

    // The file the patch was last loaded from or saved to, as long as the patch still carries the name, category
    // and pack it had then: a pack's file name need not be its preset's name. None otherwise.
    juce::File getPresetFile() const;
    void setPresetFile (const juce::File& file);

    // Brackets a whole-state change made of many writes (a preset, a host restore, a random patch). The audio
    // thread fades out and never restarts from a state that is still being written. Calls nest.
    void beginStateChange() noexcept;
    void endStateChange() noexcept;
    // Moves on with every whole-state change, so a reader can tell that one happened.
    int getStateGeneration() const noexcept { return presetGeneration.load(); }
    // Moves on with every state the host restores.
    int getHostRestoreCount() const noexcept { return hostRestores.load(); }

    //==============================================================================
    // What the editor polls of the running engine.
    const tz::EffectSlot& getEffectSlot (tz::EffectId id) const noexcept { return effects.slot (id); }

    int getUiGridStep() const noexcept { return uiGridStep.load (std::memory_order_relaxed); }
    float getUiXY (int axis) const noexcept { return uiXY[(size_t) axis].load (std::memory_order_relaxed); }
    float getUiModValue (int m) const noexcept { return uiModValue[(size_t) m].load (std::memory_order_relaxed); }
    double getUiModBeat (int m) const noexcept { return uiModBeat[(size_t) m].load (std::memory_order_relaxed); }
    float getUiModulated (int p) const noexcept { return uiModulated[(size_t) p].load (std::memory_order_relaxed); }

    // The process-wide update checker; held here so a check outlives the editor that started it.
    tz::updates::Checker& getUpdateChecker() noexcept { return *updateChecker; }

    // Runs on the audio thread right after a block has read the requested chain order, so that a test can land
    // a change at exactly that point. Empty in use.
    std::function<void()> onOrderRead;

private:
    void runEffect (tz::EffectId id, float* const* channels, int numChannels, int numSamples,
                    const tz::Transport& transport);
    void resetEffects();
    void startClean();
    void takeStateChanges() noexcept;
    void restartWithinBlock (tz::ChainOrder& requestedOrder) noexcept;
    void takeChunkValues (double chunkStartBeat, int numSamples, double samplesPerBeat) noexcept;
    void runModulation (double chunkEndBeat, int numSamples) noexcept;
    void applyModulation();
    void publishGridRows();

    bool takeSnapshot() noexcept;
    float usableValue (size_t p, std::memory_order order = std::memory_order_seq_cst) const noexcept
    {
        return bounds[p].usable (rawValues[p]->load (order));
    }
    void holdWhileStateChanges() noexcept;
    void setStateProperty (const juce::Identifier& property, const juce::var& value);
    juce::var getStateProperty (const juce::Identifier& property, const juce::var& fallback = {}) const;

    juce::AudioProcessorValueTreeState parameterState;
    juce::CriticalSection stateLock;
    std::array<std::atomic<float>*, tz::numParams> rawValues {};
    // A host can hand a parameter any float, NaN included: every value is made usable as it is taken.
    std::array<tz::ParamBounds, tz::numParams> bounds {};

    // The snapshot reads again only the groups of parameters that changed since it last ran. The tree calls a
    // parameter's listener after storing the new raw value, so a snapshot that sees the group's bit sees the
    // value, and a view that sees the revision sees it too.
    static constexpr int paramsPerGroup = 32;
    static constexpr int numParamGroups = (tz::numParams + paramsPerGroup - 1) / paramsPerGroup;

    struct ParamListener : juce::AudioProcessorValueTreeState::Listener
    {
        std::atomic<std::uint32_t>* changedGroups = nullptr;
        std::uint32_t bit = 0;
        std::atomic<std::uint32_t> revision { 0 };

        void parameterChanged (const juce::String&, float) override
        {
            changedGroups->fetch_or (bit, std::memory_order_release);
            revision.fetch_add (1, std::memory_order_release);
        }
    };

    std::atomic<std::uint32_t> changedGroups { 0 };
    std::array<ParamListener, tz::numParams> paramListeners {};
    std::array<juce::RangedAudioParameter*, tz::numParams> params {};

    std::array<float, tz::numParams + tz::numEffects> baseValues {};
    tz::ParamValues values {};
    std::array<float, tz::numFixedParams> modSum {};
    std::array<bool, tz::numFixedParams> modTouched {};
    std::array<std::uint16_t, tz::numFixedParams> modulatedParams {}; // the values modulation moved this chunk
    size_t numModulated = 0;
    std::array<float, tz::numModulators> modOut {};
    std::array<float, 2> xySmooth {};
    std::array<float, 2> xyLast {};

    std::atomic<std::uint64_t> chainOrderBits { tz::packChainOrder (tz::defaultChainOrder) };
    tz::ChainOrder activeOrder = tz::defaultChainOrder;
    std::array<std::atomic<std::uint32_t>, tz::numEffects> gridWords {};
    int gridStep = 0;

    double currentSampleRate = 44100.0;
    int preparedChannels = 2;
    int latencySamples = 0;
    int reportedLatency = -1;
    double beatPos = 0.0;

    bool nonParameterChangePending = false;
    std::atomic<int> presetGeneration { 0 };
    std::atomic<int> hostRestores { 0 };
    std::atomic<int> stateChangesInProgress { 0 };
    int seenGeneration = 0;
    bool cleanPending = false;
    bool running = false;
    std::atomic<bool> resetRequested { false };

    tz::InputStage input;
    tz::EffectRack effects;
    tz::OutputStage output;

    std::atomic<int> uiGridStep { 0 };
    std::array<std::atomic<float>, 2> uiXY {};
    std::array<std::atomic<float>, tz::numModulators> uiModValue {};
    std::array<std::atomic<double>, tz::numModulators> uiModBeat {};
    std::array<std::atomic<float>, tz::numFixedParams> uiModulated {};

    juce::SharedResourcePointer<tz::updates::Checker> updateChecker;

    juce::File presetFile;
    juce::String presetFileIdentity;

    tz::UndoHistory undoHistory { *this };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TazzleAudioProcessor)
};
