#include "downloads/DownloadThread.h"

#include "app/PrivateTempFolder.h"
#include "downloads/BackgroundChecksum.h"
#include "downloads/Checksums.h"
#include "model/Core.h"
#include "model/LocalStorage.h"
#include "server/HttpClient.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace
{
bool renameFile (const juce::File& from, const juce::File& to)
{
    return std::rename (from.getFullPathName().toRawUTF8(), to.getFullPathName().toRawUTF8()) == 0;
}

/** Copies a file and makes sure every byte reached the disk. */
bool copyCompletely (const juce::File& from, const juce::File& to)
{
    juce::FileInputStream in (from);

    if (in.failedToOpen() || ! to.deleteFile())
        return false;

    juce::FileOutputStream out (to);

    if (out.failedToOpen())
        return false;

    const auto size = from.getSize();
    const auto copied = out.writeFromInputStream (in, -1);
    out.flush();

    return copied == size && out.getStatus().wasOk() && to.getSize() == size;
}

juce::String describeHeaders (const juce::StringPairArray& headers)
{
    juce::StringArray lines;

    for (int i = 0; i < headers.size(); ++i)
        lines.add (headers.getAllKeys()[i] + ": " + headers.getAllValues()[i]);

    return lines.joinIntoString ("\n\t");
}

juce::String describeBlock (juce::int64 expectedSize, juce::int64 byteCount, const juce::String& separator, int bytesRead)
{
    return "numBytes = " + juce::String (expectedSize)
           + ", byteCount = " + juce::String (byteCount)
           + ", bufferSize = " + juce::String (DownloadThread::bufferSize)
           + ", " + separator + "bytesRead = " + juce::String (bytesRead);
}
} // namespace

DownloadThread::DownloadThread (Core& owner,
                                const juce::String& chapter,
                                const juce::String& caption,
                                const juce::File& destination,
                                const juce::URL& url)
    : Thread (chapter),
      core (owner),
      chapterId (chapter),
      title (caption),
      destinationFile (destination),
      tempFile (reserveTempFile (PrivateTempFolder::get(), chapter)),
      sourceUrl (url)
{
    log (" - Download entry created");
}

DownloadThread::~DownloadThread()
{
    stopThread (DownloadQueue::stopTimeoutMs);
    closeStreams();
    tempFile.deleteFile();
}

std::unique_ptr<DownloadJob> DownloadThread::makeJob (Core& owner,
                                                     const juce::String& chapterId,
                                                     const juce::String& title,
                                                     const juce::File& destination,
                                                     const juce::URL& source)
{
    return std::make_unique<DownloadThread> (owner, chapterId, title, destination, source);
}

void DownloadThread::stop (int timeoutMs)
{
    stopThread (timeoutMs);
}

bool DownloadThread::start()
{
    state = DownloadState::Downloading;

    if (startThread (Priority::background))
        return true;

    state = DownloadState::Queued;
    return false;
}

//==============================================================================
juce::File DownloadThread::reserveTempFile (const juce::File& folder, const juce::String& chapterId)
{
    if (folder == juce::File() || ! folder.isDirectory())
        return {};

    const auto suffix = "." + LocalStorage::toLegalFileName (chapterId) + ".tmp";
    juce::Random random;

    // O_EXCL makes taking the name atomic, so two entries can never share a file.
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const auto number = juce::String::toHexString ((juce::uint32) random.nextInt()).paddedLeft ('0', 8);
        const auto candidate = folder.getChildFile ("temp_" + number + suffix);
        const auto fd = open (candidate.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);

        if (fd >= 0)
        {
            close (fd);
            return candidate;
        }

        if (errno != EEXIST)
            return {};
    }

    return {};
}

void DownloadThread::removeLeftoverTempFiles (const juce::File& folder)
{
    if (folder == juce::File())
        return;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "temp_*.tmp", juce::File::findFiles))
        entry.getFile().deleteFile();
}

//==============================================================================
void DownloadThread::run()
{
    download();

    // Every way out of download() has already closed and deleted; this is the safety net.
    closeStreams();
    tempFile.deleteFile();
}

