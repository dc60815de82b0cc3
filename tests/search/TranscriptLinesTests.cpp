#include "model/CatalogDocument.h"
#include "search/TranscriptIndexer.h"
#include "search/TranscriptLines.h"
#include "search/TranscriptSearch.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

using namespace SearchTestSupport;
using Kind = TranscriptLines::Kind;

namespace
{
/** A line as "seconds|piece|piece...", each piece as its kind's letter and text. */
juce::String describe (const TranscriptLines::Line& line)
{
    juce::String text;
    text << line.seconds;

    for (const auto& piece : line.pieces)
    {
        const char* kinds[] = { "w", "x", "p", "t" };
        text << "|" << kinds[(int) piece.kind] << piece.text;

        if (piece.wordIndex >= 0)
            text << piece.wordIndex;
    }

    return text;
}

juce::StringArray describeAll (const TranscriptLines& lines)
{
    juce::StringArray all;

    for (int l = 0; l < lines.getNumLines(); ++l)
        all.add (describe (lines.getLine (l)));

    return all;
}

/** A transcript of words "w0 w1 ..." with stamps before chosen words. */
juce::String makeTranscript (int numWords, const std::vector<std::pair<int, juce::String>>& stamps)
{
    juce::String text;

    for (int w = 0; w < numWords; ++w)
    {
        for (const auto& [before, stamp] : stamps)
            if (before == w)
                text << "[" << stamp << "]";

        text << "w" << w << " ";
    }

    return text;
}

juce::String spansToText (const std::vector<TranscriptLines::Span>& spans)
{
    juce::String text;

    for (const auto& span : spans)
        text << (span.highlighted ? "<" + span.text + ">" : span.text);

    return text;
}
} // namespace

TEST (TranscriptLines, ShowsTheMarkupAsLinesOfPiecesNumberedAsTheDatabaseIs)
{
    const auto lines = TranscriptLines::parse ("[00:05]Hello (laughs) *uh {um} world[00:12]again* x* end*");

    EXPECT_EQ (describeAll (lines), juce::StringArray ({ "5|wHello0|t |plaughs|t |xuh1|t |wum2|t |wworld3", "12|xagain4|t |xx5|t |xend6" }))
        << "stamps, parentheses, stars and braces are not shown; what the search passes over is dimmed";
    EXPECT_EQ (lines.getNumWords(), 7);
    EXPECT_EQ (lines.getLineOfWord (3), 0);
    EXPECT_EQ (lines.getLineOfWord (4), 1);
    EXPECT_EQ (lines.getLine (1).firstWord, 4);
    EXPECT_EQ (lines.getLine (1).endWord, 7);
}

TEST (TranscriptLines, TextBeforeTheFirstStampIsALineAtZeroAndEmptyStampsGiveNoLines)
{
    EXPECT_EQ (describeAll (TranscriptLines::parse ("Ciao ciao, [00:01] [00:02][00:03]tutti.")),
               juce::StringArray ({ "0|wCiao0|t |wciao1|t, ", "3|wtutti2|t." }));
    EXPECT_EQ (TranscriptLines::parse ("").getNumLines(), 0);
    EXPECT_EQ (TranscriptLines::parse ("[00:01]  ").getNumLines(), 0);
}

TEST (TranscriptLines, BrokenMarkupShowsWhatCanBeRead)
{
    EXPECT_EQ (describeAll (TranscriptLines::parse ("uno (due [00:03] tre")), juce::StringArray ({ "0|wuno0|t |pdue [00:03] tre" }))
        << "an unclosed passage runs to the end, as the indexer skips it";
    EXPECT_EQ (describeAll (TranscriptLines::parse ("uno ) due] [00:0")), juce::StringArray ({ "0|wuno0|t ) |wdue1|t] " }))
        << "an unfinished stamp is dropped; stray closing marks are text";

    const auto deep = TranscriptLines::parse (juce::String::repeatedString ("({[*", 100000) + "fine");
    EXPECT_EQ (deep.getNumWords(), 0) << "nesting is not counted, so no depth can overflow anything";
}

