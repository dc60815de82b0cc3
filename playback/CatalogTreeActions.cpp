#include "playback/CatalogTreeActions.h"

#include "app/Prompts.h"
#include "model/Core.h"
#include "playback/ChapterStatus.h"

namespace
{
bool groupHasVideo (const Core& core, int course, int lesson, bool present)
{
    return lesson < 0 ? core.courseHasVideo (course, present) : core.lessonHasVideo (course, lesson, present);
}

int showMenu (const std::vector<ChapterStatus::MenuEntry>& entries)
{
    if (entries.empty())
        return 0;

    juce::PopupMenu menu;

    for (const auto& entry : entries)
        menu.addItem (entry.id, entry.text, entry.enabled);

    return Prompts::get().showMenu (menu);
}

/** Runs a step on the message thread, waiting for it when called from another thread. */
void onMessageThread (std::function<void()> step)
{
    if (juce::MessageManager::getInstance()->isThisTheMessageThread())
    {
        step();
        return;
    }

    juce::MessageManager::getInstance()->callFunctionOnMessageThread ([] (void* function) -> void* {
        (*static_cast<std::function<void()>*> (function))();
        return nullptr;
    },
                                                                       &step);
}
} // namespace

std::vector<CatalogTreeActions::ChapterRef> CatalogTreeActions::getChapters (const Core& core, int course, int lesson)
{
    std::vector<ChapterRef> chapters;
    const auto first = lesson < 0 ? 0 : lesson;
    const auto last = lesson < 0 ? core.getNumLessons (course) : lesson + 1;

    for (int l = first; l < last; ++l)
        for (int k = 0; k < core.getNumChapters (course, l); ++k)
            chapters.push_back ({ course, l, k, core.getChapterId (course, l, k) });

    return chapters;
}

bool CatalogTreeActions::queueChapter (Core&, CatalogTreeHost& host, const ChapterRef& chapter)
{
    if (! host.startDownload (chapter.course, chapter.id, host.getChapterCaption (chapter.course, chapter.lesson, chapter.chapter)))
        return false;

    host.selectDownloadsEntry();
    return true;
}

void CatalogTreeActions::queueMissingChapters (Core& core, CatalogTreeHost& host, int course, int lesson)
{
    if (! host.isOnline() || ! groupHasVideo (core, course, lesson, false))
        return;

    const auto question = lesson < 0 ? TRANS ("Do you want to download all the available missing chapters for this tutorial?\n")
                                     : TRANS ("Do you want to download all the available missing chapters for this lesson?\n");

    if (! Prompts::get().askOkCancel (Prompts::Icon::question, {}, question, TRANS ("Yes"), TRANS ("No")))
        return;

    for (const auto& chapter : getChapters (core, course, lesson))
        if (! core.isVideoPresent (chapter.id) && ! queueChapter (core, host, chapter))
            return;
}

void CatalogTreeActions::removeChapter (Core& core, CatalogTreeHost& host, const ChapterRef& chapter)
{
    if (! Prompts::get().askOkCancel (Prompts::Icon::question, {}, TRANS ("Do you want to remove this chapter from this computer?"), TRANS ("Yes"), TRANS ("No")))
        return;

    core.removeChapter (chapter.id);

    if (host.getCurrentChapterId() == chapter.id)
        host.openChapter (chapter.course, chapter.lesson, chapter.chapter, false);
}

void CatalogTreeActions::removeDownloadedChapters (Core& core, CatalogTreeHost& host, int course, int lesson)
{
    const auto wholeCourse = lesson < 0;
    const auto question = wholeCourse ? TRANS ("Do you want to remove all the downloaded chapters for this course from this computer?")
                                      : TRANS ("Do you want to remove all the downloaded chapters for this lesson from this computer?");

    if (! Prompts::get().askOkCancel (Prompts::Icon::question, {}, question, TRANS ("Yes"), TRANS ("No")))
        return;

    const auto chapters = getChapters (core, course, lesson);

    Prompts::get().runWithProgress (wholeCourse ? TRANS ("Removing whole course") : TRANS ("Removing whole lesson"), [&] (Prompts::Progress& progress) {
        for (size_t done = 0; done < chapters.size(); ++done)
        {
            progress.setProgress ((double) done / (double) chapters.size());

            if (progress.isCancelled())
                return;

            const auto& chapter = chapters[done];

            if (core.isVideoPresent (chapter.id))
                core.removeChapter (chapter.id);

            // The movie panel belongs to the message thread: the worker hands the reopen over.
            onMessageThread ([&] {
                if (host.getCurrentChapterId() == chapter.id)
                    host.openChapter (chapter.course, chapter.lesson, chapter.chapter, false);
            });
        }
    });
}

void CatalogTreeActions::showChapterMenu (Core& core, CatalogTreeHost& host, const ChapterRef& chapter)
{
    const auto state = ChapterStatus::read (core, chapter.id);

    switch (showMenu (ChapterStatus::getChapterMenu (state, core.hasUser(), host.isOnline())))
    {
        case ChapterStatus::downloadEntry:
            queueChapter (core, host, chapter);
            break;
        case ChapterStatus::seenEntry:
            core.setYetToBeSeen (chapter.id, ! state.unseen, juce::sendNotification);
            break;
        case ChapterStatus::favoriteEntry:
            core.setFavorite (chapter.id, ! state.favorite);
            break;
        case ChapterStatus::removeEntry:
            removeChapter (core, host, chapter);
            break;
        default:
            break;
    }
}

void CatalogTreeActions::showGroupMenu (Core& core, CatalogTreeHost& host, int course, int lesson)
{
    const auto entries = ChapterStatus::getGroupMenu (groupHasVideo (core, course, lesson, false), groupHasVideo (core, course, lesson, true), host.isOnline());

    switch (showMenu (entries))
    {
        case ChapterStatus::downloadAllEntry:
            queueMissingChapters (core, host, course, lesson);
            break;
        case ChapterStatus::removeAllEntry:
            removeDownloadedChapters (core, host, course, lesson);
            break;
        default:
            break;
    }
}
