#pragma once

#include "model/DownloadStatus.h"
#include "playback/CatalogTreeHost.h"

#include <optional>
#include <vector>

class Core;

/**
    What the catalog tree shows of a chapter, and the rules that turn it into a status icon, a
    tooltip, a context menu and the reaction to a click on the icon. Pure rules over a snapshot
    read from Core, so tests call them directly; any thread.
*/
class ChapterStatus final
{
public:
    /** A chapter's state as the tree sees it, read from Core in one go. */
    struct State
    {
        /** The video file is present. */
        bool downloaded = false;

        /** Downloaded, and the catalog's date is later than the stored timestamp. */
        bool updateAvailable = false;

        /** The state of the chapter's download list entry, if it has one. */
        std::optional<DownloadState> queued;

        bool favorite = false;
        bool unseen = false;
        bool searchHit = false;

        /** Where watching stopped and the catalog's running time, both in seconds. */
        double watched = 0.0;
        double duration = 0.0;

        /** Not downloaded, and queued as waiting or running. */
        bool isBeingFetched() const noexcept;
    };

    /** Reads a chapter's state from Core. */
    static State read (const Core& core, const juce::String& chapterId);

    /** Indices into the tree icons of the shared resources. */
    enum Icon
    {
        noIcon = -1,
        downloadIcon = 0,
        playIcon = 1,
        updateIcon = 4,
        queuedIcon = 12
    };

    /** A chapter row's status icon. */
    static int getChapterIcon (const State& state, bool online, BrowserTab tab);

    /** A lesson's or a course's status icon: the download icon while a chapter is missing. */
    static int getGroupIcon (bool hasMissingChapter, bool online, BrowserTab tab);

    /** A chapter row's tooltip; empty for a downloaded, current chapter. A chapter partly
        watched adds a line such as "Watched 12:30 of 20:00".
    */
    static juce::String getTooltip (const State& state, bool online);

    /** What a click on a chapter's status icon does. */
    enum class IconAction
    {
        nothing,
        queue,
        play
    };

    static IconAction getIconAction (const State& state, bool online);

    /** Whether a left click at this position (relative to the row's own left edge) hits the
        status icon: x below 15 and at most 7 pixels above or below the middle of the row.
    */
    static bool isIconClick (juce::Point<int> position, int rowHeight) noexcept;

    /** Whether a row passes the tab's filter: everything in TUTORIALS, rows with a favourite in
        FAVORITES, everything of a signed-in user in MY TUTORIALS.
    */
    static bool passesFilter (BrowserTab tab, bool hasFavorite, bool loggedIn) noexcept;

    /** One entry of a row's context menu; the id is the menu's result code. */
    struct MenuEntry
    {
        int id = 0;
        juce::String text;
        bool enabled = true;

        bool operator== (const MenuEntry& other) const { return id == other.id && text == other.text && enabled == other.enabled; }
    };

    /** Result codes of the menus. */
    enum MenuId
    {
        downloadEntry = 1,
        seenEntry = 2,
        favoriteEntry = 3,
        removeEntry = 4,
        downloadAllEntry = 1,
        removeAllEntry = 2
    };

    /** A chapter row's menu: Download, the seen and favourite marks, and removal. */
    static std::vector<MenuEntry> getChapterMenu (const State& state, bool loggedIn, bool online);

    /** A lesson's or a course's menu: download the missing chapters, remove the downloaded ones. */
    static std::vector<MenuEntry> getGroupMenu (bool hasMissingChapter, bool hasDownloadedChapter, bool online);

private:
    static juce::String getStatusTooltip (const State& state, bool online);

    ChapterStatus() = delete;
};
