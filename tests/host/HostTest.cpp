#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include <dlfcn.h>

#include <juce_audio_processors/juce_audio_processors.h>

#define JUCE_VST3HEADERS_INCLUDE_HEADERS_ONLY 1
#include <juce_audio_processors/format_types/juce_VST3Headers.h>
#undef JUCE_VST3HEADERS_INCLUDE_HEADERS_ONLY

#include "support/AllocationCounter.h"

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

struct LoadedPlugin
{
    juce::PluginDescription description;
    std::unique_ptr<juce::AudioPluginInstance> instance;
};

// Finds and instantiates the plug-in in `identifier` (a bundle path or LV2 URI) as a DAW would.
LoadedPlugin load (juce::AudioPluginFormat& format, const juce::String& identifier)
{
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, identifier);
    if (types.size() != 1)
    {
        ADD_FAILURE() << "expected one plug-in in " << identifier << ", found " << types.size();
        return {};
    }

    juce::String error;
    auto instance = format.createInstanceFromDescription (*types[0], sampleRate, blockSize, error);
    EXPECT_NE (instance, nullptr) << error;
    return { *types[0], std::move (instance) };
}

// Lets the plug-in's controller deliver what it posts to the host's message loop (latency changes, say).
void runMessageLoop() { juce::MessageManager::getInstance()->runDispatchLoopUntil (50); }

std::vector<juce::AudioProcessorParameter*> automatableParameters (juce::AudioPluginInstance& plugin)
{
    std::vector<juce::AudioProcessorParameter*> result;
    for (auto* param : plugin.getParameters())
        if (param != plugin.getBypassParameter())
            result.push_back (param);
    return result;
}

// A 440 Hz sine, a different phase on every channel, continuing from `startSample`.
void fillWithSine (juce::AudioBuffer<float>& buffer, int startSample)
{
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (
                ch, i,
                0.5f
                    * (float) std::sin (2.0 * juce::MathConstants<double>::pi * 440.0 * (startSample + i) / sampleRate
                                        + ch));
}

juce::AudioBuffer<float> sineBlock (int numSamples, int startSample)
{
    juce::AudioBuffer<float> buffer (2, numSamples);
    fillWithSine (buffer, startSample);
    return buffer;
}

// The built bundle, or the one a variable names (the package test loads the bundles it unpacked).
juce::String bundle (const char* variable, const char* built)
{
    const char* chosen = std::getenv (variable);
    return chosen != nullptr && *chosen != 0 ? chosen : built;
}

// The VST3 component of a hosted instance, for what JUCE's hosting does not show.
Steinberg::Vst::IComponent* vst3Component (juce::AudioPluginInstance& instance)
{
    struct : juce::ExtensionsVisitor
    {
        Steinberg::Vst::IComponent* component = nullptr;
        void visitVST3Client (const VST3Client& client) override { component = client.getIComponentPtr(); }
    } visitor;
    instance.getExtensions (visitor);
    return visitor.component;
}

juce::String toString (const Steinberg::Vst::String128 text)
{
    return juce::String (juce::CharPointer_UTF16 (reinterpret_cast<const juce::CharPointer_UTF16::CharType*> (text)));
}

class HostedPlugin : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        const juce::String formatName (GetParam());

        if (formatName == "VST3")
        {
            format = std::make_unique<juce::VST3PluginFormat>();
            identifier = bundle ("TAZZLE_TEST_VST3_BUNDLE", TAZZLE_VST3_BUNDLE);
        }
        else
        {
            format = std::make_unique<juce::LV2PluginFormat>();
            const auto bundleFolder =
                juce::File (bundle ("TAZZLE_TEST_LV2_BUNDLE", TAZZLE_LV2_BUNDLE)).getParentDirectory();
            format->searchPathsForPlugins (juce::FileSearchPath (bundleFolder.getFullPathName()), true, false);
            identifier = TAZZLE_LV2_URI;
        }
    }

    bool isVst3() const { return juce::String (GetParam()) == "VST3"; }

    LoadedPlugin loadPrepared()
    {
        auto plugin = load (*format, identifier);
        if (plugin.instance != nullptr)
        {
            plugin.instance->setPlayConfigDetails (2, 2, sampleRate, blockSize);
            plugin.instance->prepareToPlay (sampleRate, blockSize);
            runMessageLoop();
        }
        return plugin;
    }

    std::unique_ptr<juce::AudioPluginFormat> format;
    juce::String identifier;
};

