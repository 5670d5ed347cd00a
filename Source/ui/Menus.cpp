#include "ui/Menus.h"

namespace tz::ui
{

juce::PopupMenu::Options menuOptions (juce::Component& anchor, bool atPointer)
{
    auto options = juce::PopupMenu::Options().withTargetComponent (&anchor);
    if (atPointer)
        options =
            options.withTargetScreenArea (juce::Rectangle<int> (1, 1).withPosition (juce::Desktop::getMousePosition()));
    return options;
}

void showMenu (juce::PopupMenu menu, juce::Component& anchor, std::function<void (int)> onResult, bool atPointer)
{
    menu.setLookAndFeel (&anchor.getLookAndFeel());
    menu.showMenuAsync (menuOptions (anchor, atPointer), std::move (onResult));
}

} // namespace tz::ui
