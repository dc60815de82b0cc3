#pragma once

#include "model/DownloadQueue.h"

#include <map>
#include <optional>

/**
    What one run of the download queue came to, from its first entry started until nothing is
    queued or downloading any more: the text of the desktop notification that tells a user away
    from the window. Entries the user removed or stopped count for nothing.

    Pure logic, fed from the queue's broadcasts on the message thread.
*/
class DownloadRunSummary final
{
public:
    /** The notification: "3 chapters downloaded", or the failed chapter's title and why. */
    struct Notice
    {
        juce::String summary, body;

        bool operator== (const Notice& other) const { return summary == other.summary && body == other.body; }
    };

    /** Notes how a chapter's entry stands now that it finished ("df"); a chapter finishing again
        in the same run counts once, as it last stood.
    */
    void noteFinished (const DownloadQueue& queue, const juce::String& chapterId);

    /** When the queue has nothing queued or downloading and an entry finished since the last
        run ended: the run's notice, and the next run starts empty. Else nothing.
    */
    std::optional<Notice> takeNoticeIfEnded (const DownloadQueue& queue);

    /** True when no entry of the queue is queued or downloading. */
    static bool isIdle (const DownloadQueue& queue);

    /** Why a download failed, as the notification says it. */
    static juce::String describe (DownloadError error);

private:
    struct Outcome
    {
        juce::String title;
        DownloadError error = DownloadError::NoError;
    };

    // In the order the chapters first finished; std::map would sort them by id.
    juce::StringArray order;
    std::map<juce::String, Outcome> outcomes;
};
