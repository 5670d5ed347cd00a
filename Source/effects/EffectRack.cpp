#include "effects/EffectRack.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

#include "engine/StepGrid.h"

namespace tz
{

namespace
{
    constexpr float sleepThreshold = 0.00001f;
    constexpr float audibleThreshold = 0.0001f;

    float mixOf (EffectId id, const ParamValues& values) noexcept
    {
        const auto mixParam = effectParams[(size_t) id].mix;
        return mixParam == none ? 1.0f : values[(size_t) mixParam] * 0.01f;
    }

    bool isOn (EffectId id, const ParamValues& values) noexcept
    {
        return values[(size_t) effectParams[(size_t) id].on] > 0.5f;
    }

    float moveToward (float value, float target, float step) noexcept
    {
        return value < target ? juce::jmin (target, value + step) : juce::jmax (target, value - step);
    }

    // Calls visitor (body, effect) with the body of `id` and its id as a std::integral_constant: a fold of one
    // comparison per effect, dispatched statically as a switch would be.
    template <typename Visitor, size_t... index>
    void visitEffect (EffectBodies& bodies, EffectId id, Visitor&& visitor, std::index_sequence<index...>) noexcept
    {
        (void) ((id == (EffectId) index
                 && (visitor (std::get<index> (bodies), std::integral_constant<EffectId, (EffectId) index> {}), true))
                || ...);
    }

    template <typename Visitor>
    void visitEffect (EffectBodies& bodies, EffectId id, Visitor&& visitor) noexcept
    {
        visitEffect (bodies, id, visitor, std::make_index_sequence<numEffects> {});
    }

    // Where the bodies' shapes differ: the one-shots trigger, some keep recording while asleep, and the drive's
    // process takes the dry copy (to delay it by its latency) and, asleep, only runs its latency line.
    template <typename Body>
    using Trigger = decltype (std::declval<Body&>().trigger());
    template <typename Body>
    using Record = decltype (std::declval<Body&>().record (nullptr, 0, 0));
    template <typename Body>
    using DelayOnly = decltype (std::declval<Body&>().delayOnly (nullptr, 0, 0));
    template <typename Body>
    using ProcessWithDry = decltype (std::declval<Body&>().process (
        nullptr, nullptr, 0, 0, std::declval<const ParamValues&>(), std::declval<const Transport&>()));

    template <typename Body, template <typename> typename Member, typename = void>
    constexpr bool has = false;
    template <typename Body, template <typename> typename Member>
    constexpr bool has<Body, Member, std::void_t<Member<Body>>> = true;

    template <size_t index>
    constexpr bool bodyMatchesDescriptor() noexcept
    {
        using Body = std::tuple_element_t<index, EffectBodies>;
        const auto& effect = describe ((EffectId) index);
        const bool oneShotMatches = effect.oneShot == has<Body, Trigger>;
        const bool recordingMatches = effect.recordsWhileAsleep == (has<Body, Record> || has<Body, DelayOnly>);
        return oneShotMatches && recordingMatches;
    }

