#pragma once

#include "model/DownloadQueue.h"
#include "ui/kit/ComponentContainer.h"

#include <array>

class Core;

/**
    The download list of the main window: one row per queue entry with its title, a progress bar
    and a remove button, built once for the whole queue capacity and shown or hidden as the queue
    changes. It shows what Core's queue holds and turns clicks into queue operations; the
    progress bars read values that the panel keeps.

    Message thread only.
*/
class DownloadPanel final
{
public:
    /** Builds the rows into the list container (owned by the main window); clicks on the remove
        buttons go to the listener, which hands them back through removeRow.
    */
    DownloadPanel (Core& core, qo::ComponentContainer& rows, juce::Button::Listener& clicks);

    /** The number of rows: one per entry the queue can hold. */
    static constexpr int numRows = DownloadQueue::capacity;

    /** The names of a row's components, each followed by ";" and the row's index. */
    static constexpr const char* labelName = "downloadLabel";
    static constexpr const char* progressName = "downloadProgress";
    static constexpr const char* removeName = "downloadRemove";

    /** The height of one row. */
    static constexpr int rowHeight = 60;

    /** One row's places: label, progress bar and remove button. */
    struct RowBounds
    {
        juce::Rectangle<int> label, progress, remove;
    };

    /** The places of row i for a list area of the given width and scroll bar. */
    static RowBounds getRowBounds (int row, int areaWidth, int scrollBarThickness);

    /** The size of the list holding n rows. */
    static juce::Rectangle<int> getListBounds (int rows, int areaWidth, int scrollBarThickness);

    /** Shows one row per queue entry with its state and title and hides the others. */
    void update();

    /** Copies a running download's progress into its row ("dp"). */
    void progressChanged (const juce::String& chapterId);

    /** Removes the entry of a row, asking first when it has not finished. */
    void removeRow (int row);

    /** Removes every completed or failed entry. */
    void clearCompleted();

    /** Queues a chapter unless the list is full, which it explains; false when not queued. */
    bool startDownload (int course, const juce::String& chapterId, const juce::String& title);

    /** The fixed text a row's bar shows ("Queued", "Completed", "Error"), empty while it shows
        its percentage.
    */
    juce::String getBarText (int row) const { return barTexts[row]; }

    /** The value a row's progress bar shows. */
    double getProgressValue (int row) const { return progressValues[(size_t) row]; }

    /** Places the visible rows for a list area of the given width and sizes the container. */
    void layoutRows (int areaWidth, int scrollBarThickness);

private:
    juce::Component& rowComponent (const char* baseName, int row) const;
    int getVisibleRows() const;
    void setBarText (juce::ProgressBar& bar, int row, const juce::String& text);

    Core& core;
    qo::ComponentContainer& rows;
    std::array<double, numRows> progressValues {};
    juce::StringArray barTexts;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadPanel)
};