TEST_P (HostedPlugin, ReportsItsIdentity)
{
    const auto plugin = loadPrepared();
    ASSERT_NE (plugin.instance, nullptr);

    EXPECT_EQ (plugin.description.name, "Tazzle");
    EXPECT_EQ (plugin.description.manufacturerName, "Quarrow Tools");
    EXPECT_FALSE (plugin.description.isInstrument);
    EXPECT_EQ (plugin.instance->getName(), "Tazzle");
    EXPECT_FALSE (plugin.instance->acceptsMidi());
    EXPECT_FALSE (plugin.instance->producesMidi());

    // LV2 carries neither a version nor a tail length to the host.
    if (isVst3())
    {
        EXPECT_EQ (plugin.description.version, "1.0.2");
        EXPECT_EQ (plugin.description.category, "Fx");
        EXPECT_DOUBLE_EQ (plugin.instance->getTailLengthSeconds(), 1800.0);
    }
}

TEST_P (HostedPlugin, ExposesTheParameterTable)
{
    const auto plugin = loadPrepared();
    ASSERT_NE (plugin.instance, nullptr);

    const auto params = automatableParameters (*plugin.instance);
    ASSERT_EQ (params.size(), 263u);

    // VST3 numbers parameters by a hash of the ID and keeps the table order; LV2 names them by port symbol.
    std::map<juce::String, juce::AudioProcessorParameter*> byId;
    for (auto* param : params)
        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (param))
            byId[hosted->getParameterID()] = param;
    ASSERT_EQ (byId.size(), 263u);

    const struct
    {
        size_t index;
        const char* id;
        const char* name;
        float defaultNormalised, plainDefault;
        float probe;
        const char* probeText;
        const char* defaultLabel = nullptr; // choices show their label in both formats
    } expectations[] = {
        { 0, "input_gain", "Input", 0.5f, 0.0f, 0.75f, "+12.0 dB" },
        { 1, "mix", "Mix", 1.0f, 100.0f, 0.5f, "50 %" },
        { 5, "filter_cutoff", "Filter Cutoff", 0.5f, 1000.0f, 0.5f, "1.00 kHz" },
        { 10, "volume_pan", "Volume Pan", 0.5f, 0.0f, 0.0f, "L 100" },
        { 21, "delay_time", "Delay Time", 0.5f, 6.0f, 1.0f, "1 Bar", "1/8D" },
        { 32, "stutter_hold", "Stutter Repeat", 0.4f, 2.0f, 1.0f, "Free", "1/4" },
        { 54, "xy_y", "XY Y (Intensity)", 1.0f, 100.0f, 0.0f, "0 %" },
        { 55, "mod1_mode", "Mod 1 Mode", 1.0f, 1.0f, 0.0f, "LFO", "Step" },
        { 97, "mod2_rate", "Mod 2 Rate", 0.8f, 12.0f, 0.2f, "1/16", "1 Bar" },
        { 216, "route01_target", "Route 1 Target", 0.0f, 0.0f, 19.0f / 255.0f, "Mix" },
        { 262, "route16_depth", "Route 16 Depth", 0.75f, 50.0f, 0.0f, "-100 %" },
    };

    for (const auto& e : expectations)
    {
        const auto key = isVst3() ? juce::String ((juce::uint32) juce::String (e.id).hashCode() & 0x7fffffffu)
                                  : "des:" + juce::String (TAZZLE_LV2_URI) + ":" + e.id;
        const auto found = byId.find (key);
        ASSERT_NE (found, byId.end()) << e.id;
        auto* param = found->second;

        EXPECT_EQ (param->getName (64), e.name) << e.id;

        // LV2 ports carry plain values on a linear scale and no value texts of their own.
        if (isVst3())
        {
            EXPECT_EQ (params[e.index], param) << e.id;
            EXPECT_NEAR (param->getDefaultValue(), e.defaultNormalised, 1e-4f) << e.id;
            EXPECT_EQ (param->getText (e.probe, 64), e.probeText) << e.id;
        }
        else if (e.defaultLabel != nullptr)
        {
            EXPECT_EQ (param->getText (param->getDefaultValue(), 64), e.defaultLabel) << e.id;
        }
        else
        {
            EXPECT_NEAR (param->getText (param->getDefaultValue(), 64).getFloatValue(), e.plainDefault, 1e-2f) << e.id;
        }
    }
}

