#include "model/CatalogDocument.h"
#include "search/SearchDatabaseWriter.h"
#include "search/TranscriptIndexer.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

using namespace SearchTestSupport;

namespace
{
class SearchDatabaseTest : public ::testing::Test
{
protected:
    /** Indexes a transcript document into the database file. */
    TranscriptIndexer::Result build (const juce::String& xml, const TranscriptIndexer::StopCheck& shouldStop = {})
    {
        CatalogDocument document;
        EXPECT_TRUE (document.parse (xml)) << document.getError();
        return TranscriptIndexer::build (document.getRoot(), file, shouldStop);
    }

    /** A document of one course and lesson holding chapters given as id and text element. */
    static juce::String document (const juce::StringArray& chapters)
    {
        return "<catalog min='1'><course id='c'><lesson order='1'>" + chapters.joinIntoString ({}) + "</lesson></course></catalog>";
    }

    static juce::String chapter (const juce::String& id, const juce::String& text)
    {
        return "<chapter id='" + id + "'><text>" + text + "</text></chapter>";
    }

    ScratchFolder scratch;
    juce::File file = scratch.folder.getChildFile ("temp_1234tsy");
};
} // namespace

TEST_F (SearchDatabaseTest, HoldsExactlyTheTwoTablesAsDeclared)
{
    ASSERT_EQ (build (document ({ chapter ("a", "x") })), TranscriptIndexer::Result::built);

    const auto schema = query<juce::String> (file, "SELECT type || ' ' || name || ' ' || ifnull(sql, '') FROM sqlite_master ORDER BY name", [] (sqlite3_stmt* s)
                                             { return textColumn (s, 0); });
    EXPECT_EQ (schema, (std::vector<juce::String> {
                           "index sqlite_autoindex_timestamps_1 ",
                           "index sqlite_autoindex_words_1 ",
                           "table timestamps " + juce::String (SearchDatabaseWriter::createTimestampsTable).replace ("main.", ""),
                           "table words " + juce::String (SearchDatabaseWriter::createWordsTable).replace ("main.", ""),
                       }));
    EXPECT_EQ (juce::String (SearchDatabaseWriter::createWordsTable), "CREATE TABLE main.words (idmovie VARCHAR(255), wordindex INTEGER, word VARCHAR(255), PRIMARY KEY(idmovie, wordindex))");
    EXPECT_EQ (juce::String (SearchDatabaseWriter::createTimestampsTable), "CREATE TABLE main.timestamps (idmovie VARCHAR(255), seconds INTEGER, wordindex INTEGER, PRIMARY KEY(idmovie, seconds))");

    const auto journal = query<juce::String> (file, "PRAGMA journal_mode", [] (sqlite3_stmt* s)
                                              { return textColumn (s, 0); });
    EXPECT_EQ (journal, std::vector<juce::String> { "delete" }) << "the finished file is an ordinary database";
}

TEST_F (SearchDatabaseTest, TheWorkedExampleWritesEveryRow)
{
    ASSERT_EQ (build (document ({ chapter ("MOD3D-IT-0101", "[00:05]Hello (laughs) *uh {um} world[00:12]again* x* end*") })), TranscriptIndexer::Result::built);

    EXPECT_EQ (readWords (file), (std::vector<WordRow> { { "MOD3D-IT-0101", 0, "hello" }, { "MOD3D-IT-0101", 2, "um" }, { "MOD3D-IT-0101", 3, "world" } }));
    EXPECT_EQ (readStamps (file), (std::vector<StampRow> { { "MOD3D-IT-0101", 5, 0 }, { "MOD3D-IT-0101", 12, 4 } }));
}

