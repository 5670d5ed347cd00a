#include "ui/EffectPanel.h"

#include "core/PluginProcessor.h"
#include "presets/StateDocument.h"
#include "ui/Accessibility.h"
#include "ui/HostWrites.h"
#include "ui/theme/PedalLooks.h"

namespace theme = tz::theme;

namespace
{
constexpr int headerHeight = 44; // presses above this drag an open pedal
constexpr int dragThreshold = 5;
constexpr const char* foldTooltip = "Fold this effect away (it keeps working)";
constexpr const char* openTooltip = "Open this effect";
} // namespace

EffectPanel::EffectPanel (TazzleAudioProcessor& proc, tz::EffectId id,
                          const std::function<void (int)>& onModulatorChosen)
    : processor (proc)
    , effect (id)
    , colour (theme::effectColour (id))
    , earlier (IconButton::Icon::earlier, "Move this effect one place earlier in the chain")
    , later (IconButton::Icon::later, "Move this effect one place later in the chain")
    , fold (IconButton::Icon::fold, foldTooltip)
{
    const auto& params = tz::allParams();

    onOffLink = std::make_unique<tz::ui::ButtonLink> (processor, tz::effectParams[(size_t) effect].on, onOff);
    onOff.setColour (juce::ToggleButton::tickColourId, colour);
    onOff.setTooltip ("Switch this effect on or off");
    addAndMakeVisible (onOff);
    tz::ui::makeParameterControl (onOff, processor, tz::effectParams[(size_t) effect].on);
    setTitle (displayName());
    setFocusContainerType (FocusContainerType::focusContainer);

    const auto move = [this] (int delta)
    {
        tz::ui::UserAction action (processor, tz::stepNames::effectOrder);
        processor.moveEffect (effect, delta);
        action.changedOtherState();
    };
    earlier.onClick = [move] { move (-1); };
    later.onClick = [move] { move (+1); };
    fold.onClick = [this]
    {
        tz::ui::UserAction action (processor);
        action.changedOtherState();
        const int mask = processor.getFoldedEffects();
        const int bit = 1 << (int) effect;
        processor.setFoldedEffects (folded ? (mask & ~bit) : (mask | bit));
        if (onFoldChanged)
            onFoldChanged();
    };
    for (auto* button : { &earlier, &later, &fold })
        addAndMakeVisible (*button);
    tz::ui::makePressable (earlier, "Move " + displayName() + " earlier");
    tz::ui::makePressable (later, "Move " + displayName() + " later");

    const auto& layout = theme::pedalLook (effect).layout;
    for (const auto& entry : layout.menus)
    {
        LabelledMenu item { std::make_unique<ParamMenu> (
                                processor, entry.parameter,
                                juce::StringArray::fromTokens (params[(size_t) entry.parameter].choices, "|", {}), 0),
                            std::make_unique<juce::Label>() };
        if (entry.caption != nullptr)
        {
            item.label->setText (entry.caption, juce::dontSendNotification);
            item.label->setFont (theme::nexa (9.0f));
            item.label->setColour (juce::Label::textColourId, theme::dimText);
            item.label->setInterceptsMouseClicks (false, false);
            addAndMakeVisible (*item.label);
        }
        else
        {
            addChildComponent (*item.label);
        }
        addAndMakeVisible (*item.menu);
        menus.push_back (std::move (item));
    }

    for (const auto& entry : layout.knobs)
    {
        auto knob = std::make_unique<Knob> (processor, entry.parameter, entry.caption, colour);
        knob->onModulatorChosen = onModulatorChosen;
        addAndMakeVisible (*knob);
        knobs.push_back (std::move (knob));
    }

    // A pedal with its controls is kept as an image; only what repaints inside it is drawn again.
    setBufferedToImage (true);
}

EffectPanel::~EffectPanel() = default;

juce::String EffectPanel::displayName() const { return theme::effectTitle (effect); }

std::unique_ptr<juce::AccessibilityHandler> EffectPanel::createAccessibilityHandler()
{
    return tz::ui::createGroupHandler (*this);
}

