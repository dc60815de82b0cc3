#include "model/Core.h"

#include "model/RegularFile.h"

#include "model/CoreRegistry.h"
#include "model/LocalStorage.h"
#include "model/Notifications.h"

#include <sqlite3.h>

#include <algorithm>
#include <unordered_set>
#include <utility>

Core::Core (const juce::File& folder, Workers workers, Start start)
    : dataFolder (folder),
      downloads (*this, std::move (workers.makeDownload)),
      makeSearchDatabaseUpdater (std::move (workers.makeSearchDatabaseUpdater))
{
    if (workers.makeExtrasDownloader != nullptr)
        extrasDownloader = workers.makeExtrasDownloader (dataFolder);

    CoreRegistry::add (this);
    deferredWorkPending = start == Start::deferred;

    if (! deferredWorkPending)
    {
        openSearchDatabase (juce::dontSendNotification);

        if (extrasDownloader != nullptr)
            extrasDownloader->start();
    }
}

void Core::startDeferredWork()
{
    JUCE_ASSERT_MESSAGE_THREAD

    if (! std::exchange (deferredWorkPending, false))
        return;

    openSearchDatabase (juce::sendNotification);

    // Requests made meanwhile wait in the downloader's tables.
    if (extrasDownloader != nullptr)
        extrasDownloader->start();
}

Core::~Core()
{
    // Workers are stopped with no lock held, because a stopping download reports its end under
    // the write lock.
    if (extrasDownloader != nullptr)
        extrasDownloader->stop (threadStopTimeoutMs);

    downloads.stopAll();

    if (searchDbUpdater != nullptr)
        searchDbUpdater->stopThread (DownloadQueue::stopTimeoutMs);

    searchDbUpdater = nullptr;

    {
        const juce::ScopedWriteLock sl (catalogLock);
        searchHits.clear();
    }

    closeSearchDatabase (juce::dontSendNotification);

    {
        const juce::ScopedWriteLock sl (catalogLock);
        localInfos.clear();
    }

    CoreRegistry::remove (this);
    extrasDownloader = nullptr;

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
bool Core::setCatalog (std::unique_ptr<Catalog> newCatalog)
{
    if (newCatalog == nullptr)
        return false;

    {
        const juce::ScopedWriteLock sl (catalogLock);
        catalog = std::move (newCatalog);

        if (const auto userDirectory = userDirectoryLocked(); userDirectory != juce::File())
            userDirectory.createDirectory();

        rebuildLocalState();

        // Repeated for every new catalog: a course whose copies are current costs nothing.
        if (extrasDownloader != nullptr)
        {
            for (const auto* course : catalog->courses)
            {
                extrasDownloader->requestCover (course->id, course->coverurl);
                extrasDownloader->requestCredits (course->id, course->creditsurl);
                extrasDownloader->requestPartners (course->id, course->partnersurl);
            }
        }
    }

    broadcast (Notifications::catalogChanged);
    return true;
}

bool Core::hasUser() const
{
    const juce::ScopedReadLock sl (catalogLock);
    return catalog != nullptr && catalog->userid.isNotEmpty();
}

bool Core::setUsersDirectory (const juce::File& folder, juce::NotificationType notification)
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

    if (notification != juce::dontSendNotification)
        broadcast (Notifications::usersDirectoryChanged);

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

template <typename Value, typename Getter>
Value Core::readCourse (int course, Value fallback, Getter&& getter) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto* record = findCourse (course);
    return record != nullptr ? getter (*record) : fallback;
}

template <typename Value, typename Getter>
Value Core::readChapter (const juce::String& chapterId, Value fallback, Getter&& getter) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto* record = findChapter (chapterId);
    return record != nullptr ? getter (*record) : fallback;
}

template <typename Value, typename Getter>
Value Core::readCatalog (Value fallback, Getter&& getter) const
{
    const juce::ScopedReadLock sl (catalogLock);
    return catalog != nullptr ? getter (*catalog) : fallback;
}

