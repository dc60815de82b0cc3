#include "playback/CourseItem.h"

#include "model/Core.h"
#include "playback/CatalogTreeActions.h"
#include "playback/ChapterStatus.h"
#include "playback/LessonItem.h"

CourseItem::CourseItem (Core& c, CatalogTreeHost& h, int courseIndex)
    : BaseItem (c, h, c.getCourseTitle (courseIndex)), course (courseIndex)
{
}

void CourseItem::itemClicked (const juce::MouseEvent& e)
{
    BaseItem::itemClicked (e);

    if (e.mods.isPopupMenu())
        CatalogTreeActions::showGroupMenu (core, host, course, -1);
}

void CourseItem::itemSelectionChanged (bool isNowSelected)
{
    if (isNowSelected)
        host.showCoursePage (course, -1);
}

void CourseItem::iconClicked()
{
    CatalogTreeActions::queueMissingChapters (core, host, course, -1);
}

bool CourseItem::isSearchHit() const
{
    return core.courseHasSearchHits (course);
}

bool CourseItem::isUnseen() const
{
    return core.courseHasUnseen (course);
}

int CourseItem::getStatusIcon() const
{
    return ChapterStatus::getGroupIcon (core.courseHasVideo (course, false), host.isOnline(), host.getBrowserTab());
}

juce::Colour CourseItem::getTextColour() const
{
    return core.courseHasVideo (course, true) ? juce::Colour (0xff000000) : juce::Colour (0xff4c4c4c);
}

bool CourseItem::passesFilter() const
{
    const auto tab = host.getBrowserTab();
    return ChapterStatus::passesFilter (tab, tab == favoritesTab && core.courseHasFavorite (course), core.hasUser());
}

void CourseItem::createSubItems()
{
    for (int l = 0; l < core.getNumLessons (course); ++l)
        addSubItem (new LessonItem (core, host, course, l));
}
