#include "model/CatalogDocument.h"
#include "search/CaptionOverlay.h"
#include "search/SearchResultsList.h"
#include "search/TranscriptIndexer.h"
#include "search/TranscriptPane.h"
#include "search/TranscriptSearch.h"
#include "search/TranscriptStore.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <iterator>
#include <set>

using namespace SearchTestSupport;

namespace
{
/** The row and the point in it where a word is drawn. */
std::pair<int, juce::Point<int>> findWord (TranscriptPane& pane, const TranscriptLines& lines, int wordIndex)
{
    const auto line = lines.getLineOfWord (wordIndex);
    const auto expected = lines.getSeekTime (wordIndex);

    // Scans the row's width for a point that plays from the word; only this word's time in the
    // test transcripts is unique to it.
    for (auto row = pane.getFirstRowOfLine (line); row >= 0 && row < pane.getList().getModel()->getNumRows(); ++row)
        for (int x = TranscriptPane::timeColumnWidth; x < pane.getWidth(); x += 2)
            if (pane.getSeekTimeAt (row, { x, 5 }) == std::optional<double> (expected))
                return { row, { x, 5 } };

    return { -1, {} };
}
} // namespace

TEST (TranscriptPane, AClickOnAWordPlaysFromWhereTheSearchPlacesItsHit)
{
    const auto lines = std::make_shared<const TranscriptLines> (TranscriptLines::parse ("[01:00]dieci undici dodici tredici quattordici quindici sedici diciassette diciotto diciannove [01:20]venti"));
    TranscriptPane pane;
    pane.setBounds (0, 0, 800, 300);
    pane.setTranscript (lines, "none");
    ASSERT_EQ (pane.getList().getModel()->getNumRows(), 2) << "one row per line at this width";

    std::vector<double> seeks;
    pane.onSeek = [&] (double seconds)
    { seeks.push_back (seconds); };

    // Word 5 of ten between 60 s and 80 s is spoken at 70 s, and the search places its hit at 65 s.
    const auto [row, point] = findWord (pane, *lines, 5);
    ASSERT_EQ (row, 0);
    const auto rowTop = pane.getList().getRowPosition (row, true).getY();
    auto* rowComponent = pane.getList().getComponentAt (point.withY (rowTop + point.y));
    ASSERT_NE (rowComponent, nullptr);
    ASSERT_NE (rowComponent, &pane.getList());
    const juce::MouseEvent click (juce::Desktop::getInstance().getMainMouseSource(), point.toFloat(), {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, rowComponent, rowComponent, juce::Time::getCurrentTime(), point.toFloat(), juce::Time::getCurrentTime(), 1, false);
    rowComponent->mouseDown (click);
    rowComponent->mouseUp (click);

    ASSERT_FALSE (seeks.empty()) << "the click reached the pane";
    EXPECT_DOUBLE_EQ (seeks.back(), 65.0);

    EXPECT_EQ (pane.getSeekTimeAt (0, { 2, 5 }), std::optional<double> (57.0)) << "the time column plays the line from its first word";
    EXPECT_EQ (pane.getSeekTimeAt (1, { 2, 5 }), std::optional<double> (77.0));
    EXPECT_EQ (pane.getSeekTimeAt (9, { 2, 5 }), std::nullopt);
}

TEST (TranscriptPane, ASearchedWordIsDrawnWhole)
{
    // The columns of a row where letters are drawn: letters are bright, a match's tint and the
    // background dark.
    const auto inkedColumns = [] (const juce::StringArray& searchWords)
    {
        TranscriptPane pane;
        pane.setBounds (0, 0, 400, 100);
        pane.setTranscript (std::make_shared<const TranscriptLines> (TranscriptLines::parse ("[00:02]In these lessons")), "none");
        pane.setSearchWords (searchWords);
        const auto image = pane.createComponentSnapshot (pane.getList().getRowPosition (0, false));
        std::set<int> columns;

        for (int x = TranscriptPane::timeColumnWidth; x < image.getWidth(); ++x)
            for (int y = 0; y < image.getHeight(); ++y)
                if (image.getPixelAt (x, y).getBrightness() > 0.5f)
                    columns.insert (x);

        return columns;
    };

    // A match is drawn where and as wide as the word was measured, or its last letters are cut.
    const auto plain = inkedColumns ({});
    const auto matched = inkedColumns ({ "lessons" });
    ASSERT_GT (plain.size(), 20u);
    std::vector<int> differing;
    std::set_symmetric_difference (plain.begin(), plain.end(), matched.begin(), matched.end(), std::back_inserter (differing));
    EXPECT_LE (differing.size(), 4u) << "columns inked in one drawing only";
}

TEST (TranscriptPane, FollowsPlaybackAndASeekKeepingTheSpokenLineInView)
{
    juce::String text;

    for (int l = 0; l < 400; ++l)
        text << "[" << l / 60 << ":" << l % 60 << "]riga numero " << l << " della trascrizione. ";

    const auto lines = std::make_shared<const TranscriptLines> (TranscriptLines::parse (text));
    ASSERT_EQ (lines->getNumLines(), 400);
    TranscriptPane pane;
    pane.setBounds (0, 0, 500, 220);
    pane.setTranscript (lines, "none");

    const auto isInView = [&pane] (int line)
    {
        const auto row = pane.getFirstRowOfLine (line);
        const auto first = pane.getList().getRowContainingPosition (0, 1);
        const auto last = pane.getList().getRowContainingPosition (0, pane.getList().getViewport()->getViewHeight() - 1);
        return row >= first && row <= last;
    };

    for (const auto& [seconds, line] : std::vector<std::pair<double, int>> { { 0.5, 0 }, { 1.0, 1 }, { 150.5, 150 }, { 399.0, 399 }, { 10.2, 10 } })
    {
        pane.setPosition (seconds);
        EXPECT_EQ (pane.getSpokenLine(), line) << seconds;
        EXPECT_TRUE (isInView (line)) << "line " << line << " scrolled into view";
    }

    // The user scrolls away; the pane only brings the spoken line back when it changes.
    pane.getList().scrollToEnsureRowIsOnscreen (pane.getFirstRowOfLine (300));
    pane.setPosition (10.7);
    EXPECT_FALSE (isInView (10));
    pane.setPosition (11.0);
    EXPECT_TRUE (isInView (11));
}

TEST (TranscriptPane, AChapterWithoutTranscriptSaysSo)
{
    TranscriptPane pane;
    pane.setBounds (0, 0, 400, 200);
    pane.setTranscript (nullptr, "No transcript for this chapter.");
    EXPECT_EQ (pane.getList().getModel()->getNumRows(), 0);
    EXPECT_FALSE (pane.getList().isVisible());
    pane.setPosition (10.0);
    EXPECT_EQ (pane.getSpokenLine(), -1);

    const auto image = pane.createComponentSnapshot (pane.getLocalBounds());
    EXPECT_TRUE (image.isValid());

    pane.setTranscript (std::make_shared<const TranscriptLines> (TranscriptLines::parse ("uno")), "No transcript for this chapter.");
    EXPECT_TRUE (pane.getList().isVisible());
    EXPECT_EQ (pane.getList().getModel()->getNumRows(), 1);
}

TEST (TranscriptPane, LongLinesWrapAtWordsAndClicksStillLandOnTheirWords)
{
    const auto lines = std::make_shared<const TranscriptLines> (TranscriptLines::parse ("[00:00]" + juce::String::repeatedString ("parola ", 60) + "[01:00]fine"));
    TranscriptPane pane;
    pane.setBounds (0, 0, 300, 400);
    pane.setTranscript (lines, "none");
    EXPECT_GT (pane.getList().getModel()->getNumRows(), 4) << "sixty words do not fit a row of 300 pixels";
    EXPECT_EQ (pane.getFirstRowOfLine (1), pane.getList().getModel()->getNumRows() - 1);

    for (auto word : { 0, 17, 42, 59 })
    {
        const auto [row, point] = findWord (pane, *lines, word);
        EXPECT_GE (row, 0) << "word " << word << " is somewhere in its line's rows";
    }

    pane.setSize (1200, 400);
    EXPECT_LT (pane.getList().getModel()->getNumRows(), 5) << "rewrapped to the new width";
}

TEST (CaptionOverlay, ShowsTheCaptionAndLetsClicksThrough)
{
    CaptionOverlay overlay;
    overlay.setBounds (0, 0, 640, 360);
    bool intercepts = true, children = true;
    overlay.getInterceptsMouseClicks (intercepts, children);
    EXPECT_FALSE (intercepts);

    const auto lines = TranscriptLines::parse ("[00:05]Benvenuti nel corso di modellazione.");
    overlay.setCaption (lines.getCaption (6.0));
    EXPECT_EQ (overlay.getCaption(), "Benvenuti nel corso di modellazione.");

    const auto image = overlay.createComponentSnapshot (overlay.getLocalBounds());
    const auto bottom = image.getPixelAt (320, 360 - 32);
    EXPECT_GT (bottom.getAlpha(), 0) << "a band is drawn at the bottom";
    EXPECT_EQ (image.getPixelAt (320, 20).getAlpha(), 0) << "the video shows everywhere else";
}

TEST (SearchResultsList, ReturnAndClicksChooseRowsAndEscapeCloses)
{
    ScratchFolder scratch;
    CatalogDocument document;
    const auto xml = "<catalog><course><lesson><chapter id='big'><text>[00:00]" + juce::String::repeatedString ("casa ", 100000) + "</text></chapter></lesson></course></catalog>";
    ASSERT_TRUE (document.parse (xml));
    ASSERT_EQ (TranscriptIndexer::build (document.getRoot(), scratch.folder.getChildFile ("data.dat"), {}), TranscriptIndexer::Result::built);

    Core core (scratch.folder);
    ASSERT_TRUE (core.setCatalog (makeCatalog ({ "big" })));
    TranscriptSearch::search (core, { "casa" });

    SearchResultsList list (core);
    list.setBounds (0, 0, 600, 400);
    list.setResults (SearchResults::collect (core));
    ASSERT_EQ (list.getList().getModel()->getNumRows(), 100000);
    EXPECT_EQ (list.getList().getSelectedRow(), 0);

    std::vector<int> chosen;
    list.onChosen = [&] (const SearchResults::Row& row)
    { chosen.push_back (row.hitIndex); };
    int closed = 0;
    list.onClose = [&]
    { ++closed; };

    EXPECT_TRUE (list.keyPressed (juce::KeyPress (juce::KeyPress::downKey)));
    EXPECT_TRUE (list.keyPressed (juce::KeyPress (juce::KeyPress::downKey)));
    EXPECT_TRUE (list.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    EXPECT_EQ (chosen, std::vector<int> { 2 });

    EXPECT_TRUE (list.keyPressed (juce::KeyPress (juce::KeyPress::endKey)));
    EXPECT_EQ (list.getList().getSelectedRow(), 99999);
    EXPECT_TRUE (list.keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    EXPECT_EQ (chosen.back(), 99999);

    // The last rows are painted without the transcripts kept: no context, no failure.
    const auto image = list.createComponentSnapshot (list.getLocalBounds());
    EXPECT_TRUE (image.isValid());

    EXPECT_TRUE (list.keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_EQ (closed, 1);

    list.setResults ({});
    EXPECT_EQ (list.getList().getModel()->getNumRows(), 0);
    list.keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    EXPECT_EQ (chosen.size(), 2u) << "nothing to choose, nothing chosen";
}
