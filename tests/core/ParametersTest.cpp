#include <algorithm>

#include <gtest/gtest.h>

#include "core/Parameters.h"
#include "core/PluginProcessor.h"

namespace
{
using tz::allParams;

TEST (ParameterTable, HasEveryParameterAtItsIndex)
{
    const auto& infos = allParams();
    ASSERT_EQ (infos.size(), 263u);

    const std::vector<std::pair<int, const char*>> expectedIds {
        { 0, "input_gain" },      { 43, "grid_rate" },          { 44, "grid_length" },     { 54, "xy_y" },
        { 55, "mod1_mode" },      { 63, "mod1_step01" },        { 70, "mod1_step08" },     { 94, "mod1_step16_shape" },
        { 95, "mod2_mode" },      { 214, "mod4_step16_shape" }, { 215, "route01_source" }, { 216, "route01_target" },
        { 262, "route16_depth" },
    };
    for (const auto& [index, id] : expectedIds)
        EXPECT_EQ (infos[(size_t) index].id, id) << index;

    EXPECT_EQ (infos[(size_t) tz::modParam (1, 7)].name, "Mod 2 Follows XY");
    EXPECT_EQ (infos[(size_t) tz::modParam (1, tz::modField::firstStep + 6)].id, "mod2_step07");
    EXPECT_EQ (infos[(size_t) tz::modParam (1, tz::modField::firstStep + 6)].name, "Mod 2 Step 7");
    EXPECT_EQ (infos[(size_t) tz::routeParam (6, 2)].id, "route07_depth");
    EXPECT_EQ (infos[(size_t) tz::routeParam (6, 2)].name, "Route 7 Depth");

    for (size_t i = 0; i < tz::paramDefs.size(); ++i)
        EXPECT_EQ ((size_t) tz::paramDefs[i].index, i);
}

TEST (ParameterTable, ModulatorAndRouteDefaults)
{
    const auto& infos = allParams();
    auto def = [&] (const char* id)
    {
        for (const auto& info : infos)
            if (info.id == id)
                return info.def;
        ADD_FAILURE() << id;
        return -1.0f;
    };

    EXPECT_EQ (def ("mod1_mode"), 1.0f);
    EXPECT_EQ (def ("mod2_mode"), 0.0f);
    EXPECT_EQ (def ("mod3_mode"), 1.0f);
    EXPECT_EQ (def ("mod4_rate"), 12.0f);
    EXPECT_EQ (def ("mod1_rate"), 3.0f);
    EXPECT_EQ (def ("mod1_step02"), 0.0f);
    EXPECT_EQ (def ("mod1_step03"), 100.0f);
    EXPECT_EQ (def ("mod3_step16"), 0.0f);
    EXPECT_EQ (def ("route05_depth"), 50.0f);
    EXPECT_EQ (def ("mod2_xy"), 1.0f);
}

TEST (ParameterTable, SkewsPutTheCentreAtTheMidpoint)
{
    const auto& infos = allParams();
    EXPECT_NEAR (tz::skewFor (infos[tz::filterCutoff]), 0.22990f, 1e-5f);
    EXPECT_NEAR (tz::skewFor (infos[tz::crushRate]), 0.27375f, 1e-5f);
    EXPECT_NEAR (tz::skewFor (infos[tz::grainSize]), 0.38245f, 1e-5f);
    EXPECT_NEAR (tz::skewFor (infos[tz::grainDensity]), 0.41268f, 1e-5f);
    EXPECT_EQ (tz::skewFor (infos[tz::mix]), 1.0f);

    TazzleAudioProcessor processor;
    const auto& range = processor.getParameterState().getParameter ("filter_cutoff")->getNormalisableRange();
    EXPECT_NEAR (range.convertFrom0to1 (0.5f), 1000.0f, 0.01f);
    EXPECT_NEAR (range.convertFrom0to1 (0.25f), 68.1f, 0.1f);
    EXPECT_NEAR (range.convertFrom0to1 (0.75f), 5737.0f, 1.0f);
}

TEST (ParameterTable, ValueTexts)
{
    const auto& infos = allParams();
    const struct
    {
        int param;
        float value;
        const char* text;
    } cases[] = {
        { tz::inputGain, 0.04f, "0.0 dB" },
        { tz::inputGain, -0.04f, "0.0 dB" },
        { tz::inputGain, 6.0f, "+6.0 dB" },
        { tz::inputGain, -24.0f, "-24.0 dB" },
        { tz::outputGain, 3.0f, "+3.0 dB" },
        { tz::outputGain, -12.5f, "-12.5 dB" },
        { tz::volumePan, 0.4f, "C" },
        { tz::volumePan, -0.4f, "C" },
        { tz::volumePan, -37.6f, "L 38" },
        { tz::volumePan, 100.0f, "R 100" },
        { tz::filterCutoff, 999.0f, "999 Hz" },
        { tz::filterCutoff, 1000.0f, "1.00 kHz" },
        { tz::filterCutoff, 9999.0f, "10.00 kHz" },
        { tz::filterCutoff, 10000.0f, "10.0 kHz" },
        { tz::filterCutoff, 440.0f, "440 Hz" },
        { tz::crushRate, 12000.0f, "12.0 kHz" },
        { tz::mix, 49.5f, "50 %" },
        { tz::mix, 50.5f, "50 %" },
        { tz::mix, 33.3f, "33 %" },
        { tz::crushBits, 8.0f, "8.0 bit" },
        { tz::stutterPitch, 12.0f, "+12.0 st" },
        { tz::grainPitch, -7.0f, "-7.0 st" },
        { tz::grainPitch, 0.0f, "0.0 st" },
        { tz::grainSize, 90.0f, "90 ms" },
        { tz::grainDensity, 4.5f, "4.5 /s" },
        { tz::grainDensity, 16.0f, "16 /s" },
        { tz::grainDensity, 12.5f, "12.5 /s" },
        { tz::routeParam (0, tz::routeField::target), 0.0f, "None" },
        { tz::routeParam (0, tz::routeField::target), 36.0f, "None" },
        { tz::routeParam (0, tz::routeField::target), 200.0f, "None" },
        { tz::routeParam (0, tz::routeField::target), 19.0f, "Mix" },
        { tz::routeParam (3, tz::routeField::target), 4.0f, "Volume Level" },
        { tz::modParam (0, tz::modField::length), 7.0f, "7" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (tz::valueToText (infos[(size_t) c.param], c.value), c.text)
            << infos[(size_t) c.param].id << " " << c.value;
}

TEST (ParameterTable, HostSeesTheSameTextsAndChoiceLabels)
{
    TazzleAudioProcessor processor;
    processor.resetToInit(); // defaults, not the welcome preset
    auto& state = processor.getParameterState();

    auto* cutoff = state.getParameter ("filter_cutoff");
    EXPECT_EQ (cutoff->getCurrentValueAsText(), "1.00 kHz");
    EXPECT_NEAR (cutoff->getValueForText ("440 Hz"), cutoff->convertTo0to1 (440.0f), 1e-6f);
    EXPECT_NEAR (cutoff->getValueForText ("12.0 kHz"), cutoff->convertTo0to1 (12000.0f), 1e-6f);

    auto* pan = state.getParameter ("volume_pan");
    EXPECT_NEAR (pan->getValueForText ("L 50"), pan->convertTo0to1 (-50.0f), 1e-6f);

    EXPECT_EQ (state.getParameter ("delay_time")->getCurrentValueAsText(), "1/8D");
    EXPECT_EQ (state.getParameter ("grid_rate")->getCurrentValueAsText(), "1/16");
    EXPECT_EQ (state.getParameter ("mod2_rate")->getCurrentValueAsText(), "1 Bar");
    EXPECT_EQ (state.getParameter ("stutter_hold")->getName (64), "Stutter Repeat");
    EXPECT_EQ (state.getParameter ("route01_target")->getCurrentValueAsText(), "None");
}

TEST (EffectTables, EffectOfFindsTheOwningEffect)
{
    EXPECT_EQ (tz::effectOf (tz::reverseMix), tz::reverse);
    EXPECT_EQ (tz::effectOf (tz::reverbSize), tz::reverb);
    EXPECT_EQ (tz::effectOf (tz::tapestopCurve), tz::tapestop);
    for (const auto p : { tz::inputGain, tz::mix, tz::outputGain, tz::gridRate, tz::gridLength, tz::xyX, tz::xyY })
        EXPECT_EQ (tz::effectOf (p), -1) << p;

    for (int e = 0; e < tz::numEffects; ++e)
    {
        EXPECT_EQ (tz::effectOf (tz::effectParams[(size_t) e].on), e);
        if (tz::effectParams[(size_t) e].mix != tz::none)
        {
            EXPECT_EQ (tz::effectOf (tz::effectParams[(size_t) e].mix), e);
        }
    }
}

TEST (EffectTables, EveryDescriptorNamesItsOwnParameters)
{
    const auto& params = tz::allParams();
    const auto idOf = [&params] (tz::P p) { return params[(size_t) p].id; };

    for (const auto& effect : tz::effectDescriptors)
    {
        SCOPED_TRACE (effect.key);
        const juce::String key (effect.key);
        EXPECT_EQ (idOf (effect.params.on), key + "_on");
        EXPECT_EQ (params[(size_t) effect.params.on].name.upToLastOccurrenceOf (" On", false, false).toUpperCase(),
                   effect.name);

        const auto mixRow = std::find_if (tz::paramDefs.begin(), tz::paramDefs.end(),
                                          [&key] (const tz::ParamDef& d) { return key + "_mix" == d.id; });
        if (effect.params.mix == tz::none)
            EXPECT_EQ (mixRow, tz::paramDefs.end());
        else
            EXPECT_EQ (idOf (effect.params.mix), key + "_mix");
    }
}

TEST (EffectTables, ModTargetsListIsTheStoredOrder)
{
    const auto& targets = tz::modTargets();
    ASSERT_EQ (targets.size(), 36u);
    EXPECT_EQ (targets[0], tz::none);
    EXPECT_EQ (targets[1], tz::filterCutoff);
    EXPECT_EQ (targets[4], tz::volumeLevel);
    EXPECT_EQ (targets[19], tz::mix);
    EXPECT_EQ (targets[34], tz::xyX);
    EXPECT_EQ (targets[35], tz::xyY);
}
} // namespace
