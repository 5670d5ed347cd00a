#pragma once

#include <optional>
#include <vector>

#include <juce_core/juce_core.h>

#include "EditorPicture.h"
#include "Materials.h"

namespace tz::render
{

// Exit codes: scripts can tell a mistyped command from a bad file.
enum ExitCode : int
{
    exitOk = 0,
    exitUsage = 2, // bad arguments, unknown preset or parameter
    exitInput = 3, // missing, unreadable or unsupported input
    exitOutput = 4 // output would replace the input, or cannot be written
};

// A failure the user can act on: one line of text and the exit code that goes with it.
struct Failure
{
    juce::String message;
    int exitCode = exitUsage;
};

struct ParameterOverride
{
    juce::String id, value;
};

struct Options
{
    juce::File input;                 // none: a generated material
    std::optional<Material> material; // --material; the demo loop when neither this nor an input is given
    juce::File output;
    juce::File png;
    juce::File ui;                    // a picture of the plug-in window after the render
    std::optional<double> uiScale;    // the window's scale for --ui; default: the patch's stored scale
    std::optional<EditorPage> uiPage; // --page; the modulators when not given
    juce::String preset;              // a factory name or a ".tzpreset" file
    juce::File state;                 // a host-state blob
    std::vector<ParameterOverride> overrides;

    double bpm = 120.0;
    std::optional<double> sampleRate; // the input's own rate, or 48 kHz for the demo
    int blockSize = 512;
    std::optional<int> bars;
    std::optional<double> seconds;
    bool compensateLatency = true;

    juce::File packToInstall; // --install-pack
    bool list = false;
    bool bench = false;
    bool help = false;

    bool usesMaterial() const { return input == juce::File(); }
    Material chosenMaterial() const { return material.value_or (Material::demo); }
};

// Fills `options` from the command line (program name excluded). Paths are resolved against `workingDirectory`.
std::optional<Failure> parseArguments (const juce::StringArray& args, const juce::File& workingDirectory,
                                       Options& options);

juce::String usageText();

// Up to `maxCount` entries of `candidates` nearest to `typed` (ignoring case), best first.
juce::StringArray closestNames (const juce::String& typed, const juce::StringArray& candidates, int maxCount = 3);

} // namespace tz::render
