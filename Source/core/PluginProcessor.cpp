#include "core/PluginProcessor.h"

#include <cmath>
#include <cstring>

#include "presets/FactoryPresets.h"
#include "presets/PresetFolders.h"
#include "presets/StateDocument.h"
#include "ui/PluginEditor.h"

namespace
{
const juce::Identifier chainOrderProperty ("chainOrder");
const juce::Identifier gridProperty ("grid");
const juce::Identifier lockedProperty ("locked");

std::unique_ptr<juce::RangedAudioParameter> makeParameter (const tz::ParamInfo& info)
{
    const juce::ParameterID id { info.id, 1 };

    switch (info.kind)
    {
        case tz::ParamKind::Bool:
            return std::make_unique<juce::AudioParameterBool> (id, info.name, info.def > 0.5f);

        case tz::ParamKind::Choice:
            return std::make_unique<juce::AudioParameterChoice> (
                id, info.name, juce::StringArray::fromTokens (info.choices, "|", {}), (int) info.def);

        case tz::ParamKind::Int:
            return std::make_unique<juce::AudioParameterInt> (
                id, info.name, juce::roundToInt (info.min), juce::roundToInt (info.max), juce::roundToInt (info.def),
                juce::AudioParameterIntAttributes()
                    .withStringFromValueFunction ([&info] (int v, int) { return tz::valueToText (info, (float) v); })
                    .withValueFromStringFunction ([&info] (const juce::String& text)
                                                  { return juce::roundToInt (tz::textToValue (info, text)); }));

        case tz::ParamKind::Float:
            break;
    }

    juce::NormalisableRange<float> range (info.min, info.max);
    range.skew = tz::skewFor (info);

    // The host hands back values through the skewed 0..1 range; hide the float round trip (999.99994 Hz).
    const auto hostText = [&info] (float v, int)
    {
        const float whole = std::round (v);
        return tz::valueToText (info, std::abs (v - whole) < 1.0e-4f * juce::jmax (1.0f, std::abs (v)) ? whole : v);
    };

    return std::make_unique<juce::AudioParameterFloat> (
        id, info.name, range, info.def,
        juce::AudioParameterFloatAttributes().withStringFromValueFunction (hostText).withValueFromStringFunction (
            [&info] (const juce::String& text) { return tz::textToValue (info, text); }));
}
} // namespace

//==============================================================================
TazzleAudioProcessor::TazzleAudioProcessor()
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
    , parameterState (*this, nullptr, "Tazzle", createParameterLayout())
{
    const auto& infos = tz::allParams();

    for (size_t p = 0; p < infos.size(); ++p)
    {
        rawValues[p] = parameterState.getRawParameterValue (infos[p].id);
        params[p] = parameterState.getParameter (infos[p].id);
        bounds[p] = { infos[p].min, infos[p].max, infos[p].def };
        jassert (rawValues[p] != nullptr && params[p] != nullptr);
    }

    for (size_t p = 0; p < infos.size(); ++p)
    {
        paramListeners[p].changedGroups = &changedGroups;
        paramListeners[p].bit = 1u << (p / paramsPerGroup);
        parameterState.addParameterListener (infos[p].id, &paramListeners[p]);
    }

    for (auto& modulated : uiModulated)
        modulated.store (-1.0f);

    // Built here so that the first route evaluation on the audio thread does not allocate it.
    tz::modTargets();

    if (const auto welcome = tz::parseFactoryPreset (welcomePresetFileName))
        loadPreset (*welcome);
}

TazzleAudioProcessor::~TazzleAudioProcessor()
{
    const auto& infos = tz::allParams();
    for (size_t p = 0; p < infos.size(); ++p)
        parameterState.removeParameterListener (infos[p].id, &paramListeners[p]);
}

juce::AudioProcessorValueTreeState::ParameterLayout TazzleAudioProcessor::createParameterLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    for (const auto& info : tz::allParams())
        layout.add (makeParameter (info));
    return layout;
}

bool TazzleAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto out = layouts.getMainOutputChannelSet();

    if (out != juce::AudioChannelSet::mono() && out != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == out;
}

