#pragma once

#include "model/DownloadJob.h"

#include <JuceHeader.h>

#include <atomic>

class BackgroundChecksum;
class Core;

/**
    One entry of the download queue: fetches one chapter's video into a temporary file,
    verifies it against the catalog's MD5 checksum and moves it into the chapter's folder.

    Core creates, starts, stops and deletes entries on whichever thread changes the queue; the
    run executes on the entry's own thread (named after the chapter) and reports every block and
    every change of state back to Core, which broadcasts "dp" and "df". State, error code and
    progress are written by the run and may be read from any thread.

    The body streams from the network straight into the temporary file, in blocks of bufferSize
    bytes, and into an MD5 digest computed on a second thread meanwhile. A stop request ends a
    transfer under way within milliseconds, even while the connection is silent.

    The chapter's previous video, if any, stays in place and playable until the new one has
    been verified; it is then replaced in one rename. The temporary file lives in the program's
    private temporary folder and is gone when the run ends, whatever the way out.
*/
class DownloadThread final : public juce::Thread,
                             public DownloadJob
{
public:
    /** A queued entry. Picks and reserves its temporary file and logs its creation. */
    DownloadThread (Core& owner,
                    const juce::String& chapterId,
                    const juce::String& title,
                    const juce::File& destinationFile,
                    const juce::URL& sourceUrl);

    /** Stops the run if it is still going and deletes the temporary file. */
    ~DownloadThread() override;

    /** The factory that the application hands to Core for its download queue. */
    static std::unique_ptr<DownloadJob> makeJob (Core& owner,
                                                 const juce::String& chapterId,
                                                 const juce::String& title,
                                                 const juce::File& destination,
                                                 const juce::URL& source);

    /** Marks the entry as downloading and starts its thread at the lowest priority. Called by
        the queue under its lock, so an entry counts as running from that moment on.
    */
    bool start() override;

    /** Stops the thread: asks, waits up to timeoutMs, then ends it by force. */
    void stop (int timeoutMs) override;

    const juce::String& getChapterId() const noexcept override { return chapterId; }
    const juce::String& getTitle() const noexcept override { return title; }
    DownloadState getState() const noexcept override { return state; }
    DownloadError getErrorCode() const noexcept override { return errorCode; }

    /** The fraction of the expected size received so far, from 0.0 to 1.0. */
    float getProgress() const noexcept override { return progress; }

    /** How many times the download began again from zero. */
    int getRestartCount() const noexcept { return restartCount; }

    const juce::File& getDestinationFile() const noexcept { return destinationFile; }
    const juce::File& getTempFile() const noexcept { return tempFile; }
    const juce::URL& getSourceUrl() const noexcept { return sourceUrl; }

    /** Picks "temp_" + random hexadecimal + "." + chapter + ".tmp" in a folder, drawing again
        while the name is taken, and creates the file empty so that no other entry can take it.
        File() when the folder is missing or cannot be written.
    */
    static juce::File reserveTempFile (const juce::File& folder, const juce::String& chapterId);

    /** Deletes the temporary files of downloads in a folder. Only for start-up, when no
        download can be running: it clears what a crashed or killed run left.
    */
    static void removeLeftoverTempFiles (const juce::File& folder);

    /** What the stream says about the transfer after a read. */
    enum class ReadVerdict
    {
        readOn,
        complete,
        broken
    };

    /** Judges a block: the transfer goes on while the stream has not ended, however few bytes
        the block holds; an ended stream is complete when the expected size has arrived or when
        the server finished an answer of the length it declared (an error page, a changed
        file: fetching it again would only give the same bytes, so the checksum decides);
        otherwise the connection broke and the download begins again.
    */
    static ReadVerdict judgeRead (juce::int64 byteCount, juce::int64 expectedSize, bool streamEnded, bool declaredAnswerComplete);

    /** The size of the blocks the body is written, hashed, reported and logged in. */
    static constexpr int bufferSize = 32678;

    /** The wait between reconnection attempts once a download has begun again. */
    static constexpr int reconnectionDelayMs = 2000;

    /** Connection time-out; a transfer that receives fewer than 100 bytes for this long also
        counts as broken.
    */
    static constexpr int connectionTimeoutMs = 15000;

    /** The longest one connection's transfer may take: hours, since a video is large and lines
        are slow, yet a server trickling just above the stall floor still lets go in the end.
    */
    static constexpr int transferDeadlineMs = 12 * 60 * 60 * 1000;

    /** Progress lines are logged at most once per this many bytes. */
    static constexpr juce::int64 progressLogInterval = 10000000;

private:
    /** How one connection's transfer ended: whole, broken (begin again), without any answer
        (connect again), or with the run already failed.
    */
    enum class Transfer
    {
        complete,
        broken,
        noConnection,
        ended
    };

    void run() override;

    void download();
    bool checkPresentFile (const juce::String& expectedChecksum);
    bool openTempFile();
    Transfer receive (juce::int64 expectedSize, BackgroundChecksum& checksum, juce::int64& byteCount);
    void finishDownload (juce::int64 byteCount, const juce::String& expectedChecksum, BackgroundChecksum& checksum);
    bool replaceDestination() const;
    void closeStreams();

    void setProgress (juce::int64 byteCount, juce::int64 expectedSize);
    void report();
    void fail (DownloadError error, const juce::String& logText);
    void log (const juce::String& text) const;

    Core& core;
    const juce::String chapterId;
    const juce::String title;
    std::atomic<DownloadState> state { DownloadState::Queued };
    std::atomic<DownloadError> errorCode { DownloadError::NoError };
    std::atomic<float> progress { 0.0f };
    const juce::File destinationFile;
    const juce::File tempFile;
    const juce::URL sourceUrl;
    std::atomic<int> restartCount { 0 };

    std::unique_ptr<juce::FileOutputStream> output;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadThread)
};
