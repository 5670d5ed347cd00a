#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace tz
{

// One chunk's view of the musical clock. Time in the engine is counted in beats (quarter notes).
struct Transport
{
    double bpm = 120.0;
    double ppq = 0.0;
    double samplesPerBeat = 22050.0;
    bool isPlaying = false;

    double beatAt (int sampleOffset) const noexcept { return ppq + sampleOffset / samplesPerBeat; }
};

// Which span of `lengthBeats` each sample of a chunk falls in: floor (beatAt (i) / lengthBeats), NaN where the
// clock is not finite. The clock only moves forward, so when the chunk's first and last samples share a span,
// every sample between does too, and the per-sample division is skipped.
class ChunkSpans
{
public:
    ChunkSpans (const Transport& chunkTransport, double lengthBeats, int numSamples) noexcept
        : transport (chunkTransport)
        , length (lengthBeats)
        , first (std::floor (transport.beatAt (0) / length))
    {
        const double last = std::floor (transport.beatAt (numSamples - 1) / length);
        oneSpan = std::isfinite (first) && first == last;
    }

    double at (int sampleOffset) const noexcept
    {
        return oneSpan ? first : std::floor (transport.beatAt (sampleOffset) / length);
    }

private:
    const Transport& transport;
    double length, first;
    bool oneSpan = false;
};

constexpr double defaultBpm = 120.0;
constexpr double minBpm = 40.0;
constexpr double maxBpm = 300.0;
constexpr double beatsPerBar = 4.0;

inline double clampTempo (double bpm) noexcept { return bpm < minBpm ? minBpm : (bpm > maxBpm ? maxBpm : bpm); }

inline double samplesPerBeatFor (double sampleRate, double bpm) noexcept { return sampleRate * 60.0 / bpm; }

inline constexpr std::array<double, 16> modRateBeats {
    0.0625, 0.125, 1.0 / 6.0, 0.25, 0.375, 1.0 / 3.0, 0.5, 0.75, 2.0 / 3.0, 1.0, 1.5, 2.0, 4.0, 8.0, 16.0, 32.0
};
inline constexpr std::array<double, 13> delayTimeBeats { 0.125,     1.0 / 6.0, 0.25, 0.375, 1.0 / 3.0, 0.5, 0.75,
                                                         2.0 / 3.0, 1.0,       1.5,  2.0,   3.0,       4.0 };
inline constexpr std::array<double, 6> stutterLengthBeats { 0.0625, 0.125, 0.25, 0.5, 1.0, 2.0 };
inline constexpr double stutterHoldFree = -1.0;
inline constexpr std::array<double, 6> stutterHoldBeats { 0.25, 0.5, 1.0, 2.0, 4.0, stutterHoldFree };
inline constexpr std::array<double, 6> tapeTimeBeats { 0.25, 0.5, 1.0, 2.0, 4.0, 8.0 };
inline constexpr std::array<double, 5> reverseLengthBeats { 0.25, 0.5, 1.0, 2.0, 4.0 };

// A choice value as a safe table index: rounded to the nearest whole number and clamped.
inline int choiceIndex (float value, int tableSize) noexcept
{
    if (! (value > 0.0f)) // negative, zero or NaN
        return 0;
    if (value >= (float) tableSize)
        return tableSize - 1;
    const auto index = (int) (value + 0.5f); // called per chunk and per sample: no libm call
    return index < tableSize ? index : tableSize - 1;
}

template <typename Table>
double lookupBeats (const Table& table, float choice) noexcept
{
    return table[(size_t) choiceIndex (choice, (int) table.size())];
}

// A position in beats, steps or cycles as the counts below can take it. A host may report any finite position,
// and one divided by a short length may even overflow: beyond +-2^62, where every double is a whole number and
// a 64-bit count still has room to move on, the position is held there; NaN counts as 0.
inline double countablePosition (double position) noexcept
{
    constexpr double farthest = 0x1p62;
    if (std::isnan (position))
        return 0.0;
    return position > farthest ? farthest : (position < -farthest ? -farthest : position);
}

// floor (position) as a 64-bit count, defined for every position.
inline std::int64_t wholeCount (double position) noexcept
{
    return (std::int64_t) std::floor (countablePosition (position));
}

// The step that `position` falls in, for steps of `lengthBeats`, wrapped into 0..steps-1 (negative positions too).
inline int stepIndex (double position, double lengthBeats, int steps) noexcept
{
    const auto index = wholeCount (position / lengthBeats);
    return (int) (((index % steps) + steps) % steps);
}

} // namespace tz
