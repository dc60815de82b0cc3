#include "playback/ProSlider.h"

namespace qo
{
// Two flags and three doubles, each double on its own 8-byte boundary.
static_assert (sizeof (ProSlider::SnapRange) == 40);

bool ProSlider::SnapRange::contains (double value) const noexcept
{
    return (low < value && value < high) || (includesLow && value == low) || (includesHigh && value == high);
}

ProSlider::ProSlider (const juce::String& name) : Slider (name)
{
    setSliderStyle (juce::Slider::LinearHorizontal);
    setTextBoxStyle (juce::Slider::NoTextBox, true, 0, 0);
    setRange (0.0, 1.0);
    setVelocityModeParameters (1.0, 1, 0.0, false);
}

void ProSlider::setResetOnClickWithModifiers (bool shouldReset, int modifierMask) noexcept
{
    resetOnClickWithModifiers = shouldReset;
    resetModifiers = modifierMask;
}

void ProSlider::setCircularHitArea (float squaredRadius, juce::Point<float> centre) noexcept
{
    hitRadius = squaredRadius;
    hitCentre = centre;
}

void ProSlider::mouseDrag (const juce::MouseEvent& e)
{
    snappingSuppressed = shareAny (e.mods, snapSuppressModifiers);

    const auto sensitivity = baseDragSensitivity * (shareAny (e.mods, fineDragModifiers) ? 10 : 1);

    if (sensitivity != getMouseDragSensitivity())
        setMouseDragSensitivity (sensitivity);

    Slider::mouseDrag (e);
}

void ProSlider::mouseUp (const juce::MouseEvent& e)
{
    if (resetOnClickWithModifiers && ! e.mouseWasDraggedSinceMouseDown() && e.mods.isLeftButtonDown()
        && shareAny (e.mods, resetModifiers))
        resetValueAsync();

    Slider::mouseUp (e);
}

void ProSlider::mouseDoubleClick (const juce::MouseEvent& e)
{
    if (resetOnDoubleClick && resetOnClickWithModifiers && e.mods.isLeftButtonDown())
        resetValueAsync();

    Slider::mouseDoubleClick (e);
}

bool ProSlider::hitTest (int x, int y)
{
    if (hitRadius <= 0.0f)
        return Slider::hitTest (x, y);

    const auto dx = (float) x - hitCentre.x;
    const auto dy = (float) y - hitCentre.y;
    return hitRadius >= dx * dx + dy * dy;
}

double ProSlider::snapValue (double attemptedValue, DragMode dragMode)
{
    if (snapRanges.isEmpty() || (dragMode != notDragging && snappingSuppressed))
        return attemptedValue;

    // Ranges are matched at single precision, so bounds it cannot hold exactly move slightly.
    const auto tested = (double) (float) attemptedValue;

    for (const auto& range : snapRanges)
        if (range.contains (tested))
            return range.snapValue;

    return attemptedValue;
}

void ProSlider::resetValueAsync()
{
    setValue (resetValue, juce::sendNotificationAsync);
}
} // namespace qo
