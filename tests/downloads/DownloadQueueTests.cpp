#include "model/Notifications.h"
#include "tests/downloads/DownloadTestSupport.h"

namespace
{
class DownloadQueueTest : public DownloadTest
{
protected:
    /** Chapters a, b, c, d served slowly enough (about 0.4 s each) to watch the queue work. */
    void installSlowChapters (const juce::StringArray& ids)
    {
        std::vector<TestChapter> chapters;

        for (int i = 0; i < ids.size(); ++i)
            chapters.push_back ({ ids[i], makeTestBody (40000, i + 1) });

        install (chapters);
        const auto served = bodies;
        server.setReplies ([served] (int, const juce::String& path)
                           {
            const auto found = served.find (path);

            if (found == served.end())
                return FaultServer::Reply { {}, 404 };

            FaultServer::Reply reply { found->second };
            reply.pieceSize = 4000;
            reply.pauseMs = 40;
            return reply; });
    }

    juce::StringArray queueIds() const
    {
        juce::StringArray ids;

        for (int i = 0; i < core->getDownloads().getDownloadCount(); ++i)
            ids.add (core->getDownloads().getDownloadTitle (i).fromLastOccurrenceOf (" - ", false, false));

        return ids;
    }
};
} // namespace

TEST_F (DownloadQueueTest, DownloadsNeedACatalogWithAUser)
{
    EXPECT_FALSE (add ("ch1"));

    install ({ { "ch1", makeTestBody (100) } }, {});
    EXPECT_FALSE (add ("ch1"));
    EXPECT_EQ (core->getDownloads().getDownloadCount(), 0);
    EXPECT_EQ (server.getRequestCount(), 0);
}

TEST_F (DownloadQueueTest, QueueAnswersItsQueriesAndNeutralValuesOutOfRange)
{
    installSlowChapters ({ "a", "b" });
    ASSERT_TRUE (add ("a"));
    ASSERT_TRUE (add ("b"));

    EXPECT_EQ (core->getDownloads().getDownloadCount(), 2);
    EXPECT_EQ (core->getDownloads().findDownload ("b"), 1);
    EXPECT_EQ (core->getDownloads().findDownload ("B"), -1);
    EXPECT_EQ (core->getDownloads().getDownloadTitle (0), "Course, lesson, 1.1 - a");
    EXPECT_EQ (core->getDownloads().getDownloadState (0), DownloadState::Downloading);
    EXPECT_EQ (core->getDownloads().getDownloadState (1), DownloadState::Queued);
    EXPECT_TRUE (core->getDownloads().isDownloadRunning());

    EXPECT_EQ (core->getDownloads().getDownloadTitle (2), "");
    EXPECT_EQ (core->getDownloads().getDownloadState (-1), DownloadState::Queued);
    EXPECT_EQ (core->getDownloads().getDownloadProgress (7), 0.0f);
    core->getDownloads().removeDownload (5);
    EXPECT_EQ (core->getDownloads().getDownloadCount(), 2);

    ASSERT_EQ (waitForEnd ("b"), DownloadState::Completed);
    EXPECT_FALSE (core->getDownloads().isDownloadRunning());
}

TEST_F (DownloadQueueTest, RunsOneEntryAtATimeInTheOrderAdded)
{
    installSlowChapters ({ "a", "b", "c" });
    BroadcastLog broadcasts (*core);

    for (const auto* id : { "a", "b", "c" })
        ASSERT_TRUE (add (id));

    auto mostRunning = 0;
    waitUntil ([&]
               {
        auto running = 0;

        for (int i = 0; i < core->getDownloads().getDownloadCount(); ++i)
            running += core->getDownloads().getDownloadState (i) == DownloadState::Downloading ? 1 : 0;

        mostRunning = juce::jmax (mostRunning, running);
        return core->getDownloads().getDownloadState (2) == DownloadState::Completed; });

    EXPECT_EQ (mostRunning, 1);
    EXPECT_EQ (server.getRequestPaths(), juce::StringArray (videoPath ("a"), videoPath ("b"), videoPath ("c")));
    EXPECT_EQ (broadcasts.count (Notifications::downloadListChanged), 3);
    EXPECT_EQ (broadcasts.count (Core::joinTokens ({ Notifications::downloadFinished, "a" })) + broadcasts.count (Core::joinTokens ({ Notifications::downloadFinished, "b" })), 2);
}