template <typename Value, typename Getter>
Value Core::readLocalInfo (const juce::String& chapterId, Value fallback, Getter&& getter) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto* record = findLocalInfo (chapterId);
    return record != nullptr ? getter (*record) : fallback;
}

int Core::getNumCourses() const
{
    return readCatalog (0, [] (const Catalog& c) { return c.getNumCourses(); });
}

juce::String Core::getCourseId (int course) const
{
    return readCourse (course, juce::String(), [] (const Course& c) { return c.id; });
}

juce::String Core::getCourseTitle (int course) const
{
    return readCourse (course, juce::String(), [] (const Course& c) { return c.title; });
}

juce::String Core::getCourseDescription (int course) const
{
    return readCourse (course, juce::String(), [] (const Course& c) { return c.description; });
}

juce::URL Core::getCourseUrl (int course) const
{
    return readCourse (course, juce::URL(), [] (const Course& c) { return c.url; });
}

juce::URL Core::getCourseCoverUrl (int course) const
{
    return readCourse (course, juce::URL(), [] (const Course& c) { return c.coverurl; });
}

juce::URL Core::getCourseCreditsUrl (int course) const
{
    return readCourse (course, juce::URL(), [] (const Course& c) { return c.creditsurl; });
}

juce::URL Core::getCoursePartnersUrl (int course) const
{
    return readCourse (course, juce::URL(), [] (const Course& c) { return c.partnersurl; });
}

int Core::getNumLessons (int course) const
{
    return readCourse (course, 0, [] (const Course& c) { return c.getNumLessons(); });
}

juce::String Core::getLessonTitle (int course, int lesson) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto* l = findLesson (course, lesson);
    return l != nullptr ? l->title : juce::String();
}

int Core::getLessonOrder (int course, int lesson) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto* l = findLesson (course, lesson);
    return l != nullptr ? l->order : 0;
}

int Core::getNumChapters (int course, int lesson) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto* l = findLesson (course, lesson);
    return l != nullptr ? l->getNumChapters() : 0;
}

juce::String Core::getChapterId (int course, int lesson, int position) const
{
    const juce::ScopedReadLock sl (catalogLock);
    const auto* l = findLesson (course, lesson);
    return l != nullptr ? l->getChapterId (position) : juce::String();
}

juce::String Core::getChapterTitle (const juce::String& chapterId) const
{
    return readChapter (chapterId, juce::String(), [] (const Chapter& c) { return c.title; });
}

int Core::getChapterOrder (const juce::String& chapterId) const
{
    return readChapter (chapterId, 0, [] (const Chapter& c) { return c.order; });
}

float Core::getChapterDuration (const juce::String& chapterId) const
{
    return readChapter (chapterId, 0.0f, [] (const Chapter& c) { return c.duration; });
}

int Core::getChapterSize (const juce::String& chapterId) const
{
    return readChapter (chapterId, 0, [] (const Chapter& c) { return c.size; });
}

juce::String Core::getChapterMd5 (const juce::String& chapterId) const
{
    return readChapter (chapterId, juce::String(), [] (const Chapter& c) { return c.md5; });
}

juce::Time Core::getChapterDate (const juce::String& chapterId) const
{
    return readChapter (chapterId, juce::Time(), [] (const Chapter& c) { return c.date; });
}

bool Core::hasChapter (const juce::String& chapterId) const
{
    return readChapter (chapterId, false, [] (const Chapter&) { return true; });
}

juce::String Core::getUserId() const
{
    return readCatalog (juce::String(), [] (const Catalog& c) { return c.userid; });
}

juce::String Core::getUserName() const
{
    return readCatalog (juce::String(), [] (const Catalog& c) { return c.username; });
}

juce::URL Core::getHomeUrl() const
{
    return readCatalog (juce::URL(), [] (const Catalog& c) { return c.homeurl; });
}

juce::String Core::getBaseUrl() const
{
    return readCatalog (juce::String(), [] (const Catalog& c) { return c.baseurl; });
}

