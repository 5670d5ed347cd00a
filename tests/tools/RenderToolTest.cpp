#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include "../ui/UiTestSupport.h"
#include "core/PluginProcessor.h"
#include "ui/GridView.h"
#include "ui/theme/Theme.h"

// Runs the built tazzle-render as a user would and checks what it leaves on disk.
namespace
{
struct ToolRun
{
    int exitCode = -1;
    juce::String output; // stdout and stderr together
};

class RenderTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                     .getChildFile ("tazzle-render-test-" + juce::String::toHexString (juce::Random().nextInt64()));
        ASSERT_TRUE (folder.createDirectory());
    }

    void TearDown() override
    {
        folder.setReadOnly (false, true);
        folder.deleteRecursively();
    }

    ToolRun run (const juce::StringArray& args) const
    {
        // The tool resolves relative paths against its working directory; give it absolute ones.
        juce::StringArray command { TAZZLE_RENDER_PATH };
        command.addArray (args);

        juce::ChildProcess process;
        ToolRun result;
        if (! process.start (command, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
            return result;

        result.output = process.readAllProcessOutput();
        process.waitForProcessToFinish (120000);
        result.exitCode = (int) process.getExitCode();
        return result;
    }

    juce::String path (const juce::String& name) const { return folder.getChildFile (name).getFullPathName(); }

    juce::StringArray filesInFolder() const
    {
        juce::StringArray names;
        for (const auto& entry : juce::RangedDirectoryIterator (
                 folder, false, "*", juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles))
            names.add (entry.getFile().getFileName());
        names.sort (false);
        return names;
    }

    // 24-bit stereo noise: every sample survives the tool's 24-bit output exactly.
    juce::AudioBuffer<float> writeNoise (const juce::String& name, int numSamples, double rate = 48000.0) const
    {
        juce::AudioBuffer<float> noise (2, numSamples);
        juce::Random random (42);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < numSamples; ++i)
                noise.setSample (ch, i, (float) (random.nextInt ({ -4000000, 4000000 })) / 8388608.0f);

        auto stream = folder.getChildFile (name).createOutputStream();
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.release(), rate, 2, 24, {}, 0));
        writer->writeFromAudioSampleBuffer (noise, 0, numSamples);
        return noise;
    }

    struct Wav
    {
        juce::AudioBuffer<float> samples;
        double rate = 0.0;
        unsigned int bits = 0;
    };

    Wav readWav (const juce::String& name) const
    {
        Wav wav;
        juce::WavAudioFormat format;
        const std::unique_ptr<juce::AudioFormatReader> reader (
            format.createReaderFor (folder.getChildFile (name).createInputStream().release(), true));
        if (reader == nullptr)
            return wav;

        wav.rate = reader->sampleRate;
        wav.bits = reader->bitsPerSample;
        wav.samples.setSize ((int) reader->numChannels, (int) reader->lengthInSamples);
        reader->read (&wav.samples, 0, (int) reader->lengthInSamples, 0, true, true);
        return wav;
    }

    static int reportedLatency (const juce::String& summary)
    {
        return summary.fromFirstOccurrenceOf ("latency ", false, false).getIntValue();
    }

    juce::File folder;
};

// One group per CTest entry: what the tool writes, how it passes audio, how it sets the patch, how it fails.
using RenderOutput = RenderTool;
using RenderPassThrough = RenderTool;
using RenderPatch = RenderTool;
using RenderErrors = RenderTool;

