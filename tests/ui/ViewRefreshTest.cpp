// The grid page and the step editor show what the processor holds after one refresh, whoever changed it and
// whether or not audio runs: no processBlock is called here.

#include <gtest/gtest.h>

#include "core/PluginProcessor.h"
#include "presets/FactoryPresets.h"
#include "presets/StateDocument.h"
#include "ui/PluginEditor.h"

namespace
{
int differingPixels (const juce::Image& a, const juce::Image& b)
{
    if (a.getBounds() != b.getBounds())
        return a.getWidth() * a.getHeight();

    int count = 0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            count += a.getPixelAt (x, y) != b.getPixelAt (x, y) ? 1 : 0;
    return count;
}

// What the main panel shows of a view: a view kept as an image shows old pixels until it asks to be drawn again,
// as on screen.
juce::Image snapshotOf (TazzleAudioProcessorEditor& editor, juce::Component& view)
{
    auto& panel = editor.getMainPanel();
    return panel.createComponentSnapshot (panel.getLocalArea (&view, view.getLocalBounds()), true);
}

// Every change a view must catch up with, made from outside the editor as a host, a preset or another view
// would make it.
enum class Page
{
    grid,
    steps
};

struct OutsideChange
{
    const char* name;
    std::vector<Page> shownOn;
    std::function<void (TazzleAudioProcessor&)> apply;
};

void setAsHost (TazzleAudioProcessor& processor, int p, float plainValue)
{
    auto* param = processor.getParameterState().getParameter (tz::allParams()[(size_t) p].id);
    param->setValueNotifyingHost (param->convertTo0to1 (plainValue));
}

const std::vector<OutsideChange>& outsideChanges()
{
    static const std::vector<OutsideChange> changes {
        { "loadPreset",
          { Page::grid, Page::steps },
          [] (TazzleAudioProcessor& p) { p.loadPreset (*tz::factoryPresetDocuments()[5]); } },
        { "resetToInit", { Page::grid, Page::steps }, [] (TazzleAudioProcessor& p) { p.resetToInit(); } },
        { "grid row from a host restore",
          { Page::grid },
          [] (TazzleAudioProcessor& p)
          {
              juce::MemoryBlock blob;
              p.getStateInformation (blob);
              auto xml = juce::AudioProcessor::getXmlFromBinary (blob.getData(), (int) blob.getSize());
              xml->setAttribute (tz::stateIds::grid, "65535,0,0,0,0,0,0,0,0,65541");
              juce::MemoryBlock changed;
              juce::AudioProcessor::copyXmlToBinary (*xml, changed);
              p.setStateInformation (changed.getData(), (int) changed.getSize());
          } },
        { "grid length 5", { Page::grid }, [] (TazzleAudioProcessor& p) { setAsHost (p, tz::gridLength, 5.0f); } },
        { "delay switched on",
          { Page::grid },
          [] (TazzleAudioProcessor& p) { setAsHost (p, tz::effectParams[4].on, 1.0f); } },
        { "setChainOrder",
          { Page::grid },
          [] (TazzleAudioProcessor& p) {
              p.setChainOrder ({ 4, 0, 1, 2, 3, 5, 6, 7, 8, 9 });
          } },
        { "step level",
          { Page::steps },
          [] (TazzleAudioProcessor& p) { setAsHost (p, tz::modParam (0, tz::modField::firstStep + 2), 7.0f); } },
        { "step shape",
          { Page::steps },
          [] (TazzleAudioProcessor& p) { setAsHost (p, tz::modParam (0, tz::modField::firstStepShape + 3), 4.0f); } },
        { "modulator length",
          { Page::steps },
          [] (TazzleAudioProcessor& p) { setAsHost (p, tz::modParam (0, tz::modField::length), 5.0f); } },
    };
    return changes;
}

// A patch with something in every row and a stepped Mod 1, so each change shows.
void startingPatch (TazzleAudioProcessor& processor)
{
    for (int e = 0; e < tz::numEffects; ++e)
        processor.setGridRow ((tz::EffectId) e, { (unsigned int) (0x1111u << (e % 4)), e % 2 == 0 });
    setAsHost (processor, tz::effectParams[4].on, 0.0f);
    setAsHost (processor, tz::modParam (0, tz::modField::mode), 1.0f);
    for (int i = 0; i < tz::numModSteps; ++i)
        setAsHost (processor, tz::modParam (0, tz::modField::firstStep + i), (float) (i * 6));
}

juce::Component& viewOn (TazzleAudioProcessorEditor& editor, Page page)
{
    auto& panel = editor.getMainPanel();
    if (page == Page::grid)
    {
        panel.getGridTab().onClick();
        return panel.getGridView();
    }
    return panel.getModulatorSection().getStepEditor();
}
} // namespace

TEST (ViewRefresh, ShowsChangesMadeElsewhereWithoutAudio)
{
    for (const auto& change : outsideChanges())
    {
        for (const auto page : change.shownOn)
        {
            SCOPED_TRACE (juce::String (page == Page::grid ? "grid view, " : "step editor, ") + change.name);
            TazzleAudioProcessor processor;
            startingPatch (processor);

            TazzleAudioProcessorEditor open (processor);
            auto& shown = viewOn (open, page);
            shown.setBufferedToImage (true);
            open.getMainPanel().refresh();
            const auto before = snapshotOf (open, shown);

            change.apply (processor);
            // Something else (a pointer, a moved child) has a corner drawn again before the refresh comes.
            shown.repaint (0, 0, 8, 8);
            open.getMainPanel().createComponentSnapshot (
                open.getMainPanel().getLocalArea (&shown, juce::Rectangle<int> (8, 8)));
            open.getMainPanel().refresh();
            const auto after = snapshotOf (open, shown);

            TazzleAudioProcessorEditor fresh (processor);
            auto& expected = viewOn (fresh, page);
            expected.setBufferedToImage (true);
            fresh.getMainPanel().refresh();

            EXPECT_GT (differingPixels (before, after), 0) << "the change shows nothing on this view";
            EXPECT_EQ (differingPixels (after, snapshotOf (fresh, expected)), 0);
        }
    }
}
