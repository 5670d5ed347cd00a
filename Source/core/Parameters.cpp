#include "core/Parameters.h"

#include <cmath>

namespace tz
{

namespace
{
    using K = ParamKind;
    using F = ParamFormat;

    constexpr const char* rateLabels =
        "1/64|1/32|1/16T|1/16|1/16D|1/8T|1/8|1/8D|1/4T|1/4|1/4D|1/2|1 Bar|2 Bars|4 Bars|8 Bars";
} // namespace

const std::array<ParamDef, numFixedParams> paramDefs { {
    { inputGain, "input_gain", "Input", K::Float, -24, 24, 0, 0, F::Decibels, nullptr },
    { mix, "mix", "Mix", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
    { outputGain, "output_gain", "Output", K::Float, -24, 12, 0, 0, F::Decibels, nullptr },
    { filterOn, "filter_on", "Filter On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { filterType, "filter_type", "Filter Type", K::Choice, 0, 2, 0, 0, F::Plain, "Low Pass|High Pass|Band Pass" },
    { filterCutoff, "filter_cutoff", "Filter Cutoff", K::Float, 20, 20000, 1000, 1000, F::Frequency, nullptr },
    { filterResonance, "filter_resonance", "Filter Resonance", K::Float, 0, 100, 20, 0, F::Percent, nullptr },
    { filterMix, "filter_mix", "Filter Mix", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
    { volumeOn, "volume_on", "Volume On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { volumeLevel, "volume_level", "Volume Level", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
    { volumePan, "volume_pan", "Volume Pan", K::Float, -100, 100, 0, 0, F::Pan, nullptr },
    { crushOn, "crush_on", "Crush On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { crushBits, "crush_bits", "Crush Bits", K::Float, 1, 16, 8, 0, F::Bits, nullptr },
    { crushRate, "crush_rate", "Crush Rate", K::Float, 200, 48000, 11025, 4000, F::Frequency, nullptr },
    { crushMix, "crush_mix", "Crush Mix", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
    { driveOn, "drive_on", "Drive On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { driveType, "drive_type", "Drive Type", K::Choice, 0, 3, 0, 0, F::Plain, "Soft|Hard|Fold|Tube" },
    { driveAmount, "drive_amount", "Drive Amount", K::Float, 0, 100, 40, 0, F::Percent, nullptr },
    { driveTone, "drive_tone", "Drive Tone", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
    { driveMix, "drive_mix", "Drive Mix", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
    { delayOn, "delay_on", "Delay On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { delayTime, "delay_time", "Delay Time", K::Choice, 0, 12, 6, 0, F::Plain,
      "1/32|1/16T|1/16|1/16D|1/8T|1/8|1/8D|1/4T|1/4|1/4D|1/2|1/2D|1 Bar" },
    { delayFeedback, "delay_feedback", "Delay Feedback", K::Float, 0, 95, 40, 0, F::Percent, nullptr },
    { delayPingpong, "delay_pingpong", "Delay Ping Pong", K::Float, 0, 100, 0, 0, F::Percent, nullptr },
    { delayTone, "delay_tone", "Delay Tone", K::Float, 0, 100, 70, 0, F::Percent, nullptr },
    { delayMix, "delay_mix", "Delay Mix", K::Float, 0, 100, 30, 0, F::Percent, nullptr },
    { reverbOn, "reverb_on", "Reverb On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { reverbSize, "reverb_size", "Reverb Size", K::Float, 0, 100, 60, 0, F::Percent, nullptr },
    { reverbDamping, "reverb_damping", "Reverb Damping", K::Float, 0, 100, 40, 0, F::Percent, nullptr },
    { reverbMix, "reverb_mix", "Reverb Mix", K::Float, 0, 100, 25, 0, F::Percent, nullptr },
    { stutterOn, "stutter_on", "Stutter On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { stutterLength, "stutter_length", "Stutter Length", K::Choice, 0, 5, 2, 0, F::Plain,
      "1/64|1/32|1/16|1/8|1/4|1/2" },
    { stutterHold, "stutter_hold", "Stutter Repeat", K::Choice, 0, 5, 2, 0, F::Plain, "1/16|1/8|1/4|1/2|1 Bar|Free" },
    { stutterDecay, "stutter_decay", "Stutter Decay", K::Float, 0, 100, 0, 0, F::Percent, nullptr },
    { stutterPitch, "stutter_pitch", "Stutter Pitch", K::Float, -12, 12, 0, 0, F::Semitones, nullptr },
    { stutterMix, "stutter_mix", "Stutter Mix", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
    { tapestopOn, "tapestop_on", "Tape Stop On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { tapestopTime, "tapestop_time", "Tape Stop Time", K::Choice, 0, 5, 2, 0, F::Plain,
      "1/16|1/8|1/4|1/2|1 Bar|2 Bars" },
    { tapestopCurve, "tapestop_curve", "Tape Stop Curve", K::Float, 0, 100, 50, 0, F::Percent, nullptr },
    { tapestopMix, "tapestop_mix", "Tape Stop Mix", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
    { reverseOn, "reverse_on", "Reverse On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { reverseLength, "reverse_length", "Reverse Length", K::Choice, 0, 4, 1, 0, F::Plain, "1/16|1/8|1/4|1/2|1 Bar" },
    { reverseMix, "reverse_mix", "Reverse Mix", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
    { gridRate, "grid_rate", "Grid Rate", K::Choice, 0, 15, 3, 0, F::Plain, rateLabels },
    { gridLength, "grid_length", "Grid Steps", K::Int, 1, 16, 16, 0, F::Plain, nullptr },
    { grainOn, "grain_on", "Grain On", K::Bool, 0, 1, 0, 0, F::Plain, nullptr },
    { grainMode, "grain_mode", "Grain Mode", K::Choice, 0, 3, 0, 0, F::Plain, "Forward|Reverse|Both|Freeze" },
    { grainSize, "grain_size", "Grain Size", K::Float, 10, 500, 90, 90, F::Milliseconds, nullptr },
    { grainDensity, "grain_density", "Grain Density", K::Float, 1, 60, 16, 12, F::PerSecond, nullptr },
    { grainPitch, "grain_pitch", "Grain Pitch", K::Float, -24, 24, 0, 0, F::Semitones, nullptr },
    { grainSpray, "grain_spray", "Grain Spray", K::Float, 0, 100, 30, 0, F::Percent, nullptr },
    { grainFeedback, "grain_feedback", "Grain Feedback", K::Float, 0, 90, 0, 0, F::Percent, nullptr },
    { grainMix, "grain_mix", "Grain Mix", K::Float, 0, 100, 50, 0, F::Percent, nullptr },
    { xyX, "xy_x", "XY X (Speed)", K::Float, 0, 100, 50, 0, F::Percent, nullptr },
    { xyY, "xy_y", "XY Y (Intensity)", K::Float, 0, 100, 100, 0, F::Percent, nullptr },
} };

namespace
{
    std::vector<ParamInfo> buildAllParams()
    {
        std::vector<ParamInfo> infos;
        infos.reserve (numParams);

        for (const auto& d : paramDefs)
            infos.push_back ({ d.id, d.name, d.kind, d.min, d.max, d.def, d.centre, d.format,
                               d.choices != nullptr ? juce::String (d.choices) : juce::String() });

        for (int m = 0; m < numModulators; ++m)
        {
            const bool evenModulator = (m % 2) == 0;
            const juce::String idPrefix = "mod" + juce::String (m + 1) + "_";
            const juce::String namePrefix = "Mod " + juce::String (m + 1) + " ";

            auto add = [&] (const char* idSuffix, const char* nameSuffix, ParamKind kind, float lo, float hi, float def,
                            ParamFormat format, const char* choices)
            {
                infos.push_back ({ idPrefix + idSuffix, namePrefix + nameSuffix, kind, lo, hi, def, 0.0f, format,
                                   choices != nullptr ? juce::String (choices) : juce::String() });
            };

            add ("mode", "Mode", K::Choice, 0, 1, evenModulator ? 1.0f : 0.0f, F::Plain, "LFO|Step");
            add ("shape", "Shape", K::Choice, 0, 6, 0, F::Plain,
                 "Sine|Triangle|Saw Up|Saw Down|Square|Random|Smooth Random");
            add ("rate", "Rate", K::Choice, 0, 15, evenModulator ? 3.0f : 12.0f, F::Plain, rateLabels);
            add ("length", "Steps", K::Int, 1, 16, 16, F::Plain, nullptr);
            add ("smooth", "Smooth", K::Float, 0, 100, 0, F::Percent, nullptr);
            add ("swing", "Swing", K::Float, 0, 100, 0, F::Percent, nullptr);
            add ("phase", "Phase", K::Float, 0, 100, 0, F::Percent, nullptr);
            add ("xy", "Follows XY", K::Bool, 0, 1, 1, F::Plain, nullptr);

            for (int s = 0; s < numModSteps; ++s)
            {
                const auto number = juce::String (s + 1);
                infos.push_back ({ idPrefix + "step" + number.paddedLeft ('0', 2),
                                   namePrefix + "Step " + number,
                                   K::Float,
                                   0,
                                   100,
                                   (s % 2) == 0 ? 100.0f : 0.0f,
                                   0.0f,
                                   F::Percent,
                                   {} });
            }

            for (int s = 0; s < numModSteps; ++s)
            {
                const auto number = juce::String (s + 1);
                infos.push_back ({ idPrefix + "step" + number.paddedLeft ('0', 2) + "_shape",
                                   namePrefix + "Step " + number + " Shape", K::Choice, 0, 4, 0, 0.0f, F::Plain,
                                   "Square|Ramp Down|Ramp Up|Curve|Glide" });
            }
        }

        for (int r = 0; r < numRoutes; ++r)
        {
            const auto number = juce::String (r + 1);
            const juce::String idPrefix = "route" + number.paddedLeft ('0', 2) + "_";
            const juce::String namePrefix = "Route " + number + " ";

            infos.push_back ({ idPrefix + "source", namePrefix + "Source", K::Choice, 0, 6, 0, 0.0f, F::Plain,
                               "Off|Mod 1|Mod 2|Mod 3|Mod 4|X|Y" });
            infos.push_back ({ idPrefix + "target", namePrefix + "Target", K::Int, 0, 255, 0, 0.0f, F::Plain, {} });
            infos.push_back (
                { idPrefix + "depth", namePrefix + "Depth", K::Float, -100, 100, 50, 0.0f, F::Percent, {} });
        }

        jassert ((int) infos.size() == numParams);
        return infos;
    }

    // Fixed-point text with exactly `decimals` digits after the point.
    juce::String fixed (double v, int decimals) { return juce::String (v, decimals, false); }

    // Nearest whole number, ties to even.
    juce::String rounded (double v) { return juce::String ((juce::int64) std::nearbyint (v)); }

    juce::String signedOneDecimal (float v, const char* unit)
    {
        if (std::abs (v) < 0.05f)
            return "0.0" + juce::String (unit);

        return (v >= 0.05f ? "+" : "") + fixed (v, 1) + unit;
    }
} // namespace

const std::vector<ParamInfo>& allParams()
{
    static const std::vector<ParamInfo> infos = buildAllParams();
    return infos;
}

ParamValues defaultParamValues()
{
    ParamValues values {};
    const auto& infos = allParams();
    for (size_t p = 0; p < values.size(); ++p)
        values[p] = infos[p].def;
    return values;
}

const std::vector<P>& modTargets()
{
    static const std::vector<P> targets {
        none,          filterCutoff,  filterResonance, filterMix,   volumeLevel,  volumePan,
        crushBits,     crushRate,     crushMix,        driveAmount, driveTone,    driveMix,
        delayFeedback, delayPingpong, delayTone,       delayMix,    reverbSize,   reverbDamping,
        reverbMix,     mix,           inputGain,       outputGain,  stutterDecay, stutterPitch,
        stutterMix,    tapestopCurve, tapestopMix,     reverseMix,  grainSize,    grainDensity,
        grainPitch,    grainSpray,    grainFeedback,   grainMix,    xyX,          xyY,
    };
    return targets;
}

int effectOf (P p)
{
    const juce::String id (paramDefs[(size_t) p].id);

    for (int e = 0; e < numEffects; ++e)
        if (id.startsWith (juce::String (effectKeys[(size_t) e]) + "_"))
            return e;

    return -1;
}

float skewFor (const ParamInfo& info)
{
    if (info.centre <= 0.0f)
        return 1.0f;

    return (float) (std::log (0.5) / std::log ((double) (info.centre - info.min) / (double) (info.max - info.min)));
}

juce::String valueToText (const ParamInfo& info, float v)
{
    if (info.kind == ParamKind::Int)
    {
        const int whole = juce::roundToInt (v);

        if (info.id.endsWith ("_target"))
        {
            const auto& targets = modTargets();
            return (whole > 0 && whole < (int) targets.size())
                ? juce::String (paramDefs[(size_t) targets[(size_t) whole]].name)
                : juce::String ("None");
        }

        return juce::String (whole);
    }

    switch (info.format)
    {
        case ParamFormat::Decibels:
            return signedOneDecimal (v, " dB");
        case ParamFormat::Percent:
            return rounded (v) + " %";
        case ParamFormat::Frequency:
            if (v >= 1000.0f)
                return fixed (v / 1000.0, v < 10000.0f ? 2 : 1) + " kHz";
            return rounded (v) + " Hz";
        case ParamFormat::Bits:
            return fixed (v, 1) + " bit";
        case ParamFormat::Pan:
            if (std::abs (v) < 0.5f)
                return "C";
            return (v < 0.0f ? "L " : "R ") + rounded (std::abs (v));
        case ParamFormat::Semitones:
            return signedOneDecimal (v, " st");
        case ParamFormat::Milliseconds:
            return rounded (v) + " ms";
        case ParamFormat::PerSecond:
            if (v < 10.0f)
                return fixed (v, 1) + " /s";
            return juce::String::formatted ("%g", (double) v) + " /s";
        case ParamFormat::Plain:
            break;
    }

    return fixed (v, 2);
}

float textToValue (const ParamInfo& info, const juce::String& text)
{
    const auto trimmed = text.trim();

    if (info.kind == ParamKind::Int && info.id.endsWith ("_target"))
    {
        const auto& targets = modTargets();
        for (size_t t = 1; t < targets.size(); ++t)
            if (trimmed.equalsIgnoreCase (paramDefs[(size_t) targets[t]].name))
                return (float) t;
        return (float) trimmed.getIntValue();
    }

    if (info.format == ParamFormat::Pan)
    {
        if (trimmed.startsWithIgnoreCase ("L"))
            return -trimmed.substring (1).getFloatValue();
        if (trimmed.startsWithIgnoreCase ("R"))
            return trimmed.substring (1).getFloatValue();
        if (trimmed.equalsIgnoreCase ("C"))
            return 0.0f;
    }

    const auto number = trimmed.retainCharacters ("0123456789.+-eE").getFloatValue();

    if (info.format == ParamFormat::Frequency && trimmed.containsIgnoreCase ("k"))
        return number * 1000.0f;

    return number;
}

} // namespace tz