juce::AudioProcessorEditor* TazzleAudioProcessor::createEditor() { return new TazzleAudioProcessorEditor (*this); }

//==============================================================================
tz::ParamValues TazzleAudioProcessor::currentValues() const noexcept
{
    tz::ParamValues plain {};
    for (size_t p = 0; p < plain.size(); ++p)
        plain[p] = rawValues[p]->load();
    return plain;
}

std::uint32_t TazzleAudioProcessor::getParameterRevision (int first, int end) const noexcept
{
    std::uint32_t revision = 0;
    for (int p = first; p < end; ++p)
        revision += paramListeners[(size_t) p].revision.load (std::memory_order_acquire);
    return revision;
}

void TazzleAudioProcessor::setValue (int p, float plainValue)
{
    setNormalisedValue (p, params[(size_t) p]->convertTo0to1 (plainValue));
}

void TazzleAudioProcessor::setNormalisedValue (int p, float normalised)
{
    auto* param = params[(size_t) p];
    if (beforeUserWrite)
        beforeUserWrite (*param);
    param->setValueNotifyingHost (normalised);
}

//==============================================================================
void TazzleAudioProcessor::setChainOrder (const tz::ChainOrder& order)
{
    if (! tz::isValidChainOrder (order))
        return;

    chainOrderBits.store (tz::packChainOrder (order));
    setStateProperty (chainOrderProperty, tz::encodeChainOrder (order));
}

void TazzleAudioProcessor::moveEffect (tz::EffectId id, int delta)
{
    auto order = getChainOrder();
    const auto found = std::find (order.begin(), order.end(), (int) id);

    if (found == order.end())
        return;

    const auto from = (int) std::distance (order.begin(), found);
    const auto to = from + delta;

    if (to < 0 || to >= tz::numEffects)
        return;

    std::swap (order[(size_t) from], order[(size_t) to]);
    setChainOrder (order);
}

void TazzleAudioProcessor::loadChainOrderFromState()
{
    const auto text = parameterState.state.getProperty (chainOrderProperty).toString();
    chainOrderBits.store (tz::packChainOrder (tz::decodeChainOrder (text)));
}

void TazzleAudioProcessor::setGridRow (tz::EffectId id, GridRow row)
{
    gridWords[(size_t) id].store (tz::packGridRow (row));
    publishGridRows();
}

void TazzleAudioProcessor::publishGridRows()
{
    tz::GridWords words {};
    for (size_t e = 0; e < words.size(); ++e)
        words[e] = gridWords[e].load();

    setStateProperty (gridProperty, tz::encodeGrid (words));
}

void TazzleAudioProcessor::loadGridFromState()
{
    const auto words = tz::decodeGrid (parameterState.state.getProperty (gridProperty).toString());

    for (size_t e = 0; e < words.size(); ++e)
        gridWords[e].store (words[e]);
}

//==============================================================================
int TazzleAudioProcessor::findRoute (int source, tz::P target) const noexcept
{
    if (source < 0 || source >= tz::routeSource::count)
        return -1;

    const long position = tz::targetPosition (target);

    for (int r = 0; r < tz::numRoutes; ++r)
        if (std::lround (getValue (tz::routeParam (r, tz::routeField::source))) == source + 1
            && std::lround (getValue (tz::routeParam (r, tz::routeField::target))) == position)
            return r;

    return -1;
}

void TazzleAudioProcessor::addRoute (int source, tz::P target)
{
    const int position = tz::targetPosition (target);

    if (source < 0 || source >= tz::routeSource::count || position == 0 || findRoute (source, target) >= 0)
        return;

    for (int r = 0; r < tz::numRoutes; ++r)
    {
        if (std::lround (getValue (tz::routeParam (r, tz::routeField::source))) != 0)
            continue;

        // The source goes last: the audio thread ignores the slot until it is complete.
        setValue (tz::routeParam (r, tz::routeField::target), (float) position);
        setValue (tz::routeParam (r, tz::routeField::depth), 50.0f);
        setValue (tz::routeParam (r, tz::routeField::source), (float) (source + 1));
        return;
    }
}

