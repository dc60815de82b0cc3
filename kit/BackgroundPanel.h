#pragma once

#include <JuceHeader.h>

/**
    A panel that fills itself with a colour and draws an optional picture over it: the
    background of the movie, download, preferences, picture and message panels.

    Message thread only.
*/
class BackgroundPanel : public juce::Component
{
public:
    explicit BackgroundPanel (const juce::String& name);

    /** Sets the picture and how it is placed; repaints only when the picture changed. */
    void setImage (const juce::Image& newImage, juce::RectanglePlacement newPlacement = juce::RectanglePlacement::centred
                                                                                   | juce::RectanglePlacement::doNotResize);

    /** Sets the fill colour; repaints only when it changed. */
    void setFillColour (juce::Colour newColour);

    /** Whether the colour is painted before the picture (the default) or over it. */
    void setColourFirst (bool shouldPaintColourFirst);

    const juce::Image& getImage() const noexcept { return image; }
    juce::RectanglePlacement getPlacement() const noexcept { return placement; }
    juce::Colour getFillColour() const noexcept { return fillColour; }

    void paint (juce::Graphics& g) override;

private:
    void paintImage (juce::Graphics& g);

    juce::Colour fillColour { 0x00000000 };
    juce::Image image;
    juce::RectanglePlacement placement { juce::RectanglePlacement::centred | juce::RectanglePlacement::doNotResize };
    bool colourFirst = true;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BackgroundPanel)
};