TEST_F (SearchDatabaseTest, ChaptersOfEveryCourseAndLessonInOneDatabase)
{
    const auto xml = "<catalog><course id='c1'><lesson><chapter id='a'><text>uno</text></chapter></lesson>"
                     "<lesson><chapter id='b' title='x'><text> due <b>tre</b><![CDATA[ quattro ]]></text><text>ignored</text></chapter></lesson></course>"
                     "<course id='c2'><Lesson><Chapter ID='c'><Text>cinque</Text></Chapter></Lesson><other><chapter id='d'><text>no</text></chapter></other></course>"
                     "<chapter id='e'><text>no</text></chapter></catalog>";
    ASSERT_EQ (build (xml), TranscriptIndexer::Result::built);

    EXPECT_EQ (readWords (file), (std::vector<WordRow> { { "a", 0, "uno" }, { "b", 0, "due" }, { "b", 1, "tre" }, { "b", 2, "quattro" }, { "c", 0, "cinque" } }))
        << "the whole text of the first text element; names as the program reads its documents; only chapters in lessons in courses";
}

TEST_F (SearchDatabaseTest, AChapterWithoutTextLeavesNoTrace)
{
    ASSERT_EQ (build (document ({ "<chapter id='none'/>", chapter ("blank", " \n\t "), "<chapter id='empty'><text/></chapter>", chapter ("kept", "ok") })),
               TranscriptIndexer::Result::built);

    EXPECT_EQ (readWords (file), (std::vector<WordRow> { { "kept", 0, "ok" } }));
    EXPECT_TRUE (readStamps (file).empty());
}

TEST_F (SearchDatabaseTest, ARowThatBreaksThePrimaryKeyIsMissingAndTheOthersStay)
{
    ASSERT_EQ (build (document ({ chapter ("a", "[00:10]uno [00:10]due [00:11]tre"), chapter ("b", "[00:10]uno") })), TranscriptIndexer::Result::built);

    EXPECT_EQ (readStamps (file), (std::vector<StampRow> { { "a", 10, 0 }, { "a", 11, 2 }, { "b", 10, 0 } }));
    EXPECT_EQ (readWords (file).size(), 4u);

    // A chapter listed twice numbers from 0 again: its second words all collide and vanish.
    ScratchFolder other;
    file = other.folder.getChildFile ("twice.tsy");
    ASSERT_EQ (build (document ({ chapter ("a", "uno due"), chapter ("a", "tre quattro cinque") })), TranscriptIndexer::Result::built);
    EXPECT_EQ (readWords (file), (std::vector<WordRow> { { "a", 0, "uno" }, { "a", 1, "due" }, { "a", 2, "cinque" } }));
}

TEST_F (SearchDatabaseTest, AStopRequestEndsTheBuildBeforeTheNextCharacter)
{
    int checks = 0;
    const auto xml = document ({ chapter ("a", "uno due"), chapter ("b", "tre") });
    EXPECT_EQ (build (xml, [&]
                      { return ++checks > 10; }),
               TranscriptIndexer::Result::stopped);
    EXPECT_EQ (checks, 11) << "asked once per character and end of text, and no more once told to stop";

    checks = 0;
    ScratchFolder other;
    file = other.folder.getChildFile ("whole.tsy");
    EXPECT_EQ (build (xml, [&]
                      { return ++checks > 12; }),
               TranscriptIndexer::Result::built);
    EXPECT_EQ (checks, 12) << "8 + 4 checks for the two texts";
}

TEST_F (SearchDatabaseTest, ADatabaseThatCannotBeCreatedFails)
{
    file = scratch.folder.getChildFile ("missing/folder/db.tsy");
    EXPECT_EQ (build (document ({ chapter ("a", "uno") })), TranscriptIndexer::Result::failed);
    EXPECT_FALSE (file.exists());
}

TEST (TranscriptIndexer, TheTranscriptIsTheWholeTextTrimmed)
{
    pugi::xml_document document;
    ASSERT_TRUE (document.load_string ("<text>\n  uno <i>due <b>tre</b></i><![CDATA[ <quattro> ]]>\t</text>", pugi::parse_default | pugi::parse_cdata));
    EXPECT_EQ (TranscriptIndexer::getTranscript (document.first_child()), "uno due tre <quattro>");
    EXPECT_EQ (TranscriptIndexer::getTranscript (pugi::xml_node()), "");
}
