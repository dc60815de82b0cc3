#pragma once

#include <JuceHeader.h>

/**
    The 7-pixel bar between the left panel and the content area; dragging it changes the left
    panel's width between 291 and 600 pixels, showing the panel first if it was hidden.

    Message thread only.
*/
class ResizeBar final : public juce::Component
{
public:
    /** What the bar drives: the main window. */
    struct Target
    {
        virtual ~Target() = default;
        virtual int getLeftPanelWidth() const = 0;
        virtual bool isLeftPanelVisible() const = 0;
        virtual void setLeftPanelVisible (bool shouldBeVisible) = 0;
        virtual void setLeftPanelWidth (int newWidth) = 0;
    };

    explicit ResizeBar (Target& target);

    /** The width a drag asks for, clamped to what the left panel accepts. */
    static int clampWidth (int width) noexcept { return juce::jlimit (minimumWidth, maximumWidth, width); }

    static constexpr int minimumWidth = 291;
    static constexpr int maximumWidth = 600;

    void paint (juce::Graphics& g) override;
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;

private:
    Target& target;
    int widthAtMouseDown = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ResizeBar)
};
