#include "maintenance/MoveDirectoryTask.h"

#include "app/Prompts.h"
#include "maintenance/VerifiedCopy.h"

MoveDirectoryTask::MoveDirectoryTask (const juce::File& s, const juce::File& d, const juce::String& message)
    : source (s), destination (d), errorMessage (message)
{
}

bool MoveDirectoryTask::runModally()
{
    auto moved = false;
    Prompts::get().runWithStatus ("Moving video files", TRANS ("Moving video files, this operation may take a while..."), [&] { moved = run(); });

    if (! moved)
        Prompts::get().showMessage (Prompts::Icon::none, TRANS ("Copy error"), errorMessage, TRANS ("OK"));

    return moved;
}

bool MoveDirectoryTask::run() const
{
    if (! source.exists())
        return true;

    // A destination inside the source would be copied into itself and then deleted with it.
    if (destination == source || destination.isAChildOf (source))
        return false;

    if (! VerifiedCopy::copyTree (source, destination))
        return false;

    // A chapter that a running download filed after its folder was copied keeps its place.
    VerifiedCopy::removeCopiedOriginals (source, destination);
    return true;
}
