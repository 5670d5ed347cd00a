#include "Picture.h"

#include <cmath>

#include <juce_dsp/juce_dsp.h>

namespace tz::render
{

namespace
{
    constexpr int width = 1600;
    constexpr int height = 1000;
    constexpr int plotLeft = 72;
    constexpr int plotRight = width - 24;
    constexpr int plotWidth = plotRight - plotLeft;

    const juce::Rectangle<int> inputArea { plotLeft, 84, plotWidth, 190 };
    const juce::Rectangle<int> outputArea { plotLeft, 300, plotWidth, 190 };
    const juce::Rectangle<int> spectrumArea { plotLeft, 516, plotWidth, 440 };

    const juce::Colour background { 0xff141519 };
    const juce::Colour panel { 0xff1d1f26 };
    const juce::Colour text { 0xffd8dae0 };
    const juce::Colour dimText { 0xff80848f };
    const juce::Colour inputColour { 0xff8c9ab5 };
    const juce::Colour outputColour { 0xffffa24c };

    constexpr int fftOrder = 12;
    constexpr int fftSize = 1 << fftOrder;
    constexpr float floorDb = -100.0f;
    constexpr double lowestHz = 30.0;

    double samplesPerBeat (const PictureContent& content) { return content.sampleRate * 60.0 / content.bpm; }

    float xForSample (double sample, int numSamples)
    {
        return (float) plotLeft + (float) (sample / juce::jmax (1, numSamples) * plotWidth);
    }

    // Beat lines faint, bar lines stronger, thinned out when the bars get narrow.
    void drawBarGrid (juce::Graphics& g, juce::Rectangle<int> area, const PictureContent& content, bool numbered)
    {
        const int numSamples = content.output.getNumSamples();
        const double beat = samplesPerBeat (content);
        const int numBeats = (int) std::ceil (numSamples / beat);
        const float barPixels = (float) (4.0 * beat / numSamples * plotWidth);
        const int barStride = juce::jmax (1, (int) std::ceil (40.0f / barPixels));
        const bool showBeats = barPixels / 4.0f >= 6.0f;

        for (int b = 0; b < numBeats; ++b)
        {
            const bool barLine = b % 4 == 0;
            const int bar = b / 4;

            if (! barLine && ! showBeats)
                continue;
            if (barLine && bar % barStride != 0)
                continue;

            const float x = xForSample (b * beat, numSamples);
            g.setColour (juce::Colours::white.withAlpha (barLine ? 0.2f : 0.06f));
            g.drawVerticalLine ((int) x, (float) area.getY(), (float) area.getBottom());

            if (barLine && numbered)
            {
                g.setColour (dimText);
                g.drawText (juce::String (bar + 1), (int) x + 3, area.getY() - 16, 40, 14,
                            juce::Justification::centredLeft);
            }
        }
    }

