#pragma once

#include "playback/CatalogTreeHost.h"

class Core;
class RootItem;

/**
    The catalog tree in the main window's left panel: builds its rows from Core (the fixed
    navigation rows, the tab strip, then one row per course, lesson and chapter), rebuilds them
    whenever the catalog changes while keeping what was open, scrolled and selected, and selects
    rows for the main window. The tree view belongs to the window's component tree.

    Message thread only.
*/
class CatalogTree final
{
public:
    CatalogTree (juce::TreeView& view, Core& core, CatalogTreeHost& host);

    /** Takes the rows out of the view and deletes them. */
    ~CatalogTree();

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
    juce::TreeView& view;
    Core& core;
    CatalogTreeHost& host;
    std::unique_ptr<RootItem> root;
    int homeRow = -1, downloadsRow = -1, preferencesRow = -1, firstCourseRow = -1;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CatalogTree)
};
