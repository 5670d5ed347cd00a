#include "Render.h"

#include <cmath>
#include <filesystem>

namespace tz::render
{

juce::Optional<juce::AudioPlayHead::PositionInfo> OfflinePlayHead::getPosition() const
{
    const double seconds = (double) samplePosition / rate;
    const double ppq = seconds * tempo / 60.0;
    const double barStart = std::floor (ppq / 4.0) * 4.0;

    PositionInfo info;
    info.setBpm (tempo);
    info.setTimeSignature (TimeSignature { 4, 4 });
    info.setIsPlaying (true);
    info.setTimeInSamples (samplePosition);
    info.setTimeInSeconds (seconds);
    info.setPpqPosition (ppq);
    info.setPpqPositionOfLastBarStart (barStart);
    info.setBarCount ((juce::int64) (barStart / 4.0));
    return info;
}

Rendering renderThrough (TazzleAudioProcessor& processor, const juce::AudioBuffer<float>& input,
                         const HostSettings& settings, const std::function<void (double)>& onProgress)
{
    constexpr int channels = 2;
    jassert (input.getNumChannels() == channels);

    OfflinePlayHead playHead (settings.sampleRate, settings.bpm);
    processor.setPlayHead (&playHead);
    processor.setNonRealtime (true); // a bounce, as a host renders offline
    processor.setPlayConfigDetails (channels, channels, settings.sampleRate, settings.blockSize);
    processor.prepareToPlay (settings.sampleRate, settings.blockSize);

    Rendering result;
    result.latency = processor.getLatencySamples();

    const int inputLength = input.getNumSamples();
    const int skip = settings.compensateLatency ? result.latency : 0;
    const int total = inputLength + skip;

    result.output.setSize (channels, inputLength);
    juce::AudioBuffer<float> block (channels, settings.blockSize);
    juce::MidiBuffer midi;

    for (int start = 0; start < total; start += settings.blockSize)
    {
        const int n = juce::jmin (settings.blockSize, total - start);
        const int fromInput = juce::jlimit (0, n, inputLength - start);

        // The host hands over a buffer of exactly this block's length.
        juce::AudioBuffer<float> hostBuffer (block.getArrayOfWritePointers(), channels, n);

        for (int ch = 0; ch < channels; ++ch)
        {
            hostBuffer.copyFrom (ch, 0, input, ch, start, fromInput);
            hostBuffer.clear (ch, fromInput, n - fromInput);
        }

        playHead.setSamplePosition (start);
        processor.processBlock (hostBuffer, midi);

        const int keepFrom = juce::jmax (start, skip);
        for (int ch = 0; ch < channels; ++ch)
            if (keepFrom < start + n)
                result.output.copyFrom (ch, keepFrom - skip, hostBuffer, ch, keepFrom - start, start + n - keepFrom);

        if (onProgress)
            onProgress ((double) (start + n) / total);
    }

    processor.releaseResources();
    processor.setPlayHead (nullptr);
    return result;
}

//==============================================================================
std::optional<Failure> readAudioFile (const juce::File& file, LoadedAudio& audio)
{
    const auto name = "'" + file.getFullPathName() + "'";

    if (file.isDirectory())
        return Failure { "input " + name + " is a folder, not an audio file", exitInput };

    if (! file.existsAsFile())
        return Failure { "input " + name + " does not exist", exitInput };

    if (! juce::FileInputStream (file).openedOk())
        return Failure { "cannot read input " + name + ": permission denied", exitInput };

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    const std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));

    if (reader == nullptr)
        return Failure {
            "cannot read input " + name + ": unsupported format or damaged file (WAV and AIFF can be read)", exitInput
        };

    if (reader->numChannels < 1 || reader->numChannels > 2)
        return Failure { "input " + name + " has " + juce::String (reader->numChannels)
                             + " channels; only mono and stereo are supported",
                         exitInput };

    if (reader->lengthInSamples <= 0)
        return Failure { "input " + name + " holds no audio", exitInput };

    if (reader->lengthInSamples > std::numeric_limits<int>::max() / 2)
        return Failure { "input " + name + " is too long to render in one go", exitInput };

    const int length = (int) reader->lengthInSamples;
    audio.sampleRate = reader->sampleRate;
    audio.samples.setSize (2, length);

    if (! reader->read (&audio.samples, 0, length, 0, true, true))
        return Failure { "cannot read input " + name + ": the file ends early", exitInput };

    if (reader->numChannels == 1)
        audio.samples.copyFrom (1, 0, audio.samples, 0, 0, length);

    return std::nullopt;
}

