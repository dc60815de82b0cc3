#pragma once

#include <JuceHeader.h>

/**
    The movie bar's speed control: a small button that shows the playback speed ("1.5x") and,
    on a click, offers the speed steps in a menu (through the program's prompts, with the
    current step ticked); the chosen step goes to onSpeedChosen.

    Message thread only.
*/
class SpeedButton final : public juce::Button
{
public:
    SpeedButton();

    /** Shows this speed; sends nothing. */
    void setSpeed (double newSpeed);

    /** The speed shown. */
    double getSpeed() const noexcept { return speed; }

    /** Called with the step chosen from the menu, also when it is the current one. */
    std::function<void (double)> onSpeedChosen;

    /** The menu a click shows: each step as "1.5x", its id its index in the steps plus one,
        the step nearest the current speed ticked.
    */
    static juce::PopupMenu makeMenu (double currentSpeed);

    /** The speed of a menu id; empty for 0 (the menu was dismissed) or an id of no step. */
    static std::optional<double> getSpeedForMenuId (int menuId) noexcept;

    /** The colour of the text and of the outline under the mouse. */
    enum ColourIds
    {
        textColourId = 0x20004010
    };

private:
    void clicked() override;
    void paintButton (juce::Graphics& g, bool isMouseOver, bool isDown) override;

    double speed = 1.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SpeedButton)
};
