#pragma once

#include "provider/LibraryCourse.h"
#include "provider/LibraryUser.h"

#include <map>

namespace provider
{
/**
    One loaded state of a course library: courses in both languages, users, the offered program
    version and its installer, with every published file already measured.

    Built by LibraryLoader, then never changed: a changed library on disk becomes a new object.
    Request threads share it through a shared pointer and may read it concurrently.
*/
class Library final
{
public:
    /** Takes the records and indexes them for the lookups below. defaultLanguage ("it" or
        "en") is the home page's language for visitors who give no sign of theirs.
    */
    Library (juce::String name,
             juce::String programVersion,
             ProvidedFile installer,
             std::vector<LibraryCourse> courses,
             std::vector<LibraryUser> users,
             juce::String defaultLanguage = "en");

    const juce::String& getName() const noexcept { return name; }
    const juce::String& getProgramVersion() const noexcept { return programVersion; }
    const ProvidedFile& getInstaller() const noexcept { return installer; }
    const std::vector<LibraryCourse>& getCourses() const noexcept { return courses; }
    const std::vector<LibraryUser>& getUsers() const noexcept { return users; }
    const juce::String& getDefaultLanguage() const noexcept { return defaultLanguage; }

    /** The chapter whose video lives at course / chapter; null when there is none. */
    const LibraryChapter* findChapter (const juce::String& courseId, const juce::String& chapterId) const;

    /** The chapter with this identifier in any course; null when there is none. */
    const LibraryChapter* findChapter (const juce::String& chapterId) const;

    /** The course with this identifier; null when there is none. */
    const LibraryCourse* findCourse (const juce::String& courseId) const;

    /** The course holding the chapter with this identifier; null when there is none. */
    const LibraryCourse* findCourseOfChapter (const juce::String& chapterId) const;

    /** The cover, credits picture or partners archive published under this checksum name. */
    const ProvidedFile* findExtra (const juce::String& checksumName) const;

    /** The user who signs in with this e-mail address (letter case ignored); null when none. */
    const LibraryUser* findUserByEmail (const juce::String& email) const;

    /** The user who signs in with this login name and password hash (any letter case): the
        login name is the e-mail address (any letter case) or the display name exactly as
        catalogs give it out, which is what clients send when they refresh a signed-in catalog.
        Display names need not be unique: the one whose password matches is taken. Null when
        nobody matches.
    */
    const LibraryUser* findSignedInUser (const juce::String& loginName, const juce::String& passwordHash) const;

    /** Whether clients may ask for a catalog in this language. */
    static bool isSupportedLanguage (const juce::String& lang) { return lang == "it" || lang == "en"; }

private:
    juce::String name;
    juce::String programVersion;
    ProvidedFile installer;
    std::vector<LibraryCourse> courses;
    std::vector<LibraryUser> users;
    juce::String defaultLanguage;

    std::map<juce::String, const LibraryCourse*> coursesById;
    std::map<juce::String, const LibraryChapter*> chaptersById;
    std::map<juce::String, const LibraryCourse*> courseOfChapter;
    std::map<juce::String, const ProvidedFile*> extrasByName;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Library)
};
} // namespace provider
