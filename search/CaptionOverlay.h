#pragma once

#include <JuceHeader.h>

/**
    The words being spoken, drawn at the bottom of the video as a caption line: white text on a
    translucent band, sized to the video. Lets every click through to the video below.

    Message thread only.
*/
class CaptionOverlay final : public juce::Component
{
public:
    CaptionOverlay();

    /** The caption to show; empty shows nothing. Repaints only when it changed. */
    void setCaption (const juce::String& caption);

    const juce::String& getCaption() const noexcept { return caption; }

    void paint (juce::Graphics& g) override;

private:
    juce::String caption;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CaptionOverlay)
};
