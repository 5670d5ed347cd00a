#include "effects/StutterEffect.h"

#include <cmath>

namespace tz
{

void StutterEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    crossfadeLength = 0.005 * sampleRate;
    gainCoef = (float) (1.0 - std::exp (-1.0 / (0.002 * sampleRate)));
    recaptureReserve = 2 * (int) std::ceil (crossfadeLength) + 4;
    recordBuffer.prepare (bufferSeconds, sampleRate, true);
    lastRepeatIndex = 0;
    reset();
}

void StutterEffect::reset() noexcept
{
    voice = {};
    previousVoice = {};
    crossfadeCounter = 0.0;
    triggered = false;
    fresh = false;
}

void StutterEffect::trigger() noexcept
{
    triggered = true;
    fresh = true;
}

void StutterEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    recordBuffer.write (channels, numChannels, numSamples);
}

forcedinline std::array<float, 2> StutterEffect::sample (const Voice& v, double sliceLength,
                                                         int pitchedLayer) const noexcept
{
    // The first pass plays at the speed of the input, from the full-band layer.
    const int layerIndex = v.repeats > 0 ? pitchedLayer : 0;
    const double p = v.start + v.position;
    auto value = recordBuffer.readBoth (layerIndex, p);

    // The end of each pass fades into the audio that led into the slice, so the wrap is seamless.
    if (v.position > sliceLength - crossfadeLength)
    {
        const auto h = (float) juce::jlimit (0.0, 1.0, (sliceLength - v.position) / crossfadeLength);
        const auto leadIn = recordBuffer.readBoth (layerIndex, p - sliceLength);
        for (size_t ch = 0; ch < 2; ++ch)
            value[ch] = (value[ch] * h + (1.0f - h) * leadIn[ch]) * v.gain;
        return value;
    }

    return { value[0] * v.gain, value[1] * v.gain };
}

void StutterEffect::advance (Voice& v, double sliceLength, double rate, float decayFactor) const noexcept
{
    v.gain += (v.targetGain - v.gain) * gainCoef;
    v.position += v.repeats > 0 ? rate : 1.0;

    if (v.position >= sliceLength)
    {
        v.position = std::fmod (v.position - sliceLength, sliceLength);
        ++v.repeats;
        v.targetGain *= decayFactor;
    }
}

bool StutterEffect::outlivesBuffer (const Voice& v, int writtenIndex) const noexcept
{
    // One buffer length after the capture the write head comes round to the slice's lead-in. Recapture
    // early enough that the old voice still reads intact audio through the crossfade that follows:
    // two crossfade lengths plus the interpolator's taps.
    const int capacity = recordBuffer.capacity();
    const int reserve = recaptureReserve;
    const int sinceCapture = writtenIndex - (int) v.start;
    const int age = sinceCapture < 0 ? sinceCapture + capacity : sinceCapture;
    return age >= capacity - reserve;
}

void StutterEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                             const Transport& transport) noexcept
{
    if (numChannels < 1)
        return;

    const double lengthBeats = lookupBeats (stutterLengthBeats, values[(size_t) stutterLength]);
    const double holdBeats = lookupBeats (stutterHoldBeats, values[(size_t) stutterHold]);
    const bool freeHold = holdBeats <= 0.0;
    const double rate = std::pow (2.0, values[(size_t) stutterPitch] / 12.0);
    const int pitchedLayer = recordBuffer.layerFor (rate);
    const float decayFactor = 1.0f - 0.005f * values[(size_t) stutterDecay];

    const double shortest = 4.0 * crossfadeLength;
    const double longest = 0.45 * recordBuffer.capacity();
    double sliceLength = transport.samplesPerBeat * lengthBeats;
    sliceLength = sliceLength >= shortest ? juce::jmin (sliceLength, longest) : shortest; // NaN gives the shortest

    // The beat rises with the sample, so when the chunk's first and last samples lie in the step already seen,
    // so do all between: the per-sample look at the hold clock would find nothing.
    const auto stepAt = [&] (int i) { return std::floor (transport.beatAt (i) / holdBeats); };
    const double firstStep = stepAt (0), lastStep = stepAt (numSamples - 1);
    const bool holdStepMayChange = ! freeHold
        && ! (transport.samplesPerBeat > 0.0 && std::isfinite (firstStep) && firstStep == lastStep
              && (std::int64_t) firstStep == lastRepeatIndex);

    // The chunk goes into the buffer first, in one go: reads never reach past the sample being played, and
    // where they touch it (a fresh capture, read at a whole position) the later taps carry zero weight.
    const int firstIndex = recordBuffer.writePosition();
    const int capacity = recordBuffer.capacity();
    recordBuffer.write (channels, numChannels, numSamples);

    for (int i = 0; i < numSamples; ++i)
    {
        const int index = firstIndex + i < capacity ? firstIndex + i : firstIndex + i - capacity;

        if (holdStepMayChange)
        {
            const double beat = transport.beatAt (i) / holdBeats;
            if (std::isfinite (beat))
            {
                const auto k = (std::int64_t) std::floor (beat);
                const bool playedEnough = voice.repeats > 0 || voice.position >= crossfadeLength;
                if (voice.active && k != lastRepeatIndex && playedEnough)
                    triggered = true;
                lastRepeatIndex = k;
            }
        }

        if (voice.active && outlivesBuffer (voice, index))
            triggered = true;

        if (triggered)
        {
            triggered = false;
            crossfadeCounter = (fresh || ! voice.active) ? 0.0 : crossfadeLength;
            previousVoice = voice;
            fresh = false;
            voice = { true, (double) index, 0.0, 0, 1.0f, 1.0f };
        }
        else if (! voice.active)
        {
            continue;
        }

        const auto now = sample (voice, sliceLength, pitchedLayer);

        if (crossfadeCounter > 0.0)
        {
            const double x = crossfadeCounter / crossfadeLength * juce::MathConstants<double>::halfPi;
            const auto fadeIn = (float) std::cos (x);
            const auto fadeOut = (float) std::sin (x);
            const auto old =
                previousVoice.active ? sample (previousVoice, sliceLength, pitchedLayer) : std::array<float, 2> {};

            for (int ch = 0; ch < numChannels; ++ch)
            {
                const auto side = (size_t) (ch > 0 ? 1 : 0);
                const float before = previousVoice.active ? old[side] : channels[ch][i];
                channels[ch][i] = now[side] * fadeIn + before * fadeOut;
            }

            advance (voice, sliceLength, rate, decayFactor);
            if (previousVoice.active)
                advance (previousVoice, sliceLength, rate, decayFactor);
            crossfadeCounter -= 1.0;
            continue;
        }

        channels[0][i] = now[0];
        for (int ch = 1; ch < numChannels; ++ch)
            channels[ch][i] = now[1];

        advance (voice, sliceLength, rate, decayFactor);
    }
}

} // namespace tz
