#include "kit/SearchTextEditorLookAndFeel.h"

juce::Rectangle<float> SearchTextEditorLookAndFeel::pillBounds (int width, int height)
{
    return { 0.0f, 0.0f, (float) width, (float) juce::jmax (0, height - 2) };
}

juce::Path SearchTextEditorLookAndFeel::createMagnifier (float pillHeight)
{
    const auto h = pillHeight;

    // The handle starts on the lens's rim at 45 degrees: (1 + cos 45) / 2 of its diameter in.
    constexpr float rimAt45 = 0.854f;

    juce::Path magnifier;
    magnifier.addEllipse (0.0f, 0.0f, h * 0.5f, h * 0.5f);
    magnifier.startNewSubPath (rimAt45 * h * 0.5f, rimAt45 * h * 0.5f);
    magnifier.lineTo (0.65f * h, 0.65f * h);

    magnifier.applyTransform (juce::AffineTransform::translation (4.0f, (h - 0.65f * h) * 0.5f + 2.0f));
    return magnifier;
}

void SearchTextEditorLookAndFeel::fillTextEditorBackground (juce::Graphics& g, int width, int height, juce::TextEditor&)
{
    const auto pill = pillBounds (width, height);
    const auto cornerSize = pill.getHeight();

    // Dark all round, a lighter shade lower down, then white slightly lower again: what stays
    // visible is a thin dark rim along the top and a soft shadow along the bottom.
    g.setColour (juce::Colours::black.withAlpha (0.4f));
    g.fillRoundedRectangle (pill, cornerSize);

    g.setColour (juce::Colours::black.withAlpha (0.2f));
    g.fillRoundedRectangle (pill.translated (0.0f, 2.0f), cornerSize);

    g.setColour (juce::Colours::white);
    g.fillRoundedRectangle (pill.translated (0.0f, 1.5f), cornerSize);

    g.setColour (juce::Colour (magnifierColour));
    g.strokePath (createMagnifier (pill.getHeight()), juce::PathStrokeType (magnifierThickness));
}

void SearchTextEditorLookAndFeel::drawTextEditorOutline (juce::Graphics&, int, int, juce::TextEditor&)
{
}
