#include "model/CatalogDocument.h"
#include "search/TranscriptIndexer.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdlib>

using namespace SearchTestSupport;

namespace
{
class SearchDatabaseTest : public ::testing::Test
{
protected:
    /** Indexes a transcript document into a new database file. */
    TranscriptIndexer::Result build (const juce::String& xml, const TranscriptIndexer::StopCheck& shouldStop = {})
    {
        CatalogDocument document;
        EXPECT_TRUE (document.parse (xml)) << document.getError();
        file = scratch.folder.getChildFile ("temp_" + juce::String (++built) + "tsy");
        return TranscriptIndexer::build (document.getRoot(), file, shouldStop);
    }

    /** A document of one course and lesson holding these chapters, given as (id, text). */
    static juce::String document (const std::vector<std::pair<juce::String, juce::String>>& chapters)
    {
        juce::String xml = "<catalog min='1'><course id='c'><lesson order='1'>";

        for (const auto& [id, text] : chapters)
            xml << "<chapter id='" << id << "'><text>" << text << "</text></chapter>";

        return xml + "</lesson></course></catalog>";
    }

    ScratchFolder scratch;
    juce::File file;
    int built = 0;
};
} // namespace

TEST_F (SearchDatabaseTest, WritesTheRowsOfWhatTheDocumentHolds)
{
    struct Case
    {
        juce::String what, xml;
        std::vector<WordRow> words;
        std::vector<StampRow> stamps;
    };

    for (const auto& c : std::vector<Case> {
             { "the worked example", document ({ { "MOD3D-IT-0101", "[00:05]Hello (laughs) *uh {um} world[00:12]again* x* end*" } }), { { "MOD3D-IT-0101", 0, "hello" }, { "MOD3D-IT-0101", 2, "um" }, { "MOD3D-IT-0101", 3, "world" } }, { { "MOD3D-IT-0101", 5, 0 }, { "MOD3D-IT-0101", 12, 4 } } },
             { "the whole first text of chapters in lessons in courses, names read as the program reads its documents",
               "<catalog><course id='c1'><lesson><chapter id='a'><text>uno</text></chapter></lesson>"
               "<lesson><chapter id='b' title='x'><text> due <b>tre</b><![CDATA[ quattro ]]></text><text>ignored</text></chapter></lesson></course>"
               "<course id='c2'><Lesson><Chapter ID='c'><Text>cinque</Text></Chapter></Lesson><other><chapter id='d'><text>no</text></chapter></other></course>"
               "<chapter id='e'><text>no</text></chapter></catalog>",
               { { "a", 0, "uno" }, { "b", 0, "due" }, { "b", 1, "tre" }, { "b", 2, "quattro" }, { "c", 0, "cinque" } },
               {} },
             { "chapters without text leave no trace",
               "<catalog><course id='c'><lesson><chapter id='none'/><chapter id='blank'><text> \n\t </text></chapter>"
               "<chapter id='empty'><text/></chapter><chapter id='kept'><text>ok</text></chapter></lesson></course></catalog>",
               { { "kept", 0, "ok" } },
               {} },
             { "a row that breaks the primary key is missing, the others stay", document ({ { "a", "[00:10]uno [00:10]due [00:11]tre" }, { "b", "[00:10]uno" } }), { { "a", 0, "uno" }, { "a", 1, "due" }, { "a", 2, "tre" }, { "b", 0, "uno" } }, { { "a", 10, 0 }, { "a", 11, 2 }, { "b", 10, 0 } } },
             { "a chapter listed twice numbers from 0 again", document ({ { "a", "uno due" }, { "a", "tre quattro cinque" } }), { { "a", 0, "uno" }, { "a", 1, "due" }, { "a", 2, "cinque" } }, {} } })
    {
        ASSERT_EQ (build (c.xml), TranscriptIndexer::Result::built) << c.what;
        EXPECT_EQ (readWords (file), c.words) << c.what;
        EXPECT_EQ (readStamps (file), c.stamps) << c.what;
    }
}

TEST_F (SearchDatabaseTest, AStopRequestEndsTheBuildBeforeTheNextCharacter)
{
    const auto xml = document ({ { "a", "uno due" }, { "b", "tre" } });
    int checks = 0;
    EXPECT_EQ (build (xml, [&]
                      { return ++checks > 10; }),
               TranscriptIndexer::Result::stopped);
    EXPECT_EQ (checks, 11) << "asked once per character and end of text, and no more once told to stop";

    checks = 0;
    EXPECT_EQ (build (xml, [&]
                      { return ++checks > 12; }),
               TranscriptIndexer::Result::built);
    EXPECT_EQ (checks, 12) << "8 + 4 checks for the two texts";
}

TEST_F (SearchDatabaseTest, ADatabaseThatCannotBeCreatedFails)
{
    CatalogDocument document;
    ASSERT_TRUE (document.parse (SearchDatabaseTest::document ({ { "a", "uno" } })));
    file = scratch.folder.getChildFile ("missing/folder/db.tsy");
    EXPECT_EQ (TranscriptIndexer::build (document.getRoot(), file, {}), TranscriptIndexer::Result::failed);
    EXPECT_FALSE (file.exists());
}

TEST_F (SearchDatabaseTest, AFullDiskFailsTheBuildInsteadOfKeepingTheRowsThatFitted)
{
    const auto small = scratch.folder.getChildFile ("small");
    ASSERT_TRUE (small.createDirectory());

    if (std::system (("mount -t tmpfs -o size=64k tmpfs '" + small.getFullPathName() + "' 2>/dev/null").toRawUTF8()) != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";

    std::vector<std::pair<juce::String, juce::String>> chapters;

    for (int i = 0; i < 40; ++i)
        chapters.emplace_back ("ch" + juce::String (i), juce::String::repeatedString ("parola" + juce::String (i) + " ", 200));

    CatalogDocument document;
    ASSERT_TRUE (document.parse (SearchDatabaseTest::document (chapters)));
    const auto result = TranscriptIndexer::build (document.getRoot(), small.getChildFile ("temp_1tsy"), {});
    std::system (("umount -l '" + small.getFullPathName() + "'").toRawUTF8());

    EXPECT_EQ (result, TranscriptIndexer::Result::failed) << "a database missing the rows that did not fit is never installed";
}
