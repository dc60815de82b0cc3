#pragma once

#include "playback/CatalogTreeHost.h"

#include <vector>

class Core;

/**
    What the catalog tree's rows do to chapters: queue one or all missing ones for download,
    remove one or all downloaded ones (asking first), and show a row's context menu. The rows
    call these on the message thread; the bulk removal runs its loop on a worker thread behind a
    progress window.
*/
class CatalogTreeActions final
{
public:
    /** A chapter by its place in the catalog and its identifier. */
    struct ChapterRef
    {
        int course = -1, lesson = -1, chapter = -1;
        juce::String id;
    };

    /** The chapters of a lesson, or of every lesson of a course when lesson is -1, in order. */
    static std::vector<ChapterRef> getChapters (const Core& core, int course, int lesson);

    /** Queues a chapter under its download label and, when it was queued, selects "Downloads". */
    static bool queueChapter (Core& core, CatalogTreeHost& host, const ChapterRef& chapter);

    /** Asks, then queues every missing chapter of a lesson (or a course when lesson is -1),
        stopping at the first one the window refuses.
    */
    static void queueMissingChapters (Core& core, CatalogTreeHost& host, int course, int lesson);

    /** Asks, then removes a chapter from this computer, reopening it if it is the open one. */
    static void removeChapter (Core& core, CatalogTreeHost& host, const ChapterRef& chapter);

    /** Asks, then removes every downloaded chapter of a lesson (or a course when lesson is -1)
        behind a progress window that can be cancelled before each chapter.
    */
    static void removeDownloadedChapters (Core& core, CatalogTreeHost& host, int course, int lesson);

    /** A chapter row's context menu and what its entries do. */
    static void showChapterMenu (Core& core, CatalogTreeHost& host, const ChapterRef& chapter);

    /** A lesson's or a course's context menu (lesson -1) and what its entries do. */
    static void showGroupMenu (Core& core, CatalogTreeHost& host, int course, int lesson);

private:
    CatalogTreeActions() = delete;
};
