#pragma once

#include "model/DownloadStatus.h"

#include <JuceHeader.h>

/**
    One entry of the download queue as the queue sees it: the chapter it fetches, where it
    stands, and the starting and stopping of its run. The download thread is the real one; the
    queue never knows more of it than this.

    State, error, progress and the names may be read from any thread.
*/
class DownloadJob
{
public:
    virtual ~DownloadJob() = default;

    virtual const juce::String& getChapterId() const noexcept = 0;
    virtual const juce::String& getTitle() const noexcept = 0;
    virtual DownloadState getState() const noexcept = 0;
    virtual DownloadError getErrorCode() const noexcept = 0;

    /** The fraction of the expected size received so far, from 0.0 to 1.0. */
    virtual float getProgress() const noexcept = 0;

    /** Marks the entry as downloading and starts its run. Called by the queue under its lock,
        so the entry counts as running from that moment on.
    */
    virtual bool start() = 0;

    /** Asks the run to end and waits up to timeoutMs before ending it by force. Called with
        no lock held, since a stopping run reports its end under Core's write lock.
    */
    virtual void stop (int timeoutMs) = 0;
};
