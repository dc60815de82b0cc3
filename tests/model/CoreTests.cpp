#include "model/CoreRegistry.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/LocalStorage.h"

#include "tests/common/CoreBroadcasts.h"
#include "tests/common/JucePrinters.h"
#include "tests/common/MessagePump.h"
#include "model/Notifications.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <optional>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::unique_ptr<Catalog> makeCatalog (const juce::String& userId, const juce::StringArray& chapterIds)
{
    juce::XmlElement root ("catalog");
    root.setAttribute ("userid", userId);
    root.setAttribute ("username", "Test User");
    auto* course = root.createNewChildElement ("course");
    course->setAttribute ("id", "c1");
    course->setAttribute ("title", "Course one");
    juce::XmlElement* lesson = nullptr;

    for (int i = 0; i < chapterIds.size(); ++i)
    {
        // The first two chapters form lesson 0, the rest lesson 1.
        if (i == 0 || i == 2)
            lesson = course->createNewChildElement ("lesson");

        auto* chapter = lesson->createNewChildElement ("chapter");
        chapter->setAttribute ("id", chapterIds[i]);
        chapter->setAttribute ("title", "T" + juce::String (i));
        chapter->setAttribute ("date", "2013-05-10");
    }

    auto catalog = std::make_unique<Catalog>();
    EXPECT_TRUE (CatalogParser::parseCatalog (*catalog, root, true));
    return catalog;
}

/** Writes a file, making its folders first. */
bool writeFile (const juce::File& file, const juce::String& text)
{
    return file.getParentDirectory().createDirectory() && file.replaceWithText (text);
}

/** A thread running one function, standing in for the program's worker threads. */
struct Runner final : juce::Thread
{
    explicit Runner (std::function<void()> w) : Thread ("core-test"), work (std::move (w)) {}
    void run() override { work(); }
    std::function<void()> work;
};

using Messages = CoreBroadcasts;

class CoreTest : public ::testing::Test
{
protected:
    void SetUp() override { root.createDirectory(); }
    void TearDown() override
    {
        core = nullptr;
        root.deleteRecursively();
    }

    Core& install (const juce::String& userId, const juce::StringArray& chapterIds)
    {
        core->setUsersDirectory (users, juce::dontSendNotification);
        EXPECT_TRUE (core->setCatalog (makeCatalog (userId, chapterIds)));
        return *core;
    }

    /** Every file below the test folder, except those inside the allowed folders. */
    juce::StringArray filesOutside (const juce::Array<juce::File>& allowed) const
    {
        juce::StringArray result;

        for (const auto& entry : juce::RangedDirectoryIterator (root, true, "*", juce::File::findFilesAndDirectories))
            if (std::none_of (allowed.begin(), allowed.end(), [&entry] (const juce::File& a) { return entry.getFile().isAChildOf (a) || entry.getFile() == a; }))
                result.add (entry.getFile().getFullPathName() + ":" + juce::String (entry.getFile().getSize()));

        result.sort (false);
        return result;
    }

    juce::File root = juce::File::createTempFile ("tsy-core");
    juce::File data = root.getChildFile ("data");
    juce::File users = root.getChildFile ("movies/users");
    std::unique_ptr<Core> core = std::make_unique<Core> (data);
};
} // namespace

TEST_F (CoreTest, JoinsTokensAndRegistersItself)
{
    EXPECT_EQ (Core::joinTokens ({}), "");
    EXPECT_EQ (Core::joinTokens ({ "cc" }), "cc");
    EXPECT_EQ (Core::joinTokens ({ "mm", "ch1", "2" }), "mm;ch1;2");

    const auto before = CoreRegistry::size();
    {
        Core another (data);
        EXPECT_EQ (CoreRegistry::size(), before + 1);
    }
    EXPECT_EQ (CoreRegistry::size(), before);
}

