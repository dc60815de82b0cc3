#include "downloads/Checksums.h"

#include "model/Notifications.h"
#include "tests/downloads/DownloadTestSupport.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace
{
constexpr int block = DownloadThread::bufferSize;

juce::String md5Of (const juce::MemoryBlock& body)
{
    return juce::MD5 (body).toHexString();
}

using DownloadThreadTest = DownloadTest;
} // namespace

TEST_F (DownloadThreadTest, NormalDownloadFilesTheVideoAndRecordsIt)
{
    const auto body = makeTestBody (100000);
    install ({ { "ch1", body } });
    BroadcastLog broadcasts (*core);

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Completed);

    EXPECT_EQ (errorOf ("ch1"), DownloadError::NoError);
    EXPECT_FLOAT_EQ (core->getDownloads().getDownloadProgress (0), 1.0f);
    EXPECT_EQ (contentOf (videoFile ("ch1")), body);
    EXPECT_EQ (server.getRequestPaths(), juce::StringArray (videoPath ("ch1")));
    EXPECT_TRUE (leftoverTempFiles().isEmpty()) << leftoverTempFiles().joinIntoString (", ");

    // The chapter's local state: present, stamped with the chapter's date, not yet seen, saved.
    EXPECT_TRUE (core->isVideoPresent ("ch1"));
    EXPECT_TRUE (core->isYetToBeSeen ("ch1"));
    EXPECT_EQ (core->getTimestamp ("ch1"), core->getChapterDate ("ch1"));
    MovieLocalInfo saved;
    ASSERT_TRUE (LocalStorage::loadState (saved, core->getStateFile ("ch1")));
    EXPECT_EQ (saved.timestamp, core->getChapterDate ("ch1"));
    EXPECT_TRUE (saved.yetToBeSeen);

    EXPECT_EQ (broadcasts.count (Notifications::downloadListChanged), 1);
    EXPECT_GE (broadcasts.count (Core::joinTokens ({ Notifications::downloadProgress, "ch1" })), 4);
    EXPECT_EQ (broadcasts.count (Core::joinTokens ({ Notifications::downloadFinished, "ch1" })), 1);
    EXPECT_EQ (broadcasts.received.strings.getLast(), Core::joinTokens ({ Notifications::downloadFinished, "ch1" }));
}

TEST_F (DownloadThreadTest, LogsEveryStepUnderTheChapter)
{
    install ({ { "ch1", makeTestBody (100000) } });
    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Completed);

    const auto lines = log.getTexts();

    for (const auto& line : lines)
        EXPECT_TRUE (line.startsWith ("movieid: ch1 - ")) << line;

    const auto tempLine = log.find ("Temporary file for download: ");
    ASSERT_EQ (tempLine.size(), 1u);
    const juce::File tempFile (tempLine[0].text.fromFirstOccurrenceOf ("download: ", false, false));
    EXPECT_EQ (tempFile.getParentDirectory(), PrivateTempFolder::get());
    EXPECT_TRUE (tempFile.getFileName().matchesWildcard ("temp_????????.ch1.tmp", false)) << tempFile.getFileName();
    EXPECT_TRUE (tempFile.getFileName().substring (5, 13).containsOnly ("0123456789abcdef"));

    const auto url = server.getBaseUrl() + "videos/C1/ch1/ch1.bin";
    const juce::StringArray expected {
        "movieid: ch1 - Download entry created",
        "movieid: ch1 - Download entry started",
        tempLine[0].text,
        "movieid: ch1 - Download stream created for: " + url,
        "movieid: ch1 - Download in progress: numBytes = 100000, byteCount = 0, bufferSize = 32678, bytesRead = 32678",
        "movieid: ch1 - Download to temporary file completed",
        "movieid: ch1 - Download successful"
    };

    ASSERT_EQ (lines.size(), expected.size()) << lines.joinIntoString ("\n");

    for (int i = 0; i < expected.size(); ++i)
        EXPECT_TRUE (lines[i].startsWith (expected[i])) << lines[i];

    EXPECT_TRUE (lines[3].contains ("\n\tReceived headers:\n\t")) << lines[3];
    EXPECT_TRUE (lines[3].contains ("Content-Length: 100000")) << lines[3];
}

