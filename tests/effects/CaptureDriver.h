#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include <juce_core/juce_core.h>

#include "core/ChunkSize.h"
#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/EffectTestSignals.h"

namespace tz::test
{

using Channels = std::vector<Signal>;

// Drives one capture effect the way the slot does: chunks of at most a chunk, each with a transport
// whose beat position has advanced by the samples already played. Triggers land on chunk starts.
template <typename Effect>
class CaptureDriver
{
public:
    CaptureDriver (double sampleRateToUse, double bpm, double firstBeat, int numChannelsToUse)
        : sampleRate (sampleRateToUse)
        , numChannels (numChannelsToUse)
    {
        transport.bpm = bpm;
        transport.samplesPerBeat = samplesPerBeatFor (sampleRate, bpm);
        transport.ppq = firstBeat;
        transport.isPlaying = true;
        startBeat = firstBeat;
        effect.prepare (sampleRate, numChannels);
    }

    // Writes audio into the buffer as the sleeping slot does; the song position moves on.
    void record (const Channels& input)
    {
        forEachChunk (input, [this] (float* const* chunk, int n) { effect.record (chunk, numChannels, n); });
    }

    Channels process (const Channels& input)
    {
        return forEachChunk (
            input, [this] (float* const* chunk, int n) { effect.process (chunk, numChannels, n, values, transport); });
    }

    Signal process (const Signal& mono) { return process (Channels { mono })[0]; }
    void record (const Signal& mono) { record (Channels { mono }); }

    Effect effect;
    ParamValues values = defaultParamValues();
    Transport transport;
    double sampleRate;
    int numChannels;

private:
    double startBeat = 0.0;
    long long played = 0;

    template <typename Body>
    Channels forEachChunk (const Channels& input, Body&& body)
    {
        Channels output = input;
        const int length = (int) input[0].size();

        for (int offset = 0; offset < length; offset += chunkSize)
        {
            const int n = std::min (chunkSize, length - offset);
            float* chunk[2] = { output[0].data() + offset, output[(size_t) (numChannels - 1)].data() + offset };
            body (chunk, n);
            played += n;
            transport.ppq = startBeat + (double) played / transport.samplesPerBeat; // no drift from summing
        }
        return output;
    }
};

} // namespace tz::test