void TazzleAudioProcessor::removeRoute (int slot)
{
    if (slot < 0 || slot >= tz::numRoutes)
        return;

    // The source goes first, so the slot falls silent before its target changes.
    setValue (tz::routeParam (slot, tz::routeField::source), 0.0f);
    setValue (tz::routeParam (slot, tz::routeField::target), 0.0f);
    setValue (tz::routeParam (slot, tz::routeField::depth), 50.0f);
}

float TazzleAudioProcessor::modDepthOn (tz::P target) const noexcept
{
    const long position = tz::targetPosition (target);
    float depth = 0.0f;

    for (int r = 0; r < tz::numRoutes; ++r)
        if (std::lround (getValue (tz::routeParam (r, tz::routeField::source))) > 0
            && std::lround (getValue (tz::routeParam (r, tz::routeField::target))) == position)
            depth += getValue (tz::routeParam (r, tz::routeField::depth)) / 100.0f;

    return depth;
}

bool TazzleAudioProcessor::isLocked (tz::P p) const
{
    if (p != tz::mix && p != tz::outputGain)
        return false;

    const auto text = parameterState.state.getProperty (lockedProperty).toString();
    return juce::StringArray::fromTokens (text, ",", {}).contains (tz::allParams()[(size_t) p].id);
}

void TazzleAudioProcessor::toggleLock (tz::P p)
{
    if (p != tz::mix && p != tz::outputGain)
        return;

    const bool wasLocked = isLocked (p);
    const auto& id = tz::allParams()[(size_t) p].id;

    auto items = juce::StringArray::fromTokens (parameterState.state.getProperty (lockedProperty).toString(), ",", {});
    items.removeString (id);

    if (! wasLocked)
        items.add (id);

    setStateProperty (lockedProperty, items.joinIntoString (","));
}

//==============================================================================
void TazzleAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    juce::ValueTree copy;
    {
        const juce::ScopedLock locked (stateLock);
        copy = parameterState.copyState();
    }
    if (const auto xml = copy.createXml())
        copyXmlToBinary (*xml, destData);
}

void TazzleAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    auto xml = tz::readHostBlob (data, sizeInBytes);

    if (xml == nullptr || ! xml->getTagName().equalsIgnoreCase (parameterState.state.getType().toString()))
        return;

    xml->setTagName (parameterState.state.getType().toString());
    tz::completeStateDocument (*xml);

    // Every step of the undo history was made on the state the host now replaces.
    ++hostRestores;
    beginStateChange();
    {
        const juce::ScopedLock locked (stateLock);
        parameterState.replaceState (juce::ValueTree::fromXml (*xml));
    }

    // The parameter state skips a value that its parameter already reads after snapping, which leaves a host's
    // raw value in place (a switch at 0.77 reads as on). Put each parameter exactly on the value restored.
    for (size_t p = 0; p < params.size(); ++p)
    {
        const float plain = rawValues[p]->load();
        const float exact = params[p]->convertTo0to1 (plain);
        if (params[p]->getValue() != exact && params[p]->convertFrom0to1 (exact) == plain)
            params[p]->setValueNotifyingHost (exact);
    }

    loadChainOrderFromState();
    loadGridFromState();
    endStateChange();
}

//==============================================================================
void TazzleAudioProcessor::setStateProperty (const juce::Identifier& property, const juce::var& value)
{
    const juce::ScopedLock locked (stateLock);
    parameterState.state.setProperty (property, value, nullptr);
}

juce::var TazzleAudioProcessor::getStateProperty (const juce::Identifier& property, const juce::var& fallback) const
{
    return parameterState.state.getProperty (property, fallback);
}

float TazzleAudioProcessor::getUiScale (float fallback) const
{
    return (float) getStateProperty (tz::stateIds::uiScale, fallback);
}

void TazzleAudioProcessor::setUiScale (double scale) { setStateProperty (tz::stateIds::uiScale, scale); }

int TazzleAudioProcessor::getFoldedEffects() const { return getStateProperty (tz::stateIds::folded, 0); }

void TazzleAudioProcessor::setFoldedEffects (int mask) { setStateProperty (tz::stateIds::folded, mask); }

