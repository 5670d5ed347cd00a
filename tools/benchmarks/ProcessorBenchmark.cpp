// CPU cost of one second of 48 kHz stereo audio through the processor, per effect setting (and one case at 192 kHz).
// The "x_realtime" counter is the real-time factor: seconds of audio processed per second of CPU.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>

#include <unistd.h>

#include <juce_audio_processors/juce_audio_processors.h>

#include "PlayingHead.h"
#include "core/PluginProcessor.h"

namespace
{
constexpr double usualRate = 48000.0;
constexpr int blockSize = 512;

struct Setting
{
    int param;
    float value;
};

using Patch = std::vector<Setting>;

Patch effectOn (tz::EffectId id, Patch extra = {})
{
    extra.insert (extra.begin(), { tz::effectParams[(size_t) id].on, 1.0f });
    return extra;
}

// Fold at full amount is the drive's dearest setting.
const Patch driveHeaviest { { tz::driveOn, 1.0f }, { tz::driveAmount, 100.0f }, { tz::driveType, 2.0f } };
// Grains in both directions, the longest and densest, two octaves up, sprayed widest and fed back most.
const Patch grainHeaviest { { tz::grainOn, 1.0f },        { tz::grainMode, 2.0f },   { tz::grainDensity, 60.0f },
                            { tz::grainSize, 500.0f },    { tz::grainPitch, 24.0f }, { tz::grainSpray, 100.0f },
                            { tz::grainFeedback, 90.0f }, { tz::grainMix, 100.0f } };
const Patch stutterHeaviest { { tz::stutterOn, 1.0f }, { tz::stutterPitch, 12.0f }, { tz::stutterHold, 0.0f } };
// The longest stop on the steepest curve; its grid row (below) restarts it every other step, so that it is always
// stopping, and crossfading from the stop before.
const Patch tapestopHeaviest { { tz::tapestopOn, 1.0f }, { tz::tapestopTime, 5.0f }, { tz::tapestopCurve, 100.0f } };

Patch join (std::initializer_list<Patch> patches)
{
    Patch all;
    for (const auto& p : patches)
        all.insert (all.end(), p.begin(), p.end());
    return all;
}

// Every modulator running, with all sixteen routes spread over modulatable targets.
Patch allRoutes()
{
    Patch patch;
    for (int r = 0; r < tz::numRoutes; ++r)
    {
        patch.push_back ({ tz::routeParam (r, tz::routeField::source), (float) (1 + r % 6) });
        patch.push_back ({ tz::routeParam (r, tz::routeField::target), (float) (1 + (r * 2) % 33) });
        patch.push_back ({ tz::routeParam (r, tz::routeField::depth), 40.0f });
    }
    for (int m = 0; m < tz::numModulators; ++m)
        patch.push_back ({ tz::modParam (m, tz::modField::smooth), 30.0f });
    return patch;
}

// Changes made after the start, each played for half a second before the timing starts: the state a session leaves
// behind rather than a fresh one. Fast paths must come back, so that this costs what the clean start costs.
using Change = std::function<void (TazzleAudioProcessor&)>;
using History = std::vector<Change>;

Change set (Patch patch)
{
    return [patch] (TazzleAudioProcessor& processor)
    {
        for (const auto& setting : patch)
            processor.setValue (setting.param, setting.value);
    };
}

Change setGridRow (tz::EffectId id, tz::GridRow row)
{
    return [id, row] (TazzleAudioProcessor& processor) { processor.setGridRow (id, row); };
}

Patch mixAt100 (tz::EffectId id)
{
    const auto mix = tz::effectParams[(size_t) id].mix;
    return effectOn (id, mix == tz::none ? Patch {} : Patch { { mix, 100.0f } });
}

History switchedOffAndOn (tz::EffectId id)
{
    const auto on = tz::effectParams[(size_t) id].on;
    return { set ({ { on, 0.0f } }), set ({ { on, 1.0f } }) };
}

// A one-shot held silent by its grid row, then let through: it starts the moment it becomes audible, and plays on.
History triggeredByTheGrid (tz::EffectId id)
{
    return { setGridRow (id, { 0u, true }), setGridRow (id, { tz::gridStepMask, true }) };
}

// A one-shot let through on every other step, so that it starts again on each.
const History tapestopRetriggered { setGridRow (tz::tapestop, { 0x5555u, true }) };

void processOneSecond (benchmark::State& state, const Patch& patch, const History& history, double sampleRate)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    TazzleAudioProcessor processor;
    processor.resetToInit();
    for (int e = 0; e < tz::numEffects; ++e)
        processor.setValue (tz::effectParams[(size_t) e].on, 0.0f);
    for (const auto& setting : patch)
        processor.setValue (setting.param, setting.value);

    PlayingHead playHead;
    processor.setPlayHead (&playHead);
    processor.setPlayConfigDetails (2, 2, sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    const int blocksPerSecond = (int) sampleRate / blockSize;
    juce::AudioBuffer<float> noise (2, blocksPerSecond * blockSize);
    juce::Random random (1);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < noise.getNumSamples(); ++i)
            noise.setSample (ch, i, 0.25f * (random.nextFloat() * 2.0f - 1.0f));

    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    const auto play = [&] (int numBlocks)
    {
        for (int block = 0; block < numBlocks; ++block)
        {
            for (int ch = 0; ch < 2; ++ch)
                buffer.copyFrom (ch, 0, noise, ch, block % blocksPerSecond * blockSize, blockSize);

            processor.processBlock (buffer, midi);
            playHead.ppq += blockSize / (sampleRate * 60.0 / 120.0);
        }
    };

