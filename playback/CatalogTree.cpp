#include "playback/CatalogTree.h"

#include "model/Core.h"
#include "playback/ChapterItem.h"
#include "playback/CourseItem.h"
#include "playback/LessonItem.h"
#include "playback/RootItem.h"
#include "playback/SpecialItem.h"
#include "playback/TabbedTitleItem.h"

CatalogTree::CatalogTree (juce::TreeView& treeView, Core& c, CatalogTreeHost& h) : view (treeView), core (c), host (h)
{
    view.setRootItemVisible (false);
    view.setDefaultOpenness (false);
}

CatalogTree::~CatalogTree()
{
    view.setRootItem (nullptr);
}

void CatalogTree::rebuild()
{
    const auto openness = view.getOpennessState (true);
    auto newRoot = std::make_unique<RootItem>();

    const auto addSpecial = [&] (const juce::String& label, SpecialItemType type) {
        newRoot->addSubItem (new SpecialItem (host, label, type));
        return newRoot->getNumSubItems() - 1;
    };

    addSpecial (TRANS ("BROWSER"), headerItem);
    homeRow = addSpecial (TRANS ("Home"), homeItem);
    downloadsRow = addSpecial (TRANS ("Downloads"), downloadsItem);
    preferencesRow = addSpecial (TRANS ("Preferences"), preferencesItem);
    addSpecial (TRANS ("Manual"), manualItem);
    addSpecial ({}, spacerItem);
    newRoot->addSubItem (new TabbedTitleItem (host));
    addSpecial (TRANS ("Collapse"), collapseItem);
    firstCourseRow = newRoot->getNumSubItems();

    for (int c = 0; c < core.getNumCourses(); ++c)
    {
        auto* course = new CourseItem (core, host, c);

        for (int l = 0; l < core.getNumLessons (c); ++l)
        {
            auto* lesson = new LessonItem (core, host, c, l);

            for (int k = 0; k < core.getNumChapters (c, l); ++k)
                lesson->addSubItem (new ChapterItem (core, host, c, l, k, core.getChapterId (c, l, k)));

            course->addSubItem (lesson);
        }

        newRoot->addSubItem (course);
    }

    view.setRootItem (newRoot.get());
    root = std::move (newRoot);

    if (openness == nullptr)
        return;

    // The selection comes back without telling the rows: a selected chapter row would open its
    // chapter again, rewinding what the user is watching, or leave the panel of one that is gone.
    view.restoreOpennessState (*openness, false);
    view.clearSelectedItems();

    for (auto* selected : openness->getChildWithTagNameIterator ("SELECTED"))
        if (auto* item = view.findItemFromIdentifierString (selected->getStringAttribute ("id")))
            item->setSelected (true, false, juce::dontSendNotification);
}

int CatalogTree::getNumRows() const
{
    return root != nullptr ? root->getNumSubItems() : 0;
}

juce::TreeViewItem* CatalogTree::getRow (int row) const
{
    return root != nullptr ? root->getSubItem (row) : nullptr;
}

void CatalogTree::selectRow (int row)
{
    if (auto* item = getRow (row))
        item->setSelected (true, true);
}

void CatalogTree::selectChapter (int course, int lesson, int chapter)
{
    auto* courseItem = getRow (firstCourseRow + course);

    if (courseItem == nullptr || course < 0)
        return;

    courseItem->setOpen (true);

    if (auto* lessonItem = courseItem->getSubItem (lesson))
    {
        lessonItem->setOpen (true);

        if (auto* chapterItem = lessonItem->getSubItem (chapter))
        {
            view.clearSelectedItems();
            chapterItem->setSelected (true, true, juce::dontSendNotification);
        }
    }
}

void CatalogTree::collapse()
{
    for (int i = 0; i < getNumRows(); ++i)
        getRow (i)->setOpen (false);
}

void CatalogTree::filterChanged()
{
    if (root != nullptr)
        root->treeHasChanged();
}

void CatalogTree::repaint()
{
    view.repaint();
}
