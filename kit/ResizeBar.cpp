#include "kit/ResizeBar.h"

ResizeBar::ResizeBar (Target& t) : Component ("resizeBar"), target (t)
{
    setMouseCursor (juce::MouseCursor::LeftRightResizeCursor);
}

void ResizeBar::paint (juce::Graphics& g)
{
    g.setColour (juce::Colour (0x33000000));
    g.fillRect (0, 0, 1, getHeight());
    g.fillRect (getWidth() - 1, 0, 1, getHeight());
}

void ResizeBar::mouseDown (const juce::MouseEvent&)
{
    widthAtMouseDown = target.getLeftPanelWidth();
}

void ResizeBar::mouseDrag (const juce::MouseEvent& e)
{
    if (! target.isLeftPanelVisible())
        target.setLeftPanelVisible (true);

    target.setLeftPanelWidth (clampWidth (widthAtMouseDown + e.getDistanceFromDragStartX()));
}
