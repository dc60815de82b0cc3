#include "bench/BenchCatalog.h"
#include "bench/BenchClock.h"
#include "model/CatalogDocument.h"
#include "search/SearchDatabaseWriter.h"
#include "search/TranscriptIndexer.h"
#include "search/TranscriptScanner.h"
#include "search/TranscriptSearch.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <sqlite3.h>

#include <string>
#include <vector>

/*
    The transcript search over 3,000,000 words: 3,000 chapters of 1,000 words with a time stamp
    every 20 words and, here and there, the markup that leaves words out.

    Indexing: the whole build of the database from the parsed transcript document (markup
    scanned, rows inserted, the file written out) against a plain SQLite bulk insert of the same
    rows, already in memory, into the same tables in one transaction with a prepared statement.
    Counters: tsy_ms, sqlite_ms, speed (sqlite_ms / tsy_ms: the share of the bulk insert's
    speed the indexer reaches) and words (the rows of the words table: the words the markup
    leaves out are not among them).

    Searching: the spoken part of a search (the four queries and the hit times) on the built
    database against the sqlite3 shell running the same queries, the per-hit lookups written as
    subqueries of the first, printing every row to /dev/null. Counters: tsy_ms, shell_ms, ratio
    (tsy / shell) and hits.

    Each side goes first every other iteration. Run with repetitions and compare the medians.
*/
namespace
{
constexpr int numChapters = 3000;
constexpr int wordsPerChapter = 1000;

double nowMs()
{
    return juce::Time::getMillisecondCounterHiRes();
}

/** The words of the transcripts: Italian-looking words of two to four syllables. */
juce::StringArray makeVocabulary()
{
    const juce::StringArray syllables { "ca", "sa", "ne", "ri", "to", "lu", "mo", "de", "la", "ve", "pi", "co", "ga", "ti", "so", "be", "no", "ma", "re", "di" };
    juce::Random random (42);
    juce::StringArray vocabulary { "casa", "nuova", "e", "il", "di", "che", "buon", "giorno", "modello", "luce" };

    while (vocabulary.size() < 5000)
    {
        juce::String word;

        for (int s = 2 + random.nextInt (3); --s >= 0;)
            word << syllables[random.nextInt (syllables.size())];

        vocabulary.add (random.nextInt (10) == 0 ? word.toUpperCase() : word);
    }

    return vocabulary;
}

juce::String chapterId (int chapter)
{
    return "MOD" + juce::String (chapter / 100) + "-IT-" + juce::String (chapter % 100).paddedLeft ('0', 4);
}

/** The transcript document, parsed once per run. */
const CatalogDocument& getTranscripts()
{
    static const auto document = []
    {
        const auto vocabulary = makeVocabulary();
        juce::Random random (7);
        std::string xml = "<catalog min=\"1\">";

        for (int c = 0; c < numChapters; ++c)
        {
            if (c % 100 == 0)
                xml += (c > 0 ? "</lesson></course>" : "") + std::string ("<course id=\"C") + std::to_string (c / 100) + "\"><lesson>";

            xml += "<chapter id=\"" + chapterId (c).toStdString() + "\"><text>";

            for (int w = 0; w < wordsPerChapter; ++w)
            {
                if (w % 20 == 0)
                    xml += "[" + std::to_string (w / 120) + ":" + std::to_string ((w / 2) % 60) + "]";

                const auto roll = random.nextInt (100);
                xml += roll == 0 ? "*" : roll == 1 ? "{"
                                                   : "";
                xml += vocabulary[random.nextInt (vocabulary.size())].toStdString();
                xml += roll == 1 ? "}" : roll == 2 ? " (ride)"
                                                   : "";
                xml += w % 12 == 11 ? ". " : " ";
            }

            xml += "</text></chapter>";
        }

        xml += "</lesson></course></catalog>";

        auto parsed = std::make_unique<CatalogDocument>();

        if (! parsed->parse (juce::MemoryBlock (xml.data(), xml.size())))
            jassertfalse;

        return parsed;
    }();

    return *document;
}

/** Every row the indexer writes, collected in memory. */
struct Rows
{
    struct Word
    {
        std::string chapter;
        int index;
        std::string word;
    };

    struct Stamp
    {
        std::string chapter;
        juce::int64 seconds;
        int index;
    };

