#include "engine/ChainOrder.h"

#include "engine/LeadingInteger.h"

namespace tz
{

ChainOrder decodeChainOrder (const juce::String& text)
{
    ChainOrder order {};
    std::array<bool, numEffects> seen {};
    size_t accepted = 0;

    if (text.isNotEmpty())
    {
        for (const auto& token : juce::StringArray::fromTokens (text, ",", {}))
        {
            const auto number = readLeadingInteger (token);
            if (! number.isBelow (numEffects))
                continue;

            const auto id = (int) number.magnitude;
            if (! seen[(size_t) id] && accepted < order.size())
            {
                order[accepted++] = id;
                seen[(size_t) id] = true;
            }
        }
    }

    if (accepted == 0)
        return defaultChainOrder;

    for (const int id : defaultChainOrder)
        if (! seen[(size_t) id])
            order[accepted++] = id;

    return order;
}

juce::String encodeChainOrder (const ChainOrder& order)
{
    juce::StringArray entries;
    for (const int id : order)
        entries.add (juce::String (id));
    return entries.joinIntoString (",");
}

} // namespace tz
