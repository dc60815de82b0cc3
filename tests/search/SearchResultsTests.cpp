#include "model/CatalogDocument.h"
#include "search/SearchResults.h"
#include "search/TranscriptCache.h"
#include "search/TranscriptIndexer.h"
#include "search/TranscriptSearch.h"
#include "search/TranscriptStore.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

using namespace SearchTestSupport;

namespace
{
juce::String spansToText (const std::vector<TranscriptLines::Span>& spans)
{
    juce::String text;

    for (const auto& span : spans)
        text << (span.highlighted ? "<" + span.text + ">" : span.text);

    return text;
}

/** Writes the search database and the kept transcripts of a transcript document. */
void writeTranscripts (const juce::File& folder, const juce::String& databaseXml, const juce::String& keptXml)
{
    CatalogDocument database, kept;
    ASSERT_TRUE (database.parse (databaseXml));
    ASSERT_TRUE (kept.parse (keptXml));
    ASSERT_EQ (TranscriptIndexer::build (database.getRoot(), folder.getChildFile ("data.dat"), {}), TranscriptIndexer::Result::built);
    const auto newFile = folder.getChildFile ("new.tsy");
    ASSERT_TRUE (TranscriptStore::build (kept.getRoot(), newFile));
    ASSERT_TRUE (TranscriptStore::install (newFile, TranscriptStore::getFileBeside (folder.getChildFile ("data.dat"))));
}

juce::String chapterXml (const juce::String& id, const juce::String& text)
{
    return "<chapter id='" + id + "'><text>" + text + "</text></chapter>";
}

/** A Core over transcripts of three chapters in two courses, the last one not kept for reading. */
class SearchResultsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto a = chapterXml ("a", "[00:00]Benvenuti a casa. [00:20]Oggi parliamo della casa nuova e del giardino.");
        const auto b = chapterXml ("b", "[01:00]Una casa grande.");
        const auto c = chapterXml ("c", "[00:10]La casa di campagna.");
        writeTranscripts (scratch.folder,
                          "<catalog><course><lesson>" + a + b + c + "</lesson></course></catalog>",
                          "<catalog><course><lesson>" + a + b + "</lesson></course></catalog>");

        core = std::make_unique<Core> (scratch.folder);
        ASSERT_TRUE (core->isSearchDatabaseOpen());

        // c comes first in the catalog, and b is listed twice.
        auto root = juce::parseXML ("<catalog><course id='k2' title='Campagna'><lesson order='1' title='L'><chapter id='c' order='4' title='Fuori'/></lesson></course>"
                                    "<course id='k1' title='Modellazione'><lesson order='2' title='Primi passi'><chapter id='a' order='1' title='Intro'/><chapter id='b' order='3' title='Stanze'/></lesson>"
                                    "<lesson order='5'><chapter id='b' order='3' title='Stanze'/></lesson></course></catalog>");
        auto catalog = std::make_unique<Catalog>();
        ASSERT_TRUE (CatalogParser::parseCatalog (*catalog, *root, false));
        ASSERT_TRUE (core->setCatalog (std::move (catalog)));
        core->addMarker ("b", "casa nuova", 75.0);
        core->addMarker ("b", "Casa vecchia", 80.0);
    }

    ScratchFolder scratch;
    std::unique_ptr<Core> core;
};
} // namespace

TEST_F (SearchResultsTest, ListsEveryHitInCatalogOrderWithWhereAndWhatIsSaid)
{
    TranscriptSearch::search (*core, { "casa" });
    ASSERT_EQ (core->getTotalSearchHits(), 6) << "b's marker is found once per listing";

    const auto results = SearchResults::collect (*core);
    ASSERT_EQ (results.getNumRows(), 6) << "every hit once, b's rows once although it is listed twice";
    TranscriptCache transcripts (core->getSearchDatabaseFile());

    juce::StringArray rows;

    for (int r = 0; r < results.getNumRows(); ++r)
        rows.add (results.getCourseText (*core, r) + " | " + results.getChapterText (*core, r) + " | "
                  + SearchResults::formatTime (results.getRow (r).seconds) + " | " + spansToText (results.getContext (transcripts, r)));

    EXPECT_EQ (rows, juce::StringArray ({ "Campagna | 1.4 - Fuori | 0:07 | ", "Modellazione | 2.1 - Intro | 0:08 | Benvenuti a <casa>. Oggi parliamo della casa nuova e del", "Modellazione | 2.1 - Intro | 0:17 | a casa. Oggi parliamo della <casa> nuova e del giardino.", "Modellazione | 2.3 - Stanze | 0:57 | Una <casa> grande.", "Modellazione | 2.3 - Stanze | 1:15 | casa nuova", "Modellazione | 2.3 - Stanze | 1:15 | casa nuova" }))
        << "c has no kept transcript; the marker's hit shows its label";
    EXPECT_EQ (results.getRow (5).markerLabel, "casa nuova");
    EXPECT_TRUE (results.getRow (3).markerLabel.isEmpty());
    EXPECT_EQ (results.getWords(), juce::StringArray ({ "casa" }));
}

TEST_F (SearchResultsTest, APhraseIsHighlightedWordByWord)
{
    TranscriptSearch::search (*core, { "casa", "nuova" });
    const auto results = SearchResults::collect (*core);
    ASSERT_EQ (results.getNumRows(), 3);
    TranscriptCache transcripts (core->getSearchDatabaseFile());
    EXPECT_EQ (spansToText (results.getContext (transcripts, 0)), "a casa. Oggi parliamo della <casa> <nuova> e del giardino.");
    EXPECT_EQ (spansToText (results.getContext (transcripts, 1)), "casa nuova");
    EXPECT_EQ (spansToText (results.getContext (transcripts, 2)), "casa nuova");
}

