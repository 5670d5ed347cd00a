#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <juce_core/juce_core.h>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wcast-align", "-Wparentheses", "-Wshadow", "-Wsign-conversion",
                                     "-Wzero-as-null-pointer-constant")
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
JUCE_END_IGNORE_WARNINGS_GCC_LIKE

namespace tz::test
{

// A transport position as a host writes it into a time:Position message. `beat` is the absolute beat, which not
// every host sends; `bar` counts from 0 and `barBeat` counts beats of `beatUnit` within the bar.
struct HostPosition
{
    std::optional<double> beat;
    std::int64_t bar = 0;
    float barBeat = 0.0f;
    float beatsPerBar = 4.0f;
    int beatUnit = 4;
    float bpm = 120.0f;
    float speed = 1.0f;
    std::int64_t frame = 0;
};

// An LV2 host that loads the plug-in's bundle through lilv and speaks to it in the plug-in's own terms: audio ports,
// atom messages in and out, and the state interface. Single-threaded: every call comes from the test's thread.
class Lv2MessageHost
{
public:
    Lv2MessageHost (const juce::File& bundle, const char* pluginUri, double sampleRate, int maxBlockLength);
    ~Lv2MessageHost();

    bool isLoaded() const noexcept { return instance != nullptr; }
    LilvWorld* getWorld() const noexcept { return world; }
    const LilvPlugin* getPlugin() const noexcept { return plugin; }

    LV2_URID map (const char* uri);
    std::string unmap (LV2_URID urid);

    // Messages for the next run, at `frame` within its block.
    void sendPosition (std::int64_t frame, const HostPosition& position);
    void sendPatchGet (const char* propertyUri = nullptr);

    // One block with every input sample at `level`; returns the left output channel.
    std::vector<float> run (int numSamples, float level);

    // The parameters the plug-in announced with patch:Set in the last run: property URI -> plain value.
    const std::map<std::string, float>& announcedValues() const noexcept { return announced; }
    int announcementCount() const noexcept { return numAnnouncements; }

    // The plug-in's state, as the host would store it with a session, and a restore of such a state.
    std::string saveState();
    void restoreState (const std::string& state);

private:
    static LV2_URID mapUri (LV2_URID_Map_Handle handle, const char* uri);
    void beginSequence();
    void readOutput();

    std::mutex mapLock;
    std::map<std::string, LV2_URID> uridsByUri;
    std::vector<std::string> urisByUrid { "" };
    LV2_URID_Map mapFeatureData { this, mapUri };
    LV2_Feature mapFeature { LV2_URID__map, &mapFeatureData };

    std::int32_t maxBlock = 0;
    std::vector<LV2_Options_Option> options;
    LV2_Feature optionsFeature { LV2_OPTIONS__options, nullptr };
    LV2_Feature boundedBlockFeature { "http://lv2plug.in/ns/ext/buf-size#boundedBlockLength", nullptr };
    std::vector<const LV2_Feature*> features;

    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    const LV2_State_Interface* stateInterface = nullptr;

    std::vector<std::vector<float>> audioIn, audioOut;
    std::vector<std::uint64_t> inputSequence, outputSequence;
    float latency = 0.0f, freeWheeling = 0.0f, enabled = 1.0f;

    LV2_Atom_Forge forge {};
    LV2_Atom_Forge_Frame sequenceFrame {};
    bool sequenceOpen = false;

    std::map<std::string, float> announced;
    int numAnnouncements = 0;
    std::string stateText;
};

} // namespace tz::test
