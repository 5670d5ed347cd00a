// What a screen reader finds in the editor: every control named, with a role and the host's value text, in
// groups named after what they hold.

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "HeadlessWindow.h"
#include "core/PluginProcessor.h"
#include "ui/PluginEditor.h"

namespace
{
using Role = juce::AccessibilityRole;

bool isInteractive (const juce::AccessibilityHandler& h)
{
    static const std::set<Role> controls { Role::button,   Role::toggleButton, Role::radioButton,
                                           Role::comboBox, Role::slider,       Role::editableText };
    const auto& actions = h.getActions();
    return controls.count (h.getRole()) > 0 || actions.contains (juce::AccessibilityActionType::press)
        || actions.contains (juce::AccessibilityActionType::toggle);
}

// Every element reached from a handler, by its path of titles ("Delay/Delay Feedback").
void walk (juce::AccessibilityHandler& group, const juce::String& path,
           std::map<juce::String, juce::AccessibilityHandler*>& found)
{
    std::map<juce::String, int> titles;
    for (auto* child : group.getChildren())
    {
        const auto title = child->getTitle();
        const auto childPath = path.isEmpty() ? title : path + "/" + title;
        SCOPED_TRACE (childPath.toStdString());

        if (isInteractive (*child))
        {
            const auto& component = child->getComponent();
            EXPECT_TRUE (title.isNotEmpty()) << "a control without a name in " << path << ", role "
                                             << (int) child->getRole() << ", " << typeid (component).name();
        }
        if (title.isNotEmpty() && (isInteractive (*child) || child->getRole() == Role::group))
        {
            EXPECT_EQ (++titles[title], 1) << "named twice in " << path << ": " << title;
            found[childPath] = child;
        }
        if (child->getRole() == Role::group)
            walk (*child, childPath, found);
    }
}

std::map<juce::String, juce::AccessibilityHandler*> tree (TazzleAudioProcessorEditor& editor)
{
    std::map<juce::String, juce::AccessibilityHandler*> found;
    walk (*editor.getAccessibilityHandler(), {}, found);
    return found;
}

juce::String valueText (juce::AccessibilityHandler& h)
{
    auto* value = h.getValueInterface();
    return value != nullptr ? value->getCurrentValueAsString() : "(no value)";
}

struct Patch
{
    Patch()
    {
        processor.setValue (tz::modParam (0, tz::modField::mode), 1.0f);
        processor.setValue (tz::delayFeedback, 62.0f);
        processor.setValue (tz::xyX, 30.0f);
        processor.setGridRow (tz::EffectId::stutter, { 0b10000, true });
        processor.setChainOrder ({ 6, 8, 9, 0, 3, 2, 1, 4, 5, 7 });
        editor.getMainPanel().refresh();
    }

    juce::String hostText (int p) { return processor.getParameters()[p]->getCurrentValueAsText(); }

    TazzleAudioProcessor processor;
    TazzleAudioProcessorEditor editor { processor };
    tz::test::HeadlessWindow window { editor };
};
} // namespace

TEST (Accessibility, EveryControlHasARoleAUniqueNameAndTheHostsValueText)
{
    Patch s;
    for (const bool gridPage : { false, true })
    {
        SCOPED_TRACE (gridPage ? "FX GRID page" : "MODULATORS page");
        s.editor.getMainPanel().showModulatorsPage (! gridPage);
        const auto found = tree (s.editor);

        // A control named after its parameter reads the parameter's text as the host shows it.
        int parameterControls = 0;
        for (const auto& [path, handler] : found)
        {
            const auto title = handler->getTitle();
            for (auto* parameter : s.processor.getParameters())
                if (parameter->getName (100) == title && handler->getValueInterface() != nullptr)
                {
                    EXPECT_EQ (valueText (*handler), parameter->getCurrentValueAsText()) << path;
                    ++parameterControls;
                }
        }
        EXPECT_GT (parameterControls, 50);
    }
}

