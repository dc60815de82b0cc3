#include "ui/DownloadRunSummary.h"

void DownloadRunSummary::noteFinished (const DownloadQueue& queue, const juce::String& chapterId)
{
    const auto index = queue.findDownload (chapterId);

    if (index < 0)
        return;

    const auto state = queue.getDownloadState (index);
    const auto error = queue.getDownloadError (index);

    if (state != DownloadState::Completed && state != DownloadState::Failed)
        return;

    if (state == DownloadState::Failed && error == DownloadError::AbortedByUser)
    {
        order.removeString (chapterId);
        outcomes.erase (chapterId);
        return;
    }

    order.addIfNotAlreadyThere (chapterId);
    outcomes[chapterId] = { queue.getDownloadTitle (index), state == DownloadState::Completed ? DownloadError::NoError : error };
}

std::optional<DownloadRunSummary::Notice> DownloadRunSummary::takeNoticeIfEnded (const DownloadQueue& queue)
{
    if (order.isEmpty() || ! isIdle (queue))
        return {};

    int completed = 0, failed = 0;
    Notice notice;

    for (const auto& chapterId : order)
    {
        const auto& outcome = outcomes[chapterId];

        if (outcome.error == DownloadError::NoError)
        {
            ++completed;
            continue;
        }

        // The first failure is the one named; the others are counted.
        if (failed++ == 0)
            notice = { outcome.title, describe (outcome.error) };
    }

    order.clear();
    outcomes.clear();

    const auto downloaded = completed == 1 ? TRANS ("1 chapter downloaded") : TRANS ("N chapters downloaded").replace ("N", juce::String (completed));

    if (failed == 0)
        return Notice { downloaded, {} };

    if (failed > 1)
        notice.body << "\n"
                    << (failed == 2 ? TRANS ("1 more chapter failed") : TRANS ("N more chapters failed").replace ("N", juce::String (failed - 1)));

    if (completed > 0)
        notice.body << "\n"
                    << downloaded;

    return notice;
}

bool DownloadRunSummary::isIdle (const DownloadQueue& queue)
{
    for (int i = 0; i < queue.getDownloadCount(); ++i)
        if (const auto state = queue.getDownloadState (i); state == DownloadState::Queued || state == DownloadState::Downloading)
            return false;

    return true;
}

juce::String DownloadRunSummary::describe (DownloadError error)
{
    switch (error)
    {
        case DownloadError::TempFileError:
            return TRANS ("The temporary file could not be written");
        case DownloadError::FileSystemError:
            return TRANS ("The chapter could not be saved on this computer");
        case DownloadError::ConnectionError:
            return TRANS ("No connection to the server");
        case DownloadError::AbortedByUser:
            return TRANS ("The download was stopped");
        case DownloadError::ChecksumMismatch:
            return TRANS ("The downloaded video is damaged (checksum mismatch)");
        case DownloadError::NotInCatalog:
            return TRANS ("The chapter is no longer in the catalog");
        case DownloadError::NoError:
            break;
    }

    return {};
}
