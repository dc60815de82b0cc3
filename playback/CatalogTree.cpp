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
    core.addListener (this);
}

CatalogTree::~CatalogTree()
{
    core.removeListener (this);
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
        newRoot->addSubItem (new CourseItem (core, host, c));

    view.setRootItem (newRoot.get());
    root = std::move (newRoot);

    if (openness == nullptr)
        return;

    // The selection comes back without telling the rows: a selected chapter row would open its
    // chapter again, rewinding what the user is watching, or leave the panel of one that is gone.
    view.restoreOpennessState (*openness, false);
    view.clearSelectedItems();

    for (auto* selected : openness->getChildWithTagNameIterator ("SELECTED"))
        if (auto* item = findRow (selected->getStringAttribute ("id")))
            item->setSelected (true, false, juce::dontSendNotification);
}

juce::TreeViewItem* CatalogTree::findRow (const juce::String& identifier) const
{
    // The rows on the way are made if need be: a selected chapter of a closed lesson has none yet.
    juce::TreeViewItem* item = root.get();
    auto names = juce::StringArray::fromTokens (identifier, "/", {});
    names.removeEmptyStrings();

    for (int i = 1; i < names.size() && item != nullptr; ++i)
    {
        if (auto* parent = dynamic_cast<BaseItem*> (item))
            parent->ensureSubItems();

        juce::TreeViewItem* next = nullptr;

        for (int k = 0; k < item->getNumSubItems() && next == nullptr; ++k)
            if (item->getSubItem (k)->getUniqueName().replaceCharacter ('/', '\\') == names[i])
                next = item->getSubItem (k);

        item = next;
    }

    return item;
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

void CatalogTree::chapterStateChanged (const juce::String&, ChapterChange change)
{
    // A favourite more or less changes which rows the favourites tab shows.
    if (change == ChapterChange::favourite)
        filterChanged();
    else
        repaint();
}