void TazzleAudioProcessor::setSavedAs (const juce::String& name, const juce::String& category)
{
    setStateProperty (tz::stateIds::presetName, name);
    setStateProperty (tz::stateIds::presetCategory, category);
    setStateProperty (tz::stateIds::presetPack, juce::String());
}

void TazzleAudioProcessor::setPresetName (const juce::String& name)
{
    setStateProperty (tz::stateIds::presetName, name);
}

void TazzleAudioProcessor::restoreStateProperty (const juce::Identifier& property, const juce::var& value)
{
    const juce::ScopedLock locked (stateLock);
    if (value.isVoid())
        parameterState.state.removeProperty (property, nullptr);
    else
        parameterState.state.setProperty (property, value, nullptr);
}

void TazzleAudioProcessor::restorePresetOrigin (const juce::String& category, const juce::String& pack)
{
    setStateProperty (tz::stateIds::presetCategory, category);
    setStateProperty (tz::stateIds::presetPack, pack);
}

//==============================================================================
void TazzleAudioProcessor::prepareToPlay (double sampleRate, int)
{
    currentSampleRate = sampleRate;
    preparedChannels = getTotalNumOutputChannels() < 2 ? 1 : 2;

    effects.prepare (sampleRate, preparedChannels);
    latencySamples = effects.latencySamples();

    if (latencySamples != reportedLatency)
    {
        setLatencySamples (latencySamples);
        reportedLatency = latencySamples;
    }

    input.prepare (sampleRate, latencySamples);
    output.prepare (sampleRate, latencySamples);

    resetRequested.store (false);
    startClean();
}

void TazzleAudioProcessor::resetEffects()
{
    effects.resetAll();
    input.clearMixDelay();
}

void TazzleAudioProcessor::startClean()
{
    for (size_t p = 0; p < rawValues.size(); ++p)
        baseValues[p] = values[p] = usableValue (p);

    for (size_t e = 0; e < gridWords.size(); ++e)
    {
        const auto word = gridWords[e].load();
        std::memcpy (&baseValues[tz::numParams + e], &word, sizeof (word));
    }

    effects.startClean (values);

    input.reset();
    output.reset();

    activeOrder = tz::unpackChainOrder (chainOrderBits.load());

    modSum.fill (0.0f);
    modTouched.fill (false);
    modOut.fill (0.0f);
    xySmooth.fill (0.0f);
    xyLast = { values[tz::xyX], values[tz::xyY] };

    seenGeneration = presetGeneration.load();
    cleanPending = false;
    running = false;
}

void TazzleAudioProcessor::runEffect (tz::EffectId id, float* const* channels, int numChannels, int numSamples,
                                      const tz::Transport& transport)
{
    std::uint32_t gridWord = 0;
    std::memcpy (&gridWord, &baseValues[tz::numParams + (size_t) id], sizeof (gridWord));
    effects.run (id, channels, numChannels, numSamples, transport, values, gridWord, gridStep);
}

void TazzleAudioProcessor::runModulation (double chunkEndBeat, int numSamples) noexcept
{
    tz::advanceModulators (values, chunkEndBeat, numSamples, currentSampleRate, xyLast[0], modOut);

    for (size_t m = 0; m < modOut.size(); ++m)
    {
        uiModValue[m].store (modOut[m], std::memory_order_relaxed);
        uiModBeat[m].store (chunkEndBeat, std::memory_order_relaxed);
    }

    tz::smoothXY (xySmooth, xyLast, numSamples, currentSampleRate);
    tz::addRouteContributions (values, modOut, xySmooth, tz::xyIntensity (xyLast[1]), modSum, modTouched);
}

void TazzleAudioProcessor::applyModulation()
{
    for (size_t p = 0; p < modSum.size(); ++p)
    {
        if (! modTouched[p])
        {
            uiModulated[p].store (-1.0f, std::memory_order_relaxed);
            continue;
        }

        const auto& range = params[p]->getNormalisableRange();
        const float u = juce::jlimit (0.0f, 1.0f, range.convertTo0to1 (values[p]));
        const float modulated = juce::jlimit (0.0f, 1.0f, u + modSum[p]);

        values[p] = range.convertFrom0to1 (modulated);
        modulatedParams[numModulated++] = (std::uint16_t) p;
        uiModulated[p].store (modulated, std::memory_order_relaxed);
        modSum[p] = 0.0f;
        modTouched[p] = false;
    }
}

