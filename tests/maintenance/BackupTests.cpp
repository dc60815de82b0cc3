#include "maintenance/BackupDialogs.h"
#include "maintenance/BackupTask.h"
#include "model/Notifications.h"
#include "tests/maintenance/MaintenanceTestSupport.h"

namespace
{
class BackupTest : public MaintenanceTest
{
protected:
    BackupTest()
    {
        // Two lessons in the first course, a course with nothing downloaded, a third course.
        install ({ { "Modelling", { { "m1", "m2" }, { "m3" } } }, { "Lighting", { { "l1" } } }, { "Rigging", { { "r1", "r2" } } } },
                 { "m1", "m3", "r2" });
        core->addMarker ("m1", "pose", 3.0);
        folder.createDirectory();
    }

    /** The user ticks the courses with these titles, picks the folder and presses OK. */
    static ScriptedPrompts::FolderDialogAction choose (const juce::StringArray& titles, const juce::File& chosen)
    {
        return [titles, chosen] (Prompts::FolderDialog& dialog) {
            for (auto& toggle : dialog.toggles)
                toggle.on = titles.contains (toggle.text);

            dialog.folder = chosen;
            return true;
        };
    }

    static ScriptedPrompts::FolderDialogAction pressCancel() { return [] (Prompts::FolderDialog&) { return false; }; }

    const juce::File folder = home.getFolder().getChildFile ("backup");
};
} // namespace

TEST_F (BackupTest, NothingDownloadedShowsANoticeInsteadOfTheDialog)
{
    for (const auto& id : { "m1", "m3", "r2" })
        core->removeChapter (id);

    BackupDialogs::backupTutorials (*core);
    EXPECT_TRUE (prompts.folderDialogs.empty());
    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].text, "You don't have tutorials to backup");
}

TEST_F (BackupTest, AFolderThatIsNoFolderIsAskedForAgainWithTheDialogAsLeft)
{
    ASSERT_TRUE (home.getFolder().getChildFile ("file.txt").replaceWithText ("x"));
    prompts.answerNextFolderDialog (choose ({ "Rigging" }, home.getFolder().getChildFile ("missing")));
    prompts.answerNextFolderDialog (choose ({ "Rigging" }, home.getFolder().getChildFile ("file.txt")));
    prompts.answerNextFolderDialog (pressCancel());
    BackupDialogs::backupTutorials (*core);

    ASSERT_EQ (prompts.folderDialogs.size(), 3u);
    const auto& toggles = prompts.folderDialogs[2].toggles;
    ASSERT_EQ (toggles.size(), 2u) << "only courses with a downloaded chapter: not Lighting";
    EXPECT_EQ (toggles[0].text, "Modelling");
    EXPECT_EQ (toggles[1].text, "Rigging");
    EXPECT_EQ (toggles[1].index, 2);
    EXPECT_TRUE (toggles[1].on) << "the dialog keeps its state";
    EXPECT_EQ (prompts.folderDialogs[2].folder, home.getFolder().getChildFile ("file.txt"));
    EXPECT_EQ (countTitled ("Backup"), 5) << "three dialogs, two notices";
    EXPECT_EQ (prompts.shown[1].text, "You must choose an existing directory as backup destination");
    EXPECT_TRUE (prompts.progressTitles.isEmpty());
}

TEST_F (BackupTest, CopiesTheChosenCoursesDownloadedChaptersAndKeepsThemWhenAsked)
{
    writeBytes (folder.getChildFile (".directory"), 10); // hidden files do not make the folder non-empty
    prompts.answerNextFolderDialog (choose ({ "Modelling" }, folder));
    prompts.answerNext (false);
    BackupDialogs::backupTutorials (*core);

    EXPECT_EQ (prompts.progressTitles, juce::StringArray ("Backup"));
    const auto stateSize = juce::String (core->getStateFile ("m1").getSize());
    EXPECT_EQ (listTree (folder), juce::StringArray (".directory:10", "m1.bin:2000", "m1.xml:" + stateSize, "m3.bin:2000"));
    EXPECT_TRUE (core->isVideoPresent ("m1"));
    EXPECT_TRUE (core->isVideoPresent ("m3"));
    ASSERT_EQ (prompts.shown.size(), 2u) << "the removal question only";
    EXPECT_EQ (prompts.shown[1].text, "Do you want to remove these tutorials from this computer?");
}