TEST_F (DownloadThreadTest, BodiesOfWholeBlocksCompleteWithoutRestart)
{
    install ({ { "exact", makeTestBody (3 * block, 2) }, { "plus", makeTestBody (3 * block + 100, 3) } });

    ASSERT_TRUE (add ("exact"));
    ASSERT_TRUE (add ("plus"));
    EXPECT_EQ (waitForEnd ("exact"), DownloadState::Completed);
    EXPECT_EQ (waitForEnd ("plus"), DownloadState::Completed);

    EXPECT_EQ (server.getRequestCount(), 2);
    EXPECT_TRUE (log.find ("Download restarted").empty());
    EXPECT_EQ (contentOf (videoFile ("exact")).getSize(), (size_t) 3 * block);
}

TEST_F (DownloadThreadTest, ShortBlockMidwayRestartsFromZeroOnASecondConnection)
{
    const auto body = makeTestBody (200000);
    install ({ { "ch1", body } });
    server.setReplies ([body] (int index, const juce::String&)
                       {
        FaultServer::Reply reply { body };
        reply.cutAfter = index == 0 ? 50000 : -1;
        return reply; });

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Completed);

    EXPECT_EQ (server.getRequestCount(), 2);
    EXPECT_EQ (contentOf (videoFile ("ch1")), body);

    const auto restarts = log.find ("Download restarted");
    ASSERT_EQ (restarts.size(), 1u);
    EXPECT_EQ (restarts[0].text, "movieid: ch1 - Download restarted\nnumBytes = 200000, byteCount = 50000, bufferSize = 32678, \tbytesRead = 17322");
    EXPECT_EQ (log.find ("Temporary file for download").size(), 2u);
}

TEST_F (DownloadThreadTest, ConnectionLostExactlyAtABlockBoundaryAlsoRestarts)
{
    const auto body = makeTestBody (5 * block);
    install ({ { "ch1", body } });
    server.setReplies ([body] (int index, const juce::String&)
                       {
        FaultServer::Reply reply { body };
        reply.cutAfter = index == 0 ? 2 * block : -1;
        return reply; });

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Completed);

    EXPECT_EQ (server.getRequestCount(), 2);
    EXPECT_EQ (contentOf (videoFile ("ch1")), body);
}

TEST_F (DownloadThreadTest, SlowServerSendingSmallPiecesNeverCausesARestart)
{
    const auto body = makeTestBody (60000);
    install ({ { "ch1", body } });
    FaultServer::Reply slow { body };
    slow.pieceSize = 1000;
    slow.pauseMs = 8;
    server.answerWith (slow);

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Completed);

    EXPECT_EQ (server.getRequestCount(), 1);
    EXPECT_TRUE (log.find ("Download restarted").empty());
    EXPECT_EQ (contentOf (videoFile ("ch1")), body);
}

TEST_F (DownloadThreadTest, AnswerWithoutDeclaredLengthCompletes)
{
    const auto body = makeTestBody (70000);
    install ({ { "ch1", body } });
    FaultServer::Reply undeclared { body };
    undeclared.declareLength = false;
    server.answerWith (undeclared);

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Completed);
    EXPECT_EQ (contentOf (videoFile ("ch1")), body);
}

TEST_F (DownloadThreadTest, RefusedConnectionOnTheFirstAttemptFails)
{
    install ({ { "ch1", makeTestBody (1000) } });
    server.setListening (false);

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Failed);

    EXPECT_EQ (errorOf ("ch1"), DownloadError::ConnectionError);
    EXPECT_EQ (log.find ("movieid: ch1 - Download aborted (cannot establish connection)").size(), 1u);
    EXPECT_FALSE (videoFile ("ch1").exists());
    EXPECT_TRUE (leftoverTempFiles().isEmpty());
}

