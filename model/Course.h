#pragma once

#include "model/Lesson.h"

/**
    A course of the catalog with its descriptive fields and its lessons in document order.
*/
class Course
{
public:
    Course() = default;
    virtual ~Course() = default;

    /** The number of lessons. */
    int getNumLessons() const noexcept { return lessons.size(); }

    /** The lesson at an index, or nullptr when out of range. */
    const Lesson* getLesson (int index) const noexcept { return lessons[index]; }

    juce::String id;
    juce::String title;
    juce::String description;
    juce::StringArray keywords;
    float duration = 0.0f;
    juce::String resolution;
    juce::String language;
    juce::String platform;
    juce::URL url;
    juce::URL coverurl;
    juce::URL creditsurl;
    juce::URL partnersurl;
    juce::OwnedArray<Lesson> lessons;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Course)
};