TEST_P (HostedPlugin, AcceptsMatchingMonoAndStereoLayoutsOnly)
{
    // Asked before activation: an active VST3 cannot answer for other layouts.
    const auto plugin = load (*format, identifier);
    ASSERT_NE (plugin.instance, nullptr);

    using Set = juce::AudioChannelSet;
    auto layout = [] (Set in, Set out)
    {
        juce::AudioProcessor::BusesLayout l;
        l.inputBuses.add (in);
        l.outputBuses.add (out);
        return l;
    };

    EXPECT_TRUE (plugin.instance->checkBusesLayoutSupported (layout (Set::stereo(), Set::stereo())));
    EXPECT_FALSE (plugin.instance->checkBusesLayoutSupported (layout (Set::stereo(), Set::mono())));
    if (isVst3()) // LV2 ports are fixed at stereo
    {
        EXPECT_TRUE (plugin.instance->checkBusesLayoutSupported (layout (Set::mono(), Set::mono())));
    }
}

TEST_P (HostedPlugin, ProcessesAudioAndBypassesWithItsLatency)
{
    const auto plugin = loadPrepared();
    ASSERT_NE (plugin.instance, nullptr);
    auto& instance = *plugin.instance;

    juce::MidiBuffer midi;
    float peak = 0.0f;
    for (int block = 0; block < 40; ++block)
    {
        auto buffer = sineBlock (blockSize, block * blockSize);
        instance.processBlock (buffer, midi);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < blockSize; ++i)
            {
                ASSERT_TRUE (std::isfinite (buffer.getSample (ch, i)));
                peak = juce::jmax (peak, std::abs (buffer.getSample (ch, i)));
            }
    }
    EXPECT_GT (peak, 0.05f);

    // The drive's x8 oversampling delays everything by six samples, at any sample rate. An LV2 host reads
    // the latency port only after a run.
    runMessageLoop();
    const int latency = instance.getLatencySamples();
    EXPECT_EQ (latency, 6);

    // A VST3 host bypass hands back the input delayed by exactly the reported latency. LV2 has no bypass of
    // its own: the host bypasses it without calling the plug-in.
    if (! isVst3())
        return;

    const int total = 4 * blockSize;
    std::vector<float> in, out;
    for (int block = 0; block < 4; ++block)
    {
        auto buffer = sineBlock (blockSize, 100000 + block * blockSize);
        in.insert (in.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + blockSize);
        instance.processBlockBypassed (buffer, midi);
        out.insert (out.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + blockSize);
    }
    for (int i = latency; i < total; ++i)
        ASSERT_NEAR (out[(size_t) i], in[(size_t) (i - latency)], 1e-6f) << i;
}

TEST_P (HostedPlugin, StateSurvivesASaveAndRestore)
{
    auto source = loadPrepared();
    auto target = loadPrepared();
    ASSERT_NE (source.instance, nullptr);
    ASSERT_NE (target.instance, nullptr);

    const auto sourceParams = automatableParameters (*source.instance);
    const auto targetParams = automatableParameters (*target.instance);
    ASSERT_EQ (sourceParams.size(), targetParams.size());

    // The ends of every range are exact in both formats' value mappings.
    juce::Random random (42);
    for (size_t i = 0; i < sourceParams.size(); i += 7)
        sourceParams[i]->setValueNotifyingHost (random.nextBool() ? 1.0f : 0.0f);

    juce::MidiBuffer midi;
    auto buffer = sineBlock (blockSize, 0);
    source.instance->processBlock (buffer, midi);
    runMessageLoop();

    juce::MemoryBlock blob;
    source.instance->getStateInformation (blob);
    ASSERT_GT (blob.getSize(), 100u);
    target.instance->setStateInformation (blob.getData(), (int) blob.getSize());
    runMessageLoop();
    buffer = sineBlock (blockSize, 0);
    target.instance->processBlock (buffer, midi);

    // Texts, not raw values: a host keeps an unquantised value for a choice it has just set.
    for (size_t i = 0; i < sourceParams.size(); ++i)
        EXPECT_EQ (targetParams[i]->getCurrentValueAsText(), sourceParams[i]->getCurrentValueAsText())
            << sourceParams[i]->getName (64);
}