TEST_F (DownloadThreadTest, NetworkLostAfterARestartIsRetriedEveryTwoSecondsUntilRemoved)
{
    const auto body = makeTestBody (100000);
    install ({ { "ch1", body } });
    FaultServer::Reply lost { body };
    lost.cutAfter = 40000;
    lost.thenRefuse = true;
    server.answerWith (lost);

    ASSERT_TRUE (add ("ch1"));
    ASSERT_TRUE (waitUntil ([this]
                            { return log.find ("cannot re-establish connection").size() >= 2; },
                            8000));

    const auto restart = log.find ("Download restarted\n");
    const auto retries = log.find ("Download restarted (cannot re-establish connection)");
    ASSERT_EQ (restart.size(), 1u);

    // Each attempt is the wait plus a refused connection: never sooner than the wait, and
    // nowhere near a second wait on top of it, whatever busy cores add.
    for (const auto gap : { retries[0].timeMs - restart[0].timeMs, retries[1].timeMs - retries[0].timeMs })
    {
        EXPECT_GE (gap, DownloadThread::reconnectionDelayMs - 50.0);
        EXPECT_LT (gap, DownloadThread::reconnectionDelayMs * 2.0);
    }

    EXPECT_EQ (core->getDownloads().getDownloadState (0), DownloadState::Downloading);
    EXPECT_EQ (server.getRequestCount(), 1);

    // The waiting thread is woken, not left to finish its wait or be killed.
    const auto started = juce::Time::getMillisecondCounterHiRes();
    core->getDownloads().removeDownload (0);
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - started, 8000.0);

    EXPECT_EQ (core->getDownloads().getDownloadCount(), 0);
    EXPECT_EQ (log.find ("movieid: ch1 - Download aborted (aborted by user)").size(), 1u);
    EXPECT_TRUE (leftoverTempFiles().isEmpty());
    EXPECT_FALSE (videoFile ("ch1").exists());
}

TEST_F (DownloadThreadTest, RemovingADownloadStuckOnASilentServerCutsItsConnection)
{
    const auto body = makeTestBody (200000);
    install ({ { "ch1", body } });

    // Silent before the answer, and silent in the middle of the body.
    FaultServer::Reply silent { body };
    silent.answerDelayMs = 60000;
    FaultServer::Reply stalled { body };
    stalled.pieceSize = 50000;
    stalled.pauseMs = 60000;

    for (const auto& reply : { silent, stalled })
    {
        const auto requestsBefore = server.getRequestCount();
        server.answerWith (reply);
        ASSERT_TRUE (add ("ch1"));
        ASSERT_TRUE (waitUntil ([&]
                                { return server.getRequestCount() > requestsBefore
                                         && (reply.pauseMs == 0 || core->getDownloads().getDownloadProgress (0) > 0.0f); }));

        // Only a hang reaches the deadline: the thread that is not cut is killed after 10 s,
        // and then logs no "aborted" line. How fast it goes is the responsiveness benchmark's.
        const auto started = juce::Time::getMillisecondCounterHiRes();
        core->getDownloads().removeDownload (0);
        EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - started, 8000.0);
        EXPECT_EQ (core->getDownloads().getDownloadCount(), 0);
        EXPECT_TRUE (leftoverTempFiles().isEmpty());
    }

    EXPECT_EQ (log.find ("movieid: ch1 - Download aborted (aborted by user)").size(), 2u);
    EXPECT_FALSE (videoFile ("ch1").exists());
}

TEST_F (DownloadThreadTest, WrongBytesFailTheChecksumAndKeepThePreviousVideo)
{
    const auto body = makeTestBody (90000);
    const auto previous = makeTestBody (5000, 9);
    install ({ { "ch1", body } });
    ASSERT_TRUE (videoFile ("ch1").getParentDirectory().createDirectory());
    ASSERT_TRUE (videoFile ("ch1").replaceWithData (previous.getData(), previous.getSize()));

    auto wrong = body;
    wrong[45000] = (char) (wrong[45000] ^ 1);
    server.answerWith ({ wrong });

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Failed);

    EXPECT_EQ (errorOf ("ch1"), DownloadError::ChecksumMismatch);
    EXPECT_FLOAT_EQ (core->getDownloads().getDownloadProgress (0), 1.0f);
    EXPECT_EQ (log.find ("movieid: ch1 - Download failed (checksum mismatch with catalog)").size(), 1u);
    EXPECT_EQ (contentOf (videoFile ("ch1")), previous);
    EXPECT_TRUE (leftoverTempFiles().isEmpty());
}

