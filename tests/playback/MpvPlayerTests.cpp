#include "playback/MpvPlayer.h"
#include "tests/playback/PlaybackTestSupport.h"

#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using MpvPlayerTest = PlaybackTest;
} // namespace

TEST_F (MpvPlayerTest, FramesAreOpaqueInTheVideosColoursAndStopAtClose)
{
    MpvPlayer player;
    ASSERT_TRUE (player.load (sampleVideo ("COMP-EN-0201.mp4")));

    // The first frame arrives while paused.
    ASSERT_TRUE (waitUntil ([&]
                            { return player.getLatestFrame().image.isValid(); }));
    const auto frame = player.getLatestFrame().image;
    ASSERT_EQ (frame.getBounds(), juce::Rectangle<int> (480, 270));

    for (int y = 0; y < frame.getHeight(); y += 9)
        for (int x = 0; x < frame.getWidth(); x += 7)
            ASSERT_EQ (frame.getPixelAt (x, y).getAlpha(), 0xff) << x << ", " << y;

    // Colour bars from grey at the left to blue at the right: a swapped channel order shows.
    const auto red = frame.getPixelAt (377, 30), blue = frame.getPixelAt (445, 30);
    EXPECT_GT (red.getRed(), 150);
    EXPECT_LT (red.getBlue(), 80);
    EXPECT_GT (blue.getBlue(), 150);
    EXPECT_LT (blue.getRed(), 80);

    player.play();
    const auto before = player.getNumFramesRendered();
    ASSERT_TRUE (waitUntil ([&]
                            { return player.getPosition() > 1.5; }));
    EXPECT_GE (player.getNumFramesRendered() - before, 10);

    // A frame that was being rendered as the video closed must not show up afterwards.
    player.close();
    EXPECT_TRUE (holdsFor (300, [&]
                           { return player.getLatestFrame().image.isNull(); }));
}

TEST_F (MpvPlayerTest, AStalledLoadTimesOutAndThePlayerStaysUsable)
{
    // A pipe that is open for writing but never written: mpv waits for data for ever.
    const auto pipe = scratchFile ("stalled.bin");
    ASSERT_EQ (mkfifo (pipe.getFullPathName().toRawUTF8(), 0600), 0);
    const int writer = ::open (pipe.getFullPathName().toRawUTF8(), O_RDWR);
    ASSERT_GE (writer, 0);

    {
        MpvPlayer player (300);
        const auto started = juce::Time::getMillisecondCounter();
        EXPECT_FALSE (player.load (pipe));
        EXPECT_LT (juce::Time::getMillisecondCounter() - started, 15000u) << "the load waited on a file that never ends";
        EXPECT_FALSE (player.isOpen());

        ASSERT_TRUE (player.load (sampleVideo ("COMP-EN-0101.mp4")));
        EXPECT_NEAR (player.getDuration(), 5.0, 0.05);

        // Stalled again, and gone while mpv may still be waiting on the pipe.
        EXPECT_FALSE (player.load (pipe));
    }

    ::close (writer);
}

TEST_F (MpvPlayerTest, ASpeedOutlastsLoadsAndPlaysFasterInVideoTime)
{
    MpvPlayer player;
    EXPECT_DOUBLE_EQ (player.getSpeed(), 1.0);
    player.setSpeed (3.0);
    player.setSpeed (std::numeric_limits<double>::quiet_NaN());
    player.setSpeed (-1.0);
    EXPECT_DOUBLE_EQ (player.getSpeed(), 3.0) << "rates that are no rate are ignored";

    ASSERT_TRUE (player.load (sampleVideo ("COMP-EN-0201.mp4")));
    ASSERT_TRUE (player.load (sampleVideo ("COMP-EN-0101.mp4")));
    EXPECT_DOUBLE_EQ (player.getSpeed(), 3.0) << "kept from one chapter to the next";

    // Positions and the duration stay in video time (the chapter lasts 5 s at any speed), and at
    // three times the speed its end comes well before that much real time has passed.
    const auto duration = player.getDuration();
    EXPECT_NEAR (duration, 5.0, 0.1);
    player.play();
    const auto started = juce::Time::getMillisecondCounterHiRes();
    ASSERT_TRUE (waitUntil ([&]
                            { return ! player.isPlaying(); }));
    const auto elapsedSeconds = (juce::Time::getMillisecondCounterHiRes() - started) / 1000.0;
    EXPECT_NEAR (player.getPosition(), duration, 0.1);
    EXPECT_LT (elapsedSeconds, duration * 0.9) << "played at normal speed or slower";

    player.setSpeed (1.0);
    EXPECT_DOUBLE_EQ (player.getSpeed(), 1.0);
}

TEST_F (MpvPlayerTest, PlaybackMovesOnFromASeekSentRightAfterTheLoad)
{
    // As a chapter resumes: a seek right after the load, then play. Whichever of the seek's
    // answer and mpv's restart comes first, the shown position must leave the asked-for place.
    MpvPlayer player;

    for (int attempt = 0; attempt < 3; ++attempt)
    {
        ASSERT_TRUE (player.load (sampleVideo ("COMP-EN-0101.mp4")));
        player.setPosition (2.0);
        player.play();
        EXPECT_DOUBLE_EQ (player.getPosition(), 2.0) << "the asked-for place shows until the seek lands";
        ASSERT_TRUE (waitUntil ([&]
                                { return player.getPosition() > 2.3; }))
            << "attempt " << attempt << ": the position stayed at " << player.getPosition();
        EXPECT_LT (player.getPosition(), 4.9);
    }
}