TEST_F (DownloadQueueTest, AddingAQueuedOrRunningChapterAgainKeepsOneEntry)
{
    installSlowChapters ({ "a", "b" });
    BroadcastLog broadcasts (*core);

    ASSERT_TRUE (add ("a"));
    ASSERT_TRUE (add ("b"));
    ASSERT_TRUE (add ("b"));
    ASSERT_TRUE (add ("a"));

    EXPECT_EQ (queueIds(), juce::StringArray ("a", "b"));
    waitUntil ([&]
               { return broadcasts.received.size() >= 2; },
               200);
    EXPECT_EQ (broadcasts.count (Notifications::downloadListChanged), 2);

    EXPECT_EQ (waitForEnd ("b"), DownloadState::Completed);
    EXPECT_EQ (server.getRequestCount(), 2);
}

TEST_F (DownloadQueueTest, ReAddingAFailedChapterReplacesItAtTheEnd)
{
    const auto good = makeTestBody (30000);
    install ({ { "a", good }, { "b", makeTestBody (30000, 2) } });
    server.answerWith ({ makeTestBody (30000, 5) });

    ASSERT_TRUE (add ("a"));
    ASSERT_EQ (waitForEnd ("a"), DownloadState::Failed);
    serveBodies();
    ASSERT_TRUE (add ("b"));
    ASSERT_EQ (waitForEnd ("b"), DownloadState::Completed);

    BroadcastLog broadcasts (*core);
    ASSERT_TRUE (add ("a"));
    EXPECT_EQ (queueIds(), juce::StringArray ("b", "a"));
    ASSERT_EQ (waitForEnd ("a"), DownloadState::Completed);

    EXPECT_EQ (errorOf ("a"), DownloadError::NoError);
    EXPECT_EQ (contentOf (videoFile ("a")), good);
    EXPECT_EQ (broadcasts.count (Notifications::downloadListChanged), 2) << "one for the removal, one for the new entry";
}

TEST_F (DownloadQueueTest, RemovingTheRunningEntryStartsTheNextAndDeletesItsTemporaryFile)
{
    installSlowChapters ({ "a", "b" });
    const auto served = bodies;
    server.setReplies ([served] (int, const juce::String& path)
                       {
        FaultServer::Reply reply { served.at (path) };
        reply.pieceSize = 4000;
        reply.pauseMs = path.contains ("/b/") ? 300 : 40;
        return reply; });

    ASSERT_TRUE (add ("a"));
    ASSERT_TRUE (add ("b"));

    // Wait until a has part of its video in the temporary file.
    ASSERT_TRUE (waitUntil ([this]
                            { return core->getDownloads().getDownloadProgress (0) > 0.0f; }));
    const auto tempFiles = leftoverTempFiles();
    ASSERT_EQ (tempFiles.size(), 2) << "one reserved per entry";

    // A thread that had to be killed after its 10 s would log no "aborted" line; the deadline
    // only catches a hang.
    BroadcastLog broadcasts (*core);
    const auto started = juce::Time::getMillisecondCounterHiRes();
    core->getDownloads().removeDownload (0);
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - started, 8000.0);

    EXPECT_EQ (queueIds(), juce::StringArray ("b"));
    EXPECT_EQ (core->getDownloads().getDownloadState (0), DownloadState::Downloading);
    EXPECT_EQ (leftoverTempFiles().size(), 1) << "a's temporary file is gone, b's is in use";
    EXPECT_EQ (log.find ("movieid: a - Download aborted (aborted by user)").size(), 1u);

    ASSERT_EQ (waitForEnd ("b"), DownloadState::Completed);
    EXPECT_FALSE (videoFile ("a").exists());
    EXPECT_TRUE (leftoverTempFiles().isEmpty());
    EXPECT_EQ (broadcasts.count (Notifications::downloadListChanged), 1);
    EXPECT_EQ (broadcasts.count (Core::joinTokens ({ Notifications::downloadFinished, "a" })), 1);
}

TEST_F (DownloadQueueTest, RemovingAStalledDownloadCutsItsConnection)
{
    install ({ { "a", makeTestBody (50000) } });
    FaultServer::Reply stalled { bodies.at (videoPath ("a")) };
    // More than one read's worth first, so the progress shows the thread is past it.
    stalled.pieceSize = 40000;
    stalled.pauseMs = 60000;
    server.answerWith (stalled);

    ASSERT_TRUE (add ("a"));
    // Once the first piece has arrived the thread waits in a read for data that never comes;
    // without cutting the stream it would hold on until it is killed after 10 s.
    ASSERT_TRUE (waitUntil ([this] { return core->getDownloads().getDownloadProgress (0) > 0.0f; }));
    const auto started = juce::Time::getMillisecondCounterHiRes();
    core->getDownloads().removeDownload (0);
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - started, 8000.0);

    EXPECT_EQ (log.find ("movieid: a - Download aborted (aborted by user)").size(), 1u);
    EXPECT_TRUE (leftoverTempFiles().isEmpty());
}

