#include "Options.h"

#include <algorithm>

#include "ui/WindowSize.h"

namespace tz::render
{

namespace
{
    Failure usageError (const juce::String& message) { return { message + " (see --help)", exitUsage }; }

    juce::String materialList()
    {
        juce::StringArray names;
        for (const auto material : allMaterials)
            names.add (materialName (material));
        return names.joinIntoString (", ");
    }

    // A number that is the whole of `text`: "12", "-3.5", "1e3"; trailing junk is rejected.
    std::optional<double> parseNumber (const juce::String& text)
    {
        const auto trimmed = text.trim();
        if (trimmed.isEmpty())
            return std::nullopt;

        const auto utf8 = trimmed.toStdString();
        char* end = nullptr;
        const double value = std::strtod (utf8.c_str(), &end);

        if (end != utf8.c_str() + utf8.size() || ! std::isfinite (value))
            return std::nullopt;

        return value;
    }

    std::optional<Failure> readNumber (const juce::String& option, const juce::String& text, double low, double high,
                                       double& result)
    {
        const auto value = parseNumber (text);

        if (! value)
            return usageError (option + " needs a number, not '" + text + "'");

        if (*value < low || *value > high)
            return usageError (option + " must lie between " + juce::String (low) + " and " + juce::String (high));

        result = *value;
        return std::nullopt;
    }

    std::optional<Failure> readWholeNumber (const juce::String& option, const juce::String& text, int low, int high,
                                            int& result)
    {
        double value = 0.0;
        if (auto failure = readNumber (option, text, low, high, value))
            return failure;

        if (value != std::floor (value))
            return usageError (option + " needs a whole number, not '" + text + "'");

        result = (int) value;
        return std::nullopt;
    }

