#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/ChunkSize.h"
#include "support/AllocationCounter.h"
#include "support/ProcessorHarness.h"

namespace
{
using tz::test::ProcessorHarness;

constexpr double pi = 3.14159265358979323846;
constexpr double samplesPerBeat = 24000.0; // 120 BPM at 48 kHz
constexpr int chunk = tz::chunkSize;

int sourceParam (int r) { return tz::routeParam (r, tz::routeField::source); }
int targetParam (int r) { return tz::routeParam (r, tz::routeField::target); }
int depthParam (int r) { return tz::routeParam (r, tz::routeField::depth); }

// Every parameter at its default and a clean start, whatever the processor loaded at construction.
struct ModulationFixture : ::testing::Test
{
    ModulationFixture()
    {
        const auto& infos = tz::allParams();
        for (size_t p = 0; p < infos.size(); ++p)
            harness.setValue ((int) p, infos[p].def);
        harness.playHead.playing = true;
    }

    void restart() { harness.prepare (512); }

    void route (int r, int storedSource, tz::P target, float depth)
    {
        harness.setValue (targetParam (r), (float) tz::targetPosition (target));
        harness.setValue (depthParam (r), depth);
        harness.setValue (sourceParam (r), (float) storedSource);
    }

    void modulator (int m, int field, float value) { harness.setValue (tz::modParam (m, field), value); }

    // Modulator m as a constant 1: a one-step sequence at full level.
    void constantOne (int m)
    {
        modulator (m, tz::modField::mode, 1.0f);
        modulator (m, tz::modField::length, 1.0f);
        modulator (m, tz::modField::firstStep, 100.0f);
    }

    // One chunk whose first sample sits at `ppq`; returns the chunk's end beat.
    double processChunkAt (double ppq)
    {
        harness.playHead.ppq = ppq;
        harness.processConstant (0.25f, chunk, chunk);
        return ppq + chunk / samplesPerBeat;
    }

    float modulated (tz::P p) const { return harness.processor.getUiModulated (p); }

