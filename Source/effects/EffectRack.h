#pragma once

#include <array>
#include <cstdint>
#include <tuple>

#include <juce_audio_basics/juce_audio_basics.h>

#include "core/ChunkSize.h"
#include "effects/CrushEffect.h"
#include "effects/DelayEffect.h"
#include "effects/DriveEffect.h"
#include "effects/FilterEffect.h"
#include "effects/GrainEffect.h"
#include "effects/ReverbEffect.h"
#include "effects/ReverseEffect.h"
#include "effects/StutterEffect.h"
#include "effects/TapeStopEffect.h"
#include "effects/VolumeEffect.h"

namespace tz
{

// The effect bodies in EffectId order. The rack reaches them by id through one compile-time visit, so the
// audio thread makes no virtual call.
using EffectBodies = std::tuple<FilterEffect, VolumeEffect, CrushEffect, DriveEffect, DelayEffect, ReverbEffect,
                                StutterEffect, TapeStopEffect, ReverseEffect, GrainEffect>;
static_assert (std::tuple_size_v<EffectBodies> == numEffects);

// The fade, gate and sleep state every effect runs inside.
struct EffectSlot
{
    float onGain = 0.0f; // on/off fade
    float gate = 1.0f;   // grid gate
    float level = 0.0f;  // wet amount of the last chunk
    float tail = 0.0f;   // smoothed wet amount at the last sample
    bool tailPrimed = false;
    bool idle = true;
};

// Owns the ten effect bodies and runs each inside its slot: on fade, grid gate, level curve, dry/wet mix,
// sleep when silent and a wiped state on waking.
class EffectRack
{
public:
    void prepare (double sampleRate, int numChannels);

    // The plug-in latency: the drive's oversampling delay, applied whether it is on or off.
    int latencySamples() const noexcept { return std::get<DriveEffect> (bodies).latencySamples(); }

    // Wipes every effect's state, the drive's latency delay included; the slots' fades and the record buffers
    // are kept.
    void resetAll() noexcept;

    // Sets every slot to the steady state of `values`.
    void startClean (const ParamValues& values) noexcept;

    void run (EffectId id, float* const* channels, int numChannels, int numSamples, const Transport& transport,
              const ParamValues& values, std::uint32_t gridWord, int gridStep) noexcept;

    const EffectSlot& slot (EffectId id) const noexcept { return slots[(size_t) id]; }

private:
    void resetEffect (EffectId id) noexcept;
    void recordWhileAsleep (EffectId id, float* const* channels, int numChannels, int numSamples) noexcept;
    void startCapture (EffectId id, bool stillHeard) noexcept;
    void runBody (EffectId id, float* const* channels, int numChannels, int numSamples, bool mixing,
                  const Transport& transport, const ParamValues& values) noexcept;

    EffectBodies bodies;

    std::array<EffectSlot, numEffects> slots {};
    juce::AudioBuffer<float> dryBuffer;
    double sampleRate = 44100.0;
    float tailCoef = 0.0f;
};

} // namespace tz
