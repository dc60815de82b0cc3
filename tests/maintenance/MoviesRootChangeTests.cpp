#include "maintenance/MoviesRootChange.h"
#include "model/Notifications.h"
#include "tests/maintenance/MaintenanceTestSupport.h"

namespace
{
class MoviesRootChangeTest : public MaintenanceTest
{
protected:
    MoviesRootChangeTest() { install ({ { "Modelling", { { "ch1", "ch2" } } } }, { "ch1" }); }

    juce::File getPreferredRoot() const { return PreferencesManager::getInstance()->getMoviesRootDirectory(); }

    const juce::File newRoot = home.getFolder().getChildFile ("elsewhere");
};
} // namespace

TEST_F (MoviesRootChangeTest, TheSameFolderAsksNothingAndCancelKeepsEverything)
{
    EXPECT_EQ (MoviesRootChange::apply (*core, root), MoviesRootChange::Outcome::unchanged);
    EXPECT_EQ (MoviesRootChange::apply (*core, juce::File()), MoviesRootChange::Outcome::unchanged);
    EXPECT_TRUE (prompts.shown.empty());

    Broadcasts broadcasts (*core);
    prompts.answerNextChoice (Prompts::Answer::cancel);
    EXPECT_EQ (MoviesRootChange::apply (*core, newRoot), MoviesRootChange::Outcome::cancelled);

    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].buttons, juce::StringArray ({ "Yes", "No", "Cancel" }));
    EXPECT_EQ (getPreferredRoot(), root);
    EXPECT_EQ (core->getUsersDirectory(), root.getChildFile ("users"));
    EXPECT_TRUE (core->isVideoPresent ("ch1"));
    EXPECT_FALSE (newRoot.exists());
    EXPECT_TRUE (broadcasts.drain().isEmpty());
}

TEST_F (MoviesRootChangeTest, NoSwitchesWithoutMovingAnything)
{
    Broadcasts broadcasts (*core);
    prompts.answerNextChoice (Prompts::Answer::no);
    EXPECT_EQ (MoviesRootChange::apply (*core, newRoot), MoviesRootChange::Outcome::switched);

    EXPECT_EQ (getPreferredRoot(), newRoot);
    EXPECT_EQ (core->getUsersDirectory(), newRoot.getChildFile ("users"));
    EXPECT_TRUE (chapterFolder ("ch1").getChildFile ("ch1.bin").existsAsFile()) << "the files stay where they were";
    EXPECT_FALSE (core->isVideoPresent ("ch1")) << "the new place has no chapters yet";
    EXPECT_TRUE (prompts.progressTitles.isEmpty());
    EXPECT_TRUE (broadcasts.drain().contains (Notifications::usersDirectoryChanged));

    // The choice lasts: the preferences file has it.
    PreferencesManager::deleteInstance();
    PreferencesManager::getInstance()->load (home.getUserDataFolder().getChildFile ("preferences.xml"));
    EXPECT_EQ (getPreferredRoot(), newRoot);
}

TEST_F (MoviesRootChangeTest, YesMovesTheChaptersAndSwitches)
{
    core->addMarker ("ch1", "here", 12.5);
    Broadcasts broadcasts (*core);
    prompts.answerNextChoice (Prompts::Answer::yes);
    EXPECT_EQ (MoviesRootChange::apply (*core, newRoot), MoviesRootChange::Outcome::switched);

    EXPECT_EQ (prompts.progressTitles, juce::StringArray ("Moving video files"));
    EXPECT_FALSE (root.getChildFile ("users").exists());
    EXPECT_EQ (core->getUsersDirectory(), newRoot.getChildFile ("users"));
    EXPECT_TRUE (core->isVideoPresent ("ch1")) << "Core finds the chapter at its new place";
    EXPECT_EQ (core->getNumMarkers ("ch1"), 1);
    EXPECT_EQ (prompts.shown.size(), 1u) << "no box after the question";
    EXPECT_EQ (getPreferredRoot(), newRoot);
    EXPECT_TRUE (broadcasts.drain().contains (Notifications::usersDirectoryChanged));
}

TEST_F (MoviesRootChangeTest, AFailedMoveIsReportedAndTheNewRootTakenAllTheSame)
{
    // A root below a file cannot be made.
    ASSERT_TRUE (home.getFolder().getChildFile ("plain").replaceWithText ("x"));
    const auto impossible = home.getFolder().getChildFile ("plain/root");
    prompts.answerNextChoice (Prompts::Answer::yes);
    EXPECT_EQ (MoviesRootChange::apply (*core, impossible), MoviesRootChange::Outcome::switched);

    ASSERT_EQ (countTitled ("Copy error"), 1);
    EXPECT_EQ (prompts.shown.back().text, "Error copying existing chapters to the new location");
    EXPECT_TRUE (chapterFolder ("ch1").getChildFile ("ch1.bin").existsAsFile()) << "the old tree is complete";
    EXPECT_EQ (getPreferredRoot(), impossible);
    EXPECT_EQ (core->getUsersDirectory(), impossible.getChildFile ("users"));
}

TEST_F (MoviesRootChangeTest, MovingTheFolderKeepsWhereWatchingStopped)
{
    ASSERT_TRUE (core->setWatchedPosition ("ch1", 98.25));
    prompts.answerNextChoice (Prompts::Answer::yes);
    ASSERT_EQ (MoviesRootChange::apply (*core, newRoot), MoviesRootChange::Outcome::switched);

    EXPECT_TRUE (core->isVideoPresent ("ch1"));
    EXPECT_DOUBLE_EQ (core->getWatchedPosition ("ch1"), 98.25) << "read again from the moved state file";
}
