#pragma once

#include "kit/ComponentContainer.h"
#include "kit/ResizeBar.h"

/**
    Builds the main window's fixed component tree, in the order the window lays it out, with the
    panels that own their controls at their places.

    Message thread only, during the main window's construction.
*/
class MainWindowContent final
{
public:
    /** The listeners the controls report to. */
    struct Listeners
    {
        ResizeBar::Target& resizeTarget;
    };

    /** The panels that own their controls; the tree places them without taking them over. */
    struct Panels
    {
        juce::Component& video;
        juce::Component& movieControls;
        juce::Component& preferences;
        juce::Component& search;
        juce::Component& downloads;
        juce::Component& extras;
    };

    /** Adds every component of the fixed tree to the content container, the web browser's
        component inside "webPanel" (the container takes it over) and the panels at their places.
    */
    static void build (qo::ComponentContainer& content, const Listeners& listeners, const Panels& panels, juce::Component* webBrowser);

private:
    MainWindowContent() = delete;
};
