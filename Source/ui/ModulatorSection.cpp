#include "ui/ModulatorSection.h"

#include <cmath>

#include "core/PluginProcessor.h"
#include "core/Transport.h"
#include "engine/Modulators.h"
#include "ui/Accessibility.h"
#include "ui/HostWrites.h"
#include "ui/XYPad.h"

namespace theme = tz::theme;

namespace
{
constexpr int tabWidth = 112, listWidth = 250, rowHeight = 30, bandHeight = 78, margin = 18;

juce::StringArray choicesOf (int parameter)
{
    return juce::StringArray::fromTokens (tz::allParams()[(size_t) parameter].choices, "|", {});
}

float modField (const TazzleAudioProcessor& processor, int m, int k)
{
    return processor.getValue (tz::modParam (m, k));
}

int routeCount (const TazzleAudioProcessor& processor, int m)
{
    int count = 0;
    for (int r = 0; r < tz::numRoutes; ++r)
        count += juce::roundToInt (processor.getValue (tz::routeParam (r, tz::routeField::source))) == m + 1;
    return count;
}
} // namespace

//==============================================================================
ModulatorSection::Tab::Tab (ModulatorSection& section, int m)
    : owner (section)
    , modulator (m)
{
}

juce::StringArray ModulatorSection::Tab::lines() const
{
    const auto& engine = owner.processor;
    const bool steps = modField (engine, modulator, tz::modField::mode) > 0.5f;
    const bool follows = modField (engine, modulator, tz::modField::followsXY) > 0.5f;

    static const juce::StringArray shapeNames { "SINE",   "TRIANGLE", "SAW UP",    "SAW DOWN",
                                                "SQUARE", "RANDOM",   "SMOOTH RND" };
    const auto rates = choicesOf (tz::modParam (modulator, tz::modField::rate));

    juce::String mode = steps
        ? juce::String ("STEPS")
        : shapeNames[tz::choiceIndex (modField (engine, modulator, tz::modField::shape), tz::lfoShape::count)];
    mode << "  " << rates[tz::choiceIndex (modField (engine, modulator, tz::modField::rate), rates.size())];

    if (const float x = engine.getValue (tz::xyX); follows && tz::xySpeedFor (x) != 1.0f)
        mode << " " << XYPad::speedLabel (x);

    const int routes = routeCount (engine, modulator);
    const juce::String targets =
        routes == 0 ? juce::String ("no targets") : juce::String (routes) + (routes == 1 ? " target" : " targets");

    return { "MOD " + juce::String (modulator + 1), mode, targets };
}

bool ModulatorSection::Tab::refresh()
{
    // Its modulator's fields, the route sources (its count of targets) and X (the speed it follows).
    const auto& engine = owner.processor;
    std::uint32_t revision = engine.getParameterRevision (tz::modParam (modulator, 0), tz::modParam (modulator + 1, 0))
        + engine.getParameterRevision (tz::xyX, tz::xyX + 1);
    for (int r = 0; r < tz::numRoutes; ++r)
    {
        const int source = tz::routeParam (r, tz::routeField::source);
        revision += engine.getParameterRevision (source, source + 1);
    }

    const int isSelected = owner.selected == modulator ? 1 : 0;
    if (revision == shownRevision && isSelected == shownSelected)
        return false;

    shownRevision = revision;
    shownSelected = isSelected;
    repaint();
    return true;
}

void ModulatorSection::Tab::mouseDown (const juce::MouseEvent&) { owner.selectModulator (modulator); }

std::unique_ptr<juce::AccessibilityHandler> ModulatorSection::Tab::createAccessibilityHandler()
{
    return tz::ui::createTabHandler (
        *this, [this] { owner.selectModulator (modulator); }, [this] { return owner.selected == modulator; },
        [this] { return lines().joinIntoString (", "); });
}

