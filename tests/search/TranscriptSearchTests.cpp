#include "search/TranscriptSearch.h"
#include "search/WordMatching.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>

using namespace SearchTestSupport;

namespace
{
using Hits = std::vector<double>;

juce::StringArray numbered (int count, const std::map<int, juce::String>& words)
{
    juce::StringArray result;

    for (int i = 0; i < count; ++i)
        result.add (words.count (i) != 0 ? words.at (i) : "w");

    return result;
}

/** A Core with a search database of test chapters and a catalog listing them. */
class TranscriptSearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (writeDatabase (scratch.folder.getChildFile ("data.dat"),
                                    {
                                        { "words", { "casa", "nuova", "case", "casale", "cosa", "sport", "sportivo", "spor", "50", "500", "5", "buongiorno", "a", "buon", "", "giorno", "buongiorno", "giornata" }, {} },
                                        { "phrase", { "casa", "bella", "e", "nuova", "casa", "nuova" }, {} },
                                        { "between", numbered (41, { { 10, "dieci" }, { 15, "quindici" }, { 40, "quaranta" } }), { { 60, 10 }, { 80, 20 } } },
                                        { "before", numbered (101, { { 50, "cinquanta" } }), { { 60, 100 } } },
                                        { "early", { "zero" }, { { 2, 0 } } },
                                        { "unordered", numbered (31, { { 10, "dieci" } }), { { 100, 5 }, { 50, 30 } } },
                                        { "twice", { "eco", "eco" }, { { 10, 0 } } },
                                    }));
        core = std::make_unique<Core> (scratch.folder);
        ASSERT_TRUE (core->isSearchDatabaseOpen());
        core->setCatalog (makeCatalog ({ "words", "twice", "markers" }));
    }

    bool search (const juce::StringArray& words) { return TranscriptSearch::search (*core, words); }

    ScratchFolder scratch;
    std::unique_ptr<Core> core;
};
} // namespace

TEST (WordMatching, StemsDropOneFinalVowelAfterLowerCasing)
{
    for (const auto& [word, percentIsWild, stem] : std::vector<std::tuple<juce::String, bool, juce::String>> {
             { "casa", false, "cas" }, { "cas", false, "cas" }, { "caso", false, "cas" }, { "CASA", false, "cas" }, { "sport", false, "sport" }, { "e", false, "" }, { "", false, "" }, { "50%", true, "50" }, { "_a%", true, "" }, { "_a%", false, "_a%" }, { juce::CharPointer_UTF8 ("CITT\xc3\x80"), false, juce::CharPointer_UTF8 ("citt\xc3\xa0") } }) // only ASCII vowels
        EXPECT_EQ (WordMatching::getStem (word, percentIsWild), stem) << word;

    EXPECT_TRUE (WordMatching::containsPhrase (WordMatching::splitLabel ("casa x nuova"), { "cas", "", "nuov" })) << "an empty stem matches any piece";
    EXPECT_FALSE (WordMatching::containsPhrase ({}, { "" }));
}

TEST_F (TranscriptSearchTest, WordsMatchByStemAsAPrefixAndLaterWordsMustFollow)
{
    const auto allWords = query<int> (scratch.folder.getChildFile ("data.dat"), "SELECT count(*) FROM main.words", [] (sqlite3_stmt* s)
                                      { return sqlite3_column_int (s, 0); });
    ASSERT_EQ (allWords.size(), 1u);

    for (const auto& [words, count] : std::vector<std::pair<juce::StringArray, int>> {
             { { "casa" }, 5 }, // casa, case, casale twice in "words" and "phrase"; not cosa
             { { "cas" }, 5 },
             { { "caso" }, 5 },
             { { "CASA" }, 5 },
             { { "sport" }, 2 }, // not spor
             { { "50%" }, 2 }, // 50, 500; not 5
             { { "ciao" }, 0 },
             { { "e" }, allWords[0] }, // a one-letter vowel has an empty stem
             { { "%" }, allWords[0] },
             { { "buon", "giorno" }, 2 }, // across a word left out, and buongiorno giornata; not buongiorno a
             { { "casa", "", "", "nuova" }, 1 }, // the third word after casa in "words" is casale
             { { "nuova", "casa", "bella" }, 0 } })
    {
        search (words);
        EXPECT_EQ (core->getTotalSearchHits(), count) << words.joinIntoString (" ");
    }
}

TEST_F (TranscriptSearchTest, SpokenHitsArePlacedBeforeTheEstimatedMoment)
{
    for (const auto& [word, chapter, hits] : std::vector<std::tuple<juce::String, juce::String, Hits>> {
             { "quindici", "between", { 65.0 } }, // interpolated between the stamps
             { "dieci", "between", { 57.0 } }, // on the stamp's word, 3 s before it
             { "dieci", "unordered", { 97.0 } }, // stamps are found by word number, not by time
             { "quaranta", "between", { 77.0 } }, // after the last stamp
             { "cinquanta", "before", { 25.0 } }, // before the first stamp: from word 0 at 0 s
             { "zero", "early", { 0.0 } },
             { "casa", "words", { 0.0, 0.0, 0.0 } } }) // no stamps at all
    {
        search ({ word });
        EXPECT_EQ (hitsOf (*core, chapter), hits) << word << " in " << chapter;
    }

    EXPECT_DOUBLE_EQ (TranscriptSearch::getHitTime (11, 10, 60, true, 110, 160), 57.0) << "never more than 3 s before the stamp";
}

TEST_F (TranscriptSearchTest, MarkersWhoseLabelsHoldThePhraseFollowTheSpokenHits)
{
    for (const auto& [text, seconds] : std::vector<std::pair<juce::String, double>> {
             { "Casa nuova", 11.0 }, { "casa nuova", 12.0 }, { "la  casa   nuova", 13.0 }, { "casa vecchia casa nuova", 14.0 }, { "casanuova", 15.0 } })
        core->addMarker ("markers", text, seconds);

    search ({ "casa", "nuova" });
    EXPECT_EQ (hitsOf (*core, "markers"), (Hits { 12.0, 13.0 }));
    search ({ "Casa" });
    EXPECT_EQ (hitsOf (*core, "markers"), (Hits { 12.0, 13.0, 14.0, 15.0 })) << "the searched word is lower-cased, the label is not";

    core->addMarker ("twice", "eco", 3.5);
    core->addMarker ("twice", "eco", 3.5);
    search ({ "eco" });
    EXPECT_EQ (hitsOf (*core, "twice"), (Hits { 7.0, 7.0, 3.5, 3.5 })) << "spoken hits first, markers after, none merged";
}

TEST_F (TranscriptSearchTest, WithoutAUsableDatabaseOnlyMarkersAreFound)
{
    core->addMarker ("words", "casa", 42.0);
    core->closeSearchDatabase (juce::dontSendNotification);
    search ({ "casa" });
    EXPECT_EQ (hitsOf (*core, "words"), (Hits { 42.0 }));
    EXPECT_EQ (core->getTotalSearchHits(), 1);

    core = nullptr;
    ASSERT_TRUE (scratch.folder.getChildFile ("data.dat").replaceWithText ("not a database"));
    core = std::make_unique<Core> (scratch.folder);
    core->setCatalog (makeCatalog ({ "words" }));
    core->addMarker ("words", "casa", 1.0);
    search ({ "casa" });
    EXPECT_EQ (hitsOf (*core, "words"), (Hits { 1.0 }));
}
