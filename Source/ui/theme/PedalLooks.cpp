#include "ui/theme/PedalLooks.h"

#include <array>

namespace tz::theme
{

const PedalLook& pedalLook (EffectId effect)
{
    static const std::array<PedalLook, numEffects> looks {
        PedalLook { filter,
                    juce::Colour (0xffff7a2f),
                    150,
                    { { { filterType, nullptr } },
                      { { filterCutoff, "CUTOFF" }, { filterResonance, "RESO" }, { filterMix, "MIX" } } } },
        PedalLook { volume,
                    juce::Colour (0xffffc94a),
                    136,
                    { {}, { { volumeLevel, "LEVEL" }, { volumePan, "PAN" } } } },
        PedalLook { crush,
                    juce::Colour (0xffff5fa2),
                    150,
                    { {}, { { crushBits, "BITS" }, { crushRate, "RATE" }, { crushMix, "MIX" } } } },
        PedalLook {
            drive,
            juce::Colour (0xffff4a3d),
            150,
            { { { driveType, nullptr } }, { { driveAmount, "AMOUNT" }, { driveTone, "TONE" }, { driveMix, "MIX" } } } },
        PedalLook { delay,
                    juce::Colour (0xff4ab8ff),
                    158,
                    { { { delayTime, "TIME" } },
                      { { delayFeedback, "FEEDBACK" },
                        { delayPingpong, "PING PONG" },
                        { delayTone, "TONE" },
                        { delayMix, "MIX" } } } },
        PedalLook { reverb,
                    juce::Colour (0xffa98bff),
                    150,
                    { {}, { { reverbSize, "SIZE" }, { reverbDamping, "DAMPING" }, { reverbMix, "MIX" } } } },
        PedalLook { stutter,
                    juce::Colour (0xff45e0a6),
                    158,
                    { { { stutterLength, "SLICE" }, { stutterHold, "EVERY" } },
                      { { stutterDecay, "DECAY" }, { stutterPitch, "PITCH" }, { stutterMix, "MIX" } } } },
        PedalLook { tapestop,
                    juce::Colour (0xffd9a066),
                    146,
                    { { { tapestopTime, "TIME" } }, { { tapestopCurve, "CURVE" }, { tapestopMix, "MIX" } } } },
        PedalLook { reverse,
                    juce::Colour (0xff7f9cff),
                    136,
                    { { { reverseLength, "PIECE" } }, { { reverseMix, "MIX" } } } },
        PedalLook { grain,
                    juce::Colour (0xff3fd6e8),
                    220,
                    { { { grainMode, nullptr } },
                      { { grainSize, "SIZE" },
                        { grainDensity, "DENSITY" },
                        { grainPitch, "PITCH" },
                        { grainSpray, "SPRAY" },
                        { grainFeedback, "FEEDBACK" },
                        { grainMix, "MIX" } } } },
    };

    return looks[(size_t) effect];
}

juce::String effectTitle (EffectId effect)
{
    return allParams()[(size_t) describe (effect).params.on].name.upToLastOccurrenceOf (" On", false, false);
}

} // namespace tz::theme