    int editDistance (const juce::String& a, const juce::String& b)
    {
        const auto s = a.toLowerCase(), t = b.toLowerCase();
        std::vector<int> row ((size_t) t.length() + 1);

        for (size_t j = 0; j < row.size(); ++j)
            row[j] = (int) j;

        for (int i = 1; i <= s.length(); ++i)
        {
            int diagonal = row[0];
            row[0] = i;

            for (int j = 1; j <= t.length(); ++j)
            {
                const int above = row[(size_t) j];
                const int cost = s[i - 1] == t[j - 1] ? 0 : 1;
                row[(size_t) j] = std::min ({ above + 1, row[(size_t) j - 1] + 1, diagonal + cost });
                diagonal = above;
            }
        }

        return row.back();
    }
} // namespace

std::optional<Failure> parseArguments (const juce::StringArray& args, const juce::File& workingDirectory,
                                       Options& options)
{
    const auto resolve = [&workingDirectory] (const juce::String& path)
    { return workingDirectory.getChildFile (path.startsWith ("~") ? juce::File (path).getFullPathName() : path); };

    for (int i = 0; i < args.size(); ++i)
    {
        auto option = args[i];
        juce::String inlineValue;
        bool hasInlineValue = false;

        if (option.startsWith ("--") && option.containsChar ('='))
        {
            inlineValue = option.fromFirstOccurrenceOf ("=", false, false);
            option = option.upToFirstOccurrenceOf ("=", false, false);
            hasInlineValue = true;
        }

        std::optional<Failure> missingValue;
        const auto value = [&]() -> juce::String
        {
            if (hasInlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            missingValue = usageError (option + " needs a value");
            return {};
        };

        std::optional<Failure> failure;

        if (option == "--help" || option == "-h")
            options.help = true;
        else if (option == "--list")
            options.list = true;
        else if (option == "--bench")
            options.bench = true;
        else if (option == "--no-latency-comp")
            options.compensateLatency = false;
        else if (option == "--preset")
            options.preset = value();
        else if (option == "--state")
            options.state = resolve (value());
        else if (option == "--out")
            options.output = resolve (value());
        else if (option == "--png")
            options.png = resolve (value());
        else if (option == "--install-pack")
            options.packToInstall = resolve (value());
        else if (option == "--ui")
            options.ui = resolve (value());
        else if (option == "--page")
        {
            const auto page = value();
            if (! missingValue)
            {
                if (page == "modulators")
                    options.uiPage = EditorPage::modulators;
                else if (page == "grid")
                    options.uiPage = EditorPage::grid;
                else if (page == "browser")
                    options.uiPage = EditorPage::browser;
                else
                    failure = usageError ("--page is 'modulators', 'grid' or 'browser', not '" + page + "'");
            }
        }
        else if (option == "--material")
        {
            const auto name = value();
            if (! missingValue)
            {
                if (const auto material = materialNamed (name))
                    options.material = material;
                else
                    failure = usageError ("--material is one of " + materialList() + ", not '" + name + "'");
            }
        }
        else if (option == "--scale")
        {
            const auto text = value();
            double scale = 0.0;
            if (! missingValue
                && ! (failure = readNumber (option, text, tz::ui::window::minPercent / 100.0,
                                            tz::ui::window::maxPercent / 100.0, scale)))
                options.uiScale = scale;
        }
        else if (option == "--set")
        {
            const auto assignment = value();
            if (! missingValue)
            {
                if (! assignment.containsChar ('=') || assignment.startsWithChar ('='))
                    failure = usageError ("--set needs id=value, not '" + assignment + "'");
                else
                    options.overrides.push_back ({ assignment.upToFirstOccurrenceOf ("=", false, false).trim(),
                                                   assignment.fromFirstOccurrenceOf ("=", false, false).trim() });
            }
        }
        else if (option == "--bpm")
        {
            const auto text = value();
            if (! missingValue)
                failure = readNumber (option, text, 40.0, 300.0, options.bpm);
        }
        else if (option == "--rate")
        {
            const auto text = value();
            double rate = 0.0;
            if (! missingValue && ! (failure = readNumber (option, text, 8000.0, 384000.0, rate)))
                options.sampleRate = rate;
        }
        else if (option == "--block")
        {
            const auto text = value();
            if (! missingValue)
                failure = readWholeNumber (option, text, 1, 16384, options.blockSize);
        }
        else if (option == "--bars")
        {
            const auto text = value();
            int bars = 0;
            if (! missingValue && ! (failure = readWholeNumber (option, text, 1, 10000, bars)))
                options.bars = bars;
        }
        else if (option == "--seconds")
        {
            const auto text = value();
            double seconds = 0.0;
            if (! missingValue && ! (failure = readNumber (option, text, 0.001, 36000.0, seconds)))
                options.seconds = seconds;
        }
        else if (option.startsWith ("-") && option.length() > 1)
        {
            const juce::StringArray known { "--help",   "--list",    "--bench", "--no-latency-comp",
                                            "--preset", "--state",   "--out",   "--png",
                                            "--set",    "--bpm",     "--rate",  "--block",
                                            "--bars",   "--seconds", "--ui",    "--scale",
                                            "--page",   "--material" };
            const auto near = closestNames (option, known, 1);
            failure = usageError ("unknown option " + option
                                  + (near.isEmpty() ? juce::String() : "; did you mean " + near[0] + "?"));
        }
        else if (options.input != juce::File())
            failure = usageError ("only one input file can be rendered at a time");
        else
            options.input = resolve (option);

        if (missingValue)
            return missingValue;
        if (failure)
            return failure;
    }

    if (options.bars && options.seconds)
        return usageError ("give either --bars or --seconds, not both");

    if ((options.uiScale || options.uiPage) && options.ui == juce::File())
        return usageError ("--scale and --page set up the --ui picture; give --ui too");

    if (options.material && options.input != juce::File())
        return usageError ("--material is played instead of an input file; give one of them");

    if (options.preset.isNotEmpty() && options.state != juce::File())
        return usageError ("--preset and --state both set the whole patch; give one of them");

    if (options.output == juce::File() && ! options.list && ! options.bench && options.packToInstall == juce::File())
        options.output = options.usesMaterial()
            ? workingDirectory.getChildFile ("tazzle-" + materialName (options.chosenMaterial()) + ".wav")
            : options.input.getSiblingFile (options.input.getFileNameWithoutExtension() + "-tazzle.wav");

    return std::nullopt;
}

juce::String usageText()
{
    juce::String materials;
    for (const auto material : allMaterials)
        materials << "                          " << materialName (material).paddedRight (' ', 6)
                  << materialDescription (material) << "\n";

    return R"(usage: tazzle-render [INPUT.wav] [options]

Runs audio through Tazzle exactly as a host would and writes a 24-bit WAV.
Without INPUT it plays a generated material, by default the demo loop.

  --material NAME       play a generated material instead of INPUT:
)" + materials
        + R"(  --preset NAME|FILE    a factory preset by name (any case) or a .tzpreset file
  --state FILE          a host-state blob saved by a host
  --set ID=VALUE        set one parameter after the preset, as an edit in the
                        window would (undoable there; repeatable)
  --bpm N               host tempo, 40..300 (default 120)
  --rate HZ             sample rate (default: the input's, or 48000)
  --block N             host block size (default 512)
  --bars N              length in bars (material default 8; an input is cut
  --seconds S           length in seconds      or padded with silence to fit)
  --out FILE            output WAV (default tazzle-MATERIAL.wav, or INPUT-tazzle.wav)
  --png FILE            also draw the waveforms and a spectrogram
  --ui FILE             also draw the plug-in window as it looks after the render
  --scale S             the window's scale for --ui, 0.6..1.25 (default: the
                        patch's stored scale, or 0.85)
  --page PAGE           what --ui shows: modulators (default), grid or browser
                        (the preset browser open over the effects)
  --no-latency-comp     keep the plug-in latency in the output
  --list                list the factory presets by category, then your own
                        presets and installed packs
  --install-pack FILE   install a .tzpack preset pack into your preset folder
  --bench               measure CPU use for a few patches
)";
}

juce::StringArray closestNames (const juce::String& typed, const juce::StringArray& candidates, int maxCount)
{
    std::vector<std::pair<int, juce::String>> scored;

    for (const auto& candidate : candidates)
    {
        // A typed fragment of a longer name ("hall" in "Infinite Hall") counts as close.
        const bool contains = typed.length() >= 3 && candidate.containsIgnoreCase (typed);
        const int distance = contains ? 0 : editDistance (typed, candidate);
        scored.emplace_back (distance, candidate);
    }

    std::stable_sort (scored.begin(), scored.end(), [] (const auto& a, const auto& b) { return a.first < b.first; });

    // Beyond a third of the length a "suggestion" is just another name; and only the best few are worth showing.
    const int best = scored.empty() ? 0 : scored.front().first;
    const int limit = juce::jmin (juce::jmax (2, typed.length() / 3), best + 1);
    juce::StringArray result;

    for (const auto& [distance, name] : scored)
        if (distance <= limit && result.size() < maxCount)
            result.add (name);

    return result;
}

} // namespace tz::render
