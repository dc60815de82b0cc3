#include "model/Core.h"

#include "app/CoreRegistry.h"
#include "app/PrivateTempFolder.h"
#include "app/SharedRes.h"
#include "downloads/DownloadThread.h"
#include "model/LocalStorage.h"

#include <sqlite3.h>

#include <algorithm>
#include <unordered_set>

Core::Core() : Core (SharedRes::getInstance()->getUserDataFolder())
{
    // No download can be running yet, so any temporary download file is a crashed run's.
    DownloadThread::removeLeftoverTempFiles (PrivateTempFolder::get());
}

Core::Core (const juce::File& folder) : dataFolder (folder)
{
    CoreRegistry::add (this);
    openSearchDatabase (false);
}

Core::~Core()
{
    // The queue is emptied first, so nothing new starts while the threads stop; they are
    // stopped with no lock held because a stopping thread reports its end under the write lock.
    std::vector<std::unique_ptr<DownloadThread>> stopping;

    {
        const juce::ScopedWriteLock sl (catalogLock);
        const juce::ScopedLock ql (downloadsLock);
        stopping.swap (downloads);
    }

    for (auto& download : stopping)
        download->stopThread (downloadStopTimeoutMs);

    stopping.clear();

    {
        const juce::ScopedWriteLock sl (catalogLock);
        searchHits.clear();
    }

    closeSearchDatabase (false);

    {
        const juce::ScopedWriteLock sl (catalogLock);
        localInfos.clear();
    }

    CoreRegistry::remove (this);

    const juce::ScopedWriteLock sl (catalogLock);
    catalog = nullptr;
}

//==============================================================================
juce::String Core::joinTokens (const juce::StringArray& tokens)
{
    return tokens.joinIntoString (";");
}

void Core::broadcast (const juce::String& code, const juce::StringArray& arguments)
{
    juce::StringArray tokens (code);
    tokens.addArray (arguments);
    sendActionMessage (joinTokens (tokens));
}

//==============================================================================
bool Core::setCatalog (Catalog* newCatalog, bool)
{
    if (newCatalog == nullptr)
        return false;

    {
        const juce::ScopedWriteLock sl (catalogLock);

        if (newCatalog == catalog.get())
            return true;

        catalog.reset (newCatalog);

        if (const auto userDirectory = userDirectoryLocked(); userDirectory != juce::File())
            userDirectory.createDirectory();

        rebuildLocalState();
    }

    broadcast ("cc");
    return true;
}

bool Core::hasUser() const
{
    const juce::ScopedReadLock sl (catalogLock);
    return catalog != nullptr && catalog->userid.isNotEmpty();
}

bool Core::setUsersDirectory (const juce::File& folder, bool notify)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);

        if (folder == usersDirectory)
            return true;

        usersDirectory = folder;

        if (const auto userDirectory = userDirectoryLocked(); userDirectory != juce::File())
            userDirectory.createDirectory();

        rebuildLocalState();
    }

    if (notify)
        broadcast ("cu");

    return true;
}

juce::File Core::getUsersDirectory() const
{
    const juce::ScopedReadLock sl (catalogLock);
    return usersDirectory;
}

juce::File Core::getUserDirectory() const
{
    const juce::ScopedReadLock sl (catalogLock);
    return userDirectoryLocked();
}

juce::File Core::getChapterDirectory (const juce::String& chapterId) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return chapterDirectoryLocked (chapterId);
}

juce::File Core::getVideoFile (const juce::String& chapterId) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto directory = chapterDirectoryLocked (chapterId);
    return directory != juce::File() ? LocalStorage::getVideoFile (directory, chapterId) : juce::File();
}

juce::File Core::getStateFile (const juce::String& chapterId) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto directory = chapterDirectoryLocked (chapterId);
    return directory != juce::File() ? LocalStorage::getStateFile (directory, chapterId) : juce::File();
}

juce::File Core::userDirectoryLocked() const
{
    if (catalog == nullptr || catalog->userid.isEmpty() || usersDirectory == juce::File())
        return {};

    return LocalStorage::childFolderFor (usersDirectory, catalog->userid).value_or (juce::File());
}

juce::File Core::chapterDirectoryLocked (const juce::String& chapterId) const
{
    const auto userDirectory = userDirectoryLocked();

    if (userDirectory == juce::File())
        return {};

    return LocalStorage::childFolderFor (userDirectory, chapterId).value_or (juce::File());
}

