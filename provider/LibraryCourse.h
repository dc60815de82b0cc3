#pragma once

#include "provider/LibraryLesson.h"

namespace provider
{
/**
    One course of the library in one language, with its lessons and its three extras.

    A plain value, immutable once the library is loaded; any thread may read it.
*/
struct LibraryCourse
{
    juce::String id;

    /** The catalog language the course belongs to: "it" or "en". */
    juce::String lang;

    juce::String title;
    juce::String description;
    juce::String keywords;
    juce::String resolution;

    /** The language as shown to people, e.g. "Italiano". */
    juce::String languageName;

    juce::String platform;

    /** The course's page; empty to let the provider publish one of its own. */
    juce::String url;

    ProvidedFile cover;
    ProvidedFile credits;

    /** The partners site as a ZIP archive holding "index.html". */
    ProvidedFile partners;

    std::vector<LibraryLesson> lessons;

    /** Running time of all chapters together, in seconds. */
    double totalDuration() const
    {
        double total = 0.0;

        for (auto& lesson : lessons)
            for (auto& chapter : lesson.chapters)
                total += chapter.duration;

        return total;
    }
};
} // namespace provider