TEST_F (DownloadQueueTest, ClearingFinishedEntriesKeepsTheOthersInOrder)
{
    installSlowChapters ({ "a", "b", "c", "d", "e" });
    bodies.erase (videoPath ("b"));
    const auto served = bodies;
    server.setReplies ([served] (int, const juce::String& path)
                       {
        const auto found = served.find (path);

        if (found == served.end())
            return FaultServer::Reply { juce::MemoryBlock ("missing", 7), 404 };

        FaultServer::Reply reply { found->second };
        reply.pieceSize = found->first.contains ("/c/") ? 2000 : 40000;
        reply.pauseMs = 100;
        return reply; });

    for (const auto* id : { "a", "b", "c", "d", "e" })
        ASSERT_TRUE (add (id));

    ASSERT_EQ (waitForEnd ("a"), DownloadState::Completed);
    ASSERT_EQ (waitForEnd ("b"), DownloadState::Failed);
    ASSERT_TRUE (waitUntil ([this]
                            { return core->getDownloads().getDownloadProgress (2) > 0.0f; }));

    BroadcastLog broadcasts (*core);
    EXPECT_TRUE (core->getDownloads().removeFinishedDownloads());
    EXPECT_EQ (queueIds(), juce::StringArray ("c", "d", "e"));
    EXPECT_EQ (core->getDownloads().getDownloadState (0), DownloadState::Downloading);
    EXPECT_EQ (core->getDownloads().getDownloadState (1), DownloadState::Queued);
    EXPECT_FALSE (core->getDownloads().removeFinishedDownloads());

    waitUntil ([&]
               { return broadcasts.count (Notifications::downloadListChanged) >= 2; },
               500);
    EXPECT_EQ (broadcasts.count (Notifications::downloadListChanged), 2);
    EXPECT_TRUE (videoFile ("a").existsAsFile()) << "clearing the list keeps the videos";

    core->getDownloads().removeDownload (0);
    ASSERT_EQ (waitForEnd ("e"), DownloadState::Completed);
}

TEST_F (DownloadQueueTest, ProgressIsBroadcastPerBlockAndReadable)
{
    installSlowChapters ({ "a" });
    BroadcastLog broadcasts (*core);
    ASSERT_TRUE (add ("a"));

    std::vector<float> seen;
    waitUntil ([&]
               {
        seen.push_back (core->getDownloads().getDownloadProgress (0));
        return core->getDownloads().getDownloadState (0) == DownloadState::Completed; });
    MessagePump::deliverPending();

    EXPECT_TRUE (std::is_sorted (seen.begin(), seen.end()));
    EXPECT_GT (std::count_if (seen.begin(), seen.end(), [] (float p)
                              { return p > 0.0f && p < 1.0f; }),
               0);
    EXPECT_EQ (seen.back(), 1.0f);
    EXPECT_GE (broadcasts.count (Core::joinTokens ({ Notifications::downloadProgress, "a" })), 2);
    EXPECT_EQ (broadcasts.received.strings.getLast(), Core::joinTokens ({ Notifications::downloadFinished, "a" }));
}

TEST_F (DownloadQueueTest, DestroyingCoreStopsTheRunningDownloadAndCleansUp)
{
    installSlowChapters ({ "a", "b" });
    ASSERT_TRUE (add ("a"));
    ASSERT_TRUE (add ("b"));
    ASSERT_TRUE (waitUntil ([this]
                            { return core->getDownloads().getDownloadProgress (0) > 0.0f; }));
    const auto video = videoFile ("a");

    const auto started = juce::Time::getMillisecondCounterHiRes();
    core = nullptr;

    // Within the 10 s after which a thread would be killed: the stream is cut.
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - started, 8000.0);

    EXPECT_TRUE (leftoverTempFiles().isEmpty());
    EXPECT_FALSE (video.exists());
    EXPECT_EQ (log.find ("movieid: a - Download aborted (aborted by user)").size(), 1u);
    EXPECT_TRUE (log.find ("movieid: b - Download entry started").empty()) << "nothing new starts during shutdown";
}
