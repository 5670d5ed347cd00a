#include "DemoLoop.h"

#include <array>
#include <cmath>

#include "Oscillators.h"

namespace tz::render
{

namespace
{
    constexpr double twoPi = juce::MathConstants<double>::twoPi;
    constexpr int stepsPerBar = 16;
    constexpr int phraseBars = 8;

    // Two-pole state-variable low-pass (trapezoidal), cheap enough to retune every sample.
    struct LowPass
    {
        double ic1 = 0.0, ic2 = 0.0;

        double process (double x, double cutoffHz, double q, double sampleRate)
        {
            const double g =
                std::tan (juce::MathConstants<double>::pi * juce::jmin (cutoffHz, 0.45 * sampleRate) / sampleRate);
            const double k = 1.0 / q;
            const double a1 = 1.0 / (1.0 + g * (g + k));
            const double a2 = g * a1;
            const double a3 = g * a2;
            const double v3 = x - ic2;
            const double v1 = a1 * ic1 + a2 * v3;
            const double v2 = ic2 + a2 * ic1 + a3 * v3;
            ic1 = 2.0 * v1 - ic1;
            ic2 = 2.0 * v2 - ic2;
            return v2;
        }
    };

    // Band-limited sawtooth (polyBLEP), so the stabs and bass do not alias into the spectrogram.
    struct Chord
    {
        int bassNote;
        std::array<int, 3> notes;
    };

    // Am F C G Am F Dm E: one chord per bar.
    constexpr std::array<Chord, phraseBars> progression { {
        { 33, { 57, 60, 64 } },
        { 29, { 57, 60, 65 } },
        { 36, { 55, 60, 64 } },
        { 31, { 55, 59, 62 } },
        { 33, { 57, 60, 64 } },
        { 29, { 57, 60, 65 } },
        { 38, { 57, 62, 65 } },
        { 28, { 56, 59, 64 } },
    } };

    class Voices
    {
    public:
        Voices (juce::AudioBuffer<float>& target, double rate)
            : buffer (target)
            , sampleRate (rate)
        {
        }

        void kick (int start, float velocity)
        {
            double phase = 0.0;
            render (start, 0.45,
                    [&] (double t)
                    {
                        const double frequency = 45.0 + 110.0 * std::exp (-t / 0.035);
                        phase += twoPi * frequency / sampleRate;
                        const double body = std::sin (phase) * std::exp (-t / 0.16) * juce::jmin (1.0, t / 0.001);
                        const double click = noise.nextFloat() * 2.0 - 1.0;
                        const double level = velocity * (0.9 * body + 0.15 * click * std::exp (-t / 0.002));
                        return std::pair { level, level };
                    });
        }

        void snare (int start, float velocity)
        {
            double low = 0.0;
            render (start, 0.28,
                    [&] (double t)
                    {
                        const double white = noise.nextFloat() * 2.0 - 1.0;
                        low += 0.25 * (white - low);
                        const double rattle = (white - low) * std::exp (-t / 0.09) * 0.55;
                        const double body = (0.5 * std::sin (twoPi * 185.0 * t) * std::exp (-t / 0.06)
                                             + 0.25 * std::sin (twoPi * 330.0 * t) * std::exp (-t / 0.04));
                        const double level = velocity * (rattle + body);
                        return std::pair { level, level };
                    });
        }

        void hat (int start, float velocity, bool open)
        {
            double low1 = 0.0, low2 = 0.0;
            const double decay = open ? 0.18 : 0.025;
            render (start, open ? 0.5 : 0.12,
                    [&] (double t)
                    {
                        const double white = noise.nextFloat() * 2.0 - 1.0;
                        low1 += 0.6 * (white - low1);
                        const double high1 = white - low1;
                        low2 += 0.6 * (high1 - low2);
                        const double level = velocity * 0.55 * (high1 - low2) * std::exp (-t / decay);
                        return std::pair { 0.75 * level, level };
                    });
        }

        void bass (int start, int note, double lengthSeconds, float velocity)
        {
            Saw saw;
            LowPass filter;
            const double increment = midiToHz (note) / sampleRate;
            render (start, lengthSeconds + 0.03,
                    [&] (double t)
                    {
                        const double envelope = juce::jmin (1.0, t / 0.003)
                            * (t < lengthSeconds ? 1.0 : std::exp (-(t - lengthSeconds) / 0.008));
                        const double cutoff = 250.0 + 1400.0 * std::exp (-t / 0.07);
                        const double level =
                            velocity * 0.32 * envelope * filter.process (saw.next (increment), cutoff, 2.5, sampleRate);
                        return std::pair { level, level };
                    });
        }