//==============================================================================
const Chapter* Core::findChapter (const juce::String& chapterId) const
{
    return catalog != nullptr ? catalog->getChapter (chapterId) : nullptr;
}

const Course* Core::findCourse (int course) const
{
    return catalog != nullptr ? catalog->getCourse (course) : nullptr;
}

const Lesson* Core::findLesson (int course, int lesson) const
{
    const auto* c = findCourse (course);
    return c != nullptr ? c->getLesson (lesson) : nullptr;
}

MovieLocalInfo* Core::findLocalInfo (const juce::String& chapterId) const
{
    const auto found = localInfos.find (chapterId);
    return found != localInfos.end() ? found->second.get() : nullptr;
}

namespace
{
/** Reads one value of a record under the read lock, or a neutral value when it is missing. */
template <typename Record, typename Value, typename Getter>
Value readOr (const Record* record, Value fallback, Getter&& getter)
{
    return record != nullptr ? getter (*record) : fallback;
}
} // namespace

int Core::getNumCourses() const
{
    const juce::ScopedReadLock sl (catalogLock);
    return catalog != nullptr ? catalog->getNumCourses() : 0;
}

#define TSY_COURSE_QUERY(Type, name, expression)                                                \
    Type Core::name (int course) const                                                          \
    {                                                                                           \
        const juce::ScopedReadLock sl (catalogLock);                                            \
        return readOr (findCourse (course), Type(), [] (const Course& c) { return expression; }); \
    }

TSY_COURSE_QUERY (juce::String, getCourseId, c.id)
TSY_COURSE_QUERY (juce::String, getCourseTitle, c.title)
TSY_COURSE_QUERY (juce::String, getCourseDescription, c.description)
TSY_COURSE_QUERY (juce::URL, getCourseUrl, c.url)
TSY_COURSE_QUERY (juce::URL, getCourseCoverUrl, c.coverurl)
TSY_COURSE_QUERY (juce::URL, getCourseCreditsUrl, c.creditsurl)
TSY_COURSE_QUERY (juce::URL, getCoursePartnersUrl, c.partnersurl)
TSY_COURSE_QUERY (int, getNumLessons, c.getNumLessons())
#undef TSY_COURSE_QUERY

juce::String Core::getLessonTitle (int course, int lesson) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return readOr (findLesson (course, lesson), juce::String(), [] (const Lesson& l) { return l.title; });
}

int Core::getLessonOrder (int course, int lesson) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return readOr (findLesson (course, lesson), 0, [] (const Lesson& l) { return l.order; });
}

int Core::getNumChapters (int course, int lesson) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return readOr (findLesson (course, lesson), 0, [] (const Lesson& l) { return l.getNumChapters(); });
}

juce::String Core::getChapterId (int course, int lesson, int position) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return readOr (findLesson (course, lesson), juce::String(), [position] (const Lesson& l) { return l.getChapterId (position); });
}

#define TSY_CHAPTER_QUERY(Type, name, expression)                                                        \
    Type Core::name (const juce::String& chapterId) const                                                \
    {                                                                                                    \
        const juce::ScopedReadLock sl (catalogLock);                                                     \
        return readOr (findChapter (chapterId), Type(), [] (const Chapter& chapter) { return expression; }); \
    }

TSY_CHAPTER_QUERY (juce::String, getChapterTitle, chapter.title)
TSY_CHAPTER_QUERY (int, getChapterOrder, chapter.order)
TSY_CHAPTER_QUERY (float, getChapterDuration, chapter.duration)
TSY_CHAPTER_QUERY (int, getChapterSize, chapter.size)
TSY_CHAPTER_QUERY (juce::String, getChapterMd5, chapter.md5)
TSY_CHAPTER_QUERY (juce::Time, getChapterDate, chapter.date)
#undef TSY_CHAPTER_QUERY

bool Core::hasChapter (const juce::String& chapterId) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return findChapter (chapterId) != nullptr;
}

#define TSY_CATALOG_QUERY(Type, name, expression)                                                   \
    Type Core::name() const                                                                         \
    {                                                                                               \
        const juce::ScopedReadLock sl (catalogLock);                                                \
        return readOr (catalog.get(), Type(), [] (const Catalog& c) { return expression; });        \
    }

