#include "effects/GrainEffect.h"

#include "effects/FastTanh.h"

#include <algorithm>
#include <cmath>

namespace tz
{

namespace
{
    // Every grain stays at least this far behind the write head, clear of the interpolator's taps.
    constexpr double headGuard = 64.0;

    // A read at p takes the samples from floor(p) - 1 on: the oldest read needs up to two samples before it.
    constexpr double tapsBehind = 2.0;

    // A position less than a lap outside the buffer, wrapped back into 0..size-1.
    double wrapOnce (double position, double size) noexcept
    {
        if (position >= size)
            return position - size;

        if (position < 0.0)
        {
            position += size;
            return position >= size ? 0.0 : position; // a tiny negative rounds up to size
        }

        return position;
    }
} // namespace

void GrainEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    recordBuffer.prepare (bufferSeconds, sampleRate, true);
    lastWriteIndex = recordBuffer.capacity() - 1;
    recordedSamples = 0;
    dcCoefficient = (float) (1.0 - 10.0 * juce::MathConstants<double>::pi / sampleRate);
    reset();
}

void GrainEffect::reset() noexcept
{
    for (auto& grain : grains)
        grain.active = false;

    random.seed (randomSeed);
    spawnCountdown = 0.0;
    dcInLeft = dcInRight = dcOutLeft = dcOutRight = 0.0f;
    feedbackAmount.primed = false;
}

int GrainEffect::activeGrainCount() const noexcept
{
    return (int) std::count_if (grains.begin(), grains.end(), [] (const Grain& grain) { return grain.active; });
}

void GrainEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    if (numChannels < 1)
        return;

    writeChunk (channels[0], channels[numChannels > 1 ? 1 : 0], numSamples);
}

void GrainEffect::writeChunk (const float* left, const float* right, int numSamples) noexcept
{
    const int last = recordBuffer.write (left, right, numSamples);
    if (last >= 0)
        lastWriteIndex = last;

    recordedSamples = std::min (recordedSamples + std::max (numSamples, 0), recordBuffer.capacity());
}

double GrainEffect::wrapPosition (double position) const noexcept
{
    const auto size = (double) recordBuffer.capacity();
    const double wrapped = std::fmod (position, size);
    return wrapOnce (wrapped, size);
}

void GrainEffect::startGrain (Grain& grain, const GrainSettings& settings, int writeIndex) noexcept
{
    const bool backward =
        settings.mode == Mode::reverse || (settings.mode == Mode::both && ((random.next() >> 46) & 1u) != 0);
    const double sprayOffset = random.uniform() * settings.maxSprayOffset;

    // Forward grains faster than real time start far enough back not to overtake the head; backward grains
    // (and frozen ones, whose head stands still) start a whole span back so that they end clear of it.
    const double distance = (backward || settings.mode == Mode::freeze) ? settings.backwardSpan : settings.forwardLead;
    const double start = writeIndex + (backward ? settings.backwardSpan : 0.0) - (distance + headGuard + sprayOffset);

    grain.active = true;
    grain.length = settings.length;
    grain.age = 0;
    grain.rate = backward ? -settings.rate : settings.rate;
    grain.origin = wrapPosition (start);
    grain.layer = recordBuffer.layerFor (grain.rate);
    grain.window.start (settings.length);

    // Constant power, unity in the centre, never wider than +-0.6.
    const float u3 = std::min ((float) random.uniform(), 0.9999999f);
    const float pan = (2.0f * u3 - 1.0f) * 0.6f;
    grain.gainLeft = std::sqrt ((1.0f - pan) * 0.5f) * juce::MathConstants<float>::sqrt2;
    grain.gainRight = std::sqrt ((1.0f + pan) * 0.5f) * juce::MathConstants<float>::sqrt2;
}

// Runs the spawn clock over the chunk and draws every new grain, in sample order, before any grain plays.
// This is possible because grains never read audio written in the chunk they play in: they stay more than a
// chunk behind the write head.
int GrainEffect::scheduleSpawns (const GrainSettings& settings, double interval, int numSamples) noexcept
{
    // The chunk sample from which each pool slot is free, counting the reads its grain has left; worked out
    // only in the chunks where something spawns.
    std::array<double, maxGrains> freeFrom;
    bool freeFromKnown = false;

    const int size = recordBuffer.capacity();
    const int firstWrite = recordBuffer.writePosition();
    double countdown = spawnCountdown;
    int numSpawns = 0;

    for (int i = 0; i < numSamples; ++i)
    {
        countdown -= 1.0;
        if (countdown > 0.0)
            continue;

        countdown += interval * (0.75 + 0.5 * random.uniform());

        if (! freeFromKnown)
        {
            for (size_t k = 0; k < grains.size(); ++k)
                freeFrom[k] = grains[k].active ? std::ceil (grains[k].length - grains[k].age) : 0.0;
            freeFromKnown = true;
        }

        const auto slot = std::find_if (freeFrom.begin(), freeFrom.end(), [i] (double from) { return from <= i; });
        if (slot == freeFrom.end())
            continue;

        const int writeIndex = settings.mode == Mode::freeze ? lastWriteIndex : (firstWrite + i) % size;
        auto& pending = pendingSpawns[(size_t) numSpawns++];
        pending.slot = (int) std::distance (freeFrom.begin(), slot);
        pending.sample = i;
        startGrain (pending.grain, settings, writeIndex);
        *slot = i + std::ceil (pending.grain.length);
    }

    spawnCountdown = countdown;
    return numSpawns;
}

