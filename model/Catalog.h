#pragma once

#include "model/Chapter.h"
#include "model/Course.h"

#include <map>
#include <memory>

/**
    The course catalog: courses in document order, every chapter indexed by its identifier, and
    the attributes of the document's root.

    Built once from a catalog document and read-only afterwards; Core owns the installed one and
    every other thread reads it through Core under the catalog lock.
*/
class Catalog
{
public:
    Catalog() = default;
    virtual ~Catalog() = default;

    /** Where a chapter identifier first appears: course index, lesson index, chapter position. */
    struct Position
    {
        int course = -1;
        int lesson = -1;
        int chapter = -1;
    };

    /** The number of courses. */
    int getNumCourses() const noexcept { return courses.size(); }

    /** The course at an index, or nullptr when out of range. */
    const Course* getCourse (int index) const noexcept { return courses[index]; }

    /** The chapter with this identifier, or nullptr when the catalog has none. */
    const Chapter* getChapter (const juce::String& chapterId) const;

    /** Finds the first place, in course, lesson and position order, that lists a chapter. */
    bool findChapterPosition (const juce::String& chapterId, Position& result) const;

    /** Deletes every course and chapter; the root attributes stay. */
    void clearContents();

    juce::OwnedArray<Course> courses;
    std::map<juce::String, std::unique_ptr<Chapter>> chaptersById;
    juce::String userid;
    juce::String username;
    juce::String baseurl;
    juce::URL homeurl;
    juce::String win_version;
    juce::URL win_app;
    int win_app_size = 0;

    /** The provider's Ed25519 signature of the installer's bytes, in base64; empty when the
        server sent none, and then no installer is ever opened.
    */
    juce::String win_app_signature;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Catalog)
};
