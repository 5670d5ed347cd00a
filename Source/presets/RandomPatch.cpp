#include "presets/RandomPatch.h"

#include <algorithm>
#include <initializer_list>
#include <numeric>
#include <vector>

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"

namespace tz
{

namespace
{
    using Levels = std::array<float, numModSteps>;

    constexpr std::array<Levels, 10> gatePatterns { {
        { 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0 },
        { 1, 1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1, 0 },
        { 1, 0, 1, 1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1 },
        { 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1 },
        { 1, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 1, 0, 0, 1, 0 },
        { 1, 0.4f, 0.7f, 0.4f, 1, 0.4f, 0.7f, 0.4f, 1, 0.4f, 0.7f, 0.4f, 1, 0.4f, 0.7f, 0.4f },
        { 0.3f, 1, 0.3f, 1, 0.3f, 1, 0.3f, 1, 0.3f, 1, 0.3f, 1, 0.3f, 1, 0.3f, 1 },
        { 1, 1, 1, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 0, 1, 1 },
        { 1, 0.6f, 0, 1, 0.6f, 0, 1, 0.5f, 1, 0.6f, 0, 1, 0.6f, 0, 1, 0.5f },
        { 1, 0, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 0, 0, 1, 0 },
    } };

    enum Family
    {
        gates,
        filterMoves,
        glitch,
        crushing,
        driving,
        grains,
        numFamilies
    };
    constexpr std::array<int, numFamilies> familyWeights { 30, 25, 20, 10, 8, 12 };

    // Route sources after the four modulators.
    constexpr int xSource = 4, ySource = 5;

    // Choice indices of the modulator rate list.
    constexpr int rate1_16T = 2, rate1_16 = 3, rate1_8 = 6;

    class Draws
    {
    public:
        explicit Draws (juce::Random& r)
            : random (r)
        {
        }

        float u() { return juce::jmin (random.nextFloat(), 0.9999999f); }
        int pick (int n) { return random.nextInt (n); }
        bool coin() { return random.nextBool(); }

        template <typename T>
        T pickFrom (std::initializer_list<T> list)
        {
            return *(list.begin() + pick ((int) list.size()));
        }

        template <typename Weights>
        int weighted (const Weights& weights)
        {
            const int total = std::accumulate (std::begin (weights), std::end (weights), 0);
            if (total <= 0)
                return 0;

            int ticket = pick (total);
            int index = 0;
            for (const int weight : weights)
            {
                if (ticket < weight)
                    return index;
                ticket -= weight;
                ++index;
            }
            return index - 1;
        }

    private:
        juce::Random& random;
    };

    constexpr unsigned int stepMask (std::initializer_list<int> steps)
    {
        unsigned int mask = 0;
        for (const int step : steps)
            mask |= 1u << (step - 1);
        return mask;
    }

    class Builder
    {
    public:
        Builder (TazzleAudioProcessor& p, juce::Random& random)
            : processor (p)
            , draw (random)
        {
        }

        void set (int p, float plainValue) { processor.setValue (p, plainValue); }

        void steps (int mod, const Levels& levels, int rate, std::initializer_list<int> shapeWeights, float smooth)
        {
            set (modParam (mod, modField::mode), 1.0f);
            set (modParam (mod, modField::rate), (float) rate);
            set (modParam (mod, modField::smooth), smooth);

            for (int i = 0; i < numModSteps; ++i)
            {
                set (modParam (mod, modField::firstStep + i), levels[(size_t) i] * 100.0f);
                set (modParam (mod, modField::firstStepShape + i), (float) draw.weighted (shapeWeights));
            }
        }

        // Fills route slots in order: the patch starts from the init patch, where every slot is free.
        void route (int source, P target, float depth)
        {
            if (routeCount >= numRoutes)
                return;

            const auto& targets = modTargets();
            const auto found = std::find (targets.begin(), targets.end(), target);
            const auto position = found != targets.end() ? (float) std::distance (targets.begin(), found) : 0.0f;

            // Source last: the slot only becomes active once it is complete.
            set (routeParam (routeCount, routeField::target), position);
            set (routeParam (routeCount, routeField::depth), depth);
            set (routeParam (routeCount, routeField::source), (float) (source + 1));
            ++routeCount;
        }

        void gridRow (EffectId id, unsigned int steps) { processor.setGridRow (id, { steps, true }); }

        TazzleAudioProcessor& processor;
        Draws draw;
        std::vector<P> candidates; // what the XY pad may be routed to

    private:
        int routeCount = 0;
    };

    void addGates (Builder& b)
    {
        auto& d = b.draw;
        auto levels = gatePatterns[(size_t) d.pick ((int) gatePatterns.size())];

        for (auto& level : levels)
            if (d.u() < 0.12f)
                level = level > 0.5f ? 0.0f : 0.6f + 0.4f * d.u();

        const int r = d.pick (100);
        const int rate = r < 70 ? rate1_16 : (r < 90 ? rate1_8 : rate1_16T);
        b.steps (0, levels, rate, { 40, 35, 15, 10 }, 15.0f * d.u());

        if (rate == rate1_16T)
            b.set (modParam (0, modField::length), 12.0f);

        if (d.u() < 0.25f)
            b.set (modParam (0, modField::swing), 45.0f + 20.0f * d.u());

        b.set (volumeOn, 1.0f);
        b.set (volumeLevel, 30.0f * d.u());
        b.route (0, volumeLevel, 100.0f);
    }