TEST_F (CoreTest, NoCatalogAnswersNeutrally)
{
    EXPECT_EQ (core->getNumCourses(), 0);
    EXPECT_FALSE (core->hasUser());
    EXPECT_EQ (core->getUserDirectory(), juce::File());
    EXPECT_FALSE (core->isVideoPresent ("x"));
    EXPECT_FALSE (core->setFavorite ("x", true));
    EXPECT_FALSE (core->setCatalog (nullptr));
}

TEST_F (CoreTest, ACatalogIsAnnouncedOnce)
{
    Messages messages (*core);
    core->setUsersDirectory (users, juce::dontSendNotification);
    EXPECT_TRUE (core->setCatalog (makeCatalog ("u1", { "a", "b" })));
    EXPECT_EQ (messages.drain(), juce::StringArray ({ Notifications::catalogChanged }));
    EXPECT_TRUE (users.getChildFile ("u1").isDirectory()) << "a user's folder is made when the catalog arrives";
    EXPECT_EQ (core->getChapterDirectory ("a"), users.getChildFile ("u1/a"));
    EXPECT_EQ (core->getVideoFile ("a"), users.getChildFile ("u1/a/a.bin"));
}

TEST_F (CoreTest, UsersDirectoryChangesOnlyWhenDifferent)
{
    install ("u1", { "a" });
    Messages messages (*core);
    EXPECT_TRUE (core->setUsersDirectory (users, juce::sendNotification));
    EXPECT_TRUE (messages.drain().isEmpty());

    ASSERT_TRUE (core->setFavorite ("a", true));
    messages.drain();

    // A movies root without a "users" child: every chapter back to defaults, no video.
    const auto elsewhere = root.getChildFile ("other/users");
    EXPECT_TRUE (core->setUsersDirectory (elsewhere, juce::sendNotification));
    EXPECT_EQ (messages.drain(), juce::StringArray ({ Notifications::usersDirectoryChanged }));
    EXPECT_FALSE (core->isFavorite ("a"));
    EXPECT_FALSE (core->isVideoPresent ("a"));

    core->setUsersDirectory (users, juce::dontSendNotification);
    EXPECT_TRUE (core->isFavorite ("a")) << "state is reloaded from the original folder";
    EXPECT_TRUE (messages.drain().isEmpty());
}

TEST_F (CoreTest, LocalStateIsLoadedSavedAndAnnounced)
{
    const auto chapterFolder = users.getChildFile ("u1/127");
    ASSERT_TRUE (chapterFolder.createDirectory());
    ASSERT_TRUE (chapterFolder.getChildFile ("127.bin").replaceWithText ("video"));
    ASSERT_TRUE (chapterFolder.getChildFile ("127.xml").replaceWithText (
        "<local timestamp='42' yetToBeSeen='1' favorite='0'><marker type='normal' text='m' time='3'/></local>"));

    auto& c = install ("u1", { "12/7", "b", "c" });
    EXPECT_TRUE (c.isVideoPresent ("12/7"));
    EXPECT_TRUE (c.isYetToBeSeen ("12/7"));
    EXPECT_EQ (c.getTimestamp ("12/7").toMilliseconds(), 42);
    EXPECT_EQ (c.getNumMarkers ("12/7"), 1);
    EXPECT_FALSE (c.isVideoPresent ("b"));

    Messages messages (c);
    EXPECT_TRUE (c.setYetToBeSeen ("12/7", false, juce::dontSendNotification));
    EXPECT_FALSE (c.setYetToBeSeen ("12/7", false, juce::sendNotification));
    EXPECT_TRUE (c.setYetToBeSeen ("b", true, juce::sendNotification));
    EXPECT_TRUE (c.setFavorite ("c", true));
    EXPECT_FALSE (c.setFavorite ("c", true));
    c.addMarker ("b", "first", 10.0);
    c.setMarkerText ("b", 0, "renamed");
    c.setMarkerText ("b", 0, "renamed");
    c.removeMarker ("12/7", 0);
    const juce::StringArray expected { Core::joinTokens ({ Notifications::seenChanged, "b" }),
                                       Core::joinTokens ({ Notifications::favoriteChanged, "c" }),
                                       Core::joinTokens ({ Notifications::markersChanged, "b" }),
                                       Core::joinTokens ({ Notifications::markerModified, "b", "0" }),
                                       Core::joinTokens ({ Notifications::markersChanged, "12/7" }) };
    EXPECT_EQ (messages.drain(), expected);

    MovieLocalInfo saved;
    ASSERT_TRUE (LocalStorage::loadState (saved, users.getChildFile ("u1/b/b.xml")));
    EXPECT_TRUE (saved.yetToBeSeen);
    EXPECT_EQ (saved.getMarkerText (0), "renamed");
    EXPECT_TRUE (users.getChildFile ("u1/c/c.xml").existsAsFile());

    EXPECT_TRUE (c.lessonHasFavorite (0, 1));
    EXPECT_FALSE (c.lessonHasFavorite (0, 0));
    EXPECT_TRUE (c.lessonHasUnseen (0, 0));
    EXPECT_TRUE (c.courseHasVideo (0, true));
    EXPECT_TRUE (c.lessonHasVideo (0, 1, false));
    EXPECT_FALSE (c.lessonHasVideo (0, 1, true));
    EXPECT_TRUE (c.courseHasFavorite (0));
}