//==============================================================================
TEST_F (RenderOutput, DemoLoopRendersAValidWavOfTheExpectedLength)
{
    const struct
    {
        juce::StringArray args;
        double rate;
        int expectedSamples;
    } cases[] = {
        { {}, 48000.0, 768000 },                                                   // 8 bars at 120 BPM
        { { "--rate", "44100", "--bpm", "100", "--bars", "2" }, 44100.0, 211680 }, // 2 × 4 × 0.6 s
        { { "--seconds", "1.5", "--rate", "32000", "--block", "100" }, 32000.0, 48000 },
    };

    for (const auto& c : cases)
    {
        auto args = c.args;
        args.addArray ({ "--out", path ("demo.wav") });
        const auto result = run (args);
        SCOPED_TRACE (result.output);
        ASSERT_EQ (result.exitCode, 0);

        const auto wav = readWav ("demo.wav");
        EXPECT_EQ (wav.rate, c.rate);
        EXPECT_EQ (wav.bits, 24u);
        EXPECT_EQ (wav.samples.getNumChannels(), 2);
        EXPECT_EQ (wav.samples.getNumSamples(), c.expectedSamples);
        EXPECT_GT (wav.samples.getRMSLevel (0, 0, wav.samples.getNumSamples()), 0.01f);
        EXPECT_TRUE (result.output.contains ("peak") && result.output.contains ("RMS")) << result.output;
    }
}

TEST_F (RenderOutput, EachMaterialPlaysAtItsOwnLevel)
{
    // Through the init patch the output is the material itself: the pink noise sits at -20 dBFS RMS, the others
    // peak at -6 dBFS.
    const struct
    {
        const char* material;
        bool levelIsRms;
        float levelDb;
    } cases[] = {
        { "demo", false, -6.02f },
        { "pink", true, -20.0f },
        { "bass", false, -6.0f },
        { "pad", false, -6.0f },
    };

    for (const auto& c : cases)
    {
        const auto file = juce::String (c.material) + ".wav";
        const auto result = run ({ "--material", c.material, "--preset", "init", "--bars", "2", "--out", path (file) });
        SCOPED_TRACE (c.material);
        ASSERT_EQ (result.exitCode, 0) << result.output;

        const auto wav = readWav (file);
        const int n = wav.samples.getNumSamples();
        ASSERT_EQ (n, 192000);
        const float rms = std::sqrt (
            0.5f
            * (juce::square (wav.samples.getRMSLevel (0, 0, n)) + juce::square (wav.samples.getRMSLevel (1, 0, n))));
        const float level = c.levelIsRms ? rms : wav.samples.getMagnitude (0, n);
        EXPECT_NEAR (juce::Decibels::gainToDecibels (level), c.levelDb, 0.05f);
    }
}

TEST_F (RenderOutput, PictureIsAPngOfTheFixedSize)
{
    const auto result = run ({ "--seconds", "2", "--out", path ("demo.wav"), "--png", path ("demo.png") });
    ASSERT_EQ (result.exitCode, 0) << result.output;

    const auto image = juce::ImageFileFormat::loadFrom (folder.getChildFile ("demo.png"));
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getWidth(), 1600);
    EXPECT_EQ (image.getHeight(), 1000);
    EXPECT_TRUE (result.output.contains (path ("demo.png")));
}

TEST_F (RenderOutput, WindowPictureShowsThePluginAtTheChosenScale)
{
    const struct
    {
        juce::StringArray scale;
        int width, height;
    } cases[] = { { {}, 1360, 697 }, { { "--scale", "0.6" }, 960, 492 }, { { "--scale", "1.25" }, 2000, 1025 } };

    for (const auto& c : cases)
    {
        juce::StringArray args { "--seconds", "1", "--out", path ("demo.wav"), "--ui", path ("window.png") };
        args.addArray (c.scale);
        const auto result = run (args);
        ASSERT_EQ (result.exitCode, 0) << result.output;

        const auto image = juce::ImageFileFormat::loadFrom (folder.getChildFile ("window.png"));
        ASSERT_TRUE (image.isValid());
        EXPECT_EQ (image.getWidth(), c.width);
        EXPECT_EQ (image.getHeight(), c.height);
        EXPECT_TRUE (result.output.contains (path ("window.png")));

        // The MASTER pedal's LED strip in the accent colour, 2 units high at design (1528, 429.5): the
        // brightest pixel of the rows around it.
        const float s = (float) c.width / 1600.0f;
        juce::Colour led;
        for (int y = juce::roundToInt (427.0f * s); y <= juce::roundToInt (432.0f * s); ++y)
            if (const auto pixel = image.getPixelAt (juce::roundToInt (1528.0f * s), y); pixel.getRed() > led.getRed())
                led = pixel;
        EXPECT_GT (led.getRed(), 220) << led.toString();
        EXPECT_LT (led.getBlue(), 110) << led.toString();
    }
}