TEST_F (SearchResultsTest, NoSearchOrNoHitsGiveNoRows)
{
    EXPECT_EQ (SearchResults::collect (*core).getNumRows(), 0);
    TranscriptSearch::search (*core, { "nulla" });
    EXPECT_EQ (SearchResults::collect (*core).getNumRows(), 0);
}

TEST_F (SearchResultsTest, MarkersChangedSinceTheSearchLeaveTheRowsSpoken)
{
    TranscriptSearch::search (*core, { "casa" });
    core->removeMarker ("b", 0);
    core->addMarker ("b", "casa nuova", 90.0);

    const auto results = SearchResults::collect (*core);
    ASSERT_EQ (results.getNumRows(), 6);
    TranscriptCache transcripts (core->getSearchDatabaseFile());

    for (auto row : { 4, 5 })
    {
        EXPECT_TRUE (results.getRow (row).markerLabel.isEmpty());
        EXPECT_TRUE (results.getContext (transcripts, row).empty()) << "no word of the transcript is at that time";
    }
}

TEST_F (SearchResultsTest, TranscriptsThatNoLongerHoldTheHitShowNoContext)
{
    TranscriptSearch::search (*core, { "casa" });

    const auto newFile = scratch.folder.getChildFile ("newer.tsy");
    CatalogDocument changed;
    ASSERT_TRUE (changed.parse ("<catalog><course><lesson>" + chapterXml ("a", "[00:20]Tutto nuovo, casa mia.") + "</lesson></course></catalog>"));
    ASSERT_TRUE (TranscriptStore::build (changed.getRoot(), newFile));
    ASSERT_TRUE (TranscriptStore::install (newFile, TranscriptStore::getFileBeside (core->getSearchDatabaseFile())));

    const auto results = SearchResults::collect (*core);
    TranscriptCache transcripts (core->getSearchDatabaseFile());
    EXPECT_TRUE (results.getContext (transcripts, 1).empty()) << "no word there is placed at 8 s";
    EXPECT_EQ (spansToText (results.getContext (transcripts, 2)), "Tutto nuovo, <casa> mia.") << "a match at the hit's time still shows";
    EXPECT_TRUE (results.getContext (transcripts, 3).empty()) << "b is no longer kept";
}

TEST (SearchResults, ListsAHundredThousandHits)
{
    ScratchFolder scratch;
    const auto text = "[00:00]" + juce::String::repeatedString ("casa ", 50000) + "[59:59]" + juce::String::repeatedString ("case ", 50000);
    const auto xml = "<catalog><course><lesson>" + chapterXml ("big", text) + "</lesson></course></catalog>";
    writeTranscripts (scratch.folder, xml, xml);

    Core core (scratch.folder);
    ASSERT_TRUE (core.isSearchDatabaseOpen());
    ASSERT_TRUE (core.setCatalog (makeCatalog ({ "big" })));
    TranscriptSearch::search (core, { "casa" });

    const auto results = SearchResults::collect (core);
    ASSERT_EQ (results.getNumRows(), 100000);
    EXPECT_EQ (results.getRow (99999).hitIndex, 99999);
    EXPECT_EQ (SearchResults::formatTime (results.getRow (99999).seconds), "59:56");

    TranscriptCache transcripts (core.getSearchDatabaseFile());
    EXPECT_EQ (spansToText (results.getContext (transcripts, 99999)), "case case case case case case case case case <case>");
    EXPECT_EQ (spansToText (results.getContext (transcripts, 50000)), "casa casa casa <case> case case case case case case");
}

TEST (SearchResults, FormatsTimesAsMinutesOrHours)
{
    EXPECT_EQ (SearchResults::formatTime (0.0), "0:00");
    EXPECT_EQ (SearchResults::formatTime (65.9), "1:05");
    EXPECT_EQ (SearchResults::formatTime (3599.0), "59:59");
    EXPECT_EQ (SearchResults::formatTime (3600.0), "1:00:00");
    EXPECT_EQ (SearchResults::formatTime (36000.0 + 61.0), "10:01:01");
    EXPECT_EQ (SearchResults::formatTime (-4.0), "0:00");
}

TEST (TranscriptCache, SaysWhyThereAreNoLinesAndSeesAFileThatAppearsLater)
{
    ScratchFolder scratch;
    TranscriptCache cache (scratch.folder.getChildFile ("data.dat"));
    auto status = TranscriptCache::Status::found;
    EXPECT_EQ (cache.get ("a", status), nullptr);
    EXPECT_EQ (status, TranscriptCache::Status::unavailable);

    const auto xml = "<catalog><course><lesson>" + chapterXml ("a", "[00:01]uno due") + "</lesson></course></catalog>";
    writeTranscripts (scratch.folder, xml, xml);

    const auto lines = cache.get ("a", status);
    ASSERT_NE (lines, nullptr) << "a missing file is not remembered";
    EXPECT_EQ (status, TranscriptCache::Status::found);
    EXPECT_EQ (lines->getNumWords(), 2);
    EXPECT_EQ (cache.get ("a", status), lines) << "parsed once";

    EXPECT_EQ (cache.get ("b", status), nullptr);
    EXPECT_EQ (status, TranscriptCache::Status::noTranscript);

    for (size_t i = 0; i < TranscriptCache::capacity; ++i)
        cache.get ("other" + juce::String ((int) i), status);

    EXPECT_NE (cache.get ("a", status), lines) << "the oldest was let go";
}