    std::vector<Word> words;
    std::vector<Stamp> stamps;
};

const Rows& getRows()
{
    static const auto rows = []
    {
        struct Collector final : TranscriptScanner::Sink
        {
            bool shouldStop() override { return false; }
            void wordFound (int index, std::string_view word) override { result.words.push_back ({ chapter, index, std::string (word) }); }
            void stampFound (juce::int64 seconds, int index) override { result.stamps.push_back ({ chapter, seconds, index }); }

            std::string chapter;
            Rows result;
        } collector;

        for (auto course : getTranscripts().getRoot().children ("course"))
            for (auto lesson : course.children ("lesson"))
                for (auto chapter : lesson.children ("chapter"))
                {
                    collector.chapter = chapter.attribute ("id").value();
                    TranscriptScanner::scan (TranscriptIndexer::getTranscript (chapter.child ("text")), collector);
                }

        return collector.result;
    }();

    return rows;
}

double indexWithTsy (const juce::File& file, benchmark::State& state)
{
    const auto start = nowMs();

    if (TranscriptIndexer::build (getTranscripts().getRoot(), file, []
                                  { return false; })
        != TranscriptIndexer::Result::built)
        state.SkipWithError ("the indexer failed");

    const auto elapsed = nowMs() - start;
    file.deleteFile();
    return elapsed;
}

double insertWithSqlite (const juce::File& file, benchmark::State& state)
{
    const auto& rows = getRows();
    const auto start = nowMs();
    sqlite3* db = nullptr;
    sqlite3_stmt* word = nullptr;
    sqlite3_stmt* stamp = nullptr;

    if (sqlite3_open_v2 (file.getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        state.SkipWithError ("sqlite could not create the database");

    sqlite3_exec (db, SearchDatabaseWriter::createWordsTable, nullptr, nullptr, nullptr);
    sqlite3_exec (db, SearchDatabaseWriter::createTimestampsTable, nullptr, nullptr, nullptr);
    sqlite3_prepare_v2 (db, SearchDatabaseWriter::insertWordSql, -1, &word, nullptr);
    sqlite3_prepare_v2 (db, SearchDatabaseWriter::insertStampSql, -1, &stamp, nullptr);
    sqlite3_exec (db, "BEGIN", nullptr, nullptr, nullptr);

    for (const auto& row : rows.words)
    {
        sqlite3_reset (word);
        sqlite3_bind_text (word, 1, row.chapter.data(), (int) row.chapter.size(), SQLITE_STATIC);
        sqlite3_bind_int (word, 2, row.index);
        sqlite3_bind_text (word, 3, row.word.data(), (int) row.word.size(), SQLITE_STATIC);
        sqlite3_step (word);
    }

    for (const auto& row : rows.stamps)
    {
        sqlite3_reset (stamp);
        sqlite3_bind_text (stamp, 1, row.chapter.data(), (int) row.chapter.size(), SQLITE_STATIC);
        sqlite3_bind_int64 (stamp, 2, row.seconds);
        sqlite3_bind_int (stamp, 3, row.index);
        sqlite3_step (stamp);
    }

    sqlite3_reset (word);
    sqlite3_reset (stamp);

    if (sqlite3_exec (db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        state.SkipWithError ("sqlite could not commit");

    sqlite3_finalize (word);
    sqlite3_finalize (stamp);
    sqlite3_close (db);

    const auto elapsed = nowMs() - start;
    file.deleteFile();
    return elapsed;
}

void BM_Index3MillionWordsVsSqliteBulkInsert (benchmark::State& state)
{
    const auto folder = BenchCatalog::getScratchFolder();
    const auto tsyFile = folder.getChildFile ("indexed.tsy");
    const auto sqliteFile = folder.getChildFile ("bulk.db");
    getRows();
    double tsy = 0.0, sqlite = 0.0;
    auto sqliteFirst = true;

    for (auto _ : state)
    {
        const auto [mine, theirs] = BenchClock::timeAlternately (
            sqliteFirst, [&] { return indexWithTsy (tsyFile, state); }, [&] { return insertWithSqlite (sqliteFile, state); });
        tsy += mine;
        sqlite += theirs;
        state.SetIterationTime (mine / 1000.0);
    }

    const auto iterations = (double) state.iterations();
    state.counters["tsy_ms"] = tsy / iterations;
    state.counters["sqlite_ms"] = sqlite / iterations;
    state.counters["speed"] = sqlite / tsy;
    state.counters["words"] = (double) getRows().words.size();
}

/** The search database of the transcripts, built once per run. */
const juce::File& getSearchDatabase()
{
    static const auto file = []
    {
        auto built = BenchCatalog::getScratchFolder().getChildFile ("data.dat");

        if (TranscriptIndexer::build (getTranscripts().getRoot(), built, []
                                      { return false; })
            != TranscriptIndexer::Result::built)
            jassertfalse;

        return built;
    }();

    return file;
}

/** The shell's script: the first query, with the stamps around each word it finds looked up as
    the third and fourth queries look them up.
*/
juce::String makeShellScript (const juce::String& pattern)
{
    return ".output /dev/null\n"
           "SELECT w.idmovie, w.wordindex,"
           " (SELECT wordindex || ' ' || seconds FROM main.timestamps WHERE idmovie=w.idmovie AND wordindex <= w.wordindex ORDER BY wordindex DESC LIMIT 1),"
           " (SELECT wordindex || ' ' || seconds FROM main.timestamps WHERE idmovie=w.idmovie AND wordindex >= w.wordindex ORDER BY wordindex ASC LIMIT 1)"
           " FROM main.words AS w WHERE word LIKE '"
           + pattern + "';\n";
}

double searchWithTsy (const juce::StringArray& words, int& numHits, benchmark::State& state)
{
    sqlite3* db = nullptr;

    if (sqlite3_open_v2 (getSearchDatabase().getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        state.SkipWithError ("the database did not open");

    const auto start = nowMs();
    Core::SearchHits hits;
    TranscriptSearch::findSpokenWords (db, words, hits);
    const auto elapsed = nowMs() - start;
    sqlite3_close (db);

    numHits = 0;

    for (const auto& chapter : hits)
        numHits += (int) chapter.second.size();

    return elapsed;
}

double searchWithShell (const juce::File& script, benchmark::State& state)
{
    const auto start = nowMs();
    juce::ChildProcess shell;

    if (! shell.start (juce::StringArray { "sh", "-c", "exec sqlite3 -batch '" + getSearchDatabase().getFullPathName() + "' < '" + script.getFullPathName() + "'" }, 0)
        || ! shell.waitForProcessToFinish (600000) || shell.getExitCode() != 0)
        state.SkipWithError ("the sqlite3 shell failed");

    return nowMs() - start;
}

void BM_Search3MillionWordsVsSqliteShell (benchmark::State& state, const juce::StringArray& words, const juce::String& pattern)
{
    const auto script = BenchCatalog::getScratchFolder().getChildFile ("search-" + juce::String (pattern.hashCode()) + ".sql");
    script.replaceWithText (makeShellScript (pattern));
    getSearchDatabase();
    double tsy = 0.0, shell = 0.0;
    int numHits = 0;
    auto shellFirst = true;

    for (auto _ : state)
    {
        const auto [mine, theirs] = BenchClock::timeAlternately (
            shellFirst, [&] { return searchWithTsy (words, numHits, state); }, [&] { return searchWithShell (script, state); });
        tsy += mine;
        shell += theirs;
        state.SetIterationTime (mine / 1000.0);
    }

    const auto iterations = (double) state.iterations();
    state.counters["tsy_ms"] = tsy / iterations;
    state.counters["shell_ms"] = shell / iterations;
    state.counters["ratio"] = tsy / shell;
    state.counters["hits"] = numHits;
}
} // namespace

BENCHMARK (BM_Index3MillionWordsVsSqliteBulkInsert)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (2);

// The one-letter search hits every word, and each hit costs two lookups of stamps: over a minute
// a side, so it runs once (each side first once) whatever the repetitions asked for. "casa"
// looks for the stem "cas".
BENCHMARK_CAPTURE (BM_Search3MillionWordsVsSqliteShell, e, juce::StringArray { "e" }, juce::String ("%"))
    ->Unit (benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations (2)
    ->Repetitions (1);
BENCHMARK_CAPTURE (BM_Search3MillionWordsVsSqliteShell, casa, juce::StringArray { "casa" }, juce::String ("cas%"))->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (4);