TEST_F (RenderOutput, WindowPictureLightsThePedalsOfTheEffectsThatAreOn)
{
    const auto result =
        run ({ "--seconds", "1", "--out", path ("demo.wav"), "--ui", path ("window.png"), "--scale", "1" });
    ASSERT_EQ (result.exitCode, 0) << result.output;
    const auto image = juce::ImageFileFormat::loadFrom (folder.getChildFile ("window.png"));
    ASSERT_EQ (image.getWidth(), 1600);

    // The welcome preset, as the tool renders it: which effects are on, in which order.
    TazzleAudioProcessor welcome;
    const std::array<int, tz::numEffects> preferredWidths { 150, 136, 150, 150, 158, 150, 158, 146, 136, 220 };
    const double stretch = (1568.0 + 1554.0 - 1574.0) / 1554.0; // every pedal open
    int x = 16, lit = 0, unlit = 0;

    for (const int e : welcome.getChainOrder())
    {
        const int width = juce::roundToInt (preferredWidths[(size_t) e] * stretch);
        const bool on = welcome.getValue (tz::effectParams[(size_t) e].on) >= 0.5f;
        const auto colour = tz::theme::effectColour (e);

        // The LED strip runs along the pedal's top edge: 2 units high, 4.5 units below the strip's top (y 80).
        juce::Colour brightest;
        for (int y = 83; y <= 87; ++y)
            if (const auto pixel = image.getPixelAt (x + width / 2, y);
                pixel.getBrightness() > brightest.getBrightness())
                brightest = pixel;

        SCOPED_TRACE (juce::String (tz::effectNames[(size_t) e]) + " " + brightest.toString());
        if (on)
        {
            ++lit;
            EXPECT_NEAR (brightest.getRed(), colour.getRed(), 40);
            EXPECT_NEAR (brightest.getGreen(), colour.getGreen(), 40);
            EXPECT_NEAR (brightest.getBlue(), colour.getBlue(), 40);
        }
        else
        {
            ++unlit;
            EXPECT_LT (brightest.getBrightness(), 0.35f);
        }
        x += width + 2;
    }

    EXPECT_GT (lit, 0);
    EXPECT_GT (unlit, 0);
}

TEST_F (RenderPassThrough, InitPatchReturnsTheInputWithLatencyCompensated)
{
    const int length = 30000;
    const auto noise = writeNoise ("in.wav", length);

    for (const auto* block : { "512", "77" })
    {
        const auto result = run ({ path ("in.wav"), "--preset", "init", "--block", block, "--out", path ("out.wav") });
        SCOPED_TRACE (result.output);
        ASSERT_EQ (result.exitCode, 0);

        const auto out = readWav ("out.wav");
        ASSERT_EQ (out.samples.getNumSamples(), length);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < length; ++i)
                ASSERT_EQ (out.samples.getSample (ch, i), noise.getSample (ch, i)) << "channel " << ch << " at " << i;
    }
}

TEST_F (RenderPassThrough, WithoutCompensationTheOutputIsDelayedByTheReportedLatency)
{
    const int length = 30000;
    const auto noise = writeNoise ("in.wav", length);

    const auto result = run ({ path ("in.wav"), "--preset", "init", "--no-latency-comp", "--out", path ("out.wav") });
    ASSERT_EQ (result.exitCode, 0) << result.output;

    const int latency = reportedLatency (result.output);
    ASSERT_GT (latency, 0) << result.output; // the oversampled drive stage always reports some

    const auto out = readWav ("out.wav");
    ASSERT_EQ (out.samples.getNumSamples(), length);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < length; ++i)
            ASSERT_EQ (out.samples.getSample (ch, i), i < latency ? 0.0f : noise.getSample (ch, i - latency)) << i;
}