//==============================================================================
void TazzleAudioProcessor::takeStateChanges() noexcept
{
    if (presetGeneration.load() != seenGeneration)
    {
        if (running)
        {
            seenGeneration = presetGeneration.load();
            cleanPending = true;
        }
        else
        {
            resetEffects();
            startClean();
            holdWhileStateChanges();
        }
    }
    running = true;

    if (resetRequested.exchange (false))
    {
        resetEffects();
        const int generation = presetGeneration.load();
        startClean();
        seenGeneration = generation;
        running = true;
        output.crossfadeFromDryAfterEmptyDelays();
        holdWhileStateChanges();
    }
}

// A clean start inside the block keeps the generation it had seen, so that a change made meanwhile gets its own
// restart. It adopts the order stored now, which may be newer than the one the block read: that becomes the
// requested order, or the chain would fade back into the old one.
void TazzleAudioProcessor::restartWithinBlock (tz::ChainOrder& requestedOrder) noexcept
{
    resetEffects();
    const int generation = seenGeneration;
    startClean();
    seenGeneration = generation;
    output.fadeInFromEmptyDelays();
    running = true;
    requestedOrder = activeOrder;
}

void TazzleAudioProcessor::takeChunkValues (double chunkStartBeat, int numSamples, double samplesPerBeat) noexcept
{
    if (! cleanPending && ! takeSnapshot())
    {
        // A state change began during this block: the last whole snapshot plays on while the output fades.
        seenGeneration = presetGeneration.load();
        cleanPending = true;
        // The failed snapshot may have staged torn values anywhere.
        std::copy_n (baseValues.begin(), values.size(), values.begin());
    }
    else
    {
        // Between chunks only modulation moves `values` away from the base: copying all of them cost 0.28 ms/s.
        for (size_t k = 0; k < numModulated; ++k)
            values[modulatedParams[k]] = baseValues[modulatedParams[k]];
    }
    numModulated = 0;

    runModulation (chunkStartBeat + numSamples / samplesPerBeat, numSamples);
    applyModulation();

    xyLast = { values[tz::xyX], values[tz::xyY] };
    uiXY[0].store (xyLast[0], std::memory_order_relaxed);
    uiXY[1].store (xyLast[1], std::memory_order_relaxed);

    gridStep = tz::gridStepAt (chunkStartBeat + numSamples / (2.0 * samplesPerBeat), values[tz::gridRate],
                               values[tz::gridLength]);
    uiGridStep.store (gridStep, std::memory_order_relaxed);
}

//==============================================================================
void TazzleAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    for (int ch = getTotalNumInputChannels(); ch < buffer.getNumChannels(); ++ch)
        buffer.clear (ch, 0, buffer.getNumSamples());

    const int numChannels = juce::jmin (preparedChannels, buffer.getNumChannels());
    const int numPresent = juce::jmin (2, buffer.getNumChannels());
    const int numSamples = buffer.getNumSamples();

    const auto clock = tz::readHostClock (getPlayHead(), beatPos);
    const double samplesPerBeat = tz::samplesPerBeatFor (currentSampleRate, clock.bpm);

    takeStateChanges();

    auto requestedOrder = tz::unpackChainOrder (chainOrderBits.load());
    if (onOrderRead)
        onOrderRead();

    for (int offset = 0; offset < numSamples; offset += tz::chunkSize)
    {
        const int n = juce::jmin (tz::chunkSize, numSamples - offset);
        const double chunkStartBeat = clock.startBeat + offset / samplesPerBeat;
        const tz::Transport transport { clock.bpm, chunkStartBeat, samplesPerBeat, clock.playing };

        takeChunkValues (chunkStartBeat, n, samplesPerBeat);

        std::array<float*, 2> present {}, channels {};
        for (int ch = 0; ch < numPresent; ++ch)
            present[(size_t) ch] = buffer.getWritePointer (ch, offset);
        std::copy_n (present.begin(), numChannels, channels.begin());
        input.process (present.data(), numPresent, numChannels, n, values[tz::inputGain]);

        for (const int id : activeOrder)
            runEffect ((tz::EffectId) id, channels.data(), numChannels, n, transport);

        const bool orderChanging = requestedOrder != activeOrder && ! cleanPending;
        if (! output.process (channels.data(), numChannels, n, input, values[tz::mix], values[tz::outputGain],
                              orderChanging, cleanPending))
        {
            restartWithinBlock (requestedOrder);
            holdWhileStateChanges();
            continue;
        }

        if (orderChanging && output.orderFadedOut())
            activeOrder = requestedOrder;
        if (cleanPending && output.restartFadedOut() && stateChangesInProgress.load() == 0)
            restartWithinBlock (requestedOrder);
    }

    beatPos = clock.startBeat + numSamples / samplesPerBeat;
}

void TazzleAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const int numInputChannels = getTotalNumInputChannels();
    for (int ch = numInputChannels; ch < buffer.getNumChannels(); ++ch)
        buffer.clear (ch, 0, buffer.getNumSamples());

    input.processBypassed (buffer.getArrayOfWritePointers(), juce::jmin (2, buffer.getNumChannels()),
                           buffer.getNumSamples());

    resetRequested.store (true, std::memory_order_release);
}

//==============================================================================
void TazzleAudioProcessor::beginStateChange() noexcept
{
    ++stateChangesInProgress;
    ++presetGeneration;
}

void TazzleAudioProcessor::endStateChange() noexcept
{
    ++presetGeneration;
    --stateChangesInProgress;
}

bool TazzleAudioProcessor::takeSnapshot() noexcept
{
    const int generation = presetGeneration.load();

    if (generation != seenGeneration || stateChangesInProgress.load() > 0)
        return false;

    // Staged in `values` (rebuilt from baseValues right after), so a read torn by a change that starts
    // meanwhile never reaches the snapshot. Only the groups that changed are read; a snapshot that fails leads
    // to a clean start, which reads everything.
    constexpr auto firstRouteParam = (size_t) tz::routeParam (0, 0);
    static_assert (tz::routeParam (tz::numRoutes - 1, tz::routeField::depth) == tz::numParams - 1);
    const auto changed = changedGroups.exchange (0, std::memory_order_acquire);
    const auto groupRange = [] (size_t g) {
        return std::pair { g * paramsPerGroup, std::min ((g + 1) * paramsPerGroup, (size_t) tz::numParams) };
    };

    bool routesChanged = false;
    for (size_t g = 0; g < (size_t) numParamGroups; ++g)
    {
        if ((changed & (1u << g)) == 0)
            continue;
        const auto [first, end] = groupRange (g);
        routesChanged = routesChanged || end > firstRouteParam;
        for (size_t p = first; p < std::min (end, firstRouteParam); ++p)
            values[p] = usableValue (p, std::memory_order_relaxed);
    }

    // A new route is written target and depth first and source last. Its source is read first and with
    // acquire: a chunk that sees the new source then also sees the target and depth stored before it.
    for (int r = 0; routesChanged && r < tz::numRoutes; ++r)
    {
        const auto source = (size_t) tz::routeParam (r, tz::routeField::source);
        values[source] = usableValue (source, std::memory_order_acquire);

        for (const int field : { tz::routeField::target, tz::routeField::depth })
        {
            const auto p = (size_t) tz::routeParam (r, field);
            values[p] = usableValue (p, std::memory_order_relaxed);
        }
    }

    std::array<std::uint32_t, tz::numEffects> words {};
    for (size_t e = 0; e < gridWords.size(); ++e)
        words[e] = gridWords[e].load (std::memory_order_relaxed);

    std::atomic_thread_fence (std::memory_order_acquire);

    if (presetGeneration.load (std::memory_order_relaxed) != generation)
        return false;

    for (size_t g = 0; g < (size_t) numParamGroups; ++g)
    {
        if ((changed & (1u << g)) == 0)
            continue;
        const auto [first, end] = groupRange (g);
        std::copy (values.begin() + (std::ptrdiff_t) first, values.begin() + (std::ptrdiff_t) end,
                   baseValues.begin() + (std::ptrdiff_t) first);
    }
    if (routesChanged)
        std::copy (values.begin() + (std::ptrdiff_t) firstRouteParam, values.begin() + tz::numParams,
                   baseValues.begin() + (std::ptrdiff_t) firstRouteParam);
    std::memcpy (&baseValues[tz::numParams], words.data(), sizeof (words));
    return true;
}

