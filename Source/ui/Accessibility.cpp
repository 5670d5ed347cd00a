#include "ui/Accessibility.h"

#include <algorithm>
#include <cmath>

#include "core/PluginProcessor.h"
#include "ui/HostWrites.h"
#include "ui/MainPanel.h"
#include "ui/ParameterLink.h"
#include "ui/theme/PedalLooks.h"
#include "ui/theme/Theme.h"

namespace tz::ui
{

namespace
{
    bool isSkewed (const juce::RangedAudioParameter& parameter)
    {
        return parameter.getNormalisableRange().skew != 1.0f;
    }

    bool isStepped (const juce::RangedAudioParameter& parameter)
    {
        return parameter.isDiscrete() || parameter.isBoolean() || parameter.getNormalisableRange().interval >= 1.0f;
    }

    // One keyboard step of a parameter, in plain units, or in normalised units for a skewed range.
    float stepOf (const juce::RangedAudioParameter& parameter, bool fine)
    {
        if (isStepped (parameter))
            return juce::jmax (1.0f, parameter.getNormalisableRange().interval);
        if (isSkewed (parameter))
            return fine ? 0.001f : 0.01f;
        return fine ? 0.1f : 1.0f;
    }

    // The value of a parameter as the host shows and sets it.
    class ParameterValue : public juce::AccessibilityValueInterface
    {
    public:
        ParameterValue (TazzleAudioProcessor& proc, int p)
            : processor (proc)
            , parameter (p)
        {
        }

        bool isReadOnly() const override { return false; }
        double getCurrentValue() const override { return param().convertFrom0to1 (param().getValue()); }
        juce::String getCurrentValueAsString() const override { return param().getCurrentValueAsText(); }
        void setValue (double plain) override
        {
            UserAction (processor).set (parameter, param().getNormalisableRange().snapToLegalValue ((float) plain));
        }
        void setValueAsString (const juce::String& text) override
        {
            setValue (param().convertFrom0to1 (param().getValueForText (text)));
        }
        AccessibleValueRange getRange() const override
        {
            const auto range = param().getNormalisableRange();
            const double step = isSkewed (param()) && ! isStepped (param()) ? 0.0 : stepOf (param(), false);
            return { { range.start, range.end }, step };
        }

    private:
        juce::RangedAudioParameter& param() const { return processor.getHostParameter (parameter); }

        TazzleAudioProcessor& processor;
        const int parameter;
    };

    // Keys for one control bound to a parameter. Lives as long as the control.
    class ParameterKeys : private juce::KeyListener, private juce::ComponentListener
    {
    public:
        ParameterKeys (juce::Component& c, TazzleAudioProcessor& proc, int p)
            : control (c)
            , processor (proc)
            , parameter (p)
        {
            control.addKeyListener (this);
            control.addComponentListener (this);
        }

    private:
        bool keyPressed (const juce::KeyPress& key, juce::Component* origin) override
        {
            if (origin != &control)
                return false;

            if (auto* button = dynamic_cast<juce::Button*> (&control))
            {
                if (! isPressKey (key))
                    return false;
                UserAction (processor).set (parameter, button->getToggleState() ? 0.0f : 1.0f);
                return true;
            }

            if (auto* menu = dynamic_cast<juce::ComboBox*> (&control); menu != nullptr && isPressKey (key))
            {
                menu->showPopup();
                return true;
            }

            return applyValueKey (processor, parameter, key);
        }

        void componentBeingDeleted (juce::Component&) override
        {
            control.removeKeyListener (this);
            control.removeComponentListener (this);
            delete this;
        }

        juce::Component& control;
        TazzleAudioProcessor& processor;
        const int parameter;
    };

    // Space presses a button as Enter does. One for all buttons: it keeps no state.
    struct SpacePresses : juce::KeyListener
    {
        bool keyPressed (const juce::KeyPress& key, juce::Component* origin) override
        {
            auto* button = dynamic_cast<juce::Button*> (origin);
            if (button == nullptr || ! key.isKeyCode (juce::KeyPress::spaceKey)
                || key.getModifiers().isAnyModifierKeyDown() || ! button->isEnabled())
                return false;
            button->triggerClick();
            return true;
        }
    };

