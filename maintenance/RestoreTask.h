#pragma once

#include "app/Prompts.h"

class Core;

/**
    Copies chapters back from a backup folder: every "*.bin" file directly in the folder names a
    chapter by its file name without the extension; a chapter of the current catalog whose video
    is missing gets its video and, when the folder has it, its state file back. Other files,
    chapters the catalog does not list and chapters already present are left alone. A video that
    arrives short is taken away again, so the chapter stays not downloaded.

    Made on the message thread; run on the progress window's worker thread, under Core's read
    lock, pausing 50 ms before each file so that the window stays responsive.
*/
class RestoreTask final
{
public:
    RestoreTask (const juce::File& folder, Core& core);

    /** Runs the task behind the modal "Restore from backup" window and waits for it; false when
        cancelled. Message thread.
    */
    bool runModally();

    /** The copying: progress i / n before file i, stopping before the next file once
        cancelled. Returns how many chapters were restored. Worker thread.
    */
    int run (Prompts::Progress& progress);

    const juce::File folder;
    Core& core;

    /** The pause before each file. */
    static constexpr int pauseMs = 50;

private:
    bool restore (const juce::String& chapterId, const juce::File& backup);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RestoreTask)
};
