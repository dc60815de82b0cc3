#pragma once

#include <JuceHeader.h>

namespace qo
{
/**
    The slider of the playback controls: the position along the open chapter and the volume,
    both from 0.0 to 1.0.

    Beyond JUCE's slider it can snap values that fall in given ranges, return to a reset
    value on a double-click or a click with modifier keys, drag ten times finer while a
    modifier key is held, and take clicks only inside a circle. Every one of these starts
    switched off, and the program never switches them on.

    Message thread only.
*/
class ProSlider final : public juce::Slider
{
public:
    /** Values between low and high (each end included or not) snap to snapValue. */
    struct SnapRange
    {
        double snapValue = 0.0;
        bool includesLow = false;
        double low = 0.0;
        bool includesHigh = false;
        double high = 0.0;

        /** Whether a value falls in this range. */
        bool contains (double value) const noexcept;
    };

    explicit ProSlider (const juce::String& name);

    /** The value the reset gestures return to (0.0 unless set). */
    void setResetValue (double newResetValue) noexcept { resetValue = newResetValue; }
    double getResetValue() const noexcept { return resetValue; }

    /** A left double-click resets the value, when reset on a click with modifiers is on too. */
    void setResetOnDoubleClick (bool shouldReset) noexcept { resetOnDoubleClick = shouldReset; }

    /** A left click that does not move, with a modifier key of the mask
        (juce::ModifierKeys flags) held, resets the value. */
    void setResetOnClickWithModifiers (bool shouldReset, int modifierMask) noexcept;

    /** While a modifier key of the mask is held, dragging does not snap. */
    void setSnapSuppressModifiers (int modifierMask) noexcept { snapSuppressModifiers = modifierMask; }

    /** While a modifier key of the mask is held, a drag needs ten times the distance. */
    void setFineDragModifiers (int modifierMask) noexcept { fineDragModifiers = modifierMask; }

    /** Adds a range after those already there: the first range a value falls in wins. */
    void addSnapRange (const SnapRange& range) { snapRanges.add (range); }
    void clearSnapRanges() { snapRanges.clear(); }

    /** Takes clicks only within a circle; a squared radius of 0 or below restores the
        rectangle. The radius is given squared, as the hit test compares squared distances. */
    void setCircularHitArea (float squaredRadius, juce::Point<float> centre) noexcept;

    /** True while the drag under way holds a snap-suppressing modifier. */
    bool isSnappingSuppressed() const noexcept { return snappingSuppressed; }

    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseDoubleClick (const juce::MouseEvent& e) override;
    bool hitTest (int x, int y) override;
    double snapValue (double attemptedValue, DragMode dragMode) override;

private:
    static bool shareAny (const juce::ModifierKeys& mods, int mask) noexcept { return (mods.getRawFlags() & mask) != 0; }
    void resetValueAsync();

    double resetValue = 0.0;
    bool resetOnDoubleClick = false;
    bool resetOnClickWithModifiers = false;
    int resetModifiers = 0;
    int snapSuppressModifiers = 0;
    int fineDragModifiers = 0;
    int baseDragSensitivity = getMouseDragSensitivity();
    juce::Array<SnapRange> snapRanges;
    float hitRadius = 0.0f;
    juce::Point<float> hitCentre;
    bool snappingSuppressed = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProSlider)
};
} // namespace qo
