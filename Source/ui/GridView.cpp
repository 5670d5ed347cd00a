#include "ui/GridView.h"

#include <cmath>

#include "core/PluginProcessor.h"
#include "ui/Accessibility.h"
#include "ui/theme/Theme.h"

namespace theme = tz::theme;

namespace
{
constexpr int numRows = tz::numEffects, numColumns = 16;
constexpr int switchX = 116, switchWidth = 40, cellsX = 166, cellsLeft = 168;
} // namespace

GridView::GridView (TazzleAudioProcessor& proc)
    : processor (proc)
{
    const auto& params = tz::allParams();
    rateMenu = std::make_unique<ParamMenu> (
        processor, tz::gridRate, juce::StringArray::fromTokens (params[(size_t) tz::gridRate].choices, "|", {}), 0);
    rateMenu->setTooltip ("The length of one grid cell");

    juce::StringArray lengths;
    for (int n = 1; n <= numColumns; ++n)
        lengths.add (juce::String (n));
    stepsMenu = std::make_unique<ParamMenu> (processor, tz::gridLength, lengths, 1);
    stepsMenu->setTooltip ("How many cells before the grid repeats");

    for (auto [label, text] : { std::pair { &rateLabel, "RATE" }, { &stepsLabel, "STEPS" } })
    {
        label->setText (text, juce::dontSendNotification);
        label->setFont (theme::nexa (10.0f));
        label->setColour (juce::Label::textColourId, theme::dimText);
        label->setJustificationType (juce::Justification::centredRight);
        label->setInterceptsMouseClicks (false, false);
        addAndMakeVisible (*label);
    }

    clearButton.setTooltip ("Clear the whole grid");
    clearButton.onClick = [this]
    {
        tz::ui::UserAction action (processor, tz::stepNames::clearGrid);
        for (int e = 0; e < tz::numEffects; ++e)
            processor.setGridRow ((tz::EffectId) e, {});
        action.changedOtherState();
        repaint();
    };

    for (juce::Component* c :
         { (juce::Component*) rateMenu.get(), (juce::Component*) stepsMenu.get(), (juce::Component*) &clearButton })
        addAndMakeVisible (*c);
    tz::ui::describeGridView (*this, processor);
}

GridView::~GridView() = default;

std::unique_ptr<juce::AccessibilityHandler> GridView::createAccessibilityHandler()
{
    return tz::ui::createGroupHandler (*this);
}

//==============================================================================
int GridView::rowHeight() const noexcept { return juce::jmax (getHeight() - 72, 0) / numRows; }

int GridView::cellWidth() const noexcept { return getWidth() < 185 ? 0 : (getWidth() - 184) / numColumns; }

juce::Rectangle<int> GridView::cellBounds (int row, int column) const noexcept
{
    const int n = rowHeight(), cw = cellWidth();
    return { cellsLeft + column * cw, 55 + row * n, juce::jmax (cw - 4, 0), juce::jmax (n - 6, 0) };
}

juce::Rectangle<int> GridView::gridSwitchBounds (int row) const noexcept
{
    const int n = rowHeight();
    return { switchX, 57 + row * n, switchWidth, juce::jmax (n - 10, 0) };
}

GridView::Shown GridView::current() const
{
    Shown shown;
    shown.order = processor.getChainOrder();
    for (int e = 0; e < tz::numEffects; ++e)
    {
        shown.rows[(size_t) e] = tz::packGridRow (processor.getGridRow ((tz::EffectId) e));
        if (processor.getValue (tz::effectParams[(size_t) e].on) > 0.5f)
            shown.onSwitches |= 1u << e;
    }
    shown.length = juce::jlimit (1, numColumns, juce::roundToInt (processor.getValue (tz::gridLength)));
    shown.playhead = processor.getUiGridStep();
    return shown;
}

void GridView::refresh()
{
    // Noted as drawn at once, so a repaint still waiting for its paint is not asked for again.
    if (auto now = current(); now != drawn)
    {
        drawn = now;
        repaint();
    }
}

