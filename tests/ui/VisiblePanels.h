#pragma once

#include "kit/ComponentPaths.h"
#include "ui/MainWindow.h"

/** The paths of the right-hand panels the window shows; exactly one is expected at a time. */
inline juce::StringArray visibleRightHandPanels (MainWindow& window)
{
    juce::StringArray visible;

    for (const auto& panel : ComponentPaths::rightHandPanels)
        if (window.getContent().getRequired<juce::Component> (panel)->isVisible())
            visible.add (panel);

    return visible;
}
