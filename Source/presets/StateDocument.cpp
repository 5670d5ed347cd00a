#include "presets/StateDocument.h"

#include <cmath>
#include <map>
#include <vector>

#include "presets/XmlReader.h"

namespace tz
{

namespace
{
    constexpr juce::uint32 hostBlobMagic = 0x21324356; // "VC2!"
    constexpr int hostBlobHeaderSize = 8;
} // namespace

bool isStateDocument (const juce::XmlElement& root) { return root.getTagName().equalsIgnoreCase (stateType); }

std::unique_ptr<juce::XmlElement> readHostBlob (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= hostBlobHeaderSize)
        return {};

    const auto* bytes = static_cast<const char*> (data);

    if (juce::ByteOrder::littleEndianInt (bytes) != hostBlobMagic)
        return {};

    // The stored count may claim more than the host handed over; never read past the blob.
    const auto storedLength = (juce::uint64) juce::ByteOrder::littleEndianInt (bytes + 4);
    const auto textLength = (size_t) juce::jmin (storedLength, (juce::uint64) (sizeInBytes - hostBlobHeaderSize));

    return readXml (bytes + hostBlobHeaderSize, textLength);
}

void completeStateDocument (juce::XmlElement& document)
{
    const auto& infos = allParams();
    std::map<juce::String, size_t> indexOfId;
    for (size_t p = 0; p < infos.size(); ++p)
        indexOfId[infos[p].id] = p;

    // The parameter state takes the last element with an ID and this document's reader the first: only the
    // first may stay, so that its checked value is the one that lands.
    std::vector<juce::XmlElement*> elements (infos.size(), nullptr);
    for (auto* child = document.getFirstChildElement(); child != nullptr;)
    {
        auto* next = child->getNextElement();
        const auto found = indexOfId.find (child->getStringAttribute (stateIds::id));

        if (found != indexOfId.end())
        {
            if (elements[found->second] == nullptr)
                elements[found->second] = child;
            else
                document.removeChildElement (child, true);
        }

        child = next;
    }

    for (size_t p = 0; p < infos.size(); ++p)
    {
        const auto& info = infos[p];
        auto* element = elements[p];

        if (element == nullptr)
        {
            element = document.createNewChildElement (paramTag);
            element->setAttribute (stateIds::id, info.id);
            element->setAttribute (stateIds::value, info.def);
        }
        else if (! element->hasAttribute (stateIds::value.toString())
                 || ! std::isfinite (element->getDoubleAttribute (stateIds::value.toString())))
        {
            element->setAttribute (stateIds::value, info.def);
        }
    }
}

float presetValueFor (const juce::ValueTree& preset, const ParamInfo& info)
{
    const auto child = preset.getChildWithProperty (stateIds::id, info.id);

    if (! child.hasProperty (stateIds::value))
        return info.def;

    const auto value = (float) child[stateIds::value].toString().getDoubleValue();
    return std::isfinite (value) ? value : info.def;
}

std::unique_ptr<juce::XmlElement> readPresetFile (const juce::File& file)
{
    auto document = readXmlFile (file);

    if (document == nullptr || ! isStateDocument (*document))
        return {};

    return document;
}

juce::XmlElement initPatchDocument()
{
    juce::XmlElement document (stateType);
    document.setAttribute (stateIds::presetName, "Init");
    return document;
}

} // namespace tz