TEST_F (CoreTest, AnonymousCatalogKeepsStateInMemory)
{
    core->setUsersDirectory (users, juce::dontSendNotification);
    ASSERT_TRUE (core->setCatalog (makeCatalog ({}, { "a" })));
    EXPECT_FALSE (core->hasUser());
    EXPECT_TRUE (core->setFavorite ("a", true));
    EXPECT_TRUE (core->isFavorite ("a"));
    EXPECT_FALSE (core->removeChapter ("a"));
    EXPECT_FALSE (users.exists());
}

TEST_F (CoreTest, MarkerSearch)
{
    auto& c = install ("u1", { "a" });
    c.addMarker ("a", "twenty", 20.0);
    c.addMarker ("a", "ten", 10.0);
    c.addMarker ("a", "again twenty", 20.0);

    EXPECT_EQ (c.findPreviousMarker ("a", 15.0), 1);
    EXPECT_EQ (c.findNextMarker ("a", 15.0), 0);
    EXPECT_EQ (c.findPreviousMarker ("a", 5.0), -1);
    EXPECT_EQ (c.findPreviousMarker ("a", 20.0), 0) << "a marker exactly at the time counts; lowest index on ties";
    EXPECT_EQ (c.findNextMarker ("a", 20.0), 0);
    EXPECT_EQ (c.findNextMarker ("a", 25.0), -1);

    c.addMarker ("a", "far", 1000000.0);
    EXPECT_EQ (c.findNextMarker ("a", 0.0), 1) << "the far marker is not nearer";
    c.removeMarker ("a", 0);
    c.removeMarker ("a", 0);
    c.removeMarker ("a", 0);
    EXPECT_EQ (c.findNextMarker ("a", 0.0), -1) << "a marker 1,000,000 s away is never found";
    EXPECT_EQ (c.findNextMarker ("a", 0.5), 0);
}

TEST_F (CoreTest, RemoveChapterForgetsEverything)
{
    auto& c = install ("u1", { "a", "b" });
    ASSERT_TRUE (writeFile (users.getChildFile ("u1/a/a.bin"), "video"));
    ASSERT_TRUE (writeFile (users.getChildFile ("u1/b/b.bin"), "other video"));
    c.setUsersDirectory (root, juce::dontSendNotification);
    c.setUsersDirectory (users, juce::dontSendNotification);
    ASSERT_TRUE (c.isVideoPresent ("a"));
    c.setFavorite ("a", true);
    c.setYetToBeSeen ("a", true, juce::dontSendNotification);
    c.addMarker ("a", "m", 1.0);

    Messages messages (c);
    EXPECT_TRUE (c.removeChapter ("a"));
    EXPECT_EQ (messages.drain(), juce::StringArray ({ Core::joinTokens ({ Notifications::chapterRemoved, "a" }) }));
    EXPECT_FALSE (c.isFavorite ("a"));
    EXPECT_FALSE (c.isYetToBeSeen ("a"));
    EXPECT_FALSE (c.isVideoPresent ("a"));
    EXPECT_EQ (c.getNumMarkers ("a"), 0);
    EXPECT_FALSE (users.getChildFile ("u1/a").exists());
    EXPECT_TRUE (users.getChildFile ("u1/b/b.bin").existsAsFile()) << "only the chapter's own folder goes";
}