TEST (Accessibility, ControlsAreFoundByTheirNames)
{
    Patch s;
    const auto modulatorsPage = tree (s.editor);
    s.editor.getMainPanel().showModulatorsPage (false);
    const auto gridPage = tree (s.editor);

    const struct
    {
        const char* path;
        Role role;
        juce::String value; // empty: not checked
        bool onGridPage = false;
    } expected[] = {
        { "Random patch", Role::button, {} },
        { "Mutate patch", Role::button, {} },
        { "Settings", Role::button, {} },
        { "Previous preset", Role::button, {} },
        { "Browse presets", Role::button, {} },
        { "Favourite", Role::button, {} },
        { "Modulators page", Role::radioButton, {} },
        { "FX Grid page", Role::radioButton, {} },
        { "Delay", Role::group, {} },
        { "Delay/Delay Feedback", Role::slider, s.hostText (tz::delayFeedback) },
        { "Delay/Delay Time", Role::comboBox, s.hostText (tz::delayTime) },
        { "Stutter/Stutter On", Role::toggleButton, s.hostText (tz::stutterOn) },
        { "Stutter/Move Stutter later", Role::button, {} },
        { "Stutter/Fold Stutter", Role::button, {} },
        { "Tape Stop/Tape Stop Curve", Role::slider, {} },
        { "Mix", Role::slider, s.hostText (tz::mix) },
        { "Output", Role::slider, s.hostText (tz::outputGain) },
        { "Modulators/Mod 2", Role::radioButton, {} },
        { "Modulators/Mod 1 Rate", Role::comboBox, s.hostText (tz::modParam (0, tz::modField::rate)) },
        { "Modulators/Mod 1 Smooth", Role::slider, {} },
        { "Modulators/Mod 1 Follows XY", Role::button, "On" },
        { "Modulators/Mod 1 steps/Step 3 level", Role::slider,
          s.hostText (tz::modParam (0, tz::modField::firstStep + 2)) },
        { "Modulators/Mod 1 steps/Step 3 shape", Role::comboBox,
          s.hostText (tz::modParam (0, tz::modField::firstStepShape + 2)) },
        { "XY pad/X (Speed)", Role::slider, s.hostText (tz::xyX) },
        { "XY pad/Y (Intensity)", Role::slider, s.hostText (tz::xyY) },
        { "Send X to a knob", Role::button, {} },
        { "FX Grid/Stutter grid", Role::group, {}, true },
        { "FX Grid/Stutter grid/Step 5", Role::toggleButton, {}, true },
        { "FX Grid/Stutter grid/Stutter Grid On", Role::toggleButton, {}, true },
        { "FX Grid/Grid Rate", Role::comboBox, s.hostText (tz::gridRate), true },
        { "FX Grid/Clear grid", Role::button, {}, true },
    };

    for (const auto& e : expected)
    {
        SCOPED_TRACE (e.path);
        const auto& found = e.onGridPage ? gridPage : modulatorsPage;
        const auto it = found.find (e.path);
        ASSERT_NE (it, found.end());
        EXPECT_EQ ((int) it->second->getRole(), (int) e.role);
        if (e.value.isNotEmpty())
        {
            EXPECT_EQ (valueText (*it->second), e.value);
        }
    }

    // Cells say whether they are on; tabs what their modulator does.
    EXPECT_TRUE (gridPage.at ("FX Grid/Stutter grid/Step 5")->getCurrentState().isChecked());
    EXPECT_FALSE (gridPage.at ("FX Grid/Stutter grid/Step 6")->getCurrentState().isChecked());
    const auto tab = modulatorsPage.at ("Modulators/Mod 2")->getDescription();
    EXPECT_TRUE (tab.contains ("target")) << tab;
    EXPECT_TRUE (
        tab.contains (s.processor.getParameters()[tz::modParam (1, tz::modField::rate)]->getCurrentValueAsText()))
        << tab;
}

TEST (Accessibility, GridRowsFollowTheChainOrder)
{
    Patch s;
    s.editor.getMainPanel().showModulatorsPage (false);
    s.processor.setChainOrder ({ 4, 8, 9, 0, 3, 2, 1, 6, 5, 7 });
    s.editor.getMainPanel().refresh();
    const auto found = tree (s.editor);
    ASSERT_TRUE (found.count ("FX Grid/Delay grid/Step 1"));
    // The row now showing stutter still reads stutter's cells.
    EXPECT_TRUE (found.at ("FX Grid/Stutter grid/Step 5")->getCurrentState().isChecked());
}

TEST (Accessibility, StepsAreHiddenInLfoMode)
{
    Patch s;
    s.processor.setValue (tz::modParam (0, tz::modField::mode), 0.0f);
    EXPECT_FALSE (tree (s.editor).count ("Modulators/Mod 1 steps/Step 3 level"));
    s.processor.setValue (tz::modParam (0, tz::modField::mode), 1.0f);
    EXPECT_TRUE (tree (s.editor).count ("Modulators/Mod 1 steps/Step 3 level"));
}
