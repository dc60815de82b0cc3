#include "maintenance/RestoreTask.h"

#include "maintenance/VerifiedCopy.h"
#include "model/Core.h"

RestoreTask::RestoreTask (const juce::File& f, Core& c) : folder (f), core (c)
{
}

bool RestoreTask::runModally()
{
    return Prompts::get().runWithProgress ("Restore from backup", [this] (Prompts::Progress& progress) { run (progress); });
}

int RestoreTask::run (Prompts::Progress& progress)
{
    const auto videos = folder.findChildFiles (juce::File::findFiles | juce::File::ignoreHiddenFiles, false, "*.bin");

    return core.withReadLock ([&] {
        const auto n = videos.size();
        auto restored = 0;

        for (int i = 0; i < n; ++i)
        {
            progress.setProgress ((double) i / (double) n);

            if (progress.isCancelled())
                break;

            juce::Thread::sleep (pauseMs);
            const auto& backup = videos.getReference (i);
            const auto chapterId = backup.getFileNameWithoutExtension();

            if (core.hasChapter (chapterId) && ! core.isVideoPresent (chapterId) && restore (chapterId, backup))
                ++restored;
        }

        return restored;
    });
}

bool RestoreTask::restore (const juce::String& chapterId, const juce::File& backup)
{
    if (! core.restoreChapterFiles (chapterId, folder))
        return false;

    if (VerifiedCopy::isWholeCopy (backup, core.getVideoFile (chapterId)))
        return true;

    // The framework's copy can report success for a file cut short by a full disk; a short
    // video would pass for the chapter, so the chapter goes back to not downloaded. The backup
    // still holds it whole.
    core.removeChapter (chapterId);
    return false;
}