    void addFilterMove (Builder& b)
    {
        enum
        {
            lowPass,
            highPass,
            bandPass
        };
        auto& d = b.draw;

        b.set (filterOn, 1.0f);
        const int r = d.pick (100);
        const int type = r < 70 ? lowPass : (r < 85 ? highPass : bandPass);
        b.set (filterType, (float) type);

        b.set (filterCutoff,
               type == highPass ? 80.0f * std::pow (10.0f, d.u()) : 300.0f * std::pow (11.666667f, d.u()));
        b.set (filterResonance, type == bandPass ? 10.0f + 30.0f * d.u() : 10.0f + 50.0f * d.u());

        if (d.u() < 0.5f)
        {
            b.set (modParam (1, modField::mode), 0.0f);
            b.set (modParam (1, modField::shape), (float) d.pickFrom ({ 0, 1, 6, 2 }));
            b.set (modParam (1, modField::rate), (float) d.pickFrom ({ 9, 11, 12, 13 }));
            b.route (1, filterCutoff, 20.0f + 25.0f * d.u());
        }
        else
        {
            Levels levels {};
            for (auto& level : levels)
                level = 0.1f + 0.9f * d.u();

            b.steps (2, levels, rate1_16, { 15, 25, 0, 45, 15 }, 0.0f);
            b.route (2, filterCutoff, 35.0f + 20.0f * d.u());
        }

        // A band-pass loses level; make it up even past a locked output.
        if (type == bandPass)
            b.set (outputGain, 6.0f);

        b.candidates.insert (b.candidates.end(), { filterCutoff, filterResonance });
    }

    void addGlitch (Builder& b)
    {
        auto& d = b.draw;
        const int r = d.pick (100);
        const bool extra = r >= 50;
        const bool withStutter = ! extra || d.u() < 0.35f;

        if (withStutter)
        {
            b.set (stutterLength, (float) d.pickFrom ({ 1, 1, 2 }));
            b.set (stutterHold, 5.0f);
            if (d.u() < 0.4f)
                b.set (stutterPitch, (float) d.pickFrom ({ -12, -5, 5, 7 }));
            b.gridRow (stutter, d.coin() ? stepMask ({ 15, 16 }) : stepMask ({ 7, 8, 15, 16 }));
            b.set (stutterOn, 1.0f);
            b.candidates.push_back (stutterPitch);
        }

        if (extra && r >= 80)
        {
            b.set (tapestopTime, (float) d.pick (2));
            b.gridRow (tapestop, stepMask ({ 16 }));
            b.set (tapestopOn, 1.0f);
        }
        else if (extra)
        {
            b.set (reverseLength, (float) d.pick (2));
            b.gridRow (reverse, d.coin() ? stepMask ({ 9 }) : stepMask ({ 5, 13 }));
            b.set (reverseOn, 1.0f);
        }
    }

    void addCrush (Builder& b)
    {
        auto& d = b.draw;
        b.set (crushOn, 1.0f);
        b.set (crushBits, 6.0f + 6.0f * d.u());
        b.set (crushRate, 5000.0f * std::pow (4.4f, d.u()));
        b.set (crushMix, 50.0f + 50.0f * d.u());
        b.candidates.insert (b.candidates.end(), { crushBits, crushRate });
    }

    void addDrive (Builder& b)
    {
        auto& d = b.draw;
        b.set (driveOn, 1.0f);
        const int r = d.pick (100);
        b.set (driveType, r < 40 ? 0.0f : (r < 55 ? 1.0f : (r < 65 ? 2.0f : 3.0f)));
        b.set (driveAmount, 15.0f + 35.0f * d.u());
        b.candidates.push_back (driveAmount);
    }

    void addGrain (Builder& b)
    {
        auto& d = b.draw;
        b.set (grainOn, 1.0f);
        b.set (grainPitch, (float) d.pickFrom ({ -12, -5, 0, 7, 12 }));
        b.set (grainSize, 60.0f * std::pow (5.0f, d.u()));
        b.set (grainDensity, 10.0f + 25.0f * d.u());
        b.set (grainSpray, 20.0f + 50.0f * d.u());
        b.set (grainMix, 20.0f + 25.0f * d.u());
        b.candidates.insert (b.candidates.end(), { grainPitch, grainSpray, grainMix });
    }

    void addDelay (Builder& b)
    {
        auto& d = b.draw;
        b.set (delayOn, 1.0f);
        b.set (delayTime, (float) d.pickFrom ({ 3, 5, 6, 8, 9 }));
        b.set (delayFeedback, 25.0f + 35.0f * d.u());
        b.set (delayPingpong, (float) d.pickFrom ({ 0, 50, 100 }));
        b.set (delayTone, 40.0f + 40.0f * d.u());
        b.set (delayMix, 12.0f + 18.0f * d.u());
        b.candidates.insert (b.candidates.end(), { delayFeedback, delayMix });
    }

