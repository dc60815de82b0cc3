#include "bench/BenchCatalog.h"
#include "bench/BenchClock.h"
#include "model/CatalogDocument.h"
#include "model/SearchDatabaseIndex.h"
#include "search/SearchDatabaseWriter.h"
#include "search/TranscriptIndexer.h"
#include "search/TranscriptScanner.h"
#include "search/TranscriptSearch.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
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

    Index: building the in-memory index of the built database on a worker thread, as the
    program does (never on the message thread). Counters: build_ms (wall), build_cpu_ms, words,
    heap_bytes_per_word (the heap the delivered index holds, as the allocator counts it) and
    index_bytes_per_word (what the index reckons its own arrays take).

    Searching: the spoken part of a search (the hits and their times) from that index against
    the sqlite3 shell running the same queries on the same database, the per-hit lookups written
    as subqueries of the first, printing every row to /dev/null. Counters: tsy_ms, shell_ms,
    speedup (shell / tsy) and hits.

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
                // Now and then the greeting the phrase search looks for.
                xml += roll == 3 && random.nextInt (10) == 0 ? std::string ("buon giorno") : vocabulary[random.nextInt (vocabulary.size())].toStdString();
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

/** The heap bytes the process holds, over every allocator arena. */
size_t heapBytesInUse()
{
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

/** An index of the search database, built on a worker thread of normal priority from a
    connection of its own opened as Core opens the builder's, with the wall and CPU time of the build and the heap the index holds.
    (The program's builder runs at the idle priority, so on a busy machine its wall time says
    more about the other work than about the build.)
*/
struct BuiltIndex
{
    std::shared_ptr<const SearchDatabaseIndex> index;
    double buildMs = 0.0;
    double buildCpuMs = 0.0;
    size_t heapBytes = 0;
};

BuiltIndex buildIndex (benchmark::State& state)
{
    sqlite3* connection = nullptr;

    if (sqlite3_open_v2 (getSearchDatabase().getFullPathName().toRawUTF8(), &connection, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        state.SkipWithError ("the database did not open");

    BuiltIndex result;
    juce::WaitableEvent built;
    const auto heapBefore = heapBytesInUse();

    if (! juce::Thread::launch ([&]
                                {
            const auto start = nowMs();
            const auto cpuStart = BenchClock::threadCpuMs();
            result.index = SearchDatabaseIndex::build (connection);
            result.buildCpuMs = BenchClock::threadCpuMs() - cpuStart;
            result.buildMs = nowMs() - start;
            sqlite3_close (connection);
            built.signal(); })
        || ! built.wait (600000) || result.index == nullptr)
        state.SkipWithError ("the index was not built");

    result.heapBytes = heapBytesInUse() - heapBefore;
    return result;
}

/** The index the searches use, built once per run. */
const SearchDatabaseIndex& getIndex (benchmark::State& state)
{
    static const auto built = buildIndex (state);
    return *built.index;
}

void BM_BuildIndexOf3MillionWords (benchmark::State& state)
{
    getSearchDatabase();
    double total = 0.0, totalCpu = 0.0;
    BuiltIndex last;

    for (auto _ : state)
    {
        last = {};
        last = buildIndex (state);
        total += last.buildMs;
        totalCpu += last.buildCpuMs;
        state.SetIterationTime (last.buildMs / 1000.0);
    }

    if (last.index == nullptr)
        return;

    const auto words = (double) last.index->getNumWords();
    state.counters["build_ms"] = total / (double) state.iterations();
    state.counters["build_cpu_ms"] = totalCpu / (double) state.iterations();
    state.counters["words"] = words;
    state.counters["heap_bytes_per_word"] = (double) last.heapBytes / words;
    state.counters["index_bytes_per_word"] = (double) last.index->getMemorySize() / words;
}

/** The shell's script: the first query, with the stamps around each word it finds looked up as
    the third and fourth queries look them up and, for a second searched word, the next indexed
    word tested as the second query's row is (its stem a case-sensitive prefix).
*/
juce::String makeShellScript (const juce::String& pattern, const juce::String& nextStem)
{
    return ".output /dev/null\n"
           "SELECT w.idmovie, w.wordindex,"
           " (SELECT wordindex || ' ' || seconds FROM main.timestamps WHERE idmovie=w.idmovie AND wordindex <= w.wordindex ORDER BY wordindex DESC LIMIT 1),"
           " (SELECT wordindex || ' ' || seconds FROM main.timestamps WHERE idmovie=w.idmovie AND wordindex >= w.wordindex ORDER BY wordindex ASC LIMIT 1)"
           " FROM main.words AS w WHERE word LIKE '"
           + pattern + "'"
           + (nextStem.isEmpty() ? juce::String()
                                 : " AND (SELECT word FROM main.words WHERE idmovie=w.idmovie AND wordindex > w.wordindex ORDER BY wordindex ASC LIMIT 1) GLOB '" + nextStem + "*'")
           + ";\n";
}

double searchWithTsy (const SearchDatabaseIndex& index, const juce::StringArray& words, int& numHits)
{
    const auto start = nowMs();
    Core::SearchHits hits;
    TranscriptSearch::findSpokenWords (index, words, hits);
    const auto elapsed = nowMs() - start;

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

void BM_Search3MillionWordsVsSqliteShell (benchmark::State& state, const juce::StringArray& words, const juce::String& pattern, const juce::String& nextStem)
{
    const auto script = BenchCatalog::getScratchFolder().getChildFile ("search-" + juce::String (words.joinIntoString (" ").hashCode()) + ".sql");
    script.replaceWithText (makeShellScript (pattern, nextStem));
    const auto& index = getIndex (state);
    double tsy = 0.0, shell = 0.0;
    int numHits = 0;
    auto shellFirst = true;

    for (auto _ : state)
    {
        const auto [mine, theirs] = BenchClock::timeAlternately (
            shellFirst, [&] { return searchWithTsy (index, words, numHits); }, [&] { return searchWithShell (script, state); });
        tsy += mine;
        shell += theirs;
        state.SetIterationTime (mine / 1000.0);
    }

    const auto iterations = (double) state.iterations();
    state.counters["tsy_ms"] = tsy / iterations;
    state.counters["shell_ms"] = shell / iterations;
    state.counters["speedup"] = shell / tsy;
    state.counters["hits"] = numHits;
}
} // namespace

BENCHMARK (BM_Index3MillionWordsVsSqliteBulkInsert)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (2);
BENCHMARK (BM_BuildIndexOf3MillionWords)->Unit (benchmark::kMillisecond)->UseManualTime()->Iterations (1);

// The one-letter search hits every word, and each hit costs the shell two lookups of stamps:
// over a minute for the shell, so it runs once (each side first once) whatever the repetitions
// asked for. "casa" looks for the stem "cas", "buon giorno" for "buon" followed by "giorn".
BENCHMARK_CAPTURE (BM_Search3MillionWordsVsSqliteShell, e, juce::StringArray { "e" }, juce::String ("%"), juce::String())
    ->Unit (benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations (2)
    ->Repetitions (1);
BENCHMARK_CAPTURE (BM_Search3MillionWordsVsSqliteShell, casa, juce::StringArray { "casa" }, juce::String ("cas%"), juce::String())
    ->Unit (benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations (4);
BENCHMARK_CAPTURE (BM_Search3MillionWordsVsSqliteShell, buon_giorno, juce::StringArray { "buon", "giorno" }, juce::String ("buon%"), juce::String ("giorn"))
    ->Unit (benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations (4);
