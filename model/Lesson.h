#pragma once

#include <JuceHeader.h>

/**
    A lesson of a course: its number, its title and the identifiers of its chapters in document
    order. The chapters themselves live in the catalog's index.
*/
class Lesson
{
public:
    Lesson() = default;
    virtual ~Lesson() = default;

    /** The number of chapters the lesson lists. */
    int getNumChapters() const noexcept { return chapterIds.size(); }

    /** The chapter identifier at a position, or an empty string when out of range. */
    juce::String getChapterId (int position) const { return chapterIds[position]; }

    int order = 0;
    juce::String title;
    juce::StringArray chapterIds;

private:
    JUCE_LEAK_DETECTOR (Lesson)
};
