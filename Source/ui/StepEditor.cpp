#include "ui/StepEditor.h"

#include <cmath>
#include <utility>

#include "core/PluginProcessor.h"
#include "core/Transport.h"
#include "engine/Modulators.h"
#include "ui/Menus.h"
#include "ui/theme/Theme.h"

namespace theme = tz::theme;

namespace
{
constexpr float plotLeft = 12.0f, plotTop = 24.0f;
constexpr double displayBpm = 120.0; // the editor knows no tempo; smoothing is drawn as it sounds at 120 BPM

const juce::StringArray& stepShapeNames()
{
    static const juce::StringArray names { "Square", "Ramp Down", "Ramp Up", "Curve", "Glide" };
    return names;
}

enum MenuIds
{
    firstShapeId = 1,
    firstAllStepsId = 11,
    allOnId = 21,
    allOffId,
    invertId,
    randomGatesId,
    randomLevelsId,
    shiftLeftId,
    shiftRightId
};

// The pattern tools, as the menu lists them and the undo history names them.
constexpr std::pair<int, const char*> patternTools[] = { { allOnId, "All on" },
                                                         { allOffId, "All off" },
                                                         { invertId, "Invert" },
                                                         { randomGatesId, "Random gates" },
                                                         { randomLevelsId, "Random levels" },
                                                         { shiftLeftId, "Shift left" },
                                                         { shiftRightId, "Shift right" } };
} // namespace

StepEditor::StepEditor (TazzleAudioProcessor& p, int m)
    : processor (p)
    , modulator (juce::jlimit (0, tz::numModulators - 1, m))
{
}

StepEditor::Settings StepEditor::settingsOf (const TazzleAudioProcessor& processor, int modulator)
{
    const auto field = [&processor, modulator] (int k) { return processor.getValue (tz::modParam (modulator, k)); };

    Settings s;
    s.stepMode = field (tz::modField::mode) > 0.5f;
    s.shape = tz::choiceIndex (field (tz::modField::shape), tz::lfoShape::count);
    s.rateBeats = tz::lookupBeats (tz::modRateBeats, field (tz::modField::rate));
    if (field (tz::modField::followsXY) > 0.5f)
        s.rateBeats /= tz::xySpeedFor (processor.getValue (tz::xyX));
    s.length = juce::jlimit (1, tz::numModSteps, juce::roundToInt (field (tz::modField::length)));
    s.smooth = field (tz::modField::smooth);
    s.swing = field (tz::modField::swing);
    s.phase = field (tz::modField::phase);
    for (int i = 0; i < tz::numModSteps; ++i)
    {
        s.levels[(size_t) i] = field (tz::modField::firstStep + i) / 100.0f;
        s.shapes[(size_t) i] = tz::choiceIndex (field (tz::modField::firstStepShape + i), tz::stepShape::count);
    }
    return s;
}

//==============================================================================
juce::Rectangle<float> StepEditor::plotArea() const
{
    const float w = (float) getWidth(), h = (float) getHeight();
    float height = juce::jmax (h - 50.0f, 0.0f);
    if (settings().stepMode)
        height -= juce::jmin (height, 28.0f);
    return { plotLeft, plotTop, juce::jmax (w - 24.0f, 0.0f), height };
}

juce::Rectangle<float> StepEditor::shapesRow() const
{
    const float bottom = 8.0f + juce::jmax ((float) getHeight() - 34.0f, 0.0f);
    const float height = juce::jmin (22.0f, juce::jmax (bottom - plotTop, 0.0f));
    return { plotLeft, bottom - height, juce::jmax ((float) getWidth() - 24.0f, 0.0f), height };
}

int StepEditor::stepAt (float x) const
{
    const float width = juce::jmax ((float) getWidth() - 24.0f, 1.0f);
    return juce::jlimit (0, tz::numModSteps - 1, (int) std::floor ((x - plotLeft) / width * (float) tz::numModSteps));
}

float StepEditor::levelAt (float y) const
{
    const auto plot = plotArea();
    if (plot.getHeight() <= 0.0f)
        return 0.0f;

    const float level = juce::jlimit (0.0f, 1.0f, (plot.getBottom() - y) / plot.getHeight());
    return level > 0.97f ? 1.0f : (level < 0.03f ? 0.0f : level);
}

