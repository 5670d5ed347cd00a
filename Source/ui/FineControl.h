#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace tz::ui
{

// Where a drag points when Shift slows it down: the pointer's own moves, at a tenth of their size while Shift is
// held. It moves on from wherever it is, so pressing or releasing Shift mid-drag never makes the value jump.
class FinePointer
{
public:
    static constexpr float fineRatio = 0.1f;

    void start (juce::Point<float> at) noexcept { position = last = at; }
    void startFrom (juce::Point<float> at, juce::Point<float> pointer) noexcept
    {
        position = at;
        last = pointer;
    }

    juce::Point<float> follow (const juce::MouseEvent& e) noexcept
    {
        const auto moved = e.position - last;
        last = e.position;
        position += e.mods.isShiftDown() ? moved * fineRatio : moved;
        return position;
    }

    juce::Point<float> getPosition() const noexcept { return position; }

private:
    juce::Point<float> position, last;
};

// A slider whose drags follow a FinePointer: Shift gives fine control.
class FineSlider : public juce::Slider
{
public:
    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseWheelMove (const juce::MouseEvent&, const juce::MouseWheelDetails&) override;
    void parentHierarchyChanged() override;

    // True while the slider handles a turn of the mouse wheel.
    bool isTurningWheel() const noexcept { return turningWheel; }

private:
    FinePointer pointer;
    bool turningWheel = false;
};

} // namespace tz::ui
