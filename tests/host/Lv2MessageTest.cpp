#include <gtest/gtest.h>

#include <cmath>

#include <juce_audio_processors/juce_audio_processors.h>

#include "host/Lv2MessageHost.h"

namespace
{
using tz::test::HostPosition;
using tz::test::Lv2MessageHost;

constexpr double sampleRate = 48000.0;
constexpr int maxBlock = 512;

const std::string propertyPrefix = std::string (TAZZLE_LV2_URI) + ":";

// An LV2 state holds the host-state blob as base64 text.
std::string toLv2State (const juce::XmlElement& document)
{
    juce::MemoryBlock blob;
    juce::AudioProcessor::copyXmlToBinary (document, blob);
    return blob.toBase64Encoding().toStdString();
}

// The plain value of every parameter in a saved state, by parameter ID.
std::map<std::string, double> parameterValues (const std::string& state)
{
    juce::MemoryBlock blob;
    blob.fromBase64Encoding (state);
    const auto document = juce::AudioProcessor::getXmlFromBinary (blob.getData(), (int) blob.getSize());

    std::map<std::string, double> values;
    if (document != nullptr)
        for (const auto* param : document->getChildWithTagNameIterator ("PARAM"))
            values[param->getStringAttribute ("id").toStdString()] = param->getDoubleAttribute ("value");
    return values;
}

void expectAnnouncedAsSaved (Lv2MessageHost& host, bool everyParameter, const char* when)
{
    SCOPED_TRACE (when);
    const auto announced = host.announcedValues();
    const auto saved = parameterValues (host.saveState());
    ASSERT_EQ (saved.size(), 263u);
    if (everyParameter)
    {
        EXPECT_EQ (announced.size(), saved.size());
    }

    for (const auto& [property, value] : announced)
    {
        const auto id = property.substr (propertyPrefix.size());
        ASSERT_EQ (saved.count (id), 1u) << property;
        EXPECT_NEAR (value, saved.at (id), 1.0e-5 * std::max (1.0, std::abs (saved.at (id)))) << id;
    }
}

class Lv2Messages : public ::testing::Test
{
protected:
    Lv2MessageHost host { juce::File (TAZZLE_LV2_BUNDLE), TAZZLE_LV2_URI, sampleRate, maxBlock };
};

// A host's own controls for the plug-in's parameters show what the plug-in tells it with patch:Set.
TEST_F (Lv2Messages, HostLearnsEveryValueFirstAfterAPresetAndWhenItAsks)
{
    ASSERT_TRUE (host.isLoaded());

    // The welcome preset was applied before the host could listen.
    host.run (maxBlock, 0.0f);
    expectAnnouncedAsSaved (host, true, "first block");

    host.run (maxBlock, 0.0f);
    EXPECT_EQ (host.announcementCount(), 0);

    const auto preset =
        juce::parseXML (juce::File (TAZZLE_PRESET_SOURCE_DIR).getChildFile ("Gates/Breathing Gate.tzpreset"));
    ASSERT_NE (preset, nullptr);
    host.restoreState (toLv2State (*preset));
    host.run (maxBlock, 0.0f);
    EXPECT_GT (host.announcementCount(), 0);
    expectAnnouncedAsSaved (host, false, "changes of a preset");

    host.sendPatchGet();
    host.run (maxBlock, 0.0f);
    expectAnnouncedAsSaved (host, true, "patch:Get");

    host.sendPatchGet ((propertyPrefix + "filter_cutoff").c_str());
    host.run (maxBlock, 0.0f);
    EXPECT_EQ (host.announcementCount(), 1);
    EXPECT_NEAR (host.announcedValues().at (propertyPrefix + "filter_cutoff"), 2500.0f, 0.01f);
}

// A host that sends the bar and the beat within it, but no absolute beat, and sends a position only when the
// transport jumps. The volume effect, at level 0, is gated by a grid row with only step 1 painted: the output is
// silent in the first sixteenth of every bar and passes the input everywhere else.
TEST_F (Lv2Messages, GridFollowsTheHostsBarsBetweenPositionMessages)
{
    ASSERT_TRUE (host.isLoaded());

    juce::XmlElement patch ("Tazzle");
    patch.setAttribute ("presetName", "Grid Probe");
    patch.setAttribute ("grid", "0:0,1:1,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0");
    for (const auto& [id, value] : { std::pair { "volume_on", 1.0 }, { "volume_level", 0.0 } })
    {
        auto* param = patch.createNewChildElement ("PARAM");
        param->setAttribute ("id", id);
        param->setAttribute ("value", value);
    }
    host.restoreState (toLv2State (patch));

    // Not the 120 BPM the plug-in assumes when it has no position.
    constexpr float bpm = 100.0f;
    constexpr double samplesPerBeat = sampleRate * 60.0 / bpm;
    constexpr double stepBeats = 0.25; // grid_rate 1/16, 16 steps
    constexpr int blockLength = 480;
    constexpr float input = 0.5f;

    const struct Segment
    {
        std::int64_t bar;
        float barBeat;
        float beatsPerBar;
        int beatUnit;
        std::optional<double> beat;
        double expectedBeat; // in quarter notes, at the message
        int offset;          // of the message within its block
        int blocks;          // the first carries the message, the others none
    } segments[] = {
        { 0, 0.0f, 4.0f, 4, {}, 0.0, 0, 24 },      // from the start of bar 1
        { 5, 3.75f, 4.0f, 4, {}, 23.75, 0, 24 },   // the last sixteenth of bar 6, then over the bar line
        { 4, 0.0f, 3.0f, 4, {}, 12.0, 0, 18 },     // 3/4
        { 8, 0.0f, 6.0f, 8, {}, 24.0, 0, 18 },     // 6/8: the bar's beats are eighths
        { 2, 3.75f, 4.0f, 4, {}, 11.75, 240, 24 }, // a message within a block describes that frame
        { 1, 1.0f, 4.0f, 4, 16.0, 16.0, 0, 18 },   // the absolute beat, where a host sends it, wins
        { 3, 3.0f, 4.0f, 4, {}, 15.0, 0, 75 },     // a long stretch without messages
    };

    // Where the gate changes the output glides over some milliseconds; a jump of the position happens at a block's
    // start.
    constexpr int settling = 600;

    for (const auto& segment : segments)
    {
        SCOPED_TRACE ("bar " + std::to_string (segment.bar) + ", beat " + std::to_string (segment.barBeat));

        HostPosition position;
        position.beat = segment.beat;
        position.bar = segment.bar;
        position.barBeat = segment.barBeat;
        position.beatsPerBar = segment.beatsPerBar;
        position.beatUnit = segment.beatUnit;
        position.bpm = bpm;
        position.frame = (std::int64_t) std::llround (segment.expectedBeat * samplesPerBeat);
        host.sendPosition (segment.offset, position);

        std::vector<float> output;
        for (int block = 0; block < segment.blocks; ++block)
        {
            const auto samples = host.run (blockLength, input);
            output.insert (output.end(), samples.begin(), samples.end());
        }

        int sameSince = 0;
        bool wasSilent = false;
        for (int i = 0; i < (int) output.size(); ++i)
        {
            const auto beat = segment.expectedBeat + (i - segment.offset) / samplesPerBeat;
            const bool silent = (int) std::floor (beat / stepBeats) % 16 == 0;
            if (i == 0 || silent != wasSilent)
                sameSince = i;
            wasSilent = silent;

            if (i >= settling && i - sameSince >= settling)
            {
                if (silent)
                    ASSERT_LT (std::abs (output[(size_t) i]), 1.0e-3f) << "sample " << i << ", beat " << beat;
                else
                    ASSERT_GT (output[(size_t) i], 0.49f) << "sample " << i << ", beat " << beat;
            }
        }
    }
}
} // namespace