juce::String Core::getOfferedVersion() const
{
    return readCatalog (juce::String(), [] (const Catalog& c) { return c.win_version; });
}

juce::URL Core::getInstallerUrl() const
{
    return readCatalog (juce::URL(), [] (const Catalog& c) { return c.win_app; });
}

int Core::getInstallerSize() const
{
    return readCatalog (0, [] (const Catalog& c) { return c.win_app_size; });
}

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
bool Core::isVideoPresent (const juce::String& chapterId) const
{
    return readLocalInfo (chapterId, false, [] (const MovieLocalInfo& info) { return info.videoPresent; });
}

juce::Time Core::getTimestamp (const juce::String& chapterId) const
{
    return readLocalInfo (chapterId, juce::Time(), [] (const MovieLocalInfo& info) { return info.timestamp; });
}

bool Core::isYetToBeSeen (const juce::String& chapterId) const
{
    return readLocalInfo (chapterId, false, [] (const MovieLocalInfo& info) { return info.yetToBeSeen; });
}

bool Core::isFavorite (const juce::String& chapterId) const
{
    return readLocalInfo (chapterId, false, [] (const MovieLocalInfo& info) { return info.favorite; });
}

double Core::getWatchedPosition (const juce::String& chapterId) const
{
    return readLocalInfo (chapterId, 0.0, [] (const MovieLocalInfo& info) { return info.position; });
}

int Core::getNumMarkers (const juce::String& chapterId) const
{
    return readLocalInfo (chapterId, 0, [] (const MovieLocalInfo& info) { return info.getNumMarkers(); });
}

double Core::getMarkerTime (const juce::String& chapterId, int index) const
{
    return readLocalInfo (chapterId, 0.0, [index] (const MovieLocalInfo& info) { return info.getMarkerTime (index); });
}

juce::String Core::getMarkerText (const juce::String& chapterId, int index) const
{
    return readLocalInfo (chapterId, juce::String(), [index] (const MovieLocalInfo& info) { return info.getMarkerText (index); });
}

int Core::getMarkerType (const juce::String& chapterId, int index) const
{
    return readLocalInfo (chapterId, 0, [index] (const MovieLocalInfo& info) { return info.getMarkerType (index); });
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

    size_t numChapters = 0;

    for (const auto* course : catalog->courses)
        for (const auto* lesson : course->lessons)
            numChapters += (size_t) lesson->chapterIds.size();

    localInfos.reserve (numChapters);

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

bool Core::setYetToBeSeen (const juce::String& chapterId, bool shouldBeUnseen, juce::NotificationType notification)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);
        auto* info = findLocalInfo (chapterId);

        if (info == nullptr || ! info->setYetToBeSeen (shouldBeUnseen))
            return false;

        saveLocalState (chapterId);
    }

    if (notification != juce::dontSendNotification)
        broadcast (Notifications::seenChanged, { chapterId });

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

    broadcast (Notifications::favoriteChanged, { chapterId });
    return true;
}

bool Core::setWatchedPosition (const juce::String& chapterId, double seconds)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);
        auto* info = findLocalInfo (chapterId);

        if (info == nullptr || ! info->setPosition (seconds))
            return false;

        saveLocalState (chapterId);
    }

    broadcast (Notifications::watchedPositionChanged, { chapterId });
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

    broadcast (Notifications::markersChanged, { chapterId });
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

    broadcast (Notifications::markersChanged, { chapterId });
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

    broadcast (Notifications::markerModified, { chapterId, juce::String (index) });
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

    broadcast (Notifications::chapterRemoved, { chapterId });
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
        broadcast (Notifications::chapterRestored, { chapterId });

    return ok;
}

//==============================================================================
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

