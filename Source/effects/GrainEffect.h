#pragma once

#include <array>
#include <cstdint>

#include "core/ChunkSize.h"
#include "core/GainRamp.h"
#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/GrainReads.h"
#include "effects/Memo.h"
#include "effects/RecordBuffer.h"

namespace tz
{

// The 48-bit linear congruential generator of POSIX drand48, kept here so that the grain sequence is the
// same on every platform and the audio thread never touches the C library's shared state.
class Rand48
{
public:
    void seed (std::uint64_t value) noexcept { state = value & mask; }

    // Advances once and returns the new 48-bit state.
    std::uint64_t next() noexcept
    {
        state = (state * 0x5DEECE66Dull + 11u) & mask;
        return state;
    }

    // Advances once; bits 16..47 of the new state as a fraction in [0, 1).
    double uniform() noexcept { return (double) (std::uint32_t) (next() >> 16) / 4294967296.0; }

private:
    static constexpr std::uint64_t mask = (1ull << 48) - 1;
    std::uint64_t state = 0;
};

// Granular cloud drawn from the recent input. Turns the chunk into its pure wet signal; the slot mixes.
class GrainEffect
{
public:
    static constexpr double bufferSeconds = 4.0;
    static constexpr int maxGrains = 48;
    static constexpr std::uint64_t randomSeed = 0x5EED;

    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;
    void process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

    // Keeps the capture buffer current while the effect sleeps.
    void record (const float* const* channels, int numChannels, int numSamples) noexcept;

    const RecordBuffer& buffer() const noexcept { return recordBuffer; }

    int activeGrainCount() const noexcept;

private:
    enum class Mode
    {
        forward,
        reverse,
        both,
        freeze
    };

    struct Grain
    {
        bool active = false;
        double origin = 0.0; // buffer position of the first read
        double rate = 1.0;   // buffer samples per output sample, negative backward
        int age = 0;         // reads done; read n is at origin + n * rate, wrapped
        double length = 0.0;
        float gainLeft = 1.0f, gainRight = 1.0f;
        int layer = 0;
        HannWindow window;
    };

    struct GrainSettings
    {
        Mode mode;
        double rate, length, maxSprayOffset, forwardLead, backwardSpan;
    };

    // A grain due to start at `sample` of the current chunk, in pool slot `slot`.
    struct PendingSpawn
    {
        int slot, sample;
        Grain grain;
    };

    void processChunk (float* left, float* right, int numSamples, const ParamValues& values) noexcept;
    void writeChunk (const float* left, const float* right, int numSamples) noexcept;
    int scheduleSpawns (const GrainSettings& settings, double interval, int numSamples) noexcept;
    void startGrain (Grain& grain, const GrainSettings& settings, int writeIndex) noexcept;
    void playGrain (Grain& grain, int from, int to) noexcept;
    double wrapPosition (double position) const noexcept;

    double sampleRate = 44100.0;
    RecordBuffer recordBuffer;
    std::array<Grain, maxGrains> grains {};
    std::array<PendingSpawn, chunkSize> pendingSpawns {};
    std::array<float, chunkSize> cloudLeft {}, cloudRight {};
    Rand48 random;
    double spawnCountdown = 0.0;
    int lastWriteIndex = 0;
    int recordedSamples = 0; // written since preparation, up to the capacity: how far back the input reaches
    float dcInLeft = 0.0f, dcInRight = 0.0f;
    float dcOutLeft = 0.0f, dcOutRight = 0.0f; // also the output fed back into the buffer
    float dcCoefficient = 1.0f;
    LinearRamp feedbackAmount; // per sample: a jump would write a step into the buffer for every grain to replay
    Memo<double> rateOfPitch;
};

} // namespace tz
