#include "effects/StutterEffect.h"

#include <cmath>

namespace tz
{

void StutterEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    crossfadeLength = 0.005 * sampleRate;
    gainCoef = (float) (1.0 - std::exp (-1.0 / (0.002 * sampleRate)));
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

void StutterEffect::retrigger() noexcept
{
    // A capture younger than its crossfade was started moments ago (a repeat boundary that fell just before
    // the level came back); restarting it again would cut that crossfade short.
    if (crossfadeCounter > 0.0)
        return;

    triggered = true;
    fresh = false;
}

void StutterEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    // A voice starts at the sample being written and reads back only its lead-in before that: the filtered layers
    // catch up with just that much when the effect wakes.
    recordBuffer.writeUnfiltered (channels, numChannels, numSamples);
}

// Both channels of the voice: the layer, the read positions and the fade are worked out once for the two.
std::array<float, 2> StutterEffect::sample (const Voice& v, double sliceLength, double rate) const noexcept
{
    const int layerIndex = recordBuffer.layerFor (v.repeats > 0 ? std::abs (rate) : 1.0);
    const int capacity = recordBuffer.capacity();
    const std::array<const float*, 2> layer { recordBuffer.layer (layerIndex, 0).data(),
                                              recordBuffer.layer (layerIndex, 1).data() };
    const double p = v.start + v.position;
    const auto tap = RecordBuffer::tapAt (capacity, p);
    std::array<float, 2> value {};

    // The end of each pass fades into the audio that led into the slice, so the wrap is seamless.
    if (v.position > sliceLength - crossfadeLength)
    {
        const auto h = (float) juce::jlimit (0.0, 1.0, (sliceLength - v.position) / crossfadeLength);
        const auto leadInTap = RecordBuffer::tapAt (capacity, p - sliceLength);
        for (size_t ch = 0; ch < value.size(); ++ch)
        {
            const float leadIn = RecordBuffer::readTap (layer[ch], capacity, leadInTap);
            value[ch] = (RecordBuffer::readTap (layer[ch], capacity, tap) * h + (1.0f - h) * leadIn) * v.gain;
        }
        return value;
    }

    for (size_t ch = 0; ch < value.size(); ++ch)
        value[ch] = RecordBuffer::readTap (layer[ch], capacity, tap) * v.gain;
    return value;
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
    const int reserve = 2 * (int) std::ceil (crossfadeLength) + 4;
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
    const double rate =
        rateOfPitch (values[(size_t) stutterPitch], [] (float pitch) { return std::pow (2.0, pitch / 12.0); });
    const float decayFactor = 1.0f - 0.005f * values[(size_t) stutterDecay];

    const double shortest = 4.0 * crossfadeLength;
    const double longest = 0.45 * recordBuffer.capacity();
    double sliceLength = transport.samplesPerBeat * lengthBeats;
    sliceLength = sliceLength >= shortest ? juce::jmin (sliceLength, longest) : shortest; // NaN gives the shortest

    // The chunk goes into the buffer first, in one go: reads never reach past the sample being played, and
    // where they touch it (a fresh capture, read at a whole position) the later taps carry zero weight.
    const int firstIndex = recordBuffer.writePosition();
    const int capacity = recordBuffer.capacity();
    recordBuffer.catchUpFilters ((int) std::ceil (crossfadeLength) + 4); // the lead-in and the interpolator's taps
    recordBuffer.write (channels, numChannels, numSamples);

    const ChunkSpans repeats (transport, freeHold ? 1.0 : holdBeats, numSamples);

    for (int i = 0; i < numSamples; ++i)
    {
        const int index = firstIndex + i < capacity ? firstIndex + i : firstIndex + i - capacity;

        if (! freeHold)
        {
            const double repeat = repeats.at (i);
            if (std::isfinite (repeat))
            {
                const auto k = wholeCount (repeat);
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

        const bool crossfading = crossfadeCounter > 0.0;
        float fadeIn = 1.0f, fadeOut = 0.0f;
        if (crossfading)
        {
            const double x = crossfadeCounter / crossfadeLength * juce::MathConstants<double>::halfPi;
            fadeIn = (float) std::cos (x);
            fadeOut = (float) std::sin (x);
        }

        const auto played = sample (voice, sliceLength, rate);
        const auto fading =
            crossfading && previousVoice.active ? sample (previousVoice, sliceLength, rate) : std::array<float, 2> {};
        for (int ch = 0; ch < numChannels; ++ch)
        {
            const size_t bufferChannel = ch > 0 ? 1 : 0;
            float s = played[bufferChannel];
            if (crossfading)
            {
                const float old = previousVoice.active ? fading[bufferChannel] : channels[ch][i];
                s = s * fadeIn + old * fadeOut;
            }
            channels[ch][i] = s;
        }

        advance (voice, sliceLength, rate, decayFactor);

        if (crossfading)
        {
            if (previousVoice.active)
                advance (previousVoice, sliceLength, rate, decayFactor);
            crossfadeCounter -= 1.0;
        }
    }
}

} // namespace tz
