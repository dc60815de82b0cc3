#pragma once

#include "model/DownloadJob.h"
#include "model/ThreadStop.h"

#include <functional>
#include <memory>
#include <vector>

class Core;

/**
    The queue of chapter downloads: entries in the order they were added, one running at a time,
    each a DownloadJob made by the factory the application hands to Core.

    Core owns it. Its list is guarded by a critical section of its own, always taken inside
    Core's catalog lock; entries are stopped only with no lock held. Any thread may call it.
*/
class DownloadQueue final
{
public:
    /** Makes the entry that fetches a chapter's video from a URL into its destination file. */
    using JobFactory = std::function<std::unique_ptr<DownloadJob> (Core& core,
                                                                   const juce::String& chapterId,
                                                                   const juce::String& title,
                                                                   const juce::File& destination,
                                                                   const juce::URL& source)>;

    /** Without a factory every download is refused. */
    DownloadQueue (Core& core, JobFactory factory);

    /** Stops every entry; Core calls stopAll first, with no lock held. */
    ~DownloadQueue();

    /** The most entries the queue holds: one per row of the download panel. */
    static constexpr int capacity = 1024;

    /** How long an entry is given to stop before it is ended by force. */
    static constexpr int stopTimeoutMs = ThreadStop::timeoutMs;

    /** Queues a chapter's video, fetched from the catalog's base URL + course + "/" + chapter +
        "/" + chapter + ".bin", and starts it when nothing else is downloading; broadcasts "cl".
        A chapter already queued or downloading is left as it is (true); a finished entry of the
        chapter is replaced by a new one at the end. False without a catalog with a user.
        The caller keeps the queue within capacity.
    */
    bool addDownload (const juce::String& courseId, const juce::String& chapterId, const juce::String& title);

    /** Takes an entry out of the queue (starting the next one if it was running), stops it with
        no lock held, deletes it and broadcasts "cl".
    */
    void removeDownload (int index);

    /** Removes every completed or failed entry as removeDownload does; true when any went. */
    bool removeFinishedDownloads();

    /** Empties the queue and stops every entry in order; for Core's destruction. */
    void stopAll();

    /** The queue index of a chapter's entry, or -1. */
    int findDownload (const juce::String& chapterId) const;

    /** The queue as the download panel shows it; out-of-range indices give neutral values. */
    int getDownloadCount() const;
    DownloadState getDownloadState (int index) const;
    DownloadError getDownloadError (int index) const;
    juce::String getDownloadTitle (int index) const;
    float getDownloadProgress (int index) const;

    /** Whether an entry is downloading. */
    bool isDownloadRunning() const;

    /** Called by an entry at every block and change of state: "dp;<chapter>" for progress (no
        lock taken); for a completed download the chapter's local state is updated (video
        present, timestamp = chapter date, not yet seen) and saved, the next queued entry
        starts, and "df;<chapter>" follows; a failure starts the next entry unless the user
        stopped this one, then "df;<chapter>". Nothing is broadcast with dontSendNotification.
    */
    void downloadStatusChanged (DownloadState state, const juce::String& chapterId, DownloadError error, juce::NotificationType notification);

    /** Where a chapter's video is fetched from: the base URL used unchanged, then course + "/" +
        chapter + "/" + chapter + ".bin".
    */
    static juce::String makeVideoUrl (const juce::String& baseUrl, const juce::String& courseId, const juce::String& chapterId);

private:
    int findLocked (const juce::String& chapterId) const;
    std::unique_ptr<DownloadJob> takeLocked (int index);
    void startNextLocked();

    template <typename Value, typename Getter>
    Value readEntry (int index, Value fallback, Getter&& getter) const;

    Core& core;
    const JobFactory factory;
    std::vector<std::unique_ptr<DownloadJob>> jobs;
    juce::CriticalSection lock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadQueue)
};
