// tazzle-soak: runs the processor on an audio thread for a chosen time while another thread changes everything a
// user or host can change, and checks every block: finite output below +24 dBFS, no allocation, time within the
// block's real-time length. Over-budget blocks are reported with their cause, not counted as failures.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>
#include <time.h>
#include <vector>

#include <juce_events/juce_events.h>

#include "core/PluginProcessor.h"
#include "presets/FactoryPresets.h"
#include "presets/RandomPatch.h"
#include "support/AllocationCounter.h"

namespace
{
using Clock = std::chrono::steady_clock;

// What the control thread is doing; the audio thread reads it to name the cause of a slow block.
enum class Action : int
{
    none,
    parameter,
    route,
    factoryPreset,
    randomPatch,
    variation,
    chainOrder,
    gridRow,
    hostRestore,
    count
};

const char* actionName (Action action)
{
    static const char* names[] = { "no change",           "parameter change", "route change",
                                   "factory preset load", "random patch",     "variation",
                                   "chain order change",  "grid row change",  "host state restore" };
    return names[(int) action];
}

struct PlayHead : juce::AudioPlayHead
{
    std::atomic<double> ppq { 0.0 };

    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setBpm (120.0);
        info.setPpqPosition (ppq.load());
        info.setIsPlaying (true);
        return info;
    }
};

struct SlowBlock
{
    double sampleRate;
    int blockSize, channels;
    double milliseconds, cpuMilliseconds, budgetMilliseconds;
    Action action;
};

struct Findings
{
    long long blocks = 0, samples = 0, sessions = 0, controlActions = 0;
    long long nonFiniteBlocks = 0, tooLoudBlocks = 0, allocatingBlocks = 0, slowBlocks = 0;
    float loudestPeak = 0.0f;
    long long slowWhilePreempted = 0;
    std::array<long long, (size_t) Action::count> slowByAction {};
    std::vector<SlowBlock> slowExamples;
};

constexpr float maxPeak = 15.848932f; // +24 dBFS
constexpr int maxBlockSize = 4096;
constexpr size_t maxSlowExamples = 20;