// An allocation on the audio thread can wait on the allocator's lock and drop out under load. Counted around the
// host's own call, so the format wrapper's work is included.
TEST_P (HostedPlugin, ProcessesWithoutAllocating)
{
    using Set = juce::AudioChannelSet;
    std::vector<Set> layouts { Set::stereo() };
    if (isVst3()) // LV2 ports are fixed at stereo
        layouts.push_back (Set::mono());

    constexpr int largestBlock = 4096;
    // Growing lengths, as a host may change them between blocks: a wrapper that keeps its buffer only while
    // blocks shrink allocates on growth.
    constexpr int blockLengths[] = { 1, 64, 256, largestBlock };

    for (const auto& channels : layouts)
    {
        SCOPED_TRACE (channels.getDescription());
        auto plugin = load (*format, identifier);
        ASSERT_NE (plugin.instance, nullptr);
        auto& instance = *plugin.instance;

        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (channels);
        layout.outputBuses.add (channels);
        ASSERT_TRUE (instance.setBusesLayout (layout));
        instance.prepareToPlay (sampleRate, largestBlock);
        runMessageLoop();

        const int numChannels = channels.size();
        juce::AudioBuffer<float> buffer (numChannels, largestBlock);
        juce::MidiBuffer midi;
        int position = 0;

        auto processCountingAllocations = [&] (int blockLength)
        {
            buffer.setSize (numChannels, blockLength, false, false, true);
            fillWithSine (buffer, position);
            position += blockLength;

            const tz::test::AllocationCounter counter;
            instance.processBlock (buffer, midi);
            return counter.count();
        };

        // JUCE's hosting fills its own lists on the first block (the VST3 channel pointers, the LV2 messages
        // for an editor), so that block is the host's and is left out.
        processCountingAllocations (largestBlock);

        for (const int blockLength : blockLengths)
        {
            // At least a quarter of a second, so every length crosses the engine's internal chunks.
            const int numBlocks = juce::jmax (4, 12000 / blockLength);
            std::size_t allocations = 0;
            int allocatingBlocks = 0;

            for (int block = 0; block < numBlocks; ++block)
            {
                const auto count = processCountingAllocations (blockLength);
                allocations += count;
                allocatingBlocks += count > 0 ? 1 : 0;
            }

            EXPECT_EQ (allocations, 0u) << blockLength << "-sample blocks: " << allocatingBlocks << " of " << numBlocks
                                        << " allocated";
        }
    }
}

// A host's preset menu lists no entry without a name or one that loads nothing.
TEST_P (HostedPlugin, PresetMenuHoldsNoBlankEntry)
{
    const auto plugin = loadPrepared();
    ASSERT_NE (plugin.instance, nullptr);
    auto& instance = *plugin.instance;

    // LV2 hosts list the presets of the manifest. The single program is the current patch, not a preset.
    if (! isVst3())
    {
        EXPECT_EQ (instance.getNumPrograms(), 0);
        return;
    }

    // VST3 hosts read the program list; its one program is named after the current preset.
    Steinberg::Vst::IUnitInfo* units = nullptr;
    auto* component = vst3Component (instance);
    ASSERT_NE (component, nullptr);
    ASSERT_EQ (component->queryInterface (Steinberg::Vst::IUnitInfo::iid, (void**) &units), Steinberg::kResultOk);

    Steinberg::Vst::ProgramListInfo list {};
    Steinberg::Vst::String128 name {};
    EXPECT_EQ (units->getProgramListCount(), 1);
    EXPECT_EQ (units->getProgramListInfo (0, list), Steinberg::kResultOk);
    EXPECT_EQ (list.programCount, 1);
    EXPECT_EQ (units->getProgramName (list.id, 0, name), Steinberg::kResultOk);
    EXPECT_EQ (toString (name), "Tazzle Machine");
    units->release();
}

INSTANTIATE_TEST_SUITE_P (Formats, HostedPlugin, ::testing::Values ("VST3", "LV2"));

// The plug-in's own VST3 edit controller, joined to the component of a hosted instance. JUCE's hosting keeps its
// controller to itself, and shows neither parameter flags nor program lists.
class Vst3Controller
{
public:
    explicit Vst3Controller (juce::AudioPluginInstance& instance)
    {
        component = vst3Component (instance);

        const auto library = juce::File (TAZZLE_VST3_BUNDLE)
                                 .getChildFile ("Contents")
                                 .findChildFiles (juce::File::findFiles, true, "*.so")
                                 .getFirst();
        module = dlopen (library.getFullPathName().toRawUTF8(), RTLD_NOW | RTLD_NOLOAD);
        if (component == nullptr || module == nullptr)
            return;

        using GetFactory = Steinberg::IPluginFactory* (*) ();
        factory = reinterpret_cast<GetFactory> (dlsym (module, "GetPluginFactory"))();

        Steinberg::TUID controllerClass;
        if (factory == nullptr || component->getControllerClassId (controllerClass) != Steinberg::kResultOk
            || factory->createInstance (controllerClass, Steinberg::Vst::IEditController::iid, (void**) &controller)
                != Steinberg::kResultOk)
            return;

        controller->initialize (nullptr);
        component->queryInterface (Steinberg::Vst::IConnectionPoint::iid, (void**) &componentPoint);
        controller->queryInterface (Steinberg::Vst::IConnectionPoint::iid, (void**) &controllerPoint);
        if (componentPoint != nullptr && controllerPoint != nullptr)
            controllerPoint->connect (componentPoint);
    }