    void drawWaveform (juce::Graphics& g, juce::Rectangle<int> area, const juce::AudioBuffer<float>& audio,
                       juce::Colour colour, const juce::String& label, const PictureContent& content)
    {
        g.setColour (panel);
        g.fillRect (area);
        drawBarGrid (g, area, content, true);

        const float centre = (float) area.getCentreY();
        const float halfHeight = area.getHeight() * 0.5f - 2.0f;
        g.setColour (juce::Colours::white.withAlpha (0.1f));
        g.drawHorizontalLine ((int) centre, (float) area.getX(), (float) area.getRight());

        const int numSamples = audio.getNumSamples();

        for (int column = 0; column < plotWidth; ++column)
        {
            const int from = (int) ((juce::int64) column * numSamples / plotWidth);
            const int to = juce::jmax (from + 1, (int) ((juce::int64) (column + 1) * numSamples / plotWidth));
            float low = 0.0f, high = 0.0f;
            double sumOfSquares = 0.0;

            for (int ch = 0; ch < audio.getNumChannels(); ++ch)
            {
                const auto* samples = audio.getReadPointer (ch);
                for (int i = from; i < juce::jmin (to, numSamples); ++i)
                {
                    low = juce::jmin (low, samples[i]);
                    high = juce::jmax (high, samples[i]);
                    sumOfSquares += (double) samples[i] * samples[i];
                }
            }

            const auto rms = (float) std::sqrt (sumOfSquares / juce::jmax (1, (to - from) * audio.getNumChannels()));
            const auto y = [&] (float value) { return centre - juce::jlimit (-1.0f, 1.0f, value) * halfHeight; };
            const auto x = area.getX() + column;

            g.setColour (colour.withAlpha (0.55f));
            g.drawVerticalLine (x, y (high), y (low) + 1.0f);
            g.setColour (colour);
            g.drawVerticalLine (x, y (rms), y (-rms) + 1.0f);
        }

        g.setColour (text);
        g.setFont (juce::Font (15.0f, juce::Font::bold));
        g.drawText (label, area.getX() + 8, area.getY() + 6, 300, 18, juce::Justification::centredLeft);
        g.setFont (juce::Font (13.0f));
    }

    std::array<juce::PixelARGB, 256> spectrumColours()
    {
        juce::ColourGradient gradient (juce::Colour (0xff0b0b18), 0.0f, 0.0f, juce::Colour (0xfffcfdbf), 1.0f, 0.0f,
                                       false);
        gradient.addColour (0.3, juce::Colour (0xff3b0f70));
        gradient.addColour (0.55, juce::Colour (0xffb5367a));
        gradient.addColour (0.78, juce::Colour (0xfffb8861));

        std::array<juce::PixelARGB, 256> colours;
        for (size_t i = 0; i < colours.size(); ++i)
            colours[i] = gradient.getColourAtPosition ((double) i / 255.0).getPixelARGB();
        return colours;
    }

    double highestHz (double sampleRate) { return juce::jmin (20000.0, sampleRate * 0.5); }

    float rowForHz (double hz, double sampleRate, int rows)
    {
        return (float) ((1.0 - std::log (hz / lowestHz) / std::log (highestHz (sampleRate) / lowestHz)) * rows);
    }