tz::EffectId GridView::effectInRow (int row) const
{
    return (tz::EffectId) processor.getChainOrder()[(size_t) juce::jlimit (0, numRows - 1, row)];
}

int GridView::columnAt (float x) const
{
    const float span = (float) juce::jmax (getWidth() - 184, 1);
    return juce::jlimit (0, numColumns - 1, (int) std::floor ((x - (float) cellsX) * numColumns / span));
}

void GridView::resized()
{
    const int w = juce::jmax (getWidth(), 256);
    const int y = 18, h = juce::jmin (getHeight() - 36, 24);

    // Right to left from the right edge; each takes its width or what is left.
    int right = w - 18;
    const auto place = [&right, h] (juce::Component* c, int width)
    {
        const int taken = juce::jmin (width, juce::jmax (right, 0));
        right -= taken;
        if (c != nullptr)
            c->setBounds (right, y, taken, juce::jmax (h, 0));
    };
    place (&clearButton, 70);
    place (nullptr, 16);
    place (stepsMenu.get(), 60);
    place (&stepsLabel, 46);
    place (nullptr, 12);
    place (rateMenu.get(), 84);
    place (&rateLabel, 40);
}

//==============================================================================
void GridView::paint (juce::Graphics& g)
{
    const int w = getWidth(), h = getHeight(), n = rowHeight();

    body.draw (
        g, getLocalBounds(),
        [w, h, n] (juce::Graphics& bg)
        {
            theme::drawPedal (bg, { 4.0f, 4.0f, (float) juce::jmax (w - 8, 0), (float) juce::jmax (h - 11, 0) },
                              theme::accent, true, true);
            theme::drawScreen (bg, { 156.0f, 48.0f, (float) juce::jmax (w - 170, 0), (float) (10 * n + 8) }, 6.0f);
        });

    // Drawn from one reading. Only the refresh notes what is drawn: a paint clipped to a corner (a pointer, a
    // moved child) shows a new reading there alone, and the refresh must still repaint the rest.
    const auto shown = current();
    const int count = shown.length;
    const int playhead = shown.playhead;

    for (int r = 0; r < numRows; ++r)
    {
        const auto e = (tz::EffectId) shown.order[(size_t) r];
        const auto colour = theme::effectColour (e);
        const auto row = tz::unpackGridRow (shown.rows[(size_t) e]);
        const bool on = (shown.onSwitches >> e) & 1u;

        g.setFont (theme::nexa (11.0f));
        g.setColour (on ? colour : theme::dimText);
        g.drawText (tz::effectNames[(size_t) e], 22, 52 + r * n, 88, n, juce::Justification::centredLeft, true);

        const auto gridSwitch = gridSwitchBounds (r).toFloat();
        const float corner = gridSwitch.getHeight() / 2.0f;
        g.setColour (row.enabled ? colour : theme::background);
        g.fillRoundedRectangle (gridSwitch, corner);
        g.setColour (row.enabled ? colour : theme::panelEdge.brighter (0.3f));
        g.drawRoundedRectangle (gridSwitch, corner, 1.0f);
        g.setFont (theme::nexa (9.0f));
        g.setColour (row.enabled ? theme::background : theme::dimText);
        g.drawText ("GRID", gridSwitch, juce::Justification::centred, false);

        for (int c = 0; c < numColumns; ++c)
        {
            const auto cell = cellBounds (r, c).toFloat();
            const bool onPlayhead = c == playhead && c < count;

            if ((row.steps >> c) & 1u)
            {
                float alpha = c < count && row.enabled ? 1.0f : 0.35f;
                alpha *= onPlayhead ? 1.0f : 0.8f;
                if (onPlayhead && row.enabled)
                {
                    g.setColour (colour.withAlpha ((juce::uint8) 0x4c));
                    g.fillRoundedRectangle (cell.expanded (2.5f), 5.0f);
                }
                g.setGradientFill (juce::ColourGradient::vertical (
                    colour.brighter (0.4f).withMultipliedAlpha (alpha), cell.getY(),
                    colour.darker (0.4f).withMultipliedAlpha (alpha), cell.getBottom()));
                g.fillRoundedRectangle (cell, 3.0f);
                g.setColour (juce::Colours::white.withAlpha (0.3f * alpha));
                g.fillRect (cell.getX() + 3.0f, cell.getY() + 1.5f, juce::jmax (cell.getWidth() - 6.0f, 0.0f), 1.0f);
            }
            else
            {
                const bool fourth = c % 4 == 0;
                const auto grey = onPlayhead ? (fourth ? juce::Colour (86, 86, 91) : juce::Colour (75, 75, 80))
                                             : (fourth ? juce::Colour (44, 44, 51) : juce::Colour (31, 31, 37));
                g.setColour (grey);
                g.fillRoundedRectangle (cell, 3.0f);
                g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x0d));
                g.drawRoundedRectangle (cell, 3.0f, 1.0f);
            }

            if (c >= count)
            {
                g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x8c));
                g.fillRoundedRectangle (cell, 3.0f);
            }
        }
    }

    g.setFont (theme::nexa (10.0f));
    g.setColour (theme::dimText);
    g.drawText (hintText(), 214, 18, juce::jmax (w - 232, 0), juce::jmin (h - 36, 24), juce::Justification::centredLeft,
                true);
}

