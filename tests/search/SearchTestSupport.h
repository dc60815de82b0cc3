#pragma once

#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/SearchDatabaseIndex.h"
#include "search/SearchDatabaseWriter.h"
#include "tests/common/CoreBroadcasts.h"
#include "tests/common/MessagePump.h"

#include <sqlite3.h>

#include <tuple>
#include <vector>

/** Helpers of the search tests; used on the test's (message) thread. */
namespace SearchTestSupport
{
/** A fresh folder for one test, deleted with everything in it afterwards. */
struct ScratchFolder
{
    ScratchFolder() { folder.createDirectory(); }
    ~ScratchFolder() { folder.deleteRecursively(); }

    juce::File folder = juce::File::createTempFile ("tsy-search-test");
};

using WordRow = std::tuple<juce::String, int, juce::String>;
using StampRow = std::tuple<juce::String, juce::int64, int>;

/** Runs a query on a database file and turns each row into a value. */
template <typename Row, typename Reader>
std::vector<Row> query (const juce::File& file, const char* sql, Reader&& reader)
{
    std::vector<Row> rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;

    if (sqlite3_open_v2 (file.getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2 (db, sql, -1, &statement, nullptr) == SQLITE_OK)
        while (sqlite3_step (statement) == SQLITE_ROW)
            rows.push_back (reader (statement));

    sqlite3_finalize (statement);
    sqlite3_close (db);
    return rows;
}

inline juce::String textColumn (sqlite3_stmt* statement, int column)
{
    return juce::String::fromUTF8 (reinterpret_cast<const char*> (sqlite3_column_text (statement, column)), sqlite3_column_bytes (statement, column));
}

/** Every words row, by chapter and number. */
inline std::vector<WordRow> readWords (const juce::File& file)
{
    return query<WordRow> (file, "SELECT idmovie, wordindex, word FROM main.words ORDER BY idmovie, wordindex", [] (sqlite3_stmt* s)
                           { return WordRow { textColumn (s, 0), sqlite3_column_int (s, 1), textColumn (s, 2) }; });
}

/** Every timestamps row, by chapter and seconds. */
inline std::vector<StampRow> readStamps (const juce::File& file)
{
    return query<StampRow> (file, "SELECT idmovie, seconds, wordindex FROM main.timestamps ORDER BY idmovie, seconds", [] (sqlite3_stmt* s)
                            { return StampRow { textColumn (s, 0), sqlite3_column_int64 (s, 1), sqlite3_column_int (s, 2) }; });
}

/** A chapter of a test database: its words (numbered by position, "" leaves a number unused)
    and its stamps as (seconds, word number).
*/
struct TestChapter
{
    juce::String id;
    juce::StringArray words;
    std::vector<std::pair<juce::int64, int>> stamps;
};

/** Writes a search database holding exactly these chapters' rows. */
inline bool writeDatabase (const juce::File& file, const std::vector<TestChapter>& chapters)
{
    SearchDatabaseWriter writer (file);

    for (const auto& chapter : chapters)
    {
        writer.beginChapter (chapter.id);

        for (int i = 0; i < chapter.words.size(); ++i)
            if (chapter.words[i].isNotEmpty())
                writer.insertWord (i, chapter.words[i].toStdString());

        for (const auto& [seconds, wordIndex] : chapter.stamps)
            writer.insertStamp (seconds, wordIndex);

        writer.endChapter();
    }

    return writer.close();
}

/** An anonymous catalog of one course and one lesson holding these chapters. */
inline std::unique_ptr<Catalog> makeCatalog (const juce::StringArray& chapterIds)
{
    juce::XmlElement root ("catalog");
    auto* course = root.createNewChildElement ("course");
    course->setAttribute ("id", "c1");
    auto* lesson = course->createNewChildElement ("lesson");

    for (const auto& id : chapterIds)
        lesson->createNewChildElement ("chapter")->setAttribute ("id", id);

    auto catalog = std::make_unique<Catalog>();
    CatalogParser::parseCatalog (*catalog, root, false);
    return catalog;
}

/** Builds the index of the database behind a connection on a thread of its own, as the program
    does (never on the message thread), and waits for it.
*/
inline std::unique_ptr<SearchDatabaseIndex> buildIndexOffMessageThread (sqlite3* db)
{
    std::unique_ptr<SearchDatabaseIndex> index;
    juce::WaitableEvent built;

    if (! juce::Thread::launch ([&]
                                {
                                    index = SearchDatabaseIndex::build (db);
                                    built.signal();
                                }))
        return nullptr;

    // Only a guard against a hang: building a test's database takes milliseconds.
    if (! built.wait (120000))
        std::abort();

    return index;
}

/** Core's hits for a chapter, in order. */
inline std::vector<double> hitsOf (const Core& core, const juce::String& chapterId)
{
    std::vector<double> hits;

    for (int i = 0; i < core.getNumSearchHits (chapterId); ++i)
        hits.push_back (core.getSearchHitTime (chapterId, i));

    return hits;
}
} // namespace SearchTestSupport
