#include "effects/GrainEffect.h"

#include <algorithm>
#include <cmath>

namespace tz
{

namespace
{
    // Every grain stays at least this far behind the write head, clear of the interpolator's taps.
    constexpr double headGuard = 64.0;

    // The buffer position one step past `position` wrapped back into 0..size-1; steps never exceed a lap.
    double wrapStep (double position, double size) noexcept
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

void HannWindow::start (double length) noexcept
{
    const double step = juce::MathConstants<double>::twoPi / length;
    cosPhase = 1.0;
    sinPhase = 0.0;
    cosStep = std::cos (step);
    sinStep = std::sin (step);
}

void GrainEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    recordBuffer.prepare (bufferSeconds, sampleRate, true);
    lastWriteIndex = recordBuffer.capacity() - 1;
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
}

int GrainEffect::activeGrainCount() const noexcept
{
    return (int) std::count_if (grains.begin(), grains.end(), [] (const Grain& grain) { return grain.active; });
}

void GrainEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    if (numChannels < 1)
        return;

    const float* right = channels[numChannels > 1 ? 1 : 0];
    for (int i = 0; i < numSamples; ++i)
        lastWriteIndex = recordBuffer.write (channels[0][i], right[i]);
}

double GrainEffect::wrapPosition (double position) const noexcept
{
    const auto size = (double) recordBuffer.capacity();
    const double wrapped = std::fmod (position, size);
    return wrapStep (wrapped, size);
}

void GrainEffect::spawn (const GrainSettings& settings) noexcept
{
    const auto idle = std::find_if (grains.begin(), grains.end(), [] (const Grain& grain) { return ! grain.active; });
    if (idle == grains.end())
        return;

    auto& grain = *idle;
    const bool backward = settings.mode == reverse || (settings.mode == both && ((random.next() >> 46) & 1u) != 0);
    const double sprayOffset = random.uniform() * settings.maxSprayOffset;

    // Forward grains faster than real time start far enough back not to overtake the head; backward grains
    // (and frozen ones, whose head stands still) start a whole span back so that they end clear of it.
    const double distance = (backward || settings.mode == freeze) ? settings.backwardSpan : settings.forwardLead;
    const double start =
        lastWriteIndex + (backward ? settings.backwardSpan : 0.0) - (distance + headGuard + sprayOffset);

    grain.active = true;
    grain.length = settings.length;
    grain.age = 0.0;
    grain.rate = backward ? -settings.rate : settings.rate;
    grain.position = wrapPosition (start);
    grain.layer = recordBuffer.layerFor (grain.rate);
    grain.window.start (settings.length);

    // Constant power, unity in the centre, never wider than +-0.6.
    const float u3 = std::min ((float) random.uniform(), 0.9999999f);
    const float pan = (2.0f * u3 - 1.0f) * 0.6f;
    grain.gainLeft = std::sqrt ((1.0f - pan) * 0.5f) * juce::MathConstants<float>::sqrt2;
    grain.gainRight = std::sqrt ((1.0f + pan) * 0.5f) * juce::MathConstants<float>::sqrt2;
}

void GrainEffect::addGrains (float& sumLeft, float& sumRight) noexcept
{
    const int size = recordBuffer.capacity();
    const auto sizeAsDouble = (double) size;
    const auto wrap = [size] (int index) { return index < 0 ? index + size : (index >= size ? index - size : index); };

    for (auto& grain : grains)
    {
        if (! grain.active)
            continue;

        // Both channels share the taps of one Catmull-Rom read.
        const int i = (int) grain.position;
        const auto t = (float) (grain.position - i);
        const int im1 = wrap (i - 1), i1 = wrap (i + 1), i2 = wrap (i + 2);
        const float* left = recordBuffer.layer (grain.layer, 0).data();
        const float* right = recordBuffer.layer (grain.layer, 1).data();

        const auto w = (float) grain.window.value();
        sumLeft += grain.gainLeft * w * RecordBuffer::catmullRom (left[im1], left[i], left[i1], left[i2], t);
        sumRight += grain.gainRight * w * RecordBuffer::catmullRom (right[im1], right[i], right[i1], right[i2], t);

        grain.position = wrapStep (grain.position + grain.rate, sizeAsDouble);
        grain.age += 1.0;
        grain.window.advance();

        if (grain.length <= grain.age)
            grain.active = false;
    }
}

void GrainEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                           const Transport&) noexcept
{
    if (numChannels < 1)
        return;

    const double rate = std::pow (2.0, (double) values[grainPitch] / 12.0);
    const auto mode = (Mode) choiceIndex (values[grainMode], 4);
    const double length = juce::jlimit (64.0, 0.6 * sampleRate, (double) values[grainSize] * 0.001 * sampleRate);
    const double interval = sampleRate / std::max ((double) values[grainDensity], 0.5);

    // The overlap count sets the level, so that dense clouds are no louder than sparse ones.
    const auto norm = (float) (1.0 / std::sqrt (std::max (length / interval, 1.0)));
    const float feedback = values[grainFeedback] * 0.01f;

    const GrainSettings settings { mode,
                                   rate,
                                   length,
                                   (double) values[grainSpray] * 0.01 * 1.5 * sampleRate,
                                   std::max ((rate - 1.0) * length, 0.0),
                                   length * rate };

    float* left = channels[0];
    float* right = numChannels > 1 ? channels[1] : nullptr;

    for (int i = 0; i < numSamples; ++i)
    {
        const float inLeft = left[i];
        const float inRight = right != nullptr ? right[i] : inLeft;

        if (mode != freeze)
            lastWriteIndex = recordBuffer.write (inLeft + std::tanh (dcOutLeft * feedback),
                                                 inRight + std::tanh (dcOutRight * feedback));

        spawnCountdown -= 1.0;
        if (spawnCountdown <= 0.0)
        {
            spawnCountdown += interval * (0.75 + 0.5 * random.uniform());
            spawn (settings);
        }

        float sumLeft = 0.0f, sumRight = 0.0f;
        addGrains (sumLeft, sumRight);

        const float cloudLeft = sumLeft * norm;
        const float cloudRight = sumRight * norm;
        dcOutLeft = dcCoefficient * dcOutLeft + cloudLeft - dcInLeft;
        dcOutRight = dcCoefficient * dcOutRight + cloudRight - dcInRight;
        dcInLeft = cloudLeft;
        dcInRight = cloudRight;

        if (right != nullptr)
        {
            left[i] = dcOutLeft;
            right[i] = dcOutRight;
        }
        else
        {
            left[i] = (dcOutLeft + dcOutRight) * 0.5f;
        }
    }
}

} // namespace tz
