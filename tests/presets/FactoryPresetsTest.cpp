#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <regex>
#include <set>

#include "FactoryPresetData.h"
#include "presets/PresetTestSupport.h"

namespace
{
using namespace tz::test;

struct Group
{
    const char* category;
    std::vector<const char*> names;
};

// The full factory set, group by group in resource order.
const std::vector<Group>& factoryTable()
{
    static const std::vector<Group> table {
        { "Gates",
          { "Breathing Gate", "Classic 1-16 Gate", "Crushed Accent Gate", "Ghost Notes Gate", "Half-Time Glide Gate",
            "Offbeat Pump", "Sidechain Pump", "Sidechain Wash", "Stereo Chopper", "Stereo Ping Gate", "Swing Gate 62",
            "Trance Gate Pluck", "Tresillo Chop", "Triplet Slicer", "XY Gate Morph", "XY Gate Rider" } },
        { "Glitch",
          { "Beat Repeat Bar End", "Bit Shatter", "Broken Machine", "Glitch Grains", "Glitch Machine",
            "Pitch Drop Repeats", "Pitch Stutter Riser", "Random Reverse", "Ratchet Rolls", "Reverse Glitches",
            "Reverse Snares", "Stutter Fills", "Stutter Roll Down", "Tape Glitch Bar", "XY Glitch Pad" } },
        { "Lo-Fi",
          { "8-Bit Arcade", "Bit Sweep", "Bitcrush Climb", "Broken Cassette", "Cassette Wobble", "Crushed Offbeats",
            "Downsampled Dreams", "Dusty Delay", "Dusty Vinyl", "Lo-Fi Gate", "Radio Tuning", "SP Sampler 26k",
            "Sampler 12-Bit", "Telephone Line" } },
        { "Rhythmic",
          { "Acid Wobble", "Band Pass Walker", "Dub Siren Delay", "Echo Swell", "Filter Sequence", "Funky Envelope",
            "Glide Bass Filter", "Hat Shredder", "Offbeat Echoes", "Tazzle Machine", "Resonant Steps",
            "Stepped Sample Rate", "Swung Hi-Pass", "Triplet Auto-Pan", "Wah Chords", "XY Filter Dance" } },
        { "Space",
          { "Ambient Smear", "Bar End Wash", "Big Hall Swells", "Dotted Dub", "Echo Chamber", "Gated Plate",
            "Gated Reverb", "Infinite Hall", "Ping Pong Dotted", "Shimmer Space", "Spacious Filter Swell",
            "Triplet Ping Pong", "Washed Out", "XY Space Morph" } },
        { "Textures",
          { "Both Ways Swarm", "Crushed Grains", "Feedback Bloom", "Glass Particles", "Grain Cloud", "Grain Stepper",
            "Granular Choir", "Octave Down Haze", "Pitch Walk Grains", "Reverse Cloud", "Reverse Grain Wash",
            "Shimmer Grains", "Sub Grains", "Tidal Texture", "XY Cloud Control", "XY Grain Portal" } },
        { "Transitions",
          { "8 Bar Riser", "Build-Up Stutter", "Downlifter", "Filter Riser 4 Bars", "Gate Accelerator",
            "Glitch Breakdown", "Lo-Fi Fade Out", "Pre-Drop Filter Dive", "Reverse Riser 2 Bars",
            "Reverse Swell Into Drop", "Snare Roll Builder", "Tape Stop Every 4 Bars", "Tape Stop Every 8 Bars",
            "Washout Exit", "XY Build Machine" } },
    };
    return table;
}

struct Resource
{
    juce::String name, fileName, text;
};

std::vector<Resource> resources()
{
    std::vector<Resource> list;
    for (int i = 0; i < FactoryPresetData::namedResourceListSize; ++i)
    {
        int size = -1;
        const auto* data = FactoryPresetData::getNamedResource (FactoryPresetData::namedResourceList[i], size);
        list.push_back ({ FactoryPresetData::namedResourceList[i], FactoryPresetData::originalFilenames[i],
                          data != nullptr ? juce::String::fromUTF8 (data, size) : juce::String() });
    }
    return list;
}

// Spaces become underscores, other punctuation goes, ".tzpreset" becomes "_tzpreset", a leading digit gets "_".
juce::String resourceNameFor (const juce::String& fileName)
{
    auto name = fileName.replaceCharacters (" .", "__")
                    .retainCharacters ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_");
    return juce::CharacterFunctions::isDigit (name[0]) ? "_" + name : name;
}

const char* const reverseSnares =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<Tazzle presetName=\"Reverse Snares\" presetCategory=\"Glitch\" chainOrder=\"6,8,9,0,3,2,1,4,5,7\" "
    "grid=\"0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,4112:1,0:0\">\n"
    "  <PARAM id=\"reverse_on\" value=\"1.0\" />\n"
    "  <PARAM id=\"reverse_length\" value=\"0.0\" />\n"
    "</Tazzle>\n";

const char* const tapeGlitchBar =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<Tazzle presetName=\"Tape Glitch Bar\" presetCategory=\"Glitch\" chainOrder=\"6,8,9,0,3,2,1,4,5,7\" "
    "grid=\"0:0,0:0,0:0,0:0,0:0,0:0,24576:1,32768:1,0:0,0:0\">\n"
    "  <PARAM id=\"tapestop_on\" value=\"1.0\" />\n"
    "  <PARAM id=\"tapestop_time\" value=\"0.0\" />\n"
    "  <PARAM id=\"tapestop_curve\" value=\"30.0\" />\n"
    "  <PARAM id=\"stutter_on\" value=\"1.0\" />\n"
    "  <PARAM id=\"stutter_length\" value=\"1.0\" />\n"
    "  <PARAM id=\"stutter_hold\" value=\"5.0\" />\n"
    "</Tazzle>\n";

const char* const bitSweep =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<Tazzle presetName=\"Bit Sweep\" presetCategory=\"Lo-Fi\" chainOrder=\"6,8,9,0,3,2,1,4,5,7\">\n"
    "  <PARAM id=\"crush_on\" value=\"1.0\" />\n"
    "  <PARAM id=\"crush_bits\" value=\"6.0\" />\n"
    "  <PARAM id=\"crush_rate\" value=\"1500.0\" />\n"
    "  <PARAM id=\"mod2_mode\" value=\"0.0\" />\n"
    "  <PARAM id=\"mod2_shape\" value=\"1.0\" />\n"
    "  <PARAM id=\"mod2_rate\" value=\"13.0\" />\n"
    "  <PARAM id=\"route01_source\" value=\"2.0\" />\n"
    "  <PARAM id=\"route01_target\" value=\"7.0\" />\n"
    "  <PARAM id=\"route01_depth\" value=\"60.0\" />\n"
    "  <PARAM id=\"route02_source\" value=\"2.0\" />\n"
    "  <PARAM id=\"route02_target\" value=\"6.0\" />\n"
    "  <PARAM id=\"route02_depth\" value=\"25.0\" />\n"
    "</Tazzle>\n";

const char* const infiniteHall =
    "<?xml version='1.0' encoding='UTF-8'?>\n"
    "<Tazzle presetName=\"Infinite Hall\" presetCategory=\"Space\" chainOrder=\"6,8,9,0,3,2,1,4,5,7\">\n"
    "  <PARAM id=\"reverb_on\" value=\"1.0\" />\n"
    "  <PARAM id=\"reverb_size\" value=\"98.0\" />\n"
    "  <PARAM id=\"reverb_damping\" value=\"20.0\" />\n"
    "  <PARAM id=\"reverb_mix\" value=\"50.0\" />\n"
    "</Tazzle>\n";

// The welcome preset, written out from its parameter table in document order.
juce::String tazzleMachine()
{
    std::vector<std::pair<juce::String, float>> params { { "volume_on", 1 },
                                                         { "volume_level", 18 },
                                                         { "mod1_mode", 1 },
                                                         { "mod1_rate", 3 },
                                                         { "mod1_smooth", 6 } };
    const auto addSteps = [&params] (int mod, const std::array<float, 16>& levels)
    {
        for (int step = 0; step < 16; ++step)
            params.emplace_back ("mod" + juce::String (mod) + "_step" + juce::String (step + 1).paddedLeft ('0', 2),
                                 levels[(size_t) step]);
        for (int step = 0; step < 16; ++step)
            params.emplace_back (
                "mod" + juce::String (mod) + "_step" + juce::String (step + 1).paddedLeft ('0', 2) + "_shape", 1.0f);
    };

    addSteps (1, { 100, 55, 100, 80, 30, 100, 65, 40, 100, 55, 100, 80, 30, 100, 90, 60 });
    params.insert (params.end(),
                   { { "filter_on", 1 },
                     { "filter_cutoff", 2600 },
                     { "filter_resonance", 38 },
                     { "mod2_mode", 0 },
                     { "mod2_shape", 6 },
                     { "mod2_rate", 12 },
                     { "mod2_xy", 0 },
                     { "drive_on", 1 },
                     { "drive_type", 3 },
                     { "drive_amount", 22 },
                     { "delay_on", 1 },
                     { "delay_time", 6 },
                     { "delay_feedback", 42 },
                     { "delay_pingpong", 100 },
                     { "delay_tone", 62 },
                     { "delay_mix", 8 },
                     { "mod3_mode", 1 },
                     { "mod3_rate", 3 },
                     { "mod3_smooth", 25 } });
    addSteps (3, { 0, 0, 100, 0, 0, 0, 100, 0, 0, 0, 100, 0, 0, 0, 100, 0 });
    params.insert (params.end(),
                   { { "reverb_on", 1 },
                     { "reverb_size", 72 },
                     { "reverb_damping", 35 },
                     { "reverb_mix", 16 },
                     { "stutter_on", 1 },
                     { "stutter_length", 1 },
                     { "stutter_hold", 5 },
                     { "reverse_on", 1 },
                     { "reverse_length", 0 },
                     { "xy_x", 50 },
                     { "xy_y", 85 },
                     { "output_gain", 4 } });

    const std::array<std::array<float, 3>, 6> routes {
        { { 1, 4, 100 }, { 2, 1, 32 }, { 3, 15, 32 }, { 5, 2, 30 }, { 5, 12, 25 }, { 6, 18, 25 } }
    };
    for (size_t r = 0; r < routes.size(); ++r)
    {
        const auto prefix = "route" + juce::String ((int) r + 1).paddedLeft ('0', 2) + "_";
        params.emplace_back (prefix + "source", routes[r][0]);
        params.emplace_back (prefix + "target", routes[r][1]);
        params.emplace_back (prefix + "depth", routes[r][2]);
    }

    juce::String text = "<?xml version='1.0' encoding='UTF-8'?>\n"
                        "<Tazzle presetName=\"Tazzle Machine\" presetCategory=\"Rhythmic\" "
                        "chainOrder=\"6,8,9,0,3,2,1,4,5,7\" grid=\"0:0,0:0,0:0,0:0,0:0,0:0,49152:1,0:0,256:1,0:0\">\n";
    for (const auto& [id, value] : params)
        text << "  <PARAM id=\"" << id << "\" value=\"" << juce::String (value, 1) << "\" />\n";
    return text + "</Tazzle>\n";
}

juce::File factoryFile (const juce::String& category, const juce::String& name)
{
    return TazzleAudioProcessor::presetFolder().getChildFile (category).getChildFile (name + ".tzpreset");
}

TEST (FactoryPresetData, ResourcesFollowTheFactoryTableInOrder)
{
    std::vector<std::pair<juce::String, juce::String>> expected; // file name, category
    for (const auto& group : factoryTable())
        for (const auto* name : group.names)
            expected.emplace_back (juce::String (name) + ".tzpreset", group.category);
    ASSERT_EQ (expected.size(), 106u);

    const auto list = resources();
    ASSERT_EQ (list.size(), expected.size());

    for (size_t i = 0; i < list.size(); ++i)
    {
        const auto& resource = list[i];
        const auto& [fileName, category] = expected[i];
        ASSERT_EQ (resource.fileName, fileName) << "resource " << i;
        EXPECT_EQ (resource.name, resourceNameFor (fileName));

        const auto document = juce::parseXML (resource.text);
        ASSERT_NE (document, nullptr) << fileName;
        EXPECT_EQ (document->getTagName(), "Tazzle");
        EXPECT_EQ (document->getStringAttribute ("presetName") + ".tzpreset", fileName);
        EXPECT_EQ (document->getStringAttribute ("presetCategory"), category);
        EXPECT_TRUE (document->hasAttribute ("chainOrder")) << fileName;

        for (const auto* param : document->getChildIterator())
            EXPECT_TRUE (std::any_of (tz::allParams().begin(), tz::allParams().end(),
                                      [&] (const auto& info) { return info.id == param->getStringAttribute ("id"); }))
                << fileName << ": " << param->getStringAttribute ("id");

        EXPECT_TRUE (resource.text.startsWith ("<?xml version='1.0' encoding='UTF-8'?>\n")) << fileName;
        EXPECT_TRUE (resource.text.endsWith ("</Tazzle>\n")) << fileName;
        EXPECT_FALSE (resource.text.containsChar ('\r')) << fileName;
    }
}

TEST (FactoryPresetData, GivenPresetsAreEmbeddedByteForByte)
{
    const std::map<juce::String, juce::String> given {
        { "Reverse Snares.tzpreset", reverseSnares },
        { "Tape Glitch Bar.tzpreset", tapeGlitchBar },
        { "Bit Sweep.tzpreset", bitSweep },
        { "Infinite Hall.tzpreset", infiniteHall },
        { "Tazzle Machine.tzpreset", tazzleMachine() },
    };

    for (const auto& [fileName, text] : given)
    {
        int size = -1;
        const auto* data = FactoryPresetData::getNamedResource (resourceNameFor (fileName).toRawUTF8(), size);
        ASSERT_NE (data, nullptr) << fileName;
        EXPECT_EQ (std::string (data, (size_t) size), text.toStdString()) << fileName;
        EXPECT_STREQ (FactoryPresetData::getNamedResourceOriginalFilename (resourceNameFor (fileName).toRawUTF8()),
                      fileName.toRawUTF8());
    }
}

// Every resource is the file of the same name in the source folder of its category.
TEST (FactoryPresetData, EachPresetIsTheFileInItsCategoryFolder)
{
    const juce::File sourceFolder (TAZZLE_PRESET_SOURCE_DIR);
    const auto categories = TazzleAudioProcessor::presetCategories();

    for (const auto& resource : resources())
    {
        const auto document = juce::parseXML (resource.text);
        ASSERT_NE (document, nullptr) << resource.fileName;
        const auto category = document->getStringAttribute ("presetCategory");
        EXPECT_TRUE (categories.contains (category) && category != "User") << resource.fileName;

        const auto file = sourceFolder.getChildFile (category).getChildFile (resource.fileName);
        ASSERT_TRUE (file.existsAsFile()) << file.getFullPathName();
        juce::MemoryBlock bytes;
        ASSERT_TRUE (file.loadFileAsData (bytes));
        EXPECT_EQ (bytes.toString(), resource.text) << resource.fileName;
    }
}

// The factory text form, line by line: values as decimals in range, each parameter once, and routes that lead
// somewhere once they have a source.
TEST (FactoryPresetData, DocumentsAreSparseWellFormedPatches)
{
    const std::regex paramLine (R"re(  <PARAM id="([a-z0-9_]+)" value="(-?[0-9]+\.[0-9]+)" />)re");
    const auto& infos = tz::allParams();

    for (const auto& resource : resources())
    {
        const auto lines = juce::StringArray::fromLines (resource.text.trimEnd());
        ASSERT_GE (lines.size(), 3) << resource.fileName;
        EXPECT_TRUE (lines[1].startsWith ("<Tazzle presetName=\""));

        std::map<juce::String, float> values;
        for (int i = 2; i < lines.size() - 1; ++i)
        {
            std::smatch match;
            const auto line = lines[i].toStdString();
            ASSERT_TRUE (std::regex_match (line, match, paramLine)) << resource.fileName << ": " << line;

            const juce::String id (match[1].str());
            const float value = std::stof (match[2].str());
            const auto info = std::find_if (infos.begin(), infos.end(), [&] (const auto& p) { return p.id == id; });
            ASSERT_NE (info, infos.end()) << resource.fileName << ": " << id;
            EXPECT_TRUE (values.emplace (id, value).second) << resource.fileName << ": " << id << " twice";
            EXPECT_GE (value, info->min) << resource.fileName << ": " << id;
            EXPECT_LE (value, info->max) << resource.fileName << ": " << id;
            if (info->kind != tz::ParamKind::Float)
            {
                EXPECT_EQ (value, std::round (value)) << resource.fileName << ": " << id;
            }
        }
        EXPECT_EQ (lines[lines.size() - 1], "</Tazzle>");

        for (int route = 1; route <= 16; ++route)
        {
            const auto prefix = "route" + juce::String (route).paddedLeft ('0', 2) + "_";
            if (values.count (prefix + "source") == 0 || values[prefix + "source"] == 0.0f)
                continue;
            ASSERT_EQ (values.count (prefix + "target"), 1u) << resource.fileName << ": " << prefix;
            EXPECT_GE (values[prefix + "target"], 1.0f) << resource.fileName << ": " << prefix;
            EXPECT_LE (values[prefix + "target"], 35.0f) << resource.fileName << ": " << prefix;
        }
    }
}

TEST (FactoryPresetData, NamesAreUniqueAndOnlyFourPresetsReorderTheChain)
{
    // The telephone and the radio crush first and band-limit after, so the crusher's images are filtered too.
    const std::map<juce::String, juce::String> reordered {
        { "Dusty Delay", "6,8,9,3,1,4,2,0,5,7" },
        { "Sidechain Wash", "6,8,9,0,3,2,5,1,4,7" },
        { "Telephone Line", "6,8,9,2,3,0,1,4,5,7" },
        { "Radio Tuning", "6,8,9,2,0,3,1,4,5,7" },
    };

    std::set<juce::String> names;
    for (const auto& resource : resources())
    {
        const auto document = juce::parseXML (resource.text);
        const auto name = document->getStringAttribute ("presetName");
        EXPECT_TRUE (names.insert (name.toLowerCase()).second) << name;

        const auto found = reordered.find (name);
        EXPECT_EQ (document->getStringAttribute ("chainOrder"),
                   found != reordered.end() ? found->second : juce::String ("6,8,9,0,3,2,1,4,5,7"))
            << name;
    }
}

TEST (FactoryPresetData, FifteenPresetsPlayTheGrid)
{
    std::map<juce::String, int> withGrid;
    for (const auto& resource : resources())
    {
        const auto document = juce::parseXML (resource.text);
        if (! document->hasAttribute ("grid"))
            continue;

        ++withGrid[document->getStringAttribute ("presetCategory")];
        const auto rows = juce::StringArray::fromTokens (document->getStringAttribute ("grid"), ",", {});
        EXPECT_EQ (rows.size(), 10) << resource.fileName;
        EXPECT_TRUE (rows.joinIntoString (",").contains (":1")) << resource.fileName << " enables no grid row";
    }

    const std::map<juce::String, int> expected { { "Glitch", 11 }, { "Transitions", 3 }, { "Rhythmic", 1 } };
    EXPECT_EQ (withGrid, expected);
}

TEST (FactoryPresetData, UnknownNamesFindNothing)
{
    int size = 123;
    EXPECT_EQ (FactoryPresetData::getNamedResource ("No_Such_Preset_tzpreset", size), nullptr);
    EXPECT_EQ (size, 0);
    EXPECT_EQ (FactoryPresetData::getNamedResourceOriginalFilename ("No_Such_Preset_tzpreset"), nullptr);
    EXPECT_EQ (FactoryPresetData::getNamedResourceOriginalFilename ("Reverse Snares.tzpreset"), nullptr);
}

TEST (FactoryInstall, WritesEveryResourceAndTheMarker)
{
    const ScopedTemporaryHome home;
    TazzleAudioProcessor::installFactoryPresets();

    const auto root = TazzleAudioProcessor::presetFolder();
    const auto marker = root.getChildFile (".factory-presets-v4");
    EXPECT_TRUE (marker.existsAsFile());
    EXPECT_EQ (marker.getSize(), 0);

    int written = 0;
    for (const auto& resource : resources())
    {
        const auto document = juce::parseXML (resource.text);
        const auto file =
            factoryFile (document->getStringAttribute ("presetCategory"), document->getStringAttribute ("presetName"));
        ASSERT_TRUE (file.existsAsFile()) << file.getFullPathName();
        EXPECT_EQ (file.loadFileAsString(), resource.text);
        ++written;
    }
    EXPECT_EQ (written, FactoryPresetData::namedResourceListSize);

    // Nothing but the presets and the marker: no temporary files left behind.
    const auto all = root.findChildFiles (juce::File::findFiles, true, "*", juce::File::FollowSymlinks::no);
    EXPECT_EQ (all.size(), written + 1);
}

TEST (FactoryInstall, MarkerKeepsDeletionsAndEditsUntilTheSetChanges)
{
    const ScopedTemporaryHome home;
    TazzleAudioProcessor::installFactoryPresets();

    const auto hall = factoryFile ("Space", "Infinite Hall");
    const auto sweep = factoryFile ("Lo-Fi", "Bit Sweep");
    ASSERT_TRUE (hall.deleteFile());
    ASSERT_TRUE (sweep.replaceWithText ("my own sweep"));

    TazzleAudioProcessor::installFactoryPresets();
    EXPECT_FALSE (hall.exists());
    EXPECT_EQ (sweep.loadFileAsString(), "my own sweep");

    // A new set version (no v4 marker yet) brings back what is missing and still overwrites nothing.
    const auto marker = TazzleAudioProcessor::presetFolder().getChildFile (".factory-presets-v4");
    const auto olderMarker = TazzleAudioProcessor::presetFolder().getChildFile (".factory-presets-v3");
    ASSERT_TRUE (marker.moveFileTo (olderMarker));

    TazzleAudioProcessor::installFactoryPresets();
    EXPECT_EQ (hall.loadFileAsString(), infiniteHall);
    EXPECT_EQ (sweep.loadFileAsString(), "my own sweep");
    EXPECT_TRUE (marker.existsAsFile());
    EXPECT_TRUE (olderMarker.existsAsFile());
}

TEST (FactoryInstall, UnwritableFoldersAreSkippedAndTriedAgainUntilEverythingIsWritten)
{
    const ScopedTemporaryHome home;
    const auto root = TazzleAudioProcessor::presetFolder();
    ASSERT_TRUE (root.createDirectory());
    const auto space = root.getChildFile ("Space");
    ASSERT_TRUE (space.replaceWithText ("a file where a folder should be"));

    EXPECT_FALSE (TazzleAudioProcessor::installFactoryPresets());
    EXPECT_FALSE (root.getChildFile (".factory-presets-v4").exists());
    EXPECT_EQ (space.loadFileAsString(), "a file where a folder should be");
    EXPECT_EQ (factoryFile ("Glitch", "Reverse Snares").loadFileAsString(), reverseSnares);

    ASSERT_TRUE (space.deleteFile());
    EXPECT_TRUE (TazzleAudioProcessor::installFactoryPresets());
    EXPECT_TRUE (root.getChildFile (".factory-presets-v4").existsAsFile());
    EXPECT_EQ (factoryFile ("Space", "Infinite Hall").loadFileAsString(), infiniteHall);
}
} // namespace
