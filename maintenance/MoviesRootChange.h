#pragma once

#include <JuceHeader.h>

class Core;

/**
    What follows when the user picks another movies root in the preferences: the offer to move
    the chapters already downloaded, the move itself, then the new root stored in the preferences
    and Core pointed at its "users" folder, which reloads every chapter's state from there.

    Message thread only.
*/
class MoviesRootChange final
{
public:
    /** How a change ended. */
    enum class Outcome
    {
        unchanged, ///< the same folder as before, or none: nothing was asked
        cancelled, ///< the user kept the old root
        switched ///< the new root is in use (its chapters moved or not)
    };

    /** Asks whether to move the downloaded chapters to the new root and switches to it. */
    static Outcome apply (Core& core, const juce::File& newRoot);

private:
    MoviesRootChange() = delete;
};
