#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

#include "core/Parameters.h"
#include "engine/ChainOrder.h"
#include "ui/HostWrites.h"
#include "ui/ParamMenu.h"
#include "ui/theme/Theme.h"

class TazzleAudioProcessor;

// The step grid page: one row per effect in chain order, sixteen cells each, painted on or off with the mouse.
class GridView : public juce::Component
{
public:
    explicit GridView (TazzleAudioProcessor& processor);
    ~GridView() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

    // Repaints when anything the view shows differs from what it last drew; the 30 Hz refresh calls it.
    void refresh();

    // Everything the view draws from the processor.
    struct Shown
    {
        tz::ChainOrder order {};
        std::array<std::uint32_t, tz::numEffects> rows {};
        int length = 0, playhead = 0;
        std::uint32_t onSwitches = 0;

        bool operator== (const Shown& other) const
        {
            return order == other.order && rows == other.rows && length == other.length && playhead == other.playhead
                && onSwitches == other.onSwitches;
        }
        bool operator!= (const Shown& other) const { return ! (*this == other); }
    };
    Shown current() const;

    // Geometry, in this component's pixels.
    int rowHeight() const noexcept;
    int cellWidth() const noexcept;
    juce::Rectangle<int> cellBounds (int row, int column) const noexcept;
    juce::Rectangle<int> gridSwitchBounds (int row) const noexcept;

    // What a click does on row r's GRID switch, and on a cell alone (without a drag after it).
    void toggleRowSwitch (int row);
    void toggleCell (int row, int column);
    tz::EffectId effectInRow (int row) const;

    juce::TextButton& getClearButton() noexcept { return clearButton; }
    ParamMenu& getRateMenu() noexcept { return *rateMenu; }
    ParamMenu& getStepsMenu() noexcept { return *stepsMenu; }
    juce::Label& getRateLabel() noexcept { return rateLabel; }
    juce::Label& getStepsLabel() noexcept { return stepsLabel; }

    static juce::String hintText() { return "Paint cells to play an effect only on those steps"; }

private:
    int columnAt (float x) const;
    void paintCell (int row, int column);

    TazzleAudioProcessor& processor;
    std::unique_ptr<ParamMenu> rateMenu, stepsMenu;
    juce::Label rateLabel, stepsLabel;
    juce::TextButton clearButton { "CLEAR" };

    tz::theme::PaintCache body;
    Shown drawn;
    bool dragging = false;
    bool paintValue = false;
    int dragRow = 0;
    int lastColumn = 0;
    // A paint drag is one user action: the effects it switches on are one gesture each.
    std::optional<tz::ui::UserAction> paintAction;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GridView)
};