bool StepEditor::overShapes (juce::Point<float> point) const
{
    const auto row = shapesRow();
    return point.y >= row.getY() && point.y < row.getBottom();
}

//==============================================================================
void StepEditor::setStep (int step, float level)
{
    if (! drawAction)
        drawAction.emplace (processor, tz::stepNames::steps);
    drawAction->set (tz::modParam (modulator, tz::modField::firstStep + step), level * 100.0f);
}

void StepEditor::setShape (int step, int shape)
{
    tz::ui::setAsGesture (processor, tz::modParam (modulator, tz::modField::firstStepShape + step), (float) shape);
}

void StepEditor::refresh()
{
    // Noted as drawn at once, so a repaint still waiting for its paint is not asked for again.
    if (auto now = settings(); now != drawn)
    {
        // The trail belongs to the pattern it ran over.
        drawn = now;
        trailCount = 0;
        lastPosition = -1.0;
        shownPlayingStep = -1;
        repaint();
    }
}

void StepEditor::setPosition (double position, float value)
{
    if (std::abs (position - lastPosition) <= 0.000001 && std::abs (value - lastValue) <= 0.0001f)
        return;

    // Only what moved is drawn again: the trail (each dot fades a little), the footer's value and, in
    // Steps mode, the columns of the step that stopped and the step that started playing.
    const auto oldDots = trailDots();
    lastPosition = position;
    lastValue = value;
    trail[(size_t) trailWrite] = { (float) position, value };
    trailWrite = (trailWrite + 1) % (int) trail.size();
    trailCount = juce::jmin (trailCount + 1, (int) trail.size());

    // One rectangle around both trails: many small ones would make every drawing call clip against all of them.
    repaint (oldDots.getBounds().getUnion (trailDots().getBounds()));
    repaint (footerArea().toNearestIntEdges());

    const auto s = settings();
    if (const int playing = s.stepMode ? playingStep() : -1; playing != shownPlayingStep)
    {
        for (const int step : { shownPlayingStep, playing })
            if (step >= 0)
                repaint (stepColumn (step).toNearestIntEdges());
        shownPlayingStep = playing;
    }
}

juce::RectangleList<int> StepEditor::trailDots() const
{
    juce::RectangleList<int> dots;
    const auto plot = plotArea();
    for (int k = 0; k < trailCount; ++k)
    {
        const auto& point = trail[(size_t) ((trailWrite - trailCount + k + (int) trail.size()) % (int) trail.size())];
        const juce::Point<float> centre (plot.getX() + plot.getWidth() * point.x,
                                         plot.getBottom() - plot.getHeight() * point.y);
        dots.addWithoutMerging (juce::Rectangle<float> (10.0f, 10.0f).withCentre (centre).toNearestIntEdges());
    }
    return dots;
}

juce::Rectangle<float> StepEditor::footerArea() const
{
    const auto plot = plotArea();
    return { plot.getX(), 8.0f + juce::jmax ((float) getHeight() - 34.0f, 0.0f) + 2.0f, plot.getWidth(), 14.0f };
}

juce::Rectangle<float> StepEditor::stepColumn (int step) const
{
    // From the labels row down through the shapes row.
    const float column = plotArea().getWidth() / (float) tz::numModSteps;
    return { plotLeft + (float) step * column - 1.0f, 0.0f, column + 2.0f, (float) getHeight() };
}

std::vector<float> StepEditor::lfoCurve() const
{
    const auto s = settings();
    const auto values = processor.currentValues();
    const float speed = tz::xySpeedFor (processor.getValue (tz::xyX));
    const double cycleStart = std::floor (processor.getUiModBeat (modulator) / s.rateBeats) * s.rateBeats;
    const double step = s.rateBeats / lfoSegments;

    const double tau = 0.3 * std::pow (s.smooth / 100.0, 2.0);
    const double coef = tau > 0.0 ? 1.0 - std::exp (-step * 60.0 / displayBpm / tau) : 1.0;

    // With smoothing, the cycle before settles the smoother, as it has when the cycle plays.
    std::vector<float> curve;
    curve.reserve (lfoSegments + 1);
    double smoothed = tz::modulatorValue (values, modulator, cycleStart - s.rateBeats, speed);
    for (int i = coef < 1.0 ? -lfoSegments : 0; i <= lfoSegments; ++i)
    {
        smoothed += coef * (tz::modulatorValue (values, modulator, cycleStart + i * step, speed) - smoothed);
        if (i >= 0)
            curve.push_back ((float) smoothed);
    }
    return curve;
}

