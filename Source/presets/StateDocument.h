#pragma once

#include <memory>

#include <juce_data_structures/juce_data_structures.h>

#include "core/Parameters.h"

namespace tz
{

// Root attributes of the state document that are not host parameters.
namespace stateIds
{
    inline const juce::Identifier presetName { "presetName" };
    inline const juce::Identifier presetCategory { "presetCategory" };
    inline const juce::Identifier presetPack { "presetPack" };
    inline const juce::Identifier chainOrder { "chainOrder" };
    inline const juce::Identifier grid { "grid" };
    inline const juce::Identifier locked { "locked" };
    inline const juce::Identifier folded { "folded" };
    inline const juce::Identifier uiScale { "uiScale" };
    inline const juce::Identifier id { "id" };
    inline const juce::Identifier value { "value" };
} // namespace stateIds

inline constexpr const char* stateType = "Tazzle";
inline constexpr const char* paramTag = "PARAM";

// True when the root tag names a state document (case is not significant).
bool isStateDocument (const juce::XmlElement& root);

// The document inside a host blob: "VC2!", a little-endian text length, the UTF-8 text. Null when unusable.
std::unique_ptr<juce::XmlElement> readHostBlob (const void* data, int sizeInBytes);

// Gives every parameter of the table a usable value: missing elements are appended with the default,
// missing or non-finite values are replaced by it, and later elements with the ID of an earlier one are removed.
// Unknown elements stay as they are.
void completeStateDocument (juce::XmlElement& document);

// The plain value a preset assigns to a parameter: the first child with its ID, read as a float, or the
// default when there is no such child, no "value" or no finite number.
float presetValueFor (const juce::ValueTree& preset, const ParamInfo& info);

// The state document in a preset file; null when the file is not a regular file within the XML reader's limits,
// does not parse or holds another root.
std::unique_ptr<juce::XmlElement> readPresetFile (const juce::File& file);

// The init patch: a document that only names itself "Init", so everything else falls back to defaults.
juce::XmlElement initPatchDocument();

} // namespace tz