TSY_CATALOG_QUERY (juce::String, getUserId, c.userid)
TSY_CATALOG_QUERY (juce::String, getUserName, c.username)
TSY_CATALOG_QUERY (juce::URL, getHomeUrl, c.homeurl)
TSY_CATALOG_QUERY (juce::String, getBaseUrl, c.baseurl)
TSY_CATALOG_QUERY (juce::String, getOfferedVersion, c.win_version)
TSY_CATALOG_QUERY (juce::URL, getInstallerUrl, c.win_app)
TSY_CATALOG_QUERY (int, getInstallerSize, c.win_app_size)
#undef TSY_CATALOG_QUERY

bool Core::findChapterPosition (const juce::String& chapterId, int& course, int& lesson, int& position) const
{
    const juce::ScopedReadLock sl (catalogLock);
    Catalog::Position found;

    if (catalog == nullptr || ! catalog->findChapterPosition (chapterId, found))
        return false;

    course = found.course;
    lesson = found.lesson;
    position = found.chapter;
    return true;
}

//==============================================================================
#define TSY_LOCAL_QUERY(Type, name, expression)                                                          \
    Type Core::name (const juce::String& chapterId) const                                                \
    {                                                                                                    \
        const juce::ScopedReadLock sl (catalogLock);                                                     \
        return readOr (findLocalInfo (chapterId), Type(), [] (const MovieLocalInfo& info) { return expression; }); \
    }

TSY_LOCAL_QUERY (bool, isVideoPresent, info.videoPresent)
TSY_LOCAL_QUERY (juce::Time, getTimestamp, info.timestamp)
TSY_LOCAL_QUERY (bool, isYetToBeSeen, info.yetToBeSeen)
TSY_LOCAL_QUERY (bool, isFavorite, info.favorite)
TSY_LOCAL_QUERY (int, getNumMarkers, info.getNumMarkers())
#undef TSY_LOCAL_QUERY

double Core::getMarkerTime (const juce::String& chapterId, int index) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return readOr (findLocalInfo (chapterId), 0.0, [index] (const MovieLocalInfo& info) { return info.getMarkerTime (index); });
}

juce::String Core::getMarkerText (const juce::String& chapterId, int index) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return readOr (findLocalInfo (chapterId), juce::String(), [index] (const MovieLocalInfo& info) { return info.getMarkerText (index); });
}

int Core::getMarkerType (const juce::String& chapterId, int index) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return readOr (findLocalInfo (chapterId), 0, [index] (const MovieLocalInfo& info) { return info.getMarkerType (index); });
}

template <typename Predicate>
bool Core::anyChapterOfLesson (int course, int lesson, Predicate&& predicate) const
{
    const juce::ScopedReadLock sl (catalogLock);

    if (const auto* l = findLesson (course, lesson))
        for (const auto& chapterId : l->chapterIds)
            if (predicate (chapterId))
                return true;

    return false;
}

template <typename Predicate>
bool Core::anyChapterOfCourse (int course, Predicate&& predicate) const
{
    const juce::ScopedReadLock sl (catalogLock);

    for (int lesson = 0; lesson < getNumLessons (course); ++lesson)
        if (anyChapterOfLesson (course, lesson, predicate))
            return true;

    return false;
}

bool Core::lessonHasFavorite (int course, int lesson) const
{
    return anyChapterOfLesson (course, lesson, [this] (const juce::String& id) { return isFavorite (id); });
}

bool Core::lessonHasUnseen (int course, int lesson) const
{
    return anyChapterOfLesson (course, lesson, [this] (const juce::String& id) { return isYetToBeSeen (id); });
}

bool Core::lessonHasSearchHits (int course, int lesson) const
{
    return anyChapterOfLesson (course, lesson, [this] (const juce::String& id) { return hasSearchHits (id); });
}

bool Core::lessonHasVideo (int course, int lesson, bool videoPresent) const
{
    return anyChapterOfLesson (course, lesson, [this, videoPresent] (const juce::String& id) { return isVideoPresent (id) == videoPresent; });
}

bool Core::courseHasFavorite (int course) const
{
    return anyChapterOfCourse (course, [this] (const juce::String& id) { return isFavorite (id); });
}