void ModulatorSection::Tab::paint (juce::Graphics& g)
{
    const auto colour = theme::modColour (modulator);
    const auto area = getLocalBounds().toFloat();
    const bool isSelected = owner.selected == modulator;

    if (isSelected)
    {
        theme::drawScreen (g, area.reduced (1.0f), 6.0f);
        g.setColour (colour.withAlpha ((juce::uint8) 0x40));
        g.drawRoundedRectangle (area.reduced (1.5f), 6.0f, 1.0f);
        g.setColour (colour);
        g.fillRect (area.reduced (1.0f).withWidth (3.0f).reduced (0.0f, 6.0f));
    }
    else
    {
        g.setColour (juce::Colours::black.withAlpha ((juce::uint8) 0x80));
        g.fillRoundedRectangle (area.reduced (1.0f).translated (0.0f, 2.0f), 6.0f);
        const auto top = isMouseOver() ? theme::raisedTop : theme::tabTop;
        g.setGradientFill (juce::ColourGradient::vertical (top, area.getY(), theme::faceBottom, area.getBottom()));
        g.fillRoundedRectangle (area.reduced (1.0f), 6.0f);
        g.setColour (juce::Colours::white.withAlpha ((juce::uint8) 0x1a));
        g.fillRect (area.getX() + 6.0f, area.getY() + 1.5f, juce::jmax (area.getWidth() - 12.0f, 0.0f), 1.0f);
    }

    const auto text = lines();
    const float x = 12.0f, w = juce::jmax (area.getWidth() - 18.0f, 0.0f);
    g.setFont (theme::nexa (13.0f));
    g.setColour (isSelected ? colour : theme::text.withAlpha ((juce::uint8) 0xcc));
    g.drawText (text[0], juce::Rectangle<float> (x, 6.0f, w, 15.0f), juce::Justification::centredLeft, false);

    if (modField (owner.processor, modulator, tz::modField::followsXY) > 0.5f)
    {
        const juce::Rectangle<float> badge (area.getRight() - 28.0f, 7.0f, 20.0f, 12.0f);
        g.setColour (theme::accent.withAlpha ((juce::uint8) 0xd9));
        g.fillRoundedRectangle (badge, 3.0f);
        g.setColour (juce::Colours::black);
        g.setFont (theme::nexa (8.5f));
        g.drawText ("XY", badge, juce::Justification::centred, false);
    }

    g.setFont (theme::nexa (9.5f));
    g.setColour (theme::dimText);
    g.drawText (text[1], juce::Rectangle<float> (x, 22.0f, w, 12.0f), juce::Justification::centredLeft, true);
    g.drawText (text[2], juce::Rectangle<float> (x, 34.0f, w, 12.0f), juce::Justification::centredLeft, true);

    // A miniature of the pattern: the step levels, or one cycle of the wave.
    const juce::Rectangle<float> mini (x, 50.0f, w, juce::jmax (area.getHeight() - 58.0f, 0.0f));
    if (mini.getHeight() < 4.0f)
        return;

    g.setColour (colour.withAlpha ((juce::uint8) (isSelected ? 0xc0 : 0x70)));
    const auto& engine = owner.processor;
    if (modField (engine, modulator, tz::modField::mode) > 0.5f)
    {
        const int length = juce::jlimit (1, 16, juce::roundToInt (modField (engine, modulator, tz::modField::length)));
        const float column = mini.getWidth() / 16.0f;
        for (int i = 0; i < length; ++i)
        {
            const float level = modField (engine, modulator, tz::modField::firstStep + i) / 100.0f;
            g.fillRect (mini.getX() + (float) i * column + 0.5f, mini.getBottom() - mini.getHeight() * level,
                        juce::jmax (column - 1.0f, 0.5f), mini.getHeight() * level);
        }
    }
    else
    {
        tz::ParamValues values {};
        for (int k = 0; k < tz::numModFields; ++k)
            values[(size_t) tz::modParam (modulator, k)] = modField (engine, modulator, k);
        values[(size_t) tz::modParam (modulator, tz::modField::followsXY)] = 0.0f;
        const double cycle = tz::lookupBeats (tz::modRateBeats, modField (engine, modulator, tz::modField::rate));

        juce::Path wave;
        for (int i = 0; i <= 32; ++i)
        {
            const auto v = (float) tz::modulatorValue (values, modulator, cycle * i / 32.0, 1.0f);
            const juce::Point<float> point (mini.getX() + mini.getWidth() * (float) i / 32.0f,
                                            mini.getBottom() - mini.getHeight() * v);
            if (i == 0)
                wave.startNewSubPath (point);
            else
                wave.lineTo (point);
        }
        g.strokePath (wave, juce::PathStrokeType (1.3f));
    }
}

