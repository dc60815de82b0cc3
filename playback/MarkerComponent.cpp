#include "playback/MarkerComponent.h"

MarkerComponent::MarkerComponent (const juce::String& name, bool canBeDragged, bool canBeDoubleClicked)
    : Component (name), draggable (canBeDragged), doubleClickEnabled (canBeDoubleClicked)
{
    shape.addTriangle (0.5f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f);
}

void MarkerComponent::setPointsUp (bool shouldPointUp)
{
    up = shouldPointUp;
    repaint();
}

void MarkerComponent::setTooltip (const juce::String& text)
{
    tooltip = text;
    repaint();
}

void MarkerComponent::paint (juce::Graphics& g)
{
    const auto w = (float) getWidth(), h = (float) getHeight();
    const auto transform = up ? juce::AffineTransform::scale (w, h)
                              : juce::AffineTransform::scale (w, -h).translated (0.0f, h);
    const auto scaled = shape.createPathWithRoundedCorners (0.0f);
    juce::Path triangle (scaled);
    triangle.applyTransform (transform);

    g.setColour (findColour (fillColourId));
    g.fillPath (triangle);
    g.setColour (findColour (outlineColourId));
    g.strokePath (triangle, juce::PathStrokeType (1.0f));
}

void MarkerComponent::mouseDrag (const juce::MouseEvent& e)
{
    const auto outside = ! getLocalBounds().contains (e.getPosition());
    setMouseCursor (draggable && outside ? juce::MouseCursor::DraggingHandCursor : juce::MouseCursor::NormalCursor);
}

void MarkerComponent::mouseUp (const juce::MouseEvent& e)
{
    const auto bounds = getLocalBounds();

    if (draggable && e.mouseWasDraggedSinceMouseDown() && ! bounds.contains (e.getPosition()))
        listeners.call ([this] (auto& l) { l.markerDraggedAway (this); });
    else if (clickable && e.mods.isLeftButtonDown() && e.eventComponent == this && bounds.contains (e.getMouseDownPosition())
             && bounds.contains (e.getPosition()))
        listeners.call ([this] (auto& l) { l.markerClicked (this); });

    setMouseCursor (juce::MouseCursor::NormalCursor);
}

void MarkerComponent::mouseDoubleClick (const juce::MouseEvent&)
{
    if (doubleClickEnabled)
        listeners.call ([this] (auto& l) { l.markerDoubleClicked (this); });
}