TEST_F (RenderPassThrough, MonoInputAtAnotherRateIsResampledToBothChannels)
{
    {
        auto stream = folder.getChildFile ("mono.wav").createOutputStream();
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.release(), 24000.0, 1, 16, {}, 0));
        juce::AudioBuffer<float> sine (1, 24000);
        for (int i = 0; i < sine.getNumSamples(); ++i)
            sine.setSample (0, i, 0.5f * std::sin (juce::MathConstants<float>::twoPi * 1000.0f * (float) i / 24000.0f));
        writer->writeFromAudioSampleBuffer (sine, 0, sine.getNumSamples());
    }

    const auto result = run ({ path ("mono.wav"), "--preset", "init", "--rate", "48000", "--out", path ("out.wav") });
    ASSERT_EQ (result.exitCode, 0) << result.output;

    const auto out = readWav ("out.wav");
    ASSERT_EQ (out.samples.getNumSamples(), 48000);
    // The same 1 kHz sine, now sampled at 48 kHz, in both channels and not shifted in time (away from the edges).
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 4800; i < 43200; ++i)
            ASSERT_NEAR (out.samples.getSample (ch, i),
                         0.5f * std::sin (juce::MathConstants<float>::twoPi * 1000.0f * (float) i / 48000.0f), 2.0e-3f)
                << "channel " << ch << " at " << i;
}

//==============================================================================
TEST_F (RenderPatch, GridPaintedInTheEditorGatesTheRenderedEffect)
{
    // A producer paints steps 1-4 of the volume row, muting the volume effect: it then silences exactly those
    // sixteenths. The patch travels as a host state, the way a DAW saves it.
    {
        TazzleAudioProcessor processor;
        processor.resetToInit();
        processor.setValue (tz::volumeLevel, 0.0f);

        GridView grid (processor);
        grid.setBounds (0, 0, 1224, 384);
        const auto order = processor.getChainOrder();
        const int row = (int) (std::find (order.begin(), order.end(), (int) tz::volume) - order.begin());
        const auto from = grid.cellBounds (row, 0).toFloat().getCentre(),
                   to = grid.cellBounds (row, 3).toFloat().getCentre();
        grid.mouseDown (tz::test::mouseEvent (grid, from, juce::ModifierKeys::leftButtonModifier, from));
        grid.mouseDrag (tz::test::mouseEvent (grid, to, juce::ModifierKeys::leftButtonModifier, from));
        ASSERT_EQ (processor.getValue (tz::volumeOn), 1.0f); // painting switched it on

        juce::MemoryBlock state;
        processor.getStateInformation (state);
        ASSERT_TRUE (folder.getChildFile ("grid.state").replaceWithData (state.getData(), state.getSize()));
    }

    constexpr int sixteenth = 6000; // at 120 BPM and 48 kHz
    writeNoise ("in.wav", 16 * sixteenth);
    const auto input = readWav ("in.wav");
    const auto result =
        run ({ path ("in.wav"), "--state", path ("grid.state"), "--bpm", "120", "--out", path ("out.wav") });
    ASSERT_EQ (result.exitCode, 0) << result.output;
    const auto out = readWav ("out.wav");

    // Away from the 5 ms fades at each step's edges.
    constexpr int margin = 480;
    for (int step = 0; step < 16; ++step)
    {
        const int start = step * sixteenth + margin, length = sixteenth - 2 * margin;
        const float in = input.samples.getRMSLevel (0, start, length), got = out.samples.getRMSLevel (0, start, length);
        if (step < 4)
            EXPECT_LT (got, 0.001f * in) << "step " << step + 1;
        else
            EXPECT_NEAR (got, in, 0.01f * in) << "step " << step + 1;
    }
}