bool EffectPanel::isFolded (TazzleAudioProcessor& processor, tz::EffectId effect)
{
    const int mask = processor.getFoldedEffects();
    return (mask >> (int) effect) & 1;
}

int EffectPanel::preferredWidth() const { return theme::pedalLook (effect).width; }

void EffectPanel::setPosition (int slot)
{
    position = slot;
    setDescription ("Place " + juce::String (slot + 1) + " in the chain");
    earlier.setEnabled (slot != 0);
    later.setEnabled (slot < tz::numEffects - 1);
}

void EffectPanel::setCollapsed (bool collapsed)
{
    folded = collapsed;

    for (auto* child : getChildren())
        child->setVisible (! folded || child == &onOff || child == &fold);
    for (auto& item : menus)
        item.label->setVisible (! folded && item.label->getText().isNotEmpty());

    fold.setIcon (folded ? IconButton::Icon::unfold : IconButton::Icon::fold);
    fold.setTooltip (folded ? openTooltip : foldTooltip);
    tz::ui::makePressable (fold, (folded ? "Open " : "Fold ") + displayName());
    fold.repaint();
    resized();
}

//==============================================================================
void EffectPanel::resized()
{
    const int w = getWidth(), h = getHeight();

    if (folded)
    {
        onOff.setBounds ((w - 8 - 24) / 2 + 4, 14, 24, 24);
        fold.setBounds ((w - 8 - 26) / 2 + 4, h - 8 - 26, 26, 20);
        return;
    }

    layOutOpen();
}

void EffectPanel::layOutOpen()
{
    const int w = getWidth(), h = getHeight();
    const int c = juce::jmax (w - 8, 20);
    const int b = juce::jmax (h - 8, 3) - 3;
    const int header = juce::jmin (b, 40);
    const int footer = juce::jmin (b - header, 36);

    const int m = juce::jmin (c - 20, 26);
    onOff.setBounds (c + (m - 24) / 2 - m - 6, (juce::jmax (header, 6) - 30) / 2 + 10, 24, 24);

    const int rowY = b + (footer - 20) / 2 - footer + 4;
    const int e1 = juce::jmin (c - 32, 26);
    const int e2 = juce::jmin (c - 32 - e1, 26);
    earlier.setBounds (20, rowY, e1, 20);
    later.setBounds (c - e2 - 12, rowY, e2, 20);
    fold.setBounds (e1 + (c - 32 - e1 - e2 - 30) / 2 + 20, rowY, 30, 20);

    const int x0 = 14, areaWidth = c - 20;
    int y = header + 4;
    int remaining = b - header - footer;
    const auto takeRow = [&remaining, &y] (int height)
    {
        const int taken = juce::jmin (remaining, height);
        const int top = y;
        y += taken;
        remaining -= taken;
        return std::pair { top, taken };
    };

    for (auto& item : menus)
    {
        const auto [top, rowHeight] = takeRow (26);
        const bool captioned = item.label->getText().isNotEmpty();
        const int labelWidth = captioned ? juce::jmin (areaWidth, 40) : 0;
        item.label->setBounds (x0, top + 2, labelWidth, rowHeight - 4);
        item.menu->setBounds (x0 + labelWidth, top + 2, areaWidth - labelWidth, rowHeight - 4);
    }
    if (menus.empty())
        takeRow (26);

    takeRow (4);

    const int n = (int) knobs.size();
    const int columns = n == 1 ? 1 : n < 5 ? 2 : (areaWidth > 189 ? 3 : 2);
    const int u = areaWidth / columns;
    const int rows = (n + columns - 1) / columns;
    const int q = juce::jmin (remaining / juce::jmax (rows, 2), 116);

    for (int i = 0; i < n; ++i)
    {
        const int row = i / columns, column = i % columns;
        const int inRow = juce::jmin (columns, n - row * columns);
        const int shift = u * (columns - inRow) / 2;
        knobs[(size_t) i]->setBounds (x0 + u * column + shift, y + q * row, u, q);
    }
}