    class MenuHandler : public juce::AccessibilityHandler
    {
    public:
        MenuHandler (juce::ComboBox& box, TazzleAudioProcessor& processor, int p)
            : juce::AccessibilityHandler (
                box, juce::AccessibilityRole::comboBox,
                juce::AccessibilityActions()
                    .addAction (juce::AccessibilityActionType::press, [&box] { box.showPopup(); })
                    .addAction (juce::AccessibilityActionType::showMenu, [&box] { box.showPopup(); }),
                { std::make_unique<ParameterValue> (processor, p) })
            , menu (box)
        {
        }

        juce::AccessibleState getCurrentState() const override
        {
            const auto state = juce::AccessibilityHandler::getCurrentState().withExpandable();
            return menu.isPopupActive() ? state.withExpanded() : state.withCollapsed();
        }
        juce::String getHelp() const override { return menu.getTooltip(); }

    private:
        juce::ComboBox& menu;
    };

    class TabHandler : public juce::AccessibilityHandler
    {
    public:
        TabHandler (juce::Component& tab, std::function<void()> select, std::function<bool()> selected,
                    std::function<juce::String()> describe)
            : juce::AccessibilityHandler (
                tab, juce::AccessibilityRole::radioButton,
                juce::AccessibilityActions().addAction (juce::AccessibilityActionType::press, std::move (select)))
            , isSelected (std::move (selected))
            , description (std::move (describe))
        {
        }

        juce::AccessibleState getCurrentState() const override
        {
            const auto state = juce::AccessibilityHandler::getCurrentState().withSelectable();
            return isSelected() ? state.withSelected() : state;
        }
        juce::String getDescription() const override { return description(); }

    private:
        std::function<bool()> isSelected;
        std::function<juce::String()> description;
    };

    class ProxyHandler : public juce::AccessibilityHandler
    {
    public:
        ProxyHandler (Proxy& p, juce::AccessibilityActions proxyActions, Interfaces proxyInterfaces)
            : juce::AccessibilityHandler (p, p.role, std::move (proxyActions), std::move (proxyInterfaces))
            , proxy (p)
        {
        }

        juce::String getTitle() const override { return proxy.title ? proxy.title() : proxy.getTitle(); }
        juce::String getDescription() const override
        {
            return proxy.description ? proxy.description() : juce::String();
        }
        juce::AccessibleState getCurrentState() const override
        {
            auto state = juce::AccessibilityHandler::getCurrentState();
            if (proxy.isOn)
                state = proxy.isOn() ? state.withCheckable().withChecked() : state.withCheckable();
            return state;
        }

    private:
        Proxy& proxy;
    };
} // namespace

//==============================================================================
namespace
{
    class ControlTraverser : public juce::KeyboardFocusTraverser
    {
    public:
        juce::Component* getNextComponent (juce::Component* current) override
        {
            auto* next = juce::KeyboardFocusTraverser::getNextComponent (current);
            while (next != nullptr && isPassedOver (*next))
                next = juce::KeyboardFocusTraverser::getNextComponent (next);
            return next;
        }

        juce::Component* getPreviousComponent (juce::Component* current) override
        {
            auto* previous = juce::KeyboardFocusTraverser::getPreviousComponent (current);
            while (previous != nullptr && isPassedOver (*previous))
                previous = juce::KeyboardFocusTraverser::getPreviousComponent (previous);
            return previous;
        }

        juce::Component* getDefaultComponent (juce::Component* parent) override
        {
            const auto all = getAllComponents (parent);
            return all.empty() ? nullptr : all.front();
        }

        std::vector<juce::Component*> getAllComponents (juce::Component* parent) override
        {
            auto all = juce::KeyboardFocusTraverser::getAllComponents (parent);
            all.erase (std::remove_if (all.begin(), all.end(), [] (juce::Component* c) { return isPassedOver (*c); }),
                       all.end());
            return all;
        }