    void drawSpectrogram (juce::Graphics& g, juce::Image& image, const PictureContent& content)
    {
        const auto& audio = content.output;
        const int numSamples = audio.getNumSamples();
        const int rows = spectrumArea.getHeight();
        const double binHz = content.sampleRate / fftSize;
        const auto colours = spectrumColours();

        juce::dsp::FFT fft (fftOrder);
        juce::dsp::WindowingFunction<float> window (fftSize, juce::dsp::WindowingFunction<float>::hann, false);
        std::vector<float> frame ((size_t) fftSize * 2);

        // A full-scale sine peaks at N/4 in a Hann-windowed spectrum: that is 0 dB here.
        const float fullScale = fftSize / 4.0f;
        std::vector<float> rowDb ((size_t) rows);

        juce::Image::BitmapData pixels (image, spectrumArea.getX(), spectrumArea.getY(), plotWidth, rows,
                                        juce::Image::BitmapData::writeOnly);

        for (int column = 0; column < plotWidth; ++column)
        {
            const int centre = (int) (((double) column + 0.5) / plotWidth * numSamples);
            std::fill (frame.begin(), frame.end(), 0.0f);

            for (int i = 0; i < fftSize; ++i)
            {
                const int source = centre - fftSize / 2 + i;
                if (source >= 0 && source < numSamples)
                    frame[(size_t) i] = 0.5f * (audio.getSample (0, source) + audio.getSample (1, source));
            }

            window.multiplyWithWindowingTable (frame.data(), (size_t) fftSize);
            fft.performFrequencyOnlyForwardTransform (frame.data(), true);

            for (int row = 0; row < rows; ++row)
            {
                // Each row spans a band of the log axis: interpolate where bins are coarse, take the loudest
                // where many bins fall into one row.
                const auto hzAt = [&] (double r)
                { return lowestHz * std::pow (highestHz (content.sampleRate) / lowestHz, 1.0 - r / rows); };
                const double lowBin = hzAt (row + 1.0) / binHz;
                const double highBin = hzAt ((double) row) / binHz;
                float magnitude = 0.0f;

                if (highBin - lowBin < 1.0)
                {
                    const double bin = 0.5 * (lowBin + highBin);
                    const auto index = (size_t) bin;
                    const auto fraction = (float) (bin - (double) index);
                    magnitude = frame[index] + fraction * (frame[index + 1] - frame[index]);
                }
                else
                {
                    for (auto b = (size_t) std::ceil (lowBin); b <= (size_t) highBin && b <= (size_t) fftSize / 2; ++b)
                        magnitude = juce::jmax (magnitude, frame[b]);
                }

                const float db = magnitude > 0.0f ? 20.0f * std::log10 (magnitude / fullScale) : floorDb;
                const float position = juce::jlimit (0.0f, 1.0f, (db - floorDb) / -floorDb);
                pixels.setPixelColour (column, row, juce::Colour (colours[(size_t) (position * 255.0f)]));
            }
        }

        g.setFont (juce::Font (12.0f));
        for (const double hz : { 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0 })
        {
            if (hz > highestHz (content.sampleRate))
                continue;

            const float y = (float) spectrumArea.getY() + rowForHz (hz, content.sampleRate, rows);
            g.setColour (juce::Colours::white.withAlpha (0.12f));
            g.drawHorizontalLine ((int) y, (float) spectrumArea.getX(), (float) spectrumArea.getRight());
            g.setColour (dimText);
            const auto label = hz >= 1000.0 ? juce::String (hz / 1000.0) + "k" : juce::String ((int) hz);
            g.drawText (label, 0, (int) y - 7, plotLeft - 8, 14, juce::Justification::centredRight);
        }

        drawBarGrid (g, spectrumArea, content, false);

        g.setColour (text);
        g.setFont (juce::Font (15.0f, juce::Font::bold));
        g.drawText ("Output spectrum", spectrumArea.getX() + 8, spectrumArea.getY() + 6, 300, 18,
                    juce::Justification::centredLeft);
    }
} // namespace

juce::Image drawPicture (const PictureContent& content)
{
    juce::Image image (juce::Image::ARGB, width, height, true, juce::SoftwareImageType());
    juce::Graphics g (image);
    g.fillAll (background);

    g.setColour (text);
    g.setFont (juce::Font (20.0f, juce::Font::bold));
    g.drawText (content.title, plotLeft, 14, plotWidth, 26, juce::Justification::centredLeft);

    g.setFont (juce::Font (13.0f));
    drawWaveform (g, inputArea, content.input, inputColour, "Input", content);
    drawWaveform (g, outputArea, content.output, outputColour, "Output", content);
    drawSpectrogram (g, image, content);

    g.setColour (dimText);
    g.setFont (juce::Font (12.0f));
    g.drawText ("bars at " + juce::String (content.bpm, 1) + " BPM", plotLeft, height - 38, plotWidth, 16,
                juce::Justification::centredRight);

    return image;
}

std::optional<Failure> writePng (const juce::File& target, const juce::Image& image)
{
    const auto failure = Failure { "cannot write '" + target.getFullPathName() + "'", exitOutput };

    juce::TemporaryFile temporary (target);
    {
        juce::FileOutputStream stream (temporary.getFile());
        juce::PNGImageFormat png;

        if (stream.failedToOpen() || ! png.writeImageToStream (image, stream))
            return failure;

        stream.flush();
        if (stream.getStatus().failed())
            return failure;
    }

    if (! temporary.overwriteTargetFileWithTemporary())
        return failure;

    return std::nullopt;
}

} // namespace tz::render
