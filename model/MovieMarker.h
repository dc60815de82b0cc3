#pragma once

#include <JuceHeader.h>

/**
    One bookmark inside a chapter's video: a position in seconds with an optional label.
*/
class MovieMarker
{
public:
    MovieMarker() = default;
    MovieMarker (juce::String markerText, double markerTime) : text (std::move (markerText)), time (markerTime) {}
    virtual ~MovieMarker() = default;

    /** The kind of marker; 0 (normal) is the only kind there is. */
    static constexpr int normalType = 0;

    int type = normalType;
    juce::String text;
    double time = 0.0;

private:
    JUCE_LEAK_DETECTOR (MovieMarker)
};
