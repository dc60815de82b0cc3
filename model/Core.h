#pragma once

#include "model/Catalog.h"
#include "model/CoreListener.h"
#include "model/DownloadQueue.h"
#include "model/ExtrasDownloader.h"
#include "model/MovieLocalInfo.h"
#include "model/SearchIndexBuilder.h"

#include <atomic>
#include <functional>
#include <map>
#include <unordered_map>
#include <vector>

struct sqlite3;

/**
    The program's model and the hub between the user interface and the worker threads.

    Core owns the current catalog, the user's per-chapter state, the download queue, the
    read-only connection to the transcript search database with the index built from it in the
    background, and the results of the last search.
    Every read goes through one of its queries under the read side of catalogLock; every change
    takes the write side and is announced by a short broadcast (Notifications.h) that the
    framework delivers on the message thread. The worker threads it owns are made by factories
    that the application hands over, so the model does not depend on their libraries.

    Any thread may call any operation unless its comment says otherwise.
*/
class Core final : public juce::ActionBroadcaster
{
public:
    /** The makers of Core's worker threads; a missing one leaves that kind of work undone. */
    struct Workers
    {
        /** Makes the entries of the download queue; without it downloads are refused. */
        DownloadQueue::JobFactory makeDownload;

        /** Makes the extras downloader, which keeps its copies in Core's data folder; without
            it no extras are fetched.
        */
        std::function<std::unique_ptr<ExtrasDownloader> (const juce::File& dataFolder)> makeExtrasDownloader;
        /** Makes the search database updater, not yet started; without it the database is
            never rebuilt.
        */
        std::function<std::unique_ptr<juce::Thread> (Core& core)> makeSearchDatabaseUpdater;
    };

    /** When the search database is opened and the extras downloader started: by the
        constructor, or by startDeferredWork(), so that a window's first frame does not wait.
    */
    enum class Start
    {
        now,
        deferred
    };

    /** The hits of a search: for every chapter, the seconds at which the words occur, in the
        order they were found.
    */
    using SearchHits = std::map<juce::String, std::vector<double>>;

    /** A Core whose search database "data.dat" lives in the given folder (the per-user data
        folder). Message thread.
    */
    explicit Core (const juce::File& dataFolder, Workers workers = {}, Start start = Start::now);

    ~Core() override;

    /** Opens the search database ("cd" when it opens) and starts the extras downloader, when
        the constructor was told to leave them; nothing otherwise, or when called again.
        Message thread.
    */
    void startDeferredWork();

    //==============================================================================
    /** Sends a notification: the code and its arguments joined with ";". */
    void broadcast (const juce::String& code, const juce::StringArray& arguments = {});

    /** Joins notification tokens: none gives "", one gives itself. */
    static juce::String joinTokens (const juce::StringArray& tokens);

    /** The typed form of the broadcasts, decoded once for every listener. */
    using Listener = CoreListener;

    /** Adds or removes a typed listener. Message thread. */
    void addListener (Listener* listener) { typedListeners.add (listener); }
    void removeListener (Listener* listener) { typedListeners.remove (listener); }

    //==============================================================================
    /** Installs a newly built catalog in place of the current one, rebuilds the local state,
        hands every course's extras addresses to the extras downloader and broadcasts "cc".
        False, changing nothing, for nullptr.
    */
    bool setCatalog (std::unique_ptr<Catalog> newCatalog);

    /** True when a catalog is installed and it names a user. */
    bool hasUser() const;

    /** Sets the root of the per-user folders; rebuilds the local state when it changed and then
        broadcasts "cu" if asked to.
    */
    bool setUsersDirectory (const juce::File& folder, juce::NotificationType notification);

    juce::File getUsersDirectory() const;

    /** The user's folder, or File() when there is no user or the user id names no safe folder. */
    juce::File getUserDirectory() const;

    /** A chapter's folder, or File() when the chapter has no place on disk. */
    juce::File getChapterDirectory (const juce::String& chapterId) const;

