#pragma once

#include "app/Prompts.h"

class Core;

/**
    The backup and restore of downloaded tutorials as the user goes through them: the dialog
    that chooses the courses and the folder, the checks of the folder, the questions, and then
    the modal task that does the copying.

    Message thread only.
*/
class BackupDialogs final
{
public:
    /** Offers every course with a downloaded chapter and backs the chosen ones up into a folder,
        removing them from this computer afterwards if the user wants it.
    */
    static void backupTutorials (Core& core);

    /** Restores the chapters missing here from a backup folder the user chooses. */
    static void restoreTutorials (Core& core);

private:
    /** The backup dialog: one toggle per course that has a downloaded chapter, off, whose
        index is the course's.
    */
    static Prompts::FolderDialog makeBackupDialog (const Core& core);

    /** The downloaded chapters of the courses whose toggles are on, course by course, in the
        catalog's order.
    */
    static juce::StringArray collectChapters (const Core& core, const Prompts::FolderDialog& dialog);

    BackupDialogs() = delete;
};