//==============================================================================
void EffectPanel::paint (juce::Graphics& g)
{
    const int key = (onOff.getToggleState() ? 1 : 0) | (folded ? 2 : 0) | (dragging ? 4 : 0) | (position << 3);
    if (key != bodyKey)
    {
        bodyKey = key;
        body.invalidate();
    }

    body.draw (g, getLocalBounds(), [this] (juce::Graphics& bg) { paintBody (bg); });
}

void EffectPanel::paintBody (juce::Graphics& g)
{
    const float w = (float) getWidth(), h = (float) getHeight();
    const bool lit = onOff.getToggleState();
    const juce::Rectangle<float> pedal (4.0f, 4.0f, juce::jmax (w - 8.0f, 0.0f), juce::jmax (h - 11.0f, 0.0f));

    theme::drawPedal (g, pedal, colour, lit, ! folded);

    if (dragging)
    {
        g.setColour (colour.withAlpha ((juce::uint8) 0x14));
        g.fillRoundedRectangle (pedal, 9.0f);
    }

    const auto number = juce::String (position + 1);
    const auto nameColour = lit ? colour : theme::text.withAlpha ((juce::uint8) (folded ? 0x80 : 0xbf));
    const juce::String name (tz::effectNames[(size_t) effect]);

    if (folded)
    {
        g.setColour (theme::dimText);
        g.setFont (theme::nexa (10.0f));
        g.drawText (number, juce::Rectangle<float> (4.0f, 42.0f, w - 8.0f, 14.0f), juce::Justification::centred, false);

        // Reads upwards along the pedal, starting 51 units above its bottom edge.
        const juce::Point<float> start (w / 2.0f, h - 51.0f);
        const float length = (h - 11.0f) - 110.0f;
        const juce::Graphics::ScopedSaveState saved (g);
        g.addTransform (juce::AffineTransform::rotation (-juce::MathConstants<float>::halfPi, start.x, start.y));
        g.setColour (nameColour);
        g.setFont (theme::nexa (13.0f));
        g.drawText (name, juce::Rectangle<float> (start.x, start.y - 8.0f, juce::jmax (length, 0.0f), 16.0f),
                    juce::Justification::centredLeft, false);
        return;
    }

    const juce::Rectangle<float> badge ((float) ((juce::jmin ((int) w - 36, 16) - 16) / 2 + 18),
                                        (float) ((juce::jmin ((int) h - 11, 40) - 6 - 16) / 2 + 10), 16.0f, 16.0f);
    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x73));
    g.fillRoundedRectangle (badge, 3.0f);
    g.setColour (theme::dimText);
    g.setFont (theme::nexa (9.5f));
    g.drawText (number, badge, juce::Justification::centred, false);

    g.setFont (theme::nexa (14.0f));
    const int nameWidth = juce::jmax (0, (int) w - 84);
    g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x99));
    g.drawFittedText (name, 40, 11, nameWidth, 34, juce::Justification::centredLeft, 1, 0.6f);
    g.setColour (nameColour);
    g.drawFittedText (name, 40, 10, nameWidth, 34, juce::Justification::centredLeft, 1, 0.6f);
}

//==============================================================================
int EffectPanel::pointerInChain (const juce::MouseEvent& e) const
{
    auto* chain = getParentComponent();
    return juce::roundToInt (chain != nullptr ? e.getEventRelativeTo (chain).position.x
                                              : e.position.x + (float) getX());
}

void EffectPanel::mouseDown (const juce::MouseEvent& e)
{
    if (folded || e.y < headerHeight)
    {
        dragging = true;
        repaint();
    }
}

void EffectPanel::mouseDrag (const juce::MouseEvent& e)
{
    if (dragging && juce::roundToInt (e.position.getDistanceFrom (e.mouseDownPosition)) >= dragThreshold && onDragMove)
        onDragMove (effect, pointerInChain (e), false);
}

void EffectPanel::mouseUp (const juce::MouseEvent& e)
{
    if (! dragging)
        return;

    if (onDragMove)
        onDragMove (effect, pointerInChain (e), true);
    dragging = false;
    repaint();
}