//==============================================================================
ModulatorSection::ModulatorSection (TazzleAudioProcessor& proc)
    : processor (proc)
    , routeList (proc, rowHeight, 8)
{
    for (int m = 0; m < (int) tabs.size(); ++m)
    {
        tabs[(size_t) m] = std::make_unique<Tab> (*this, m);
        addAndMakeVisible (*tabs[(size_t) m]);
    }

    lfoButton.setTooltip ("LFO: a repeating wave");
    stepsButton.setTooltip ("Steps: a 16-step sequence; draw the levels, pick a shape per step");
    lfoButton.onClick = [this] { tz::ui::setAsGesture (processor, tz::modParam (selected, tz::modField::mode), 0.0f); };
    stepsButton.onClick = [this]
    { tz::ui::setAsGesture (processor, tz::modParam (selected, tz::modField::mode), 1.0f); };
    followsXY.setClickingTogglesState (true);
    followsXY.setTooltip ("On: the XY pad changes this modulator's speed (X) and intensity (Y)");

    for (auto* button : { &lfoButton, &stepsButton, &followsXY })
        addAndMakeVisible (*button);

    for (auto [label, text] : { std::pair { &shapeLabel, "SHAPE" }, { &rateLabel, "RATE" }, { &lengthLabel, "STEPS" } })
    {
        label->setText (text, juce::dontSendNotification);
        label->setFont (theme::nexa (9.0f));
        label->setColour (juce::Label::textColourId, theme::dimText);
        label->setBorderSize ({});
        label->setInterceptsMouseClicks (false, false);
        addAndMakeVisible (*label);
    }

    addButton.setTooltip ("Send this modulator to another knob (or right-click any knob)");
    addButton.onClick = [this]
    {
        showTargetMenu (addButton,
                        [safeThis = juce::Component::SafePointer<ModulatorSection> (this)] (tz::P target)
                        {
                            if (safeThis != nullptr)
                                safeThis->addTarget (target);
                        });
    };
    addAndMakeVisible (addButton);

    addAndMakeVisible (routeList);

    buildControls();
    refresh();
    // Kept as an image; only what repaints inside it (the step editor while playing) is drawn again.
    setBufferedToImage (true);
}

ModulatorSection::~ModulatorSection() = default;

std::unique_ptr<juce::AccessibilityHandler> ModulatorSection::createAccessibilityHandler()
{
    return tz::ui::createGroupHandler (*this);
}

void ModulatorSection::addTarget (tz::P target)
{
    {
        const tz::ui::UserAction action (processor, tz::stepNames::addRoute);
        processor.addRoute (selected, target);
    }
    refresh();
}

bool ModulatorSection::isStepMode() const { return modField (processor, selected, tz::modField::mode) > 0.5f; }

void ModulatorSection::selectModulator (int modulator)
{
    const int m = juce::jlimit (0, (int) tabs.size() - 1, modulator);
    if (m == selected)
        return;

    selected = m;
    buildControls();
    repaintTabs();
}

