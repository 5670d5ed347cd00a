// Time to filter a library of 10,000 presets once, as the browser does on every keystroke: typing "gate rider"
// letter by letter, one filter per letter.

#include <benchmark/benchmark.h>

#include "presets/PresetSearch.h"

namespace
{
void filterTenThousandPresetsPerKeystroke (benchmark::State& state)
{
    const juce::File root ("/tmp/tazzle-benchmark-presets");
    const tz::PresetLibrary library (root);
    const juce::StringArray words { "Gate", "Rider", "Hall", "Grain", "Stutter", "Dusty", "Riser", "Wash" };

    std::vector<tz::PresetEntry> entries;
    for (int i = 0; i < 10000; ++i)
    {
        const auto category = tz::presetCategories()[i % 8];
        const auto pack = i < 2000 ? juce::String() : "Pack " + juce::String (i / 500);
        const auto name = words[i % 8] + " " + words[(i / 8) % 8] + " " + juce::String (i);
        entries.push_back ({ root.getChildFile (category + "/" + name + ".tzpreset"), category, pack });
    }
    const tz::PresetIndex index (std::move (entries), {}, tz::factoryPresetFileNames(), library);

    const juce::String typed ("gate rider");
    int letters = 1;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize (index.filter ({ typed.substring (0, letters) }));
        letters = letters % typed.length() + 1;
    }
}
} // namespace

BENCHMARK (filterTenThousandPresetsPerKeystroke)->Unit (benchmark::kMillisecond);
