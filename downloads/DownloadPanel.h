#pragma once

#include "ui/ComponentContainer.h"

class Core;

/**
    The download list of the main window: one row per queue entry with its title, a progress bar
    and a remove button, built once for the whole queue capacity and shown or hidden as the queue
    changes. It owns no data: it shows what Core's queue holds and turns clicks into queue
    operations.

    Message thread only.
*/
class DownloadPanel final
{
public:
    /** The rows live in a container of the main window; the progress bars read the values. */
    DownloadPanel (Core& core, qo::ComponentContainer& rows, double* progressValues);

    /** The number of rows, which is also the capacity of the queue. */
    static constexpr int numRows = 1024;

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

    /** Places the visible rows for a list area of the given width and sizes the container. */
    void layoutRows (int areaWidth, int scrollBarThickness);

private:
    juce::Component& rowComponent (const char* baseName, int row) const;
    int getVisibleRows() const;
    void setBarText (juce::ProgressBar& bar, int row, const juce::String& text);

    Core& core;
    qo::ComponentContainer& rows;
    double* progressValues;
    juce::StringArray barTexts;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadPanel)
};