TEST_F (RenderPatch, InstalledPackPresetsAreListedAndRenderedByName)
{
    {
        juce::ZipFile::Builder builder;
        const juce::String text =
            "<Tazzle presetName=\"Quiet Kick\" presetCategory=\"Gates\"><PARAM id=\"output_gain\" "
            "value=\"-12\"/></Tazzle>";
        builder.addEntry (new juce::MemoryInputStream (text.toRawUTF8(), text.getNumBytesAsUTF8(), true), 9,
                          "Gates/Quiet Kick.tzpreset", juce::Time::getCurrentTime());
        juce::FileOutputStream out (folder.getChildFile ("Render Test Drums.tzpack"));
        builder.writeToStream (out, nullptr);
    }
    folder.getChildFile ("Notes.tzpack").replaceWithText ("not a zip");
    const auto packFolder = TazzleAudioProcessor::presetFolder().getChildFile ("Packs/Render Test Drums");

    const auto installed = run ({ "--install-pack", path ("Render Test Drums.tzpack") });
    EXPECT_EQ (installed.exitCode, 0) << installed.output;
    EXPECT_EQ (installed.output.trim(),
               "Render Test Drums: 1 presets. You'll find them in the preset menu, under PRESET PACKS.");

    const auto refused = run ({ "--install-pack", path ("Notes.tzpack") });
    EXPECT_EQ (refused.exitCode, 3);
    EXPECT_EQ (refused.output.trim(),
               "tazzle-render: error: Tazzle could not install Notes.tzpack. This file isn't a "
               "Tazzle preset pack (.tzpack).");

    const auto listing = run ({ "--list" });
    EXPECT_TRUE (listing.output.contains ("Pack: Render Test Drums\n  Gates / Quiet Kick")) << listing.output;

    writeNoise ("in.wav", 4800);
    const auto input = readWav ("in.wav");
    const auto rendered = run ({ path ("in.wav"), "--preset", "quiet kick", "--out", path ("out.wav") });
    EXPECT_EQ (rendered.exitCode, 0) << rendered.output;
    EXPECT_TRUE (rendered.output.startsWith ("Quiet Kick:")) << rendered.output;
    EXPECT_NEAR (readWav ("out.wav").samples.getRMSLevel (0, 0, 4800),
                 input.samples.getRMSLevel (0, 0, 4800) * std::pow (10.0f, -12.0f / 20.0f), 0.002f);

    packFolder.deleteRecursively();
}

TEST_F (RenderPatch, PatchOptionsReachTheProcessor)
{
    {
        // A state document with a name of its own, stored as a host stores it.
        juce::XmlElement state ("Tazzle");
        state.setAttribute ("presetName", "From The Host");
        auto* param = state.createNewChildElement ("PARAM");
        param->setAttribute ("id", "output_gain");
        param->setAttribute ("value", -6.0);
        juce::MemoryBlock blob;
        juce::AudioProcessor::copyXmlToBinary (state, blob);
        ASSERT_TRUE (folder.getChildFile ("host.state").replaceWithData (blob.getData(), blob.getSize()));
    }
    writeNoise ("in.wav", 4800);
    const auto input = readWav ("in.wav");

    const struct
    {
        juce::StringArray args;
        const char* summaryStart;
        float gainDb;
    } cases[] = {
        { { "--state", path ("host.state") }, "From The Host:", -6.0f },
        { { "--preset", "INIT", "--set", "output_gain=-12" }, "Init (+1 set):", -12.0f },
        { { "--preset", "infinite hall", "--set", "reverb_on=off" }, "Infinite Hall (+1 set):", 0.0f },
    };

    for (const auto& c : cases)
    {
        auto args = c.args;
        args.addArray ({ path ("in.wav"), "--out", path ("out.wav") });
        const auto result = run (args);
        SCOPED_TRACE (result.output);
        ASSERT_EQ (result.exitCode, 0);
        EXPECT_TRUE (result.output.startsWith (c.summaryStart));

        const auto out = readWav ("out.wav");
        const float expected = input.samples.getRMSLevel (0, 0, 4800) * std::pow (10.0f, c.gainDb / 20.0f);
        EXPECT_NEAR (out.samples.getRMSLevel (0, 0, 4800), expected, 0.002f);
    }
}