    // Played from the start first, so that every change moves a state that has run.
    play (blocksPerSecond / 2);
    for (const auto& change : history)
    {
        change (processor);
        play (blocksPerSecond / 2);
    }

    for (auto _ : state)
    {
        play (blocksPerSecond);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    state.counters["x_realtime"] = benchmark::Counter (
        (double) state.iterations() * blocksPerSecond * blockSize / sampleRate, benchmark::Counter::kIsRate);
}

void registerAll()
{
    struct Case
    {
        std::string name;
        Patch patch;
        History history;
        double sampleRate = usualRate;
    };

    const auto allTenHeaviest =
        join ({ effectOn (tz::filter), effectOn (tz::volume), effectOn (tz::crush), driveHeaviest, effectOn (tz::delay),
                effectOn (tz::reverb), stutterHeaviest, tapestopHeaviest, effectOn (tz::reverse), grainHeaviest });

    std::vector<Case> cases {
        { "idle", {} },
        { "filter", effectOn (tz::filter, { { tz::filterResonance, 40.0f } }) },
        { "volume", effectOn (tz::volume, { { tz::volumePan, 30.0f } }) },
        { "crush", effectOn (tz::crush) },
        { "drive", effectOn (tz::drive) },
        { "delay", effectOn (tz::delay) },
        { "reverb", effectOn (tz::reverb) },
        { "six_continuous",
          join ({ effectOn (tz::filter), effectOn (tz::volume), effectOn (tz::crush), effectOn (tz::drive),
                  effectOn (tz::delay), effectOn (tz::reverb) }) },
        { "stutter", effectOn (tz::stutter) },
        { "tapestop", effectOn (tz::tapestop) },
        { "reverse", effectOn (tz::reverse) },
        { "grain", effectOn (tz::grain) },
        { "drive_heaviest", driveHeaviest },
        { "stutter_heaviest", stutterHeaviest },
        { "grain_heaviest", grainHeaviest },
        { "tapestop_heaviest", tapestopHeaviest, tapestopRetriggered },
        { "all_ten_heaviest", allTenHeaviest, tapestopRetriggered },
        // What grows faster than the sample rate: compare with the case above, at a quarter of the samples.
        { "all_ten_heaviest_192k", allTenHeaviest, tapestopRetriggered, 192000.0 },
        { "modulators_16_routes", allRoutes() },
        // Started at an amount, and moved to it from the default.
        { "drive_amount_70", effectOn (tz::drive, { { tz::driveAmount, 70.0f } }) },
        { "drive_amount_70_after_a_change", effectOn (tz::drive), { set ({ { tz::driveAmount, 70.0f } }) } },
        // The delay time glides to a new value, then rests on it.
        { "delay_after_a_time_change", effectOn (tz::delay), { set ({ { tz::delayTime, 8.0f } }) } },
    };

    // Each effect fully wet from the clean start, and after being switched off (to sleep) and on again.
    for (int e = 0; e < tz::numEffects; ++e)
    {
        const auto id = (tz::EffectId) e;
        cases.push_back ({ std::string ("mix_100/") + tz::effectKeys[(size_t) e], mixAt100 (id) });
        cases.push_back (
            { std::string ("mix_100_off_and_on/") + tz::effectKeys[(size_t) e], mixAt100 (id), switchedOffAndOn (id) });
    }

    for (const auto id : { tz::stutter, tz::tapestop, tz::reverse })
        cases.push_back ({ std::string ("mix_100_after_its_trigger/") + tz::effectKeys[(size_t) id], mixAt100 (id),
                           triggeredByTheGrid (id) });

    for (const auto& c : cases)
        benchmark::RegisterBenchmark (("one_second/" + c.name).c_str(),
                                      [c] (benchmark::State& state)
                                      { processOneSecond (state, c.patch, c.history, c.sampleRate); })
            ->Unit (benchmark::kMillisecond)
            ->MinTime (0.5);
}
} // namespace

// The usual console output, and then each case's cost above idle: what a stage adds to the plug-in at rest.
class StageTableReporter : public benchmark::ConsoleReporter
{
public:
    // Colours only for a terminal, as the library's own reporter does by default.
    StageTableReporter()
        : ConsoleReporter (isatty (fileno (stdout)) != 0 ? OO_ColorTabular : OO_Tabular)
    {
    }

    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);
        for (const auto& run : runs)
        {
            // With repetitions, the median stands for the case; without, the single run does.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (! median && run.run_type == Run::RT_Aggregate)
                continue;

            auto name = run.run_name.function_name;
            if (name.rfind ("one_second/", 0) != 0)
                continue;
            name = name.substr (std::string ("one_second/").size());
            if (median || msPerSecond.count (name) == 0)
                msPerSecond[name] = run.GetAdjustedCPUTime();
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto idle = msPerSecond.find ("idle");
        if (idle == msPerSecond.end())
            return;

        const auto format = [] (double ms)
        {
            std::ostringstream text;
            text << std::fixed << std::setprecision (2) << ms;
            return text.str();
        };

        std::cout << "\n| case | ms per second of audio | above idle |\n|---|---|---|\n";
        for (const auto& [name, ms] : msPerSecond)
            std::cout << "| " << name << " | " << format (ms) << " | "
                      << (name == "idle" ? std::string() : format (ms - idle->second)) << " |\n";
    }

private:
    std::map<std::string, double> msPerSecond;
};

int main (int argc, char** argv)
{
    registerAll();
    benchmark::Initialize (&argc, argv);
    StageTableReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    benchmark::Shutdown();
    return 0;
}
