#include "model/SearchIndexBuilder.h"
#include "search/TranscriptSearch.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>

using namespace SearchTestSupport;

/*
    Core keeps the index of the search database it has open: built when the database opens or a
    new one is installed, dropped when it closes, never the index of another file than the one
    open, and until it is ready the queries answer, with the same hits.
*/
namespace
{
constexpr int waitMs = 60000; // only a guard against a hang

/** Chapters named after a tag, each with the tag's own word, common words and stamps; enough
    words that building their index takes a while.
*/
std::vector<TestChapter> makeChapters (const juce::String& tag, int numChapters, int wordsPerChapter)
{
    const juce::StringArray vocabulary { "casa", "nuova", "e", "buon", "giorno", "case", "sole", tag };
    std::vector<TestChapter> chapters;

    for (int c = 0; c < numChapters; ++c)
    {
        TestChapter chapter { tag + juce::String (c), {}, {} };

        for (int w = 0; w < wordsPerChapter; ++w)
        {
            chapter.words.add (vocabulary[(w + c) % vocabulary.size()]);

            if (w % 20 == 0)
                chapter.stamps.emplace_back (w / 3 + c, w);
        }

        chapters.push_back (chapter);
    }

    return chapters;
}

/** What the four queries find on a database file, through a connection of the test's own. */
Core::SearchHits hitsByQueries (const juce::File& file, const juce::StringArray& words)
{
    sqlite3* db = nullptr;
    Core::SearchHits hits;

    if (sqlite3_open_v2 (file.getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
        TranscriptSearch::findSpokenWords (db, words, hits);

    sqlite3_close (db);
    return hits;
}

/** Every chapter's hits as Core holds them after its last search. */
Core::SearchHits hitsInCore (const Core& core, const std::vector<TestChapter>& chapters)
{
    Core::SearchHits hits;

    for (const auto& chapter : chapters)
        if (core.getNumSearchHits (chapter.id) > 0)
            hits[chapter.id] = hitsOf (core, chapter.id);

    return hits;
}

/** Runs the spoken part of a search the way the background search does, and says whether the
    index answered it.
*/
bool searchCore (const Core& core, const juce::StringArray& words, Core::SearchHits& hits)
{
    return core.withSearchDatabaseAndIndex ([&] (sqlite3* db, const SearchDatabaseIndex* index)
                                            {
        TranscriptSearch::findSpokenWords (db, index, words, hits);
        return index != nullptr; });
}

size_t countHits (const Core::SearchHits& hits)
{
    size_t total = 0;

    for (const auto& [chapter, times] : hits)
        total += times.size();

    return total;
}

class CoreSearchIndexTest : public ::testing::Test
{
protected:
    juce::File databaseFile() const { return scratch.folder.getChildFile ("data.dat"); }

    ScratchFolder scratch;
    const std::vector<juce::StringArray> searches { { "casa" }, { "buon", "giorno" }, { "e" }, { "old" }, { "new" }, { "sole", "", "casa" } };
};
} // namespace

TEST_F (CoreSearchIndexTest, IsAdoptedOnceTheDatabaseOpensAndAnswersAsTheQueries)
{
    const auto chapters = makeChapters ("old", 20, 400);
    ASSERT_TRUE (writeDatabase (databaseFile(), chapters));
    Core core (scratch.folder);

    ASSERT_TRUE (core.waitForSearchIndex (waitMs));

    for (const auto& words : searches)
    {
        Core::SearchHits hits;
        EXPECT_TRUE (searchCore (core, words, hits));
        EXPECT_EQ (hits, hitsByQueries (databaseFile(), words)) << words.joinIntoString (" ");
    }

    // The whole search on the message thread takes the same path and broadcasts its hits.
    core.setCatalog (makeCatalog ({ "old0", "old1" }));
    TranscriptSearch::search (core, { "old" });
    EXPECT_EQ (hitsInCore (core, chapters), hitsByQueries (databaseFile(), { "old" }));
    EXPECT_EQ (core.getTotalSearchHits(), 20 * 400 / 8);
}

TEST_F (CoreSearchIndexTest, SearchesBeforeTheIndexIsReadyRunTheQueriesWithTheSameHits)
{
    ASSERT_TRUE (writeDatabase (databaseFile(), makeChapters ("old", 50, 1000)));
    Core core (scratch.folder);

    // 50,000 words take far longer to index than the search just after opening takes to start.
    std::map<juce::String, Core::SearchHits> before;
    bool indexAnsweredEarly = false;

    // All of them under one hold of the database, so that the index cannot arrive in between.
    core.withSearchDatabaseAndIndex ([&] (sqlite3* db, const SearchDatabaseIndex* index)
                                     {
        indexAnsweredEarly = index != nullptr;

        for (const auto& words : searches)
            TranscriptSearch::findSpokenWords (db, index, words, before[words.joinIntoString (" ")]);

        return true; });

    EXPECT_FALSE (indexAnsweredEarly) << "the index was ready before the first searches";
    ASSERT_TRUE (core.waitForSearchIndex (waitMs));

    for (const auto& words : searches)
    {
        Core::SearchHits after;
        EXPECT_TRUE (searchCore (core, words, after));
        EXPECT_EQ (after, before[words.joinIntoString (" ")]) << words.joinIntoString (" ");
        EXPECT_EQ (countHits (after) == 0, words[0] == "new") << words.joinIntoString (" ");
    }
}

TEST_F (CoreSearchIndexTest, IsDroppedWhenTheDatabaseCloses)
{
    ASSERT_TRUE (writeDatabase (databaseFile(), makeChapters ("old", 5, 200)));
    Core core (scratch.folder);
    ASSERT_TRUE (core.waitForSearchIndex (waitMs));

    core.closeSearchDatabase (juce::dontSendNotification);

    EXPECT_FALSE (core.isSearchDatabaseOpen());
    EXPECT_TRUE (core.withSearchDatabaseAndIndex ([] (sqlite3* db, const SearchDatabaseIndex* index)
                                                  { return db == nullptr && index == nullptr; }));
    EXPECT_FALSE (core.waitForSearchIndex (waitMs));

    Core::SearchHits hits;
    EXPECT_FALSE (searchCore (core, { "e" }, hits));
    EXPECT_TRUE (hits.empty());

    // Opening again builds it again.
    core.openSearchDatabase (juce::dontSendNotification);
    ASSERT_TRUE (core.waitForSearchIndex (waitMs));
    EXPECT_TRUE (searchCore (core, { "e" }, hits));
    EXPECT_EQ (countHits (hits), 5u * 200u);
}

TEST_F (CoreSearchIndexTest, AnInstalledDatabaseIsIndexedAndTheOldIndexNeverAnswersForIt)
{
    ASSERT_TRUE (writeDatabase (databaseFile(), makeChapters ("old", 10, 300)));
    Core core (scratch.folder);
    ASSERT_TRUE (core.waitForSearchIndex (waitMs));

    const auto newChapters = makeChapters ("new", 12, 400);
    const auto newFile = scratch.folder.getChildFile ("data.new");
    ASSERT_TRUE (writeDatabase (newFile, newChapters));
    const auto copy = scratch.folder.getChildFile ("expected.dat");
    ASSERT_TRUE (newFile.copyFileTo (copy));

    core.installSearchDatabase (true, newFile, juce::dontSendNotification);
    EXPECT_FALSE (newFile.exists());

    // At once, whether or not the new index is ready yet: the new file's hits, none of the old.
    for (const auto& words : searches)
    {
        Core::SearchHits hits;
        searchCore (core, words, hits);
        EXPECT_EQ (hits, hitsByQueries (copy, words)) << words.joinIntoString (" ");
    }

    ASSERT_TRUE (core.waitForSearchIndex (waitMs));

    for (const auto& words : searches)
    {
        Core::SearchHits hits;
        EXPECT_TRUE (searchCore (core, words, hits));
        EXPECT_EQ (hits, hitsByQueries (copy, words)) << words.joinIntoString (" ");
    }

    Core::SearchHits oldWords;
    searchCore (core, { "old" }, oldWords);
    EXPECT_TRUE (oldWords.empty());
}

TEST_F (CoreSearchIndexTest, AnIndexStillBeingBuiltForAReplacedDatabaseIsNeverAdopted)
{
    // A large old database whose index is still being built when the small new one arrives.
    ASSERT_TRUE (writeDatabase (databaseFile(), makeChapters ("old", 200, 1000)));
    Core core (scratch.folder);

    const auto newFile = scratch.folder.getChildFile ("data.new");
    ASSERT_TRUE (writeDatabase (newFile, makeChapters ("new", 3, 100)));
    const auto copy = scratch.folder.getChildFile ("expected.dat");
    ASSERT_TRUE (newFile.copyFileTo (copy));
    core.installSearchDatabase (true, newFile, juce::dontSendNotification);

    ASSERT_TRUE (core.waitForSearchIndex (waitMs));

    Core::SearchHits hits;
    EXPECT_TRUE (searchCore (core, { "e" }, hits));
    EXPECT_EQ (countHits (hits), 300u);
    EXPECT_EQ (hits, hitsByQueries (copy, { "e" }));
    EXPECT_TRUE (core.withSearchDatabaseAndIndex ([] (sqlite3*, const SearchDatabaseIndex* index)
                                                  { return index != nullptr && index->getNumWords() == 300u; }));
}

TEST_F (CoreSearchIndexTest, AFailedInstallKeepsTheOldDatabaseAndItsIndex)
{
    ASSERT_TRUE (writeDatabase (databaseFile(), makeChapters ("old", 4, 96)));
    Core core (scratch.folder);
    ASSERT_TRUE (core.waitForSearchIndex (waitMs));

    // Nothing to install: the old database stays open with its index.
    core.installSearchDatabase (true, scratch.folder.getChildFile ("missing.new"), juce::dontSendNotification);

    Core::SearchHits hits;
    EXPECT_TRUE (searchCore (core, { "old" }, hits));
    EXPECT_EQ (hits, hitsByQueries (databaseFile(), { "old" }));
    EXPECT_EQ (countHits (hits), 4u * 96u / 8u);
}

TEST_F (CoreSearchIndexTest, IsNeverBuiltOnTheMessageThread)
{
    ASSERT_TRUE (writeDatabase (databaseFile(), makeChapters ("old", 2, 50)));
    sqlite3* db = nullptr;
    ASSERT_EQ (sqlite3_open_v2 (databaseFile().getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);

    ASSERT_TRUE (juce::MessageManager::existsAndIsCurrentThread());
    EXPECT_EQ (SearchDatabaseIndex::build (db), nullptr);

    const auto index = buildIndexOffMessageThread (db);
    ASSERT_NE (index, nullptr);
    EXPECT_EQ (index->getNumWords(), 100u);
    sqlite3_close (db);

    // The builder delivers from its own thread.
    std::atomic<bool> deliveredOnMessageThread { true };
    juce::WaitableEvent delivered;
    SearchIndexBuilder builder ([&] (std::shared_ptr<const SearchDatabaseIndex> built, juce::uint64 generation)
                                {
        deliveredOnMessageThread = juce::MessageManager::existsAndIsCurrentThread() || built == nullptr || generation != 7;
        delivered.signal(); });

    sqlite3* connection = nullptr;
    ASSERT_EQ (sqlite3_open_v2 (databaseFile().getFullPathName().toRawUTF8(), &connection, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    builder.build (connection, 7);
    ASSERT_TRUE (delivered.wait (waitMs));
    EXPECT_FALSE (deliveredOnMessageThread.load());
}
