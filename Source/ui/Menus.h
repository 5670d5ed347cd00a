#pragma once

#include <functional>

#include <juce_gui_basics/juce_gui_basics.h>

namespace tz::ui
{

// How every pop-up menu of the editor is shown. The menu takes the look and feel of the component it belongs to
// (a menu draws with its own, or its parent menu's, never its target's), is anchored to that component so it
// follows the window's scale and closes with it, and appears under the component or at the pointer.
juce::PopupMenu::Options menuOptions (juce::Component& anchor, bool atPointer = false);
void showMenu (juce::PopupMenu menu, juce::Component& anchor, std::function<void (int)> onResult,
               bool atPointer = false);

} // namespace tz::ui
