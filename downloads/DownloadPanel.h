#pragma once

#include "downloads/DownloadRow.h"
#include "kit/BackgroundPanel.h"
#include "model/Core.h"

#include <array>

/**
    The download panel ("downloadPanel"): the list of the queue's entries ("downloadViewport"),
    each with its title, a progress bar and a remove button, and the "Clear completed" button
    ("clearCompletedDownloadsButton") under it. The list makes rows only for the entries in
    view and recycles them as it scrolls; it follows Core's queue on its own, and the progress
    bars read values that the panel keeps.

    Message thread only.
*/
class DownloadPanel final : public BackgroundPanel,
                            private juce::ListBoxModel,
                            private Core::Listener
{
public:
    /** Builds the list and the button, showing Core's queue. */
    explicit DownloadPanel (Core& core);
    ~DownloadPanel() override;

    /** The most entries the list shows: as many as the queue holds. */
    static constexpr int numRows = DownloadQueue::capacity;

    /** The height of one row. */
    static constexpr int rowHeight = 60;

    /** Called after a remove or "Clear completed" click, so that the window can put the
        keyboard focus back where it keeps it.
    */
    std::function<void()> onControlUsed;

    /** Reads every entry's state and title again and refreshes the rows in view. */
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

    /** The list of entries. */
    juce::ListBox& getList() noexcept { return list; }

    /** The row showing an entry, while it is in view; nullptr otherwise. */
    DownloadRow* getRow (int entry) const;

    void resized() override;

private:
    int getNumRows() override;
    void paintListBoxItem (int, juce::Graphics&, int, int, bool) override {}
    juce::Component* refreshComponentForRow (int row, bool isRowSelected, juce::Component* existing) override;

    void downloadListChanged() override { update(); }
    void downloadFinished (const juce::String&) override { update(); }
    void downloadProgress (const juce::String& chapterId) override { progressChanged (chapterId); }

    void controlUsed();

    Core& core;
    std::array<double, numRows> progressValues {};
    juce::StringArray barTexts;
    juce::ListBox list { "downloadViewport", this };
    juce::TextButton clearButton { "clearCompletedDownloadsButton" };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DownloadPanel)
};