//==============================================================================
void GridView::mouseDown (const juce::MouseEvent& e)
{
    dragging = false;
    paintAction.reset();
    const int n = rowHeight();
    if (n <= 0)
        return;

    const int x = e.x, y = e.y;
    const int row = (y - 52) / n;
    if (y < 52 || row >= numRows)
        return;

    if (gridSwitchBounds (row).contains (x, y))
    {
        toggleRowSwitch (row);
        return;
    }

    if (x >= cellsX && x <= getWidth() - 19)
    {
        const int column = columnAt (e.position.x);
        paintValue = ((processor.getGridRow (effectInRow (row)).steps >> column) & 1u) == 0;
        dragging = true;
        dragRow = row;
        lastColumn = column;
        paintAction.emplace (processor, tz::stepNames::gridEdit);
        paintCell (row, column);
    }
}

void GridView::toggleRowSwitch (int row)
{
    const auto rowEffect = effectInRow (row);
    tz::ui::UserAction action (processor, tz::stepNames::gridEdit);
    auto gridRow = processor.getGridRow (rowEffect);
    gridRow.enabled = ! gridRow.enabled;
    processor.setGridRow (rowEffect, gridRow);
    action.changedOtherState();
    repaint();
}

void GridView::toggleCell (int row, int column)
{
    dragging = false;
    paintAction.reset();
    paintValue = ((processor.getGridRow (effectInRow (row)).steps >> column) & 1u) == 0;
    paintCell (row, column);
}

void GridView::mouseUp (const juce::MouseEvent&)
{
    dragging = false;
    paintAction.reset();
}

void GridView::mouseDrag (const juce::MouseEvent& e)
{
    if (! dragging)
        return;

    const int column = columnAt (e.position.x);
    if (column == lastColumn)
        return;

    for (int c = juce::jmin (column, lastColumn); c <= juce::jmax (column, lastColumn); ++c)
        paintCell (dragRow, c);
    lastColumn = column;
}

void GridView::paintCell (int row, int column)
{
    // Outside a drag (a key press), the cell is an action of its own, opened before the write it records.
    std::optional<tz::ui::UserAction> single;
    if (! paintAction)
        single.emplace (processor, tz::stepNames::gridEdit);
    auto& action = paintAction ? *paintAction : *single;

    const auto rowEffect = effectInRow (row);
    auto gridRow = processor.getGridRow (rowEffect);
    const unsigned int bit = 1u << column;
    gridRow.steps = paintValue ? (gridRow.steps | bit) : (gridRow.steps & ~bit);
    gridRow.enabled = gridRow.enabled || paintValue;
    processor.setGridRow (rowEffect, gridRow);
    action.changedOtherState();

    const auto on = tz::effectParams[(size_t) rowEffect].on;
    if (paintValue && processor.getValue (on) < 0.5f)
        action.set (on, 1.0f);

    repaint();
}
