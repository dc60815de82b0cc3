#include "maintenance/BackupDialogs.h"

#include "maintenance/BackupTask.h"
#include "maintenance/RestoreTask.h"
#include "model/Core.h"

namespace
{
Prompts::FolderDialog makeDialog (const juce::String& title, const juce::String& message)
{
    Prompts::FolderDialog dialog;
    dialog.title = title;
    dialog.message = message;
    dialog.chooserPrompt = TRANS ("Choose backup directory");
    return dialog;
}

/** Anything in the folder, hidden entries aside. */
bool hasVisibleContent (const juce::File& folder)
{
    return folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles) > 0;
}
} // namespace

Prompts::FolderDialog BackupDialogs::makeBackupDialog (const Core& core)
{
    auto dialog = makeDialog (TRANS ("Backup"), TRANS ("Choose the tutorials to backup"));
    dialog.chooserName = "Backup directory";

    for (int course = 0; course < core.getNumCourses(); ++course)
        if (core.courseHasVideo (course, true))
            dialog.toggles.push_back ({ core.getCourseTitle (course), course, false });

    return dialog;
}

juce::StringArray BackupDialogs::collectChapters (const Core& core, const Prompts::FolderDialog& dialog)
{
    juce::StringArray chapterIds;

    for (const auto& toggle : dialog.toggles)
    {
        if (! toggle.on)
            continue;

        for (int lesson = 0; lesson < core.getNumLessons (toggle.index); ++lesson)
        {
            for (int position = 0; position < core.getNumChapters (toggle.index, lesson); ++position)
            {
                const auto chapterId = core.getChapterId (toggle.index, lesson, position);

                if (core.isVideoPresent (chapterId))
                    chapterIds.add (chapterId);
            }
        }
    }

    return chapterIds;
}

void BackupDialogs::backupTutorials (Core& core)
{
    auto& prompts = Prompts::get();
    auto dialog = makeBackupDialog (core);

    if (dialog.toggles.empty())
    {
        prompts.showMessage (Prompts::Icon::info, TRANS ("Backup"), TRANS ("You don't have tutorials to backup"), TRANS ("OK"));
        return;
    }

    for (;;)
    {
        if (! prompts.askFolder (dialog))
            return;

        if (! dialog.folder.isDirectory())
        {
            prompts.showMessage (Prompts::Icon::info, TRANS ("Backup"), TRANS ("You must choose an existing directory as backup destination"), TRANS ("OK"));
            continue;
        }

        const auto removeAfterCopy = prompts.askOkCancel (Prompts::Icon::none, {}, TRANS ("Do you want to remove these tutorials from this computer?"), TRANS ("Yes"), TRANS ("No"));

        if (hasVisibleContent (dialog.folder)
            && ! prompts.askOkCancel (Prompts::Icon::info, TRANS ("Backup"), TRANS ("The backup directory is not empty. Proceed anyway?"), TRANS ("Yes"), TRANS ("No")))
            continue;

        if (const auto chapterIds = collectChapters (core, dialog); ! chapterIds.isEmpty())
        {
            BackupTask task (dialog.folder, chapterIds, core, removeAfterCopy);
            task.runModally();
        }

        return;
    }
}

void BackupDialogs::restoreTutorials (Core& core)
{
    auto& prompts = Prompts::get();
    auto dialog = makeDialog (TRANS ("Restore from backup"), TRANS ("Choose the backup directory"));

    for (;;)
    {
        if (! prompts.askFolder (dialog))
            return;

        if (dialog.folder.isDirectory())
            break;

        prompts.showMessage (Prompts::Icon::info, TRANS ("Restore from backup"), TRANS ("You must choose an existing directory as backup source"), TRANS ("OK"));
    }

    RestoreTask task (dialog.folder, core);
    task.runModally();
}