    ProcessorHarness harness;
};

TEST_F (ModulationFixture, SineRoutedToVolumePullsTheLevelDownChunkByChunk)
{
    // Mod 2: a one-bar sine; volume level -100 % from it.
    modulator (1, tz::modField::mode, 0.0f);
    modulator (1, tz::modField::shape, 0.0f);
    modulator (1, tz::modField::rate, 12.0f);
    harness.setValue (tz::volumeOn, 1.0f);
    route (0, 2, tz::volumeLevel, -100.0f);
    restart();

    double maxError = 0.0;
    for (int i = 0; i < 3000; ++i) // a bar at 120 BPM
    {
        const double end = processChunkAt (i * chunk / samplesPerBeat);
        const double v = 0.5 - 0.5 * std::cos (2.0 * pi * end / 4.0);

        maxError = std::max (maxError, std::abs (modulated (tz::volumeLevel) - (1.0 - v)));
        ASSERT_NEAR (harness.processor.getUiModValue (1), v, 1e-5) << "chunk " << i;
        ASSERT_DOUBLE_EQ (harness.processor.getUiModBeat (1), end);
    }
    EXPECT_LT (maxError, 1e-5);

    // Only the target was touched.
    for (int p = 0; p < tz::numFixedParams; ++p)
        if (p != tz::volumeLevel)
        {
            EXPECT_EQ (modulated ((tz::P) p), -1.0f) << tz::allParams()[(size_t) p].id;
        }
}

TEST_F (ModulationFixture, FullDepthTakesTheCutoffToItsTopThroughTheSkewedRange)
{
    constantOne (0);
    modulator (0, tz::modField::followsXY, 0.0f);
    route (0, 1, tz::filterCutoff, 100.0f);
    route (1, 1, tz::crushRate, 25.0f);
    harness.setValue (tz::crushRate, 4000.0f); // the skew centre: normalised 0.5
    restart();

    processChunkAt (0.0);
    EXPECT_FLOAT_EQ (modulated (tz::filterCutoff), 1.0f);
    const auto& cutoffRange =
        harness.processor.getParameterState().getParameter ("filter_cutoff")->getNormalisableRange();
    EXPECT_NEAR (cutoffRange.convertFrom0to1 (modulated (tz::filterCutoff)), 20000.0f, 0.01f);
    EXPECT_NEAR (modulated (tz::crushRate), 0.75f, 1e-5f);

    // Depth -100 % from 1 kHz bottoms out at the range's minimum.
    harness.setValue (depthParam (0), -100.0f);
    processChunkAt (1.0);
    EXPECT_FLOAT_EQ (modulated (tz::filterCutoff), 0.0f);
}

TEST_F (ModulationFixture, PadAxesAreNeverScaledByY)
{
    harness.setValue (tz::xyX, 50.0f);
    harness.setValue (tz::xyY, 40.0f);
    route (0, 5, tz::mix, -50.0f);       // X
    route (1, 6, tz::reverbMix, 100.0f); // Y
    restart();

    for (int i = 0; i < 60; ++i)
    {
        processChunkAt (i * chunk / samplesPerBeat);
        const double approach = 1.0 - std::exp (-(i + 1) * chunk / (0.020 * 48000.0));
        ASSERT_NEAR (modulated (tz::mix), 1.0 - 0.5 * 0.5 * approach, 1e-5) << "chunk " << i;
        ASSERT_NEAR (modulated (tz::reverbMix), 0.25 + 0.4 * approach, 1e-5) << "chunk " << i;
    }
}

TEST_F (ModulationFixture, AFollowingModulatorIsSilentAtYZero)
{
    constantOne (0);
    modulator (0, tz::modField::followsXY, 1.0f);
    harness.setValue (tz::xyY, 0.0f);
    route (0, 1, tz::delayMix, 100.0f);
    route (1, 5, tz::delayFeedback, 100.0f);
    harness.setValue (tz::xyX, 100.0f);
    restart();

    processChunkAt (0.0);
    processChunkAt (chunk / samplesPerBeat);
    EXPECT_NEAR (modulated (tz::delayMix), 0.3f, 1e-6f);              // the base value, untouched by the route
    EXPECT_GT (modulated (tz::delayFeedback), 40.0f / 95.0f + 0.01f); // X still acts

    modulator (0, tz::modField::followsXY, 0.0f);
    processChunkAt (2 * chunk / samplesPerBeat);
    EXPECT_FLOAT_EQ (modulated (tz::delayMix), 1.0f);
}

TEST_F (ModulationFixture, ModulatingXChangesTheSpeedOneChunkLater)
{
    // Mod 1 pushes xy_x from 50 (speed 1) to 100 (speed 4); Mod 2 is a one-bar Saw Up that follows the pad.
    constantOne (0);
    modulator (0, tz::modField::followsXY, 0.0f);
    route (0, 1, tz::xyX, 100.0f);
    modulator (1, tz::modField::mode, 0.0f);
    modulator (1, tz::modField::shape, 2.0f);
    modulator (1, tz::modField::rate, 12.0f);
    modulator (1, tz::modField::followsXY, 1.0f);
    harness.setValue (tz::xyX, 50.0f);
    restart();

    const double first = processChunkAt (1.0);
    EXPECT_NEAR (harness.processor.getUiModValue (1), first / 4.0, 1e-6);
    EXPECT_FLOAT_EQ (harness.processor.getUiXY (0), 100.0f);

    const double second = processChunkAt (1.0 + chunk / samplesPerBeat);
    EXPECT_NEAR (harness.processor.getUiModValue (1), second - std::floor (second), 1e-6);
}

TEST_F (ModulationFixture, RandomShapesRepeatWhenThePassageIsPlayedAgain)
{
    modulator (0, tz::modField::mode, 0.0f);
    modulator (0, tz::modField::shape, 5.0f);
    modulator (0, tz::modField::rate, 3.0f);
    modulator (0, tz::modField::smooth, 40.0f);
    route (0, 1, tz::grainSpray, 100.0f);
    restart();

    auto play = [this]
    {
        std::vector<float> values;
        for (int i = 0; i < 400; ++i)
        {
            processChunkAt (8.0 + i * chunk / samplesPerBeat);
            values.push_back (harness.processor.getUiModValue (0));
        }
        return values;
    };

    const auto firstPass = play();
    restart(); // smoothing starts again from 0, as after any clean start
    const auto secondPass = play();
    EXPECT_EQ (firstPass, secondPass);
}

TEST_F (ModulationFixture, ParametersOutsideTheTargetListAreNeverAltered)
{
    constantOne (0);
    const float invalidTargets[] = { 0.0f, 36.0f, 100.0f, 255.0f };
    for (int r = 0; r < 4; ++r)
    {
        harness.setValue (targetParam (r), invalidTargets[r]);
        harness.setValue (depthParam (r), 100.0f);
        harness.setValue (sourceParam (r), 1.0f);
    }
    restart();

    for (int i = 0; i < 8; ++i)
        processChunkAt (i * chunk / samplesPerBeat);

    for (int p = 0; p < tz::numFixedParams; ++p)
        EXPECT_EQ (modulated ((tz::P) p), -1.0f) << tz::allParams()[(size_t) p].id;
}

TEST_F (ModulationFixture, ProcessingWithEveryRouteActiveDoesNotAllocate)
{
    const tz::P targets[] = { tz::filterCutoff,  tz::volumeLevel,  tz::crushBits,     tz::driveAmount,
                              tz::delayFeedback, tz::reverbSize,   tz::mix,           tz::inputGain,
                              tz::outputGain,    tz::stutterPitch, tz::tapestopCurve, tz::grainSize,
                              tz::grainDensity,  tz::grainPitch,   tz::xyX,           tz::xyY };
    for (int r = 0; r < tz::numRoutes; ++r)
        route (r, 1 + r % 6, targets[r], r % 2 == 0 ? 40.0f : -40.0f);
    for (int m = 0; m < tz::numModulators; ++m)
    {
        modulator (m, tz::modField::shape, (float) (3 + m));
        modulator (m, tz::modField::smooth, 30.0f);
    }
    restart();

    juce::AudioBuffer<float> buffer (2, 512);
    buffer.clear();
    harness.playHead.ppq = 0.0;

    std::size_t allocations = 0;
    {
        tz::test::AllocationCounter counter;
        for (int block = 0; block < 8; ++block)
            harness.processor.processBlock (buffer, harness.midi);
        allocations = counter.count();
    }
    EXPECT_EQ (allocations, 0u);

    for (const auto target : targets)
        EXPECT_GE (modulated (target), 0.0f) << tz::allParams()[(size_t) target].id;
}

//==============================================================================
TEST_F (ModulationFixture, AddRouteFillsTheLowestFreeSlotOnce)
{
    auto& p = harness.processor;
    route (0, 3, tz::reverbMix, 20.0f);

    p.addRoute (0, tz::filterCutoff);
    p.addRoute (0, tz::filterCutoff);
    EXPECT_EQ (p.findRoute (0, tz::filterCutoff), 1);
    EXPECT_EQ (p.getValue (sourceParam (1)), 1.0f);
    EXPECT_EQ (p.getValue (targetParam (1)), 1.0f);
    EXPECT_EQ (p.getValue (depthParam (1)), 50.0f);
    EXPECT_EQ (p.getValue (sourceParam (2)), 0.0f);

    p.addRoute (tz::routeSource::x, tz::inputGain);
    p.addRoute (tz::routeSource::y, tz::inputGain);
    EXPECT_EQ (p.findRoute (tz::routeSource::x, tz::inputGain), 2);
    EXPECT_EQ (p.getValue (targetParam (2)), 20.0f);
    EXPECT_EQ (p.findRoute (tz::routeSource::y, tz::inputGain), 3);
    EXPECT_EQ (p.findRoute (1, tz::inputGain), -1);

    // Fill the remaining slots; a seventeenth route finds no room.
    for (int r = 4; r < tz::numRoutes; ++r)
        p.addRoute (r % 4, tz::modTargets()[(size_t) r]);
    for (int r = 0; r < tz::numRoutes; ++r)
        ASSERT_NE (p.getValue (sourceParam (r)), 0.0f) << r;

    std::vector<float> before;
    for (int i = 0; i < tz::numRoutes * tz::numRouteFields; ++i)
        before.push_back (p.getValue (tz::routeParam (0, 0) + i));

    p.addRoute (1, tz::grainMix);
    for (int i = 0; i < tz::numRoutes * tz::numRouteFields; ++i)
        EXPECT_EQ (p.getValue (tz::routeParam (0, 0) + i), before[(size_t) i]) << i;
    EXPECT_EQ (p.findRoute (1, tz::grainMix), -1);

    // Removing restores the slot's defaults and frees it for the next route.
    p.removeRoute (2);
    EXPECT_EQ (p.getValue (sourceParam (2)), 0.0f);
    EXPECT_EQ (p.getValue (targetParam (2)), 0.0f);
    EXPECT_EQ (p.getValue (depthParam (2)), 50.0f);
    p.addRoute (1, tz::grainMix);
    EXPECT_EQ (p.findRoute (1, tz::grainMix), 2);
}

TEST_F (ModulationFixture, DepthOnATargetSumsItsActiveRoutes)
{
    auto& p = harness.processor;
    p.addRoute (0, tz::mix);
    p.addRoute (tz::routeSource::x, tz::mix);
    harness.setValue (depthParam (0), 60.0f);
    harness.setValue (depthParam (1), -30.0f);
    route (2, 0, tz::mix, 100.0f); // off: does not count

    EXPECT_NEAR (p.modDepthOn (tz::mix), 0.3f, 1e-6f);
    EXPECT_EQ (p.modDepthOn (tz::outputGain), 0.0f);
}

// Records which parameters change, in order.
struct ChangeRecorder : juce::AudioProcessorParameter::Listener
{
    void parameterValueChanged (int index, float) override { order.push_back (index); }
    void parameterGestureChanged (int, bool) override {}
    std::vector<int> order;
};

TEST_F (ModulationFixture, RouteWritesLeaveNoHalfSetSlotActive)
{
    auto& p = harness.processor;
    ChangeRecorder recorder;
    for (int f = 0; f < tz::numRouteFields; ++f)
        p.getParameters()[tz::routeParam (0, f)]->addListener (&recorder);

    p.addRoute (2, tz::volumePan);
    EXPECT_EQ (recorder.order, (std::vector<int> { targetParam (0), depthParam (0), sourceParam (0) }));

    recorder.order.clear();
    p.removeRoute (0);
    EXPECT_EQ (recorder.order, (std::vector<int> { sourceParam (0), targetParam (0), depthParam (0) }));

    for (int f = 0; f < tz::numRouteFields; ++f)
        p.getParameters()[tz::routeParam (0, f)]->removeListener (&recorder);
}

TEST_F (ModulationFixture, OnlyMixAndOutputGainCanBeLockedAsWholeItems)
{
    auto& p = harness.processor;
    auto& state = p.getParameterState().state;

    const struct
    {
        const char* locked;
        bool mix, output;
    } cases[] = {
        { "", false, false },
        { "mix,output_gain", true, true },
        { "output_gain", false, true },
        { "filter_cutoff,mix", true, false },
        { "mixer,output_gain2", false, false },
        { " mix,Mix,mix ", false, false },
        { "a,,mix,", true, false },
    };

    for (const auto& c : cases)
    {
        state.setProperty ("locked", c.locked, nullptr);
        EXPECT_EQ (p.isLocked (tz::mix), c.mix) << '"' << c.locked << '"';
        EXPECT_EQ (p.isLocked (tz::outputGain), c.output) << '"' << c.locked << '"';
    }

    state.setProperty ("locked", "filter_cutoff,input_gain", nullptr);
    EXPECT_FALSE (p.isLocked (tz::filterCutoff));
    EXPECT_FALSE (p.isLocked (tz::inputGain));

    p.toggleLock (tz::filterCutoff);
    EXPECT_EQ (state.getProperty ("locked").toString(), "filter_cutoff,input_gain");
}

TEST_F (ModulationFixture, TogglingALockTwiceRestoresTheListWithoutDuplicates)
{
    auto& p = harness.processor;
    auto& state = p.getParameterState().state;
    const auto locked = [&state] { return state.getProperty ("locked").toString(); };

    const struct
    {
        const char* before;
        tz::P p;
        const char* between;
        const char* after;
    } cases[] = {
        { "", tz::mix, "mix", "" },
        { "output_gain,foo", tz::mix, "output_gain,foo,mix", "output_gain,foo" },
        { "foo,mix,mix", tz::mix, "foo", "foo,mix" },
        { "mix,output_gain,output_gain", tz::outputGain, "mix", "mix,output_gain" },
    };

    for (const auto& c : cases)
    {
        state.setProperty ("locked", c.before, nullptr);
        p.toggleLock (c.p);
        EXPECT_EQ (locked(), c.between) << c.before;
        EXPECT_NE (p.isLocked (c.p), juce::String (c.before).contains (tz::allParams()[(size_t) c.p].id));
        p.toggleLock (c.p);
        EXPECT_EQ (locked(), c.after) << c.before;
    }
}

} // namespace
