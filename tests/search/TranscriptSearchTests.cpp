#include "model/Notifications.h"
#include "search/TranscriptSearch.h"
#include "search/WordMatching.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>

using namespace SearchTestSupport;

namespace
{
using Hits = std::vector<double>;

juce::StringArray numbered (int count, const juce::String& filler, const std::map<int, juce::String>& words)
{
    juce::StringArray result;

    for (int i = 0; i < count; ++i)
        result.add (words.count (i) != 0 ? words.at (i) : filler);

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
                                        { "between", numbered (41, "w", { { 10, "dieci" }, { 15, "quindici" }, { 40, "quaranta" } }), { { 60, 10 }, { 80, 20 } } },
                                        { "before", numbered (101, "w", { { 50, "cinquanta" } }), { { 60, 100 } } },
                                        { "early", { "zero" }, { { 2, 0 } } },
                                        { "unordered", numbered (31, "w", { { 10, "dieci" } }), { { 100, 5 }, { 50, 30 } } },
                                        { "twice", { "eco", "eco" }, { { 10, 0 } } },
                                    }));
        core = std::make_unique<Core> (scratch.folder);
        ASSERT_TRUE (core->isSearchDatabaseOpen());
        core->setCatalog (makeCatalog ({ "words", "twice", "markers" }));
    }

    bool search (const juce::StringArray& words) { return TranscriptSearch::search (*core, words); }

    int countFor (const juce::StringArray& words)
    {
        search (words);
        return core->getTotalSearchHits();
    }

    ScratchFolder scratch;
    std::unique_ptr<Core> core;
};
} // namespace

TEST (WordMatching, StemsDropOneFinalVowelAfterLowerCasing)
{
    EXPECT_EQ (WordMatching::getStem ("casa", false), "cas");
    EXPECT_EQ (WordMatching::getStem ("cas", false), "cas");
    EXPECT_EQ (WordMatching::getStem ("caso", false), "cas");
    EXPECT_EQ (WordMatching::getStem ("CASA", false), "cas");
    EXPECT_EQ (WordMatching::getStem ("sport", false), "sport");
    EXPECT_EQ (WordMatching::getStem ("e", false), "");
    EXPECT_EQ (WordMatching::getStem ("", false), "");
    EXPECT_EQ (WordMatching::getStem (juce::CharPointer_UTF8 ("CITT\xc3\x80"), false), juce::CharPointer_UTF8 ("citt\xc3\xa0")) << "only ASCII vowels";
    EXPECT_EQ (WordMatching::getStem ("50%", true), "50");
    EXPECT_EQ (WordMatching::getStem ("_a%", true), "");
    EXPECT_EQ (WordMatching::getStem ("_a%", false), "_a%");
}

TEST (WordMatching, APhraseIsTriedFromTheFirstPieceThatMatchesOnly)
{
    const juce::StringArray stems { "cas", "nuov" };
    EXPECT_TRUE (WordMatching::containsPhrase (WordMatching::splitLabel ("la casa nuova"), stems));
    EXPECT_TRUE (WordMatching::containsPhrase (WordMatching::splitLabel ("  casa   nuova "), stems)) << "empty pieces are dropped";
    EXPECT_FALSE (WordMatching::containsPhrase (WordMatching::splitLabel ("Casa nuova"), stems)) << "labels keep their case";
    EXPECT_FALSE (WordMatching::containsPhrase (WordMatching::splitLabel ("casa vecchia casa nuova"), stems));
    EXPECT_FALSE (WordMatching::containsPhrase (WordMatching::splitLabel ("nuova casa"), stems));
    EXPECT_FALSE (WordMatching::containsPhrase (WordMatching::splitLabel ("casa\tnuova"), stems)) << "only blanks split";
    EXPECT_TRUE (WordMatching::containsPhrase (WordMatching::splitLabel ("casa x nuova"), { "cas", "", "nuov" })) << "an empty stem matches any piece";
    EXPECT_FALSE (WordMatching::containsPhrase ({}, { "" }));
}

TEST (TranscriptSearch, HitTimesAreInterpolatedBetweenStamps)
{
    EXPECT_DOUBLE_EQ (TranscriptSearch::getHitTime (15, 10, 60, true, 20, 80), 65.0);
    EXPECT_DOUBLE_EQ (TranscriptSearch::getHitTime (50, 0, 0, true, 100, 60), 25.0) << "before the first stamp: from word 0 at 0 s";
    EXPECT_DOUBLE_EQ (TranscriptSearch::getHitTime (10, 10, 60, true, 10, 60), 57.0) << "on a stamp's word";
    EXPECT_DOUBLE_EQ (TranscriptSearch::getHitTime (11, 10, 60, true, 110, 160), 57.0) << "never more than 3 s before the stamp";
    EXPECT_DOUBLE_EQ (TranscriptSearch::getHitTime (0, 0, 2, true, 0, 2), 0.0);
    EXPECT_DOUBLE_EQ (TranscriptSearch::getHitTime (40, 20, 80, false, 0, 0), 77.0) << "after the last stamp";
}

TEST_F (TranscriptSearchTest, WordsMatchByStemAsAPrefix)
{
    search ({ "casa" });
    EXPECT_EQ (hitsOf (*core, "words").size(), 3u) << "casa, case, casale; not cosa";
    EXPECT_EQ (hitsOf (*core, "phrase").size(), 2u);

    EXPECT_EQ (countFor ({ "cas" }), 5);
    EXPECT_EQ (countFor ({ "caso" }), 5);
    EXPECT_EQ (countFor ({ "CASA" }), 5);
    EXPECT_EQ (countFor ({ "sport" }), 2) << "sport, sportivo; not spor";
    EXPECT_EQ (countFor ({ "50%" }), 2) << "50, 500; not 5";
    EXPECT_EQ (countFor ({ "ciao" }), 0);
}

