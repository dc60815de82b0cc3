#pragma once

#include "model/Core.h"
#include "playback/CatalogTreeHost.h"

class RootItem;

/**
    The catalog tree in the main window's left panel: builds its rows from Core (the fixed
    navigation rows, the tab strip, then one row per course, lesson and chapter), rebuilds them
    whenever the catalog or the users' folder changes while keeping what was open, scrolled and
    selected, repaints its rows when a chapter's state, the downloads or the search's hits change,
    and selects rows for the main window. The tree view belongs to the window's component tree.

    Message thread only.
*/
class CatalogTree final : private Core::Listener
{
public:
    CatalogTree (juce::TreeView& view, Core& core, CatalogTreeHost& host);

    /** Takes the rows out of the view and deletes them. */
    ~CatalogTree() override;

    /** Builds the rows anew from the current catalog, keeping openness, scroll position and
        selection by the rows' unique names.
    */
    void rebuild();

    /** The rows of the fixed entries and of the first course, as recorded by the last build;
        course c is the row first course row + c.
    */
    int getHomeRow() const noexcept { return homeRow; }
    int getDownloadsRow() const noexcept { return downloadsRow; }
    int getPreferencesRow() const noexcept { return preferencesRow; }
    int getFirstCourseRow() const noexcept { return firstCourseRow; }

    /** The number of rows under the (hidden) root. */
    int getNumRows() const;

    /** The row at an index under the root, or nullptr. */
    juce::TreeViewItem* getRow (int row) const;

    /** The row a TreeViewItem identifier string names, making the rows on its way; or nullptr. */
    juce::TreeViewItem* findRow (const juce::String& identifier) const;

    /** Selects a row under the root (deselecting the others), which lets it react. */
    void selectRow (int row);

    /** Opens a chapter's course and lesson rows and selects the chapter's row without letting
        it react, deselecting every other row.
    */
    void selectChapter (int course, int lesson, int chapter);

    /** Closes every row under the root. */
    void collapse();

    /** Has the tree lay its rows out again: the tab filter or the favourites changed. */
    void filterChanged();

    /** Repaints every row: some chapter's state changed. */
    void repaint();

private:
    void catalogChanged() override { rebuild(); }
    void usersDirectoryChanged() override { rebuild(); }
    void chapterStateChanged (const juce::String& chapterId, ChapterChange change) override;
    void downloadListChanged() override { repaint(); }
    void downloadFinished (const juce::String&) override { repaint(); }
    void searchResultsChanged() override { repaint(); }

    juce::TreeView& view;
    Core& core;
    CatalogTreeHost& host;
    std::unique_ptr<RootItem> root;
    int homeRow = -1, downloadsRow = -1, preferencesRow = -1, firstCourseRow = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CatalogTree)
};
