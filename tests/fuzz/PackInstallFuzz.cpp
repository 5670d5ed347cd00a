// Preset packs: any archive installs into the preset root or not at all; nothing is written anywhere else.
#include "FuzzSupport.h"

#include "presets/PresetLibrary.h"
#include "presets/StateDocument.h"

namespace
{
// Every file below `folder` that is neither `allowedFile` nor inside `allowedFolder`.
bool writtenOutside (const juce::File& folder, const juce::File& allowedFile, const juce::File& allowedFolder)
{
    for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories))
    {
        const auto file = entry.getFile();
        if (file != allowedFile && file != allowedFolder && ! file.isAChildOf (allowedFolder))
            return true;
    }
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    tz::fuzz::sharedProcessor(); // initialises the framework
    const auto sandbox = tz::fuzz::scratchFolder ("pack");
    sandbox.deleteRecursively();
    const auto root = sandbox.getChildFile ("Presets");
    root.createDirectory();
    const auto pack = sandbox.getChildFile ("Fuzzed.tzpack");
    pack.replaceWithData (data, size);

    const auto installation = tz::PresetLibrary (root).installPack (pack);
    tz::fuzz::require (! writtenOutside (sandbox, pack, root), "pack wrote outside the preset root");
    tz::fuzz::require (installation.succeeded() == (installation.count > 0), "install outcome and count disagree");

    // What it wrote is whole presets that the list shows, and nothing else (no temporary, no hidden file).
    int onDisk = 0;
    for (const auto& entry : juce::RangedDirectoryIterator (root, true, "*", juce::File::findFiles))
    {
        tz::fuzz::require (entry.getFile().hasFileExtension (tz::presetExtension)
                               && tz::readPresetFile (entry.getFile()) != nullptr,
                           "pack left a file that is not a preset");
        ++onDisk;
    }
    tz::fuzz::require ((int) tz::PresetLibrary (root).scan().size() == onDisk, "pack left a preset the list hides");
    return 0;
}
