#pragma once

#include <juce_core/juce_core.h>

class TazzleAudioProcessor;

namespace tz
{

// A new patch from the init patch: two or three musical families (gates, filter moves, glitches, crushing,
// drive, grains), delay and reverb by chance, and the XY pad routed to what was made. Named "Random".
void makeRandomPatch (TazzleAudioProcessor& processor, juce::Random& random);

// Nudges the current patch: knobs of the effects that are on, a few steps of the modulators in use, perhaps one
// grid step. Mix, output, switches and choices stay. The name gets a " *" suffix, once.
void makeVariation (TazzleAudioProcessor& processor, juce::Random& random);

} // namespace tz