    ~Vst3Controller()
    {
        if (controllerPoint != nullptr)
        {
            controllerPoint->disconnect (componentPoint);
            controllerPoint->release();
        }
        if (componentPoint != nullptr)
            componentPoint->release();
        if (controller != nullptr)
        {
            controller->terminate();
            controller->release();
        }
        if (factory != nullptr)
            factory->release();
        if (module != nullptr)
            dlclose (module);
    }

    Steinberg::Vst::IEditController* get() const noexcept { return controller; }

private:
    Steinberg::Vst::IComponent* component = nullptr;
    void* module = nullptr;
    Steinberg::IPluginFactory* factory = nullptr;
    Steinberg::Vst::IEditController* controller = nullptr;
    Steinberg::Vst::IConnectionPoint* componentPoint = nullptr;
    Steinberg::Vst::IConnectionPoint* controllerPoint = nullptr;
};

// Hosts show list parameters as menus of their value texts.
TEST (Vst3Parameters, ChoicesAreListsWithTheirLabels)
{
    juce::VST3PluginFormat format;
    const auto plugin = load (format, TAZZLE_VST3_BUNDLE);
    ASSERT_NE (plugin.instance, nullptr);
    const Vst3Controller controller (*plugin.instance);
    ASSERT_NE (controller.get(), nullptr);

    std::set<juce::String> choiceIds { "filter_type",    "drive_type",   "delay_time",
                                       "stutter_length", "stutter_hold", "tapestop_time",
                                       "reverse_length", "grid_rate",    "grain_mode" };
    for (int m = 1; m <= 4; ++m)
    {
        for (const auto* field : { "_mode", "_shape", "_rate" })
            choiceIds.insert ("mod" + juce::String (m) + field);
        for (int step = 1; step <= 16; ++step)
            choiceIds.insert ("mod" + juce::String (m) + "_step" + juce::String (step).paddedLeft ('0', 2) + "_shape");
    }
    for (int r = 1; r <= 16; ++r)
        choiceIds.insert ("route" + juce::String (r).paddedLeft ('0', 2) + "_source");
    ASSERT_EQ (choiceIds.size(), 101u);

    std::map<Steinberg::Vst::ParamID, juce::String> idsByVst3Id;
    for (const auto& id : choiceIds)
        idsByVst3Id[(Steinberg::Vst::ParamID) id.hashCode() & 0x7fffffffu] = id;

    auto* editController = controller.get();
    int lists = 0;
    juce::StringArray wronglyFlagged;
    for (int i = 0; i < editController->getParameterCount(); ++i)
    {
        Steinberg::Vst::ParameterInfo info {};
        ASSERT_EQ (editController->getParameterInfo (i, info), Steinberg::kResultOk);
        const auto title = toString (info.title);
        const bool isList = (info.flags & Steinberg::Vst::ParameterInfo::kIsList) != 0;
        if (isList != (idsByVst3Id.count (info.id) == 1))
            wronglyFlagged.add (title);
        if (! isList)
            continue;

        ++lists;
        std::set<juce::String> labels;
        for (int k = 0; k <= info.stepCount; ++k)
        {
            Steinberg::Vst::String128 text {};
            editController->getParamStringByValue (info.id, (double) k / info.stepCount, text);
            labels.insert (toString (text));
        }
        EXPECT_EQ ((int) labels.size(), info.stepCount + 1) << title;
        EXPECT_EQ (labels.count (""), 0u) << title;

        if (title == "Delay Time")
        {
            Steinberg::Vst::String128 text {};
            editController->getParamStringByValue (info.id, 1.0 / 12.0, text);
            EXPECT_EQ (toString (text), "1/16T");
            editController->getParamStringByValue (info.id, 1.0, text);
            EXPECT_EQ (toString (text), "1 Bar");
        }
    }
    EXPECT_EQ (lists, 101);
    EXPECT_TRUE (wronglyFlagged.isEmpty()) << wronglyFlagged.joinIntoString (", ");
}
} // namespace
