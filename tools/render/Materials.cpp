#include "Materials.h"

#include <cmath>

#include "DemoLoop.h"
#include "Oscillators.h"

namespace tz::render
{

namespace
{
    constexpr double twoPi = juce::MathConstants<double>::twoPi;

    // Naive sawtooth with one polyBLEP step correction, so low notes carry their harmonics without aliasing.
    // Two one-pole low passes in series: a gentle 12 dB/octave slope without resonance.
    struct GentleLowPass
    {
        GentleLowPass (double cutoffHz, double sampleRate)
            : coefficient (1.0 - std::exp (-twoPi * cutoffHz / sampleRate))
        {
        }

        double process (double x)
        {
            first += coefficient * (x - first);
            second += coefficient * (first - second);
            return second;
        }

        double coefficient, first = 0.0, second = 0.0;
    };

    // White noise through Paul Kellet's filter bank: within 0.05 dB of -3 dB/octave from 10 Hz up.
    struct PinkNoise
    {
        explicit PinkNoise (juce::int64 seed)
            : random (seed)
        {
        }

        double next()
        {
            const double white = random.nextDouble() * 2.0 - 1.0;
            b[0] = 0.99886 * b[0] + white * 0.0555179;
            b[1] = 0.99332 * b[1] + white * 0.0750759;
            b[2] = 0.96900 * b[2] + white * 0.1538520;
            b[3] = 0.86650 * b[3] + white * 0.3104856;
            b[4] = 0.55000 * b[4] + white * 0.5329522;
            b[5] = -0.7616 * b[5] - white * 0.0168980;
            const double pink = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + white * 0.5362;
            b[6] = white * 0.115926;
            return pink;
        }

        juce::Random random;
        std::array<double, 7> b {};
    };

    void normalisePeak (juce::AudioBuffer<float>& audio, float peakDb)
    {
        const float peak = audio.getMagnitude (0, audio.getNumSamples());
        if (peak > 0.0f)
            audio.applyGain (juce::Decibels::decibelsToGain (peakDb) / peak);
    }

    void normaliseRms (juce::AudioBuffer<float>& audio, float rmsDb)
    {
        const int numSamples = audio.getNumSamples();
        if (numSamples == 0)
            return;

        const float rms = std::sqrt (0.5f
                                     * (juce::square (audio.getRMSLevel (0, 0, numSamples))
                                        + juce::square (audio.getRMSLevel (1, 0, numSamples))));
        if (rms > 0.0f)
            audio.applyGain (juce::Decibels::decibelsToGain (rmsDb) / rms);
    }

    // Two independent pink streams, mostly shared between the channels, as the wide middle of a mix.
    juce::AudioBuffer<float> pinkNoise (int numSamples)
    {
        juce::AudioBuffer<float> noise (2, numSamples);
        PinkNoise centre (0x51a7e), width (0x3d1f0);

        for (int i = 0; i < numSamples; ++i)
        {
            const double mid = centre.next();
            const double side = 0.4 * width.next();
            noise.setSample (0, i, (float) (mid + side));
            noise.setSample (1, i, (float) (mid - side));
        }

        normaliseRms (noise, pinkNoiseRmsDb);
        return noise;
    }

    // A legato eighth-note line in E minor over two bars, E1 to E2: a sine for the body and a darkened saw for
    // the growl. Notes glide into each other and dip in level between attacks, but never stop.
    juce::AudioBuffer<float> bassLine (double sampleRate, double bpm, int numSamples)
    {
        constexpr std::array<int, 16> notes { 28, 28, 40, 28, 31, 28, 33, 35, 28, 28, 40, 38, 35, 33, 31, 33 };
        constexpr double glideSeconds = 0.012;
        constexpr double decaySeconds = 0.18;

        juce::AudioBuffer<float> bass (2, numSamples);
        const double samplesPerEighth = sampleRate * 30.0 / bpm;
        const double glide = 1.0 - std::exp (-1.0 / (glideSeconds * sampleRate));
        GentleLowPass tone (180.0, sampleRate);
        Saw saw;
        double sinePhase = 0.0, note = notes[0];

        for (int i = 0; i < numSamples; ++i)
        {
            const double eighths = i / samplesPerEighth;
            const auto index = (size_t) ((juce::int64) eighths % (juce::int64) notes.size());
            const double sinceAttack = (eighths - std::floor (eighths)) * samplesPerEighth / sampleRate;
            note += glide * (notes[index] - note);

            const double increment = midiToHz (note) / sampleRate;
            sinePhase = std::fmod (sinePhase + increment, 1.0);
            const double envelope = 0.55 + 0.45 * std::exp (-sinceAttack / decaySeconds);
            const double sample = envelope * (std::sin (twoPi * sinePhase) + 0.7 * tone.process (saw.next (increment)));

            bass.setSample (0, i, (float) sample);
            bass.setSample (1, i, (float) sample);
        }

        normalisePeak (bass, materialPeakDb);
        return bass;
    }

