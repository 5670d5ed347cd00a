#include "effects/EffectRack.h"

#include <algorithm>
#include <cmath>

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
} // namespace

void EffectRack::prepare (double newSampleRate, int numChannels)
{
    sampleRate = newSampleRate;
    tailCoef = (float) (1.0 - std::exp (-1.0 / (0.0015 * sampleRate)));

    filterEffect.prepare (sampleRate, numChannels);
    volumeEffect.prepare (sampleRate, numChannels);
    crushEffect.prepare (sampleRate, numChannels);
    driveEffect.prepare (sampleRate, numChannels);
    delayEffect.prepare (sampleRate, numChannels);
    reverbEffect.prepare (sampleRate, numChannels);
    stutterEffect.prepare (sampleRate, numChannels);
    tapeStopEffect.prepare (sampleRate, numChannels);
    reverseEffect.prepare (sampleRate, numChannels);
    grainEffect.prepare (sampleRate, numChannels);

    dryBuffer.setSize (numChannels, chunkSize);
    dryBuffer.clear();
}

void EffectRack::resetEffect (EffectId id) noexcept
{
    switch (id)
    {
        case filter:
            filterEffect.reset();
            break;
        case volume:
            volumeEffect.reset();
            break;
        case crush:
            crushEffect.reset();
            break;
        case drive:
            driveEffect.reset();
            break;
        case delay:
            delayEffect.reset();
            break;
        case reverb:
            reverbEffect.reset();
            break;
        case stutter:
            stutterEffect.reset();
            break;
        case tapestop:
            tapeStopEffect.reset();
            break;
        case reverse:
            reverseEffect.reset();
            break;
        case grain:
            grainEffect.reset();
            break;
    }
}

void EffectRack::resetAll() noexcept
{
    for (int id = 0; id < numEffects; ++id)
        resetEffect ((EffectId) id);

    // Unlike a wake, this is a new start: the old signal's last samples must not play into its fade-in.
    driveEffect.clearLatencyDelay();
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
        const bool oneShot = id == stutter || id == tapestop || id == reverse;
        slot.level = oneShot ? 0.0f : mixOf (id, values) * slot.onGain;
        slot.tailPrimed = false;
        slot.idle = ! on;
    }
}

void EffectRack::recordWhileAsleep (EffectId id, float* const* channels, int numChannels, int numSamples) noexcept
{
    switch (id)
    {
        case stutter:
            stutterEffect.record (channels, numChannels, numSamples);
            break;
        case tapestop:
            tapeStopEffect.record (channels, numChannels, numSamples);
            break;
        case reverse:
            reverseEffect.record (channels, numChannels, numSamples);
            break;
        case grain:
            grainEffect.record (channels, numChannels, numSamples);
            break;
        case drive:
            driveEffect.delayOnly (channels, numChannels, numSamples);
            break;
        case filter:
        case volume:
        case crush:
        case delay:
        case reverb:
            break;
    }
}

void EffectRack::runBody (EffectId id, float* const* channels, float* const* dry, int numChannels, int numSamples,
                          const Transport& transport, const ParamValues& values) noexcept
{
    switch (id)
    {
        case filter:
            filterEffect.process (channels, numChannels, numSamples, values, transport);
            break;
        case volume:
            volumeEffect.process (channels, numChannels, numSamples, values, transport);
            break;
        case crush:
            crushEffect.process (channels, numChannels, numSamples, values, transport);
            break;
        case drive:
            driveEffect.process (channels, dry, numChannels, numSamples, values, transport);
            break;
        case delay:
            delayEffect.process (channels, numChannels, numSamples, values, transport);
            break;
        case reverb:
            reverbEffect.process (channels, numChannels, numSamples, values, transport);
            break;
        case stutter:
            stutterEffect.process (channels, numChannels, numSamples, values, transport);
            break;
        case tapestop:
            tapeStopEffect.process (channels, numChannels, numSamples, values, transport);
            break;
        case reverse:
            reverseEffect.process (channels, numChannels, numSamples, values, transport);
            break;
        case grain:
            grainEffect.process (channels, numChannels, numSamples, values, transport);
            break;
    }
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
        const bool stillHeard = slot.tailPrimed && slot.tail > audibleThreshold;
        if (id == stutter)
            stillHeard ? stutterEffect.retrigger() : stutterEffect.trigger();
        else if (id == tapestop)
            stillHeard ? tapeStopEffect.retrigger() : tapeStopEffect.trigger();
        else if (id == reverse)
            stillHeard ? reverseEffect.retrigger() : reverseEffect.trigger();
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

    // The drive always gets its dry copy: its latency line must keep running for when mixing resumes.
    if (mixing || id == drive)
        for (int ch = 0; ch < numChannels; ++ch)
            dryBuffer.copyFrom (ch, 0, channels[ch], numSamples);

    runBody (id, channels, dryBuffer.getArrayOfWritePointers(), numChannels, numSamples, transport, values);

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