    template <size_t... index>
    constexpr bool bodiesMatchDescriptors (std::index_sequence<index...>) noexcept
    {
        return (bodyMatchesDescriptor<index>() && ...);
    }
    static_assert (bodiesMatchDescriptors (std::make_index_sequence<numEffects> {}),
                   "a body out of EffectId order, or a descriptor that misdescribes its body");
} // namespace

void EffectRack::prepare (double newSampleRate, int numChannels)
{
    sampleRate = newSampleRate;
    tailCoef = (float) (1.0 - std::exp (-1.0 / (0.0015 * sampleRate)));

    std::apply ([this, numChannels] (auto&... body) { (body.prepare (sampleRate, numChannels), ...); }, bodies);

    dryBuffer.setSize (numChannels, chunkSize);
    dryBuffer.clear();
}

void EffectRack::resetEffect (EffectId id) noexcept
{
    visitEffect (bodies, id, [] (auto& body, auto) { body.reset(); });
}

void EffectRack::resetAll() noexcept
{
    for (int id = 0; id < numEffects; ++id)
        resetEffect ((EffectId) id);

    // Unlike a wake, this is a new start: the old signal's last samples must not play into its fade-in.
    std::get<DriveEffect> (bodies).clearLatencyDelay();
}

void EffectRack::startClean (const ParamValues& values) noexcept
{
    for (int i = 0; i < numEffects; ++i)
    {
        const auto id = (EffectId) i;
        auto& slot = slots[(size_t) i];
        const bool on = isOn (id, values);

        slot.gate = 1.0f;
        slot.onGain = on ? 1.0f : 0.0f;
        // The one-shot effects start from silence so that, when on, they trigger in the first chunk.
        slot.level = describe (id).oneShot ? 0.0f : mixOf (id, values) * slot.onGain;
        slot.tailPrimed = false;
        slot.idle = ! on;
    }
}

void EffectRack::recordWhileAsleep (EffectId id, float* const* channels, int numChannels, int numSamples) noexcept
{
    visitEffect (bodies, id,
                 [=] (auto& body, auto effect)
                 {
                     using Body = std::decay_t<decltype (body)>;
                     if constexpr (! describe (decltype (effect)::value).recordsWhileAsleep)
                         return;
                     else if constexpr (has<Body, DelayOnly>)
                         body.delayOnly (channels, numChannels, numSamples);
                     else
                         body.record (channels, numChannels, numSamples);
                 });
}

void EffectRack::startCapture (EffectId id, bool stillHeard) noexcept
{
    visitEffect (bodies, id,
                 [stillHeard] (auto& body, auto effect)
                 {
                     if constexpr (describe (decltype (effect)::value).oneShot)
                         stillHeard ? body.retrigger() : body.trigger();
                 });
}

void EffectRack::runBody (EffectId id, float* const* channels, int numChannels, int numSamples, bool mixing,
                          const Transport& transport, const ParamValues& values) noexcept
{
    visitEffect (bodies, id,
                 [&] (auto& body, auto)
                 {
                     using Body = std::decay_t<decltype (body)>;

                     // The drive always gets its dry copy: its latency line must keep running for when mixing
                     // resumes.
                     if (mixing || has<Body, ProcessWithDry>)
                         for (int ch = 0; ch < numChannels; ++ch)
                             dryBuffer.copyFrom (ch, 0, channels[ch], numSamples);

                     if constexpr (has<Body, ProcessWithDry>)
                         body.process (channels, dryBuffer.getArrayOfWritePointers(), numChannels, numSamples, values,
                                       transport);
                     else
                         body.process (channels, numChannels, numSamples, values, transport);
                 });
}

void EffectRack::run (EffectId id, float* const* channels, int numChannels, int numSamples, const Transport& transport,
                      const ParamValues& values, std::uint32_t gridWord, int gridStep) noexcept
{
    if (numSamples <= 0)
        return;

    auto& slot = slots[(size_t) id];
    const auto n = (float) numSamples;
    const bool on = isOn (id, values);

    slot.onGain = moveToward (slot.onGain, on ? 1.0f : 0.0f, n / (0.010f * (float) sampleRate));
    slot.gate = moveToward (slot.gate, gridGateTarget (gridWord, gridStep), n / (0.003f * (float) sampleRate));

    const float previous = slot.level;
    slot.level = slot.gate * mixOf (id, values) * slot.onGain;

    if (! on && slot.onGain <= 0.0f && slot.tail <= sleepThreshold)
    {
        slot.idle = true;
        slot.tailPrimed = false;
        recordWhileAsleep (id, channels, numChannels, numSamples);
        return;
    }

    if (slot.idle)
    {
        slot.idle = false;
        resetEffect (id);
    }

    if (previous <= audibleThreshold && slot.level > audibleThreshold)
    {
        // A level that dipped and came straight back still carries the last capture's fade-out: a cold start
        // would cut it off with a click, so the new capture crossfades from it.
        startCapture (id, slot.tailPrimed && slot.tail > audibleThreshold);
    }

    std::array<float, chunkSize> curve; // the first numSamples, all written
    jassert (numSamples <= chunkSize);
    bool fullyWet = true;

    // A level at rest stays exactly where it is: the per-sample glide below would only repeat it.
    const bool resting = slot.tailPrimed && previous == slot.level && slot.tail == slot.level;
    if (resting)
    {
        std::fill_n (curve.begin(), numSamples, slot.tail);
        fullyWet = slot.tail >= 1.0f;
    }

    for (int i = 0; i < numSamples && ! resting; ++i)
    {
        const float target = previous + (float) (i + 1) * (slot.level - previous) / n;

        if (! slot.tailPrimed)
        {
            slot.tail = target;
            slot.tailPrimed = true;
        }

        // In float the glide stalls a few ulps short of its target (1 - 2e-6 at 48 kHz, above the snap
        // distance), which would keep the dry copy and the blend running for ever: a step that no longer moves
        // the value snaps it too.
        const float glided = slot.tail + (target - slot.tail) * tailCoef;
        slot.tail = glided == slot.tail || std::abs (target - glided) < 0.000001f ? target : glided;

        curve[(size_t) i] = slot.tail;
        fullyWet = fullyWet && slot.tail >= 1.0f;
    }

    const bool mixing = numChannels >= 1 && ! fullyWet;
    runBody (id, channels, numChannels, numSamples, mixing, transport, values);

    if (! mixing)
        return;

    for (int ch = 0; ch < numChannels; ++ch)
    {
        const float* dry = dryBuffer.getReadPointer (ch);
        float* wet = channels[ch];
        for (int i = 0; i < numSamples; ++i)
            wet[i] = dry[i] + (wet[i] - dry[i]) * curve[(size_t) i];
    }
}

} // namespace tz