double threadCpuMilliseconds()
{
    timespec now {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return 1000.0 * (double) now.tv_sec + 1.0e-6 * (double) now.tv_nsec;
}

int randomBlockSize (juce::Random& random)
{
    static constexpr int common[] = { 32, 64, 128, 256, 441, 512, 1024, 2048, maxBlockSize };
    if (random.nextBool())
        return common[random.nextInt ((int) std::size (common))];
    return 1 + random.nextInt (maxBlockSize);
}

// One host session: a sample rate and layout chosen at random, prepared, then blocks until `sessionEnd`.
void runSession (TazzleAudioProcessor& processor, PlayHead& playHead, juce::Random& random,
                 Clock::time_point sessionEnd, const std::atomic<Action>& currentAction, Findings& findings)
{
    static constexpr double rates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };
    const double rate = rates[random.nextInt ((int) std::size (rates))];
    const int channels = random.nextBool() ? 2 : 1;

    processor.setPlayConfigDetails (channels, channels, rate, maxBlockSize);
    processor.prepareToPlay (rate, maxBlockSize);
    ++findings.sessions;

    juce::AudioBuffer<float> buffer (channels, maxBlockSize);
    juce::MidiBuffer midi;
    bool loudInput = true;
    auto nextInputSwitch = Clock::now();

    while (Clock::now() < sessionEnd)
    {
        // Noise bursts and silences in turn, so tails, sleeping effects and wake-ups are all exercised.
        if (Clock::now() >= nextInputSwitch)
        {
            loudInput = ! loudInput;
            nextInputSwitch = Clock::now() + std::chrono::milliseconds (200 + random.nextInt (2000));
        }

        const int numSamples = randomBlockSize (random);
        buffer.setSize (channels, numSamples, false, false, true);
        for (int c = 0; c < channels; ++c)
        {
            auto* samples = buffer.getWritePointer (c);
            for (int i = 0; i < numSamples; ++i)
                samples[i] = loudInput ? (random.nextFloat() - 0.5f) : 0.0f;
        }

        const auto start = Clock::now();
        const double cpuStart = threadCpuMilliseconds();
        std::size_t allocations = 0;
        {
            const tz::test::AllocationCounter counter;
            processor.processBlock (buffer, midi);
            allocations = counter.count();
        }
        const double milliseconds = std::chrono::duration<double, std::milli> (Clock::now() - start).count();
        const double cpuMilliseconds = threadCpuMilliseconds() - cpuStart;
        const double budget = 1000.0 * numSamples / rate;

        bool finite = true;
        float peak = 0.0f;
        for (int c = 0; c < channels; ++c)
        {
            const auto* samples = buffer.getReadPointer (c);
            for (int i = 0; i < numSamples; ++i)
            {
                finite = finite && std::isfinite (samples[i]);
                peak = std::max (peak, std::abs (samples[i]));
            }
        }

        ++findings.blocks;
        findings.samples += numSamples;
        findings.nonFiniteBlocks += finite ? 0 : 1;
        findings.tooLoudBlocks += (finite && peak >= maxPeak) ? 1 : 0;
        findings.allocatingBlocks += allocations > 0 ? 1 : 0;
        if (finite)
            findings.loudestPeak = std::max (findings.loudestPeak, peak);
        if (! finite || peak >= maxPeak || allocations > 0)
            std::fprintf (stderr, "block %lld (%.0f Hz, %d ch, %d samples): %s%s%s after a %s\n", findings.blocks, rate,
                          channels, numSamples, finite ? "" : "non-finite output ",
                          peak >= maxPeak ? "output above +24 dBFS " : "", allocations > 0 ? "allocated " : "",
                          actionName (currentAction.load()));

        if (milliseconds > budget)
        {
            const auto action = currentAction.load();
            ++findings.slowBlocks;
            // Within budget on the CPU but not on the clock: the thread was taken off the CPU, the block was not slow.
            if (cpuMilliseconds <= budget)
            {
                ++findings.slowWhilePreempted;
            }
            else
            {
                ++findings.slowByAction[(size_t) action];
                if (findings.slowExamples.size() < maxSlowExamples)
                    findings.slowExamples.push_back (
                        { rate, numSamples, channels, milliseconds, cpuMilliseconds, budget, action });
            }
        }

        playHead.ppq = playHead.ppq.load() + 2.0 * numSamples / rate; // 120 BPM
    }
}

// Changes what a user and a host change, one action at a time, until `stop`.
void runControl (TazzleAudioProcessor& processor, juce::Random random, const std::atomic<bool>& stop,
                 std::atomic<Action>& currentAction, long long& actions)
{
    const auto& params = tz::allParams();
    const auto factoryPresets = tz::factoryPresetDocuments();
    std::vector<juce::MemoryBlock> savedStates;

    const auto randomValue = [&] (int p)
    {
        const auto& info = params[(size_t) p];
        const float value = info.min + random.nextFloat() * (info.max - info.min);
        return info.kind == tz::ParamKind::Float ? value : std::round (value);
    };

    while (! stop.load())
    {
        const auto action = (Action) (1 + random.nextInt ((int) Action::count - 1));
        currentAction = action;
        switch (action)
        {
            case Action::parameter:
                for (int n = 1 + random.nextInt (8); --n >= 0;)
                {
                    const int p = random.nextInt ((int) params.size());
                    processor.setValue (p, randomValue (p));
                }
                break;
            case Action::route:
                for (int field = 0; field < tz::numRouteFields; ++field)
                {
                    const int p = tz::routeParam (random.nextInt (tz::numRoutes), field);
                    processor.setValue (p, randomValue (p));
                }
                break;
            case Action::factoryPreset:
                processor.loadPreset (*factoryPresets[(size_t) random.nextInt ((int) factoryPresets.size())]);
                break;
            case Action::randomPatch:
                tz::makeRandomPatch (processor, random);
                break;
            case Action::variation:
                tz::makeVariation (processor, random);
                break;
            case Action::chainOrder:
            {
                auto order = tz::defaultChainOrder;
                std::shuffle (order.begin(), order.end(), std::mt19937 ((unsigned) random.nextInt()));
                processor.setChainOrder (order);
                break;
            }
            case Action::gridRow:
                processor.setGridRow ((tz::EffectId) random.nextInt (tz::numEffects),
                                      { (unsigned) random.nextInt (1 << tz::maxGridSteps), random.nextBool() });
                break;
            case Action::hostRestore:
                if (savedStates.size() < 8 || random.nextBool())
                {
                    savedStates.emplace_back();
                    processor.getStateInformation (savedStates.back());
                }
                else
                {
                    const auto& state = savedStates[(size_t) random.nextInt ((int) savedStates.size())];
                    processor.setStateInformation (state.getData(), (int) state.getSize());
                }
                break;
            case Action::none:
            case Action::count:
                break;
        }
        ++actions;
        std::this_thread::sleep_for (std::chrono::milliseconds (random.nextInt (30)));
    }
    currentAction = Action::none;
}

