#include "playback/LessonItem.h"

#include "model/Core.h"
#include "playback/CatalogTreeActions.h"
#include "playback/ChapterItem.h"
#include "playback/ChapterStatus.h"

LessonItem::LessonItem (Core& c, CatalogTreeHost& h, int courseIndex, int lessonIndex)
    : BaseItem (c, h, c.getLessonTitle (courseIndex, lessonIndex)), course (courseIndex), lesson (lessonIndex)
{
}

void LessonItem::itemClicked (const juce::MouseEvent& e)
{
    BaseItem::itemClicked (e);

    if (e.mods.isPopupMenu())
        CatalogTreeActions::showGroupMenu (core, host, course, lesson);
}

void LessonItem::itemSelectionChanged (bool isNowSelected)
{
    if (isNowSelected)
        host.showCoursePage (course, lesson);
}

void LessonItem::iconClicked()
{
    CatalogTreeActions::queueMissingChapters (core, host, course, lesson);
}

bool LessonItem::isSearchHit() const
{
    return core.lessonHasSearchHits (course, lesson);
}

bool LessonItem::isUnseen() const
{
    return core.lessonHasUnseen (course, lesson);
}

int LessonItem::getStatusIcon() const
{
    return ChapterStatus::getGroupIcon (core.lessonHasVideo (course, lesson, false), host.isOnline(), host.getBrowserTab());
}

juce::Colour LessonItem::getTextColour() const
{
    return core.lessonHasVideo (course, lesson, true) ? juce::Colour (0xff000000) : juce::Colour (0xff4c4c4c);
}

bool LessonItem::passesFilter() const
{
    const auto tab = host.getBrowserTab();
    return ChapterStatus::passesFilter (tab, tab == favoritesTab && core.lessonHasFavorite (course, lesson), core.hasUser());
}

void LessonItem::createSubItems()
{
    for (int k = 0; k < core.getNumChapters (course, lesson); ++k)
        addSubItem (new ChapterItem (core, host, course, lesson, k, core.getChapterId (course, lesson, k)));
}