    /** A chapter's video and state files, or File() when the chapter has no place on disk. */
    juce::File getVideoFile (const juce::String& chapterId) const;
    juce::File getStateFile (const juce::String& chapterId) const;

    //==============================================================================
    int getNumCourses() const;
    juce::String getCourseId (int course) const;
    juce::String getCourseTitle (int course) const;
    juce::String getCourseDescription (int course) const;
    juce::URL getCourseUrl (int course) const;
    juce::URL getCourseCoverUrl (int course) const;
    juce::URL getCourseCreditsUrl (int course) const;
    juce::URL getCoursePartnersUrl (int course) const;
    int getNumLessons (int course) const;
    juce::String getLessonTitle (int course, int lesson) const;
    int getLessonOrder (int course, int lesson) const;
    int getNumChapters (int course, int lesson) const;
    juce::String getChapterId (int course, int lesson, int position) const;

    bool hasChapter (const juce::String& chapterId) const;
    juce::String getChapterTitle (const juce::String& chapterId) const;
    int getChapterOrder (const juce::String& chapterId) const;
    float getChapterDuration (const juce::String& chapterId) const;
    int getChapterSize (const juce::String& chapterId) const;
    juce::String getChapterMd5 (const juce::String& chapterId) const;
    juce::Time getChapterDate (const juce::String& chapterId) const;

    juce::String getUserId() const;
    juce::String getUserName() const;
    juce::URL getHomeUrl() const;
    juce::String getBaseUrl() const;
    juce::String getOfferedVersion() const;
    juce::URL getInstallerUrl() const;
    int getInstallerSize() const;

    /** Where a chapter is first listed; false when the catalog does not list it. */
    bool findChapterPosition (const juce::String& chapterId, int& course, int& lesson, int& position) const;

    //==============================================================================
    bool isVideoPresent (const juce::String& chapterId) const;
    juce::Time getTimestamp (const juce::String& chapterId) const;
    bool isYetToBeSeen (const juce::String& chapterId) const;
    bool isFavorite (const juce::String& chapterId) const;

    /** Where watching the chapter last stopped, in seconds of video time; 0 when never. */
    double getWatchedPosition (const juce::String& chapterId) const;
    int getNumMarkers (const juce::String& chapterId) const;
    double getMarkerTime (const juce::String& chapterId, int index) const;
    juce::String getMarkerText (const juce::String& chapterId, int index) const;
    int getMarkerType (const juce::String& chapterId, int index) const;

    /** Whether any chapter of a lesson, or of a course, is a favourite, unseen, has search hits,
        or has its video present (or absent, when videoPresent is false).
    */
    bool lessonHasFavorite (int course, int lesson) const;
    bool lessonHasUnseen (int course, int lesson) const;
    bool lessonHasSearchHits (int course, int lesson) const;
    bool lessonHasVideo (int course, int lesson, bool videoPresent) const;
    bool courseHasFavorite (int course) const;
    bool courseHasUnseen (int course) const;
    bool courseHasSearchHits (int course) const;
    bool courseHasVideo (int course, bool videoPresent) const;

    /** Change a chapter's state, save it when it changed, and broadcast as documented:
        "cs" (only when asked), "cf", "mc", "mm;<chapter>;<index>".
    */
    bool setYetToBeSeen (const juce::String& chapterId, bool shouldBeUnseen, juce::NotificationType notification);
    bool setFavorite (const juce::String& chapterId, bool shouldBeFavorite);
    void addMarker (const juce::String& chapterId, const juce::String& text, double seconds);
    void removeMarker (const juce::String& chapterId, int index);
    void setMarkerText (const juce::String& chapterId, int index, const juce::String& text);

    /** Keeps where watching the chapter stopped (a negative or non-finite time keeps 0), saves
        the state file when it changed and broadcasts "cw;<chapter>". Message thread, a few times
        a minute at most: every call that changes the value writes the file.
    */
    bool setWatchedPosition (const juce::String& chapterId, double seconds);

