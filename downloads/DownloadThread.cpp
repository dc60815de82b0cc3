#include "downloads/DownloadThread.h"

#include "app/PrivateTempFolder.h"
#include "downloads/Checksums.h"
#include "downloads/IncrementalChecksum.h"
#include "model/Core.h"
#include "model/LocalStorage.h"

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
    addListener (this);
    log (" - Download entry created");
}

DownloadThread::~DownloadThread()
{
    stopThread (DownloadQueue::stopTimeoutMs);
    removeListener (this);
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

        if (! openInput())
        {
            if (threadShouldExit())
                return fail (DownloadError::AbortedByUser, " - Download aborted (aborted by user)");

            if (restartCount == 0)
                return fail (DownloadError::ConnectionError, " - Download aborted (cannot establish connection)");

            // Thread::wait returns as soon as the thread is asked to stop.
            wait (reconnectionDelayMs);

            if (threadShouldExit())
                return fail (DownloadError::AbortedByUser, " - Download aborted (aborted by user)");

            log (" - Download restarted (cannot re-establish connection)");
            continue;
        }

        IncrementalChecksum checksum;
        juce::int64 byteCount = 0;
        const auto outcome = receive (expectedSize, checksum, byteCount);

        if (outcome == Transfer::complete)
            return finishDownload (byteCount, expectedChecksum, checksum);

        if (outcome == Transfer::ended)
            return;
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

bool DownloadThread::openInput()
{
    auto stream = std::make_unique<juce::WebInputStream> (sourceUrl, false);
    stream->withConnectionTimeout (connectionTimeoutMs);
    auto& web = *stream;

    {
        // From here on a stop request cancels the stream, which also ends a pending connect.
        const juce::ScopedLock sl (inputLock);
        input = std::move (stream);
    }

    // A connection that failed after delivering part of the body is a broken transfer, which
    // the read loop handles; only one that gave nothing at all counts as no connection.
    // Set before the stop request is checked, so a request that comes later always sees it.
    waitingForNetwork = true;
    const auto connected = ! threadShouldExit() && web.connect (nullptr) && ! (web.isError() && web.isExhausted());
    waitingForNetwork = false;

    if (! connected)
    {
        closeStreams();
        return false;
    }

    log (" - Download stream created for: " + sourceUrl.toString (true)
         + "\n\tReceived headers:\n\t" + describeHeaders (web.getResponseHeaders()));
    return true;
}

DownloadThread::Transfer DownloadThread::receive (juce::int64 expectedSize, IncrementalChecksum& checksum, juce::int64& byteCount)
{
    char buffer[bufferSize];
    juce::int64 logThreshold = 0;

    for (;;)
    {
        waitingForNetwork = true;

        if (threadShouldExit())
        {
            waitingForNetwork = false;
            fail (DownloadError::AbortedByUser, " - Download aborted (aborted by user)");
            return Transfer::ended;
        }

        const auto bytesRead = juce::jmax (0, input->read (buffer, bufferSize));
        waitingForNetwork = false;

        if (byteCount >= logThreshold)
        {
            log (" - Download in progress: " + describeBlock (expectedSize, byteCount, {}, bytesRead));
            logThreshold += progressLogInterval;
        }

        byteCount += bytesRead;
        setProgress (byteCount, expectedSize);

        // Checked before anything else: a stop cancels the stream, which makes this read short.
        if (threadShouldExit())
        {
            fail (DownloadError::AbortedByUser, " - Download aborted (aborted by user)");
            return Transfer::ended;
        }

        const auto ended = input->isExhausted();
        const auto verdict = judgeRead (byteCount, expectedSize, ended, ended && endedWithWholeAnswer (byteCount));

        if (verdict == ReadVerdict::broken)
        {
            ++restartCount;
            progress = 0.0f;
            report();
            log (" - Download restarted\n" + describeBlock (expectedSize, byteCount, "\t", bytesRead));
            return Transfer::broken;
        }

        if (bytesRead > 0)
        {
            if (! output->write (buffer, (size_t) bytesRead))
            {
                fail (DownloadError::TempFileError, " - Download aborted (cannot write to temporary file)");
                return Transfer::ended;
            }

            checksum.update (buffer, (size_t) bytesRead);
        }

        report();

        if (verdict == ReadVerdict::complete)
            return Transfer::complete;
    }
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

bool DownloadThread::endedWithWholeAnswer (juce::int64 byteCount)
{
    const auto declaredLength = input->getTotalLength();
    return ! input->isError() && declaredLength >= 0 && byteCount >= declaredLength;
}

void DownloadThread::finishDownload (juce::int64 byteCount, const juce::String& expectedChecksum, IncrementalChecksum& checksum)
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
    std::unique_ptr<juce::WebInputStream> closing;

    {
        const juce::ScopedLock sl (inputLock);
        closing = std::move (input);
    }
}

void DownloadThread::exitSignalSent()
{
    // A healthy transfer notices the request at the end of its current block. Cancelling the
    // stream at once would instead leave the network library waiting for its own timer (up to
    // a second), so only a connection that stays silent for a moment is cut.
    for (int waited = 0; waitingForNetwork && waited < stopGraceMs; waited += 5)
        juce::Thread::sleep (5);

    const juce::ScopedLock sl (inputLock);

    if (input != nullptr && waitingForNetwork)
        input->cancel();
}

//==============================================================================
void DownloadThread::setProgress (juce::int64 byteCount, juce::int64 expectedSize)
{
    progress = expectedSize > 0 ? (float) juce::jlimit (0.0, 1.0, (double) byteCount / (double) expectedSize) : 0.0f;
}

void DownloadThread::report()
{
    core.getDownloads().downloadStatusChanged (state, chapterId, errorCode, true);
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