    private:
        // The panel takes the keyboard on a click on its background (for the undo keys); it is no stop of its own.
        static bool isPassedOver (juce::Component& c)
        {
            return dynamic_cast<MainPanel*> (&c) != nullptr || dynamic_cast<juce::Viewport*> (&c) != nullptr
                || (dynamic_cast<juce::Label*> (&c) != nullptr
                    && dynamic_cast<juce::Slider*> (c.getParentComponent()) != nullptr);
        }
    };
} // namespace

std::unique_ptr<juce::ComponentTraverser> createControlTraverser() { return std::make_unique<ControlTraverser>(); }

std::optional<float> keyedValue (const juce::RangedAudioParameter& parameter, const juce::KeyPress& key)
{
    const auto mods = key.getModifiers();
    if (mods.isCtrlDown() || mods.isCommandDown() || mods.isAltDown())
        return std::nullopt;

    const auto range = parameter.getNormalisableRange();
    const int code = key.getKeyCode();
    if (code == juce::KeyPress::homeKey)
        return range.start;
    if (code == juce::KeyPress::endKey)
        return range.end;

    float steps = 0.0f;
    if (code == juce::KeyPress::upKey || code == juce::KeyPress::rightKey)
        steps = 1.0f;
    else if (code == juce::KeyPress::downKey || code == juce::KeyPress::leftKey)
        steps = -1.0f;
    else if (code == juce::KeyPress::pageUpKey)
        steps = 10.0f;
    else if (code == juce::KeyPress::pageDownKey)
        steps = -10.0f;
    else
        return std::nullopt;

    const float step = steps * stepOf (parameter, mods.isShiftDown());
    if (isSkewed (parameter) && ! isStepped (parameter))
        return parameter.convertFrom0to1 (juce::jlimit (0.0f, 1.0f, parameter.getValue() + step));
    return juce::jlimit (range.start, range.end, parameter.convertFrom0to1 (parameter.getValue()) + step);
}

bool applyValueKey (TazzleAudioProcessor& processor, int p, const juce::KeyPress& key)
{
    auto& parameter = processor.getHostParameter (p);
    const auto value = keyedValue (parameter, key);
    if (! value)
        return false;

    // At either end the key is still this control's, with nothing left to change. Presses in a row on one
    // control are one undo step, as turns of the wheel are.
    if (parameter.convertTo0to1 (*value) != parameter.getValue())
        UserAction (processor, {}, p).set (p, *value);
    return true;
}

bool isPressKey (const juce::KeyPress& key)
{
    return ! key.getModifiers().isAnyModifierKeyDown()
        && (key.isKeyCode (juce::KeyPress::spaceKey) || key.isKeyCode (juce::KeyPress::returnKey));
}

void makeParameterControl (juce::Component& control, TazzleAudioProcessor& processor, int p)
{
    control.setTitle (allParams()[(size_t) p].name);
    control.setWantsKeyboardFocus (true);
    new ParameterKeys (control, processor, p); // deletes itself with the control
}

void makePressable (juce::Button& button, const juce::String& title)
{
    static SpacePresses spacePresses;
    button.setTitle (title);
    button.setWantsKeyboardFocus (true);
    button.removeKeyListener (&spacePresses);
    button.addKeyListener (&spacePresses);
}

std::unique_ptr<juce::AccessibilityHandler> createGroupHandler (juce::Component& group)
{
    return std::make_unique<juce::AccessibilityHandler> (group, juce::AccessibilityRole::group);
}

std::unique_ptr<juce::AccessibilityHandler> createMenuHandler (juce::ComboBox& menu, TazzleAudioProcessor& processor,
                                                               int p)
{
    return std::make_unique<MenuHandler> (menu, processor, p);
}

std::unique_ptr<juce::AccessibilityHandler> createTabHandler (juce::Component& tab, std::function<void()> select,
                                                              std::function<bool()> isSelected,
                                                              std::function<juce::String()> description)
{
    return std::make_unique<TabHandler> (tab, std::move (select), std::move (isSelected), std::move (description));
}

//==============================================================================
Proxy::Proxy (juce::AccessibilityRole r)
    : role (r)
{
    setInterceptsMouseClicks (false, false);
    setWantsKeyboardFocus (r != juce::AccessibilityRole::group);
    if (r == juce::AccessibilityRole::group)
        setFocusContainerType (FocusContainerType::focusContainer);
}

void Proxy::setParameter (TazzleAudioProcessor& proc, int p)
{
    processor = &proc;
    parameter = p;
}

bool Proxy::keyPressed (const juce::KeyPress& key)
{
    if (press && isPressKey (key))
    {
        press();
        return true;
    }
    if (onKey && onKey (key))
        return true;
    return processor != nullptr && applyValueKey (*processor, parameter, key);
}

std::unique_ptr<juce::AccessibilityHandler> Proxy::createAccessibilityHandler()
{
    juce::AccessibilityActions actions;
    if (press)
    {
        actions.addAction (juce::AccessibilityActionType::press, press);
        if (isOn)
            actions.addAction (juce::AccessibilityActionType::toggle, press);
    }

    juce::AccessibilityHandler::Interfaces interfaces;
    if (processor != nullptr)
        interfaces.value = std::make_unique<ParameterValue> (*processor, parameter);
    return std::make_unique<ProxyHandler> (*this, std::move (actions), std::move (interfaces));
}

//==============================================================================
FocusOutline::FocusOutline()
{
    setInterceptsMouseClicks (false, false);
    setAccessible (false);
    juce::Desktop::getInstance().addFocusChangeListener (this);
}

FocusOutline::~FocusOutline()
{
    juce::Desktop::getInstance().removeFocusChangeListener (this);
    if (auto* parent = getParentComponent())
        parent->removeMouseListener (this);
}

void FocusOutline::mouseDown (const juce::MouseEvent&)
{
    focusedByClick = juce::Component::getCurrentlyFocusedComponent();
    follow();
}

void FocusOutline::follow()
{
    auto* parent = getParentComponent();
    auto* focused = juce::Component::getCurrentlyFocusedComponent();
    const bool show = parent != nullptr && focused != nullptr && focused != focusedByClick.get()
        && parent->isParentOf (focused) && focused->isShowing();

    if (! show)
    {
        shown = nullptr;
        setVisible (false);
        return;
    }

    // A control in a scrolled strip or list comes into view first.
    if (auto* viewport = focused->findParentComponentOfClass<juce::Viewport>())
        if (auto* content = viewport->getViewedComponent(); content != nullptr && content->isParentOf (focused))
        {
            const auto area = content->getLocalArea (focused, focused->getLocalBounds());
            const auto view = viewport->getViewArea();
            const auto into = [] (int from, int size, int start, int end)
            { return start < from ? start : (end > from + size ? end - size : from); };
            viewport->setViewPosition (into (view.getX(), view.getWidth(), area.getX(), area.getRight()),
                                       into (view.getY(), view.getHeight(), area.getY(), area.getBottom()));
        }

    const auto bounds = parent->getLocalArea (focused, focused->getLocalBounds()).expanded (margin);
    if (shown.get() != focused || bounds != getBounds() || ! isVisible())
    {
        shown = focused;
        setBounds (bounds);
        setVisible (true);
        toFront (false);
        repaint();
    }
}

void FocusOutline::paint (juce::Graphics& g)
{
    g.setColour (tz::theme::accent);
    g.drawRoundedRectangle (getLocalBounds().toFloat().reduced (1.0f), 5.0f, 2.0f);
}

//==============================================================================
namespace
{
    // Presses a component with the keys of a press (Enter, Space) through its accessibility action, as a screen
    // reader would. One for all: it keeps no state.
    struct PressKeys : juce::KeyListener
    {
        bool keyPressed (const juce::KeyPress& key, juce::Component* origin) override
        {
            if (! isPressKey (key) || origin == nullptr)
                return false;
            auto* handler = origin->getAccessibilityHandler();
            return handler != nullptr && handler->getActions().invoke (juce::AccessibilityActionType::press);
        }
    };

