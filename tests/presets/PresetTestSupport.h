#pragma once

#include <cstdlib>
#include <memory>

#include <juce_audio_processors/juce_audio_processors.h>

#include "core/PluginProcessor.h"

namespace tz::test
{

// Points HOME at a fresh folder inside the current (test) HOME for the lifetime of the object, so the preset
// folder of every test starts empty. The folder is removed afterwards.
class ScopedTemporaryHome
{
public:
    ScopedTemporaryHome()
        : previous (juce::SystemStats::getEnvironmentVariable ("HOME", {}))
        , folder (juce::File::getSpecialLocation (juce::File::userHomeDirectory)
                      .getNonexistentChildFile ("tazzle-test-home", {}, false))
    {
        folder.createDirectory();
        setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
    }

    ~ScopedTemporaryHome()
    {
        setenv ("HOME", previous.toRawUTF8(), 1);
        folder.deleteRecursively();
    }

    const juce::File& path() const noexcept { return folder; }

private:
    juce::String previous;
    juce::File folder;
};

inline std::unique_ptr<juce::XmlElement> parse (const juce::String& text)
{
    auto xml = juce::parseXML (text);
    jassert (xml != nullptr);
    return xml;
}

inline juce::MemoryBlock blobOf (const juce::XmlElement& document)
{
    juce::MemoryBlock blob;
    juce::AudioProcessor::copyXmlToBinary (document, blob);
    return blob;
}

inline juce::MemoryBlock stateOf (TazzleAudioProcessor& processor)
{
    juce::MemoryBlock blob;
    processor.getStateInformation (blob);
    return blob;
}

inline void restore (TazzleAudioProcessor& processor, const juce::MemoryBlock& blob)
{
    processor.setStateInformation (blob.getData(), (int) blob.getSize());
}

inline juce::var property (TazzleAudioProcessor& processor, const char* name)
{
    return processor.getParameterState().state.getProperty (name);
}

} // namespace tz::test
