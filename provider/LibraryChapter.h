#pragma once

#include "provider/ProvidedFile.h"

namespace provider
{
/**
    One chapter of a lesson in the library: its texts, its video and its transcript.

    A plain value, immutable once the library is loaded; any thread may read it.
*/
struct LibraryChapter
{
    juce::String id;
    int order = 0;
    juce::String title;
    juce::String description;
    double duration = 0.0;

    /** "WIDTHxHEIGHT" as published. */
    juce::String nativeResolution;

    /** Publication date as "YYYY-MM-DD". */
    juce::String date;

    ProvidedFile video;

    /** The spoken words in transcript markup (time stamps, skipped passages, "*", "{...}"). */
    juce::String transcript;
};
} // namespace provider