juce::AudioBuffer<float> resample (const juce::AudioBuffer<float>& source, double fromRate, double toRate)
{
    // Blackman-windowed sinc, centred on each output instant so nothing shifts in time; the cutoff drops to the
    // new Nyquist frequency when converting down. The kernel is tabulated finely and read with interpolation.
    constexpr int halfTaps = 32;
    constexpr int tableResolution = 512;
    const double step = fromRate / toRate;
    const double cutoff = 0.97 * juce::jmin (1.0, 1.0 / step);
    const int reach = (int) std::ceil (halfTaps / cutoff);

    std::vector<double> table ((size_t) (reach * tableResolution + 2));
    for (size_t i = 0; i < table.size(); ++i)
    {
        const double x = juce::jmin ((double) i / tableResolution, (double) reach);
        const double phase = juce::MathConstants<double>::pi * (x / reach + 1.0);
        const double window = 0.42 - 0.5 * std::cos (phase) + 0.08 * std::cos (2.0 * phase);
        const double arg = juce::MathConstants<double>::pi * cutoff * x;
        table[i] = cutoff * window * (x == 0.0 ? 1.0 : std::sin (arg) / arg);
    }

    const auto kernel = [&table] (double x)
    {
        const double position = std::abs (x) * tableResolution;
        const auto index = (size_t) position;
        if (index + 1 >= table.size())
            return 0.0;
        return table[index] + (position - (double) index) * (table[index + 1] - table[index]);
    };

    const int inputLength = source.getNumSamples();
    const int length = (int) std::ceil (inputLength / step);
    juce::AudioBuffer<float> result (source.getNumChannels(), length);
    std::vector<double> weights ((size_t) (2 * reach + 1));

    for (int n = 0; n < length; ++n)
    {
        const double centre = n * step;
        const int first = juce::jmax (0, (int) std::floor (centre) - reach + 1);
        const int last = juce::jmin (inputLength - 1, (int) std::floor (centre) + reach);

        for (int k = first; k <= last; ++k)
            weights[(size_t) (k - first)] = kernel (centre - k);

        for (int ch = 0; ch < source.getNumChannels(); ++ch)
        {
            const auto* in = source.getReadPointer (ch);
            double sum = 0.0;
            for (int k = first; k <= last; ++k)
                sum += in[k] * weights[(size_t) (k - first)];
            result.setSample (ch, n, (float) sum);
        }
    }

    return result;
}

juce::AudioBuffer<float> withLength (const juce::AudioBuffer<float>& source, int numSamples)
{
    juce::AudioBuffer<float> result (source.getNumChannels(), numSamples);
    result.clear();
    const int kept = juce::jmin (numSamples, source.getNumSamples());

    for (int ch = 0; ch < source.getNumChannels(); ++ch)
        result.copyFrom (ch, 0, source, ch, 0, kept);

    return result;
}

std::optional<Failure> checkOutputPath (const juce::File& output, const juce::File& input)
{
    const auto name = "'" + output.getFullPathName() + "'";

    if (output.isDirectory())
        return Failure { "output " + name + " is a folder; give a file name", exitOutput };

    std::error_code error;
    const bool sameFile = output == input
        || (output.exists()
            && std::filesystem::equivalent (output.getFullPathName().toStdString(),
                                            input.getFullPathName().toStdString(), error));
    if (input != juce::File() && sameFile)
        return Failure { "output " + name + " is the input file; choose another name with --out", exitOutput };

    const auto folder = output.getParentDirectory();

    if (! folder.isDirectory())
        return Failure { "cannot write " + name + ": folder '" + folder.getFullPathName() + "' does not exist",
                         exitOutput };

    if (! folder.hasWriteAccess() || (output.exists() && ! output.hasWriteAccess()))
        return Failure { "cannot write " + name + ": permission denied", exitOutput };

    return std::nullopt;
}

std::optional<Failure> writeWav (const juce::File& target, const juce::AudioBuffer<float>& audio, double sampleRate)
{
    const auto failure = Failure { "cannot write '" + target.getFullPathName() + "'", exitOutput };

    // The temporary file is deleted with this object unless it has replaced the target.
    juce::TemporaryFile temporary (target);
    auto stream = temporary.getFile().createOutputStream();

    if (stream == nullptr || stream->failedToOpen())
        return failure;

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (
        wav.createWriterFor (stream.get(), sampleRate, (unsigned int) audio.getNumChannels(), 24, {}, 0));

    if (writer == nullptr)
        return failure;

    stream.release(); // the writer owns it now

    if (! writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples()) || ! writer->flush())
        return failure;

    writer.reset();

    if (! temporary.overwriteTargetFileWithTemporary())
        return failure;

    return std::nullopt;
}

//==============================================================================
Levels measureLevels (const juce::AudioBuffer<float>& audio)
{
    double sumOfSquares = 0.0;
    float peak = 0.0f;

    for (int ch = 0; ch < audio.getNumChannels(); ++ch)
    {
        const auto* samples = audio.getReadPointer (ch);
        for (int i = 0; i < audio.getNumSamples(); ++i)
        {
            peak = juce::jmax (peak, std::abs (samples[i]));
            sumOfSquares += (double) samples[i] * samples[i];
        }
    }

    const auto count = (double) audio.getNumChannels() * audio.getNumSamples();
    Levels levels;

    if (peak > 0.0f)
    {
        levels.peakDb = 20.0f * std::log10 (peak);
        levels.rmsDb = (float) (10.0 * std::log10 (sumOfSquares / count));
    }

    return levels;
}

juce::String formatDb (float db)
{
    return std::isfinite (db) ? juce::String (db, 1) + " dBFS" : juce::String ("-inf dBFS");
}

} // namespace tz::render
