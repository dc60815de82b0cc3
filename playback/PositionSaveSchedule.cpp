#include "playback/PositionSaveSchedule.h"

void PositionSaveSchedule::chapterOpened (double nowMs) noexcept
{
    lastSaveMs = nowMs;
}

bool PositionSaveSchedule::shouldSave (Reason reason, double nowMs) noexcept
{
    // A clock that went back (a test's, or a restarted one) must not hold saves off for ever.
    if (reason == Reason::playing && nowMs >= lastSaveMs && nowMs - lastSaveMs < playingIntervalMs)
        return false;

    lastSaveMs = nowMs;
    return true;
}