TEST (TranscriptLines, ClicksLandWhereTheSearchPlacesItsHits)
{
    // A word before the first stamp is interpolated from (word 0, 0 s).
    const auto beforeFirst = TranscriptLines::parse (makeTranscript (120, { { 100, "01:00" } }));
    EXPECT_DOUBLE_EQ (beforeFirst.getSpokenTime (50), 30.0);
    EXPECT_DOUBLE_EQ (beforeFirst.getSeekTime (50), 25.0);

    // Stamps at word 10 (60 s) and word 20 (80 s): word 15 is spoken at 70 s and played from 65 s.
    const auto between = TranscriptLines::parse (makeTranscript (30, { { 10, "01:00" }, { 20, "01:20" } }));
    EXPECT_DOUBLE_EQ (between.getSpokenTime (15), 70.0);
    EXPECT_DOUBLE_EQ (between.getSeekTime (15), 65.0);
    EXPECT_DOUBLE_EQ (between.getSeekTime (10), 57.0) << "on a stamp's word: 3 s before the stamp";
    EXPECT_DOUBLE_EQ (between.getSpokenTime (25), 80.0) << "after the last stamp: its time";
    EXPECT_DOUBLE_EQ (between.getLineSeekTime (1), 57.0) << "a line plays from its first word";
    EXPECT_DOUBLE_EQ (between.getLineSeekTime (0), 0.0);

    const auto early = TranscriptLines::parse ("[00:02]uno due");
    EXPECT_DOUBLE_EQ (early.getSeekTime (0), 0.0) << "never below 0";
}

TEST (TranscriptLines, DuplicateStampsCountAsTheDatabaseKeepsThem)
{
    // The second 00:10 is missing from the database; of the two stamps before word 2 the search
    // reads 00:20.
    const auto lines = TranscriptLines::parse ("[00:10]a b [00:20][00:50]c d [00:10]e f [01:00]g");
    EXPECT_DOUBLE_EQ (lines.getSpokenTime (2), 20.0);
    EXPECT_DOUBLE_EQ (lines.getSpokenTime (4), 20.0 + 2.0 / 4.0 * 40.0) << "from 00:20 at word 2 to 01:00 at word 6";
    EXPECT_EQ (lines.getNumLines(), 4) << "every stamp that has text starts a line, shown with its own time";
    EXPECT_EQ (lines.getLine (2).seconds, 10);
}

