#pragma once

#include <array>
#include <cstdint>

#include "core/Parameters.h"

namespace tz
{

// The LFO shapes and the step shapes, as their choice parameters number them.
namespace lfoShape
{
    constexpr int sine = 0, triangle = 1, sawUp = 2, sawDown = 3, square = 4, random = 5, smoothRandom = 6, count = 7;
}

namespace stepShape
{
    constexpr int square = 0, rampDown = 1, rampUp = 2, curve = 3, glide = 4, count = 5;
}

// The value of a step of `shape` at `through` (0..1) of the step, from its level towards the next step's.
double stepShapeValue (int shape, double level, double nextLevel, double through) noexcept;

// The X axis of the XY pad falls into numXySpeeds equal zones, each a speed factor for the modulators that
// follow it.
constexpr int numXySpeeds = 5;
int xySpeedZone (float x) noexcept;
float xySpeedOfZone (int zone) noexcept;
// Speed factor of the modulators that follow the XY pad, for the pad's X value (0..100).
float xySpeedFor (float x) noexcept;

// The value of LFO cycle `cycle` of a Random shape: a hash of cycle and modulator, in [0, 1).
double modRandom (int modulator, std::int64_t cycle) noexcept;

// Where a step sequencer stands at `position` (in steps): the step it plays (not yet wrapped at the
// length) and how far through that step it is. Swing lengthens the first step of every pair.
struct StepPosition
{
    std::int64_t step;
    double fraction;
};

StepPosition stepPositionAt (double position, float swingPercent) noexcept;

// The step modulator m plays at `beat` (0 .. its length - 1) and how far through that step it is (0..1).
struct PlayingStep
{
    int step;
    double through;
};

PlayingStep playingStepAt (const ParamValues& values, int modulator, double beat, float xySpeed) noexcept;

bool followsXY (const ParamValues& values, int modulator) noexcept;

// Modulator m's unsmoothed value (0..1) at `beat`. `xySpeed` shortens its cycle only when it follows XY.
// There is no phase state: the value is a pure function of the song position.
double modulatorValue (const ParamValues& values, int modulator, double beat, float xySpeed) noexcept;

// One-pole coefficient of the output smoother for one chunk; 1 when smoothing is off.
float modSmoothingCoefficient (float smoothPercent, int numSamples, double sampleRate) noexcept;

// Evaluates all four modulators at `beat` (the chunk's end) and moves their smoothed outputs.
void advanceModulators (const ParamValues& values, double beat, int numSamples, double sampleRate, float xyX,
                        std::array<float, numModulators>& outputs) noexcept;

} // namespace tz
