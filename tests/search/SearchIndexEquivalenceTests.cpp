#include "model/CatalogDocument.h"
#include "model/SearchDatabaseIndex.h"
#include "search/TranscriptIndexer.h"
#include "search/TranscriptSearch.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

using namespace SearchTestSupport;

/*
    The index answers every search exactly as the four queries do on the same database: the same
    chapters, the same hit times, in the same order. Both run here on generated databases and
    generated searches, from fixed seeds, and their hit lists are compared whole.
*/
namespace
{
/** Pieces of words: ASCII, capitals, letters beyond ASCII (some with odd lower cases), digits. */
const juce::StringArray& getSyllables()
{
    static const auto syllables = []
    {
        juce::StringArray result;

        for (const auto* utf8 : {
                 "ca", "sa", "ce", "co", "a", "e", "o", "bu", "on", "gi", "or", "no", "s", "t", "CA", "Sa", "BU", "E", "O", "x", "50", "5", "0",
                 "\xc3\xa0", // à
                 "\xc3\xa9", // é
                 "\xc3\x89", // É
                 "\xc3\x9f", // ß
                 "\xc3\x83", // Ã, a word character of its own
                 "\xc4\xb0", // İ
                 "\xce\xa9", // Ω
                 "\xd0\xb6", // ж
                 "\xd0\x96", // Ж
                 "\xe1\xba\x9e", // ẞ
                 "\xf0\x9d\x90\x80", // a mathematical letter beyond the BMP
             })
            result.add (juce::String::fromUTF8 (utf8));

        return result;
    }();
    return syllables;
}

juce::String makeWord (juce::Random& random)
{
    const auto& syllables = getSyllables();
    juce::String word;

    for (int n = 1 + random.nextInt (3); --n >= 0;)
        word << syllables[random.nextInt (syllables.size())];

    return word;
}

juce::String makeStamp (juce::Random& random)
{
    switch (random.nextInt (6))
    {
        case 0:
            return "[" + juce::String (random.nextInt (3)) + ":" + juce::String (random.nextInt (3)) + "]"; // often twice in a chapter
        case 1:
            return "[x]";
        default:
            return "[" + juce::String (random.nextInt (10)) + ":" + juce::String (random.nextInt (60)).paddedLeft ('0', 2) + "]";
    }
}

/** A transcript with every kind of markup, its stamps in any order, some side by side. */
juce::String makeTranscript (juce::Random& random)
{
    juce::String text;
    const juce::StringArray separators { " ", " ", " ", ". ", ", ", "\n", "-" };

    for (int n = random.nextInt (120); --n >= 0;)
    {
        const auto roll = random.nextInt (100);

        if (roll < 12)
            text << makeStamp (random);
        else if (roll < 15)
            text << "*";
        else if (roll < 18)
            text << "{" << makeWord (random) << " " << makeWord (random) << "}";
        else if (roll < 20)
            text << "(" << makeWord (random) << ")";

        text << makeWord (random) << separators[random.nextInt (separators.size())];
    }

    return text;
}

juce::String makeChapterId (juce::Random& random)
{
    // A few ids, so that some chapters come twice in the document and their rows interleave.
    const auto n = random.nextInt (12);
    return n == 0 ? juce::String (juce::CharPointer_UTF8 ("cap\xc3\xadtolo")) : "ch" + juce::String (n);
}

/** A search's words: prefixes of real words in any case, vowels, wildcards, empty words. */
juce::StringArray makeSearch (juce::Random& random)
{
    juce::StringArray words;

    for (int n = 1 + random.nextInt (4); --n >= 0;)
    {
        const auto roll = random.nextInt (100);
        auto word = makeWord (random);

        if (roll < 40)
            word = word.substring (0, 1 + random.nextInt (word.length()));
        else if (roll < 52)
            word = juce::StringArray { "e", "a", "A", "u", "s" }[random.nextInt (5)];
        else if (roll < 60)
            word = {};
        else if (roll < 70)
            word = word.substring (0, 1) + juce::StringArray { "%", "_", "%%", "_%" }[random.nextInt (4)] + word.substring (1);

        if (random.nextInt (5) == 0)
            word = word.toUpperCase();

        words.add (word);
    }

    return words;
}

juce::String escapeXml (const juce::String& text)
{
    return text.replace ("&", "&amp;").replace ("<", "&lt;");
}

/** A search database as the indexer builds it from a generated transcript document. */
bool buildFromTranscripts (juce::Random& random, const juce::File& file)
{
    juce::String xml = "<catalog min='1'><course id='c'><lesson>";

    for (int n = 1 + random.nextInt (10); --n >= 0;)
        xml << "<chapter id='" << makeChapterId (random) << "'><text>" << escapeXml (makeTranscript (random)) << "</text></chapter>";

    CatalogDocument document;
    return document.parse (xml + "</lesson></course></catalog>")
           && TranscriptIndexer::build (document.getRoot(), file, []
                                        { return false; })
                  == TranscriptIndexer::Result::built;
}

/** A search database of rows written directly: words with capitals the indexer never writes,
    numbers in any order, rows of chapters interleaved, stamps sharing word numbers, stamps of
    chapters without words.
*/
bool buildFromRows (juce::Random& random, const juce::File& file)
{
    SearchDatabaseWriter writer (file);

    for (int n = 1 + random.nextInt (30); --n >= 0;)
    {
        writer.beginChapter (makeChapterId (random));

        for (int rows = random.nextInt (40); --rows >= 0;)
        {
            if (random.nextInt (4) == 0)
                writer.insertStamp (random.nextInt (200), random.nextInt (60));
            else
                writer.insertWord (random.nextInt (60), makeWord (random).toStdString());
        }

        writer.endChapter();
    }

    return writer.close();
}

sqlite3* openReadOnly (const juce::File& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2 (file.getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READONLY, nullptr);
    return db;
}

juce::String describe (const Core::SearchHits& hits)
{
    juce::String text;

    for (const auto& [chapter, times] : hits)
    {
        text << chapter << ":";

        for (const auto time : times)
            text << " " << time;

        text << "; ";
    }

    return text;
}

class SearchIndexEquivalenceTest : public ::testing::Test
{
protected:
    /** Runs generated searches on a database both ways and compares every hit list. */
    void compareSearches (const juce::File& file, juce::Random& random, int numSearches)
    {
        auto* db = openReadOnly (file);
        auto* indexDb = openReadOnly (file);
        const auto index = buildIndexOffMessageThread (indexDb);
        sqlite3_close (indexDb);
        ASSERT_NE (index, nullptr);

        std::vector<juce::StringArray> searches;

        for (int i = 0; i < numSearches; ++i)
            searches.push_back (makeSearch (random));

        // A word of the database itself, whole, and the one-letter search of every word.
        if (index->getNumWords() > 0)
        {
            const auto word = index->getWord ((SearchDatabaseIndex::Position) random.nextInt ((int) index->getNumWords()));
            searches.push_back ({ juce::String::fromUTF8 (word.data(), (int) word.size()) });
        }

        searches.push_back ({ "e" });

        for (const auto& words : searches)
        {
            Core::SearchHits byQueries, byIndex;
            ASSERT_TRUE (TranscriptSearch::findSpokenWords (db, words, byQueries));
            ASSERT_TRUE (TranscriptSearch::findSpokenWords (*index, words, byIndex));
            EXPECT_EQ (byIndex, byQueries) << "searching " << words.joinIntoString ("|") << "\n index: " << describe (byIndex) << "\n queries: " << describe (byQueries);

            for (const auto& [chapter, times] : byQueries)
                hitsCompared += times.size();

            searchesWithHits += byQueries.empty() ? 0 : 1;
            phrasesWithHits += words.size() > 1 && ! byQueries.empty() ? 1 : 0;
        }

        sqlite3_close (db);
    }

