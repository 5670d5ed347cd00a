#pragma once

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace tz
{

// Two equal delay lines sharing one write index; a sample is swapped in and the delayed one comes out.
class LatencyDelay
{
public:
    void prepare (int latencySamples)
    {
        length = latencySamples;
        for (auto& line : lines)
            line.assign ((size_t) (length > 0 ? length : 1), 0.0f);
        writeIndex = 0;
    }

    void clear() noexcept
    {
        for (auto& line : lines)
            std::fill (line.begin(), line.end(), 0.0f);
        writeIndex = 0;
    }

    bool isActive() const noexcept { return length > 0; }

    // Delays up to two planar channels in place; a missing channel's line is fed zeros.
    void process (float* const* channels, int numChannels, int numSamples) noexcept
    {
        for (int i = 0; i < numSamples; ++i)
        {
            for (int line = 0; line < 2; ++line)
            {
                auto& stored = lines[(size_t) line][(size_t) writeIndex];
                if (line < numChannels)
                    std::swap (channels[line][i], stored);
                else
                    stored = 0.0f;
            }

            if (++writeIndex >= length)
                writeIndex = 0;
        }
    }

private:
    std::array<std::vector<float>, 2> lines;
    int length = 0;
    int writeIndex = 0;
};

} // namespace tz