bool Core::courseHasUnseen (int course) const
{
    return anyChapterOfCourse (course, [this] (const juce::String& id) { return isYetToBeSeen (id); });
}

bool Core::courseHasSearchHits (int course) const
{
    return anyChapterOfCourse (course, [this] (const juce::String& id) { return hasSearchHits (id); });
}

bool Core::courseHasVideo (int course, bool videoPresent) const
{
    return anyChapterOfCourse (course, [this, videoPresent] (const juce::String& id) { return isVideoPresent (id) == videoPresent; });
}

//==============================================================================
void Core::rebuildLocalState()
{
    localInfos.clear();

    if (catalog == nullptr)
        return;

    // Most chapters of a large catalog were never downloaded: one listing of the user's folder
    // spares two file checks for each of them.
    std::unordered_set<juce::String> chapterFolders;

    if (const auto userDirectory = userDirectoryLocked(); userDirectory != juce::File())
        for (const auto& entry : juce::RangedDirectoryIterator (userDirectory, false, "*", juce::File::findDirectories))
            chapterFolders.insert (entry.getFile().getFileName());

    for (const auto* course : catalog->courses)
        for (const auto* lesson : course->lessons)
            for (const auto& chapterId : lesson->chapterIds)
            {
                auto& slot = localInfos[chapterId];

                if (slot == nullptr)
                {
                    slot = std::make_unique<MovieLocalInfo>();

                    if (chapterFolders.count (LocalStorage::toLegalFileName (chapterId)) != 0)
                        loadLocalState (chapterId, *slot);
                }
            }
}

void Core::loadLocalState (const juce::String& chapterId, MovieLocalInfo& info) const
{
    const auto directory = chapterDirectoryLocked (chapterId);

    if (directory == juce::File())
        return;

    info.videoPresent = LocalStorage::getVideoFile (directory, chapterId).existsAsFile();
    const auto stateFile = LocalStorage::getStateFile (directory, chapterId);

    if (stateFile.existsAsFile())
        LocalStorage::loadState (info, stateFile);
}

void Core::saveLocalState (const juce::String& chapterId) const
{
    const auto* info = findLocalInfo (chapterId);
    const auto directory = chapterDirectoryLocked (chapterId);

    if (info != nullptr && directory != juce::File())
        LocalStorage::saveState (*info, LocalStorage::getStateFile (directory, chapterId));
}

bool Core::setYetToBeSeen (const juce::String& chapterId, bool shouldBeUnseen, bool notify)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);
        auto* info = findLocalInfo (chapterId);

        if (info == nullptr || ! info->setYetToBeSeen (shouldBeUnseen))
            return false;

        saveLocalState (chapterId);
    }

    if (notify)
        broadcast ("cs", { chapterId });

    return true;
}

bool Core::setFavorite (const juce::String& chapterId, bool shouldBeFavorite)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);
        auto* info = findLocalInfo (chapterId);

        if (info == nullptr || ! info->setFavorite (shouldBeFavorite))
            return false;

        saveLocalState (chapterId);
    }

    broadcast ("cf", { chapterId });
    return true;
}

void Core::addMarker (const juce::String& chapterId, const juce::String& text, double seconds)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);
        auto* info = findLocalInfo (chapterId);

        if (info == nullptr)
            return;

        info->addMarker (text, seconds);
        saveLocalState (chapterId);
    }

    broadcast ("mc", { chapterId });
}

void Core::removeMarker (const juce::String& chapterId, int index)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);
        auto* info = findLocalInfo (chapterId);

        if (info == nullptr || ! juce::isPositiveAndBelow (index, info->getNumMarkers()))
            return;

        info->removeMarker (index);
        saveLocalState (chapterId);
    }

    broadcast ("mc", { chapterId });
}

void Core::setMarkerText (const juce::String& chapterId, int index, const juce::String& text)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);
        auto* info = findLocalInfo (chapterId);

        if (info == nullptr || ! info->setMarkerText (index, text))
            return;

        saveLocalState (chapterId);
    }

    broadcast ("mm", { chapterId, juce::String (index) });
}

