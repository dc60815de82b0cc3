#pragma once

#include <JuceHeader.h>

/**
    The look of the search field: a pill with a soft top rim and bottom shadow, a magnifier at
    its left end, and no outline. The field keeps its text clear of the magnifier and the round
    ends with its own indents.

    Created by the shared resources at start-up; used on the message thread only. The static
    functions are the pure geometry behind the drawing and may be called from any thread.
*/
class SearchTextEditorLookAndFeel final : public juce::LookAndFeel_V2
{
public:
    SearchTextEditorLookAndFeel() = default;

    /** The pill of a field of the given size: full width, 2 pixels short of the full height,
        which leaves room for the shadow below it.
    */
    static juce::Rectangle<float> pillBounds (int width, int height);

    /** The magnifier's outline (lens and handle) for a pill of the given height, already in
        place at the pill's left end; it is stroked, not filled.
    */
    static juce::Path createMagnifier (float pillHeight);

    /** The grey the magnifier is stroked in, and the stroke's thickness. */
    static constexpr juce::uint32 magnifierColour = 0xff7f7f7f;
    static constexpr float magnifierThickness = 2.0f;

    void fillTextEditorBackground (juce::Graphics&, int width, int height, juce::TextEditor&) override;

    /** Draws nothing: the pill's rim is the field's only edge. */
    void drawTextEditorOutline (juce::Graphics&, int width, int height, juce::TextEditor&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SearchTextEditorLookAndFeel)
};
