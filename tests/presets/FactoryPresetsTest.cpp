#include <gtest/gtest.h>

#include <map>

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

    size_t next = 0;
    for (const auto& resource : resources())
    {
        while (next < expected.size() && expected[next].first != resource.fileName)
            ++next;
        ASSERT_LT (next, expected.size()) << resource.fileName << " is not a factory preset or is out of order";

        EXPECT_EQ (resource.name, resourceNameFor (resource.fileName));

        const auto document = juce::parseXML (resource.text);
        ASSERT_NE (document, nullptr) << resource.fileName;
        EXPECT_EQ (document->getTagName(), "Tazzle");
        EXPECT_EQ (document->getStringAttribute ("presetName") + ".tzpreset", resource.fileName);
        EXPECT_EQ (document->getStringAttribute ("presetCategory"), expected[next].second);
        EXPECT_TRUE (document->hasAttribute ("chainOrder")) << resource.fileName;

        for (const auto* param : document->getChildIterator())
            EXPECT_TRUE (std::any_of (tz::allParams().begin(), tz::allParams().end(),
                                      [&] (const auto& info) { return info.id == param->getStringAttribute ("id"); }))
                << resource.fileName << ": " << param->getStringAttribute ("id");

        EXPECT_TRUE (resource.text.startsWith ("<?xml version='1.0' encoding='UTF-8'?>\n")) << resource.fileName;
        EXPECT_TRUE (resource.text.endsWith ("</Tazzle>\n")) << resource.fileName;
        EXPECT_FALSE (resource.text.containsChar ('\r')) << resource.fileName;
    }
}

TEST (FactoryPresetData, GivenPresetsAreEmbeddedByteForByte)
{
    const std::map<juce::String, const char*> given {
        { "Reverse Snares.tzpreset", reverseSnares },
        { "Tape Glitch Bar.tzpreset", tapeGlitchBar },
        { "Bit Sweep.tzpreset", bitSweep },
        { "Infinite Hall.tzpreset", infiniteHall },
    };

    for (const auto& [fileName, text] : given)
    {
        int size = -1;
        const auto* data = FactoryPresetData::getNamedResource (resourceNameFor (fileName).toRawUTF8(), size);
        ASSERT_NE (data, nullptr) << fileName;
        EXPECT_EQ (std::string (data, (size_t) size), std::string (text)) << fileName;
        EXPECT_STREQ (FactoryPresetData::getNamedResourceOriginalFilename (resourceNameFor (fileName).toRawUTF8()),
                      fileName.toRawUTF8());
    }

    int size = 0;
    EXPECT_NE (FactoryPresetData::getNamedResource ("Tazzle_Machine_tzpreset", size), nullptr);
    EXPECT_GT (size, 0);
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

TEST (FactoryInstall, UnwritableFoldersAreSkippedAndTheMarkerStillWritten)
{
    const ScopedTemporaryHome home;
    const auto root = TazzleAudioProcessor::presetFolder();
    ASSERT_TRUE (root.createDirectory());
    ASSERT_TRUE (root.getChildFile ("Space").replaceWithText ("a file where a folder should be"));

    TazzleAudioProcessor::installFactoryPresets();

    EXPECT_TRUE (root.getChildFile (".factory-presets-v4").existsAsFile());
    EXPECT_EQ (root.getChildFile ("Space").loadFileAsString(), "a file where a folder should be");
    EXPECT_EQ (factoryFile ("Glitch", "Reverse Snares").loadFileAsString(), reverseSnares);
}
} // namespace
