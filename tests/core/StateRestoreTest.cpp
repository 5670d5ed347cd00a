#include <gtest/gtest.h>

#include <cmath>

#include "presets/PresetTestSupport.h"
#include "presets/XmlReader.h"
#include "support/ProcessorHarness.h"

namespace
{
using namespace tz::test;

const auto& infos() { return tz::allParams(); }

void expectAllDefaults (TazzleAudioProcessor& processor)
{
    for (size_t p = 0; p < infos().size(); ++p)
        EXPECT_FLOAT_EQ (processor.getValue ((int) p), infos()[p].def) << infos()[p].id;
}

void expectGrid (TazzleAudioProcessor& processor, const tz::GridWords& expected)
{
    for (int e = 0; e < tz::numEffects; ++e)
    {
        const auto row = processor.getGridRow ((tz::EffectId) e);
        EXPECT_EQ (tz::packGridRow (row), expected[(size_t) e]) << tz::effectKeys[(size_t) e];
    }
}

// A legal, non-default value for every kind of parameter.
float someValueFor (const tz::ParamInfo& info, juce::Random& random)
{
    const float value = info.min + random.nextFloat() * (info.max - info.min);
    return info.kind == tz::ParamKind::Float ? value : std::round (value);
}

TEST (StateRestore, HostBlobReproducesTheWholeState)
{
    TazzleAudioProcessor source;
    juce::Random random (42);
    for (size_t p = 0; p < infos().size(); ++p)
        source.setValue ((int) p, someValueFor (infos()[p], random));

    source.setChainOrder ({ 9, 8, 7, 6, 5, 4, 3, 2, 1, 0 });
    for (int e = 0; e < tz::numEffects; ++e)
        source.setGridRow ((tz::EffectId) e, {});
    source.setGridRow (tz::delay, { 49344, true });
    source.setGridRow (tz::crush, { 768, false });
    auto& state = source.getParameterState().state;
    state.setProperty ("locked", "mix,output_gain", nullptr);
    state.setProperty ("folded", 37, nullptr);
    state.setProperty ("uiScale", 1.1, nullptr);
    state.setProperty ("presetName", "Round Trip", nullptr);
    state.setProperty ("presetCategory", "Space", nullptr);
    state.setProperty ("presetPack", "Drums", nullptr);

    TazzleAudioProcessor restored;
    restore (restored, stateOf (source));

    for (size_t p = 0; p < infos().size(); ++p)
        EXPECT_EQ (restored.getValue ((int) p), source.getValue ((int) p)) << infos()[p].id;

    EXPECT_EQ (restored.getChainOrder(), (tz::ChainOrder { 9, 8, 7, 6, 5, 4, 3, 2, 1, 0 }));
    expectGrid (restored, { 0, 0, 768, 0, 0x10000 | 49344, 0, 0, 0, 0, 0 });
    EXPECT_EQ (property (restored, "locked").toString(), "mix,output_gain");
    EXPECT_EQ ((int) property (restored, "folded"), 37);
    EXPECT_DOUBLE_EQ ((double) property (restored, "uiScale"), 1.1);
    EXPECT_EQ (restored.getPresetName(), "Round Trip");
    EXPECT_EQ (restored.getPresetCategory(), "Space");
    EXPECT_EQ (restored.getPresetPack(), "Drums");
    EXPECT_TRUE (restored.isLocked (tz::mix));
    EXPECT_TRUE (restored.isLocked (tz::outputGain));
}

TEST (StateRestore, EveryParameterHoldsExactlyTheRestoredValue)
{
    TazzleAudioProcessor source;
    juce::Random random (11);
    for (size_t p = 0; p < infos().size(); ++p)
        source.setValue ((int) p, someValueFor (infos()[p], random));

    // A host has left each parameter a little off the stored value, within a step of a switch or choice, so
    // that its plain value may already read as the stored one.
    TazzleAudioProcessor restored;
    for (size_t p = 0; p < infos().size(); ++p)
    {
        auto* param = restored.getParameters()[(int) p];
        const int steps = param->getNumSteps();
        const float offset = steps < 1000 ? 0.3f / (float) (steps - 1) : 0.001f;
        const float stored = source.getParameters()[(int) p]->getValue();
        param->setValueNotifyingHost (stored + offset <= 1.0f ? stored + offset : stored - offset);
    }

    restore (restored, stateOf (source));

    for (size_t p = 0; p < infos().size(); ++p)
        EXPECT_EQ (restored.getParameters()[(int) p]->getValue(), source.getParameters()[(int) p]->getValue())
            << infos()[p].id;
}

TEST (StateRestore, RootOnlyDocumentRestoresDefaultsAndKeepsNothing)
{
    TazzleAudioProcessor processor; // starts with the welcome preset
    processor.getParameterState().state.setProperty ("locked", "mix", nullptr);
    processor.setValue (tz::mix, 40.0f);

    restore (processor, blobOf (juce::XmlElement ("Tazzle")));

    expectAllDefaults (processor);
    EXPECT_EQ (processor.getChainOrder(), tz::defaultChainOrder);
    expectGrid (processor, {});
    EXPECT_EQ (processor.getPresetName(), "Init");
    EXPECT_EQ (processor.getPresetCategory(), "");
    EXPECT_EQ (processor.getPresetPack(), "");
    EXPECT_FALSE (processor.isLocked (tz::mix));
}

TEST (StateRestore, UnusableValuesFallBackToDefaults)
{
    const struct
    {
        const char* element;
        float expected;
    } cases[] = {
        { R"(<PARAM id="filter_cutoff" value="nan"/>)", 1000.0f },
        { R"(<PARAM id="filter_cutoff" value="inf"/>)", 1000.0f },
        { R"(<PARAM id="filter_cutoff" value="-inf"/>)", 1000.0f },
        { R"(<PARAM id="filter_cutoff"/>)", 1000.0f },
        { R"(<PARAM id="FILTER_CUTOFF" value="300"/>)", 1000.0f }, // IDs match exactly
        { R"(<PARAM id="filter_cutoff" value="abc"/>)", 20.0f },   // reads as 0, clamped into the range
        { R"(<OTHER id="filter_cutoff" value="300"/>)", 300.0f },  // any tag carries a value
        { R"(<PARAM id="filter_cutoff" value="300"/><PARAM id="not_a_param" value="1"/>)", 300.0f },
        // The first element with the ID gives the value, checked like a single one.
        { R"(<PARAM id="filter_cutoff" value="300"/><PARAM id="filter_cutoff" value="nan"/>)", 300.0f },
        { R"(<PARAM id="filter_cutoff" value="300"/><OTHER id="filter_cutoff" value="500"/>)", 300.0f },
        { R"(<PARAM id="filter_cutoff" value="inf"/><PARAM id="filter_cutoff" value="300"/>)", 1000.0f },
        { R"(<PARAM id="filter_cutoff"/><PARAM id="filter_cutoff" value="300"/>)", 1000.0f },
    };

    for (const auto& c : cases)
    {
        TazzleAudioProcessor processor;
        processor.setValue (tz::filterCutoff, 5000.0f);
        restore (processor, blobOf (*parse (juce::String ("<Tazzle>") + c.element + "</Tazzle>")));
        EXPECT_FLOAT_EQ (processor.getValue (tz::filterCutoff), c.expected) << c.element;
        EXPECT_FLOAT_EQ (processor.getValue (tz::reverbMix), 25.0f) << c.element;

        // What is saved again is that value, once.
        const auto saved =
            juce::AudioProcessor::getXmlFromBinary (stateOf (processor).getData(), (int) stateOf (processor).getSize());
        ASSERT_NE (saved, nullptr);
        int found = 0;
        for (const auto* child : saved->getChildIterator())
        {
            if (child->getStringAttribute ("id") == "filter_cutoff")
            {
                EXPECT_FLOAT_EQ ((float) child->getDoubleAttribute ("value"), c.expected) << c.element;
                ++found;
            }
        }
        EXPECT_EQ (found, 1) << c.element;
    }
}

TEST (StateRestore, DuplicatedNotANumberNeverReachesTheOutput)
{
    ProcessorHarness harness;
    restore (harness.processor,
             blobOf (*parse (
                 R"(<Tazzle><PARAM id="output_gain" value="0"/><PARAM id="output_gain" value="nan"/></Tazzle>)")));

    const auto out = harness.processConstant (0.5f, 4096);
    for (auto i = (size_t) harness.processor.getLatencySamples(); i < out.size(); ++i)
        ASSERT_EQ (out[i], 0.5f) << i; // the input at 0 dB
}

TEST (StateRestore, StoredOrderAndGridDecodeLeniently)
{
    const struct
    {
        const char* order;
        tz::ChainOrder expected;
    } orders[] = {
        { "3,3,12,x", { 3, 0, 6, 8, 9, 2, 1, 4, 5, 7 } },
        { "a,b", { 0, 6, 8, 9, 3, 2, 1, 4, 5, 7 } },
        // Exact whatever their length: 2^32 + 3 and -2^32 are no effects, however a 32-bit reading wraps them.
        { "4294967299,5", { 5, 6, 8, 9, 0, 3, 2, 1, 4, 7 } },
        { "-4294967296,5", { 5, 6, 8, 9, 0, 3, 2, 1, 4, 7 } },
        { "99999999999999999999999,5", { 5, 6, 8, 9, 0, 3, 2, 1, 4, 7 } },
        { " +3,\t-0,4 ", { 3, 0, 4, 6, 8, 9, 2, 1, 5, 7 } },
        { "", tz::defaultChainOrder },
    };

    for (const auto& c : orders)
    {
        TazzleAudioProcessor processor;
        processor.setChainOrder ({ 9, 8, 7, 6, 5, 4, 3, 2, 1, 0 });
        juce::XmlElement document ("Tazzle");
        document.setAttribute ("chainOrder", c.order);
        restore (processor, blobOf (document));
        EXPECT_EQ (processor.getChainOrder(), c.expected) << '"' << c.order << '"';
    }

    const struct
    {
        const char* grid;
        std::uint32_t filterWord;
    } grids[] = {
        { "768:1", 0x10000 | 768 },
        { "70000:1", 0x10000 | 4464 }, // low 16 bits only
        { "5", 5 },
        { "5:true", 5 }, // only "1" enables
        // The low 16 bits of the number however long it is: 2^63 + 5, 2^64 + 5, -1, -(2^63 + 1).
        { "9223372036854775813:1", 0x10000 | 5 },
        { "18446744073709551621:1", 0x10000 | 5 },
        { "-1:1", 0x10000 | 0xFFFF },
        { "-9223372036854775809", 0xFFFF },
    };

    for (const auto& c : grids)
    {
        TazzleAudioProcessor processor; // the welcome preset has stutter and reverse rows
        juce::XmlElement document ("Tazzle");
        document.setAttribute ("grid", c.grid);
        restore (processor, blobOf (document));
        expectGrid (processor, { c.filterWord, 0, 0, 0, 0, 0, 0, 0, 0, 0 });
    }
}

TEST (StateRestore, UpperCaseRootIsAccepted)
{
    TazzleAudioProcessor processor;
    restore (processor, blobOf (*parse (R"(<TAZZLE presetName="Loud"><PARAM id="mix" value="40"/></TAZZLE>)")));
    EXPECT_EQ (processor.getPresetName(), "Loud");
    EXPECT_FLOAT_EQ (processor.getValue (tz::mix), 40.0f);
    EXPECT_EQ (processor.getParameterState().state.getType().toString(), "Tazzle");
}

TEST (StateRestore, UnusableBlobsChangeNothing)
{
    const auto valid = blobOf (*parse (R"(<Tazzle presetName="Valid"><PARAM id="mix" value="10"/></Tazzle>)"));
    const auto header = juce::MemoryBlock (valid.getData(), 8);

    juce::MemoryBlock noMagic (valid);
    noMagic[0] = 'X';

    const auto unparsable = blobOfText (R"(<Tazzle presetName="Broken"><PARAM id="mix" value="10"></Tazzle>)");

    // Nesting that overflows the parser's stack, and a document beyond the reader's size limit.
    const auto deep = blobOfText (documentAround (nestedElements (5000)));
    const auto huge = blobOfText (documentAround (juce::String::repeatedString (" ", (int) tz::maxXmlBytes)));

    const auto otherRoot = blobOf (*parse (R"(<Other presetName="Foreign"><PARAM id="mix" value="10"/></Other>)"));

    // A count shorter than the text cuts it into something that does not parse.
    juce::MemoryBlock truncated (valid);
    static_cast<juce::uint32*> (truncated.getData())[1] = juce::ByteOrder::swapIfBigEndian ((juce::uint32) 20);

    for (const juce::MemoryBlock* blob : std::initializer_list<const juce::MemoryBlock*> {
             &header, &noMagic, &unparsable, &otherRoot, &truncated, &deep, &huge })
    {
        TazzleAudioProcessor processor;
        processor.setValue (tz::mix, 55.0f);
        const auto before = stateOf (processor);

        restore (processor, *blob);
        EXPECT_EQ (stateOf (processor), before);
        EXPECT_EQ (processor.getPresetName(), "Tazzle Machine");
    }

    TazzleAudioProcessor processor;
    processor.setStateInformation (nullptr, 0);
    EXPECT_EQ (processor.getPresetName(), "Tazzle Machine");
}

TEST (StateRestore, StoredLengthBeyondTheBlobReadsWhatIsThere)
{
    auto blob = blobOf (*parse (R"(<Tazzle presetName="Long"><PARAM id="mix" value="10"/></Tazzle>)"));
    static_cast<juce::uint32*> (blob.getData())[1] = juce::ByteOrder::swapIfBigEndian ((juce::uint32) 0xFFFFFFF0);

    TazzleAudioProcessor processor;
    restore (processor, blob);
    EXPECT_EQ (processor.getPresetName(), "Long");
    EXPECT_FLOAT_EQ (processor.getValue (tz::mix), 10.0f);
}

TEST (StateRestore, SavedBlobIsTheWrappedSingleLineDocument)
{
    TazzleAudioProcessor processor;
    const auto blob = stateOf (processor);
    const auto* bytes = static_cast<const char*> (blob.getData());

    ASSERT_GT (blob.getSize(), 9u);
    EXPECT_EQ (juce::String (bytes, 4), "VC2!");
    const auto length = juce::ByteOrder::littleEndianInt (bytes + 4);
    EXPECT_EQ ((size_t) length, blob.getSize() - 9);
    EXPECT_EQ (bytes[blob.getSize() - 1], 0);

    const auto text = juce::String::fromUTF8 (bytes + 8, (int) length);
    EXPECT_TRUE (text.startsWith ("<?xml"));
    EXPECT_FALSE (text.containsChar ('\n'));

    const auto document = juce::parseXML (text);
    ASSERT_NE (document, nullptr);
    EXPECT_EQ (document->getTagName(), "Tazzle");
    EXPECT_EQ (document->getNumChildElements(), tz::numParams);
}
} // namespace