TEST_F (CoreTest, CopyAndRestoreChapterFiles)
{
    auto& c = install ("u1", { "a" });
    ASSERT_TRUE (writeFile (users.getChildFile ("u1/a/a.bin"), "video"));
    c.addMarker ("a", "kept", 7.0);
    const auto backup = root.getChildFile ("backup");

    EXPECT_TRUE (c.copyChapterFilesTo ("a", backup));
    EXPECT_EQ (backup.getChildFile ("a.bin").loadFileAsString(), "video");
    EXPECT_TRUE (backup.getChildFile ("a.xml").existsAsFile());

    ASSERT_TRUE (c.removeChapter ("a"));
    Messages messages (c);
    EXPECT_TRUE (c.restoreChapterFiles ("a", backup));
    EXPECT_EQ (messages.drain(), juce::StringArray ({ Core::joinTokens ({ Notifications::chapterRestored, "a" }) }));
    EXPECT_TRUE (c.isVideoPresent ("a"));
    EXPECT_EQ (c.getMarkerText ("a", 0), "kept");

    EXPECT_FALSE (c.restoreChapterFiles ("a", root.getChildFile ("empty")));
    EXPECT_TRUE (messages.drain().isEmpty());
}

TEST_F (CoreTest, HostileIdentifiersNeverTouchFilesOutsideTheUserFolder)
{
    // Sentinels where a naive path join would land.
    ASSERT_TRUE (writeFile (users.getChildFile ("victim.bin"), "keep"));
    ASSERT_TRUE (writeFile (users.getChildFile ("u1/keep.txt"), "keep"));
    ASSERT_TRUE (writeFile (root.getChildFile ("movies/other.xml"), "keep"));
    // The user's own folder and the backup folder the user chose are the only places written.
    const auto backup = root.getChildFile ("backup");
    const juce::Array<juce::File> allowed { users.getChildFile ("u1"), backup };
    const auto before = filesOutside (allowed);

    const juce::StringArray hostile { "..", ".", "a/..", "///", "@@", juce::String::repeatedString ("z", 200) };
    auto& c = install ("u1", hostile);

    for (const auto& id : hostile)
    {
        c.setFavorite (id, true);
        c.addMarker (id, "m", 1.0);
        c.setYetToBeSeen (id, true, juce::dontSendNotification);
        c.removeChapter (id);
        c.copyChapterFilesTo (id, backup);
        c.restoreChapterFiles (id, backup);
    }

    for (auto unsafe : { "..", ".", "///", "@@" })
    {
        EXPECT_EQ (c.getChapterDirectory (unsafe), juce::File()) << unsafe;
        EXPECT_FALSE (c.isVideoPresent (unsafe));
    }

    EXPECT_EQ (filesOutside (allowed), before);
    EXPECT_TRUE (users.getChildFile ("u1/keep.txt").existsAsFile());
    EXPECT_TRUE (users.getChildFile ("u1/a..").isDirectory()) << "\"a/..\" is the ordinary name \"a..\"";

    // A user id that names no folder of its own makes the catalog storage-less.
    ASSERT_TRUE (c.setCatalog (makeCatalog ("..", { "b" })));
    EXPECT_TRUE (c.hasUser());
    EXPECT_EQ (c.getUserDirectory(), juce::File());
    c.setFavorite ("b", true);
    EXPECT_FALSE (c.removeChapter ("b"));
    EXPECT_FALSE (c.copyChapterFilesTo ("b", backup));
    EXPECT_EQ (filesOutside (allowed), before);
}

