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

// A host blob around any text, well-formed or not.
inline juce::MemoryBlock blobOfText (const juce::String& text)
{
    juce::MemoryBlock blob;
    juce::MemoryOutputStream out (blob, false);
    out.writeInt (0x21324356); // "VC2!"
    out.writeInt ((int) text.getNumBytesAsUTF8());
    out << text;
    out.writeByte (0);
    return blob;
}

// A state document holding `inner` after a mix value, e.g. markup nested or padded past the reader's limits.
inline juce::String documentAround (const juce::String& inner)
{
    return R"(<Tazzle presetName="Hostile"><PARAM id="mix" value="10"/>)" + inner + "</Tazzle>";
}

inline juce::String nestedElements (int depth)
{
    return juce::String::repeatedString ("<a>", depth) + juce::String::repeatedString ("</a>", depth);
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
