#include "model/CatalogDocument.h"
#include "search/TranscriptStore.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <sys/stat.h>

using namespace SearchTestSupport;

namespace
{
/** Builds a store from a transcript document's text. */
bool buildStore (const juce::String& xml, const juce::File& file, const TranscriptStore::StopCheck& shouldStop = {})
{
    CatalogDocument document;
    EXPECT_TRUE (document.parse (xml));
    return TranscriptStore::build (document.getRoot(), file, shouldStop);
}

/** What reading a chapter gives: the result and the text. */
std::pair<TranscriptStore::ReadResult, juce::String> readChapter (const juce::File& file, const juce::String& chapterId)
{
    juce::String text = "left over";
    const auto result = TranscriptStore::read (file, chapterId, text);
    return { result, text };
}

const juce::String twoCourses = juce::CharPointer_UTF8 ("<catalog min='1'>"
                                                        "<course id='c1'><lesson><chapter id='a'><text>  [00:03]Ciao (ride) *ehm {um} mondo  </text></chapter>"
                                                        "<chapter id='blank'><text>   </text></chapter><chapter id='none'/></lesson></course>"
                                                        "<course id='c2'><lesson><chapter id='b'><text>Città <b>è</b> bella</text></chapter>"
                                                        "<chapter id='a'><text>the second a</text></chapter></lesson></course></catalog>");
} // namespace

TEST (TranscriptStore, KeepsEachChaptersTranscriptAsTheIndexerReadsIt)
{
    ScratchFolder scratch;
    const auto file = scratch.folder.getChildFile ("new.tsy");
    ASSERT_TRUE (buildStore (twoCourses, file));

    EXPECT_EQ (readChapter (file, "a"), std::make_pair (TranscriptStore::ReadResult::found, juce::String ("[00:03]Ciao (ride) *ehm {um} mondo")))
        << "trimmed, markup kept, and the first of a chapter listed twice, as the database keeps";
    EXPECT_EQ (readChapter (file, "b"), std::make_pair (TranscriptStore::ReadResult::found, juce::String (juce::CharPointer_UTF8 ("Citt\xc3\xa0 \xc3\xa8 bella"))))
        << "the whole text below the element, in UTF-8";
    EXPECT_EQ (readChapter (file, "blank").first, TranscriptStore::ReadResult::noTranscript);
    EXPECT_EQ (readChapter (file, "none"), std::make_pair (TranscriptStore::ReadResult::noTranscript, juce::String()));
    EXPECT_EQ (readChapter (file, "unknown").first, TranscriptStore::ReadResult::noTranscript);
}

TEST (TranscriptStore, AStoppedOrImpossibleBuildLeavesNoFile)
{
    ScratchFolder scratch;
    const auto file = scratch.folder.getChildFile ("new.tsy");
    int asked = 0;

    EXPECT_FALSE (buildStore (twoCourses, file, [&]
                              { return ++asked == 2; }));
    EXPECT_EQ (asked, 2) << "asked between chapters";
    EXPECT_FALSE (file.exists());

    const auto inMissingFolder = scratch.folder.getChildFile ("gone/new.tsy");
    EXPECT_FALSE (buildStore (twoCourses, inMissingFolder));
    EXPECT_FALSE (inMissingFolder.exists());
}

TEST (TranscriptStore, InstallReplacesTheKeptFileWholeOrNotAtAll)
{
    ScratchFolder scratch;
    const auto kept = TranscriptStore::getFileBeside (scratch.folder.getChildFile ("data.dat"));
    EXPECT_EQ (kept, scratch.folder.getChildFile ("transcripts.dat"));
    EXPECT_EQ (readChapter (kept, "a").first, TranscriptStore::ReadResult::unavailable) << "nothing kept yet";

    const auto first = scratch.folder.getChildFile ("first.tsy");
    ASSERT_TRUE (buildStore ("<catalog><course><lesson><chapter id='a'><text>uno</text></chapter></lesson></course></catalog>", first));
    ASSERT_TRUE (TranscriptStore::install (first, kept));
    EXPECT_FALSE (first.exists());
    EXPECT_EQ (readChapter (kept, "a").second, "uno");

    const auto second = scratch.folder.getChildFile ("second.tsy");
    ASSERT_TRUE (buildStore ("<catalog><course><lesson><chapter id='a'><text>due</text></chapter></lesson></course></catalog>", second));
    ASSERT_TRUE (TranscriptStore::install (second, kept));
    EXPECT_EQ (readChapter (kept, "a").second, "due");

    EXPECT_FALSE (TranscriptStore::install (scratch.folder.getChildFile ("missing.tsy"), kept));
    EXPECT_EQ (readChapter (kept, "a").second, "due") << "a failed install keeps the file";

    const auto folder = scratch.folder.getChildFile ("a folder");
    ASSERT_TRUE (folder.createDirectory());
    EXPECT_FALSE (TranscriptStore::install (folder, kept));
    EXPECT_EQ (readChapter (kept, "a").second, "due");
}

TEST (TranscriptStore, WhatIsNotAStoreIsUnavailableAndNeverBlocks)
{
    ScratchFolder scratch;
    const auto kept = scratch.folder.getChildFile ("transcripts.dat");

    ASSERT_TRUE (kept.replaceWithText ("not a database at all, just some text that is long enough"));
    EXPECT_EQ (readChapter (kept, "a"), std::make_pair (TranscriptStore::ReadResult::unavailable, juce::String()));

    ASSERT_TRUE (kept.deleteFile());
    ASSERT_TRUE (writeDatabase (kept, { { "a", { "ciao" }, {} } }));
    EXPECT_EQ (readChapter (kept, "a").first, TranscriptStore::ReadResult::unavailable) << "a database without the table";

    ASSERT_TRUE (kept.deleteFile());
    ASSERT_EQ (mkfifo (kept.getFullPathName().toRawUTF8(), 0600), 0);
    EXPECT_EQ (readChapter (kept, "a").first, TranscriptStore::ReadResult::unavailable) << "a pipe is never opened";

    ASSERT_TRUE (kept.deleteFile());
    ASSERT_TRUE (kept.createDirectory());
    EXPECT_EQ (readChapter (kept, "a").first, TranscriptStore::ReadResult::unavailable);
}