    void makePressableByKeys (juce::Component& component)
    {
        static PressKeys pressKeys;
        component.setWantsKeyboardFocus (true);
        component.removeKeyListener (&pressKeys);
        component.addKeyListener (&pressKeys);
    }

    // The parts a view gains for screen readers and the keyboard, laid out with it and gone with it.
    class ViewParts : private juce::ComponentListener
    {
    public:
        explicit ViewParts (juce::Component& v)
            : view (v)
        {
            view.addComponentListener (this);
        }

        Proxy& add (juce::Component& parent, juce::AccessibilityRole role)
        {
            auto& proxy = *parts.emplace_back (std::make_unique<Proxy> (role));
            parent.addAndMakeVisible (proxy);
            return proxy;
        }

        // Lays the parts out again whenever this parameter changes (the editor's mode, say).
        void follow (TazzleAudioProcessor& processor, int parameter)
        {
            links.push_back (std::make_unique<ParameterLink> (processor, parameter, [this] (float) { layOut(); }));
        }

        std::function<void()> layOut = [] {};

    private:
        void componentMovedOrResized (juce::Component&, bool, bool wasResized) override
        {
            if (wasResized)
                layOut();
        }

        void componentBeingDeleted (juce::Component&) override
        {
            view.removeComponentListener (this);
            delete this;
        }

