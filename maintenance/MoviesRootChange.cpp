#include "maintenance/MoviesRootChange.h"

#include "app/PreferencesManager.h"
#include "app/Prompts.h"
#include "maintenance/MoveDirectoryTask.h"
#include "model/Core.h"

MoviesRootChange::Outcome MoviesRootChange::apply (Core& core, const juce::File& newRoot)
{
    auto* preferences = PreferencesManager::getInstance();
    const auto oldRoot = preferences->getMoviesRootDirectory();

    if (newRoot == juce::File() || newRoot == oldRoot)
        return Outcome::unchanged;

    const auto answer = Prompts::get().askYesNoCancel (Prompts::Icon::none,
                                                       TRANS ("Move video files"),
                                                       TRANS ("You have chosen a new location where to save the newly downloaded chapters. "
                                                              "Would you like to move to the same locations the chapters that you have already downloaded?"),
                                                       TRANS ("Yes"),
                                                       TRANS ("No"),
                                                       TRANS ("Cancel"));

    if (answer == Prompts::Answer::cancel)
        return Outcome::cancelled;

    // The new root is taken into use whatever the move's outcome: a failed move has left the
    // chapters complete at the old place, from where the user can fetch them.
    if (answer == Prompts::Answer::yes)
    {
        MoveDirectoryTask task (oldRoot.getChildFile ("users"), newRoot.getChildFile ("users"), TRANS ("Error copying existing chapters to the new location"));
        task.runModally();
    }

    preferences->setMoviesRootDirectory (newRoot);
    core.setUsersDirectory (newRoot.getChildFile ("users"), juce::sendNotification);
    return Outcome::switched;
}
