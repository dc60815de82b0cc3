#include "model/CatalogDocument.h"
#include "model/Core.h"
#include "search/TranscriptFollower.h"
#include "search/TranscriptStore.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace
{
/** A Core whose kept transcripts the test writes, and a follower of them stopped at 0 s. */
class TranscriptFollowerTest : public ::testing::Test
{
protected:
    void keep (const juce::StringPairArray& transcripts)
    {
        juce::String xml = "<catalog><course><lesson>";

        for (const auto& chapterId : transcripts.getAllKeys())
            xml << "<chapter id='" << chapterId << "'><text>" << transcripts[chapterId] << "</text></chapter>";

        CatalogDocument document;
        ASSERT_TRUE (document.parse (xml + "</lesson></course></catalog>"));
        const auto newFile = home.getFolder().getChildFile ("transcripts.new");
        ASSERT_TRUE (TranscriptStore::build (document.getRoot(), newFile));
        const auto kept = TranscriptStore::getFileBeside (core.getSearchDatabaseFile());
        ASSERT_TRUE (kept.getParentDirectory().createDirectory());
        ASSERT_TRUE (TranscriptStore::install (newFile, kept));
    }

    /** A transcript of many lines, long enough that reading it is still under way when the
        test moves on.
    */
    static juce::String longTranscript (int numLines)
    {
        juce::String text;

        for (int line = 0; line < numLines; ++line)
            text << "[" << juce::String (line / 60).paddedLeft ('0', 2) << ":" << juce::String (line % 60).paddedLeft ('0', 2) << "]parola altra ancora ";

        return text;
    }

    int rowsShown() { return follower->getPane().getList().getModel()->getNumRows(); }

    bool readingEnds() { return MessagePump::runUntil ([this] { return ! follower->isReading(); }); }

    ScratchHome home;
    Core core { home.getUserDataFolder() };
    std::unique_ptr<TranscriptFollower> follower = std::make_unique<TranscriptFollower> (core, [] { return 0.0; });

    void SetUp() override { follower->getPane().setSize (2000, 400); }
};
} // namespace

TEST_F (TranscriptFollowerTest, ATranscriptIsReadOffTheWindowAndOnlyTheChapterStillOpenIsShown)
{
    juce::StringPairArray transcripts;
    transcripts.set ("long", longTranscript (3000));
    transcripts.set ("short", "[00:00]uno [00:01]due");
    keep (transcripts);

    follower->setChapter ("short");
    EXPECT_TRUE (follower->isReading()) << "a transcript not read before is read on the follower's thread";
    EXPECT_EQ (rowsShown(), 0) << "the pane says it is reading";

    // The readings end in the order they began: the first ends while the second chapter is
    // open, and must not be taken for it.
    follower->setChapter ("long");
    ASSERT_TRUE (readingEnds());
    EXPECT_EQ (rowsShown(), 3000) << "the chapter open now, not the one asked for first";

    follower->setChapter ("short");
    ASSERT_TRUE (readingEnds());
    EXPECT_EQ (rowsShown(), 2);

    follower->setChapter ("long");
    EXPECT_FALSE (follower->isReading()) << "a transcript read before is at hand";
    EXPECT_EQ (rowsShown(), 3000);

    follower->setChapter ("missing");
    ASSERT_TRUE (readingEnds());
    EXPECT_EQ (rowsShown(), 0) << "a chapter without transcript";
    EXPECT_FALSE (follower->getPane().getList().isVisible());
}

TEST_F (TranscriptFollowerTest, AReadingOfTheReplacedFileIsDroppedAndADestroyedFollowerGetsNone)
{
    juce::StringPairArray transcripts;
    transcripts.set ("a", longTranscript (2000));
    keep (transcripts);
    follower->setChapter ("a");

    // The update replaces the file while the old one is being read.
    transcripts.set ("a", "[00:00]nuovo");
    keep (transcripts);
    follower->transcriptsChanged();
    ASSERT_TRUE (readingEnds());
    EXPECT_EQ (rowsShown(), 1) << "the replaced file's lines";

    follower->transcriptsChanged();
    EXPECT_TRUE (follower->isReading()) << "what was read of the old file is forgotten";

    // Destroyed with a reading under way: its result, handed over before the destructor returned,
    // is delivered before the marker and must find no follower.
    follower = nullptr;
    EXPECT_TRUE (MessagePump::deliverPending());
}
