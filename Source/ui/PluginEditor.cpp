#include "ui/PluginEditor.h"

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/Accessibility.h"

TazzleAudioProcessorEditor::TazzleAudioProcessorEditor (TazzleAudioProcessor& p)
    : juce::AudioProcessorEditor (p)
    , processor (p)
    , mainPanel (p, [this] (float scale) { setScale (scale); })
{
    tooltipWindow.setName ("tooltip");
    const float stored = processor.getUiScale (tz::ui::window::defaultScale);

    setLookAndFeel (&lookAndFeel);
    addAndMakeVisible (mainPanel);
    setWantsKeyboardFocus (true);
    setFocusContainerType (FocusContainerType::keyboardFocusContainer);
    setTitle ("Tazzle");
    mainPanel.addMouseListener (this, true);

    setResizable (true, true);
    namespace window = tz::ui::window;
    setResizeLimits (juce::roundToInt ((float) window::designWidth * window::minScale),
                     juce::roundToInt ((float) window::designHeight * window::minScale),
                     juce::roundToInt ((float) window::designWidth * window::maxScale),
                     juce::roundToInt ((float) window::designHeight * window::maxScale));
    getConstrainer()->setFixedAspectRatio ((double) MainPanel::designWidth / MainPanel::designHeight);

    // A scale stored on a larger screen opens at the largest that fits this one.
    setScale (juce::jmin (stored, mainPanel.largestFittingScale()));
    startTimerHz (30);
}

TazzleAudioProcessorEditor::~TazzleAudioProcessorEditor()
{
    // Open menus draw with this editor's look and feel, which goes with it. (The framework offers no way to close
    // only this editor's menus; another instance's open menu closes too.)
    juce::PopupMenu::dismissAllActiveMenus();
    setLookAndFeel (nullptr);
}

void TazzleAudioProcessorEditor::resized()
{
    // Only the width counts: the aspect ratio is fixed, and hosts may round the height differently.
    const float scale = juce::jlimit (tz::ui::window::minScale, tz::ui::window::maxScale,
                                      (float) getWidth() / (float) MainPanel::designWidth);
    mainPanel.setTransform (juce::AffineTransform::scale (scale));
    processor.setUiScale (scale);
}

void TazzleAudioProcessorEditor::mouseDown (const juce::MouseEvent&)
{
    if (! hasKeyboardFocus (true))
        grabKeyboardFocus();
}

bool TazzleAudioProcessorEditor::keyPressed (const juce::KeyPress& key)
{
    if (! key.isKeyCode (juce::KeyPress::tabKey) || ! hasKeyboardFocus (false))
        return false;

    const auto controls = createKeyboardFocusTraverser()->getAllComponents (this);
    if (controls.empty())
        return false;
    (key.getModifiers().isShiftDown() ? controls.back() : controls.front())->grabKeyboardFocus();
    return true;
}

std::unique_ptr<juce::ComponentTraverser> TazzleAudioProcessorEditor::createKeyboardFocusTraverser()
{
    return tz::ui::createControlTraverser();
}

void TazzleAudioProcessorEditor::setScale (float scale)
{
    const float s = juce::jlimit (tz::ui::window::minScale, tz::ui::window::maxScale, scale);
    setSize (juce::roundToInt ((float) MainPanel::designWidth * s),
             juce::roundToInt ((float) MainPanel::designHeight * s));
    resized();
}

void TazzleAudioProcessorEditor::timerCallback() { mainPanel.refresh(); }