    ScratchFolder scratch;
    size_t hitsCompared = 0;
    int searchesWithHits = 0, phrasesWithHits = 0;
};
} // namespace

TEST_F (SearchIndexEquivalenceTest, GivesTheQueriesHitsOnIndexedTranscripts)
{
    for (int seed = 1; seed <= 60; ++seed)
    {
        SCOPED_TRACE ("seed " + juce::String (seed).toStdString());
        juce::Random random (seed);
        const auto file = scratch.folder.getChildFile ("transcripts-" + juce::String (seed) + ".dat");
        ASSERT_TRUE (buildFromTranscripts (random, file));
        compareSearches (file, random, 100);
    }

    // The generator must reach the cases that matter, or the comparison proves little.
    EXPECT_GT (hitsCompared, 20000u);
    EXPECT_GT (searchesWithHits, 1000);
    EXPECT_GT (phrasesWithHits, 300);
}

TEST_F (SearchIndexEquivalenceTest, GivesTheQueriesHitsOnRowsInAnyOrderAndCase)
{
    for (int seed = 1; seed <= 60; ++seed)
    {
        SCOPED_TRACE ("seed " + juce::String (seed).toStdString());
        juce::Random random (1000 + seed);
        const auto file = scratch.folder.getChildFile ("rows-" + juce::String (seed) + ".dat");
        ASSERT_TRUE (buildFromRows (random, file));
        compareSearches (file, random, 100);
    }

    EXPECT_GT (hitsCompared, 12000u);
    EXPECT_GT (phrasesWithHits, 300);
}

TEST_F (SearchIndexEquivalenceTest, APatternLongerThanSqliteTakesFindsNothingEitherWay)
{
    const auto file = scratch.folder.getChildFile ("long.dat");
    const auto longWord = juce::String::repeatedString ("b", 50000);
    ASSERT_TRUE (writeDatabase (file, { { "a", { longWord, "bb" }, {} } }));
    juce::Random random (5);

    auto* db = openReadOnly (file);
    const auto index = buildIndexOffMessageThread (db);
    ASSERT_NE (index, nullptr);

    // The pattern is the stem and "%": 50,000 bytes is the longest SQLite accepts by default.
    for (const auto& [word, count] : std::vector<std::pair<juce::String, size_t>> { { longWord.dropLastCharacters (1), 1 }, { longWord, 0 }, { "b", 2 } })
    {
        Core::SearchHits byQueries, byIndex;
        TranscriptSearch::findSpokenWords (db, { word }, byQueries);
        TranscriptSearch::findSpokenWords (*index, { word }, byIndex);
        EXPECT_EQ (byIndex, byQueries) << word.length() << " letters";
        EXPECT_EQ (byQueries["a"].size(), count) << word.length() << " letters";
    }

    sqlite3_close (db);
}
