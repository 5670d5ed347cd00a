#include "engine/StepGrid.h"

#include "core/Transport.h"
#include "engine/LeadingInteger.h"

namespace tz
{

GridWords decodeGrid (const juce::String& text)
{
    const auto tokens = juce::StringArray::fromTokens (text, ",", {});
    GridWords words {};

    for (int i = 0; i < numEffects; ++i)
    {
        const auto token = i < tokens.size() ? tokens[i] : juce::String();
        const int colon = token.indexOfChar (':');
        const auto stepsText = colon >= 0 ? token.substring (0, colon) : token;
        const bool enabled = colon >= 0 && token.substring (colon + 1) == "1";

        const auto steps = (unsigned int) (readLeadingInteger (stepsText).bits() & gridStepMask);
        words[(size_t) i] = packGridRow ({ steps, enabled });
    }

    return words;
}

juce::String encodeGrid (const GridWords& words)
{
    juce::StringArray entries;
    for (const auto word : words)
        entries.add (juce::String (word & gridStepMask) + ":" + (word > gridStepMask ? "1" : "0"));
    return entries.joinIntoString (",");
}

int gridStepAt (double midBeat, float gridRateValue, float gridLengthValue) noexcept
{
    const int steps = juce::jlimit (1, maxGridSteps, (int) std::lround (gridLengthValue));
    const double stepBeats = lookupBeats (modRateBeats, gridRateValue);
    return stepIndex (midBeat, stepBeats, steps);
}

} // namespace tz