        juce::Component& view;
        std::vector<std::unique_ptr<ParameterLink>> links;
        // Children go before the groups that hold them.
        std::vector<std::unique_ptr<Proxy>> parts;
    };
} // namespace

void describeMainPanel (MainPanel& panel, TazzleAudioProcessor& processor)
{
    makePressable (panel.getRandomButton(), "Random patch");
    makePressable (panel.getMutateButton(), "Mutate patch");
    makePressable (panel.getUndoButton(), "Undo"); // the tooltip names the step
    makePressable (panel.getRedoButton(), "Redo");
    makePressable (panel.getSettingsButton(), "Settings");
    makePressable (panel.getModulatorsTab(), "Modulators page");
    makePressable (panel.getGridTab(), "FX Grid page");
    for (auto* tab : { &panel.getModulatorsTab(), &panel.getGridTab() })
        tab->setRadioGroupId (1, juce::dontSendNotification);

    auto& presets = panel.getPresetBar();
    makePressable (presets.getPreviousButton(), "Previous preset");
    makePressable (presets.getNextButton(), "Next preset");
    presets.getNameButton().setDescription ("Opens the list of presets");
    makePressable (presets.getNameButton(), {}); // read as the preset's name
    makePressable (presets.getSaveButton(), "Save preset");
    presets.getStar().setToggleable (true); // read as on or off
    makePressable (presets.getStar(), "Favourite");
    makePressable (presets.getBrowseButton(), "Browse presets");
    panel.getPresetBrowser().getSearchField().setTitle ("Search presets");
    panel.getPresetBrowser().setTitle ("Preset browser");

    panel.getModulatorSection().setTitle ("Modulators");
    panel.getModulatorSection().setFocusContainerType (juce::Component::FocusContainerType::focusContainer);
    panel.getGridView().setTitle ("FX Grid");
    panel.getGridView().setFocusContainerType (juce::Component::FocusContainerType::focusContainer);
    makePressable (panel.getGridView().getClearButton(), "Clear grid");
    describeXYPad (panel.getXYPad(), processor);

    // Tab order: the header, the chain from left to right, the page under its tabs, the pad, MASTER.
    juce::Component* const order[] = {
        &panel.getPresetBar(),     &panel.getRandomButton(),   &panel.getMutateButton(), &panel.getUndoButton(),
        &panel.getRedoButton(),    &panel.getSettingsButton(), &panel.getUpdateNotice(), &panel.getPresetBrowser(),
        &panel.getChainViewport(), &panel.getModulatorsTab(),  &panel.getGridTab(),      &panel.getModulatorSection(),
        &panel.getGridView(),      &panel.getXYPad(),          &panel.getMasterKnob (0), &panel.getMasterKnob (1),
        &panel.getMasterKnob (2)
    };
    int place = 1;
    for (auto* component : order)
        component->setExplicitFocusOrder (place++);

    auto& outline = panel.getFocusOutline();
    panel.addChildComponent (outline);
    panel.addMouseListener (&outline, true);
}

void describeModulatorSection (ModulatorSection& section, TazzleAudioProcessor& processor)
{
    const int m = section.getSelectedModulator();
    const juce::String mod = "Mod " + juce::String (m + 1);
    for (int t = 0; t < tz::numModulators; ++t)
    {
        auto& tab = section.getTab (t);
        tab.setTitle ("Mod " + juce::String (t + 1));
        makePressableByKeys (tab);
    }
    makePressable (section.getLfoButton(), mod + " LFO mode");
    makePressable (section.getStepsButton(), mod + " Steps mode");
    makePressable (section.getAddButton(), "Add a target for " + mod);
    auto& followsXY = section.getFollowsXYButton();
    followsXY.setTitle (allParams()[(size_t) modParam (m, modField::followsXY)].name);
    makePressable (followsXY, followsXY.getTitle());

    // Left column, the controls band left to right, the step editor, then the targets on the right.
    juce::Component* const order[] = { &section.getTab (0),
                                       &section.getTab (1),
                                       &section.getTab (2),
                                       &section.getTab (3),
                                       &section.getLfoButton(),
                                       &section.getStepsButton(),
                                       &followsXY,
                                       &section.getShapeMenu(),
                                       &section.getLengthMenu(),
                                       &section.getRateMenu(),
                                       &section.getKnob (0),
                                       &section.getKnob (1),
                                       &section.getKnob (2),
                                       &section.getStepEditor(),
                                       &section.getAddButton(),
                                       &section.getRouteList() };
    int place = 1;
    for (auto* component : order)
        component->setExplicitFocusOrder (place++);
    describeStepEditor (section.getStepEditor(), processor);
}

void describeRouteRow (RouteRow& row, TazzleAudioProcessor& processor)
{
    const int route = row.getRoute();
    auto& target = row.getTargetButton();
    target.setDescription (target.getButtonText());
    makePressable (target, allParams()[(size_t) routeParam (route, routeField::target)].name);
    makeParameterControl (row.getDepthSlider(), processor, routeParam (route, routeField::depth));
    makePressable (row.getRemoveButton(), "Remove route " + juce::String (route + 1));
}

void describeGridView (GridView& grid, TazzleAudioProcessor& processor)
{
    constexpr int columns = 16;
    auto& parts = *new ViewParts (grid); // goes with the grid
    std::vector<Proxy*> rows, switches, cells;

    for (int r = 0; r < numEffects; ++r)
    {
        auto& row = parts.add (grid, juce::AccessibilityRole::group);
        row.title = [&grid, r] { return theme::effectTitle (grid.effectInRow (r)) + " grid"; };
        rows.push_back (&row);

        auto& gridSwitch = parts.add (row, juce::AccessibilityRole::toggleButton);
        gridSwitch.title = [&grid, r] { return theme::effectTitle (grid.effectInRow (r)) + " Grid On"; };
        gridSwitch.isOn = [&grid, &processor, r] { return processor.getGridRow (grid.effectInRow (r)).enabled; };
        gridSwitch.press = [&grid, r] { grid.toggleRowSwitch (r); };
        gridSwitch.setExplicitFocusOrder (1); // before the cells, as it is drawn
        switches.push_back (&gridSwitch);

        for (int c = 0; c < columns; ++c)
        {
            auto& cell = parts.add (row, juce::AccessibilityRole::toggleButton);
            cell.setTitle ("Step " + juce::String (c + 1));
            cell.isOn = [&grid, &processor, r, c]
            { return ((processor.getGridRow (grid.effectInRow (r)).steps >> c) & 1u) != 0; };
            cell.press = [&grid, r, c] { grid.toggleCell (r, c); };
            // One cell of each row is on the Tab path; the arrows move between cells and rows.
            cell.setWantsKeyboardFocus (c == 0);
            cells.push_back (&cell);
        }
    }

    for (int r = 0; r < numEffects; ++r)
        for (int c = 0; c < columns; ++c)
            cells[(size_t) (r * columns + c)]->onKey = [cells, r, c] (const juce::KeyPress& key)
            {
                int row = r, column = c;
                if (key.getModifiers().isAnyModifierKeyDown())
                    return false;
                if (key.isKeyCode (juce::KeyPress::leftKey))
                    --column;
                else if (key.isKeyCode (juce::KeyPress::rightKey))
                    ++column;
                else if (key.isKeyCode (juce::KeyPress::upKey))
                    --row;
                else if (key.isKeyCode (juce::KeyPress::downKey))
                    ++row;
                else if (key.isKeyCode (juce::KeyPress::homeKey))
                    column = 0;
                else if (key.isKeyCode (juce::KeyPress::endKey))
                    column = columns - 1;
                else
                    return false;

                row = juce::jlimit (0, numEffects - 1, row);
                column = juce::jlimit (0, columns - 1, column);
                auto* from = cells[(size_t) (r * columns + c)];
                auto* to = cells[(size_t) (row * columns + column)];
                if (to != from)
                {
                    // Each row keeps the column it was left at on the Tab path.
                    for (int other = 0; other < columns; ++other)
                        cells[(size_t) (row * columns + other)]->setWantsKeyboardFocus (other == column);
                    to->grabKeyboardFocus();
                }
                return true;
            };

    parts.layOut = [&grid, rows, switches, cells]
    {
        for (int r = 0; r < numEffects; ++r)
        {
            const auto band = grid.gridSwitchBounds (r).getUnion (grid.cellBounds (r, columns - 1));
            rows[(size_t) r]->setBounds (band);
            switches[(size_t) r]->setBounds (grid.gridSwitchBounds (r) - band.getPosition());
            for (int c = 0; c < columns; ++c)
                cells[(size_t) (r * columns + c)]->setBounds (grid.cellBounds (r, c) - band.getPosition());
        }
    };
    parts.layOut();
}

void describeStepEditor (StepEditor& editor, TazzleAudioProcessor& processor)
{
    const int m = editor.getModulator();
    auto& parts = *new ViewParts (editor); // goes with the editor
    auto& group = parts.add (editor, juce::AccessibilityRole::group);
    group.setTitle ("Mod " + juce::String (m + 1) + " steps");

    std::vector<Proxy*> levels, shapes;
    for (int s = 0; s < numModSteps; ++s)
    {
        const auto number = juce::String (s + 1);
        auto& level = parts.add (group, juce::AccessibilityRole::slider);
        level.setTitle ("Step " + number + " level");
        level.setParameter (processor, modParam (m, modField::firstStep + s));
        levels.push_back (&level);

        auto& shape = parts.add (group, juce::AccessibilityRole::comboBox);
        shape.setTitle ("Step " + number + " shape");
        const int shapeParameter = modParam (m, modField::firstStepShape + s);
        shape.setParameter (processor, shapeParameter);
        // As a click on the shape cell: the next shape, round to the first.
        shape.press = [&processor, shapeParameter]
        {
            auto& param = processor.getHostParameter (shapeParameter);
            const int next = (juce::roundToInt (param.convertFrom0to1 (param.getValue())) + 1) % 5;
            UserAction (processor).set (shapeParameter, (float) next);
        };
        shapes.push_back (&shape);
    }

    auto& mode = processor.getHostParameter (modParam (m, modField::mode));
    // The mode from the parameter itself: the processor's own reading may not have caught up yet.
    parts.layOut = [&editor, &group, &mode, levels, shapes]
    {
        group.setBounds (editor.getLocalBounds());
        group.setVisible (mode.getValue() >= 0.5f);
        const auto plot = editor.plotArea(), shapeRow = editor.shapesRow();
        const float width = ((float) editor.getWidth() - 24.0f) / (float) numModSteps;
        for (int s = 0; s < numModSteps; ++s)
        {
            const float x = 12.0f + (float) s * width;
            levels[(size_t) s]->setBounds (
                juce::Rectangle<float> (x, plot.getY(), width, plot.getHeight()).getSmallestIntegerContainer());
            shapes[(size_t) s]->setBounds (
                juce::Rectangle<float> (x, shapeRow.getY(), width, shapeRow.getHeight()).getSmallestIntegerContainer());
        }
    };
    parts.follow (processor, modParam (m, modField::mode));
    parts.layOut();
}

void describeXYPad (XYPad& pad, TazzleAudioProcessor& processor)
{
    auto& parts = *new ViewParts (pad); // goes with the pad
    auto& group = parts.add (pad, juce::AccessibilityRole::group);
    group.setTitle ("XY pad");
    auto& x = parts.add (group, juce::AccessibilityRole::slider);
    x.setTitle ("X (Speed)");
    x.setParameter (processor, tz::xyX);
    auto& y = parts.add (group, juce::AccessibilityRole::slider);
    y.setTitle ("Y (Intensity)");
    y.setParameter (processor, tz::xyY);
    parts.layOut = [&pad, &group, &x, &y]
    {
        group.setBounds (pad.hitArea().getSmallestIntegerContainer());
        x.setBounds (group.getLocalBounds());
        y.setBounds (group.getLocalBounds());
    };
    parts.layOut();

    makePressable (pad.getXButton(), "Send X to a knob");
    makePressable (pad.getYButton(), "Send Y to a knob");
}

} // namespace tz::ui