void printSummary (const Findings& findings, double minutes, juce::int64 seed)
{
    std::printf ("tazzle-soak: %.1f min, seed %lld\n", minutes, (long long) seed);
    std::printf ("  %lld sessions, %lld blocks, %lld samples, %lld control actions\n", findings.sessions,
                 findings.blocks, findings.samples, findings.controlActions);
    std::printf ("  loudest peak %.1f dBFS\n", 20.0 * std::log10 (std::max (findings.loudestPeak, 1.0e-10f)));
    std::printf ("  non-finite blocks %lld, blocks above +24 dBFS %lld, allocating blocks %lld\n",
                 findings.nonFiniteBlocks, findings.tooLoudBlocks, findings.allocatingBlocks);
    std::printf ("  blocks over their real-time length %lld (reported, not a failure)\n", findings.slowBlocks);
    std::printf ("    %lld with CPU time within budget: the audio thread was preempted\n", findings.slowWhilePreempted);
    for (size_t action = 0; action < findings.slowByAction.size(); ++action)
        if (findings.slowByAction[action] > 0)
            std::printf ("    %lld over budget on the CPU during %s\n", findings.slowByAction[action],
                         actionName ((Action) action));
    for (const auto& slow : findings.slowExamples)
        std::printf ("    %.0f Hz, %d ch, %d samples: %.2f ms (%.2f ms on the CPU) of %.2f ms, during %s\n",
                     slow.sampleRate, slow.channels, slow.blockSize, slow.milliseconds, slow.cpuMilliseconds,
                     slow.budgetMilliseconds, actionName (slow.action));
}
} // namespace

int main (int argc, char** argv)
{
    double minutes = 2.0;
    juce::int64 seed = juce::Time::currentTimeMillis();
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const juce::String option (argv[i]), value (argv[i + 1]);
        if (option == "--minutes")
            minutes = value.getDoubleValue();
        else if (option == "--seed")
            seed = value.getLargeIntValue();
        else
        {
            std::fprintf (stderr, "usage: tazzle-soak [--minutes N] [--seed S]\n");
            return 2;
        }
    }
    if ((argc % 2) == 0 || minutes <= 0.0)
    {
        std::fprintf (stderr, "usage: tazzle-soak [--minutes N] [--seed S]\n");
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juceInitialiser;
    TazzleAudioProcessor processor;
    PlayHead playHead;
    processor.setPlayHead (&playHead);

    Findings findings;
    findings.slowExamples.reserve (
        maxSlowExamples); // nothing allocates on the audio thread, the soak's own code included
    std::atomic<Action> currentAction { Action::none };
    std::atomic<bool> stop { false };
    juce::Random audioRandom (seed);

    std::thread control (runControl, std::ref (processor), juce::Random (seed + 1), std::cref (stop),
                         std::ref (currentAction), std::ref (findings.controlActions));

    const auto end =
        Clock::now() + std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (minutes * 60.0));
    std::thread audio (
        [&]
        {
            while (Clock::now() < end)
            {
                const auto sessionEnd =
                    std::min (end, Clock::now() + std::chrono::seconds (5 + audioRandom.nextInt (15)));
                runSession (processor, playHead, audioRandom, sessionEnd, currentAction, findings);
                processor.releaseResources();
            }
        });
    audio.join();
    stop = true;
    control.join();

    printSummary (findings, minutes, seed);
    const bool failed = findings.nonFiniteBlocks + findings.tooLoudBlocks + findings.allocatingBlocks > 0;
    return failed ? 1 : 0;
}