TEST (TranscriptLines, EveryWordPlaysFromWhereTheSearchFindsIt)
{
    // Random transcripts of a small vocabulary, with markup and stamps in any order, written as
    // the update writes them; every search of one or two words must give, chapter by chapter,
    // the hits the search gives, in its order.
    ScratchFolder scratch;
    juce::Random random (2909);
    const juce::StringArray vocabulary { "casa", "Case", "casetta", "buon", "giorno", "e", "il", juce::CharPointer_UTF8 ("citt\xc3\xa0"), "CITTA", "50%" };
    std::vector<std::pair<juce::String, juce::String>> chapters;
    juce::String xml = "<catalog><course id='c'><lesson>";

    for (int c = 0; c < 20; ++c)
    {
        juce::String text;

        for (int w = 0, n = 50 + random.nextInt (200); w < n; ++w)
        {
            const auto roll = random.nextInt (40);

            if (roll < 4)
                text << "[" << random.nextInt (4) << ":" << random.nextInt (60) << "]";
            else if (roll == 4)
                text << "(ride) ";
            else if (roll == 5)
                text << "*";
            else if (roll == 6)
                text << "{" << vocabulary[random.nextInt (vocabulary.size())] << " ";

            text << vocabulary[random.nextInt (vocabulary.size())] << (roll == 6 ? "} " : random.nextBool() ? " "
                                                                                                            : ", ");
        }

        const auto id = "ch" + juce::String (c);
        chapters.emplace_back (id, text);
        xml << "<chapter id='" << id << "'><text>" << text << "</text></chapter>";
    }

    xml << "</lesson></course></catalog>";
    CatalogDocument document;
    ASSERT_TRUE (document.parse (xml));
    const auto databaseFile = scratch.folder.getChildFile ("data.dat");
    ASSERT_EQ (TranscriptIndexer::build (document.getRoot(), databaseFile, {}), TranscriptIndexer::Result::built);

    sqlite3* db = nullptr;
    ASSERT_EQ (sqlite3_open_v2 (databaseFile.getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    int searched = 0;

    for (const auto& first : vocabulary)
    {
        for (const auto& second : juce::StringArray { "", "giorno", "case", "e" })
        {
            const auto words = second.isEmpty() ? juce::StringArray { first } : juce::StringArray { first, second };
            Core::SearchHits hits;
            ASSERT_TRUE (TranscriptSearch::findSpokenWords (db, words, hits));

            for (const auto& [id, text] : chapters)
            {
                const auto lines = TranscriptLines::parse (text);
                std::vector<double> times;

                for (auto word : lines.findPhrase (words))
                    times.push_back (lines.getSeekTime (word));

                const auto found = hits.find (id);
                EXPECT_EQ (times, found != hits.end() ? found->second : std::vector<double>()) << words.joinIntoString (" ") << " in " << text;
                searched += (int) times.size();
            }
        }
    }

    sqlite3_close (db);
    EXPECT_GT (searched, 1000) << "the searches found enough to compare";
}

TEST (TranscriptLines, FollowsPlaybackWordByWordAndLineByLine)
{
    const auto lines = TranscriptLines::parse (makeTranscript (30, { { 0, "00:10" }, { 10, "00:20" }, { 20, "00:40" } }));
    EXPECT_EQ (lines.findWordSpokenAt (9.9), -1);
    EXPECT_EQ (lines.findLineSpokenAt (9.9), -1);
    EXPECT_EQ (lines.findWordSpokenAt (10.0), 0);
    EXPECT_EQ (lines.findWordSpokenAt (15.0), 5);
    EXPECT_EQ (lines.findWordSpokenAt (19.99), 9);
    EXPECT_EQ (lines.findLineSpokenAt (19.99), 0);
    EXPECT_EQ (lines.findLineSpokenAt (20.0), 1);
    EXPECT_EQ (lines.findWordSpokenAt (39.0), 19);
    EXPECT_EQ (lines.findLineSpokenAt (500.0), 2);

    // A seek backwards finds the earlier line again: nothing depends on the previous answer.
    EXPECT_EQ (lines.findLineSpokenAt (12.0), 0);

    // Stamps out of order: the word whose time was reached last.
    const auto unordered = TranscriptLines::parse ("[00:30]uno due [00:10]tre");
    EXPECT_EQ (unordered.findWordSpokenAt (11.0), 2);
    EXPECT_EQ (unordered.findWordSpokenAt (31.0), 0) << "uno is at 30 s; due, interpolated back to 20 s, came before";
}

TEST (TranscriptLines, CaptionsShowAtMostTenWordsOfTheLineBeingSpoken)
{
    // One line of 25 words from 0 s to 25 s: parts of 9, 9 and 7 words.
    const auto lines = TranscriptLines::parse (makeTranscript (25, { { 0, "00:00" } }) + "[00:25]fine.");
    EXPECT_EQ (lines.getCaption (0.5), "w0 w1 w2 w3 w4 w5 w6 w7 w8");
    EXPECT_EQ (lines.getCaption (9.0), "w9 w10 w11 w12 w13 w14 w15 w16 w17");
    EXPECT_EQ (lines.getCaption (24.9), "w18 w19 w20 w21 w22 w23 w24");
    EXPECT_EQ (lines.getCaption (25.0), "fine.") << "the punctuation after a word goes with it";
    EXPECT_EQ (lines.getCaption (25.0 + TranscriptLines::captionHoldSeconds + 0.1), "") << "gone a while after the last word";

    for (double t = 0.0; t < 25.0; t += 0.25)
        EXPECT_LE (juce::StringArray::fromTokens (lines.getCaption (t), " ", "").size(), TranscriptLines::maxCaptionWords);

    EXPECT_EQ (TranscriptLines::parse ("[00:05]Hello (laughs) *uh world").getCaption (6.0), "Hello uh world") << "no passages in captions";
    EXPECT_EQ (TranscriptLines::parse ("[00:05]Hello").getCaption (4.0), "");
}

TEST (TranscriptLines, ContextShowsAboutTenWordsWithThePhraseHighlighted)
{
    const auto lines = TranscriptLines::parse ("[00:00]Oggi parliamo della casa, e della (ride) *ehm casa nuova.\n[00:10]La casa nuova ha un giardino grande e bello, con alberi e fiori.");
    const auto found = lines.findPhrase ({ "casa", "nuova" });
    ASSERT_EQ (found, (std::vector<int> { 7, 10 })) << "the first casa is followed by e; ehm keeps its number, the passage has none";

    EXPECT_EQ (spansToText (lines.getContext (7, 2)), "della ehm <casa> <nuova>. La casa nuova ha un giardino");
    EXPECT_EQ (spansToText (lines.getContext (10, 2)), "nuova. La <casa> <nuova> ha un giardino grande e bello,");
    EXPECT_EQ (spansToText (lines.getContext (0, 1)), "<Oggi> parliamo della casa, e della ehm casa nuova. La");
    EXPECT_TRUE (lines.getContext (99, 1).empty());
}

TEST (TranscriptLines, AStoppedParseKeepsWhatWasRead)
{
    const auto huge = juce::String::repeatedString ("[00:01]parola ", 200000);
    int asked = 0;
    const auto lines = TranscriptLines::parse (huge, [&]
                                               { return ++asked == 3; });
    EXPECT_EQ (asked, 3) << "asked every few thousand characters";
    EXPECT_GT (lines.getNumWords(), 0);
    EXPECT_LT (lines.getNumWords(), 5000);
    EXPECT_EQ (lines.findWordSpokenAt (1.0), lines.getNumWords() - 1) << "what was read is whole: every word has its times";
}
