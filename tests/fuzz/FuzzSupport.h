#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <juce_events/juce_events.h>

#include "core/PluginProcessor.h"
#include "engine/ChainOrder.h"
#include "engine/StepGrid.h"

namespace tz::fuzz
{

// A broken invariant is a finding: libFuzzer saves the input when the process aborts.
[[noreturn]] inline void fail (const char* what)
{
    std::fprintf (stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

inline void require (bool holds, const char* what)
{
    if (! holds)
        fail (what);
}

inline void requireValidOrder (const ChainOrder& order)
{
    require (isValidChainOrder (order), "order not a permutation");
}

inline void requireValidGrid (const GridWords& words)
{
    for (auto word : words)
        require ((word & ~(gridEnabledBit | gridStepMask)) == 0, "grid word has bits outside a row");
}

// What must hold after any restore or load: every parameter finite and inside its range, the order a
// permutation, the grid rows well formed.
inline void requireSaneProcessor (TazzleAudioProcessor& processor)
{
    const auto& params = allParams();
    for (size_t p = 0; p < params.size(); ++p)
    {
        const auto value = processor.getValue ((int) p);
        require (std::isfinite (value), "parameter not finite");
        require (value >= params[p].min && value <= params[p].max, "parameter out of range");
    }
    requireValidOrder (processor.getChainOrder());
    for (int e = 0; e < numEffects; ++e)
        require ((processor.getGridRow ((EffectId) e).steps & ~gridStepMask) == 0, "grid row has extra steps");
}

// A scratch folder of the fuzzer's own, removed and made anew for each input.
inline juce::File scratchFolder (const char* name)
{
    static const auto base = juce::File::getSpecialLocation (juce::File::tempDirectory)
                                 .getChildFile ("tazzle-fuzz-" + juce::String (juce::Time::currentTimeMillis()));
    return base.getChildFile (name);
}

// A framework assertion aborts, so libFuzzer keeps the input that tripped it.
struct AbortOnAssertionLogger : juce::Logger
{
    void logMessage (const juce::String& message) override
    {
        std::fprintf (stderr, "%s\n", message.toRawUTF8());
        if (message.startsWith ("JUCE Assertion failure"))
            std::abort();
    }
};

// Processors and parameter trees need the framework initialised once for the whole run. Nothing is torn down at
// exit: libFuzzer leaves through exit(), where the framework's shutdown would run after its objects were gone.
inline void initialiseOnce()
{
    static const auto* juceInitialiser = new juce::ScopedJuceInitialiser_GUI();
    static auto* logger = new AbortOnAssertionLogger();
    juce::ignoreUnused (juceInitialiser);
    juce::Logger::setCurrentLogger (logger);
    // Registered after the framework's own statics, so it runs before their teardown, whose assertions are not
    // findings.
    static const int disarmAtExit = std::atexit ([] { juce::Logger::setCurrentLogger (nullptr); });
    juce::ignoreUnused (disarmAtExit);
}

inline TazzleAudioProcessor& sharedProcessor()
{
    initialiseOnce();
    static auto* processor = new TazzleAudioProcessor();
    return *processor;
}

} // namespace tz::fuzz