    // Am9, Fmaj7, C, G, two bars each: detuned saw pairs (the channels detune opposite ways) under a soft low
    // pass, each chord after the first fading in slowly and ringing over the next.
    juce::AudioBuffer<float> chordPad (double sampleRate, double bpm, int numSamples)
    {
        constexpr std::array<std::array<int, 4>, 4> chords { {
            { 57, 60, 64, 71 },
            { 53, 57, 60, 64 },
            { 55, 60, 64, 67 },
            { 55, 59, 62, 67 },
        } };
        constexpr double attackSeconds = 0.4;
        constexpr double releaseSeconds = 0.5;
        constexpr double detuneCents = 7.0;

        juce::AudioBuffer<float> pad (2, numSamples);
        pad.clear();
        const int chordLength = (int) std::lround (sampleRate * 60.0 / bpm * 8.0);
        const int ringLength = (int) std::lround (releaseSeconds * 6.0 * sampleRate);

        for (int start = 0, c = 0; start < numSamples; start += chordLength, ++c)
        {
            const auto& chord = chords[(size_t) c % chords.size()];
            std::array<Saw, 8> saws;
            for (size_t v = 0; v < saws.size(); ++v)
                saws[v].phase = std::fmod (0.137 * (double) (v + 1) * (double) (c + 1), 1.0);

            GentleLowPass leftTone (1800.0, sampleRate), rightTone (1800.0, sampleRate);
            const int end = juce::jmin (numSamples, start + chordLength + ringLength);

            for (int i = start; i < end; ++i)
            {
                const double t = (i - start) / sampleRate;
                const double held = chordLength / sampleRate;
                // The first chord is already sounding, as if the excerpt were cut from a longer part.
                const double attack = c == 0 ? 1.0 : juce::jmin (1.0, t / attackSeconds);
                const double envelope = attack * (t < held ? 1.0 : std::exp (-(t - held) / releaseSeconds));
                double left = 0.0, right = 0.0;

                for (size_t n = 0; n < chord.size(); ++n)
                {
                    left += saws[2 * n].next (midiToHz (chord[n] - detuneCents / 100.0) / sampleRate);
                    right += saws[2 * n + 1].next (midiToHz (chord[n] + detuneCents / 100.0) / sampleRate);
                }

                pad.addSample (0, i, (float) (envelope * leftTone.process (left)));
                pad.addSample (1, i, (float) (envelope * rightTone.process (right)));
            }
        }

        normalisePeak (pad, materialPeakDb);
        return pad;
    }
    // Single hits with silence between, one every five sixteenths, so that a hit lands on every sixteenth of the
    // bar in turn: a kick (a sine falling from 160 to 50 Hz), a click (one
    // sample), a snare (noise over a 190 Hz body), a closed hat (mostly the top octaves), a tom and a rim (a few
    // samples at the top of the band). Nothing masks a transient, so a make-up gain or a ringing filter shows in
    // the peak wherever the patch's gates open.
    juce::AudioBuffer<float> singleHits (double sampleRate, double bpm, int numSamples)
    {
        enum class Hit
        {
            kick,
            click,
            snare,
            hat,
            tom,
            rim
        };
        constexpr std::array<Hit, 6> rotation { Hit::kick, Hit::click, Hit::snare, Hit::hat, Hit::tom, Hit::rim };
        constexpr double beatsBetweenHits = 1.25;
        constexpr double maxHitSeconds = 0.25;

        juce::AudioBuffer<float> hits (2, numSamples);
        hits.clear();
        juce::Random random (0x417);
        const double samplesPerBeat = sampleRate * 60.0 / bpm;

        const auto addHit = [&] (int start, Hit hit)
        {
            const double decaySeconds = hit == Hit::kick ? 0.08
                : hit == Hit::snare                      ? 0.05
                : hit == Hit::tom                        ? 0.07
                                                         : 0.015;
            const int length = juce::jmin (numSamples - start, (int) (maxHitSeconds * sampleRate));
            double phase = 0.0, previousNoise = 0.0;
            for (int i = 0; i < length; ++i)
            {
                const double t = i / sampleRate;
                // Falls to nothing at the end, so the silence between hits is exact.
                const double envelope = std::exp (-t / decaySeconds) * (1.0 - (double) i / length);
                const double noise = random.nextDouble() * 2.0 - 1.0;
                double sample = 0.0;
                switch (hit)
                {
                    case Hit::kick:
                        phase += (50.0 + 110.0 * std::exp (-t / 0.03)) / sampleRate;
                        sample = std::sin (twoPi * phase);
                        break;
                    case Hit::click:
                        sample = i == 0 ? 1.0 : 0.0;
                        break;
                    case Hit::snare:
                        phase += 190.0 / sampleRate;
                        sample = 0.5 * std::sin (twoPi * phase) + 0.6 * noise;
                        break;
                    case Hit::hat:
                        sample = 0.6 * (noise - previousNoise);
                        break;
                    case Hit::tom:
                        phase += (110.0 + 40.0 * std::exp (-t / 0.05)) / sampleRate;
                        sample = std::sin (twoPi * phase);
                        break;
                    case Hit::rim:
                        sample = i < 24 ? (i % 2 == 0 ? 1.0 : -0.6) : 0.0;
                        break;
                }
                previousNoise = noise;
                hits.addSample (0, start + i, (float) (envelope * sample));
                hits.addSample (1, start + i, (float) (envelope * sample * (hit == Hit::hat ? 0.7 : 1.0)));
            }
        };

        for (int n = 0;; ++n)
        {
            const auto start = (int) std::lround (n * beatsBetweenHits * samplesPerBeat);
            if (start >= numSamples)
                break;
            addHit (start, rotation[(size_t) n % rotation.size()]);
        }

        normalisePeak (hits, hitsPeakDb);
        return hits;
    }
} // namespace

juce::String materialName (Material material)
{
    switch (material)
    {
        case Material::demo:
            return "demo";
        case Material::pink:
            return "pink";
        case Material::bass:
            return "bass";
        case Material::pad:
            return "pad";
        case Material::hits:
            return "hits";
    }
    return {};
}

juce::String materialDescription (Material material)
{
    switch (material)
    {
        case Material::demo:
            return "the demo loop: drums, bass and chords";
        case Material::pink:
            return "pink noise at -20 dBFS RMS, a stand-in for a full mix";
        case Material::bass:
            return "a legato bass line below 200 Hz";
        case Material::pad:
            return "a sustained chord pad";
        case Material::hits:
            return "single drum hits and clicks with silence between, peaking at -1 dBFS";
    }
    return {};
}

std::optional<Material> materialNamed (const juce::String& name)
{
    for (const auto material : allMaterials)
        if (materialName (material).equalsIgnoreCase (name.trim()))
            return material;
    return std::nullopt;
}

juce::AudioBuffer<float> synthesiseMaterial (Material material, double sampleRate, double bpm, int numSamples)
{
    switch (material)
    {
        case Material::demo:
            return synthesiseDemoLoop (sampleRate, bpm, numSamples);
        case Material::pink:
            return pinkNoise (numSamples);
        case Material::bass:
            return bassLine (sampleRate, bpm, numSamples);
        case Material::pad:
            return chordPad (sampleRate, bpm, numSamples);
        case Material::hits:
            return singleHits (sampleRate, bpm, numSamples);
    }
    return {};
}

} // namespace tz::render
