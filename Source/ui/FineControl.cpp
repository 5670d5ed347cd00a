#include "ui/FineControl.h"

namespace tz::ui
{

void FineSlider::mouseDown (const juce::MouseEvent& e)
{
    pointer.start (e.position);
    Slider::mouseDown (e);
}

void FineSlider::mouseDrag (const juce::MouseEvent& e)
{
    // The slider measures a drag from where it was pressed, so it is handed the fine pointer instead.
    Slider::mouseDrag (e.withNewPosition (pointer.follow (e)));
}

void FineSlider::parentHierarchyChanged()
{
    Slider::parentHierarchyChanged();
    // A slider made before it had a parent took its value box from the default look; the editor's draws it.
    lookAndFeelChanged();
}

void FineSlider::mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel)
{
    const juce::ScopedValueSetter<bool> turning (turningWheel, true);
    Slider::mouseWheelMove (e, wheel);
}

} // namespace tz::ui
