#include "playback/ChapterItem.h"

#include "model/Core.h"
#include "playback/ChapterStatus.h"
#include "playback/PlaybackRules.h"

ChapterItem::ChapterItem (Core& c, CatalogTreeHost& h, int course, int lesson, int chapter, const juce::String& chapterId)
    : BaseItem (c, h), reference { course, lesson, chapter, chapterId }
{
}

juce::String ChapterItem::createLabel() const
{
    return makeLabel (core, reference.course, reference.lesson, reference.id);
}

juce::String ChapterItem::makeLabel (const Core& core, int course, int lesson, const juce::String& chapterId)
{
    return juce::String (core.getLessonOrder (course, lesson)) + "." + juce::String (core.getChapterOrder (chapterId)) + " - "
         + core.getChapterTitle (chapterId);
}

void ChapterItem::itemClicked (const juce::MouseEvent& e)
{
    BaseItem::itemClicked (e);

    if (e.mods.isPopupMenu())
        CatalogTreeActions::showChapterMenu (core, host, reference);
}

void ChapterItem::itemDoubleClicked (const juce::MouseEvent&)
{
    if (core.isVideoPresent (reference.id))
        host.openChapter (reference.course, reference.lesson, reference.chapter, true);
}

void ChapterItem::itemSelectionChanged (bool isNowSelected)
{
    if (isNowSelected)
        host.openChapter (reference.course, reference.lesson, reference.chapter, false);
}

juce::String ChapterItem::getTooltip()
{
    return ChapterStatus::getTooltip (ChapterStatus::read (core, reference.id), host.isOnline());
}

void ChapterItem::iconClicked()
{
    switch (ChapterStatus::getIconAction (ChapterStatus::read (core, reference.id), host.isOnline()))
    {
        case ChapterStatus::IconAction::queue:
            CatalogTreeActions::queueChapter (core, host, reference);
            break;
        case ChapterStatus::IconAction::play:
            host.openChapter (reference.course, reference.lesson, reference.chapter, true);
            break;
        case ChapterStatus::IconAction::nothing:
            break;
    }
}

bool ChapterItem::isSearchHit() const
{
    return core.hasSearchHits (reference.id);
}

bool ChapterItem::isUnseen() const
{
    return core.isYetToBeSeen (reference.id);
}

bool ChapterItem::isFavorite() const
{
    return core.isFavorite (reference.id);
}

int ChapterItem::getStatusIcon() const
{
    return ChapterStatus::getChapterIcon (ChapterStatus::read (core, reference.id), host.isOnline(), host.getBrowserTab());
}

juce::Colour ChapterItem::getTextColour() const
{
    return core.isVideoPresent (reference.id) ? juce::Colour (0xff000000) : juce::Colour (0xff4c4c4c);
}

double ChapterItem::getWatchedFraction() const
{
    return PlaybackRules::getWatchedFraction (core.getWatchedPosition (reference.id), core.getChapterDuration (reference.id));
}

bool ChapterItem::passesFilter() const
{
    const auto tab = host.getBrowserTab();
    return ChapterStatus::passesFilter (tab, tab == favoritesTab && core.isFavorite (reference.id), core.hasUser());
}