    void addReverb (Builder& b)
    {
        auto& d = b.draw;
        b.set (reverbOn, 1.0f);
        b.set (reverbSize, 40.0f + 50.0f * d.u());
        b.set (reverbMix, 10.0f + 20.0f * d.u());
        b.candidates.push_back (reverbMix);
    }

    void wireXYPad (Builder& b)
    {
        auto& d = b.draw;
        b.set (xyX, 50.0f);
        b.set (xyY, 80.0f + 20.0f * d.u());

        if (b.candidates.empty())
            return;

        const auto pickCandidate = [&] { return b.candidates[(size_t) d.pick ((int) b.candidates.size())]; };
        const auto a = pickCandidate();
        b.route (xSource, a, 20.0f + 20.0f * d.u());

        const auto other = pickCandidate();
        if (other != a)
            b.route (ySource, other, 20.0f + 20.0f * d.u());
    }

    bool isRouteSource (const TazzleAudioProcessor& processor, int mod)
    {
        for (int r = 0; r < numRoutes; ++r)
            if (juce::roundToInt (processor.getValue (routeParam (r, routeField::source))) == mod + 1)
                return true;
        return false;
    }
} // namespace

void makeRandomPatch (TazzleAudioProcessor& processor, juce::Random& random)
{
    // One change from the audio thread's point of view: it restarts on the finished patch, not on the init patch.
    processor.beginStateChange();
    processor.resetToInit();
    for (int e = 0; e < numEffects; ++e)
        processor.setGridRow ((EffectId) e, {});

    Builder b (processor, random);
    auto& d = b.draw;

    const int familyCount = d.u() < 0.6f ? 2 : 3;
    std::array<bool, numFamilies> chosen {};
    for (int count = 0; count < familyCount;)
    {
        const int family = d.weighted (familyWeights);
        if (! chosen[(size_t) family])
        {
            chosen[(size_t) family] = true;
            ++count;
        }
    }

    if (chosen[gates])
        addGates (b);
    if (chosen[filterMoves])
        addFilterMove (b);
    if (chosen[glitch])
        addGlitch (b);
    if (chosen[crushing])
        addCrush (b);
    if (chosen[driving] || d.u() < 0.25f)
        addDrive (b);
    if (chosen[grains])
        addGrain (b);
    if (d.u() < 0.75f)
        addDelay (b);
    if (d.u() < 0.6f)
        addReverb (b);

    wireXYPad (b);

    processor.setPresetName ("Random");
    processor.endStateChange();
}

void makeVariation (TazzleAudioProcessor& processor, juce::Random& random)
{
    Draws d (random);
    const auto& infos = allParams();

    for (int e = 0; e < numEffects; ++e)
    {
        if (processor.getValue (effectParams[(size_t) e].on) < 0.5f)
            continue;

        const auto prefix = juce::String (effectKeys[(size_t) e]) + "_";

        for (int p = 0; p < numFixedParams; ++p)
        {
            const auto& info = infos[(size_t) p];
            if (info.kind != ParamKind::Float || ! info.id.startsWith (prefix) || d.u() < 0.35f)
                continue;

            const float normalised = processor.getHostParameter (p).getValue();
            processor.setNormalisedValue (p, juce::jlimit (0.0f, 1.0f, normalised + 0.16f * (d.u() - 0.5f)));
        }
    }

    for (int m = 0; m < numModulators; ++m)
    {
        if (! isRouteSource (processor, m))
            continue;

        if (processor.getValue (modParam (m, modField::mode)) > 0.5f)
        {
            for (int i = 0; i < 3; ++i)
            {
                const int step = modParam (m, modField::firstStep + d.pick (numModSteps));
                if (processor.getValue (step) <= 50.0f)
                    processor.setValue (step, 60.0f + 40.0f * d.u());
                else
                    processor.setValue (step, d.coin() ? 0.0f : 40.0f + 40.0f * d.u());
            }

            if (d.u() < 0.4f)
                processor.setValue (modParam (m, modField::firstStepShape + d.pick (numModSteps)), (float) d.pick (5));
        }
        else if (d.u() < 0.3f)
        {
            const int rate = modParam (m, modField::rate);
            const int moved = juce::roundToInt (processor.getValue (rate)) + (d.coin() ? 1 : -1);
            processor.setValue (rate, (float) juce::jlimit (0, 15, moved));
        }
    }

    if (d.coin())
    {
        for (int e = 0; e < numEffects; ++e)
        {
            const auto row = processor.getGridRow ((EffectId) e);
            if (! row.enabled || ! d.coin())
                continue;

            // Flipping a row's only painted step would silence its effect for good.
            const auto bit = 1u << d.pick (numModSteps);
            if (row.steps != bit)
                processor.setGridRow ((EffectId) e, { row.steps ^ bit, true });
            break;
        }
    }

    const auto name = processor.getPresetName();
    if (! name.endsWith ("*"))
        processor.setPresetName (name + " *");
}

} // namespace tz
