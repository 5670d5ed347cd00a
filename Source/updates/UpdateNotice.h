#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The line under the header that tells of a newer release; hidden until the update check shows it.
class UpdateNotice : public juce::Component
{
public:
    UpdateNotice() = default;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UpdateNotice)
};