int Core::findMarker (const juce::String& chapterId, double seconds, bool previous) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto* info = findLocalInfo (chapterId);

    if (info == nullptr)
        return -1;

    int best = -1;
    auto bestDistance = markerSearchRange;

    for (int i = 0; i < info->getNumMarkers(); ++i)
    {
        if (info->getMarkerType (i) != MovieMarker::normalType)
            continue;

        const auto distance = previous ? seconds - info->getMarkerTime (i) : info->getMarkerTime (i) - seconds;

        // Strictly closer only, so the lowest index wins a tie.
        if (distance >= 0.0 && distance < bestDistance)
        {
            best = i;
            bestDistance = distance;
        }
    }

    return best;
}

int Core::findPreviousMarker (const juce::String& chapterId, double seconds) const
{
    return findMarker (chapterId, seconds, true);
}

int Core::findNextMarker (const juce::String& chapterId, double seconds) const
{
    return findMarker (chapterId, seconds, false);
}

bool Core::removeChapter (const juce::String& chapterId)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);
        auto* info = findLocalInfo (chapterId);

        if (info == nullptr || userDirectoryLocked() == juce::File())
            return false;

        if (info->setYetToBeSeen (false))
            saveLocalState (chapterId);

        // Only the chapter's own folder goes; a chapter without one has nothing on disk.
        if (const auto directory = chapterDirectoryLocked (chapterId); directory != juce::File())
            directory.deleteRecursively();

        info->videoPresent = false;
        info->resetToDefaults();
        loadLocalState (chapterId, *info);
    }

    broadcast ("ca", { chapterId });
    return true;
}

bool Core::copyChapterFilesTo (const juce::String& chapterId, const juce::File& folder)
{
    const juce::ScopedWriteLock sl (catalogLock);
    const auto directory = chapterDirectoryLocked (chapterId);

    if (directory == juce::File() || ! folder.createDirectory())
        return false;

    const auto videoFile = LocalStorage::getVideoFile (directory, chapterId);
    const auto stateFile = LocalStorage::getStateFile (directory, chapterId);
    auto ok = videoFile.copyFileTo (folder.getChildFile (videoFile.getFileName()));

    if (stateFile.existsAsFile())
        ok = stateFile.copyFileTo (folder.getChildFile (stateFile.getFileName())) && ok;

    return ok;
}

bool Core::restoreChapterFiles (const juce::String& chapterId, const juce::File& folder)
{
    bool ok = false;
    {
        const juce::ScopedWriteLock sl (catalogLock);
        auto* info = findLocalInfo (chapterId);
        const auto directory = chapterDirectoryLocked (chapterId);

        if (info == nullptr || directory == juce::File())
            return false;

        const auto videoFile = LocalStorage::getVideoFile (directory, chapterId);
        const auto stateFile = LocalStorage::getStateFile (directory, chapterId);
        const auto savedState = folder.getChildFile (stateFile.getFileName());

        ok = directory.createDirectory() && folder.getChildFile (videoFile.getFileName()).copyFileTo (videoFile);

        if (savedState.existsAsFile())
            ok = savedState.copyFileTo (stateFile) && ok;

        info->videoPresent = false;
        info->resetToDefaults();
        loadLocalState (chapterId, *info);
    }

    if (ok)
        broadcast ("fr", { chapterId });

    return ok;
}

//==============================================================================
juce::String Core::makeVideoUrl (const juce::String& baseUrl, const juce::String& courseId, const juce::String& chapterId)
{
    return baseUrl + courseId + "/" + chapterId + "/" + chapterId + ".bin";
}

bool Core::addDownload (const juce::String& courseId, const juce::String& chapterId, const juce::String& title)
{
    std::unique_ptr<DownloadThread> replaced;
    auto added = false;

    {
        const juce::ScopedWriteLock sl (catalogLock);
        const juce::ScopedLock ql (downloadsLock);

        if (const auto index = findDownloadLocked (chapterId); index >= 0)
        {
            const auto state = downloads[(size_t) index]->getState();

            if (state == DownloadState::Queued || state == DownloadState::Downloading)
                return true;

            replaced = takeDownloadLocked (index);
        }

        if (catalog != nullptr && catalog->userid.isNotEmpty())
        {
            // A chapter whose identifier names no safe folder gets no destination; its run
            // then fails instead of writing anywhere else.
            const auto directory = chapterDirectoryLocked (chapterId);
            const auto destination = directory != juce::File() ? LocalStorage::getVideoFile (directory, chapterId) : juce::File();
            const juce::URL source (makeVideoUrl (catalog->baseurl, courseId, chapterId));

            downloads.push_back (std::make_unique<DownloadThread> (*this, chapterId, title, destination, source));
            startNextDownloadLocked();
            added = true;
        }
    }

    if (replaced != nullptr)
    {
        replaced->stopThread (downloadStopTimeoutMs);
        replaced = nullptr;
        broadcast ("cl");
    }

    if (added)
        broadcast ("cl");

    return added;
}