TEST_F (DownloadThreadTest, PreviousVideoStaysPlayableUntilTheUpdateIsVerified)
{
    const auto body = makeTestBody (40000);
    const auto previous = makeTestBody (3000, 9);
    install ({ { "ch1", body } });
    ASSERT_TRUE (videoFile ("ch1").getParentDirectory().createDirectory());
    ASSERT_TRUE (videoFile ("ch1").replaceWithData (previous.getData(), previous.getSize()));

    // A player holding the old video open keeps reading it whatever happens to the name.
    juce::FileInputStream player (videoFile ("ch1"));
    ASSERT_TRUE (player.openedOk());

    FaultServer::Reply slow { body };
    slow.pieceSize = 4000;
    slow.pauseMs = 30;
    server.answerWith (slow);

    ASSERT_TRUE (add ("ch1"));
    ASSERT_TRUE (waitUntil ([this]
                            { return core->getDownloads().getDownloadProgress (0) > 0.0f; }));
    EXPECT_EQ (contentOf (videoFile ("ch1")), previous) << "the old version is in place during the download";

    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Completed);
    EXPECT_EQ (contentOf (videoFile ("ch1")), body);

    juce::MemoryBlock stillPlaying;
    player.readIntoMemoryBlock (stillPlaying);
    EXPECT_EQ (stillPlaying, previous);
}

TEST_F (DownloadThreadTest, UpperCaseCatalogChecksumAcceptsAPresentFileButNoDownload)
{
    const auto body = makeTestBody (20000);
    install ({ { "present", body, md5Of (body).toUpperCase() }, { "fetched", body, md5Of (body).toUpperCase() } });
    ASSERT_TRUE (videoFile ("present").getParentDirectory().createDirectory());
    ASSERT_TRUE (videoFile ("present").replaceWithData (body.getData(), body.getSize()));

    ASSERT_TRUE (add ("present"));
    ASSERT_EQ (waitForEnd ("present"), DownloadState::Completed);
    EXPECT_EQ (server.getRequestCount(), 0);
    EXPECT_EQ (log.find ("movieid: present - Download skipped (file already present and checksum matching)").size(), 1u);
    EXPECT_TRUE (core->isYetToBeSeen ("present"));

    ASSERT_TRUE (add ("fetched"));
    ASSERT_EQ (waitForEnd ("fetched"), DownloadState::Failed);
    EXPECT_EQ (errorOf ("fetched"), DownloadError::ChecksumMismatch);
    EXPECT_EQ (server.getRequestCount(), 1);
    EXPECT_FALSE (videoFile ("fetched").exists());
}

TEST_F (DownloadThreadTest, PresentFileWithAnotherChecksumIsFetchedAgain)
{
    const auto body = makeTestBody (20000);
    install ({ { "ch1", body } });
    ASSERT_TRUE (videoFile ("ch1").getParentDirectory().createDirectory());
    ASSERT_TRUE (videoFile ("ch1").replaceWithText ("an older cut of the video"));

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Completed);
    EXPECT_EQ (server.getRequestCount(), 1);
    EXPECT_EQ (contentOf (videoFile ("ch1")), body);
}

TEST_F (DownloadThreadTest, ErrorPageIsJudgedByTheChecksumWithoutEndlessRestarts)
{
    install ({ { "ch1", makeTestBody (50000) } });
    server.answerWith ({ juce::MemoryBlock ("No such chapter video", 21), 404 });

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Failed);

    EXPECT_EQ (errorOf ("ch1"), DownloadError::ChecksumMismatch);
    EXPECT_EQ (server.getRequestCount(), 1);
    EXPECT_TRUE (log.find ("Download restarted").empty());
}

TEST_F (DownloadThreadTest, ChapterGoneFromTheCatalogFailsWithoutARequest)
{
    install ({ { "ch1", makeTestBody (1000) } });

    ASSERT_TRUE (add ("gone"));
    ASSERT_EQ (waitForEnd ("gone"), DownloadState::Failed);

    EXPECT_EQ (errorOf ("gone"), DownloadError::NotInCatalog);
    EXPECT_EQ (server.getRequestCount(), 0);
    EXPECT_EQ (log.find ("movieid: gone - Download aborted (chapter no longer in the catalog)").size(), 1u);
}

