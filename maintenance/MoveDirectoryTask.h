#pragma once

#include <JuceHeader.h>

/**
    Moves a folder tree to a new place behind a modal window that has neither a progress bar nor
    a cancel button: the tree is copied depth first, and the original is deleted only after every
    file of it was copied whole. A failed copy leaves the original untouched and is reported in a
    "Copy error" box; what was copied stays at the new place.

    A source that does not exist is nothing to move, which succeeds without a box.

    Made and run on the message thread; the copy runs on the window's worker thread.
*/
class MoveDirectoryTask final
{
public:
    MoveDirectoryTask (const juce::File& source, const juce::File& destination, const juce::String& errorMessage);

    /** Runs the move behind the modal window, waits for it and reports a failure; true when
        the move succeeded. Message thread.
    */
    bool runModally();

    /** The move itself, without window or box; true when it succeeded. Any thread. */
    bool run() const;

    /** The folder to move, the folder to make, and the text shown when copying fails. */
    const juce::File source, destination;
    const juce::String errorMessage;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MoveDirectoryTask)
};
