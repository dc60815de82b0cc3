#include "maintenance/BackupDialogs.h"
#include "maintenance/BackupTask.h"
#include "maintenance/RestoreTask.h"
#include "model/Notifications.h"
#include "tests/maintenance/MaintenanceTestSupport.h"

namespace
{
class RestoreTest : public MaintenanceTest
{
protected:
    RestoreTest()
    {
        install ({ { "Modelling", { { "m1", "m2", "m3" } } } }, { "m1", "m2" });
        core->addMarker ("m1", "pose", 3.0);
        core->setFavorite ("m1", true);

        // A backup of both downloaded chapters, made the program's way.
        folder.createDirectory();
        BackupTask backup (folder, { "m1", "m2" }, *core, false);
        EXPECT_TRUE (backup.runModally());
        prompts.progressTitles.clear();
    }

    /** The user picks a folder and presses OK. */
    static ScriptedPrompts::FolderDialogAction choose (const juce::File& chosen)
    {
        return [chosen] (Prompts::FolderDialog& dialog) {
            dialog.folder = chosen;
            return true;
        };
    }

    const juce::File folder = home.getFolder().getChildFile ("backup");
};
} // namespace

TEST_F (RestoreTest, AfterRemovalTheVideoAndTheMarkersComeBack)
{
    core->removeChapter ("m1");
    core->removeChapter ("m2");
    ASSERT_EQ (core->getNumMarkers ("m1"), 0);
    Broadcasts broadcasts (*core);

    prompts.answerNextFolderDialog (choose (folder));
    BackupDialogs::restoreTutorials (*core);

    EXPECT_EQ (prompts.progressTitles, juce::StringArray ("Restore from backup"));
    EXPECT_TRUE (core->isVideoPresent ("m1"));
    EXPECT_TRUE (core->isVideoPresent ("m2"));
    EXPECT_EQ (core->getNumMarkers ("m1"), 1);
    EXPECT_EQ (core->getMarkerText ("m1", 0), "pose");
    EXPECT_TRUE (core->isFavorite ("m1"));
    EXPECT_EQ (chapterFolder ("m1").getChildFile ("m1.bin").getSize(), 2000);

    auto received = broadcasts.drain();
    received.sort (false);
    EXPECT_EQ (received, juce::StringArray ({ "fr;m1", "fr;m2" }));
}

TEST_F (RestoreTest, OnlyMissingChaptersOfTheCatalogAreRestored)
{
    writeBytes (folder.getChildFile ("stranger.bin"), 10);
    writeBytes (folder.getChildFile ("notes.txt"), 10);
    const auto before = listTree (folder);
    core->removeChapter ("m2");
    core->removeMarker ("m1", 0);

    RestoreTask task (folder, *core);
    task.runModally();

    EXPECT_EQ (listTree (folder), before) << "a restore only reads";
    EXPECT_TRUE (core->isVideoPresent ("m2"));
    EXPECT_EQ (core->getNumMarkers ("m1"), 0) << "the backup's state does not replace the present one";
    EXPECT_FALSE (root.getChildFile ("users/u1/stranger").exists());
}

TEST_F (RestoreTest, AFolderThatIsNoFolderIsAskedForAgain)
{
    prompts.answerNextFolderDialog (choose (home.getFolder().getChildFile ("missing")));
    prompts.answerNextFolderDialog ([] (Prompts::FolderDialog& dialog) {
        EXPECT_EQ (dialog.folder.getFileName(), "missing") << "the dialog keeps its state";
        return false;
    });
    BackupDialogs::restoreTutorials (*core);

    EXPECT_EQ (countTitled ("Restore from backup"), 3) << "two dialogs, one notice";
    EXPECT_EQ (prompts.shown[1].text, "You must choose an existing directory as backup source");
    EXPECT_TRUE (prompts.progressTitles.isEmpty());
}

TEST_F (RestoreTest, CancellingStopsBeforeTheNextFile)
{
    core->removeChapter ("m1");
    core->removeChapter ("m2");
    prompts.cancelAtProgress = 0.5;

    RestoreTask task (folder, *core);
    EXPECT_FALSE (task.runModally());
    EXPECT_EQ ((int) core->isVideoPresent ("m1") + (int) core->isVideoPresent ("m2"), 1) << "the first file of two only";
}

TEST_F (RestoreTest, AShortRestoredVideoDoesNotPassForTheChapter)
{
    writeBytes (folder.getChildFile ("m3.bin"), 90000);
    {
        const FileSizeLimit diskFull (50000);
        RestoreTask task (folder, *core);
        task.runModally();
    }

    EXPECT_FALSE (core->isVideoPresent ("m3"));
    EXPECT_FALSE (chapterFolder ("m3").getChildFile ("m3.bin").exists());
    EXPECT_EQ (folder.getChildFile ("m3.bin").getSize(), 90000);
}

TEST_F (RestoreTest, WhereWatchingStoppedComesBackWithTheChapter)
{
    // The backup of the fixture was made before; this one holds the watched position.
    ASSERT_TRUE (core->setWatchedPosition ("m1", 421.5));
    const auto withPosition = home.getFolder().getChildFile ("backup with position");
    withPosition.createDirectory();
    BackupTask backup (withPosition, { "m1" }, *core, false);
    ASSERT_TRUE (backup.runModally());

    core->removeChapter ("m1");
    ASSERT_EQ (core->getWatchedPosition ("m1"), 0.0);

    prompts.answerNextFolderDialog (choose (withPosition));
    BackupDialogs::restoreTutorials (*core);

    EXPECT_TRUE (core->isVideoPresent ("m1"));
    EXPECT_DOUBLE_EQ (core->getWatchedPosition ("m1"), 421.5);
    EXPECT_TRUE (core->isFavorite ("m1")) << "and everything else of its state";
    EXPECT_EQ (core->getMarkerText ("m1", 0), "pose");
}