void DownloadThread::download()
{
    errorCode = DownloadError::NoError;
    state = DownloadState::Downloading;
    report();

    juce::String expectedChecksum;
    int expectedSize = 0;
    const auto listed = core.getChapterDownloadInfo (chapterId, expectedChecksum, expectedSize);
    log (" - Download entry started");

    if (! listed)
        return fail (DownloadError::NotInCatalog, " - Download aborted (chapter no longer in the catalog)");

    if (destinationFile == juce::File())
        return fail (DownloadError::FileSystemError, " - Download aborted (no folder can hold this chapter)");

    if (! destinationFile.getParentDirectory().createDirectory())
        return fail (DownloadError::FileSystemError, " - Download aborted (cannot create the chapter folder)");

    if (destinationFile.isDirectory())
        return fail (DownloadError::FileSystemError, " - Download aborted (file already exists but it's a directory)");

    // The previous video stays untouched until the end, so checking it once is enough even
    // when the transfer begins again.
    if (checkPresentFile (expectedChecksum))
        return;

    for (;;)
    {
        closeStreams();

        if (threadShouldExit())
            return fail (DownloadError::AbortedByUser, " - Download aborted (aborted by user)");

        if (! destinationFile.getParentDirectory().createDirectory())
            return fail (DownloadError::FileSystemError, " - Download aborted (cannot create the chapter folder)");

        if (! openTempFile())
            return fail (DownloadError::TempFileError, " - Download aborted (cannot create temporary file for download)");

        BackgroundChecksum checksum;
        juce::int64 byteCount = 0;
        const auto outcome = receive (expectedSize, checksum, byteCount);

        if (outcome == Transfer::complete)
            return finishDownload (byteCount, expectedChecksum, checksum);

        if (outcome == Transfer::ended)
            return;

        if (outcome == Transfer::noConnection)
        {
            if (restartCount == 0)
                return fail (DownloadError::ConnectionError, " - Download aborted (cannot establish connection)");

            // Thread::wait returns as soon as the thread is asked to stop.
            wait (reconnectionDelayMs);

            if (threadShouldExit())
                return fail (DownloadError::AbortedByUser, " - Download aborted (aborted by user)");

            log (" - Download restarted (cannot re-establish connection)");
        }
    }
}

bool DownloadThread::checkPresentFile (const juce::String& expectedChecksum)
{
    if (! destinationFile.existsAsFile()
        || ! Checksums::matches (Checksums::fileChecksum (destinationFile), expectedChecksum, true))
        return false;

    log (" - Download skipped (file already present and checksum matching)");
    errorCode = DownloadError::NoError;
    progress = 1.0f;
    state = DownloadState::Completed;
    report();
    return true;
}

bool DownloadThread::openTempFile()
{
    if (tempFile == juce::File())
        return false;

    tempFile.deleteFile();
    output = std::make_unique<juce::FileOutputStream> (tempFile);
    log (" - Temporary file for download: " + tempFile.getFullPathName());

    if (output->failedToOpen())
    {
        output = nullptr;
        return false;
    }

    return true;
}

DownloadThread::Transfer DownloadThread::receive (juce::int64 expectedSize, BackgroundChecksum& checksum, juce::int64& byteCount)
{
    // The body arrives in pieces of whatever size the network gives; it is taken in blocks of
    // bufferSize, each written, hashed, counted and reported in turn, and the last block is the
    // rest when the answer ends.
    char block[bufferSize];
    int filled = 0;
    juce::int64 logThreshold = 0;
    auto outcome = Transfer::ended;

    const auto takeBlock = [&] (const char* data, int bytesRead, bool ended, bool wholeAnswer)
    {
        if (byteCount >= logThreshold)
        {
            log (" - Download in progress: " + describeBlock (expectedSize, byteCount, {}, bytesRead));
            logThreshold += progressLogInterval;
        }

        byteCount += bytesRead;
        setProgress (byteCount, expectedSize);
        const auto verdict = judgeRead (byteCount, expectedSize, ended, wholeAnswer);

        if (verdict == ReadVerdict::broken)
        {
            ++restartCount;
            progress = 0.0f;
            report();
            log (" - Download restarted\n" + describeBlock (expectedSize, byteCount, "\t", bytesRead));
            outcome = Transfer::broken;
            return false;
        }

        if (bytesRead > 0)
        {
            if (! output->write (data, (size_t) bytesRead))
            {
                fail (DownloadError::TempFileError, " - Download aborted (cannot write to temporary file)");
                return false;
            }

            checksum.update (data, (size_t) bytesRead);
        }

        if (threadShouldExit())
        {
            fail (DownloadError::AbortedByUser, " - Download aborted (aborted by user)");
            return false;
        }

        report();

        if (verdict == ReadVerdict::complete)
        {
            outcome = Transfer::complete;
            return false;
        }

        return true;
    };

    const auto takePiece = [&] (const void* data, size_t numBytes)
    {
        auto* bytes = static_cast<const char*> (data);

        while (numBytes > 0)
        {
            // Whole blocks of a large piece are taken where they lie, without a copy.
            if (filled == 0 && numBytes >= (size_t) bufferSize)
            {
                if (! takeBlock (bytes, bufferSize, false, false))
                    return false;

                bytes += bufferSize;
                numBytes -= (size_t) bufferSize;
                continue;
            }

            const auto count = juce::jmin (numBytes, (size_t) (bufferSize - filled));
            memcpy (block + filled, bytes, count);
            filled += (int) count;
            bytes += count;
            numBytes -= count;

            if (filled == bufferSize)
            {
                filled = 0;

                if (! takeBlock (block, bufferSize, false, false))
                    return false;
            }
        }

        return true;
    };

    const auto logHead = [this] (const HttpClient::Response& head)
    {
        log (" - Download stream created for: " + sourceUrl.toString (true)
             + "\n\tReceived headers:\n\t" + describeHeaders (head.headers));
    };

    HttpClient::Limits limits;
    limits.connectTimeoutMs = connectionTimeoutMs;
    limits.stallTimeoutMs = connectionTimeoutMs;
    limits.totalTimeoutMs = transferDeadlineMs;
    const auto response = HttpClient::forThisThread().get ({ sourceUrl.toString (true), limits }, takePiece, logHead);

    if (response.outcome == HttpClient::Outcome::stoppedByReceiver)
        return outcome;

    if (response.outcome == HttpClient::Outcome::cancelled || threadShouldExit())
    {
        fail (DownloadError::AbortedByUser, " - Download aborted (aborted by user)");
        return Transfer::ended;
    }

    // Only a connection that gave nothing at all counts as no connection; one that failed
    // after answering is a broken transfer, judged by its last block.
    if (! response.hasAnswer())
        return Transfer::noConnection;

    // The answer has ended, so its last block decides between complete and broken.
    takeBlock (block, filled, true, response.isWholeDeclaredAnswer());
    return outcome;
}