        void stab (int start, const std::array<int, 3>& notes, float velocity)
        {
            // Each channel detunes the other way, so the chord is wide without any panning.
            std::array<Saw, 6> saws;
            LowPass leftFilter, rightFilter;
            saws[1].phase = 0.37;
            saws[3].phase = 0.71;
            saws[5].phase = 0.13;

            render (start, 0.4,
                    [&] (double t)
                    {
                        double left = 0.0, right = 0.0;
                        for (size_t n = 0; n < notes.size(); ++n)
                        {
                            const double hz = midiToHz (notes[n]);
                            left += saws[2 * n].next (hz * 0.996 / sampleRate);
                            right += saws[2 * n + 1].next (hz * 1.004 / sampleRate);
                        }

                        const double cutoff = 700.0 + 3200.0 * std::exp (-t / 0.05);
                        const double envelope = juce::jmin (1.0, t / 0.002) * std::exp (-t / 0.11) * velocity * 0.16;
                        return std::pair { envelope * leftFilter.process (left, cutoff, 1.2, sampleRate),
                                           envelope * rightFilter.process (right, cutoff, 1.2, sampleRate) };
                    });
        }

    private:
        template <typename Voice>
        void render (int start, double seconds, Voice&& voice)
        {
            const int length = (int) std::ceil (seconds * sampleRate);
            const int end = juce::jmin (buffer.getNumSamples(), start + length);
            auto* left = buffer.getWritePointer (0);
            auto* right = buffer.getWritePointer (1);

            for (int i = start; i < end; ++i)
            {
                const auto [l, r] = voice ((i - start) / sampleRate);
                left[i] += (float) l;
                right[i] += (float) r;
            }
        }

        juce::AudioBuffer<float>& buffer;
        double sampleRate;
        juce::Random noise { 0x7a221e };
    };
} // namespace

juce::AudioBuffer<float> synthesiseDemoLoop (double sampleRate, double bpm, int numSamples)
{
    juce::AudioBuffer<float> loop (2, numSamples);
    loop.clear();

    Voices voices (loop, sampleRate);
    const double samplesPerStep = sampleRate * 60.0 / bpm / 4.0;
    const double stepSeconds = 60.0 / bpm / 4.0;
    const int numSteps = (int) std::ceil (numSamples / samplesPerStep);

    for (int step = 0; step < numSteps; ++step)
    {
        const int start = (int) std::lround (step * samplesPerStep);
        const int position = step % stepsPerBar;
        const int bar = (step / stepsPerBar) % phraseBars;
        const bool lastBar = bar == phraseBars - 1;
        const auto& chord = progression[(size_t) bar];

        if (position % 4 == 0 || (position == 14 && bar % 4 == 3))
            voices.kick (start, position == 14 ? 0.7f : 1.0f);

        if (position == 4 || position == 12)
            voices.snare (start, 0.9f);
        else if (lastBar && position >= 13)
            voices.snare (start, 0.35f + 0.15f * (float) (position - 13)); // a small fill into the next phrase

        const bool openHat = position == 14 && bar % 2 == 1;
        if (openHat)
            voices.hat (start, 0.7f, true);
        else
            voices.hat (start, position % 2 == 0 ? 0.8f : 0.35f, false);

        switch (position)
        {
            case 0:
            case 3:
            case 6:
            case 8:
            case 11:
                voices.bass (start, chord.bassNote, stepSeconds * 1.6, 1.0f);
                break;
            case 10:
                voices.bass (start, chord.bassNote + 12, stepSeconds * 0.8, 0.8f);
                break;
            case 14:
                voices.bass (start, chord.bassNote + 7, stepSeconds * 1.6, 0.9f);
                break;
            default:
                break;
        }

        if (position == 2 || position == 7 || position == 10)
            voices.stab (start, chord.notes, position == 7 ? 1.0f : 0.8f);
    }

    // Leave headroom for presets that add gain.
    const float peak = loop.getMagnitude (0, numSamples);
    if (peak > 0.0f)
        loop.applyGain (0.5f / peak);

    return loop;
}

} // namespace tz::render
