#include "playback/ChapterStatus.h"

#include "model/Core.h"
#include "playback/PlaybackRules.h"

bool ChapterStatus::State::isBeingFetched() const noexcept
{
    return ! downloaded && (queued == DownloadState::Queued || queued == DownloadState::Downloading);
}

ChapterStatus::State ChapterStatus::read (const Core& core, const juce::String& chapterId)
{
    State state;
    state.downloaded = core.isVideoPresent (chapterId);
    state.updateAvailable = state.downloaded && core.getChapterDate (chapterId) > core.getTimestamp (chapterId);
    state.favorite = core.isFavorite (chapterId);
    state.unseen = core.isYetToBeSeen (chapterId);
    state.searchHit = core.hasSearchHits (chapterId);
    state.watched = core.getWatchedPosition (chapterId);
    state.duration = core.getChapterDuration (chapterId);

    const auto& queue = core.getDownloads();

    if (const auto index = queue.findDownload (chapterId); index >= 0)
        state.queued = queue.getDownloadState (index);

    return state;
}

int ChapterStatus::getChapterIcon (const State& state, bool online, BrowserTab tab)
{
    if (state.updateAvailable)
    {
        if (! online)
            return playIcon;

        if (tab == favoritesTab)
            return noIcon;

        return state.queued.has_value() ? queuedIcon : updateIcon;
    }

    if (state.downloaded)
        return playIcon;

    if (state.isBeingFetched())
        return tab == favoritesTab ? noIcon : queuedIcon;

    return ! online || tab == favoritesTab ? noIcon : downloadIcon;
}

int ChapterStatus::getGroupIcon (bool hasMissingChapter, bool online, BrowserTab tab)
{
    return online && tab != favoritesTab && hasMissingChapter ? downloadIcon : noIcon;
}

juce::String ChapterStatus::getTooltip (const State& state, bool online)
{
    const auto status = getStatusTooltip (state, online);
    const auto watched = PlaybackRules::describeWatched (state.watched, state.duration);

    if (watched.isEmpty())
        return status;

    return status.isEmpty() ? watched : status + "\n" + watched;
}

juce::String ChapterStatus::getStatusTooltip (const State& state, bool online)
{
    if (state.updateAvailable)
    {
        if (state.queued.has_value())
            return TRANS ("This chapter is being downloaded");

        return online ? TRANS ("Click the icon to update this chapter") : TRANS ("Connect and click the icon to update this chapter");
    }

    if (state.downloaded)
        return {};

    if (state.isBeingFetched())
        return TRANS ("This chapter is being downloaded");

    return online ? TRANS ("Click the icon to download this chapter") : TRANS ("Connect and click the icon to download this chapter");
}

ChapterStatus::IconAction ChapterStatus::getIconAction (const State& state, bool online)
{
    if (state.updateAvailable && online)
        return IconAction::queue;

    if (state.downloaded)
        return IconAction::play;

    return online ? IconAction::queue : IconAction::nothing;
}

bool ChapterStatus::isIconClick (juce::Point<int> position, int rowHeight) noexcept
{
    return position.x < 15 && std::abs (position.y - rowHeight / 2) <= 7;
}

bool ChapterStatus::passesFilter (BrowserTab tab, bool hasFavorite, bool loggedIn) noexcept
{
    switch (tab)
    {
        case favoritesTab:
            return hasFavorite;
        case myTutorialsTab:
            return loggedIn;
        case tutorialsTab:
            break;
    }

    return true;
}

std::vector<ChapterStatus::MenuEntry> ChapterStatus::getChapterMenu (const State& state, bool loggedIn, bool online)
{
    std::vector<MenuEntry> entries;

    if (! state.downloaded || state.updateAvailable)
        entries.push_back ({ downloadEntry, TRANS ("Download"), loggedIn && online });

    if (state.downloaded)
    {
        entries.push_back ({ seenEntry, state.unseen ? TRANS ("Mark as seen") : TRANS ("Mark as not yet seen"), true });
        entries.push_back ({ favoriteEntry, state.favorite ? TRANS ("Remove favorite mark") : TRANS ("Mark as favorite"), true });
        entries.push_back ({ removeEntry, TRANS ("Remove from this computer"), true });
    }

    return entries;
}

std::vector<ChapterStatus::MenuEntry> ChapterStatus::getGroupMenu (bool hasMissingChapter, bool hasDownloadedChapter, bool online)
{
    std::vector<MenuEntry> entries { { downloadAllEntry, TRANS ("Download available chapters"), online && hasMissingChapter } };

    if (hasDownloadedChapter)
        entries.push_back ({ removeAllEntry, TRANS ("Remove from this computer"), true });

    return entries;
}