int StepEditor::playingStep() const
{
    return tz::playingStepAt (processor.currentValues(), modulator, processor.getUiModBeat (modulator),
                              tz::xySpeedFor (processor.getValue (tz::xyX)))
        .step;
}

//==============================================================================
juce::PopupMenu StepEditor::buildStepMenu (int step) const
{
    const int current = settings().shapes[(size_t) juce::jlimit (0, tz::numModSteps - 1, step)];
    const auto& names = stepShapeNames();

    juce::PopupMenu menu;
    menu.addSectionHeader ("STEP " + juce::String (step + 1));
    for (int i = 0; i < tz::stepShape::count; ++i)
        menu.addItem (firstShapeId + i, names[i], true, i == current);
    menu.addSeparator();

    juce::PopupMenu all;
    for (int i = 0; i < tz::stepShape::count; ++i)
        all.addItem (firstAllStepsId + i, names[i]);
    menu.addSubMenu ("All steps", all);

    juce::PopupMenu pattern;
    for (const auto& [id, name] : patternTools)
        pattern.addItem (id, name);
    menu.addSubMenu ("Pattern", pattern);
    return menu;
}

void StepEditor::handleStepMenuResult (int itemId, int step, const std::array<float, tz::numModSteps>& levels,
                                       int length, juce::Random& random)
{
    tz::ui::UserAction action (processor, tz::stepNames::steps);
    for (const auto& [id, name] : patternTools)
        if (id == itemId)
            action.rename (name);
    const auto setLevel = [this] (int i, float percent)
    { processor.setValue (tz::modParam (modulator, tz::modField::firstStep + i), percent); };
    const int n = juce::jlimit (1, tz::numModSteps, length);

    for (int i = 0; i < tz::numModSteps; ++i)
    {
        const float v = levels[(size_t) i];
        switch (itemId)
        {
            case allOnId:
                setLevel (i, 100.0f);
                break;
            case allOffId:
                setLevel (i, 0.0f);
                break;
            case invertId:
                setLevel (i, (1.0f - v) * 100.0f);
                break;
            case randomGatesId:
                setLevel (i, random.nextFloat() < 0.5f ? 100.0f : 0.0f);
                break;
            case randomLevelsId:
                setLevel (i, juce::jmin (random.nextFloat(), 0.9999999f) * 100.0f);
                break;
            case shiftLeftId:
                setLevel (i, levels[(size_t) ((i % n + 1) % n)] * 100.0f);
                break;
            case shiftRightId:
                setLevel (i, levels[(size_t) ((i % n + n - 1) % n)] * 100.0f);
                break;
            default:
                break;
        }
    }

    if (itemId >= firstShapeId && itemId < firstShapeId + tz::stepShape::count && step >= 0 && step < tz::numModSteps)
        setShape (step, itemId - firstShapeId);

    if (itemId >= firstAllStepsId && itemId < firstAllStepsId + tz::stepShape::count)
        for (int i = 0; i < tz::numModSteps; ++i)
            setShape (i, itemId - firstAllStepsId);

    repaint();
}

void StepEditor::showStepMenu (int step)
{
    const auto s = settings();
    tz::ui::showMenu (
        buildStepMenu (step), *this,
        [safeThis = juce::Component::SafePointer<StepEditor> (this), step, levels = s.levels,
         length = s.length] (int id)
        {
            juce::Random random;
            if (safeThis != nullptr && id != 0)
                safeThis->handleStepMenuResult (id, step, levels, length, random);
        },
        true);
}

//==============================================================================
void StepEditor::mouseMove (const juce::MouseEvent& e)
{
    if (! settings().stepMode)
        return;

    const bool onShapes = overShapes (e.position);
    const bool onBars = plotArea().contains (e.position);
    const int step = onShapes || onBars ? stepAt (e.position.x) : -1;

    if (step != hoverStep || onShapes != hoverOnShapes)
    {
        hoverStep = step;
        hoverOnShapes = onShapes;
        repaint();
    }
}