TEST_F (RenderPatch, ListShowsTheFactoryPresetsByCategory)
{
    const auto result = run ({ "--list" });
    ASSERT_EQ (result.exitCode, 0);

    const auto lines = juce::StringArray::fromLines (result.output);
    const int rhythmic = lines.indexOf ("Rhythmic");
    const int space = lines.indexOf ("Space");
    ASSERT_GE (rhythmic, 0) << result.output;
    ASSERT_GT (space, rhythmic);
    const int machine = lines.indexOf ("  Tazzle Machine");
    EXPECT_GT (machine, rhythmic);
    EXPECT_LT (machine, space);
    EXPECT_GT (lines.indexOf ("  Infinite Hall"), space);
}

TEST_F (RenderPatch, OutOfRangeValueIsClampedWithAWarning)
{
    writeNoise ("in.wav", 4800);
    const auto result =
        run ({ path ("in.wav"), "--preset", "init", "--set", "output_gain=40", "--out", path ("out.wav") });
    ASSERT_EQ (result.exitCode, 0) << result.output;
    EXPECT_TRUE (result.output.contains ("warning: --set output_gain=40 is outside")) << result.output;
    EXPECT_TRUE (folder.getChildFile ("out.wav").existsAsFile());
}

//==============================================================================
TEST_F (RenderErrors, BadInputFailsWithOneLineAndLeavesNoFileBehind)
{
    writeNoise ("in.wav", 4800);
    ASSERT_TRUE (folder.getChildFile ("notes.wav").replaceWithText ("these are not samples"));
    ASSERT_TRUE (folder.getChildFile ("foreign.tzpreset").replaceWithText ("<Other/>"));
    const auto inputBytes = folder.getChildFile ("in.wav").loadFileAsString();

    const struct
    {
        juce::StringArray args;
        int exitCode;
        const char* message;
    } cases[] = {
        { { path ("missing.wav") }, 3, "does not exist" },
        { { path ("notes.wav") }, 3, "unsupported format" },
        { { path ("in.wav"), "--out", path ("in.wav") }, 4, "is the input file" },
        { { path ("in.wav"), "--out", folder.getFullPathName() + "/./in.wav" }, 4, "is the input file" },
        { { path ("in.wav"), "--out", path ("no/such/folder/out.wav") }, 4, "does not exist" },
        { { path ("in.wav"), "--out", folder.getFullPathName() }, 4, "is a folder" },
        { { "--preset", "Infinit Hal" }, 2, "did you mean 'Infinite Hall'" },
        { { "--preset", path ("missing.tzpreset") }, 3, "does not exist" },
        { { "--preset", path ("foreign.tzpreset") }, 3, "is not a Tazzle preset" },
        { { "--state", path ("notes.wav") }, 3, "neither a Tazzle host state" },
        { { "--set", "filter_cutof=100" }, 2, "did you mean filter_cutoff" },
        { { "--set", "filter_cutoff=loud" }, 2, "not a value" },
        { { "--bpm", "fast" }, 2, "needs a number" },
        { { "--bpm", "500" }, 2, "between 40 and 300" },
        { { "--bars", "2", "--seconds", "1" }, 2, "either --bars or --seconds" },
        { { "--prset", "init" }, 2, "did you mean --preset" },
        { { "--scale", "0.8" }, 2, "give --ui too" },
        { { "--page", "grid" }, 2, "give --ui too" },
        { { "--ui", path ("w.png"), "--page", "grids" }, 2, "'modulators', 'grid' or 'browser'" },
        { { "--ui", path ("w.png"), "--scale", "2" }, 2, "between 0.6 and 1.25" },
        { { "--ui", path ("out.png") }, 4, "--png and --ui name the same file" },
        { { path ("in.wav"), "--material", "pink" }, 2, "instead of an input file" },
        { { "--material", "noise" }, 2, "one of demo, pink, bass, pad, hits, not 'noise'" },
    };

    for (const auto& c : cases)
    {
        auto args = c.args;
        if (! args.contains ("--out"))
            args.addArray ({ "--out", path ("out.wav") });
        args.addArray ({ "--png", path ("out.png") });

        const auto result = run (args);
        SCOPED_TRACE (args.joinIntoString (" "));
        EXPECT_EQ (result.exitCode, c.exitCode) << result.output;
        EXPECT_TRUE (result.output.startsWith ("tazzle-render: error: ")) << result.output;
        EXPECT_TRUE (result.output.contains (c.message)) << result.output;
        EXPECT_EQ (juce::StringArray::fromLines (result.output.trimEnd()).size(), 1) << result.output;
        EXPECT_EQ (filesInFolder(), juce::StringArray ({ "foreign.tzpreset", "in.wav", "notes.wav" }));
    }

    EXPECT_EQ (folder.getChildFile ("in.wav").loadFileAsString(), inputBytes);
}

