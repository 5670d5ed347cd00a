#include "Patch.h"

#include "presets/FactoryPresets.h"
#include "presets/PresetLibrary.h"
#include "presets/StateDocument.h"
#include "presets/XmlReader.h"
#include "ui/HostWrites.h"

namespace tz::render
{

namespace
{
    constexpr const char* initName = "Init";

    // Numbers for every kind; switches also take on/off words and choices their labels.
    std::optional<float> readParameterValue (const ParamInfo& info, const juce::String& text)
    {
        if (info.kind == ParamKind::Bool)
        {
            if (juce::StringArray { "on", "true", "yes" }.contains (text, true))
                return 1.0f;
            if (juce::StringArray { "off", "false", "no" }.contains (text, true))
                return 0.0f;
        }

        if (info.kind == ParamKind::Choice)
        {
            const int label = juce::StringArray::fromTokens (info.choices, "|", {}).indexOf (text, true);
            if (label >= 0)
                return (float) label;
        }

        const auto utf8 = text.toStdString();
        char* end = nullptr;
        const float value = std::strtof (utf8.c_str(), &end);

        if (utf8.empty() || end != utf8.c_str() + utf8.size() || ! std::isfinite (value))
            return std::nullopt;

        return value;
    }

    juce::String describeValues (const ParamInfo& info)
    {
        const auto range = "a number from " + juce::String (info.min) + " to " + juce::String (info.max);

        if (info.kind == ParamKind::Bool)
            return "0 or 1, on or off";
        if (info.kind == ParamKind::Choice)
            return range + " or one of " + juce::StringArray::fromTokens (info.choices, "|", {}).joinIntoString (", ");
        return range;
    }
} // namespace

std::vector<FactoryPreset> factoryPresets()
{
    std::vector<FactoryPreset> presets;

    for (const auto& xml : factoryPresetDocuments())
        presets.push_back (
            { xml->getStringAttribute (stateIds::presetName), xml->getStringAttribute (stateIds::presetCategory) });

    const auto& categories = TazzleAudioProcessor::presetCategories();
    const auto rank = [&categories] (const FactoryPreset& p)
    {
        const int index = categories.indexOf (p.category);
        return index < 0 ? categories.size() : index;
    };
    std::stable_sort (presets.begin(), presets.end(),
                      [&rank] (const FactoryPreset& a, const FactoryPreset& b) { return rank (a) < rank (b); });
    return presets;
}

namespace
{
    // Folder and file names made by hand or by older installs may hold control characters; a terminal would obey them.
    juce::String printable (const juce::String& name)
    {
        juce::String text;
        for (const auto c : name)
            text += c < 0x20 || c == 0x7f ? juce::juce_wchar ('?') : c;
        return text;
    }
} // namespace

juce::String presetListing()
{
    juce::String listing;
    juce::String category;
    bool first = true;

    for (const auto& preset : factoryPresets())
    {
        if (first || preset.category != category)
        {
            category = preset.category;
            listing << (first ? "" : "\n") << (category.isEmpty() ? juce::String ("Other") : category) << "\n";
            first = false;
        }

        listing << "  " << preset.name << "\n";
    }

    // The user's own presets and the installed packs, as the preset menu shows them.
    juce::String shownPack = "-";
    for (const auto& entry : PresetLibrary (TazzleAudioProcessor::presetFolder()).scan())
    {
        if (entry.pack != shownPack)
        {
            shownPack = entry.pack;
            listing << "\n"
                    << (shownPack.isEmpty() ? juce::String ("Your presets") : "Pack: " + printable (shownPack)) << "\n";
        }
        listing << "  " << entry.category << " / " << printable (entry.name()) << "\n";
    }

    return listing;
}

std::optional<Failure> installPack (const juce::File& pack, juce::String& report)
{
    const auto installation = PresetLibrary (TazzleAudioProcessor::presetFolder()).installPack (pack);
    report = installation.message (pack).replace ("\n\n", " ");
    if (installation.succeeded() && installation.notWritten == 0)
        return std::nullopt;
    // A preset that could not be written is lost work, even when others were installed.
    return Failure { report, installation.notWritten > 0 ? exitOutput : exitInput };
}

std::optional<Failure> applyPreset (TazzleAudioProcessor& processor, const juce::String& nameOrFile,
                                    const juce::File& workingDirectory)
{
    if (nameOrFile.endsWithIgnoreCase (".tzpreset"))
    {
        const auto file = workingDirectory.getChildFile (nameOrFile);
        const auto name = "'" + file.getFullPathName() + "'";

        if (! file.existsAsFile())
            return Failure { "preset file " + name + " does not exist", exitInput };

        const auto xml = readXmlFile (file);
        if (xml == nullptr || ! isStateDocument (*xml))
            return Failure { "preset file " + name + " is not a Tazzle preset", exitInput };

        processor.loadPresetFile (file);
        return std::nullopt;
    }

    if (nameOrFile.equalsIgnoreCase (initName))
    {
        processor.resetToInit();
        return std::nullopt;
    }

    // Factory presets first, then the user's folders and the installed packs in list order.
    for (const auto& xml : factoryPresetDocuments())
    {
        if (xml->getStringAttribute (stateIds::presetName).equalsIgnoreCase (nameOrFile.trim()))
        {
            processor.loadPreset (*xml);
            return std::nullopt;
        }
    }

    const PresetLibrary library (TazzleAudioProcessor::presetFolder());
    if (const auto entry = library.findByName (nameOrFile))
    {
        if (processor.loadPresetFile (entry->file))
            return std::nullopt;
        return Failure { "preset '" + nameOrFile + "': its file '" + entry->file.getFullPathName()
                             + "' can't be read as a Tazzle preset",
                         exitInput };
    }

    juce::StringArray names { initName };
    for (const auto& preset : factoryPresets())
        names.add (preset.name);
    for (const auto& entry : library.scan())
        names.add (entry.name());

    const auto suggestions = closestNames (nameOrFile, names);
    return Failure { "unknown preset '" + nameOrFile + "'"
                         + (suggestions.isEmpty() ? juce::String ("; --list shows them all")
                                                  : "; did you mean '" + suggestions.joinIntoString ("', '") + "'?"),
                     exitUsage };
}

std::optional<Failure> applyOverrides (TazzleAudioProcessor& processor, const std::vector<ParameterOverride>& overrides,
                                       juce::StringArray& warnings)
{
    const auto& infos = allParams();

    for (const auto& change : overrides)
    {
        const auto found =
            std::find_if (infos.begin(), infos.end(), [&] (const ParamInfo& info) { return info.id == change.id; });

        if (found == infos.end())
        {
            juce::StringArray ids;
            for (const auto& info : infos)
                ids.add (info.id);

            const auto suggestions = closestNames (change.id, ids);
            return Failure { "unknown parameter '" + change.id + "'"
                                 + (suggestions.isEmpty()
                                        ? juce::String()
                                        : "; did you mean " + suggestions.joinIntoString (", ") + "?"),
                             exitUsage };
        }

        const auto value = readParameterValue (*found, change.value);
        if (! value)
            return Failure { "--set " + change.id + ": '" + change.value + "' is not a value of it; give "
                                 + describeValues (*found),
                             exitUsage };

        const float clamped = juce::jlimit (found->min, found->max, *value);
        if (clamped != *value)
            warnings.add ("--set " + change.id + "=" + change.value + " is outside " + juce::String (found->min) + ".."
                          + juce::String (found->max) + "; using " + juce::String (clamped));

        // As the user's own edit, so the window drawn afterwards offers to undo it.
        tz::ui::setAsGesture (processor, (int) std::distance (infos.begin(), found), clamped);
    }

    return std::nullopt;
}

std::optional<Failure> applyState (TazzleAudioProcessor& processor, const juce::File& file)
{
    const auto name = "'" + file.getFullPathName() + "'";

    if (! file.existsAsFile())
        return Failure { "state file " + name + " does not exist", exitInput };

    juce::MemoryBlock blob;
    if (! file.loadFileAsData (blob))
        return Failure { "cannot read state file " + name, exitInput };

    auto xml = juce::AudioProcessor::getXmlFromBinary (blob.getData(), (int) blob.getSize());

    if (xml == nullptr)
    {
        // Not a host blob: a plain state document saved as text is accepted too.
        xml = juce::parseXML (blob.toString());
        if (xml == nullptr || ! isStateDocument (*xml))
            return Failure { "state file " + name + " is neither a Tazzle host state nor a state document", exitInput };

        juce::AudioProcessor::copyXmlToBinary (*xml, blob);
    }
    else if (! isStateDocument (*xml))
    {
        return Failure { "state file " + name + " holds the state of another plug-in", exitInput };
    }

    processor.setStateInformation (blob.getData(), (int) blob.getSize());
    return std::nullopt;
}

} // namespace tz::render