void StepEditor::mouseExit (const juce::MouseEvent&)
{
    hoverStep = -1;
    hoverOnShapes = false;
    repaint();
}

void StepEditor::mouseDown (const juce::MouseEvent& e)
{
    const auto s = settings();
    if (! s.stepMode)
        return;

    const int step = stepAt (e.position.x);

    if (e.mods.isPopupMenu())
    {
        showStepMenu (step);
        return;
    }

    if (overShapes (e.position))
    {
        dragShape = (s.shapes[(size_t) step] + 1) % tz::stepShape::count;
        drawAction.emplace (processor, tz::stepNames::steps);
        setShape (step, dragShape);
        lastStep = step;
    }
    else if (plotArea().contains (e.position) && step < s.length)
    {
        dragShape = -1;
        // With Shift the step keeps its level and moves finely from there; otherwise it comes to the pointer.
        if (e.mods.isShiftDown())
        {
            const auto plot = plotArea();
            pointer.startFrom ({ e.position.x, plot.getBottom() - s.levels[(size_t) step] * plot.getHeight() },
                               e.position);
        }
        else
        {
            pointer.start (e.position);
            setStep (step, levelAt (e.position.y));
        }
        lastStep = step;
    }
    repaint();
}

void StepEditor::mouseDrag (const juce::MouseEvent& e)
{
    if (lastStep < 0 || e.mods.isPopupMenu())
        return;

    const auto s = settings();
    int current = stepAt (e.position.x);
    if (dragShape < 0)
        current = juce::jmin (current, s.length - 1);

    // The pointer picks the steps; the level follows it, a tenth as fast while Shift is held.
    const float level = dragShape >= 0 ? 0.0f : levelAt (pointer.follow (e).y);
    for (int i = juce::jmin (lastStep, current); i <= juce::jmax (lastStep, current); ++i)
    {
        if (dragShape >= 0)
            setShape (i, dragShape);
        else
            setStep (i, level);
    }

    lastStep = hoverStep = current;
    repaint();
}

void StepEditor::mouseUp (const juce::MouseEvent&)
{
    lastStep = -1;
    dragShape = -1;
    drawAction.reset();
}

//==============================================================================
juce::String StepEditor::footerLeftText() const
{
    const auto s = settings();
    if (! s.stepMode)
    {
        static const juce::StringArray names { "SINE",   "TRIANGLE", "SAW UP",       "SAW DOWN",
                                               "SQUARE", "RANDOM",   "SMOOTH RANDOM" };
        return names[s.shape] + "    NOW "
            + juce::String (juce::roundToInt (processor.getUiModValue (modulator) * 100.0f)) + " %";
    }

    if (hoverStep < 0 || hoverStep >= s.length)
        return {};

    return "STEP " + juce::String (hoverStep + 1) + "    LEVEL "
        + juce::String (juce::roundToInt (s.levels[(size_t) hoverStep] * 100.0f)) + " %    SHAPE "
        + stepShapeNames()[s.shapes[(size_t) hoverStep]];
}

juce::String StepEditor::footerRightText() const
{
    const auto s = settings();
    if (! s.stepMode)
        return "rate = one cycle   phase shifts it   smooth rounds it off";

    if (hoverStep < 0 || hoverStep >= s.length)
        return "draw levels on the bars   change shapes in the row below   right-click for pattern tools";

    return hoverOnShapes ? "click: next shape   drag: copy it   right-click: all shapes"
                         : "drag: draw   right-click: shapes and pattern tools";
}

//==============================================================================
void StepEditor::paint (juce::Graphics& g)
{
    const auto s = settings();
    const auto colour = theme::modColour (modulator);

    // What moves only with the settings, the pointer or the playing step is kept as an image; the trail and the
    // footer, which move on every refresh while it plays, are drawn over it.
    // Only the refresh notes what is drawn: a paint clipped to a corner shows the new settings there alone.
    const auto face = std::make_tuple (hoverStep, hoverOnShapes, s.stepMode ? playingStep() : -1);
    if (s != bodySettings || face != bodyFace)
    {
        bodySettings = s;
        bodyFace = face;
        body.invalidate();
    }
    body.draw (g, getLocalBounds(), [this, &s, colour] (juce::Graphics& bg) { paintFace (bg, s, colour); });

    paintTrail (g, colour);

    const auto footer = footerArea();
    g.setFont (theme::nexa (10.0f));
    g.setColour (colour.withAlpha ((juce::uint8) 0xe6));
    g.drawText (footerLeftText(), footer, juce::Justification::centredLeft, true);
    g.setColour (theme::dimText);
    g.drawText (footerRightText(), footer, juce::Justification::centredRight, true);
}