TEST_F (CoreTest, SearchDatabaseOpenCloseAndInstall)
{
    // Listens to the first Core only, and goes with it.
    std::optional<Messages> messages;
    messages.emplace (*core);
    EXPECT_FALSE (core->isSearchDatabaseOpen());
    core->closeSearchDatabase (juce::sendNotification);
    EXPECT_TRUE (messages->drain().isEmpty()) << "closing a closed database says nothing";

    const auto makeDatabase = [this] (const juce::String& name) {
        const auto file = root.getChildFile (name);
        sqlite3* db = nullptr;
        EXPECT_EQ (sqlite3_open (file.getFullPathName().toRawUTF8(), &db), SQLITE_OK);
        EXPECT_EQ (sqlite3_exec (db, "CREATE TABLE main.words (idmovie VARCHAR(255), wordindex INTEGER, word VARCHAR(255))", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close (db);
        return file;
    };

    ASSERT_TRUE (data.createDirectory());
    core->installSearchDatabase (true, makeDatabase ("fresh.tsy"), juce::sendNotification);
    EXPECT_TRUE (core->isSearchDatabaseOpen());
    EXPECT_TRUE (core->getSearchDatabaseFile().existsAsFile());
    EXPECT_FALSE (root.getChildFile ("fresh.tsy").exists());
    EXPECT_EQ (messages->drain(), juce::StringArray ({ Notifications::searchDatabaseChanged })) << "opened again; the close found nothing open";

    core->installSearchDatabase (true, root.getChildFile ("missing.tsy"), juce::sendNotification);
    EXPECT_TRUE (core->isSearchDatabaseOpen()) << "a missing file leaves the old database open";
    EXPECT_TRUE (messages->drain().isEmpty());

    const auto unused = makeDatabase ("unused.tsy");
    core->installSearchDatabase (false, unused, juce::sendNotification);
    EXPECT_FALSE (unused.exists()) << "an unused file is deleted";
    EXPECT_TRUE (messages->drain().isEmpty());

    const auto tables = core->withSearchDatabase ([] (sqlite3* db) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2 (db, "SELECT count(*) FROM sqlite_master", -1, &statement, nullptr);
        const auto count = sqlite3_step (statement) == SQLITE_ROW ? sqlite3_column_int (statement, 0) : -1;
        sqlite3_finalize (statement);
        return count;
    });
    EXPECT_EQ (tables, 1);

    // A new Core opens the existing database by itself, without a broadcast.
    messages.reset();
    core = nullptr;
    core = std::make_unique<Core> (data);
    EXPECT_TRUE (core->isSearchDatabaseOpen());

    core->closeSearchDatabase (juce::sendNotification);
    Messages after (*core);
    core->closeSearchDatabase (juce::sendNotification);
    EXPECT_TRUE (after.drain().isEmpty());
}

TEST_F (CoreTest, SearchHits)
{
    auto& c = install ("u1", { "a", "b", "c" });
    c.setSearchWords ({ "hello", "world" });
    c.addSearchHit ("c", 12.0);
    c.addSearchHit ("c", 30.5);
    c.addSearchHit ("a", 1.0);
    EXPECT_EQ (c.getSearchWords(), juce::StringArray ({ "hello", "world" }));
    EXPECT_EQ (c.getNumSearchHits ("c"), 2);
    EXPECT_DOUBLE_EQ (c.getSearchHitTime ("c", 1), 30.5);
    EXPECT_EQ (c.getTotalSearchHits(), 3);
    EXPECT_TRUE (c.lessonHasSearchHits (0, 1));
    EXPECT_FALSE (c.hasSearchHits ("b"));
    c.clearSearchHits();
    EXPECT_EQ (c.getTotalSearchHits(), 0);
    EXPECT_FALSE (c.courseHasSearchHits (0));
}

TEST_F (CoreTest, TheSearchDatabaseUpdaterIsMadeOnceAndStoppedWithCore)
{
    // An updater that runs until it is told to stop, as a long indexing does.
    struct Updater final : juce::Thread
    {
        explicit Updater (std::atomic<int>& s) : Thread ("updateSearchDatabase"), stops (s) {}
        ~Updater() override { stopThread (10000); }

        void run() override
        {
            ranInBackground = getPriority() == Priority::background;

            while (! threadShouldExit())
                wait (-1);

            ++stops;
        }

        std::atomic<int>& stops;
        std::atomic<bool> ranInBackground { false };
    };

    std::atomic<int> made { 0 }, stops { 0 };
    Updater* updater = nullptr;
    Core::Workers workers;
    workers.makeSearchDatabaseUpdater = [&] (Core&) -> std::unique_ptr<juce::Thread> {
        ++made;
        auto thread = std::make_unique<Updater> (stops);
        updater = thread.get();
        return thread;
    };
    core = std::make_unique<Core> (data, std::move (workers));
    EXPECT_EQ (made, 0) << "nothing is indexed before it is asked for";

    core->startSearchDatabaseUpdate();
    ASSERT_NE (updater, nullptr);
    EXPECT_TRUE (MessagePump::runUntil ([&] { return updater->ranInBackground.load(); })) << "started at the lowest priority";

    core->startSearchDatabaseUpdate();
    EXPECT_EQ (made, 1) << "once per run";

    core = nullptr;
    EXPECT_EQ (stops, 1) << "Core stops the updater before it goes";

    core = std::make_unique<Core> (data);
    core->startSearchDatabaseUpdate();
    EXPECT_EQ (made, 1) << "without a factory nothing is made";
}

TEST_F (CoreTest, ConcurrentReadersAndWritersStayConsistent)
{
    juce::StringArray ids;

    for (int i = 0; i < 40; ++i)
        ids.add ("ch" + juce::String (i));

    auto& c = install ("u1", ids);
    std::atomic<bool> failed { false }, done { false }, timedOut { false };
    std::atomic<int> writes { 0 };
    juce::Array<juce::Thread*> threads;

    const auto spawn = [&threads] (std::function<void()> work) {
        auto* runner = new Runner (std::move (work));
        runner->startThread();
        threads.add (runner);
    };

    // Interface-like readers walk the whole tree.
    for (int r = 0; r < 3; ++r)
        spawn ([&] {
            while (! done)
                for (int course = 0; course < c.getNumCourses(); ++course)
                    for (int lesson = 0; lesson < c.getNumLessons (course); ++lesson)
                        for (int p = 0; p < c.getNumChapters (course, lesson); ++p)
                        {
                            const auto id = c.getChapterId (course, lesson, p);
                            const auto markers = c.getNumMarkers (id);

                            if (id.isNotEmpty() && (markers < 0 || c.getChapterTitle (id).isEmpty()))
                                failed = true;
                        }
        });

    // Download-like writers change local state.
    for (int w = 0; w < 2; ++w)
        spawn ([&, w] {
            for (int i = 0; ! done; ++i)
            {
                const auto id = ids[(i * 7 + w) % ids.size()];
                c.setFavorite (id, (i & 1) != 0);
                c.addMarker (id, "m", (double) i);

                if (c.getNumMarkers (id) > 3)
                    c.removeMarker (id, 0);

                ++writes;
            }
        });

    // A refresh-like writer replaces the catalog again and again, until ten catalogs have gone
    // in among twenty changes of local state: counted, not timed, so a slow machine only takes
    // longer. The deadline only catches a hang.
    spawn ([&] {
        const auto deadline = juce::Time::getMillisecondCounter() + 60000;

        for (int installed = 0; installed < 10 || writes < 20; ++installed)
        {
            if (juce::Time::getMillisecondCounter() > deadline)
            {
                timedOut = true;
                break;
            }

            c.setCatalog (makeCatalog ("u1", ids));
        }

        done = true;
    });

    for (auto* thread : threads)
    {
        EXPECT_TRUE (thread->stopThread (90000)) << "a thread did not finish in time";
        delete thread;
    }

    EXPECT_FALSE (failed.load());
    EXPECT_FALSE (timedOut.load()) << "the threads made too little progress: " << writes.load() << " changes of local state";
    EXPECT_EQ (c.getNumChapters (0, 0) + c.getNumChapters (0, 1), ids.size());

    for (const auto& id : ids)
    {
        MovieLocalInfo onDisk;
        const auto stateFile = users.getChildFile ("u1").getChildFile (id).getChildFile (id + ".xml");

        if (stateFile.existsAsFile())
        {
            ASSERT_TRUE (LocalStorage::loadState (onDisk, stateFile)) << "a state file was torn";
            EXPECT_EQ (onDisk.favorite, c.isFavorite (id));
            EXPECT_EQ (onDisk.getNumMarkers(), c.getNumMarkers (id));
        }
    }
}

namespace
{
/** A database file of about this many bytes, with one table of filler rows. */
juce::File makeFilledDatabase (const juce::File& file, int approximateBytes)
{
    sqlite3* db = nullptr;
    EXPECT_EQ (sqlite3_open (file.getFullPathName().toRawUTF8(), &db), SQLITE_OK);
    sqlite3_exec (db, "CREATE TABLE main.words (idmovie VARCHAR(255), wordindex INTEGER, word VARCHAR(255))", nullptr, nullptr, nullptr);
    sqlite3_exec (db, "BEGIN", nullptr, nullptr, nullptr);

    for (int i = 0; i < approximateBytes / 120; ++i)
        sqlite3_exec (db, ("INSERT INTO main.words VALUES ('c" + juce::String (i) + "', " + juce::String (i) + ", '"
                           + juce::String::repeatedString ("w", 100) + "')").toRawUTF8(), nullptr, nullptr, nullptr);

    sqlite3_exec (db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close (db);
    return file;
}

/** A small file system of its own (tmpfs), so a test can fill it; unmounted at the end. */
struct SmallFileSystem
{
    explicit SmallFileSystem (const juce::File& folder) : mountPoint (folder)
    {
        mountPoint.createDirectory();
        mounted = std::system (("mount -t tmpfs -o size=256k tmpfs '" + mountPoint.getFullPathName() + "' 2>/dev/null").toRawUTF8()) == 0;
    }

    ~SmallFileSystem()
    {
        if (mounted)
            std::system (("umount -l '" + mountPoint.getFullPathName() + "'").toRawUTF8());
    }

    /** Writes filler until the file system has no room left. */
    void fill() const
    {
        juce::FileOutputStream filler (mountPoint.getChildFile ("filler"));
        const juce::MemoryBlock block (4096, true);

        while (filler.write (block.getData(), block.getSize()) && filler.getPosition() < (1 << 20))
            filler.flush();
    }

    juce::File mountPoint;
    bool mounted = false;
};
} // namespace

TEST_F (CoreTest, AFullDataFolderKeepsTheOldSearchDatabaseWhole)
{
    core = nullptr;
    SmallFileSystem small (data);

    if (! small.mounted)
        GTEST_SKIP() << "mounting a tmpfs needs root";

    const auto old = makeFilledDatabase (data.getChildFile ("data.dat"), 100000);
    juce::MemoryBlock before;
    ASSERT_TRUE (old.loadFileAsData (before));
    small.fill();

    core = std::make_unique<Core> (data);
    ASSERT_TRUE (core->isSearchDatabaseOpen());
    const auto fresh = makeFilledDatabase (root.getChildFile ("fresh.tsy"), 150000);
    core->installSearchDatabase (true, fresh, juce::sendNotification);

    juce::MemoryBlock after;
    ASSERT_TRUE (old.loadFileAsData (after));
    EXPECT_EQ (after.getSize(), before.getSize()) << "the copy that did not fit never replaced the old file";
    EXPECT_TRUE (after == before);
    EXPECT_TRUE (core->isSearchDatabaseOpen()) << "the old database is open again";
    EXPECT_FALSE (fresh.exists());
    EXPECT_EQ (data.findChildFiles (juce::File::findFiles, false, "*", juce::File::FollowSymlinks::no).size(), 2) << "no partial copy is left behind";

    core = nullptr;
}

TEST_F (CoreTest, APipeInPlaceOfTheSearchDatabaseIsNeverOpened)
{
    core = nullptr;
    ASSERT_TRUE (data.createDirectory());
    const auto pipe = data.getChildFile ("data.dat");
    ASSERT_EQ (mkfifo (pipe.getFullPathName().toRawUTF8(), 0600), 0);

    std::atomic<bool> built { false };
    Runner builder ([&] {
        core = std::make_unique<Core> (data);
        built = true;
    });
    builder.startThread();
    const auto ready = builder.waitForThreadToExit (10000);

    if (! ready)
    {
        // Lets a blocked open go on, so the test fails instead of hanging.
        const auto fd = open (pipe.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK);
        builder.waitForThreadToExit (-1);
        close (fd);
    }

    EXPECT_TRUE (ready) << "building Core blocked on the pipe";
    ASSERT_TRUE (built);
    EXPECT_FALSE (core->isSearchDatabaseOpen());
}

TEST_F (CoreTest, TheWatchedPositionIsSavedAnnouncedAndForgottenWithTheChapter)
{
    auto& c = install ("u1", { "a", "b" });
    ASSERT_TRUE (writeFile (users.getChildFile ("u1/a/a.bin"), "video"));
    c.setUsersDirectory (root, juce::dontSendNotification);
    c.setUsersDirectory (users, juce::dontSendNotification);
    c.setFavorite ("a", true);
    c.addMarker ("a", "m", 1.0);

    {
        // The listener goes before the Core it listens to does, below.
        Messages messages (c);
        EXPECT_TRUE (c.setWatchedPosition ("a", 125.5));
        EXPECT_FALSE (c.setWatchedPosition ("a", 125.5)) << "an unchanged position writes and announces nothing";
        EXPECT_FALSE (c.setWatchedPosition ("not in the catalog", 3.0));
        EXPECT_FALSE (c.setWatchedPosition ("b", -4.0)) << "a negative time keeps 0, which b already has";
        EXPECT_EQ (messages.drain(), juce::StringArray ({ Core::joinTokens ({ Notifications::watchedPositionChanged, "a" }) }));
    }

    EXPECT_DOUBLE_EQ (c.getWatchedPosition ("a"), 125.5);
    EXPECT_EQ (c.getWatchedPosition ("b"), 0.0);
    EXPECT_FALSE (users.getChildFile ("u1/b").exists()) << "nothing changed for b, so nothing was written";

    // Saved with the rest of the state, through a temporary file beside it.
    MovieLocalInfo saved;
    ASSERT_TRUE (LocalStorage::loadState (saved, users.getChildFile ("u1/a/a.xml")));
    EXPECT_DOUBLE_EQ (saved.position, 125.5);
    EXPECT_TRUE (saved.favorite);
    EXPECT_EQ (saved.getNumMarkers(), 1);
    EXPECT_EQ (users.getChildFile ("u1/a").getNumberOfChildFiles (juce::File::findFiles), 2) << "the video and the state file, no temporary left";

    // Another run reads it back.
    core = nullptr;
    core = std::make_unique<Core> (data);
    auto& again = install ("u1", { "a", "b" });
    EXPECT_DOUBLE_EQ (again.getWatchedPosition ("a"), 125.5);

    EXPECT_TRUE (again.removeChapter ("a"));
    EXPECT_EQ (again.getWatchedPosition ("a"), 0.0);
}

TEST_F (CoreTest, AnAnonymousCatalogKeepsTheWatchedPositionInMemoryOnly)
{
    auto& c = install ({}, { "a" });
    EXPECT_TRUE (c.setWatchedPosition ("a", 30.0));
    EXPECT_DOUBLE_EQ (c.getWatchedPosition ("a"), 30.0);
    EXPECT_FALSE (users.exists() && users.findChildFiles (juce::File::findFilesAndDirectories, true).size() > 0);
}