DownloadThread::ReadVerdict DownloadThread::judgeRead (juce::int64 byteCount,
                                                       juce::int64 expectedSize,
                                                       bool streamEnded,
                                                       bool declaredAnswerComplete)
{
    // The network stream may hand over less than asked in the middle of a healthy transfer, so
    // a short read by itself proves nothing: only a stream that has ended matters.
    if (! streamEnded)
        return ReadVerdict::readOn;

    return byteCount >= expectedSize || declaredAnswerComplete ? ReadVerdict::complete
                                                               : ReadVerdict::broken;
}

void DownloadThread::finishDownload (juce::int64 byteCount, const juce::String& expectedChecksum, BackgroundChecksum& checksum)
{
    output->flush();
    const auto written = output->getStatus().wasOk();
    closeStreams();

    // The stream reports failed writes only through its status, and short ones not at all.
    if (! written || tempFile.getSize() != byteCount)
        return fail (DownloadError::TempFileError, " - Download aborted (cannot write to temporary file)");

    log (" - Download to temporary file completed");
    progress = 1.0f;

    // The digest was built from exactly the bytes written to the temporary file, whose length
    // was checked above, so it is the file's checksum without reading it back.
    if (! Checksums::matches (checksum.finish(), expectedChecksum, false))
        return fail (DownloadError::ChecksumMismatch, " - Download failed (checksum mismatch with catalog)");

    if (threadShouldExit())
        return fail (DownloadError::AbortedByUser, " - Download aborted (aborted by user)");

    const auto replacing = destinationFile.exists();

    if (! replaceDestination())
        return fail (DownloadError::FileSystemError,
                     replacing ? " - Download failed (cannot delete previous movie file)"
                               : " - Download failed (cannot move temporary file to final position)");

    log (" - Download successful");
    errorCode = DownloadError::NoError;
    state = DownloadState::Completed;
    report();
}

bool DownloadThread::replaceDestination() const
{
    if (renameFile (tempFile, destinationFile))
        return true;

    if (errno != EXDEV)
        return false;

    // The temporary folder is on another file system: copy beside the video first, so that the
    // previous video is still replaced by a single rename and never half-written.
    const auto staging = destinationFile.getSiblingFile (tempFile.getFileName());
    const auto moved = copyCompletely (tempFile, staging) && renameFile (staging, destinationFile);

    staging.deleteFile();
    tempFile.deleteFile();
    return moved;
}

void DownloadThread::closeStreams()
{
    output = nullptr;
}

//==============================================================================
void DownloadThread::setProgress (juce::int64 byteCount, juce::int64 expectedSize)
{
    progress = expectedSize > 0 ? (float) juce::jlimit (0.0, 1.0, (double) byteCount / (double) expectedSize) : 0.0f;
}

void DownloadThread::report()
{
    core.getDownloads().downloadStatusChanged (state, chapterId, errorCode, juce::sendNotification);
}

void DownloadThread::fail (DownloadError error, const juce::String& logText)
{
    closeStreams();
    tempFile.deleteFile();
    log (logText);
    errorCode = error;
    state = DownloadState::Failed;
    report();
}

void DownloadThread::log (const juce::String& text) const
{
    juce::Logger::writeToLog ("movieid: " + chapterId + text);
}