void Core::removeDownload (int index)
{
    std::unique_ptr<DownloadThread> removed;

    {
        const juce::ScopedWriteLock sl (catalogLock);
        const juce::ScopedLock ql (downloadsLock);

        if (! juce::isPositiveAndBelow (index, (int) downloads.size()))
            return;

        removed = takeDownloadLocked (index);

        if (removed->getState() == DownloadState::Downloading)
            startNextDownloadLocked();
    }

    removed->stopThread (downloadStopTimeoutMs);
    removed = nullptr;
    broadcast ("cl");
}

bool Core::removeFinishedDownloads()
{
    std::vector<std::unique_ptr<DownloadThread>> removed;

    {
        const juce::ScopedWriteLock sl (catalogLock);
        const juce::ScopedLock ql (downloadsLock);

        for (auto index = (int) downloads.size() - 1; index >= 0; --index)
        {
            const auto state = downloads[(size_t) index]->getState();

            if (state == DownloadState::Completed || state == DownloadState::Failed)
                removed.push_back (takeDownloadLocked (index));
        }
    }

    // Only after the lock is released: a thread that has just finished may still be waiting
    // for the write lock to report its end, and stopping it under the lock would stall here.
    for (auto& download : removed)
    {
        download->stopThread (downloadStopTimeoutMs);
        download = nullptr;
        broadcast ("cl");
    }

    return ! removed.empty();
}

int Core::findDownload (const juce::String& chapterId) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const juce::ScopedLock ql (downloadsLock);
    return findDownloadLocked (chapterId);
}

int Core::getDownloadCount() const
{
    const juce::ScopedReadLock sl (catalogLock);
    const juce::ScopedLock ql (downloadsLock);
    return (int) downloads.size();
}

template <typename Value, typename Getter>
Value Core::readDownload (int index, Value fallback, Getter&& getter) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const juce::ScopedLock ql (downloadsLock);

    if (! juce::isPositiveAndBelow (index, (int) downloads.size()))
        return fallback;

    return getter (*downloads[(size_t) index]);
}

DownloadState Core::getDownloadState (int index) const
{
    return readDownload (index, DownloadState::Queued, [] (const DownloadThread& d) { return d.getState(); });
}

DownloadError Core::getDownloadError (int index) const
{
    return readDownload (index, DownloadError::NoError, [] (const DownloadThread& d) { return d.getErrorCode(); });
}

juce::String Core::getDownloadTitle (int index) const
{
    return readDownload (index, juce::String(), [] (const DownloadThread& d) { return d.getTitle(); });
}

float Core::getDownloadProgress (int index) const
{
    return readDownload (index, 0.0f, [] (const DownloadThread& d) { return d.getProgress(); });
}

bool Core::isDownloadRunning() const
{
    const juce::ScopedReadLock sl (catalogLock);
    const juce::ScopedLock ql (downloadsLock);

    return std::any_of (downloads.begin(), downloads.end(), [] (const auto& d) { return d->getState() == DownloadState::Downloading; });
}

void Core::downloadStatusChanged (DownloadState state, const juce::String& chapterId, DownloadError error, bool notify)
{
    if (state == DownloadState::Downloading)
    {
        if (notify)
            broadcast ("dp", { chapterId });

        return;
    }

    if (state != DownloadState::Completed && state != DownloadState::Failed)
        return;

    {
        const juce::ScopedWriteLock sl (catalogLock);

        if (state == DownloadState::Completed)
            recordCompletedDownloadLocked (chapterId);

        const juce::ScopedLock ql (downloadsLock);

        if (state == DownloadState::Completed || error != DownloadError::AbortedByUser)
            startNextDownloadLocked();
    }

    if (notify)
        broadcast ("df", { chapterId });
}

bool Core::getChapterDownloadInfo (const juce::String& chapterId, juce::String& md5, int& size) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto* chapter = findChapter (chapterId);

    if (chapter == nullptr)
        return false;

    md5 = chapter->md5;
    size = chapter->size;
    return true;
}

