#include "model/DownloadQueue.h"

#include "model/Core.h"
#include "model/LocalStorage.h"
#include "model/Notifications.h"

#include <algorithm>

DownloadQueue::DownloadQueue (Core& c, JobFactory f) : core (c), factory (std::move (f))
{
}

DownloadQueue::~DownloadQueue()
{
    stopAll();
}

juce::String DownloadQueue::makeVideoUrl (const juce::String& baseUrl, const juce::String& courseId, const juce::String& chapterId)
{
    return baseUrl + courseId + "/" + chapterId + "/" + chapterId + ".bin";
}

bool DownloadQueue::addDownload (const juce::String& courseId, const juce::String& chapterId, const juce::String& title)
{
    std::unique_ptr<DownloadJob> replaced;
    auto added = false;

    {
        const juce::ScopedWriteLock sl (core.catalogLock);
        const juce::ScopedLock ql (lock);

        if (const auto index = findLocked (chapterId); index >= 0)
        {
            const auto state = jobs[(size_t) index]->getState();

            if (state == DownloadState::Queued || state == DownloadState::Downloading)
                return true;

            replaced = takeLocked (index);
        }

        if (factory != nullptr && core.catalog != nullptr && core.catalog->userid.isNotEmpty())
        {
            // A chapter whose identifier names no safe folder gets no destination; its run
            // then fails instead of writing anywhere else.
            const auto directory = core.chapterDirectoryLocked (chapterId);
            const auto destination = directory != juce::File() ? LocalStorage::getVideoFile (directory, chapterId) : juce::File();
            const juce::URL source (makeVideoUrl (core.catalog->baseurl, courseId, chapterId));

            if (auto job = factory (core, chapterId, title, destination, source))
            {
                jobs.push_back (std::move (job));
                startNextLocked();
                added = true;
            }
        }
    }

    if (replaced != nullptr)
    {
        replaced->stop (stopTimeoutMs);
        replaced = nullptr;
        core.broadcast (Notifications::downloadListChanged);
    }

    if (added)
        core.broadcast (Notifications::downloadListChanged);

    return added;
}

void DownloadQueue::removeDownload (int index)
{
    std::unique_ptr<DownloadJob> removed;

    {
        const juce::ScopedWriteLock sl (core.catalogLock);
        const juce::ScopedLock ql (lock);

        if (! juce::isPositiveAndBelow (index, (int) jobs.size()))
            return;

        removed = takeLocked (index);

        if (removed->getState() == DownloadState::Downloading)
            startNextLocked();
    }

    removed->stop (stopTimeoutMs);
    removed = nullptr;
    core.broadcast (Notifications::downloadListChanged);
}

bool DownloadQueue::removeFinishedDownloads()
{
    std::vector<std::unique_ptr<DownloadJob>> removed;

    {
        const juce::ScopedWriteLock sl (core.catalogLock);
        const juce::ScopedLock ql (lock);

        for (auto index = (int) jobs.size() - 1; index >= 0; --index)
        {
            const auto state = jobs[(size_t) index]->getState();

            if (state == DownloadState::Completed || state == DownloadState::Failed)
                removed.push_back (takeLocked (index));
        }
    }

    // Only after the lock is released: a run that has just finished may still be waiting for
    // the write lock to report its end, and stopping it under the lock would stall here.
    for (auto& job : removed)
    {
        job->stop (stopTimeoutMs);
        job = nullptr;
        core.broadcast (Notifications::downloadListChanged);
    }

    return ! removed.empty();
}

void DownloadQueue::stopAll()
{
    // The queue is emptied first, so nothing new starts while the entries stop.
    std::vector<std::unique_ptr<DownloadJob>> stopping;

    {
        const juce::ScopedWriteLock sl (core.catalogLock);
        const juce::ScopedLock ql (lock);
        stopping.swap (jobs);
    }

    for (auto& job : stopping)
        job->stop (stopTimeoutMs);
}

int DownloadQueue::findDownload (const juce::String& chapterId) const
{
    const juce::ScopedReadLock sl (core.catalogLock);
    const juce::ScopedLock ql (lock);
    return findLocked (chapterId);
}

int DownloadQueue::getDownloadCount() const
{
    const juce::ScopedReadLock sl (core.catalogLock);
    const juce::ScopedLock ql (lock);
    return (int) jobs.size();
}

template <typename Value, typename Getter>
Value DownloadQueue::readEntry (int index, Value fallback, Getter&& getter) const
{
    const juce::ScopedReadLock sl (core.catalogLock);
    const juce::ScopedLock ql (lock);

    if (! juce::isPositiveAndBelow (index, (int) jobs.size()))
        return fallback;

    return getter (*jobs[(size_t) index]);
}

DownloadState DownloadQueue::getDownloadState (int index) const
{
    return readEntry (index, DownloadState::Queued, [] (const DownloadJob& job) { return job.getState(); });
}

DownloadError DownloadQueue::getDownloadError (int index) const
{
    return readEntry (index, DownloadError::NoError, [] (const DownloadJob& job) { return job.getErrorCode(); });
}

juce::String DownloadQueue::getDownloadTitle (int index) const
{
    return readEntry (index, juce::String(), [] (const DownloadJob& job) { return job.getTitle(); });
}

float DownloadQueue::getDownloadProgress (int index) const
{
    return readEntry (index, 0.0f, [] (const DownloadJob& job) { return job.getProgress(); });
}

bool DownloadQueue::isDownloadRunning() const
{
    const juce::ScopedReadLock sl (core.catalogLock);
    const juce::ScopedLock ql (lock);

    return std::any_of (jobs.begin(), jobs.end(), [] (const auto& job) { return job->getState() == DownloadState::Downloading; });
}

void DownloadQueue::downloadStatusChanged (DownloadState state, const juce::String& chapterId, DownloadError error, juce::NotificationType notification)
{
    if (state == DownloadState::Downloading)
    {
        if (notification != juce::dontSendNotification)
            core.broadcast (Notifications::downloadProgress, { chapterId });

        return;
    }

    if (state != DownloadState::Completed && state != DownloadState::Failed)
        return;

    {
        const juce::ScopedWriteLock sl (core.catalogLock);

        if (state == DownloadState::Completed)
            core.recordCompletedDownloadLocked (chapterId);

        const juce::ScopedLock ql (lock);

        if (state == DownloadState::Completed || error != DownloadError::AbortedByUser)
            startNextLocked();
    }

    if (notification != juce::dontSendNotification)
        core.broadcast (Notifications::downloadFinished, { chapterId });
}

int DownloadQueue::findLocked (const juce::String& chapterId) const
{
    for (size_t i = 0; i < jobs.size(); ++i)
        if (jobs[i]->getChapterId() == chapterId)
            return (int) i;

    return -1;
}

std::unique_ptr<DownloadJob> DownloadQueue::takeLocked (int index)
{
    auto taken = std::move (jobs[(size_t) index]);
    jobs.erase (jobs.begin() + index);
    return taken;
}

void DownloadQueue::startNextLocked()
{
    // One download at a time: an entry counts as downloading from the moment it is started.
    for (const auto& job : jobs)
        if (job->getState() == DownloadState::Downloading)
            return;

    for (const auto& job : jobs)
        if (job->getState() == DownloadState::Queued)
        {
            job->start();
            return;
        }
}
