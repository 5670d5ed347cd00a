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

    // How far the speed's series reaches past its anchor, as a fraction of the progress left there. Its first
    // term left out is below 0.012 u^5 for exponents 1 to 3, under 4e-13 of the speed: far below float rounding.
    constexpr double seriesReach = 1.0 / 128.0;
} // namespace

// (1 - p)^e = (1 - a)^e (1 - u)^e with u = (p - a) / (1 - a), and (1 - u)^e from its binomial series: one pow per
// anchor instead of one per sample. Anchors come every 1/128 of the progress left: a stop of two bars at 48 kHz
// takes about a thousand, against 192 000 samples.
double TapeStopEffect::Head::speed (double exponent) noexcept
{
    const double u = (progress - anchorProgress) * anchorScale;
    if (exponent == anchorExponent && u <= seriesReach)
        return anchorSpeed * (1.0 - u * (series[0] - u * (series[1] - u * (series[2] - u * series[3]))));

    const double e = exponent;
    anchorProgress = progress;
    anchorScale = 1.0 / (1.0 - progress);
    anchorSpeed = std::pow (1.0 - progress, e);
    anchorExponent = e;
    series = { e, e * (e - 1.0) / 2.0, e * (e - 1.0) * (e - 2.0) / 6.0, e * (e - 1.0) * (e - 2.0) * (e - 3.0) / 24.0 };
    return anchorSpeed;
}

void TapeStopEffect::prepare (double newSampleRate, int)
{
    sampleRate = newSampleRate;
    crossfadeLength = 0.005 * sampleRate;
    recordBuffer.prepare (bufferSeconds, sampleRate, false);
    head = {};
    reset();
}

void TapeStopEffect::reset() noexcept
{
    active = false;
    triggered = false;
    crossfadeOnTrigger = false;
    crossfadeCounter = 0.0;
}

void TapeStopEffect::trigger() noexcept { triggered = true; }

void TapeStopEffect::retrigger() noexcept
{
    // A tape restarted moments ago is still crossfading from the one before; restarting it again would cut that
    // crossfade short.
    if (crossfadeCounter > 0.0)
        return;

    triggered = true;
    crossfadeOnTrigger = true;
}

void TapeStopEffect::record (const float* const* channels, int numChannels, int numSamples) noexcept
{
    recordBuffer.write (channels, numChannels, numSamples);
}

float TapeStopEffect::readBehind (int channel, int newestIndex, double lag) const noexcept
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

std::array<float, 2> TapeStopEffect::play (Head& h, int newestIndex, bool stereo, double exponent,
                                           double step) const noexcept
{
    if (h.progress >= stoppedProgress)
        return {};

    const auto gain = (float) (h.progress > fadeStart ? (1.0 - h.progress) / (1.0 - fadeStart) : 1.0);
    const float left = gain * readBehind (0, newestIndex, h.lag);
    const float right = stereo ? gain * readBehind (1, newestIndex, h.lag) : left;

    // The write head moves on by one sample, the read head by its current speed.
    h.lag += 1.0 - h.speed (exponent);
    h.progress += step;
    return { left, right };
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

    const bool stereo = numChannels > 1;
    float* left = channels[0];
    float* right = channels[stereo ? 1 : 0];

    for (int i = 0; i < numSamples; ++i)
    {
        const int index = recordBuffer.write (left[i], right[i]);

        if (triggered)
        {
            // A tape that was passing its input plays what the new one starts with: only a running or stopped
            // one needs fading out.
            crossfadeCounter = crossfadeOnTrigger && active ? crossfadeLength : 0.0;
            fadingHead = head;
            triggered = false;
            crossfadeOnTrigger = false;
            active = true;
            head = {};
        }
        else if (! active)
        {
            continue;
        }

        auto out = play (head, index, stereo, exponent, step);

        if (crossfadeCounter > 0.0)
        {
            // Equal power, as the stutter's voices: the two heads play unrelated moments of the tape.
            const double x = crossfadeCounter / crossfadeLength * juce::MathConstants<double>::halfPi;
            const auto fadeIn = (float) std::cos (x), fadeOut = (float) std::sin (x);
            const auto old = play (fadingHead, index, stereo, exponent, step);
            out = { out[0] * fadeIn + old[0] * fadeOut, out[1] * fadeIn + old[1] * fadeOut };
            crossfadeCounter -= 1.0;
        }

        left[i] = out[0];
        if (stereo)
            right[i] = out[1];
    }
}

} // namespace tz