int Core::findDownloadLocked (const juce::String& chapterId) const
{
    for (size_t i = 0; i < downloads.size(); ++i)
        if (downloads[i]->getChapterId() == chapterId)
            return (int) i;

    return -1;
}

std::unique_ptr<DownloadThread> Core::takeDownloadLocked (int index)
{
    auto taken = std::move (downloads[(size_t) index]);
    downloads.erase (downloads.begin() + index);
    return taken;
}

void Core::startNextDownloadLocked()
{
    // One download at a time: an entry counts as downloading from the moment it is started.
    for (const auto& download : downloads)
        if (download->getState() == DownloadState::Downloading)
            return;

    for (const auto& download : downloads)
        if (download->getState() == DownloadState::Queued)
        {
            download->start();
            return;
        }
}

void Core::recordCompletedDownloadLocked (const juce::String& chapterId)
{
    auto* info = findLocalInfo (chapterId);
    const auto* chapter = findChapter (chapterId);
    const auto directory = chapterDirectoryLocked (chapterId);

    if (info == nullptr || chapter == nullptr || directory == juce::File())
        return;

    info->videoPresent = LocalStorage::getVideoFile (directory, chapterId).existsAsFile();
    info->setTimestamp (chapter->date);
    info->setYetToBeSeen (true);
    saveLocalState (chapterId);
}

//==============================================================================
juce::File Core::getSearchDatabaseFile() const
{
    return dataFolder.getChildFile ("data.dat");
}

void Core::openSearchDatabase (bool notify)
{
    {
        const juce::ScopedLock sl (searchDbLock);
        const auto file = getSearchDatabaseFile();

        if (searchDb != nullptr || ! file.existsAsFile())
            return;

        if (sqlite3_open_v2 (file.getFullPathName().toRawUTF8(), &searchDb, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        {
            sqlite3_close (searchDb);
            searchDb = nullptr;
            return;
        }
    }

    if (notify)
        broadcast ("cd");
}

void Core::closeSearchDatabase (bool notify)
{
    {
        const juce::ScopedLock sl (searchDbLock);

        if (searchDb == nullptr)
            return;

        sqlite3_close (searchDb);
        searchDb = nullptr;
    }

    if (notify)
        broadcast ("cd");
}

void Core::installSearchDatabase (bool use, const juce::File& newFile, bool notify)
{
    const juce::ScopedLock sl (searchDbLock);

    if (use && newFile.existsAsFile())
    {
        closeSearchDatabase (notify);
        newFile.moveFileTo (getSearchDatabaseFile());
        openSearchDatabase (notify);
    }

    if (newFile.existsAsFile())
        newFile.deleteFile();
}

bool Core::isSearchDatabaseOpen() const
{
    const juce::ScopedLock sl (searchDbLock);
    return searchDb != nullptr;
}

//==============================================================================
void Core::setSearchWords (const juce::StringArray& words)
{
    const juce::ScopedWriteLock sl (catalogLock);
    searchWords = words;
}

juce::StringArray Core::getSearchWords() const
{
    const juce::ScopedReadLock sl (catalogLock);
    return searchWords;
}

void Core::clearSearchHits()
{
    const juce::ScopedWriteLock sl (catalogLock);
    searchHits.clear();
}

void Core::addSearchHit (const juce::String& chapterId, double seconds)
{
    const juce::ScopedWriteLock sl (catalogLock);
    searchHits[chapterId].push_back (seconds);
}

int Core::getNumSearchHits (const juce::String& chapterId) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto found = searchHits.find (chapterId);
    return found != searchHits.end() ? (int) found->second.size() : 0;
}

double Core::getSearchHitTime (const juce::String& chapterId, int index) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto found = searchHits.find (chapterId);

    if (found == searchHits.end() || ! juce::isPositiveAndBelow (index, (int) found->second.size()))
        return 0.0;

    return found->second[(size_t) index];
}

int Core::getTotalSearchHits() const
{
    const juce::ScopedReadLock sl (catalogLock);
    size_t total = 0;

    for (const auto& [chapterId, times] : searchHits)
        total += times.size();

    return (int) total;
}

bool Core::hasSearchHits (const juce::String& chapterId) const
{
    return getNumSearchHits (chapterId) > 0;
}
