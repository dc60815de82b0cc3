#pragma once

#include <JuceHeader.h>

/**
    Decides when the movie panel keeps where watching the open chapter stopped: at once when
    playback pauses, when the chapter is replaced (another chapter, another panel) and at quit;
    while it plays, at most once every playingIntervalMs, so the state file is written a few
    times a minute and never per frame.

    Pure bookkeeping over times the caller passes in (milliseconds of any steady clock), so
    tests drive it without waiting. Message thread.
*/
class PositionSaveSchedule final
{
public:
    /** The shortest time between two saves while playing. */
    static constexpr double playingIntervalMs = 10000.0;

    /** Why the caller asks. */
    enum class Reason
    {
        playing,  ///< a periodic tick while the video plays
        paused,   ///< playback just paused (or ran to its end)
        replaced, ///< the chapter is about to leave the movie panel
        quitting  ///< the program is closing
    };

    /** A chapter was opened: nothing is due until it plays for a whole interval. */
    void chapterOpened (double nowMs) noexcept;

    /** Whether to save now for this reason; when true the save counts as done at this time. */
    bool shouldSave (Reason reason, double nowMs) noexcept;

private:
    double lastSaveMs = 0.0;

    JUCE_LEAK_DETECTOR (PositionSaveSchedule)
};