// Adds one grain's samples from..to-1 of the chunk into the cloud.
void GrainEffect::playGrain (Grain& grain, int from, int to) noexcept
{
    const GrainReads reads { recordBuffer.layer (grain.layer, 0).data(),
                             recordBuffer.layer (grain.layer, 1).data(),
                             recordBuffer.capacity(),
                             cloudLeft.data(),
                             cloudRight.data(),
                             grain.origin,
                             grain.rate,
                             grain.gainLeft,
                             grain.gainRight,
                             grain.window };

    const int numReads = (int) std::min ((double) (to - from), std::ceil (grain.length - grain.age));
    reads.add (from, grain.age, numReads);
    grain.age += numReads;

    if (grain.length <= grain.age)
        grain.active = false;
}

void GrainEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                           const Transport&) noexcept
{
    if (numChannels < 1)
        return;

    for (int start = 0; start < numSamples; start += chunkSize)
        processChunk (channels[0] + start, numChannels > 1 ? channels[1] + start : nullptr,
                      std::min (chunkSize, numSamples - start), values);
}

void GrainEffect::processChunk (float* left, float* right, int numSamples, const ParamValues& values) noexcept
{
    const double rate = rateOfPitch (values[grainPitch], [] (float pitch) { return std::pow (2.0, pitch / 12.0); });
    const auto mode = (Mode) choiceIndex (values[grainMode], 4);
    const double length = juce::jlimit (64.0, 0.6 * sampleRate, (double) values[grainSize] * 0.001 * sampleRate);
    const double interval = sampleRate / std::max ((double) values[grainDensity], 0.5);

    // The overlap count sets the level, so that dense clouds are no louder than sparse ones.
    const auto norm = (float) (1.0 / std::sqrt (std::max (length / interval, 1.0)));
    feedbackAmount.beginChunk (values[grainFeedback] * 0.01f, numSamples);

    const GrainSettings settings { mode,
                                   rate,
                                   length,
                                   (double) values[grainSpray] * 0.01 * 1.5 * sampleRate,
                                   std::max ((rate - 1.0) * length, 0.0),
                                   length * rate };

    const int numSpawns = scheduleSpawns (settings, interval, numSamples);

    // Grain by grain in pool order, so every sample sums its grains in the same order as a sample-by-sample loop.
    std::fill_n (cloudLeft.begin(), numSamples, 0.0f);
    std::fill_n (cloudRight.begin(), numSamples, 0.0f);

    for (int k = 0; k < maxGrains; ++k)
    {
        auto& grain = grains[(size_t) k];
        if (grain.active)
            playGrain (grain, 0, numSamples);

        for (int p = 0; p < numSpawns; ++p)
        {
            if (pendingSpawns[(size_t) p].slot != k)
                continue;

            grain = pendingSpawns[(size_t) p].grain;
            playGrain (grain, pendingSpawns[(size_t) p].sample, numSamples);
        }
    }

    // The cloud, scaled and DC-blocked, into the chunk; what fed back at each sample is the output before it.
    // The blocker runs on locals, which stay in registers: the output stores could alias the members.
    std::array<float, chunkSize> inLeft, inRight, fedBackLeft, fedBackRight; // the first numSamples, all written
    float inL = dcInLeft, inR = dcInRight, outL = dcOutLeft, outR = dcOutRight;
    const float coefficient = dcCoefficient;
    for (int i = 0; i < numSamples; ++i)
    {
        inLeft[(size_t) i] = left[i];
        inRight[(size_t) i] = right != nullptr ? right[i] : left[i];
        fedBackLeft[(size_t) i] = outL;
        fedBackRight[(size_t) i] = outR;

        const float scaledLeft = cloudLeft[(size_t) i] * norm;
        const float scaledRight = cloudRight[(size_t) i] * norm;
        outL = coefficient * outL + scaledLeft - inL;
        outR = coefficient * outR + scaledRight - inR;
        inL = scaledLeft;
        inR = scaledRight;

        if (right != nullptr)
        {
            left[i] = outL;
            right[i] = outR;
        }
        else
        {
            left[i] = (outL + outR) * 0.5f;
        }
    }
    dcInLeft = inL;
    dcInRight = inR;
    dcOutLeft = outL;
    dcOutRight = outR;

    // A freeze holds what was recorded, but one on a buffer that never heard a whole grain's reach (a project
    // reloaded with a freeze patch) would hold silence for ever: it records until it holds that reach.
    const double frozenReach = settings.backwardSpan + headGuard + settings.maxSprayOffset + tapsBehind;
    if (mode == Mode::freeze && recordedSamples >= std::min (frozenReach, (double) recordBuffer.capacity()))
        return;

    // Without feedback this would only add zeros.
    if (feedbackAmount.current > 0.0f || feedbackAmount.target > 0.0f)
    {
        for (int i = 0; i < numSamples; ++i)
        {
            const float feedback = feedbackAmount.next();
            inLeft[(size_t) i] += fastTanh (fedBackLeft[(size_t) i] * feedback);
            inRight[(size_t) i] += fastTanh (fedBackRight[(size_t) i] * feedback);
        }
    }
    writeChunk (inLeft.data(), inRight.data(), numSamples);
}

} // namespace tz
