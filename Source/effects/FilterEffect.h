#pragma once

#include <array>

#include "core/ChunkSize.h"
#include "core/GainRamp.h"
#include "core/Parameters.h"
#include "core/Transport.h"
#include "effects/Memo.h"

namespace tz
{

// Low, high or band pass state-variable filter. Turns the chunk into its pure wet signal; the slot mixes.
class FilterEffect
{
public:
    void prepare (double sampleRate, int numChannels);
    void reset() noexcept;
    void process (float* const* channels, int numChannels, int numSamples, const ParamValues& values,
                  const Transport& transport) noexcept;

private:
    static constexpr int maxChannels = 2;
    static constexpr int noType = -1;
    static constexpr int maxPiece = chunkSize; // a chunk in one piece

    double sampleRate = 44100.0;
    float smoothCoef = 0.0f;
    float typeStep = 1.0f;

    // Low pass, high pass, band pass; they sum to 1 outside a type change.
    std::array<float, 3> typeWeights {};
    int rememberedType = noType;

    // First and second integrator of each channel.
    std::array<std::array<float, 2>, maxChannels> integrators {};
    Memo<float> dampingOfResonance;

    GainRamp logCutoff; // natural log of the cutoff in Hz
    GainRamp damping;   // k = 1 / Q
};

} // namespace tz