void StepEditor::paintFace (juce::Graphics& g, const Settings& s, juce::Colour colour)
{
    const auto plot = plotArea();
    theme::drawScreen (g, getLocalBounds().toFloat(), 7.0f);

    const float column = plot.getWidth() / (float) tz::numModSteps;
    for (int i = 0; i <= tz::numModSteps; ++i)
    {
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) (i % 4 == 0 ? 0x1a : 0x0a)));
        g.fillRect (plot.getX() + (float) i * column, plot.getY(), 1.0f, plot.getHeight());
    }
    for (int q = 0; q <= 4; ++q)
    {
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) (q % 4 == 0 ? 0x1a : 0x0a)));
        g.fillRect (plot.getX(), plot.getBottom() - plot.getHeight() * (float) q / 4.0f, plot.getWidth(), 1.0f);
    }

    if (s.stepMode)
        paintSteps (g, s, colour);
    else
        paintLfo (g, s, colour);
}

void StepEditor::paintLfo (juce::Graphics& g, const Settings&, juce::Colour colour)
{
    const auto plot = plotArea();

    g.setFont (theme::nexa (9.0f));
    g.setColour (theme::dimText);
    const char* labels[] = { "0", "1/4", "1/2", "3/4", "CYCLE" };
    for (int q = 0; q < 5; ++q)
    {
        const float x = plot.getX() + plot.getWidth() * (float) q / 4.0f;
        const auto justification = q == 0 ? juce::Justification::centredLeft
            : q == 4                      ? juce::Justification::centredRight
                                          : juce::Justification::centred;
        const float left = q == 0 ? x : (q == 4 ? x - 60.0f : x - 30.0f);
        g.drawText (labels[q], juce::Rectangle<float> (left, 8.0f, 60.0f, 12.0f), justification, false);
    }

    const auto curve = lfoCurve();
    juce::Path wave;
    for (size_t i = 0; i < curve.size(); ++i)
    {
        const juce::Point<float> point (plot.getX() + plot.getWidth() * (float) i / lfoSegments,
                                        plot.getBottom() - plot.getHeight() * curve[i]);
        if (i == 0)
            wave.startNewSubPath (point);
        else
            wave.lineTo (point);
    }

    g.setColour (colour.withAlpha ((juce::uint8) 0x30));
    g.strokePath (wave, juce::PathStrokeType (5.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    g.setColour (colour);
    g.strokePath (wave, juce::PathStrokeType (2.0f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

void StepEditor::paintSteps (juce::Graphics& g, const Settings& s, juce::Colour colour)
{
    const auto plot = plotArea();
    const float column = plot.getWidth() / (float) tz::numModSteps;
    const int playing = playingStep();

    for (int i = 0; i < tz::numModSteps; ++i)
    {
        const bool major = i % 4 == 0;
        g.setFont (theme::nexa (major ? 10.0f : 8.5f));
        g.setColour (i == playing ? colour : theme::dimText.withAlpha ((juce::uint8) (major ? 0xe6 : 0x80)));
        g.drawText (juce::String (i + 1),
                    juce::Rectangle<float> (plot.getX() + (float) i * column, 8.0f, column, 12.0f),
                    juce::Justification::centred, false);
    }

    g.setColour (colour.withAlpha ((juce::uint8) 0x12));
    g.fillRect (plot.getX() + (float) playing * column, plot.getY(), column, plot.getHeight());

    const float inset = juce::jmax (0.12f * column, 2.0f);
    for (int i = 0; i < s.length; ++i)
    {
        const float level = s.levels[(size_t) i];
        if (level <= 0.0f)
            continue;

        const float top = plot.getBottom() - plot.getHeight() * level;
        const juce::Rectangle<float> bar (plot.getX() + (float) i * column + inset, top,
                                          juce::jmax (column - 2.0f * inset, 0.0f), plot.getBottom() - top);
        g.setGradientFill (
            juce::ColourGradient::vertical (colour.withAlpha ((juce::uint8) (i == playing ? 0x6b : 0x47)), top,
                                            colour.withAlpha ((juce::uint8) 0x08), plot.getBottom()));
        g.fillRect (bar);
        g.setColour (colour);
        g.fillRect (bar.withHeight (2.0f));
    }

    if (hoverStep >= 0 && ! hoverOnShapes)
    {
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x40));
        g.drawRect (
            juce::Rectangle<float> (plot.getX() + (float) hoverStep * column, plot.getY(), column, plot.getHeight()),
            1.0f);
    }

    if (s.length < tz::numModSteps)
    {
        const juce::Rectangle<float> beyond (plot.getX() + (float) s.length * column, plot.getY(),
                                             (float) (tz::numModSteps - s.length) * column, plot.getHeight());
        g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x8c));
        g.fillRect (beyond);

        const juce::Graphics::ScopedSaveState saved (g);
        g.reduceClipRegion (beyond.toNearestInt());
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x06));
        for (float x = beyond.getX() - beyond.getHeight(); x < beyond.getRight(); x += 6.0f)
            g.drawLine (x, beyond.getBottom(), x + beyond.getHeight(), beyond.getY(), 1.0f);
    }

    // The output across the sixteen steps, each following its shape.
    juce::Path output;
    for (int i = 0; i < tz::numModSteps; ++i)
    {
        const float level = s.levels[(size_t) i];
        const float next = s.levels[(size_t) ((i + 1) % s.length)];
        for (int k = 0; k <= 20; ++k)
        {
            const float t = (float) k / 20.0f;
            const juce::Point<float> point (
                plot.getX() + ((float) i + t) * column,
                plot.getBottom()
                    - plot.getHeight() * (float) tz::stepShapeValue (s.shapes[(size_t) i], level, next, t));
            if (i == 0 && k == 0)
                output.startNewSubPath (point);
            else
                output.lineTo (point);
        }
    }
    g.setColour (colour.withAlpha ((juce::uint8) 0xb0));
    g.strokePath (output, juce::PathStrokeType (1.5f));

    const auto row = shapesRow();
    for (int i = 0; i < tz::numModSteps; ++i)
    {
        const auto cell = juce::Rectangle<float> (row.getX() + (float) i * column, row.getY(), column, row.getHeight())
                              .reduced (juce::jmin (3.0f, column / 4.0f), juce::jmin (4.0f, row.getHeight() / 4.0f));
        const bool hovered = hoverOnShapes && hoverStep == i;
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) (hovered ? 0x22 : 0x0c)));
        g.fillRoundedRectangle (cell, 2.0f);

        juce::Path icon;
        const auto glyph = cell.reduced (cell.getWidth() * 0.2f, cell.getHeight() * 0.15f);
        for (int k = 0; k <= 12; ++k)
        {
            const float t = (float) k / 12.0f;
            const juce::Point<float> point (
                glyph.getX() + glyph.getWidth() * t,
                glyph.getBottom() - glyph.getHeight() * (float) tz::stepShapeValue (s.shapes[(size_t) i], 1.0, 0.3, t));
            if (k == 0)
                icon.startNewSubPath (point);
            else
                icon.lineTo (point);
        }
        g.setColour (i < s.length ? colour.withAlpha ((juce::uint8) 0xd0)
                                  : theme::dimText.withAlpha ((juce::uint8) 0x60));
        g.strokePath (icon, juce::PathStrokeType (1.2f));
    }
}

void StepEditor::paintTrail (juce::Graphics& g, juce::Colour colour)
{
    const auto plot = plotArea();
    for (int k = 0; k < trailCount; ++k)
    {
        // Oldest first, so the newest dot lands on top.
        const auto& point = trail[(size_t) ((trailWrite - trailCount + k + (int) trail.size()) % (int) trail.size())];
        const float age = (float) (trailCount - 1 - k) / (float) trail.size();
        const float size = k == trailCount - 1 ? 7.0f : 4.0f;
        const juce::Point<float> centre (plot.getX() + plot.getWidth() * point.x,
                                         plot.getBottom() - plot.getHeight() * point.y);
        g.setColour (colour.withAlpha (0.9f * (1.0f - age)));
        g.fillEllipse (juce::Rectangle<float> (size, size).withCentre (centre));
    }
}