void ModulatorSection::buildControls()
{
    const int m = selected;
    const auto colour = theme::modColour (m);
    const auto param = [m] (int k) { return (tz::P) tz::modParam (m, k); };

    // The old controls go before the new ones attach, so nothing listens twice.
    modeLink.reset();
    followsXYLink.reset();
    shapeMenu.reset();
    rateMenu.reset();
    lengthMenu.reset();
    for (auto& knob : knobs)
        knob.reset();
    stepEditor.reset();

    shapeMenu = std::make_unique<ParamMenu> (processor, param (tz::modField::shape),
                                             choicesOf (param (tz::modField::shape)), 0);
    shapeMenu->setTooltip ("The LFO's wave. Random shapes repeat with the song position.");
    rateMenu =
        std::make_unique<ParamMenu> (processor, param (tz::modField::rate), choicesOf (param (tz::modField::rate)), 0);
    rateMenu->setTooltip ("LFO: the length of one cycle. Steps: the length of one step.");
    juce::StringArray lengths;
    for (int n = 1; n <= tz::numModSteps; ++n)
        lengths.add (juce::String (n));
    lengthMenu = std::make_unique<ParamMenu> (processor, param (tz::modField::length), lengths, 1);
    lengthMenu->setTooltip ("How many steps before the pattern repeats");
    for (auto* menu : { shapeMenu.get(), rateMenu.get(), lengthMenu.get() })
        addAndMakeVisible (*menu);

    followsXY.setColour (juce::TextButton::buttonOnColourId, colour);
    followsXYLink = std::make_unique<tz::ui::ButtonLink> (processor, param (tz::modField::followsXY), followsXY);

    for (auto* button : { &lfoButton, &stepsButton })
        button->setColour (juce::TextButton::buttonOnColourId, colour);
    modeLink = std::make_unique<tz::ui::ParameterLink> (
        processor, param (tz::modField::mode),
        [this] (float mode)
        {
            lfoButton.setToggleState (mode < 0.5f, juce::dontSendNotification);
            stepsButton.setToggleState (mode >= 0.5f, juce::dontSendNotification);
        });
    modeLink->sendInitialUpdate();

    const std::pair<int, const char*> knobFields[] = { { tz::modField::smooth, "SMOOTH" },
                                                       { tz::modField::swing, "SWING" },
                                                       { tz::modField::phase, "PHASE" } };
    for (size_t k = 0; k < knobs.size(); ++k)
    {
        knobs[k] = std::make_unique<Knob> (processor, param (knobFields[k].first), knobFields[k].second, colour);
        addAndMakeVisible (*knobs[k]);
    }
    knobs[0]->getDial().setTooltip ("Rounds off the edges");
    knobs[2]->getDial().setTooltip ("Shifts the pattern in time");

    stepEditor = std::make_unique<StepEditor> (processor, m);
    addAndMakeVisible (*stepEditor);

    tz::ui::describeModulatorSection (*this, processor);
    stepsMode = isStepMode();
    routeList.showSources (1u << (m + 1));
    refresh();
    resized();
    repaint();
}

void ModulatorSection::repaintTabs()
{
    for (auto& tab : tabs)
        tab->refresh();
}

double ModulatorSection::displayPosition (int modulator) const
{
    const auto s = StepEditor::settingsOf (processor, modulator);
    const double beats = processor.getUiModBeat (modulator) / s.rateBeats;

    if (! s.stepMode)
        return beats - std::floor (beats);

    const auto at = tz::playingStepAt (processor.currentValues(), modulator, processor.getUiModBeat (modulator),
                                       tz::xySpeedFor (processor.getValue (tz::xyX)));
    return (at.step + at.through) / tz::numModSteps;
}

void ModulatorSection::refresh()
{
    if (const bool steps = isStepMode(); steps != stepsMode)
    {
        stepsMode = steps;
        resized();
        if (stepEditor != nullptr)
            stepEditor->repaint();
    }

    if (routeList.refresh())
        repaint (routeList.getBounds().withY (0).withBottom (getHeight()));

    if (stepEditor != nullptr)
    {
        stepEditor->refresh();
        stepEditor->setPosition (displayPosition (selected), processor.getUiModValue (selected));
    }

    repaintTabs();
}