void Core::openSearchDatabase (juce::NotificationType notification)
{
    {
        const juce::ScopedLock sl (searchDbLock);
        const auto file = getSearchDatabaseFile();

        // SQLite opens whatever is at the path, and a pipe there would block it for ever.
        if (searchDb != nullptr || ! RegularFile::isRegular (file))
            return;

        if (sqlite3_open_v2 (file.getFullPathName().toRawUTF8(), &searchDb, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        {
            sqlite3_close (searchDb);
            searchDb = nullptr;
            return;
        }

        searchDbOpen = true;
        startSearchIndexBuildLocked (file);
    }

    if (notification != juce::dontSendNotification)
        broadcast (Notifications::searchDatabaseChanged);
}

void Core::closeSearchDatabase (juce::NotificationType notification)
{
    {
        const juce::ScopedLock sl (searchDbLock);

        if (searchDb == nullptr)
            return;

        sqlite3_close (searchDb);
        searchDb = nullptr;
        searchDbOpen = false;
        ++searchDbGeneration;
        searchIndex = nullptr;
        searchIndexBuilder.cancel();
    }

    if (notification != juce::dontSendNotification)
        broadcast (Notifications::searchDatabaseChanged);
}

void Core::installSearchDatabase (bool use, const juce::File& newFile, juce::NotificationType notification)
{
    const juce::ScopedLock sl (searchDbLock);

    // The old database stays open and in place until the new one is whole beside it: a full disk
    // must never leave an empty or partial "data.dat" where a good one was.
    if (use && newFile.existsAsFile())
    {
        closeSearchDatabase (notification);

        if (! RegularFile::replace (newFile, getSearchDatabaseFile()))
            juce::Logger::writeToLog ("search database not replaced: the new one could not be written whole");

        openSearchDatabase (notification);
    }

    if (newFile.existsAsFile())
        newFile.deleteFile();
}

void Core::startSearchIndexBuildLocked (const juce::File& databaseFile)
{
    // The builder's own connection is opened here, under the lock, so that it reads the very
    // file Core has open even if a new one is installed before the build starts.
    ++searchDbGeneration;
    sqlite3* connection = nullptr;

    // Only the builder's thread uses it, one call after another: without the connection's own
    // mutex, reading millions of rows does not lock and unlock it for every column.
    if (sqlite3_open_v2 (databaseFile.getFullPathName().toRawUTF8(), &connection, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
    {
        sqlite3_close (connection);
        return;
    }

    searchIndexBuilder.build (connection, searchDbGeneration);
}

void Core::adoptSearchIndex (std::shared_ptr<const SearchDatabaseIndex> index, juce::uint64 generation)
{
    const juce::ScopedLock sl (searchDbLock);

    if (generation == searchDbGeneration && searchDb != nullptr)
        std::swap (searchIndex, index);
}

bool Core::waitForSearchIndex (int timeoutMs) const
{
    if (! searchIndexBuilder.waitUntilIdle (timeoutMs))
        return false;

    const juce::ScopedLock sl (searchDbLock);
    return searchIndex != nullptr;
}

bool Core::isSearchDatabaseOpen() const
{
    return searchDbOpen;
}

void Core::startSearchDatabaseUpdate()
{
    const juce::ScopedLock sl (updaterLock);

    if (searchDbUpdater != nullptr || makeSearchDatabaseUpdater == nullptr)
        return;

    searchDbUpdater = makeSearchDatabaseUpdater (*this);

    if (searchDbUpdater != nullptr)
        searchDbUpdater->startThread (juce::Thread::Priority::background);
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

void Core::setSearchResults (const juce::StringArray& words, SearchHits hits)
{
    {
        const juce::ScopedWriteLock sl (catalogLock);
        searchWords = words;
        std::swap (searchHits, hits);
    }

    // The previous search's hits are freed here, outside the lock.
}

void Core::visitMarkers (const std::function<void (const juce::String&, const juce::String&, double)>& visitor) const
{
    const juce::ScopedReadLock sl (catalogLock);

    if (catalog == nullptr)
        return;

    for (const auto* course : catalog->courses)
        for (const auto* lesson : course->lessons)
            for (const auto& chapterId : lesson->chapterIds)
                if (const auto* info = findLocalInfo (chapterId))
                    for (const auto* marker : info->markers)
                        visitor (chapterId, marker->text, marker->time);
}
