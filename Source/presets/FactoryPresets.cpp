#include "presets/FactoryPresets.h"

#include "FactoryPresetData.h"
#include "presets/AtomicFile.h"
#include "presets/PresetFolders.h"
#include "presets/StateDocument.h"
#include "presets/XmlReader.h"

namespace tz
{

namespace
{
    struct Resource
    {
        const char* data = nullptr;
        int size = 0;
    };

    Resource resourceAt (int index)
    {
        Resource resource;
        resource.data =
            FactoryPresetData::getNamedResource (FactoryPresetData::namedResourceList[index], resource.size);
        return resource;
    }

    std::unique_ptr<juce::XmlElement> parse (const Resource& resource)
    {
        return readXml (resource.data, (size_t) resource.size);
    }

    // Never replaces a file: one there is the user's, edited or not.
    bool writeNewFile (const juce::File& target, const Resource& resource)
    {
        return target.existsAsFile()
            || (ensureFolder (target.getParentDirectory())
                && replaceFileAtomically (target, resource.data, (size_t) resource.size).wasOk());
    }
} // namespace

juce::String factoryMarkerName() { return ".factory-presets-v" + juce::String (factoryPresetSetVersion); }

std::unique_ptr<juce::XmlElement> parseFactoryPreset (const juce::String& fileName)
{
    for (int i = 0; i < FactoryPresetData::namedResourceListSize; ++i)
    {
        if (juce::String::fromUTF8 (FactoryPresetData::originalFilenames[i]) != fileName)
            continue;

        const auto resource = resourceAt (i);
        return resource.data != nullptr ? parse (resource) : nullptr;
    }

    return {};
}

std::vector<std::unique_ptr<juce::XmlElement>> factoryPresetDocuments()
{
    std::vector<std::unique_ptr<juce::XmlElement>> documents;
    for (int i = 0; i < FactoryPresetData::namedResourceListSize; ++i)
        if (auto document = parse (resourceAt (i)))
            documents.push_back (std::move (document));
    return documents;
}

bool installFactoryPresets (const juce::File& root)
{
    const auto marker = root.getChildFile (factoryMarkerName());

    if (marker.existsAsFile())
        return true;

    bool complete = true;
    for (int i = 0; i < FactoryPresetData::namedResourceListSize; ++i)
    {
        const auto resource = resourceAt (i);
        if (resource.data == nullptr)
            continue;

        const auto document = parse (resource);
        if (document == nullptr)
            continue;

        const auto target = presetFileFor (root, document->getStringAttribute (stateIds::presetCategory, "Other"),
                                           document->getStringAttribute (stateIds::presetName));
        if (target != juce::File())
            complete = writeNewFile (target, resource) && complete;
    }

    return complete && ensureFolder (root) && replaceFileAtomically (marker, juce::String()).wasOk();
}

} // namespace tz
