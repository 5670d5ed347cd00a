#include "host/Lv2MessageHost.h"

#include <cstring>

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wcast-align", "-Wparentheses", "-Wshadow", "-Wsign-conversion",
                                     "-Wzero-as-null-pointer-constant")
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/patch/patch.h>
#include <lv2/time/time.h>
JUCE_END_IGNORE_WARNINGS_GCC_LIKE

namespace tz::test
{

namespace
{
    constexpr size_t sequenceBytes = 64 * 1024;

    uint32_t portIndex (LilvWorld* world, const LilvPlugin* plugin, const char* symbol)
    {
        auto* node = lilv_new_string (world, symbol);
        const auto* port = lilv_plugin_get_port_by_symbol (plugin, node);
        lilv_node_free (node);
        return port != nullptr ? lilv_port_get_index (plugin, port) : UINT32_MAX;
    }
} // namespace

Lv2MessageHost::Lv2MessageHost (const juce::File& bundle, const char* pluginUri, double sampleRate, int maxBlockLength)
    : maxBlock (maxBlockLength)
{
    options = { { LV2_OPTIONS_INSTANCE, 0, map (LV2_BUF_SIZE__maxBlockLength), sizeof (maxBlock), map (LV2_ATOM__Int),
                  &maxBlock },
                { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr } };
    optionsFeature.data = options.data();
    features = { &mapFeature, &optionsFeature, &boundedBlockFeature, nullptr };

    world = lilv_world_new();
    auto* bundleUri = lilv_new_file_uri (world, nullptr, (bundle.getFullPathName() + "/").toRawUTF8());
    lilv_world_load_bundle (world, bundleUri);
    lilv_node_free (bundleUri);

    auto* uri = lilv_new_uri (world, pluginUri);
    plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri);
    lilv_node_free (uri);
    if (plugin == nullptr)
        return;

    instance = lilv_plugin_instantiate (plugin, sampleRate, features.data());
    if (instance == nullptr)
        return;

    stateInterface =
        static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));

    audioIn.assign (2, std::vector<float> ((size_t) maxBlockLength));
    audioOut.assign (2, std::vector<float> ((size_t) maxBlockLength));
    inputSequence.assign (sequenceBytes / sizeof (std::uint64_t), 0);
    outputSequence.assign (sequenceBytes / sizeof (std::uint64_t), 0);

    for (int ch = 0; ch < 2; ++ch)
    {
        const auto number = std::to_string (ch + 1);
        lilv_instance_connect_port (instance, portIndex (world, plugin, ("audio_in_" + number).c_str()),
                                    audioIn[(size_t) ch].data());
        lilv_instance_connect_port (instance, portIndex (world, plugin, ("audio_out_" + number).c_str()),
                                    audioOut[(size_t) ch].data());
    }

    lilv_instance_connect_port (instance, portIndex (world, plugin, "in"), inputSequence.data());
    lilv_instance_connect_port (instance, portIndex (world, plugin, "out"), outputSequence.data());
    lilv_instance_connect_port (instance, portIndex (world, plugin, "latency"), &latency);
    lilv_instance_connect_port (instance, portIndex (world, plugin, "freeWheeling"), &freeWheeling);
    lilv_instance_connect_port (instance, portIndex (world, plugin, "enabled"), &enabled);

    lv2_atom_forge_init (&forge, &mapFeatureData);
    lilv_instance_activate (instance);
}

Lv2MessageHost::~Lv2MessageHost()
{
    if (instance != nullptr)
    {
        lilv_instance_deactivate (instance);
        lilv_instance_free (instance);
    }

    lilv_world_free (world);
}

LV2_URID Lv2MessageHost::mapUri (LV2_URID_Map_Handle handle, const char* uri)
{
    return static_cast<Lv2MessageHost*> (handle)->map (uri);
}

// The plug-in maps URIs from its own threads too.
LV2_URID Lv2MessageHost::map (const char* uri)
{
    const std::lock_guard<std::mutex> lock (mapLock);
    const auto [it, added] = uridsByUri.emplace (uri, (LV2_URID) urisByUrid.size());
    if (added)
        urisByUrid.push_back (uri);
    return it->second;
}

std::string Lv2MessageHost::unmap (LV2_URID urid)
{
    const std::lock_guard<std::mutex> lock (mapLock);
    return urid < urisByUrid.size() ? urisByUrid[urid] : std::string();
}

void Lv2MessageHost::beginSequence()
{
    if (sequenceOpen)
        return;

    lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (inputSequence.data()), sequenceBytes);
    lv2_atom_forge_sequence_head (&forge, &sequenceFrame, 0);
    sequenceOpen = true;
}