//==============================================================================
void ModulatorSection::resized()
{
    const int w = getWidth(), h = getHeight();
    const int b = w - 2 * margin;
    const int d = juce::jmax (h - 2 * margin, 2) - 2;

    const int tabW = juce::jmin (tabWidth, b);
    const int tabsTop = margin + juce::jmin (d, 30);
    const int tabH = (margin + d - tabsTop - 18) / 4;
    for (int m = 0; m < (int) tabs.size(); ++m)
        tabs[(size_t) m]->setBounds (margin, tabsTop + m * (tabH + 6), tabW, juce::jmax (tabH, 0));

    const int listX = w - margin - listWidth;
    addButton.setBounds (listX + listWidth - 110, margin, 110, 22);
    routeList.setBounds (listX, margin + 22 + 8, listWidth, juce::jmax (0, margin + d - (margin + 30)));

    const int middleX = margin + tabW + 10;
    const int middleRight = listX - 10;
    const int band = juce::jmin (bandHeight, d);
    const int menuY = margin + 14;

    // A little below the menus: the page tabs of the main panel reach down to y 34 here.
    const int buttonY = menuY + 4, buttonW = juce::jmin (54, tabWidth / 2 - 2);
    lfoButton.setBounds (middleX, buttonY, buttonW, 24);
    stepsButton.setBounds (middleX + tabWidth - buttonW, buttonY, buttonW, 24);
    followsXY.setBounds (middleX, buttonY + 24 + 4, tabWidth, 20);

    int x = middleX + tabWidth + 12;
    const auto placeMenu = [&x] (juce::Component& menu, juce::Label& label, int width)
    {
        label.setBounds (x, menuY - 14, width, 14);
        menu.setBounds (x, menuY, width, 24);
        x += width + 8;
    };
    const bool steps = stepsMode;
    shapeMenu->setVisible (! steps);
    shapeLabel.setVisible (! steps);
    lengthMenu->setVisible (steps);
    lengthLabel.setVisible (steps);
    knobs[1]->setVisible (steps);
    if (steps)
        placeMenu (*lengthMenu, lengthLabel, 60);
    else
        placeMenu (*shapeMenu, shapeLabel, 128);
    placeMenu (*rateMenu, rateLabel, 84);

    for (auto& knob : knobs)
    {
        if (! knob->isVisible())
            continue;
        const int width = juce::jmin (66, juce::jmax (0, middleRight - x));
        knob->setBounds (x, margin, width, band);
        x += width;
    }

    const int editorY = margin + band + 6;
    stepEditor->setBounds (middleX, editorY, juce::jmax (0, middleRight - middleX),
                           juce::jmax (0, margin + d - editorY));
}

void ModulatorSection::paint (juce::Graphics& g)
{
    if (bodyFor != selected)
    {
        bodyFor = selected;
        body.invalidate();
    }

    body.draw (g, getLocalBounds(),
               [this] (juce::Graphics& bg)
               {
                   const float w = (float) getWidth(), h = (float) getHeight();
                   theme::drawPedal (bg, { 4.0f, 4.0f, juce::jmax (w - 8.0f, 0.0f), juce::jmax (h - 11.0f, 0.0f) },
                                     theme::modColour (selected), true, true);
               });

    const auto list = routeList.getBounds();
    g.setColour (theme::text.withAlpha ((juce::uint8) 0x99));
    g.setFont (theme::nexa (12.0f));
    g.drawText ("TARGETS", list.getX(), margin, 120, 22, juce::Justification::centredLeft, false);

    if (routeList.getRows().empty())
    {
        g.setColour (theme::dimText);
        g.setFont (theme::nexa (11.0f));
        g.drawFittedText (emptyListText(), list.getX(), list.getY() + 88 - 30, list.getWidth(), 30,
                          juce::Justification::centred, 2);
    }
}
