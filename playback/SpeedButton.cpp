#include "playback/SpeedButton.h"

#include "app/Prompts.h"
#include "playback/PlaybackRules.h"

SpeedButton::SpeedButton() : juce::Button ("speedButton")
{
    setColour (textColourId, juce::Colour (0xff333333));

    // The playback keys stay where they were.
    setMouseClickGrabsKeyboardFocus (false);
    setWantsKeyboardFocus (false);
    setSpeed (speed);
}

void SpeedButton::setSpeed (double newSpeed)
{
    speed = newSpeed;
    setButtonText (PlaybackRules::formatSpeed (speed));
    setTooltip (TRANS ("Playback speed") + ": " + getButtonText());
}

juce::PopupMenu SpeedButton::makeMenu (double currentSpeed)
{
    const auto& steps = PlaybackRules::speedSteps;
    const auto nearest = std::min_element (steps.begin(), steps.end(), [currentSpeed] (double a, double b)
                                           { return std::abs (a - currentSpeed) < std::abs (b - currentSpeed); });

    juce::PopupMenu menu;

    for (size_t i = 0; i < steps.size(); ++i)
        menu.addItem ((int) i + 1, PlaybackRules::formatSpeed (steps[i]), true, steps.begin() + (std::ptrdiff_t) i == nearest);

    return menu;
}

std::optional<double> SpeedButton::getSpeedForMenuId (int menuId) noexcept
{
    if (menuId < 1 || menuId > (int) PlaybackRules::speedSteps.size())
        return std::nullopt;

    return PlaybackRules::speedSteps[(size_t) menuId - 1];
}

void SpeedButton::clicked()
{
    const auto chosen = getSpeedForMenuId (Prompts::get().showMenu (makeMenu (speed)));

    if (chosen.has_value() && onSpeedChosen != nullptr)
        onSpeedChosen (*chosen);
}

void SpeedButton::paintButton (juce::Graphics& g, bool isMouseOver, bool isDown)
{
    const auto colour = findColour (textColourId);
    const auto area = getLocalBounds().toFloat().reduced (0.5f);

    if (isMouseOver || isDown)
    {
        g.setColour (colour.withAlpha (isDown ? 0.25f : 0.12f));
        g.fillRoundedRectangle (area, 3.0f);
    }

    g.setColour (colour.withAlpha (0.6f));
    g.drawRoundedRectangle (area, 3.0f, 1.0f);

    g.setColour (colour);
    g.setFont (juce::Font ((float) getHeight() * 0.7f, juce::Font::bold));
    g.drawText (getButtonText(), getLocalBounds(), juce::Justification::centred, false);
}