TEST_F (TranscriptSearchTest, AOneLetterVowelHitsEveryIndexedWord)
{
    const auto rows = query<int> (scratch.folder.getChildFile ("data.dat"), "SELECT count(*) FROM main.words", [] (sqlite3_stmt* s)
                                  { return sqlite3_column_int (s, 0); });
    ASSERT_EQ (rows.size(), 1u);
    EXPECT_EQ (countFor ({ "e" }), rows[0]);
    EXPECT_EQ (countFor ({ "%" }), rows[0]);
}

TEST_F (TranscriptSearchTest, LaterWordsMustFollowInTheNextIndexedWords)
{
    search ({ "buon", "giorno" });
    EXPECT_EQ (hitsOf (*core, "words").size(), 2u) << "buon giorno across a word left out, and buongiorno giornata; not buongiorno a";

    search ({ "casa", "", "", "nuova" });
    EXPECT_EQ (hitsOf (*core, "phrase").size(), 1u) << "casa, any two words, then nuov...";
    EXPECT_TRUE (hitsOf (*core, "words").empty()) << "the third word after casa is casale";

    search ({ "nuova", "casa", "bella" });
    EXPECT_EQ (core->getTotalSearchHits(), 0) << "nuova casa is followed by nuova or by casale, never by bell...";
}

TEST_F (TranscriptSearchTest, SpokenHitsArePlacedBeforeTheEstimatedMoment)
{
    search ({ "quindici" });
    EXPECT_EQ (hitsOf (*core, "between"), (Hits { 65.0 }));
    search ({ "dieci" });
    EXPECT_EQ (hitsOf (*core, "between"), (Hits { 57.0 })) << "on the stamp's word";
    EXPECT_EQ (hitsOf (*core, "unordered"), (Hits { 97.0 })) << "stamps are found by word number, not by time";
    search ({ "quaranta" });
    EXPECT_EQ (hitsOf (*core, "between"), (Hits { 77.0 })) << "after the last stamp";
    search ({ "cinquanta" });
    EXPECT_EQ (hitsOf (*core, "before"), (Hits { 25.0 }));
    search ({ "zero" });
    EXPECT_EQ (hitsOf (*core, "early"), (Hits { 0.0 }));
    search ({ "casa" });
    EXPECT_EQ (hitsOf (*core, "words"), (Hits { 0.0, 0.0, 0.0 })) << "no stamps at all";
}

TEST_F (TranscriptSearchTest, MarkersWhoseLabelsHoldThePhraseAreHits)
{
    for (const auto& [text, seconds] : std::vector<std::pair<juce::String, double>> {
             { "Casa nuova", 11.0 }, { "casa nuova", 12.0 }, { "la  casa   nuova", 13.0 }, { "casa vecchia casa nuova", 14.0 }, { "casanuova", 15.0 } })
        core->addMarker ("markers", text, seconds);

    search ({ "casa", "nuova" });
    EXPECT_EQ (hitsOf (*core, "markers"), (Hits { 12.0, 13.0 }));
    search ({ "casa" });
    EXPECT_EQ (hitsOf (*core, "markers"), (Hits { 12.0, 13.0, 14.0, 15.0 }));
    search ({ "Casa" });
    EXPECT_EQ (hitsOf (*core, "markers"), (Hits { 12.0, 13.0, 14.0, 15.0 })) << "the searched word is lower-cased, the label is not";
}

TEST_F (TranscriptSearchTest, HitsKeepTheirOrderAndDuplicates)
{
    core->addMarker ("twice", "eco", 3.5);
    core->addMarker ("twice", "eco", 3.5);

    search ({ "eco" });
    EXPECT_EQ (hitsOf (*core, "twice"), (Hits { 7.0, 7.0, 3.5, 3.5 })) << "spoken hits first, markers after, none merged";
    EXPECT_EQ (core->getTotalSearchHits(), 4);
}

TEST_F (TranscriptSearchTest, StoresTheWordsAndBroadcastsOnce)
{
    Messages messages (*core);
    const juce::StringArray words { "casa", "", "nuova" };
    EXPECT_TRUE (search (words));
    EXPECT_EQ (core->getSearchWords(), words);
    EXPECT_EQ (messages.drain(), juce::StringArray { Notifications::searchChanged });

    EXPECT_TRUE (search ({}));
    EXPECT_TRUE (core->getSearchWords().isEmpty());
    EXPECT_EQ (core->getTotalSearchHits(), 0);
    EXPECT_EQ (messages.drain(), juce::StringArray { Notifications::searchChanged }) << "the empty search clears and broadcasts too";
}

TEST_F (TranscriptSearchTest, WithoutADatabaseOnlyMarkersAreFound)
{
    core->addMarker ("words", "casa", 42.0);
    core->closeSearchDatabase (false);

    search ({ "casa" });
    EXPECT_EQ (hitsOf (*core, "words"), (Hits { 42.0 }));
    EXPECT_EQ (core->getTotalSearchHits(), 1);
}

TEST_F (TranscriptSearchTest, ADatabaseWithoutTheTablesFindsNothing)
{
    core = nullptr;
    ASSERT_TRUE (scratch.folder.getChildFile ("data.dat").replaceWithText ("not a database"));
    core = std::make_unique<Core> (scratch.folder);
    core->setCatalog (makeCatalog ({ "words" }));
    core->addMarker ("words", "casa", 1.0);

    search ({ "casa" });
    EXPECT_EQ (hitsOf (*core, "words"), (Hits { 1.0 }));
}