TEST_F (DownloadThreadTest, ChapterWithoutASafeFolderIsNeverDownloaded)
{
    install ({ { "..", makeTestBody (1000) }, { "/", makeTestBody (1000, 2) } });

    for (const auto* id : { "..", "/" })
    {
        ASSERT_TRUE (add (id));
        ASSERT_EQ (waitForEnd (id), DownloadState::Failed) << id;
        EXPECT_EQ (errorOf (id), DownloadError::FileSystemError) << id;
    }

    EXPECT_EQ (server.getRequestCount(), 0);
    EXPECT_EQ (users.getParentDirectory().findChildFiles (juce::File::findFiles, true).size(), 0);
}

TEST_F (DownloadThreadTest, DestinationThatIsADirectoryFails)
{
    install ({ { "ch1", makeTestBody (1000) } });
    ASSERT_TRUE (videoFile ("ch1").createDirectory());

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Failed);

    EXPECT_EQ (errorOf ("ch1"), DownloadError::FileSystemError);
    EXPECT_EQ (log.find ("Download aborted (file already exists but it's a directory)").size(), 1u);
    EXPECT_EQ (server.getRequestCount(), 0);
    EXPECT_TRUE (videoFile ("ch1").isDirectory());
}

TEST_F (DownloadThreadTest, ChapterFolderThatCannotBeCreatedFailsAndLosesNothing)
{
    install ({ { "ch1", makeTestBody (1000) } });
    const auto blocker = core->getChapterDirectory ("ch1");
    ASSERT_TRUE (blocker.replaceWithText ("a file where the chapter folder should be"));

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Failed);

    EXPECT_EQ (errorOf ("ch1"), DownloadError::FileSystemError);
    EXPECT_EQ (blocker.loadFileAsString(), "a file where the chapter folder should be");
    EXPECT_TRUE (leftoverTempFiles().isEmpty());
}

TEST_F (DownloadThreadTest, FullDiskFailsWithTempFileErrorAndKeepsThePreviousVideo)
{
    const auto body = makeTestBody (300000);
    const auto previous = makeTestBody (2000, 9);
    install ({ { "ch1", body } });
    ASSERT_TRUE (videoFile ("ch1").getParentDirectory().createDirectory());
    ASSERT_TRUE (videoFile ("ch1").replaceWithData (previous.getData(), previous.getSize()));

    // A file size limit makes writes fail as a full disk does (EFBIG instead of ENOSPC).
    rlimit original {};
    getrlimit (RLIMIT_FSIZE, &original);
    const auto oldHandler = std::signal (SIGXFSZ, SIG_IGN);
    rlimit limited = original;
    limited.rlim_cur = 100000;
    ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &limited), 0);

    add ("ch1");
    const auto state = waitForEnd ("ch1");

    setrlimit (RLIMIT_FSIZE, &original);
    std::signal (SIGXFSZ, oldHandler);

    ASSERT_EQ (state, DownloadState::Failed);
    EXPECT_EQ (errorOf ("ch1"), DownloadError::TempFileError);
    EXPECT_EQ (log.find ("movieid: ch1 - Download aborted (cannot write to temporary file)").size(), 1u);
    EXPECT_EQ (contentOf (videoFile ("ch1")), previous);
    EXPECT_TRUE (leftoverTempFiles().isEmpty());
}

TEST_F (DownloadThreadTest, TemporaryFolderOnAnotherFileSystemStillEndsInOneRename)
{
    struct stat shm
    {
    }, movies {};
    const auto shmFolder = juce::File ("/dev/shm");

    if (stat ("/dev/shm", &shm) != 0 || stat (root.getFullPathName().toRawUTF8(), &movies) != 0 || shm.st_dev == movies.st_dev)
        GTEST_SKIP() << "needs /dev/shm on a file system of its own";

    const ScratchTempDir memoryTemp (shmFolder);
    const auto body = makeTestBody (120000);
    install ({ { "ch1", body } });
    ASSERT_TRUE (videoFile ("ch1").getParentDirectory().createDirectory());
    ASSERT_TRUE (videoFile ("ch1").replaceWithText ("previous"));

    ASSERT_TRUE (add ("ch1"));
    ASSERT_EQ (waitForEnd ("ch1"), DownloadState::Completed);

    EXPECT_EQ (contentOf (videoFile ("ch1")), body);
    EXPECT_EQ (videoFile ("ch1").getParentDirectory().findChildFiles (juce::File::findFiles, false, "*.tmp").size(), 0);
    EXPECT_EQ (memoryTemp.getParent().findChildFiles (juce::File::findFiles, true).size(), 0);
}

