#pragma once

#include <array>
#include <cmath>
#include <vector>

#include <juce_core/juce_core.h>

namespace tz
{

// Parameter index. 0..54 are the fixed rows; modulator and route fields follow by index arithmetic.
enum P : int
{
    inputGain,
    mix,
    outputGain,
    filterOn,
    filterType,
    filterCutoff,
    filterResonance,
    filterMix,
    volumeOn,
    volumeLevel,
    volumePan,
    crushOn,
    crushBits,
    crushRate,
    crushMix,
    driveOn,
    driveType,
    driveAmount,
    driveTone,
    driveMix,
    delayOn,
    delayTime,
    delayFeedback,
    delayPingpong,
    delayTone,
    delayMix,
    reverbOn,
    reverbSize,
    reverbDamping,
    reverbMix,
    stutterOn,
    stutterLength,
    stutterHold,
    stutterDecay,
    stutterPitch,
    stutterMix,
    tapestopOn,
    tapestopTime,
    tapestopCurve,
    tapestopMix,
    reverseOn,
    reverseLength,
    reverseMix,
    gridRate,
    gridLength,
    grainOn,
    grainMode,
    grainSize,
    grainDensity,
    grainPitch,
    grainSpray,
    grainFeedback,
    grainMix,
    xyX,
    xyY,
    none
};

constexpr int numFixedParams = 55;
constexpr int numModulators = 4;
constexpr int numModFields = 40;
constexpr int numModSteps = 16;
constexpr int numRoutes = 16;
constexpr int numRouteFields = 3;
constexpr int numParams = numFixedParams + numModulators * numModFields + numRoutes * numRouteFields;
static_assert (numParams == 263);

constexpr int modParam (int modulator, int field) noexcept { return numFixedParams + numModFields * modulator + field; }
constexpr int routeParam (int route, int field) noexcept
{
    return numFixedParams + numModulators * numModFields + numRouteFields * route + field;
}

// Fields of one modulator (k in modParam).
namespace modField
{
    constexpr int mode = 0, shape = 1, rate = 2, length = 3, smooth = 4, swing = 5, phase = 6, followsXY = 7;
    constexpr int firstStep = 8, firstStepShape = 24;
} // namespace modField

// Fields of one route (f in routeParam).
namespace routeField
{
    constexpr int source = 0, target = 1, depth = 2;
}

enum class ParamKind : int
{
    Float = 0,
    Bool = 1,
    Choice = 2,
    Int = 3
};

enum class ParamFormat : int
{
    Plain = 0,
    Decibels = 1,
    Percent = 2,
    Frequency = 3,
    Bits = 4,
    Pan = 5,
    Semitones = 6,
    Milliseconds = 7,
    PerSecond = 8
};

struct ParamDef
{
    P index;
    const char* id;
    const char* name;
    ParamKind kind;
    float min, max, def;
    float centre; // 0 = linear, otherwise the plain value at the normalised midpoint
    ParamFormat format;
    const char* choices; // labels joined by "|", or nullptr
};

extern const std::array<ParamDef, numFixedParams> paramDefs;

struct ParamInfo
{
    juce::String id, name;
    ParamKind kind;
    float min, max, def, centre;
    ParamFormat format;
    juce::String choices;
};

const std::vector<ParamInfo>& allParams();

// A parameter's range and default, compact enough to check every value the audio thread takes from a host.
struct ParamBounds
{
    float min, max, def;

    // A value as the engine may use it: NaN becomes the default, anything else is clamped into the range.
    float usable (float value) const noexcept
    {
        if (std::isnan (value))
            return def;
        return value < min ? min : (value > max ? max : value);
    }
};

// One chunk's effective parameter values, indexed by P (and by modParam/routeParam).
using ParamValues = std::array<float, numParams>;

// Every parameter at its default: the starting point for driving an effect without the processor.
ParamValues defaultParamValues();

// Route target list: entry 0 is P::none, 1..35 the modulatable fixed rows.
const std::vector<P>& modTargets();

// The effect list: one id and one descriptor per effect. The rack's bodies (EffectBodies) follow this order.
enum EffectId : int
{
    filter,
    volume,
    crush,
    drive,
    delay,
    reverb,
    stutter,
    tapestop,
    reverse,
    grain
};
constexpr int numEffects = 10;

struct EffectParams
{
    P on, mix; // mix: none when the effect is always fully wet
};

struct EffectDescriptor
{
    EffectId id;
    const char* key;  // the prefix of its parameter IDs
    const char* name; // as its pedal and the grid show it
    EffectParams params;
    bool oneShot;            // starts a capture whenever it becomes audible, and starts silent
    bool recordsWhileAsleep; // keeps its input history (the drive: its latency line) running while off
    int defaultPlace;        // its slot in a new chain
};

inline constexpr std::array<EffectDescriptor, numEffects> effectDescriptors { {
    { filter, "filter", "FILTER", { filterOn, filterMix }, false, false, 3 },
    { volume, "volume", "VOLUME", { volumeOn, none }, false, false, 6 },
    { crush, "crush", "CRUSH", { crushOn, crushMix }, false, false, 5 },
    { drive, "drive", "DRIVE", { driveOn, driveMix }, false, true, 4 },
    { delay, "delay", "DELAY", { delayOn, delayMix }, false, false, 7 },
    { reverb, "reverb", "REVERB", { reverbOn, reverbMix }, false, false, 8 },
    { stutter, "stutter", "STUTTER", { stutterOn, stutterMix }, true, true, 0 },
    { tapestop, "tapestop", "TAPE STOP", { tapestopOn, tapestopMix }, true, true, 9 },
    { reverse, "reverse", "REVERSE", { reverseOn, reverseMix }, true, true, 1 },
    { grain, "grain", "GRAIN", { grainOn, grainMix }, false, true, 2 },
} };

constexpr const EffectDescriptor& describe (EffectId id) noexcept { return effectDescriptors[(size_t) id]; }

constexpr bool effectListIsInIdOrder() noexcept
{
    for (size_t e = 0; e < effectDescriptors.size(); ++e)
        if (effectDescriptors[e].id != (EffectId) e)
            return false;
    return true;
}
static_assert (effectListIsInIdOrder(), "a descriptor out of EffectId order");

// One column of the list, for code that reads a single field of every effect.
template <typename Field>
constexpr std::array<Field, numEffects> effectColumn (Field EffectDescriptor::*field) noexcept
{
    std::array<Field, numEffects> column {};
    for (size_t e = 0; e < column.size(); ++e)
        column[e] = effectDescriptors[e].*field;
    return column;
}

inline constexpr auto effectKeys = effectColumn (&EffectDescriptor::key);
inline constexpr auto effectNames = effectColumn (&EffectDescriptor::name);
inline constexpr auto effectParams = effectColumn (&EffectDescriptor::params);

// The effect whose key prefixes the ID of fixed row p, or -1.
int effectOf (P p);

// The skew JUCE's range needs to put `centre` at the normalised midpoint (1 when linear).
float skewFor (const ParamInfo& info);

// Value-to-text of Float parameters and of Int parameters (route targets show the target name).
juce::String valueToText (const ParamInfo& info, float value);

// Lenient inverse of valueToText for text typed into a host's parameter field.
float textToValue (const ParamInfo& info, const juce::String& text);

} // namespace tz