    /** The index of the nearest marker at or before (after) a time, less than 1,000,000 s
        away, the lowest index winning ties; -1 when none.
    */
    int findPreviousMarker (const juce::String& chapterId, double seconds) const;
    int findNextMarker (const juce::String& chapterId, double seconds) const;

    /** Deletes the chapter's folder and forgets its state; broadcasts "ca". False without a user. */
    bool removeChapter (const juce::String& chapterId);

    /** Copies the chapter's video and state files into a folder (backups). */
    bool copyChapterFilesTo (const juce::String& chapterId, const juce::File& folder);

    /** Copies a chapter's files back from a backup folder and reloads its state; "fr" on success. */
    bool restoreChapterFiles (const juce::String& chapterId, const juce::File& folder);

    //==============================================================================
    /** The download queue. */
    DownloadQueue& getDownloads() noexcept { return downloads; }
    const DownloadQueue& getDownloads() const noexcept { return downloads; }

    /** A chapter's expected "md5" and "size", read together; false when the catalog does not
        list the chapter.
    */
    bool getChapterDownloadInfo (const juce::String& chapterId, juce::String& md5, int& size) const;

    /** The extras downloader, or nullptr when the application gave none. */
    ExtrasDownloader* getExtrasDownloader() const noexcept { return extrasDownloader.get(); }

    /** How long a worker is given to stop before it is ended by force. */
    static constexpr int threadStopTimeoutMs = ThreadStop::timeoutMs;

    //==============================================================================
    /** The search database file: "data.dat" in the data folder. */
    juce::File getSearchDatabaseFile() const;

    /** Opens the search database read-only if it exists and starts building its index in the
        background; "cd" when it opened and asked to.
    */
    void openSearchDatabase (juce::NotificationType notification);

    /** Closes the search database if open, dropping its index; "cd" when it was open and asked
        to.
    */
    void closeSearchDatabase (juce::NotificationType notification);

    /** Puts a freshly built database in place of "data.dat" and reopens it; the new file is
        gone afterwards in every case.
    */
    void installSearchDatabase (bool use, const juce::File& newFile, juce::NotificationType notification);

    /** Whether the search database is open. Answers at once, even while a search holds the
        database.
    */
    bool isSearchDatabaseOpen() const;

    /** Creates and starts the search database updater at the lowest priority, unless one was
        made already in this run (it stays until Core goes, so the database is rebuilt at most
        once). Message thread.
    */
    void startSearchDatabaseUpdate();

    /** Runs a function with the open connection (or nullptr) while holding the database lock.
        Never call a catalog query from inside it.
    */
    template <typename Function>
    auto withSearchDatabase (Function&& function) const
    {
        const juce::ScopedLock sl (searchDbLock);
        return function (searchDb);
    }

    /** Runs a function with the open connection (or nullptr) and the index of that database
        (nullptr until it is built, or when it cannot be) while holding the database lock.
        Never call a catalog query from inside it.
    */
    template <typename Function>
    auto withSearchDatabaseAndIndex (Function&& function) const
    {
        const juce::ScopedLock sl (searchDbLock);
        return function (searchDb, searchIndex.get());
    }

    /** Waits until the index of the open database is built or found impossible, for callers
        that must know (tests, benchmarks); true when an index is in use.
    */
    bool waitForSearchIndex (int timeoutMs) const;

    //==============================================================================
    void setSearchWords (const juce::StringArray& words);
    juce::StringArray getSearchWords() const;
    void clearSearchHits();
    void addSearchHit (const juce::String& chapterId, double seconds);
    int getNumSearchHits (const juce::String& chapterId) const;
    double getSearchHitTime (const juce::String& chapterId, int index) const;
    int getTotalSearchHits() const;
    bool hasSearchHits (const juce::String& chapterId) const;

    /** Replaces the words and every hit of the last search in one step, so that readers never
        see the words of one search with the hits of another.
    */
    void setSearchResults (const juce::StringArray& words, SearchHits hits);