TEST_F (RenderErrors, APresetFoundByNameWhoseFileCannotBeReadFails)
{
    const auto user = TazzleAudioProcessor::presetFolder().getChildFile ("User");
    user.createDirectory();
    const auto file = [&user] (const char* name) { return user.getChildFile (juce::String (name) + ".tzpreset"); };
    file ("Render Test Empty").replaceWithText ({});
    const char binary[] = { 0, 1, 2, (char) 0xff, 0, 3 };
    file ("Render Test Binary").replaceWithData (binary, sizeof (binary));
    file ("Render Test Truncated").replaceWithText ("<Tazzle presetName=\"Render Test Truncated\"><PARAM id=\"filt");
    ASSERT_EQ (::mkfifo (file ("Render Test Fifo").getFullPathName().toRawUTF8(), 0600), 0);

    for (const auto* name : { "Render Test Empty", "Render Test Binary", "Render Test Truncated", "Render Test Fifo" })
    {
        const auto result = run ({ "--preset", name, "--out", path ("out.wav") });
        EXPECT_EQ (result.exitCode, 3) << name << ": " << result.output;
        EXPECT_TRUE (result.output.contains ("can't be read as a Tazzle preset")) << result.output;
        EXPECT_FALSE (folder.getChildFile ("out.wav").exists()) << name;
        file (name).deleteFile();
    }
}

TEST_F (RenderErrors, UnwritableOrUnreadableFilesAreRefused)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";

    writeNoise ("in.wav", 4800);
    const auto locked = folder.getChildFile ("locked");
    ASSERT_TRUE (locked.createDirectory());
    ASSERT_TRUE (locked.setReadOnly (true));

    auto result = run ({ path ("in.wav"), "--out", locked.getChildFile ("out.wav").getFullPathName() });
    EXPECT_EQ (result.exitCode, 4) << result.output;
    EXPECT_TRUE (result.output.contains ("permission denied")) << result.output;
    EXPECT_EQ (locked.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);

    ASSERT_EQ (chmod (path ("in.wav").toRawUTF8(), 0), 0);
    result = run ({ path ("in.wav"), "--out", path ("out.wav") });
    EXPECT_EQ (result.exitCode, 3) << result.output;
    EXPECT_TRUE (result.output.contains ("cannot read")) << result.output;
    EXPECT_FALSE (folder.getChildFile ("out.wav").exists());
}
} // namespace
