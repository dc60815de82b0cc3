#include "playback/ProSlider.h"
#include "tests/playback/PlaybackTestSupport.h"

#include <cstring>

namespace
{
using juce::ModifierKeys;

class ProSliderTest : public ::testing::Test, private juce::Slider::Listener
{
protected:
    ProSliderTest()
    {
        slider.setBounds (0, 0, 200, 20);
        slider.addListener (this);
    }

    /** A mouse event on the slider at x, with these modifiers and buttons. */
    juce::MouseEvent event (float x, int modifiers, bool dragged = false, int clicks = 1)
    {
        const auto now = juce::Time::getCurrentTime();
        const juce::Point<float> position (x, 10.0f);
        return { juce::Desktop::getInstance().getMainMouseSource(), position, ModifierKeys (modifiers), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &slider, &slider, now, position, now, clicks, dragged };
    }

    /** Presses at x and lets go there, as a click without movement. */
    void click (float x, int modifiers)
    {
        slider.mouseDown (event (x, modifiers));
        slider.mouseUp (event (x, modifiers));
    }

    static bool sameBits (double a, double b) { return std::memcmp (&a, &b, sizeof (double)) == 0; }

    qo::ProSlider slider { "positionSlider" };
    int valueChanges = 0;

private:
    void sliderValueChanged (juce::Slider*) override { ++valueChanges; }
};

constexpr int left = ModifierKeys::leftButtonModifier;
constexpr int ctrl = ModifierKeys::ctrlModifier;
constexpr int shift = ModifierKeys::shiftModifier;
} // namespace

TEST_F (ProSliderTest, WithoutSetUpItHasNoGesturesAndKeepsValuesExact)
{
    // Values pass through bit for bit, not through single precision.
    for (const auto value : { 0.1, 0.4, 0.1 + 0.2, 1.0 / 3.0 })
        for (const auto mode : { juce::Slider::notDragging, juce::Slider::absoluteDrag })
            EXPECT_TRUE (sameBits (slider.snapValue (value, mode), value));

    click (150.0f, left | ctrl | shift);
    const auto clicked = slider.getValue();
    EXPECT_GT (clicked, 0.5);
    slider.mouseDoubleClick (event (150.0f, left | ctrl, false, 2));
    EXPECT_EQ (slider.getValue(), clicked) << "no reset gesture";

    const auto sensitivity = slider.getMouseDragSensitivity();
    slider.mouseDrag (event (120.0f, left | ctrl | shift, true));
    EXPECT_EQ (slider.getMouseDragSensitivity(), sensitivity) << "nor finer dragging";
}

TEST_F (ProSliderTest, SnapsToTheFirstRangeComparedAtSinglePrecision)
{
    slider.addSnapRange ({ 0.5, false, 0.25, true, 0.75 });
    slider.addSnapRange ({ 0.9, true, 0.7, true, 1.0 });
    EXPECT_EQ (slider.snapValue (0.75, juce::Slider::notDragging), 0.5);
    EXPECT_EQ (slider.snapValue (0.8, juce::Slider::absoluteDrag), 0.9);
    EXPECT_TRUE (sameBits (slider.snapValue (0.25, juce::Slider::notDragging), 0.25));

    // 0.4 becomes 0.4000000059604645, above an excluded 0.4; 0.6 becomes 0.6000000238418579,
    // above an included 0.6 and no longer equal to it.
    slider.clearSnapRanges();
    slider.addSnapRange ({ 0.5, false, 0.4, true, 0.6 });
    EXPECT_EQ (slider.snapValue (0.4, juce::Slider::notDragging), 0.5);
    EXPECT_EQ (slider.snapValue (0.6, juce::Slider::notDragging), 0.6);
}

TEST_F (ProSliderTest, ModifiersChangeADragOnlyWhileHeld)
{
    const auto base = slider.getMouseDragSensitivity();
    slider.addSnapRange ({ 0.5, true, 0.25, true, 0.75 });
    slider.setSnapSuppressModifiers (shift);
    slider.setFineDragModifiers (ctrl);
    slider.mouseDown (event (100.0f, left));

    slider.mouseDrag (event (110.0f, left | shift | ctrl, true));
    EXPECT_EQ (slider.snapValue (0.6, juce::Slider::absoluteDrag), 0.6);
    EXPECT_EQ (slider.snapValue (0.6, juce::Slider::notDragging), 0.5);
    EXPECT_EQ (slider.getMouseDragSensitivity(), base * 10);

    // Let go of the keys mid-drag: snapping and normal speed are back at the next movement.
    slider.mouseDrag (event (120.0f, left, true));
    EXPECT_EQ (slider.snapValue (0.6, juce::Slider::absoluteDrag), 0.5);
    EXPECT_EQ (slider.getMouseDragSensitivity(), base);
}

TEST_F (ProSliderTest, TheCircularHitAreaTakesTheSquaredRadius)
{
    slider.setCircularHitArea (100.0f, { 10.0f, 10.0f });
    EXPECT_TRUE (slider.hitTest (20, 10));
    EXPECT_FALSE (slider.hitTest (21, 10));
}

TEST_F (ProSliderTest, ResetsOnlyOnAModifiedLeftClickAndNotifiesLater)
{
    slider.setValue (0.8);
    slider.setResetValue (0.25);
    slider.setResetOnDoubleClick (true);
    slider.mouseDoubleClick (event (160.0f, left, false, 2));
    EXPECT_EQ (slider.getValue(), 0.8) << "a double click alone does not reset";

    slider.setResetOnClickWithModifiers (true, ctrl);
    slider.mouseDoubleClick (event (160.0f, ModifierKeys::rightButtonModifier, false, 2));
    EXPECT_EQ (slider.getValue(), 0.8);

    // A drag, or the right button, is no reset click.
    slider.mouseDown (event (150.0f, left | ctrl));
    slider.mouseUp (event (170.0f, left | ctrl, true));
    EXPECT_NE (slider.getValue(), 0.25);
    click (150.0f, ModifierKeys::rightButtonModifier | ctrl);
    EXPECT_NE (slider.getValue(), 0.25);

    valueChanges = 0;
    click (150.0f, left | ctrl);
    EXPECT_EQ (slider.getValue(), 0.25);
    EXPECT_EQ (valueChanges, 0);
    EXPECT_TRUE (waitUntil ([&]
                            { return valueChanges > 0; },
                            5000));

    slider.setValue (0.8);
    slider.mouseDoubleClick (event (160.0f, left, false, 2));
    EXPECT_EQ (slider.getValue(), 0.25) << "with both switches a double click resets";
}
