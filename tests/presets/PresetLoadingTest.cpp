#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include "presets/PresetTestSupport.h"
#include "presets/XmlReader.h"

namespace
{
using namespace tz::test;

const auto& infos() { return tz::allParams(); }

void writeText (const juce::File& file, const juce::String& text)
{
    ASSERT_TRUE (file.getParentDirectory().createDirectory());
    ASSERT_TRUE (file.replaceWithText (text));
}

TEST (PresetLoading, SparsePresetSetsEverythingElseToDefaults)
{
    TazzleAudioProcessor processor; // the welcome preset has effects, routes, a grid and its own name
    processor.getParameterState().state.setProperty ("presetPack", "Drums", nullptr);

    processor.loadPreset (*parse (R"(<Tazzle><PARAM id="reverb_on" value="1"/></Tazzle>)"));

    for (size_t p = 0; p < infos().size(); ++p)
        EXPECT_FLOAT_EQ (processor.getValue ((int) p), p == tz::reverbOn ? 1.0f : infos()[p].def) << infos()[p].id;

    EXPECT_EQ (processor.getChainOrder(), tz::defaultChainOrder);
    for (int e = 0; e < tz::numEffects; ++e)
        EXPECT_EQ (tz::packGridRow (processor.getGridRow ((tz::EffectId) e)), 0u);

    EXPECT_EQ (processor.getPresetName(), "Untitled");
    EXPECT_EQ (processor.getPresetCategory(), "");
    EXPECT_EQ (processor.getPresetPack(), "");
}

TEST (PresetLoading, ValuesAreReadLenientlyAndClamped)
{
    const struct
    {
        const char* value;
        int param;
        float expected;
    } cases[] = {
        { "inf", tz::filterCutoff, 1000.0f },
        { "nan", tz::filterCutoff, 1000.0f },
        { "1e39", tz::filterCutoff, 1000.0f }, // beyond single precision
        { "300", tz::filterCutoff, 300.0f },
        { "99999", tz::filterCutoff, 20000.0f },
        { "-5", tz::mix, 0.0f },
        { "7.4", tz::delayTime, 7.0f },
        { "abc", tz::mix, 0.0f },
    };

    for (const auto& c : cases)
    {
        TazzleAudioProcessor processor;
        const auto& id = infos()[(size_t) c.param].id;
        processor.loadPreset (*parse ("<Tazzle><PARAM id=\"" + id + "\" value=\"" + c.value + "\"/></Tazzle>"));
        EXPECT_FLOAT_EQ (processor.getValue (c.param), c.expected) << id << " = " << c.value;
    }
}

TEST (PresetLoading, LockedMixAndOutputSurviveLoads)
{
    const struct
    {
        const char* locked;
        float mix, output, cutoff;
    } cases[] = {
        { "", 80.0f, -3.0f, 300.0f },
        { "mix", 40.0f, -3.0f, 300.0f },
        { "mix,output_gain", 40.0f, 5.0f, 300.0f },
        { "output_gain,filter_cutoff", 80.0f, 5.0f, 300.0f }, // only mix and output can be locked
        { "Mix, output_gain", 80.0f, -3.0f, 300.0f },         // whole, exact tokens only
        { "mixer", 80.0f, -3.0f, 300.0f },
    };

    const auto preset = parse (R"(<Tazzle presetName="P"><PARAM id="mix" value="80"/>
                                  <PARAM id="output_gain" value="-3"/><PARAM id="filter_cutoff" value="300"/></Tazzle>)");

    for (const auto& c : cases)
    {
        TazzleAudioProcessor processor;
        auto& state = processor.getParameterState().state;
        state.setProperty ("locked", c.locked, nullptr);
        state.setProperty ("folded", 5, nullptr);
        state.setProperty ("uiScale", 0.7, nullptr);
        processor.setValue (tz::mix, 40.0f);
        processor.setValue (tz::outputGain, 5.0f);

        processor.loadPreset (*preset);

        EXPECT_FLOAT_EQ (processor.getValue (tz::mix), c.mix) << c.locked;
        EXPECT_FLOAT_EQ (processor.getValue (tz::outputGain), c.output) << c.locked;
        EXPECT_FLOAT_EQ (processor.getValue (tz::filterCutoff), c.cutoff) << c.locked;
        EXPECT_EQ (state.getProperty ("locked").toString(), c.locked);
        EXPECT_EQ ((int) state.getProperty ("folded"), 5);
        EXPECT_DOUBLE_EQ ((double) state.getProperty ("uiScale"), 0.7);
    }
}

TEST (PresetLoading, InitPatchTurnsEverythingOff)
{
    TazzleAudioProcessor processor;
    processor.getParameterState().state.setProperty ("presetPack", "Drums", nullptr);

    processor.resetToInit();

    for (size_t p = 0; p < infos().size(); ++p)
        EXPECT_FLOAT_EQ (processor.getValue ((int) p), infos()[p].def) << infos()[p].id;
    for (const auto& effect : tz::effectParams)
        EXPECT_EQ (processor.getValue (effect.on), 0.0f);

    EXPECT_EQ (processor.getPresetName(), "Init");
    EXPECT_EQ (processor.getPresetCategory(), "");
    EXPECT_EQ (processor.getPresetPack(), "");
    EXPECT_EQ (processor.getChainOrder(), tz::defaultChainOrder);
    EXPECT_EQ (property (processor, "chainOrder").toString(), "");
    EXPECT_EQ (property (processor, "grid").toString(), "");
    for (int e = 0; e < tz::numEffects; ++e)
        EXPECT_EQ (tz::packGridRow (processor.getGridRow ((tz::EffectId) e)), 0u);
}

TEST (PresetLoading, FreshInstanceStartsWithTheWelcomePreset)
{
    TazzleAudioProcessor processor;
    EXPECT_EQ (processor.getPresetName(), "Tazzle Machine");
    EXPECT_EQ (processor.getPresetCategory(), "Rhythmic");
    EXPECT_EQ (processor.getPresetPack(), "");
    EXPECT_EQ (processor.getChainOrder(), tz::defaultChainOrder);
    EXPECT_EQ (tz::packGridRow (processor.getGridRow (tz::stutter)), 0x10000u | 49152u);
    EXPECT_EQ (tz::packGridRow (processor.getGridRow (tz::reverse)), 0x10000u | 256u);
    EXPECT_EQ (tz::packGridRow (processor.getGridRow (tz::filter)), 0u);

    const struct
    {
        int param;
        float value;
    } values[] = {
        { tz::volumeLevel, 18 },
        { tz::modParam (0, tz::modField::firstStep + 1), 55 },
        { tz::modParam (0, tz::modField::firstStep + 15), 60 },
        { tz::modParam (0, tz::modField::firstStepShape + 4), 1 },
        { tz::filterCutoff, 2600 },
        { tz::modParam (1, tz::modField::shape), 6 },
        { tz::modParam (1, tz::modField::followsXY), 0 },
        { tz::driveType, 3 },
        { tz::delayPingpong, 100 },
        { tz::modParam (2, tz::modField::firstStep + 2), 100 },
        { tz::modParam (2, tz::modField::firstStep + 3), 0 },
        { tz::reverbSize, 72 },
        { tz::stutterHold, 5 },
        { tz::xyY, 85 },
        { tz::outputGain, 4 },
        { tz::routeParam (3, tz::routeField::source), 5 },
        { tz::routeParam (3, tz::routeField::target), 2 },
        { tz::routeParam (3, tz::routeField::depth), 30 },
        { tz::routeParam (5, tz::routeField::target), 18 },
        { tz::routeParam (6, tz::routeField::source), 0 },
        { tz::mix, 100 },
    };

    for (const auto& v : values)
        EXPECT_FLOAT_EQ (processor.getValue (v.param), v.value) << infos()[(size_t) v.param].id;
}

TEST (PresetFiles, PackIsTheFolderUnderPacks)
{
    const ScopedTemporaryHome home;
    const auto root = TazzleAudioProcessor::presetFolder();
    const auto elsewhere = home.path().getChildFile ("Elsewhere");

    const struct
    {
        juce::File file;
        const char* pack;
    } cases[] = {
        { root.getChildFile ("Packs/Drums/Gates/Kick.tzpreset"), "Drums" },
        { root.getChildFile ("PACKS/Drums/Gates/Kick.tzpreset"), "Drums" },
        { root.getChildFile ("Gates/Kick.tzpreset"), "" },
        { root.getChildFile ("Packs/Drums/Kick.tzpreset"), "" },
        { elsewhere.getChildFile ("Packs/Drums/Gates/Kick.tzpreset"), "" },
    };

    for (const auto& c : cases)
    {
        writeText (c.file,
                   R"(<Tazzle presetName="Kick" presetCategory="Gates"><PARAM id="crush_on" value="1"/></Tazzle>)");

        TazzleAudioProcessor processor;
        processor.getParameterState().state.setProperty ("presetPack", "Stale", nullptr);
        processor.loadPresetFile (c.file);

        EXPECT_EQ (processor.getPresetPack(), c.pack) << c.file.getFullPathName();
        EXPECT_EQ (processor.getPresetName(), "Kick");
        EXPECT_EQ (processor.getPresetCategory(), "Gates");
        EXPECT_EQ (processor.getValue (tz::crushOn), 1.0f);

        processor.resetToInit();
        EXPECT_EQ (processor.getPresetPack(), "");
    }
}

TEST (PresetFiles, UnusableFilesChangeNothing)
{
    const ScopedTemporaryHome home;
    const auto folder = home.path().getChildFile ("User");

    const struct
    {
        const char* name;
        juce::String text;
    } cases[] = {
        { "Foreign.tzpreset", R"(<Other presetName="Foreign"><PARAM id="mix" value="10"/></Other>)" },
        { "Broken.tzpreset", "not a preset" },
        { "Empty.tzpreset", "" },
        { "Deep.tzpreset", documentAround (nestedElements (5000)) },
        { "Huge.tzpreset", documentAround (juce::String::repeatedString (" ", (int) tz::maxXmlBytes)) },
    };

    for (const auto& c : cases)
    {
        const auto file = folder.getChildFile (c.name);
        writeText (file, c.text);

        TazzleAudioProcessor processor;
        const auto before = stateOf (processor);
        processor.loadPresetFile (file);
        EXPECT_EQ (stateOf (processor), before) << c.name;
    }

    TazzleAudioProcessor processor;
    const auto before = stateOf (processor);
    processor.loadPresetFile (folder.getChildFile ("Missing.tzpreset"));
    EXPECT_EQ (stateOf (processor), before);
}

// Loads `file` on another thread. A load still running after a generous wait has blocked: a writer is then
// opened on the file (ending a wait on a pipe) and the load reported as blocked.
bool loadsWithoutBlocking (TazzleAudioProcessor& processor, const juce::File& file)
{
    auto load = std::async (std::launch::async, [&] { processor.loadPresetFile (file); });
    if (load.wait_for (std::chrono::seconds (30)) == std::future_status::ready)
        return true;

    const int writer = ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        ::close (writer);
    load.wait();
    return false;
}

TEST (PresetFiles, OnlyRegularFilesWithinTheLimitAreRead)
{
    const ScopedTemporaryHome home;
    const auto folder = home.path().getChildFile ("User");
    ASSERT_TRUE (folder.createDirectory());

    const auto pipe = folder.getChildFile ("Pipe.tzpreset");
    ASSERT_EQ (::mkfifo (pipe.getFullPathName().toRawUTF8(), 0600), 0);
    const auto zeros = folder.getChildFile ("Zeros.tzpreset");
    ASSERT_TRUE (juce::File ("/dev/zero").createSymbolicLink (zeros, false));
    const auto directory = folder.getChildFile ("Directory.tzpreset");
    ASSERT_TRUE (directory.createDirectory());

    for (const auto& file : { pipe, zeros, directory })
    {
        TazzleAudioProcessor processor;
        const auto before = stateOf (processor);
        EXPECT_TRUE (loadsWithoutBlocking (processor, file)) << file.getFileName();
        EXPECT_EQ (stateOf (processor), before) << file.getFileName();
    }

    // A file of exactly the limit loads, also through a link.
    const auto padding = (int) tz::maxXmlBytes - documentAround ({}).getNumBytesAsUTF8();
    const auto largest = folder.getChildFile ("Largest.tzpreset");
    writeText (largest, documentAround (juce::String::repeatedString (" ", (int) padding)));
    ASSERT_EQ (largest.getSize(), (juce::int64) tz::maxXmlBytes);
    const auto link = folder.getChildFile ("Link.tzpreset");
    ASSERT_TRUE (largest.createSymbolicLink (link, false));

    for (const auto& file : { largest, link })
    {
        TazzleAudioProcessor processor;
        processor.loadPresetFile (file);
        EXPECT_EQ (processor.getPresetName(), "Hostile") << file.getFileName();
        EXPECT_FLOAT_EQ (processor.getValue (tz::mix), 10.0f) << file.getFileName();
    }
}

TEST (PresetFiles, LowerCaseRootIsAPreset)
{
    const ScopedTemporaryHome home;
    const auto file = home.path().getChildFile ("lower.tzpreset");
    writeText (file, R"(<tazzle presetName="Lower"><PARAM id="mix" value="10"/></tazzle>)");

    TazzleAudioProcessor processor;
    processor.loadPresetFile (file);
    EXPECT_EQ (processor.getPresetName(), "Lower");
    EXPECT_FLOAT_EQ (processor.getValue (tz::mix), 10.0f);
}

TEST (PresetFiles, FolderAndCategories)
{
    const ScopedTemporaryHome home;
    const auto expected = home.path().getChildFile (".config/Quarrow/Tazzle/Presets");
    EXPECT_EQ (TazzleAudioProcessor::presetFolder(), expected);
    EXPECT_FALSE (expected.exists()); // asking creates nothing

    EXPECT_EQ (
        TazzleAudioProcessor::presetCategories(),
        juce::StringArray ({ "Gates", "Rhythmic", "Glitch", "Lo-Fi", "Space", "Textures", "Transitions", "User" }));
}
} // namespace
