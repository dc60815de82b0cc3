#include "app/PreferencesManager.h"
#include "playback/PlaybackRules.h"
#include "playback/PositionSaveSchedule.h"

#include <gtest/gtest.h>

#include <limits>

TEST (PlaybackRules, AChapterResumesUnlessTooCloseToTheEnd)
{
    EXPECT_DOUBLE_EQ (PlaybackRules::getResumePosition (750.0, 1200.0), 750.0);
    EXPECT_DOUBLE_EQ (PlaybackRules::getResumePosition (0.5, 1200.0), 0.5);

    // 5% of 1200 s is 60 s: that rule decides for long chapters.
    EXPECT_DOUBLE_EQ (PlaybackRules::getResumePosition (1140.0, 1200.0), 1140.0);
    EXPECT_EQ (PlaybackRules::getResumePosition (1140.5, 1200.0), 0.0);

    // 5% of 60 s is 3 s: the 5 seconds decide for short ones.
    EXPECT_DOUBLE_EQ (PlaybackRules::getResumePosition (55.0, 60.0), 55.0);
    EXPECT_EQ (PlaybackRules::getResumePosition (55.5, 60.0), 0.0);

    EXPECT_EQ (PlaybackRules::getResumePosition (1200.0, 1200.0), 0.0) << "run to its end";
    EXPECT_EQ (PlaybackRules::getResumePosition (5000.0, 1200.0), 0.0) << "past the end";
    EXPECT_EQ (PlaybackRules::getResumePosition (-3.0, 1200.0), 0.0);
    EXPECT_EQ (PlaybackRules::getResumePosition (std::numeric_limits<double>::quiet_NaN(), 1200.0), 0.0);
    EXPECT_EQ (PlaybackRules::getResumePosition (std::numeric_limits<double>::infinity(), 1200.0), 0.0);
    EXPECT_EQ (PlaybackRules::getResumePosition (30.0, 0.0), 0.0) << "no video open";
    EXPECT_EQ (PlaybackRules::getResumePosition (30.0, std::numeric_limits<double>::quiet_NaN()), 0.0);
}

TEST (PlaybackRules, ArrowSeeksAndVolumeStepsStayInRange)
{
    EXPECT_DOUBLE_EQ (PlaybackRules::seekBy (12.0, -5.0, 100.0), 7.0);
    EXPECT_DOUBLE_EQ (PlaybackRules::seekBy (3.0, -5.0, 100.0), 0.0);
    EXPECT_DOUBLE_EQ (PlaybackRules::seekBy (97.0, 5.0, 100.0), 100.0);
    EXPECT_DOUBLE_EQ (PlaybackRules::seekBy (3.0, 5.0, 0.0), 0.0) << "nothing open";

    auto volume = 1.0f;

    for (int i = 0; i < 10; ++i)
        volume = PlaybackRules::stepVolume (volume, -PlaybackRules::volumeStep);

    EXPECT_EQ (volume, 0.0f) << "ten steps down from full mute";
    EXPECT_EQ (PlaybackRules::stepVolume (0.0f, -PlaybackRules::volumeStep), 0.0f);
    EXPECT_FLOAT_EQ (PlaybackRules::stepVolume (0.0f, PlaybackRules::volumeStep), 0.1f);
    EXPECT_EQ (PlaybackRules::stepVolume (0.95f, PlaybackRules::volumeStep), 1.0f);
}

