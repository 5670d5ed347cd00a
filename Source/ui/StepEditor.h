#pragma once

#include <array>
#include <optional>
#include <tuple>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/Parameters.h"
#include "ui/FineControl.h"
#include "ui/HostWrites.h"
#include "ui/theme/Theme.h"

class TazzleAudioProcessor;

// The big display of one modulator: a cycle of its wave in LFO mode; in Steps mode an editor for the sixteen
// step levels (drawn on bars) and step shapes (a row of cells), with a menu of pattern tools.
class StepEditor : public juce::Component
{
public:
    static constexpr int lfoSegments = 320;

    struct Settings
    {
        bool stepMode = false;
        int shape = 0;
        double rateBeats = 1.0; // per LFO cycle, or per step; already divided by the XY speed
        int length = 16;
        float smooth = 0.0f, swing = 0.0f, phase = 0.0f;
        std::array<float, tz::numModSteps> levels {}; // 0..1
        std::array<int, tz::numModSteps> shapes {};   // tz::stepShape

        bool operator== (const Settings& o) const
        {
            return stepMode == o.stepMode && shape == o.shape && rateBeats == o.rateBeats && length == o.length
                && smooth == o.smooth && swing == o.swing && phase == o.phase && levels == o.levels
                && shapes == o.shapes;
        }
        bool operator!= (const Settings& o) const { return ! (*this == o); }
    };

    StepEditor (TazzleAudioProcessor& processor, int modulator);

    // A snapshot of modulator m's settings, as the engine reads them.
    static Settings settingsOf (const TazzleAudioProcessor& processor, int modulator);
    Settings settings() const { return settingsOf (processor, modulator); }
    int getModulator() const noexcept { return modulator; }

    // Writes a step's level (0..1), holding the step's gesture open until the mouse is released.
    void setStep (int step, float level);

    // The modulator's display position (0..1 across the plot) and value; repaints when either moved.
    void setPosition (double position, float value);
    // Repaints when the modulator's settings differ from those it last drew; the 30 Hz refresh calls it.
    void refresh();

    // One cycle of the LFO as drawn: the value at each of the lfoSegments + 1 points across the plot.
    std::vector<float> lfoCurve() const;

    juce::PopupMenu buildStepMenu (int step) const;
    // Applies a step-menu result to the levels and length as they were when the menu opened.
    void handleStepMenuResult (int itemId, int step, const std::array<float, tz::numModSteps>& levels, int length,
                               juce::Random& random);
    void showStepMenu (int step);

    juce::String footerLeftText() const;
    juce::String footerRightText() const;

    // Geometry, in this component's coordinates.
    juce::Rectangle<float> plotArea() const;
    juce::Rectangle<float> shapesRow() const;
    int stepAt (float x) const;
    float levelAt (float y) const;

    // The parameters whose gestures the current press holds open.
    std::vector<juce::RangedAudioParameter*> openGestures() const
    {
        return drawAction ? drawAction->openGestures() : std::vector<juce::RangedAudioParameter*>();
    }

    void paint (juce::Graphics&) override;
    void mouseMove (const juce::MouseEvent&) override;
    void mouseExit (const juce::MouseEvent&) override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;

private:
    void setShape (int step, int shape);
    void paintFace (juce::Graphics&, const Settings&, juce::Colour);
    void paintLfo (juce::Graphics&, const Settings&, juce::Colour);
    void paintSteps (juce::Graphics&, const Settings&, juce::Colour);
    void paintTrail (juce::Graphics&, juce::Colour);
    int playingStep() const;
    juce::RectangleList<int> trailDots() const;
    juce::Rectangle<float> footerArea() const;
    juce::Rectangle<float> stepColumn (int step) const;
    bool overShapes (juce::Point<float>) const;

    TazzleAudioProcessor& processor;
    const int modulator;

    int hoverStep = -1;
    bool hoverOnShapes = false;
    int lastStep = -1;
    int dragShape = -1;
    // A press and its drag are one user action: every step they write is one gesture, ended on release.
    std::optional<tz::ui::UserAction> drawAction;
    tz::ui::FinePointer pointer;

    Settings drawn;
    // What the kept image of the face was drawn for: settings, hover step and place, playing step.
    Settings bodySettings;
    std::tuple<int, bool, int> bodyFace { -2, false, -1 };
    tz::theme::PaintCache body;
    double lastPosition = -1.0;
    int shownPlayingStep = -1;
    float lastValue = -1.0f;
    std::array<juce::Point<float>, 40> trail {};
    int trailWrite = 0, trailCount = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StepEditor)
};
