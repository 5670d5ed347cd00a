#pragma once

#include <array>
#include <cstddef>

namespace tz
{

// Hann window 0.5 - 0.5 cos (2 pi n / length) from unit phasors, so that a grain costs a few cos and sin calls
// when it starts instead of one per sample. Four lanes hold samples 4q .. 4q + 3 and move on together by a
// rotation of four steps: readers taking several samples at a time get exactly what single reads get.
struct HannWindow
{
    static constexpr int numLanes = 4;

    std::array<double, numLanes> cosLanes {}, sinLanes {};
    double cosFourSteps = 1.0, sinFourSteps = 0.0;

    void start (double length) noexcept;

    // Sample n's value, for n in the current group of four.
    double value (int n) const noexcept { return 0.5 - 0.5 * cosLanes[(std::size_t) (n & (numLanes - 1))]; }

    void nextFour() noexcept
    {
        for (std::size_t k = 0; k < numLanes; ++k)
        {
            const double c = cosLanes[k] * cosFourSteps - sinLanes[k] * sinFourSteps;
            sinLanes[k] = sinLanes[k] * cosFourSteps + cosLanes[k] * sinFourSteps;
            cosLanes[k] = c;
        }
    }
};

// One grain's reads from a stereo layer of the capture buffer into the chunk's cloud. Read n of the grain is at
// buffer position origin + n * rate, wrapped into the buffer (a grain never reaches more than a lap beyond its
// origin), interpolated by Catmull-Rom on both channels and scaled by the window and the pan gains.
struct GrainReads
{
    const float* left;
    const float* right;
    int size; // of the buffer
    float* outLeft;
    float* outRight;
    double origin, rate;
    float gainLeft, gainRight;
    HannWindow& window;

    // How the reads are made: one at a time, or several at a time with an instruction set. Every way gives
    // the same output, bit for bit; one the processor lacks falls back to the next narrower.
    enum class Width
    {
        one,
        sse2,
        avx2,
        avx512,
        best
    };

    // Adds reads age .. age + count - 1 into cloud samples s .. s + count - 1.
    void add (int s, int age, int count, Width width = Width::best) const noexcept;

    // Whether `width` runs as itself here rather than falling back.
    static bool runsAsItself (Width width) noexcept;
};

} // namespace tz