TEST (PlaybackRules, SpeedStepsAndTheirLabels)
{
    const std::vector<double> steps (PlaybackRules::speedSteps.begin(), PlaybackRules::speedSteps.end());
    EXPECT_EQ (steps, (std::vector<double> { 0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0 }));
    EXPECT_EQ (steps.front(), PreferencesManager::minimumPlaybackSpeed);
    EXPECT_EQ (steps.back(), PreferencesManager::maximumPlaybackSpeed);

    auto speed = 1.0;
    std::vector<double> upwards;

    for (int i = 0; i < 8; ++i)
        upwards.push_back (speed = PlaybackRules::getFasterSpeed (speed));

    EXPECT_EQ (upwards, (std::vector<double> { 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 3.0, 3.0 }));
    EXPECT_EQ (PlaybackRules::getSlowerSpeed (1.0), 0.75);
    EXPECT_EQ (PlaybackRules::getSlowerSpeed (0.5), 0.5);
    EXPECT_EQ (PlaybackRules::getSlowerSpeed (0.75), 0.5);

    // A speed off the steps (a preference written by hand) moves to the neighbouring step.
    EXPECT_EQ (PlaybackRules::getFasterSpeed (1.1), 1.25);
    EXPECT_EQ (PlaybackRules::getSlowerSpeed (1.1), 1.0);
    EXPECT_EQ (PlaybackRules::getFasterSpeed (1.25 + 1.0e-9), 1.5) << "a rounding away from a step is that step";

    EXPECT_EQ (PlaybackRules::formatSpeed (1.0), "1x");
    EXPECT_EQ (PlaybackRules::formatSpeed (1.5), "1.5x");
    EXPECT_EQ (PlaybackRules::formatSpeed (0.75), "0.75x");
    EXPECT_EQ (PlaybackRules::formatSpeed (2.0), "2x");
    EXPECT_EQ (PlaybackRules::formatSpeed (2.5), "2.5x");
}

TEST (PlaybackRules, WatchedShare)
{
    EXPECT_DOUBLE_EQ (PlaybackRules::getWatchedFraction (300.0, 1200.0), 0.25);
    EXPECT_EQ (PlaybackRules::getWatchedFraction (3000.0, 1200.0), 1.0);
    EXPECT_EQ (PlaybackRules::getWatchedFraction (30.0, 0.0), 0.0);
    EXPECT_EQ (PlaybackRules::describeWatched (750.0, 1200.0), "Watched 12:30 of 20:00");
    EXPECT_EQ (PlaybackRules::describeWatched (3000.0, 1200.0), "Watched 20:00 of 20:00") << "never more than the whole";
    EXPECT_TRUE (PlaybackRules::describeWatched (0.0, 1200.0).isEmpty());
    EXPECT_TRUE (PlaybackRules::describeWatched (30.0, 0.0).isEmpty());
}

TEST (PositionSaveSchedule, SavesAtOnceOnEventsAndEveryTenSecondsWhilePlaying)
{
    using Reason = PositionSaveSchedule::Reason;
    PositionSaveSchedule schedule;
    schedule.chapterOpened (1000.0);

    // Ticks of 500 ms for 30 seconds of playing: three saves, ten seconds apart.
    std::vector<double> saves;

    for (double now = 1000.0; now <= 31000.0; now += 500.0)
        if (schedule.shouldSave (Reason::playing, now))
            saves.push_back (now);

    EXPECT_EQ (saves, (std::vector<double> { 11000.0, 21000.0, 31000.0 }));

    // A pause saves at once, and the next periodic save is ten seconds after it.
    EXPECT_TRUE (schedule.shouldSave (Reason::paused, 32000.0));
    EXPECT_TRUE (schedule.shouldSave (Reason::paused, 32100.0)) << "every pause counts";
    EXPECT_FALSE (schedule.shouldSave (Reason::playing, 41000.0));
    EXPECT_TRUE (schedule.shouldSave (Reason::playing, 42100.0));

    EXPECT_TRUE (schedule.shouldSave (Reason::replaced, 42200.0));
    EXPECT_TRUE (schedule.shouldSave (Reason::quitting, 42300.0));

    // A clock that went back does not stop the periodic saves.
    EXPECT_TRUE (schedule.shouldSave (Reason::playing, 100.0));
    EXPECT_FALSE (schedule.shouldSave (Reason::playing, 600.0));
}
