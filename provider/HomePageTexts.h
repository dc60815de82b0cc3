#pragma once

#include <JuceHeader.h>

namespace provider
{
/**
    The words of the home page in one of the catalog languages. "%s" in a text stands for what
    the page puts there (a name, a number), already escaped.

    Constant tables; any thread may read them.
*/
struct HomePageTexts
{
    const char* lang;
    const char* welcomeTitle;
    const char* welcomeBack;
    const char* welcomeBackLine;
    const char* signInHint;
    const char* signInRefused;
    const char* maintenance;
    const char* libraryUnavailable;
    const char* updatesTitle;
    const char* updatesLine;
    const char* unknownChapter;
    const char* coursesTitle;
    const char* noCourses;
    const char* oneLesson;
    const char* lessons;
    const char* oneChapter;
    const char* chapters;
    const char* allCourses;
    const char* resolution;
    const char* platform;
    const char* offeredVersion;

    /** The texts of "it" or "en" (anything else gets English). */
    static const HomePageTexts& forLanguage (const juce::String& lang);

    /** A text with its "%s" replaced. */
    static juce::String fill (const char* text, const juce::String& value);
};
} // namespace provider
