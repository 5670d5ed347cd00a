#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>

#include "DemoLoop.h"
#include "FactoryPresetData.h"
#include "Render.h"

namespace
{
using namespace tz::render;

constexpr int bars = 16;
constexpr int framesPerBeat = 8; // the sound profile looks at thirty-second notes
constexpr float quietRangeDb = 60.0f;

// What one patch made of the demo loop: its levels and a coarse picture of its sound over time.
struct Heard
{
    juce::String name;
    bool finite = true;
    Levels levels;
    // Per thirty-second note: the energy of the mid signal below 200 Hz, from 200 Hz to 3 kHz and above, and of
    // the side signal, in dB relative to the render's own average.
    std::vector<float> profile;
};

// One-pole low pass (trapezoidal), enough to split the spectrum into coarse bands.
struct Split
{
    explicit Split (double cutoffHz, double sampleRate)
        : g ((float) std::tan (juce::MathConstants<double>::pi * cutoffHz / sampleRate))
    {
    }

    float lowPass (float x)
    {
        const float v = (x - state) * g / (1.0f + g);
        const float low = v + state;
        state = low + v;
        return low;
    }

    float g, state = 0.0f;
};

Heard listen (const juce::String& name, const juce::AudioBuffer<float>& audio, double sampleRate, double bpm)
{
    Heard heard { name, true, measureLevels (audio), {} };

    const auto* left = audio.getReadPointer (0);
    const auto* right = audio.getReadPointer (1);
    for (int i = 0; i < audio.getNumSamples(); ++i)
        heard.finite = heard.finite && std::isfinite (left[i]) && std::isfinite (right[i]);

    if (! heard.finite)
        return heard;

    const int frameLength = (int) std::lround (sampleRate * 60.0 / bpm / framesPerBeat);
    Split bass (200.0, sampleRate), presence (3000.0, sampleRate);
    std::array<double, 4> energy {};

    for (int i = 0; i < audio.getNumSamples(); ++i)
    {
        const float mid = 0.5f * (left[i] + right[i]);
        const float side = 0.5f * (left[i] - right[i]);
        const float low = bass.lowPass (mid);
        const float middle = presence.lowPass (mid - low);
        const float high = mid - low - middle;
        energy[0] += (double) low * low;
        energy[1] += (double) middle * middle;
        energy[2] += (double) high * high;
        energy[3] += (double) side * side;

        if ((i + 1) % frameLength == 0)
        {
            for (auto& e : energy)
            {
                heard.profile.push_back ((float) (10.0 * std::log10 (e / frameLength + 1.0e-30)));
                e = 0.0;
            }
        }
    }

    // Quiet frames all count as equally quiet, measured from the render's loudest frame, so that silence and
    // a plain change of level do not count as differences.
    const float loudest = *std::max_element (heard.profile.begin(), heard.profile.end());
    double mean = 0.0;
    for (auto& db : heard.profile)
    {
        db = juce::jmax (db, loudest - quietRangeDb);
        mean += db;
    }
    mean /= (double) heard.profile.size();
    for (auto& db : heard.profile)
        db -= (float) mean;

    return heard;
}

float profileDistance (const Heard& a, const Heard& b)
{
    double sum = 0.0;
    for (size_t i = 0; i < a.profile.size(); ++i)
        sum += juce::square ((double) a.profile[i] - b.profile[i]);
    return (float) std::sqrt (sum / (double) juce::jmax ((size_t) 1, a.profile.size()));
}

struct Library
{
    Heard init;
    std::vector<Heard> presets; // in resource order
};

// Every factory preset and the init patch over 16 bars of the demo loop at 120 BPM, rendered as tazzle-render
// does. Patches are applied here, on the message thread; the renders run two at a time, one per core.
const Library& library()
{
    static const Library rendered = []
    {
        const HostSettings settings; // 48 kHz stereo, 120 BPM, 512-sample blocks, latency compensated
        const auto loop = synthesiseDemoLoop (settings.sampleRate, settings.bpm,
                                              (int) std::lround (bars * 4 * settings.sampleRate * 60.0 / settings.bpm));

        std::vector<std::unique_ptr<juce::XmlElement>> patches;
        for (int i = 0; i < FactoryPresetData::namedResourceListSize; ++i)
        {
            int size = 0;
            const auto* data = FactoryPresetData::getNamedResource (FactoryPresetData::namedResourceList[i], size);
            patches.push_back (juce::parseXML (juce::String::fromUTF8 (data, size)));
        }
        patches.push_back (nullptr); // the init patch

        std::vector<Heard> heard (patches.size());
        constexpr size_t workers = 2;

        for (size_t first = 0; first < patches.size(); first += workers)
        {
            const size_t end = juce::jmin (first + workers, patches.size());
            std::vector<std::unique_ptr<TazzleAudioProcessor>> processors;

            for (size_t i = first; i < end; ++i)
            {
                auto& processor = *processors.emplace_back (std::make_unique<TazzleAudioProcessor>());
                if (patches[i] != nullptr)
                    processor.loadPreset (*patches[i]);
                else
                    processor.resetToInit();
            }

            std::vector<std::thread> renders;
            for (size_t i = first; i < end; ++i)
                renders.emplace_back (
                    [&, i]
                    {
                        auto& processor = *processors[i - first];
                        heard[i] = listen (processor.getPresetName(), renderThrough (processor, loop, settings).output,
                                           settings.sampleRate, settings.bpm);
                    });

            for (auto& render : renders)
                render.join();
        }

        Library result;
        result.init = heard.back();
        heard.pop_back();
        result.presets = std::move (heard);
        return result;
    }();

    return rendered;
}

TEST (FactoryPresetSound, EveryPresetStaysFiniteUnclippedAndNearTheInitLevel)
{
    const auto& rendered = library();
    ASSERT_TRUE (rendered.init.finite);
    ASSERT_EQ (rendered.presets.size(), (size_t) FactoryPresetData::namedResourceListSize);

    for (const auto& preset : rendered.presets)
    {
        ASSERT_TRUE (preset.finite) << preset.name;
        EXPECT_LE (preset.levels.peakDb, 0.0f) << preset.name;

        // The hall of "Infinite Hall" is carried as written and fills the gaps of the loop (+4.1 dB); every
        // other preset keeps within 3 dB above the init patch.
        const float ceiling = preset.name == "Infinite Hall" ? 5.0f : 3.0f;
        const float relative = preset.levels.rmsDb - rendered.init.levels.rmsDb;
        EXPECT_GE (relative, -12.0f) << preset.name;
        EXPECT_LE (relative, ceiling) << preset.name;
    }
}

TEST (FactoryPresetSound, NoTwoPresetsSoundAlike)
{
    // Measured: the closest two factory presets ("Ambient Smear" and "Washed Out") lie 1.7 dB apart; a copy, or
    // a patch that differs only in level, comes out at 0.
    constexpr float minimumDistance = 1.0f;
    const auto& presets = library().presets;

    for (size_t a = 0; a < presets.size(); ++a)
        for (size_t b = a + 1; b < presets.size(); ++b)
            EXPECT_GT (profileDistance (presets[a], presets[b]), minimumDistance)
                << presets[a].name << " and " << presets[b].name << " sound alike";
}

TEST (FactoryPresetSound, TheProfileTellsAPatchFromItself)
{
    // The distance itself: zero for the same render, and a plain level change does not count.
    const auto loop = synthesiseDemoLoop (48000.0, 120.0, 48000 * 4);
    auto quieter = loop;
    quieter.applyGain (0.5f);
    auto darker = loop;
    Split tone (500.0, 48000.0);
    for (int ch = 0; ch < 2; ++ch)
    {
        tone.state = 0.0f;
        for (int i = 0; i < darker.getNumSamples(); ++i)
            darker.setSample (ch, i, tone.lowPass (darker.getSample (ch, i)));
    }

    const auto original = listen ("loop", loop, 48000.0, 120.0);
    EXPECT_FLOAT_EQ (profileDistance (original, original), 0.0f);
    EXPECT_LT (profileDistance (original, listen ("quieter", quieter, 48000.0, 120.0)), 0.01f);
    EXPECT_GT (profileDistance (original, listen ("darker", darker, 48000.0, 120.0)), 3.0f);
}
} // namespace
