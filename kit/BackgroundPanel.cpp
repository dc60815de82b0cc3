#include "kit/BackgroundPanel.h"

BackgroundPanel::BackgroundPanel (const juce::String& name) : Component (name)
{
}

void BackgroundPanel::setImage (const juce::Image& newImage, juce::RectanglePlacement newPlacement)
{
    placement = newPlacement;

    if (image == newImage)
        return;

    image = newImage;
    repaint();
}

void BackgroundPanel::setFillColour (juce::Colour newColour)
{
    if (fillColour == newColour)
        return;

    fillColour = newColour;
    repaint();
}

void BackgroundPanel::setColourFirst (bool shouldPaintColourFirst)
{
    colourFirst = shouldPaintColourFirst;
    repaint();
}

void BackgroundPanel::paintImage (juce::Graphics& g)
{
    if (image.isValid())
    {
        g.setOpacity (1.0f);
        g.drawImageWithin (image, 0, 0, getWidth(), getHeight(), placement);
    }
}

void BackgroundPanel::paint (juce::Graphics& g)
{
    if (! colourFirst)
        paintImage (g);

    g.fillAll (fillColour);

    if (colourFirst)
        paintImage (g);
}
