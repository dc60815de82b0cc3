#include "model/Notifications.h"
#include "search/BackgroundSearch.h"
#include "search/TranscriptSearch.h"
#include "tests/common/JucePrinters.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace SearchTestSupport;

namespace
{
constexpr int numChapters = 100;

juce::String chapterName (int i)
{
    return "chapter" + juce::String (i);
}

/** Enough words that searching all of them takes a while, with stamps and some markers. */
class BackgroundSearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const juce::StringArray vocabulary { "casa", "nuova", "bella", "e", "giorno", "buon", "case", "sole", "mare", "casale" };
        std::vector<TestChapter> chapters;
        juce::StringArray ids;

        for (int c = 0; c < numChapters; ++c)
        {
            TestChapter chapter { chapterName (c), {}, {} };

            for (int w = 0; w < 2000; ++w)
            {
                chapter.words.add (vocabulary[(w * 7 + c) % vocabulary.size()]);

                if (w % 20 == 0)
                    chapter.stamps.emplace_back (w / 2 + c, w);
            }

            chapters.push_back (chapter);
            ids.add (chapter.id);
        }

        ASSERT_TRUE (writeDatabase (scratch.folder.getChildFile ("data.dat"), chapters));
        core = std::make_unique<Core> (scratch.folder);
        core->setCatalog (makeCatalog (ids));

        for (int c = 0; c < numChapters; c += 10)
            core->addMarker (chapterName (c), "una casa nuova", 1.5);

        messages = std::make_unique<CoreBroadcasts> (*core);
        messages->drain();
    }

    /** Every chapter's hits, as Core holds them now. */
    std::vector<std::vector<double>> allHits() const
    {
        std::vector<std::vector<double>> hits;

        for (int c = 0; c < numChapters; ++c)
            hits.push_back (hitsOf (*core, chapterName (c)));

        return hits;
    }

    bool waitUntilFinished()
    {
        return MessagePump::runUntil ([this]
                                      { return ! search->isRunning(); });
    }

    ScratchFolder scratch;
    std::unique_ptr<Core> core;
    std::unique_ptr<CoreBroadcasts> messages;
    std::unique_ptr<BackgroundSearch> search;
};
} // namespace

TEST_F (BackgroundSearchTest, FindsWhatTheSearchOnTheMessageThreadFinds)
{
    search = std::make_unique<BackgroundSearch> (*core);

    for (const auto& words : { juce::StringArray { "e" }, juce::StringArray { "casa" }, juce::StringArray { "buon", "giorno" }, juce::StringArray { "casa", "", "bella" } })
    {
        TranscriptSearch::search (*core, words);
        const auto expected = allHits();
        core->setSearchResults ({}, {});
        messages->drain();

        search->start (words);
        EXPECT_TRUE (search->isRunning());
        EXPECT_EQ (search->getRunningWords(), words);
        EXPECT_TRUE (core->getSearchWords().isEmpty()) << "Core keeps the previous search until the hits come";
        ASSERT_TRUE (waitUntilFinished());
        EXPECT_EQ (core->getSearchWords(), words);
        EXPECT_EQ (allHits(), expected) << words.joinIntoString (" ");
        EXPECT_EQ (messages->drain(), juce::StringArray { Notifications::searchChanged });
    }
}

TEST_F (BackgroundSearchTest, WhetherTheDatabaseIsOpenIsAnsweredWhileASearchHoldsIt)
{
    juce::WaitableEvent entered, release;
    std::thread holder ([&]
                        { core->withSearchDatabase ([&] (sqlite3*)
                                                    {
            entered.signal();
            return release.wait (20000); }); });
    ASSERT_TRUE (entered.wait (5000));

    auto answer = std::async (std::launch::async, [this]
                              { return core->isSearchDatabaseOpen(); });
    EXPECT_EQ (answer.wait_for (std::chrono::seconds (5)), std::future_status::ready) << "the search panel would freeze";
    release.signal();
    holder.join();
    EXPECT_TRUE (answer.get());
}

TEST_F (BackgroundSearchTest, ANewSearchReplacesTheOneUnderWay)
{
    search = std::make_unique<BackgroundSearch> (*core);
    search->start ({ "e" });
    search->start ({ "mare" });
    ASSERT_TRUE (waitUntilFinished());

    TranscriptSearch::search (*core, { "mare" });
    const auto expected = allHits();
    core->setSearchResults ({}, {});
    messages->drain();

    search->start ({ "e" });
    search->start ({});
    EXPECT_FALSE (search->isRunning());
    EXPECT_EQ (core->getTotalSearchHits(), 0) << "the empty search clears at once";
    search->start ({ "mare" });
    ASSERT_TRUE (waitUntilFinished());

    EXPECT_EQ (core->getSearchWords(), juce::StringArray { "mare" });
    EXPECT_EQ (allHits(), expected);
    EXPECT_EQ (messages->drain(), juce::StringArray ({ Notifications::searchChanged, Notifications::searchChanged })) << "one for the empty search, one for mare, none for e";
}

TEST_F (BackgroundSearchTest, GoingAwayMidSearchDeliversNothingAndReleasesTheDatabase)
{
    search = std::make_unique<BackgroundSearch> (*core);
    search->start ({ "e" });
    search = nullptr;

    EXPECT_TRUE (messages->drain().isEmpty());
    EXPECT_TRUE (core->getSearchWords().isEmpty());
    core->closeSearchDatabase (juce::dontSendNotification);
    EXPECT_FALSE (core->isSearchDatabaseOpen());
}
