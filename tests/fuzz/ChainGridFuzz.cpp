// The stored chain order and grid texts: any text decodes to a permutation and to well-formed rows, and what
// is decoded encodes to text that decodes to the same thing.
#include "FuzzSupport.h"
#include "presets/XmlReader.h"

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    tz::fuzz::initialiseOnce();
    // The texts come from XML attributes, so they are always valid text.
    const auto* bytes = reinterpret_cast<const char*> (data);
    if (! tz::isStrictUtf8 (bytes, size))
        return 0;
    const auto text = juce::String::fromUTF8 (bytes, (int) size);

    const auto order = tz::decodeChainOrder (text);
    tz::fuzz::requireValidOrder (order);
    tz::fuzz::require (tz::decodeChainOrder (tz::encodeChainOrder (order)) == order, "order does not round-trip");

    const auto grid = tz::decodeGrid (text);
    tz::fuzz::requireValidGrid (grid);
    tz::fuzz::require (tz::decodeGrid (tz::encodeGrid (grid)) == grid, "grid does not round-trip");
    return 0;
}
