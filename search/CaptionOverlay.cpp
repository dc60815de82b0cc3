#include "search/CaptionOverlay.h"

CaptionOverlay::CaptionOverlay()
{
    setInterceptsMouseClicks (false, false);
}

void CaptionOverlay::setCaption (const juce::String& newCaption)
{
    if (newCaption == caption)
        return;

    caption = newCaption;
    repaint();
}

void CaptionOverlay::paint (juce::Graphics& g)
{
    if (caption.isEmpty())
        return;

    // Readable on a small window and not overwhelming on a large one.
    const juce::Font font (juce::jlimit (14.0f, 34.0f, (float) getHeight() / 18.0f), juce::Font::bold);
    const auto textWidth = juce::jmin ((float) getWidth() * 0.9f, font.getStringWidthFloat (caption) + 4.0f);
    const auto band = juce::Rectangle<float> (textWidth + font.getHeight(), font.getHeight() * 1.5f)
                          .withCentre ({ (float) getWidth() * 0.5f, (float) getHeight() - font.getHeight() * 1.6f });

    g.setColour (juce::Colours::black.withAlpha (0.6f));
    g.fillRoundedRectangle (band, 6.0f);
    g.setColour (juce::Colours::white);
    g.setFont (font);
    g.drawFittedText (caption, band.toNearestInt(), juce::Justification::centred, 1, 0.8f);
}
