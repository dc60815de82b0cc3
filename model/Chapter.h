#pragma once

#include <JuceHeader.h>

/**
    One chapter of a lesson: a single video of the catalog.

    Built once by the catalog parser and read-only afterwards; read under Core's catalog lock.
*/
class Chapter
{
public:
    Chapter() = default;
    virtual ~Chapter() = default;

    juce::String id;
    int order = 0;
    juce::String title;
    juce::String description;
    float duration = 0.0f;
    int nativeWidth = 0;
    int nativeHeight = 0;
    juce::String md5;
    int size = 0;
    juce::Time date;

private:
    JUCE_LEAK_DETECTOR (Chapter)
};
