#pragma once

#include <JuceHeader.h>

class MarkerComponent;

/** What a marker triangle reports; the main window's movie panel listens. Message thread. */
class MarkerComponentListener
{
public:
    virtual ~MarkerComponentListener() = default;
    virtual void markerClicked (MarkerComponent*) {}
    virtual void markerDraggedAway (MarkerComponent*) {}
    virtual void markerDoubleClicked (MarkerComponent*) {}
};

/**
    A small triangle along the position slider: a marker of the open chapter below the slider
    (orange, pointing up, draggable away, renamed by a double click) or a search occurrence above
    it (green, pointing down, only clickable). Message thread.
*/
class MarkerComponent final : public juce::Component,
                              public juce::TooltipClient
{
public:
    MarkerComponent (const juce::String& name, bool draggable, bool doubleClickEnabled);

    void addListener (MarkerComponentListener* listener) { listeners.add (listener); }

    void setPointsUp (bool shouldPointUp);
    bool pointsUp() const noexcept { return up; }

    void setTooltip (const juce::String& text);
    juce::String getTooltip() override { return tooltip; }

    /** The colour the triangle is filled with. */
    enum ColourIds
    {
        fillColourId = 0x20003010,
        outlineColourId = 0x20003030
    };

    /** The size every triangle is given. */
    static constexpr int width = 14, height = 12;

    void paint (juce::Graphics& g) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseUp (const juce::MouseEvent& e) override;
    void mouseDoubleClick (const juce::MouseEvent& e) override;

private:
    bool up = true;
    juce::String tooltip;
    juce::Path shape;
    const bool draggable, doubleClickEnabled;
    bool clickable = true;
    juce::ListenerList<MarkerComponentListener> listeners;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MarkerComponent)
};