void Lv2MessageHost::sendPosition (std::int64_t frame, const HostPosition& position)
{
    beginSequence();
    lv2_atom_forge_frame_time (&forge, frame);

    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object (&forge, &object, 0, map (LV2_TIME__Position));
    lv2_atom_forge_key (&forge, map (LV2_TIME__frame));
    lv2_atom_forge_long (&forge, position.frame);
    lv2_atom_forge_key (&forge, map (LV2_TIME__speed));
    lv2_atom_forge_float (&forge, position.speed);
    lv2_atom_forge_key (&forge, map (LV2_TIME__barBeat));
    lv2_atom_forge_float (&forge, position.barBeat);
    lv2_atom_forge_key (&forge, map (LV2_TIME__bar));
    lv2_atom_forge_long (&forge, position.bar);
    if (position.beat.has_value())
    {
        lv2_atom_forge_key (&forge, map (LV2_TIME__beat));
        lv2_atom_forge_double (&forge, *position.beat);
    }
    lv2_atom_forge_key (&forge, map (LV2_TIME__beatUnit));
    lv2_atom_forge_int (&forge, position.beatUnit);
    lv2_atom_forge_key (&forge, map (LV2_TIME__beatsPerBar));
    lv2_atom_forge_float (&forge, position.beatsPerBar);
    lv2_atom_forge_key (&forge, map (LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float (&forge, position.bpm);
    lv2_atom_forge_pop (&forge, &object);
}

void Lv2MessageHost::sendPatchGet (const char* propertyUri)
{
    beginSequence();
    lv2_atom_forge_frame_time (&forge, 0);

    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object (&forge, &object, 0, map (LV2_PATCH__Get));
    if (propertyUri != nullptr)
    {
        lv2_atom_forge_key (&forge, map (LV2_PATCH__property));
        lv2_atom_forge_urid (&forge, map (propertyUri));
    }
    lv2_atom_forge_pop (&forge, &object);
}

std::vector<float> Lv2MessageHost::run (int numSamples, float level)
{
    beginSequence();
    lv2_atom_forge_pop (&forge, &sequenceFrame);
    sequenceOpen = false;

    for (auto& channel : audioIn)
        std::fill (channel.begin(), channel.begin() + numSamples, level);

    // The host offers the whole buffer; the plug-in writes its sequence into it.
    auto* out = reinterpret_cast<LV2_Atom*> (outputSequence.data());
    out->size = (uint32_t) (sequenceBytes - sizeof (LV2_Atom));
    out->type = map (LV2_ATOM__Chunk);

    lilv_instance_run (instance, (uint32_t) numSamples);
    readOutput();
    return { audioOut[0].begin(), audioOut[0].begin() + numSamples };
}

void Lv2MessageHost::readOutput()
{
    announced.clear();
    numAnnouncements = 0;

    const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*> (outputSequence.data());
    if (sequence->atom.type != map (LV2_ATOM__Sequence))
        return;

    for (auto* event = lv2_atom_sequence_begin (&sequence->body);
         ! lv2_atom_sequence_is_end (&sequence->body, sequence->atom.size, event);
         event = lv2_atom_sequence_next (event))
    {
        if (event->body.type != map (LV2_ATOM__Object))
            continue;

        const auto* object = reinterpret_cast<const LV2_Atom_Object*> (&event->body);
        if (object->body.otype != map (LV2_PATCH__Set))
            continue;

        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get (object, map (LV2_PATCH__property), &property, map (LV2_PATCH__value), &value, 0);

        if (property != nullptr && value != nullptr && property->type == map (LV2_ATOM__URID)
            && value->type == map (LV2_ATOM__Float))
        {
            announced[unmap (reinterpret_cast<const LV2_Atom_URID*> (property)->body)] =
                reinterpret_cast<const LV2_Atom_Float*> (value)->body;
            ++numAnnouncements;
        }
    }
}

std::string Lv2MessageHost::saveState()
{
    stateText.clear();

    const auto store = [] (LV2_State_Handle handle, uint32_t, const void* value, size_t size, uint32_t,
                           uint32_t) -> LV2_State_Status
    {
        auto& text = *static_cast<std::string*> (handle);
        text.assign (static_cast<const char*> (value), strnlen (static_cast<const char*> (value), size));
        return LV2_STATE_SUCCESS;
    };

    stateInterface->save (lilv_instance_get_handle (instance), store, &stateText, LV2_STATE_IS_POD, features.data());
    return stateText;
}

void Lv2MessageHost::restoreState (const std::string& state)
{
    struct Retrieval
    {
        Lv2MessageHost& host;
        const std::string& text;
    } retrieval { *this, state };

    const auto retrieve = [] (LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                              uint32_t* flags) -> const void*
    {
        auto& r = *static_cast<Retrieval*> (handle);
        if (! juce::String (r.host.unmap (key)).endsWith (":StateString"))
            return nullptr;

        *size = r.text.size();
        *type = r.host.map (LV2_ATOM__String);
        *flags = LV2_STATE_IS_POD;
        return r.text.data();
    };

    stateInterface->restore (lilv_instance_get_handle (instance), retrieve, &retrieval, 0, features.data());
}

} // namespace tz::test
