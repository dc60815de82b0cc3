#include "maintenance/BackupTask.h"

#include "maintenance/VerifiedCopy.h"
#include "model/Core.h"

BackupTask::BackupTask (const juce::File& f, const juce::StringArray& ids, Core& c, bool remove)
    : folder (f), chapterIds (ids), core (c), removeAfterCopy (remove)
{
}

bool BackupTask::runModally()
{
    return Prompts::get().runWithProgress ("Backup", [this] (Prompts::Progress& progress) { run (progress); });
}

int BackupTask::run (Prompts::Progress& progress)
{
    return core.withReadLock ([&] {
        const auto n = chapterIds.size();
        auto copied = 0;

        for (int i = 0; i < n; ++i)
        {
            progress.setProgress ((double) i / (double) n);

            if (progress.isCancelled())
                break;

            juce::Thread::sleep (pauseMs);
            const auto& chapterId = chapterIds[i];

            // The framework's copy can report success for a short file, so the result is
            // checked on disk before anything is removed.
            core.copyChapterFilesTo (chapterId, folder);

            if (! isBackedUp (core, chapterId, folder))
            {
                discardShortCopies (chapterId);
                continue;
            }

            ++copied;

            if (removeAfterCopy && core.hasUser() && mayRemove (chapterId))
                core.removeChapter (chapterId);
        }

        return copied;
    });
}

bool BackupTask::isBackedUp (const Core& core, const juce::String& chapterId, const juce::File& folder)
{
    const auto video = core.getVideoFile (chapterId);
    const auto state = core.getStateFile (chapterId);

    return video != juce::File()
           && VerifiedCopy::isWholeCopy (video, folder.getChildFile (video.getFileName()))
           && (! state.existsAsFile() || VerifiedCopy::isWholeCopy (state, folder.getChildFile (state.getFileName())));
}

void BackupTask::discardShortCopies (const juce::String& chapterId) const
{
    // A short video in a backup would later be restored as if it were the chapter.
    for (const auto& original : { core.getVideoFile (chapterId), core.getStateFile (chapterId) })
    {
        const auto copy = folder.getChildFile (original.getFileName());

        if (original != juce::File() && copy.existsAsFile() && ! VerifiedCopy::isWholeCopy (original, copy))
            copy.deleteFile();
    }
}

bool BackupTask::mayRemove (const juce::String& chapterId) const
{
    // A backup folder inside the chapter's own folder would go with it.
    const auto chapterFolder = core.getChapterDirectory (chapterId);
    return folder != chapterFolder && ! folder.isAChildOf (chapterFolder);
}