TEST_F (DownloadThreadTest, ProgressIsLoggedOncePerTenMillionBytes)
{
    install ({ { "big", makeTestBody (10050000) } });

    ASSERT_TRUE (add ("big"));
    ASSERT_EQ (waitForEnd ("big", 30000), DownloadState::Completed);

    const auto progress = log.find ("Download in progress");
    ASSERT_EQ (progress.size(), 2u);
    EXPECT_EQ (progress[0].text, "movieid: big - Download in progress: numBytes = 10050000, byteCount = 0, bufferSize = 32678, bytesRead = 32678");
    EXPECT_EQ (progress[1].text, "movieid: big - Download in progress: numBytes = 10050000, byteCount = 10032146, bufferSize = 32678, bytesRead = 17854");
}

TEST (DownloadTempFiles, AreReservedUnderUniqueLegalNames)
{
    const ScratchTempDir temp;
    const auto folder = PrivateTempFolder::get();

    const auto first = DownloadThread::reserveTempFile (folder, "12/7");
    const auto second = DownloadThread::reserveTempFile (folder, "12/7");

    EXPECT_TRUE (first.existsAsFile());
    EXPECT_TRUE (second.existsAsFile());
    EXPECT_NE (first, second);
    EXPECT_EQ (first.getParentDirectory(), folder);
    EXPECT_TRUE (first.getFileName().matchesWildcard ("temp_????????.127.tmp", false)) << first.getFileName();
    EXPECT_EQ (DownloadThread::reserveTempFile (folder.getChildFile ("missing"), "x"), juce::File());
    EXPECT_EQ (DownloadThread::reserveTempFile ({}, "x"), juce::File());
}

TEST (DownloadTempFiles, LeftoversOfACrashedRunAreRemovedAndNothingElse)
{
    const ScratchTempDir temp;
    const auto folder = PrivateTempFolder::get();
    const auto leftover = DownloadThread::reserveTempFile (folder, "ch1");
    const auto other = folder.getChildFile ("tsy-upgrade/temp_1.x.tmp");
    ASSERT_TRUE (other.create());
    ASSERT_TRUE (folder.getChildFile ("notes.tmp").create());

    DownloadThread::removeLeftoverTempFiles (folder);

    EXPECT_FALSE (leftover.exists());
    EXPECT_TRUE (other.exists());
    EXPECT_TRUE (folder.getChildFile ("notes.tmp").exists());
}

TEST (DownloadReads, OnlyAStreamThatEndedEarlyIsABrokenConnection)
{
    using Verdict = DownloadThread::ReadVerdict;

    // A short read in the middle of a healthy transfer: read on.
    EXPECT_EQ (DownloadThread::judgeRead (50000, 200000, false, false), Verdict::readOn);
    EXPECT_EQ (DownloadThread::judgeRead (0, 200000, false, false), Verdict::readOn);

    EXPECT_EQ (DownloadThread::judgeRead (50000, 200000, true, false), Verdict::broken);
    EXPECT_EQ (DownloadThread::judgeRead (200000, 200000, true, false), Verdict::complete);
    EXPECT_EQ (DownloadThread::judgeRead (200100, 200000, true, false), Verdict::complete);

    // A whole answer of a declared length, shorter than the catalog says: the checksum judges.
    EXPECT_EQ (DownloadThread::judgeRead (21, 200000, true, true), Verdict::complete);

    // Without a known size any end is the end.
    EXPECT_EQ (DownloadThread::judgeRead (5, 0, true, false), Verdict::complete);
}
