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

void ReverseEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    recordBuffer.write (channels, numChannels, numSamples);
}

forcedinline std::array<float, 2> ReverseEffect::sample (const Voice& v, double maxDistance) const noexcept
{
    // Reading further back would meet the write head coming round; fade out before that distance. Short of the
    // fade the quotient is at least 1, so the division is only needed inside it.
    const double distanceLeft = maxDistance - v.position;
    const double edgeGain =
        distanceLeft >= crossfadeLength ? 1.0 : juce::jlimit (0.0, 1.0, distanceLeft / crossfadeLength);
    if (edgeGain <= 0.0)
        return {};
    const auto value = recordBuffer.readBoth (0, v.start - v.position);
    return { (float) edgeGain * value[0], (float) edgeGain * value[1] };
}

void ReverseEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                             const Transport& transport) noexcept
{
    if (numChannels < 1)
        return;

    const double lengthBeats = lookupBeats (reverseLengthBeats, values[(size_t) reverseLength]);
    const double maxDistance = 0.45 * recordBuffer.capacity();

    // The beat rises with the sample, so when the chunk's first and last samples lie in the segment already
    // seen, so do all between: the per-sample look at the segment clock would find nothing.
    const auto segmentAt = [&] (int i) { return std::floor (transport.beatAt (i) / lengthBeats); };
    const double firstSegment = segmentAt (0), lastSegment = segmentAt (numSamples - 1);
    const bool segmentMayChange = ! (transport.samplesPerBeat > 0.0 && std::isfinite (firstSegment)
                                     && firstSegment == lastSegment && (std::int64_t) firstSegment == lastSegmentIndex);

    // The chunk goes into the buffer first, in one go: reads never reach past the sample being played, and
    // where they touch it (a fresh capture, read at a whole position) the later taps carry zero weight.
    const int firstIndex = recordBuffer.writePosition();
    const int capacity = recordBuffer.capacity();
    recordBuffer.write (channels, numChannels, numSamples);

    for (int i = 0; i < numSamples; ++i)
    {
        const int index = firstIndex + i < capacity ? firstIndex + i : firstIndex + i - capacity;

        bool boundary = false;
        if (segmentMayChange)
        {
            const double segment = transport.beatAt (i) / lengthBeats;
            const auto k = std::isfinite (segment) ? (std::int64_t) std::floor (segment) : lastSegmentIndex;
            boundary = k != lastSegmentIndex && voice.position >= crossfadeLength;
            lastSegmentIndex = k;
        }

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

        const auto now = sample (voice, maxDistance);

        if (crossfadeCounter > 0.0)
        {
            // Equal power between two segments; linear from the dry input.
            const double x = crossfadeCounter / crossfadeLength;
            const double newWeight =
                previousVoice.active ? std::cos (x * juce::MathConstants<double>::halfPi) : 1.0 - x;
            const double oldWeight = previousVoice.active ? std::sin (x * juce::MathConstants<double>::halfPi) : x;
            const auto old = previousVoice.active ? sample (previousVoice, maxDistance) : std::array<float, 2> {};

            for (int ch = 0; ch < numChannels; ++ch)
            {
                const auto side = (size_t) (ch > 0 ? 1 : 0);
                const float before = previousVoice.active ? old[side] : channels[ch][i];
                channels[ch][i] = now[side] * (float) newWeight + before * (float) oldWeight;
            }

            voice.position += 1.0;
            previousVoice.position += 1.0;
            crossfadeCounter -= 1.0;
            continue;
        }

        channels[0][i] = now[0];
        for (int ch = 1; ch < numChannels; ++ch)
            channels[ch][i] = now[1];

        voice.position += 1.0;
    }
}

} // namespace tz
