#pragma once

#include "app/Prompts.h"

class Core;

/**
    Copies chosen chapters, one by one, into a flat backup folder (each chapter's video file and
    state file under their own names), optionally removing each from this computer afterwards.
    A chapter is removed only when both its files are in the folder whole; a chapter whose copy
    failed, or whose own folder holds the backup folder, stays, and a copy cut short is deleted
    from the folder rather than left to be restored later.

    Made on the message thread; run on the progress window's worker thread, under Core's read
    lock, pausing 50 ms before each chapter so that the window stays responsive.
*/
class BackupTask final
{
public:
    BackupTask (const juce::File& folder, const juce::StringArray& chapterIds, Core& core, bool removeAfterCopy);

    /** Runs the task behind the modal "Backup" window and waits for it; false when cancelled.
        Message thread.
    */
    bool runModally();

    /** The copying: progress i / n before chapter i, stopping before the next chapter once
        cancelled. Returns how many chapters were copied whole. Worker thread.
    */
    int run (Prompts::Progress& progress);

    /** Whether both of a chapter's files are in the backup folder whole. Any thread. */
    static bool isBackedUp (const Core& core, const juce::String& chapterId, const juce::File& folder);

    const juce::File folder;
    const juce::StringArray chapterIds;
    Core& core;
    const bool removeAfterCopy;

    /** The pause before each chapter. */
    static constexpr int pauseMs = 50;

private:
    void discardShortCopies (const juce::String& chapterId) const;
    bool mayRemove (const juce::String& chapterId) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BackupTask)
};