void TazzleAudioProcessor::holdWhileStateChanges() noexcept
{
    // A start taken while a change is still being written may hold half of it: keep silent until it ends.
    if (stateChangesInProgress.load() > 0)
    {
        cleanPending = true;
        output.silence();
    }
}

//==============================================================================
juce::File TazzleAudioProcessor::presetFolder() { return tz::presetRoot(); }

const juce::StringArray& TazzleAudioProcessor::presetCategories() { return tz::presetCategories(); }

bool TazzleAudioProcessor::installFactoryPresets() { return tz::installFactoryPresets (presetFolder()); }

void TazzleAudioProcessor::loadPreset (const juce::XmlElement& preset)
{
    beginStateChange();

    const auto document = juce::ValueTree::fromXml (preset);
    const auto& infos = tz::allParams();

    for (size_t p = 0; p < infos.size(); ++p)
    {
        if (isLocked ((tz::P) p))
            continue;

        // Within an editor action the action holds the gesture; otherwise each value is a gesture of its own.
        auto* param = params[p];
        const bool ownGesture = ! beforeUserWrite;
        if (ownGesture)
            param->beginChangeGesture();
        setNormalisedValue ((int) p, param->convertTo0to1 (tz::presetValueFor (document, infos[p])));
        if (ownGesture)
            param->endChangeGesture();
    }

    setStateProperty (tz::stateIds::chainOrder, preset.getStringAttribute (tz::stateIds::chainOrder));
    setStateProperty (tz::stateIds::grid, preset.getStringAttribute (tz::stateIds::grid));
    loadChainOrderFromState();
    loadGridFromState();

    setStateProperty (tz::stateIds::presetName, preset.getStringAttribute (tz::stateIds::presetName, "Untitled"));
    setStateProperty (tz::stateIds::presetCategory, preset.getStringAttribute (tz::stateIds::presetCategory));
    setStateProperty (tz::stateIds::presetPack, juce::String());

    endStateChange();
}

bool TazzleAudioProcessor::loadPresetFile (const juce::File& file)
{
    const auto document = tz::readPresetFile (file);

    if (document == nullptr)
        return false;

    loadPreset (*document);
    setStateProperty (tz::stateIds::presetPack, tz::packOfPresetFile (file, presetFolder()));
    setPresetFile (file);
    return true;
}

void TazzleAudioProcessor::resetToInit()
{
    loadPreset (tz::initPatchDocument());
    setStateProperty (tz::stateIds::presetCategory, juce::String());
    setStateProperty (tz::stateIds::presetPack, juce::String());
}

juce::String TazzleAudioProcessor::getPresetName() const
{
    return parameterState.state.getProperty (tz::stateIds::presetName, "Init").toString();
}

const juce::String TazzleAudioProcessor::getProgramName (int)
{
    const auto name = getPresetName();
    return name.isEmpty() ? "Init" : name;
}

juce::String TazzleAudioProcessor::getPresetCategory() const
{
    return parameterState.state.getProperty (tz::stateIds::presetCategory).toString();
}

juce::String TazzleAudioProcessor::getPresetPack() const
{
    return parameterState.state.getProperty (tz::stateIds::presetPack).toString();
}

namespace
{
juce::String identityOf (const TazzleAudioProcessor& processor)
{
    return processor.getPresetName() + "\n" + processor.getPresetCategory() + "\n" + processor.getPresetPack();
}
} // namespace

juce::File TazzleAudioProcessor::getPresetFile() const
{
    return presetFileIdentity == identityOf (*this) ? presetFile : juce::File();
}

void TazzleAudioProcessor::setPresetFile (const juce::File& file)
{
    presetFile = file;
    presetFileIdentity = identityOf (*this);
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new TazzleAudioProcessor(); }