TEST_F (BackupTest, ANonEmptyFolderIsQuestionedAndKeepsWhatItHad)
{
    Broadcasts broadcasts (*core);
    writeBytes (folder.getChildFile ("older.bin"), 10);
    writeBytes (folder.getChildFile ("r2.bin"), 10);

    prompts.answerNextFolderDialog (choose ({ "Rigging" }, folder));
    prompts.answerNext (false); // keep
    prompts.answerNext (false); // not into a non-empty folder: back to the dialog
    prompts.answerNextFolderDialog (choose ({ "Rigging" }, folder));
    prompts.answerNext (true); // remove
    prompts.answerNext (true); // proceed
    BackupDialogs::backupTutorials (*core);

    EXPECT_EQ (prompts.folderDialogs.size(), 2u);
    EXPECT_EQ (prompts.shown[2].text, "The backup directory is not empty. Proceed anyway?");
    EXPECT_EQ (listTree (folder), juce::StringArray ({ "older.bin:10", "r2.bin:2000" })) << "the namesake overwritten, the rest kept";
    EXPECT_FALSE (chapterFolder ("r2").exists()) << "removed after its copy";
    EXPECT_EQ (broadcasts.drain(), juce::StringArray ("ca;r2"));
}

TEST_F (BackupTest, CancellingAfterTheThirdOfTenLeavesThree)
{
    juce::StringArray ids;

    for (int i = 0; i < 10; ++i)
        ids.add ("c" + juce::String (i));

    install ({ { "Long", { ids } } }, ids);
    prompts.cancelAtProgress = 0.3;
    BackupTask task (folder, ids, *core, true);
    EXPECT_FALSE (task.runModally());

    EXPECT_EQ (backedUp (folder), juce::StringArray ({ "c0", "c1", "c2" }));
    EXPECT_FALSE (core->isVideoPresent ("c2"));
    EXPECT_TRUE (core->isVideoPresent ("c3")) << "nothing after the cancel is touched";
}

TEST_F (BackupTest, AChapterWhoseCopyFailedIsNeverRemoved)
{
    // m3's video is too big for the disk that is left.
    ASSERT_TRUE (writeBytes (chapterFolder ("m3").getChildFile ("m3.bin"), 90000));
    {
        const FileSizeLimit diskFull (50000);
        BackupTask task (folder, { "m1", "m3", "r2" }, *core, true);
        EXPECT_TRUE (task.runModally());
    }

    EXPECT_FALSE (core->isVideoPresent ("m1"));
    EXPECT_FALSE (core->isVideoPresent ("r2"));
    EXPECT_TRUE (core->isVideoPresent ("m3")) << "its copy failed: it stays";
    EXPECT_EQ (chapterFolder ("m3").getChildFile ("m3.bin").getSize(), 90000);
    EXPECT_EQ (backedUp (folder), juce::StringArray ({ "m1", "r2" })) << "no short copy passes for a backup";
}

TEST_F (BackupTest, ABackupFolderInsideAChaptersFolderIsNotRemovedWithIt)
{
    const auto inside = chapterFolder ("m1").getChildFile ("backup");
    inside.createDirectory();
    BackupTask task (inside, { "m1", "m3" }, *core, true);
    task.runModally();

    EXPECT_TRUE (core->isVideoPresent ("m1"));
    EXPECT_EQ (backedUp (inside), juce::StringArray ({ "m1", "m3" }));
    EXPECT_FALSE (core->isVideoPresent ("m3"));
}

TEST_F (BackupTest, RunsOnItsOwnThreadWhileTheWindowKeepsReadingCore)
{
    // The worker holds the read lock and takes the write lock to remove; the message thread
    // reads all along, as painting the tree does.
    prompts.runTasksOnWorkerThread = true;
    std::atomic<int> reads { 0 };
    struct Reader final : juce::Timer
    {
        Reader (Core& c, std::atomic<int>& n) : core (c), count (n) { startTimer (2); }
        void timerCallback() override
        {
            juce::ignoreUnused (core.courseHasVideo (0, true));
            ++count;
        }
        Core& core;
        std::atomic<int>& count;
    } reader (*core, reads);

    BackupTask task (folder, { "m1", "m3", "r2" }, *core, true);
    EXPECT_TRUE (task.runModally());
    EXPECT_GT (reads.load(), 0);
    EXPECT_EQ (backedUp (folder), juce::StringArray ({ "m1", "m3", "r2" }));
    EXPECT_FALSE (core->courseHasVideo (0, true));
}

TEST_F (BackupTest, TheBackupsStateFileHoldsWhereWatchingStopped)
{
    ASSERT_TRUE (core->setWatchedPosition ("m1", 61.75));
    prompts.answerNextFolderDialog (choose ({ "Modelling" }, folder));
    prompts.answerNext (false);
    BackupDialogs::backupTutorials (*core);

    const auto copied = juce::parseXML (folder.getChildFile ("m1.xml"));
    ASSERT_NE (copied, nullptr);
    EXPECT_EQ (copied->getStringAttribute ("position"), "61.75");
    EXPECT_EQ (folder.getChildFile ("m1.xml").loadFileAsString(), core->getStateFile ("m1").loadFileAsString()) << "a copy of the state file";
}
