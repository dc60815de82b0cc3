#include "model/CatalogParser.h"
#include "model/Core.h"
#include "ui/DownloadRunSummary.h"

#include <gtest/gtest.h>

namespace
{
/** A queue entry whose state the test sets, as the download thread would. */
struct SettableJob final : DownloadJob
{
    SettableJob (const juce::String& id, const juce::String& name) : chapterId (id), title (name) {}

    const juce::String& getChapterId() const noexcept override { return chapterId; }
    const juce::String& getTitle() const noexcept override { return title; }
    DownloadState getState() const noexcept override { return state; }
    DownloadError getErrorCode() const noexcept override { return error; }
    float getProgress() const noexcept override { return 0.0f; }

    bool start() override
    {
        state = DownloadState::Downloading;
        return true;
    }

    void stop (int) override {}

    const juce::String chapterId, title;
    std::atomic<DownloadState> state { DownloadState::Queued };
    std::atomic<DownloadError> error { DownloadError::NoError };
};

std::unique_ptr<Catalog> makeCatalog (const juce::StringArray& chapterIds)
{
    juce::XmlElement root ("catalog");
    root.setAttribute ("userid", "u1");
    root.setAttribute ("username", "Test User");
    auto* course = root.createNewChildElement ("course");
    course->setAttribute ("id", "c1");
    course->setAttribute ("title", "Course one");
    auto* lesson = course->createNewChildElement ("lesson");

    for (const auto& id : chapterIds)
    {
        auto* chapter = lesson->createNewChildElement ("chapter");
        chapter->setAttribute ("id", id);
        chapter->setAttribute ("title", "Title of " + id);
        chapter->setAttribute ("date", "2013-05-10");
    }

    auto catalog = std::make_unique<Catalog>();
    EXPECT_TRUE (CatalogParser::parseCatalog (*catalog, root, true));
    return catalog;
}

struct DownloadRun : ::testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE (folder.createDirectory());
        ASSERT_TRUE (core.setCatalog (makeCatalog ({ "a", "b", "c" })));
        core.setUsersDirectory (folder.getChildFile ("users"), juce::dontSendNotification);

        for (const auto* id : { "a", "b", "c" })
            ASSERT_TRUE (core.getDownloads().addDownload ("c1", id, juce::String ("Title of ") + id));

        ASSERT_EQ (jobs.size(), 3u);
    }

    void TearDown() override { folder.deleteRecursively(); }

    /** Ends an entry as the download thread does, the next one starting, and notes it. */
    void finish (const juce::String& id, DownloadError error = DownloadError::NoError)
    {
        auto* job = jobs.at (id);
        job->error = error;
        job->state = error == DownloadError::NoError ? DownloadState::Completed : DownloadState::Failed;
        core.getDownloads().downloadStatusChanged (job->state, id, error, juce::dontSendNotification);
        summary.noteFinished (core.getDownloads(), id);
    }

    juce::File folder = juce::File::createTempFile ("download-run");
    std::map<juce::String, SettableJob*> jobs;
    Core core { folder,
                Core::Workers { [this] (Core&, const juce::String& id, const juce::String& title, const juce::File&, const juce::URL&)
                                {
                                    auto job = std::make_unique<SettableJob> (id, title);
                                    jobs[id] = job.get();
                                    return job;
                                } } };
    DownloadRunSummary summary;
};
} // namespace

TEST_F (DownloadRun, EndsOnlyWhenNothingIsQueuedOrDownloading)
{
    EXPECT_FALSE (summary.takeNoticeIfEnded (core.getDownloads()).has_value()) << "nothing finished yet";

    finish ("a");
    EXPECT_FALSE (summary.takeNoticeIfEnded (core.getDownloads()).has_value());
    finish ("b");
    EXPECT_FALSE (summary.takeNoticeIfEnded (core.getDownloads()).has_value());
    finish ("c");

    const auto notice = summary.takeNoticeIfEnded (core.getDownloads());
    ASSERT_TRUE (notice.has_value());
    EXPECT_EQ (notice->summary, "3 chapters downloaded");
    EXPECT_EQ (notice->body, "");

    // Told once: the next run starts empty.
    EXPECT_FALSE (summary.takeNoticeIfEnded (core.getDownloads()).has_value());
}

TEST_F (DownloadRun, AFailureNamesTheChapterAndWhy)
{
    finish ("a");
    finish ("b", DownloadError::ChecksumMismatch);
    finish ("c", DownloadError::ConnectionError);

    const auto notice = summary.takeNoticeIfEnded (core.getDownloads());
    ASSERT_TRUE (notice.has_value());
    EXPECT_EQ (notice->summary, "Title of b");
    EXPECT_EQ (notice->body, "The downloaded video is damaged (checksum mismatch)\n1 more chapter failed\n1 chapter downloaded");
}

TEST_F (DownloadRun, EntriesTheUserStoppedCountForNothing)
{
    finish ("a", DownloadError::AbortedByUser);
    finish ("b", DownloadError::AbortedByUser);
    finish ("c", DownloadError::AbortedByUser);
    EXPECT_FALSE (summary.takeNoticeIfEnded (core.getDownloads()).has_value());
}

TEST_F (DownloadRun, AChapterFinishingTwiceCountsOnceAsItLastStood)
{
    finish ("b", DownloadError::ConnectionError);
    finish ("a");

    // Heard of again, now completed (its broadcast came late): the failure no longer counts.
    jobs.at ("b")->error = DownloadError::NoError;
    jobs.at ("b")->state = DownloadState::Completed;
    summary.noteFinished (core.getDownloads(), "b");
    finish ("c");

    const auto notice = summary.takeNoticeIfEnded (core.getDownloads());
    ASSERT_TRUE (notice.has_value());
    EXPECT_EQ (notice->summary, "3 chapters downloaded");
    EXPECT_EQ (notice->body, "");
}

TEST_F (DownloadRun, AChapterNotInTheQueueIsIgnored)
{
    summary.noteFinished (core.getDownloads(), "missing");
    finish ("a");
    finish ("b");
    finish ("c");
    const auto notice = summary.takeNoticeIfEnded (core.getDownloads());
    ASSERT_TRUE (notice.has_value());
    EXPECT_EQ (notice->summary, "3 chapters downloaded");
}

TEST (DownloadRunReasons, EveryFailureHasAReason)
{
    for (const auto error : { DownloadError::TempFileError, DownloadError::FileSystemError, DownloadError::ConnectionError, DownloadError::AbortedByUser, DownloadError::ChecksumMismatch, DownloadError::NotInCatalog })
        EXPECT_TRUE (DownloadRunSummary::describe (error).isNotEmpty()) << (int) error;

    EXPECT_EQ (DownloadRunSummary::describe (DownloadError::NoError), "");
}
