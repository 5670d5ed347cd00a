#include <gtest/gtest.h>

#include "presets/PresetTestSupport.h"
#include "presets/RandomPatch.h"

namespace
{
using namespace tz::test;

const auto& infos() { return tz::allParams(); }

bool isOn (TazzleAudioProcessor& processor, tz::P onParam) { return processor.getValue (onParam) >= 0.5f; }

int routeSource (TazzleAudioProcessor& processor, int r)
{
    return juce::roundToInt (processor.getValue (tz::routeParam (r, tz::routeField::source)));
}

int routeTarget (TazzleAudioProcessor& processor, int r)
{
    return juce::roundToInt (processor.getValue (tz::routeParam (r, tz::routeField::target)));
}

float normalised (TazzleAudioProcessor& processor, int p)
{
    return processor.getParameterState().getParameter (infos()[(size_t) p].id)->getValue();
}

std::vector<float> allValues (TazzleAudioProcessor& processor)
{
    std::vector<float> values;
    for (int p = 0; p < tz::numParams; ++p)
        values.push_back (processor.getValue (p));
    return values;
}

tz::GridWords gridOf (TazzleAudioProcessor& processor)
{
    tz::GridWords words {};
    for (int e = 0; e < tz::numEffects; ++e)
        words[(size_t) e] = tz::packGridRow (processor.getGridRow ((tz::EffectId) e));
    return words;
}

TEST (RandomPatch, ShapeOfThousandsOfPatches)
{
    TazzleAudioProcessor processor;
    processor.getParameterState().state.setProperty ("locked", "mix,output_gain", nullptr);
    processor.setValue (tz::mix, 40.0f);

    constexpr int runs = 3000;
    int delays = 0, reverbs = 0, gates = 0, bandPasses = 0, withoutCandidates = 0, threeFamilies = 0;
    juce::Random random (20240611);

    for (int run = 0; run < runs; ++run)
    {
        processor.setValue (tz::outputGain, -5.0f);
        tz::makeRandomPatch (processor, random);
        SCOPED_TRACE ("run " + std::to_string (run));

        EXPECT_EQ (processor.getPresetName(), "Random");
        EXPECT_EQ (processor.getPresetCategory(), "");
        EXPECT_EQ (processor.getPresetPack(), "");
        EXPECT_FLOAT_EQ (processor.getValue (tz::mix), 40.0f);

        const bool hasGates = isOn (processor, tz::volumeOn);
        const bool hasFilter = isOn (processor, tz::filterOn);
        const bool hasGlitch =
            isOn (processor, tz::stutterOn) || isOn (processor, tz::reverseOn) || isOn (processor, tz::tapestopOn);
        const bool hasCrush = isOn (processor, tz::crushOn);
        const bool hasGrain = isOn (processor, tz::grainOn);
        const bool hasDrive = isOn (processor, tz::driveOn);

        // Drive also comes by chance outside the families, so it can only widen the count.
        const int families = hasGates + hasFilter + hasGlitch + hasCrush + hasGrain;
        EXPECT_TRUE (hasDrive ? families >= 1 && families <= 3 : families >= 2 && families <= 3) << families;
        threeFamilies += families == 3;

        const bool bandPass = hasFilter && processor.getValue (tz::filterType) == 2.0f;
        bandPasses += bandPass;
        EXPECT_FLOAT_EQ (processor.getValue (tz::outputGain), bandPass ? 6.0f : -5.0f);

        if (hasGates)
        {
            ++gates;
            EXPECT_EQ (processor.getValue (tz::modParam (0, tz::modField::mode)), 1.0f);
            EXPECT_EQ (routeSource (processor, 0), 1);
            EXPECT_EQ (routeTarget (processor, 0), 4); // volume_level
            EXPECT_FLOAT_EQ (processor.getValue (tz::routeParam (0, tz::routeField::depth)), 100.0f);
            EXPECT_LE (processor.getValue (tz::volumeLevel), 30.0f);

            const float rate = processor.getValue (tz::modParam (0, tz::modField::rate));
            EXPECT_TRUE (rate == 2.0f || rate == 3.0f || rate == 6.0f) << rate;
            EXPECT_EQ (processor.getValue (tz::modParam (0, tz::modField::length)), rate == 2.0f ? 12.0f : 16.0f);
        }

        delays += isOn (processor, tz::delayOn);
        reverbs += isOn (processor, tz::reverbOn);

        EXPECT_FLOAT_EQ (processor.getValue (tz::xyX), 50.0f);
        EXPECT_GE (processor.getValue (tz::xyY), 80.0f);

        int xRoutes = 0, yRoutes = 0, xTarget = -1, yTarget = -1;
        for (int r = 0; r < tz::numRoutes; ++r)
        {
            const int source = routeSource (processor, r);
            if (source < 5)
                continue;

            const int target = routeTarget (processor, r);
            (source == 5 ? xTarget : yTarget) = target;
            (source == 5 ? xRoutes : yRoutes) += 1;

            // The pad only ever drives a parameter of an effect that the patch switched on.
            ASSERT_TRUE (target > 0 && target < 36);
            const int effect = tz::effectOf (tz::modTargets()[(size_t) target]);
            ASSERT_GE (effect, 0);
            EXPECT_TRUE (isOn (processor, tz::effectParams[(size_t) effect].on))
                << infos()[(size_t) tz::modTargets()[(size_t) target]].id;
        }

        const bool anyCandidate = hasFilter || isOn (processor, tz::stutterOn) || hasCrush || hasDrive || hasGrain
            || isOn (processor, tz::delayOn) || isOn (processor, tz::reverbOn);
        withoutCandidates += ! anyCandidate;
        EXPECT_EQ (xRoutes, anyCandidate ? 1 : 0);
        EXPECT_LE (yRoutes, 1);
        if (yRoutes == 1)
        {
            EXPECT_NE (yTarget, xTarget);
        }
    }

    RecordProperty ("delays", delays);
    RecordProperty ("reverbs", reverbs);
    RecordProperty ("threeFamilies", threeFamilies);
    RecordProperty ("withoutCandidates", withoutCandidates);
    EXPECT_NEAR ((double) delays / runs, 0.75, 0.03);
    EXPECT_NEAR ((double) reverbs / runs, 0.60, 0.03);
    EXPECT_GT (gates, 0);
    EXPECT_GT (bandPasses, 0);
    EXPECT_GT (withoutCandidates, 0); // the empty-candidate case was exercised
    EXPECT_GT (threeFamilies, 0);
}

TEST (RandomPatch, GlitchRowsMatchTheirEffects)
{
    TazzleAudioProcessor processor;
    juce::Random random (77);

    for (int run = 0; run < 500; ++run)
    {
        tz::makeRandomPatch (processor, random);
        const auto grid = gridOf (processor);

        for (int e = 0; e < tz::numEffects; ++e)
        {
            const auto word = grid[(size_t) e];
            if (e == tz::stutter && isOn (processor, tz::stutterOn))
                EXPECT_TRUE (word == (0x10000u | 0xC000u) || word == (0x10000u | 0xC0C0u)) << word;
            else if (e == tz::tapestop && isOn (processor, tz::tapestopOn))
                EXPECT_EQ (word, 0x10000u | 0x8000u);
            else if (e == tz::reverse && isOn (processor, tz::reverseOn))
                EXPECT_TRUE (word == (0x10000u | 0x100u) || word == (0x10000u | 0x1010u)) << word;
            else
                EXPECT_EQ (word, 0u) << tz::effectKeys[(size_t) e];
        }
    }
}

TEST (Variation, OfTheInitPatchOnlyRenamesOnce)
{
    TazzleAudioProcessor processor;
    processor.resetToInit();
    const auto values = allValues (processor);
    const auto grid = property (processor, "grid");

    juce::Random random (5);
    for (int run = 0; run < 50; ++run)
    {
        tz::makeVariation (processor, random);
        EXPECT_EQ (processor.getPresetName(), "Init *");
    }

    EXPECT_EQ (allValues (processor), values);
    EXPECT_EQ (property (processor, "grid"), grid);
    EXPECT_EQ (gridOf (processor), tz::GridWords {});
}

TEST (Variation, TouchesOnlyWhatItMay)
{
    TazzleAudioProcessor processor;
    int knobMoves = 0, stepMoves = 0, rateMoves = 0, gridMoves = 0;

    juce::Random random (31337);

    for (int run = 0; run < 1500; ++run)
    {
        tz::makeRandomPatch (processor, random);
        const auto before = allValues (processor);
        const auto normalisedBefore = [&]
        {
            std::vector<float> v;
            for (int p = 0; p < tz::numFixedParams; ++p)
                v.push_back (normalised (processor, p));
            return v;
        }();
        const auto gridBefore = gridOf (processor);

        tz::makeVariation (processor, random);
        SCOPED_TRACE ("run " + std::to_string (run));
        EXPECT_EQ (processor.getPresetName(), "Random *");

        for (int p = 0; p < tz::numFixedParams; ++p)
        {
            const auto& info = infos()[(size_t) p];
            const int effect = tz::effectOf ((tz::P) p);
            const bool movable = info.kind == tz::ParamKind::Float && effect >= 0
                && before[(size_t) tz::effectParams[(size_t) effect].on] >= 0.5f;

            if (! movable)
            {
                EXPECT_EQ (processor.getValue (p), before[(size_t) p]) << info.id;
                continue;
            }

            EXPECT_LE (std::abs (normalised (processor, p) - normalisedBefore[(size_t) p]), 0.08f + 1e-5f) << info.id;
            knobMoves += processor.getValue (p) != before[(size_t) p];
        }

        for (int m = 0; m < tz::numModulators; ++m)
        {
            bool used = false;
            for (int r = 0; r < tz::numRoutes; ++r)
                used |= juce::roundToInt (before[(size_t) tz::routeParam (r, tz::routeField::source)]) == m + 1;

            const bool stepMode = before[(size_t) tz::modParam (m, tz::modField::mode)] > 0.5f;

            for (int k = 0; k < tz::numModFields; ++k)
            {
                const auto p = (size_t) tz::modParam (m, k);
                const bool mayChange = used && (stepMode ? k >= tz::modField::firstStep : k == tz::modField::rate);

                if (! mayChange)
                    EXPECT_EQ (processor.getValue ((int) p), before[p]) << infos()[p].id;
                else if (k == tz::modField::rate)
                {
                    EXPECT_LE (std::abs (processor.getValue ((int) p) - before[p]), 1.0f);
                    rateMoves += processor.getValue ((int) p) != before[p];
                }
                else
                    stepMoves += processor.getValue ((int) p) != before[p];
            }
        }

        for (int r = 0; r < tz::numRoutes * tz::numRouteFields; ++r)
            EXPECT_EQ (processor.getValue (tz::routeParam (0, 0) + r), before[(size_t) (tz::routeParam (0, 0) + r)]);

        const auto gridAfter = gridOf (processor);
        int changedRows = 0;
        for (int e = 0; e < tz::numEffects; ++e)
        {
            const auto was = gridBefore[(size_t) e], is = gridAfter[(size_t) e];
            if (was == is)
                continue;

            ++changedRows;
            EXPECT_TRUE (was & tz::gridEnabledBit);
            EXPECT_TRUE (is & tz::gridEnabledBit);
            EXPECT_TRUE (juce::isPowerOfTwo (was ^ is)); // one step flipped
            EXPECT_NE (is & tz::gridStepMask, 0u);       // never emptied
        }
        EXPECT_LE (changedRows, 1);
        gridMoves += changedRows;
    }

    EXPECT_GT (knobMoves, 0);
    EXPECT_GT (stepMoves, 0);
    EXPECT_GT (rateMoves, 0);
    EXPECT_GT (gridMoves, 0);
}

TEST (Variation, NeverEmptiesASingleStepRow)
{
    int changed = 0;
    juce::Random random (99);

    for (int run = 0; run < 400; ++run)
    {
        TazzleAudioProcessor processor;
        processor.resetToInit();
        processor.setGridRow (tz::reverse, { 0x100, true });

        tz::makeVariation (processor, random);

        const auto row = processor.getGridRow (tz::reverse);
        EXPECT_TRUE (row.enabled);
        EXPECT_TRUE (row.steps & 0x100) << "run " << run;
        changed += row.steps != 0x100;
    }

    EXPECT_GT (changed, 0);
}
} // namespace
