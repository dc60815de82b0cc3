#include "provider/Library.h"

namespace provider
{
namespace
{
template <typename Map>
auto findIn (const Map& map, const juce::String& key) -> typename Map::mapped_type
{
    auto found = map.find (key);
    return found != map.end() ? found->second : nullptr;
}
} // namespace

Library::Library (juce::String nameToUse,
                  juce::String programVersionToUse,
                  ProvidedFile installerToUse,
                  std::vector<LibraryCourse> coursesToUse,
                  std::vector<LibraryUser> usersToUse,
                  juce::String defaultLanguageToUse)
    : name (std::move (nameToUse)),
      programVersion (std::move (programVersionToUse)),
      installer (std::move (installerToUse)),
      courses (std::move (coursesToUse)),
      users (std::move (usersToUse)),
      defaultLanguage (std::move (defaultLanguageToUse))
{
    // The vectors are never changed after this point, so pointers into them stay valid.
    for (auto& course : courses)
    {
        coursesById[course.id] = &course;

        for (auto* extra : { &course.cover, &course.credits, &course.partners })
            if (extra->isPresent())
                extrasByName[extra->checksumName()] = extra;

        for (auto& lesson : course.lessons)
        {
            for (auto& chapter : lesson.chapters)
            {
                chaptersById[chapter.id] = &chapter;
                courseOfChapter[chapter.id] = &course;
            }
        }
    }
}

const LibraryChapter* Library::findChapter (const juce::String& courseId, const juce::String& chapterId) const
{
    auto* course = findIn (courseOfChapter, chapterId);
    return course != nullptr && course->id == courseId ? findChapter (chapterId) : nullptr;
}

const LibraryChapter* Library::findChapter (const juce::String& chapterId) const
{
    return findIn (chaptersById, chapterId);
}

const LibraryCourse* Library::findCourse (const juce::String& courseId) const
{
    return findIn (coursesById, courseId);
}

const LibraryCourse* Library::findCourseOfChapter (const juce::String& chapterId) const
{
    return findIn (courseOfChapter, chapterId);
}

const ProvidedFile* Library::findExtra (const juce::String& checksumName) const
{
    return findIn (extrasByName, checksumName);
}

const LibraryUser* Library::findUserByEmail (const juce::String& email) const
{
    for (auto& user : users)
        if (user.email.equalsIgnoreCase (email))
            return &user;

    return nullptr;
}

const LibraryUser* Library::findSignedInUser (const juce::String& loginName, const juce::String& passwordHash) const
{
    const auto matches = [&passwordHash] (const LibraryUser& user) { return passwordHash.isNotEmpty() && user.passwordHash.equalsIgnoreCase (passwordHash); };

    if (auto* user = findUserByEmail (loginName))
        return matches (*user) ? user : nullptr;

    for (auto& user : users)
        if (user.name.isNotEmpty() && user.name == loginName && matches (user))
            return &user;

    return nullptr;
}
} // namespace provider
