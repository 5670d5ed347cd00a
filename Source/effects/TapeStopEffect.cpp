#include "effects/TapeStopEffect.h"

#include <cmath>

namespace tz
{

namespace
{
    constexpr double shortestStop = 256.0; // samples
    constexpr double fadeStart = 0.9;      // the last tenth of a stop fades out

    // Summing the progress steps leaves a rounding error far below one sample's worth.
    constexpr double stoppedProgress = 1.0 - 1.0e-9;
} // namespace

void TapeStopEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    recordBuffer.prepare (bufferSeconds, sampleRate, false);
    lag = 0.0;
    progress = 0.0;
    reset();
}

void TapeStopEffect::reset() noexcept
{
    active = false;
    triggered = false;
}

void TapeStopEffect::trigger() noexcept { triggered = true; }

void TapeStopEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    recordBuffer.write (channels, numChannels, numSamples);
}

float TapeStopEffect::readBehind (int channel, int newestIndex) const noexcept
{
    // Right after a trigger the head is within two samples of the newest one, so the interpolator's
    // later taps would reach slots not yet written this time round, which hold audio a buffer length
    // old. Those taps hold the newest sample instead.
    const auto& data = recordBuffer.layer (0, channel);
    const int capacity = recordBuffer.capacity();
    // A lag that is not finite (from a curve that is not) reads the newest sample rather than outside the buffer.
    const double behind = lag >= 0.0 && lag < capacity ? lag : 0.0;
    const auto whole = (int) std::ceil (behind);
    const auto t = (float) (whole - behind);

    const auto tap = [&] (int samplesBack)
    {
        const int index = newestIndex - juce::jlimit (0, capacity - 1, samplesBack);
        return data[(size_t) (index < 0 ? index + capacity : index)];
    };

    return RecordBuffer::catmullRom (tap (whole + 1), tap (whole), tap (whole - 1), tap (whole - 2), t);
}

void TapeStopEffect::process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                              const Transport& transport) noexcept
{
    if (numChannels < 1)
        return;

    const double exponent = 1.0 + 2.0 * values[(size_t) tapestopCurve] / 100.0;
    const double stopLength = transport.samplesPerBeat * lookupBeats (tapeTimeBeats, values[(size_t) tapestopTime]);
    const double step = stopLength >= shortestStop // NaN takes the shortest stop too
        ? 1.0 / juce::jmin (0.9 * recordBuffer.capacity(), stopLength)
        : 1.0 / shortestStop;

    float* left = channels[0];
    float* right = channels[numChannels > 1 ? 1 : 0];

    for (int i = 0; i < numSamples; ++i)
    {
        const int index = recordBuffer.write (left[i], right[i]);

        if (triggered)
        {
            triggered = false;
            active = true;
            progress = 0.0;
            lag = 0.0;
        }
        else if (! active)
        {
            continue;
        }
        else if (progress >= stoppedProgress)
        {
            left[i] = 0.0f;
            right[i] = 0.0f;
            continue;
        }

        const auto gain = (float) (progress > fadeStart ? (1.0 - progress) / (1.0 - fadeStart) : 1.0);
        left[i] = gain * readBehind (0, index);
        if (numChannels > 1)
            right[i] = gain * readBehind (1, index);

        // The write head moves on by one sample, the read head by its current speed.
        lag += 1.0 - std::pow (1.0 - progress, exponent);
        progress += step;
    }
}

} // namespace tz