    /** Calls a function for each marker of each chapter listed by the catalog (courses, lessons,
        chapters and markers in order) with the chapter, the marker's label and its time, all
        under one read lock. The function must not change Core.
    */
    void visitMarkers (const std::function<void (const juce::String& chapterId, const juce::String& text, double seconds)>& visitor) const;

    /** Runs a function under the write lock if the lock can be taken at once (no other reader or
        writer); false, without running it, when the lock was busy.
    */
    template <typename Function>
    bool tryWithWriteLock (Function&& function)
    {
        if (! catalogLock.tryEnterWrite())
            return false;

        function();
        catalogLock.exitWrite();
        return true;
    }

    /** Runs a function under the read lock, so that no other thread changes the catalog or the
        local state meanwhile. Core's changes made by the same thread inside it are still
        granted while it is the only reader; other readers delay them.
    */
    template <typename Function>
    auto withReadLock (Function&& function) const
    {
        const juce::ScopedReadLock sl (catalogLock);
        return function();
    }

    /** The longest distance at which a marker is still found. */
    static constexpr double markerSearchRange = 1000000.0;

private:
    friend class DownloadQueue;

    const Chapter* findChapter (const juce::String& chapterId) const;
    const Course* findCourse (int course) const;
    const Lesson* findLesson (int course, int lesson) const;
    MovieLocalInfo* findLocalInfo (const juce::String& chapterId) const;
    juce::File userDirectoryLocked() const;
    juce::File chapterDirectoryLocked (const juce::String& chapterId) const;
    void rebuildLocalState();
    void loadLocalState (const juce::String& chapterId, MovieLocalInfo& info) const;
    void saveLocalState (const juce::String& chapterId) const;

    template <typename Predicate>
    bool anyChapterOfLesson (int course, int lesson, Predicate&& predicate) const;

    template <typename Predicate>
    bool anyChapterOfCourse (int course, Predicate&& predicate) const;

    int findMarker (const juce::String& chapterId, double seconds, bool previous) const;

    void recordCompletedDownloadLocked (const juce::String& chapterId);

    void startSearchIndexBuildLocked (const juce::File& databaseFile);
    void adoptSearchIndex (std::shared_ptr<const SearchDatabaseIndex> index, juce::uint64 generation);

    template <typename Value, typename Getter>
    Value readCourse (int course, Value fallback, Getter&& getter) const;

    template <typename Value, typename Getter>
    Value readChapter (const juce::String& chapterId, Value fallback, Getter&& getter) const;

    template <typename Value, typename Getter>
    Value readCatalog (Value fallback, Getter&& getter) const;

    template <typename Value, typename Getter>
    Value readLocalInfo (const juce::String& chapterId, Value fallback, Getter&& getter) const;

    juce::ReadWriteLock catalogLock;
    std::unique_ptr<Catalog> catalog;
    sqlite3* searchDb = nullptr;
    bool deferredWorkPending = false;
    juce::CriticalSection searchDbLock;
    std::atomic<bool> searchDbOpen { false };
    juce::File usersDirectory;
    std::unordered_map<juce::String, std::unique_ptr<MovieLocalInfo>> localInfos;
    SearchHits searchHits;
    juce::StringArray searchWords;
    const juce::File dataFolder;
    DownloadQueue downloads;
    std::unique_ptr<ExtrasDownloader> extrasDownloader;
    const std::function<std::unique_ptr<juce::Thread> (Core&)> makeSearchDatabaseUpdater;
    std::unique_ptr<juce::Thread> searchDbUpdater;
    juce::CriticalSection updaterLock;

    // Counts the openings and closings of the search database, so that an index built from an
    // earlier state is never taken for the current one. Both under searchDbLock.
    juce::uint64 searchDbGeneration = 0;
    std::shared_ptr<const SearchDatabaseIndex> searchIndex;

    CoreListenerList typedListeners { *this };

    // Last, so that it stops before anything its deliveries touch goes.
    SearchIndexBuilder searchIndexBuilder { [this] (std::shared_ptr<const SearchDatabaseIndex> index, juce::uint64 generation)
                                            { adoptSearchIndex (std::move (index), generation); } };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Core)
};
