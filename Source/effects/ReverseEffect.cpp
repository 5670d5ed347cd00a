#include "effects/ReverseEffect.h"

#include <cmath>

namespace tz
{

void ReverseEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    crossfadeLength = 0.005 * sampleRate;
    recordBuffer.prepare (bufferSeconds, sampleRate, false);
    lastSegmentIndex = 0;
    reset();
}

void ReverseEffect::reset() noexcept
{
    voice = {};
    previousVoice = {};
    crossfadeCounter = 0.0;
    triggered = false;
    fresh = false;
}

void ReverseEffect::trigger() noexcept
{
    triggered = true;
    fresh = true;
}

void ReverseEffect::retrigger() noexcept
{
    // A segment younger than its crossfade was started moments ago (a boundary that fell just before the level
    // came back); restarting it again would cut that crossfade short.
    if (crossfadeCounter > 0.0)
        return;

    triggered = true;
    fresh = false;
}

void ReverseEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    recordBuffer.write (channels, numChannels, numSamples);
}

// Both channels of the voice. It starts on a whole sample and moves a whole sample at a time, so it reads
// samples as they were stored, with no interpolation.
std::array<float, 2> ReverseEffect::sample (const Voice& v, double maxDistance) const noexcept
{
    // Reading further back would meet the write head coming round; fade out before that distance.
    const double edgeGain = juce::jlimit (0.0, 1.0, (maxDistance - v.position) / crossfadeLength);
    if (edgeGain <= 0.0)
        return {};

    const int index = RecordBuffer::tapAt (recordBuffer.capacity(), v.start - v.position).index;
    const auto gain = (float) edgeGain;
    return { gain * recordBuffer.layer (0, 0)[(size_t) index], gain * recordBuffer.layer (0, 1)[(size_t) index] };
}

void ReverseEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                             const Transport& transport) noexcept
{
    if (numChannels < 1)
        return;

    const double lengthBeats = lookupBeats (reverseLengthBeats, values[(size_t) reverseLength]);
    const double maxDistance = 0.45 * recordBuffer.capacity();
    // The chunk goes into the buffer first, in one go: reads never reach past the sample being played, and
    // where they touch it (a fresh capture, read at a whole position) the later taps carry zero weight.
    const int firstIndex = recordBuffer.writePosition();
    const int capacity = recordBuffer.capacity();
    recordBuffer.write (channels, numChannels, numSamples);

    const ChunkSpans segments (transport, lengthBeats, numSamples);

    for (int i = 0; i < numSamples; ++i)
    {
        const int index = firstIndex + i < capacity ? firstIndex + i : firstIndex + i - capacity;

        const double segment = segments.at (i);
        const auto k = std::isfinite (segment) ? wholeCount (segment) : lastSegmentIndex;
        const bool boundary = k != lastSegmentIndex && voice.position >= crossfadeLength;

        if (triggered || boundary || ! voice.active)
        {
            const bool fromDry = (triggered && fresh) || ! voice.active;
            previousVoice = voice;
            previousVoice.active = ! fromDry;
            triggered = false;
            fresh = false;
            crossfadeCounter = crossfadeLength;
            voice = { true, (double) index, 0.0 };
        }

        lastSegmentIndex = k;

        const bool crossfading = crossfadeCounter > 0.0;
        double newWeight = 1.0, oldWeight = 0.0;
        if (crossfading)
        {
            // Equal power between two segments; linear from the dry input.
            const double x = crossfadeCounter / crossfadeLength;
            newWeight = previousVoice.active ? std::cos (x * juce::MathConstants<double>::halfPi) : 1.0 - x;
            oldWeight = previousVoice.active ? std::sin (x * juce::MathConstants<double>::halfPi) : x;
        }

        const auto played = sample (voice, maxDistance);
        const auto fading =
            crossfading && previousVoice.active ? sample (previousVoice, maxDistance) : std::array<float, 2> {};
        for (int ch = 0; ch < numChannels; ++ch)
        {
            const size_t bufferChannel = ch > 0 ? 1 : 0;
            float s = played[bufferChannel];
            if (crossfading)
            {
                const float old = previousVoice.active ? fading[bufferChannel] : channels[ch][i];
                s = s * (float) newWeight + old * (float) oldWeight;
            }
            channels[ch][i] = s;
        }

        voice.position += 1.0;
        if (crossfading)
        {
            previousVoice.position += 1.0;
            crossfadeCounter -= 1.0;
        }
    }
}

} // namespace tz
