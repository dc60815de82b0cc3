#include "playback/VideoComponent.h"
#include "tests/playback/PlaybackTestSupport.h"

namespace
{
class VideoComponentTest : public PlaybackTest
{
protected:
    void SetUp() override { ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)"; }

    /** The component playing from the given position until the position has passed another. */
    void playUntilPast (double from, double past)
    {
        video->setPosition (from);
        video->play();
        ASSERT_TRUE (video->isPlaying());
        ASSERT_TRUE (waitUntil ([&]
                                { return video->getPosition() > past; }));
    }

    std::unique_ptr<VideoComponent> video = std::make_unique<VideoComponent>();
};

bool isBlack (juce::Colour c)
{
    return c.getRed() < 16 && c.getGreen() < 16 && c.getBlue() < 16;
}

bool isAllBlack (const juce::Image& image)
{
    for (int y = 0; y < image.getHeight(); y += 4)
        for (int x = 0; x < image.getWidth(); x += 4)
            if (! isBlack (image.getPixelAt (x, y)))
                return false;

    return true;
}
} // namespace

TEST_F (VideoComponentTest, AVideoOpensPausedAtTheStartEvenOverAPlayingOne)
{
    ASSERT_TRUE (video->loadMovie (sampleVideo ("COMP-EN-0201.mp4")));
    EXPECT_NEAR (video->getMovieDuration(), 6.0, 0.05);

    int width = 0, height = 0;
    video->getMovieNormalSize (width, height);
    EXPECT_EQ (juce::Point<int> (width, height), juce::Point<int> (480, 270));

    playUntilPast (0.0, 0.5);
    ASSERT_TRUE (video->loadMovie (sampleVideo ("COMP-EN-0203.mp4")));
    EXPECT_NEAR (video->getMovieDuration(), 4.0, 0.05);
    EXPECT_TRUE (holdsFor (300, [&]
                           { return ! video->isPlaying() && video->getPosition() == 0.0; }));
}

TEST_F (VideoComponentTest, SetPositionIsAnsweredExactlyAtOnceAndTheLastSeekWins)
{
    ASSERT_TRUE (video->loadMovie (sampleVideo ("COMP-EN-0101.mp4")));

    // Between two frames: mpv shows the next one, the position stays what was asked for.
    video->setPosition (2.55);
    EXPECT_EQ (video->getPosition(), 2.55);
    EXPECT_TRUE (holdsFor (300, [&]
                           { return video->getPosition() == 2.55; }));

    video->setPosition (1.0);
    video->setPosition (4.0);
    video->setPosition (3.0);
    EXPECT_EQ (video->getPosition(), 3.0);
    video->play();
    ASSERT_TRUE (waitUntil ([&]
                            { return video->getPosition() > 3.0 + frameTime; }));
    EXPECT_LT (video->getPosition(), 4.0);

    // While playing, too.
    video->setPosition (0.5);
    EXPECT_EQ (video->getPosition(), 0.5);
    ASSERT_TRUE (waitUntil ([&]
                            { return video->getPosition() > 0.5 + frameTime; }));
    EXPECT_LT (video->getPosition(), 3.0);
}

TEST_F (VideoComponentTest, TheEndStopsPlayingUnlessLoopingAndSeeksStayWithin)
{
    ASSERT_TRUE (video->loadMovie (sampleVideo ("COMP-EN-0203.mp4")));
    const auto duration = video->getMovieDuration();
    ASSERT_NEAR (duration, 4.0, 0.05);

    video->setPosition (-3.0);
    EXPECT_EQ (video->getPosition(), 0.0);
    video->setPosition (100.0);
    EXPECT_EQ (video->getPosition(), duration);

    video->setLooping (false);
    playUntilPast (duration - 0.6, duration - 0.5);
    ASSERT_TRUE (waitUntil ([&]
                            { return ! video->isPlaying(); }));
    EXPECT_EQ (video->getPosition(), duration);

    // Play at the end does not start over.
    video->play();
    EXPECT_TRUE (holdsFor (300, [&]
                           { return ! video->isPlaying() && video->getPosition() == duration; }));

    video->setLooping (true);
    playUntilPast (duration - 0.5, duration - 0.4);
    ASSERT_TRUE (waitUntil ([&]
                            { return video->getPosition() < 1.0; }));
    EXPECT_TRUE (video->isPlaying());
}

TEST_F (VideoComponentTest, FilesThatCannotBePlayedLeaveNothingOpen)
{
    juce::MemoryBlock noise (100000);
    juce::Random (7).fillBitsRandomly (noise.getData(), noise.getSize());
    const auto garbage = scratchFile ("garbage.bin");
    ASSERT_TRUE (garbage.replaceWithData (noise.getData(), noise.getSize()));

    const auto empty = scratchFile ("empty.bin");
    ASSERT_TRUE (empty.create());

    // A real video cut off inside its index.
    const auto truncated = scratchFile ("truncated.bin");
    juce::MemoryBlock sample;
    ASSERT_TRUE (sampleVideo ("COMP-EN-0101.mp4").loadFileAsData (sample));
    ASSERT_TRUE (truncated.replaceWithData (sample.getData(), 1000));

    const auto soundOnly = scratchFile ("sound.m4a");
    ASSERT_TRUE (runFfmpeg ({ "-f", "lavfi", "-i", "sine=duration=1", soundOnly.getFullPathName() }));

    for (const auto& file : { scratchFile ("missing.bin"), garbage, empty, truncated, soundOnly, garbage.getParentDirectory() })
    {
        SCOPED_TRACE (file.getFileName().toStdString());
        EXPECT_FALSE (video->loadMovie (file));
        EXPECT_FALSE (video->isMovieOpen());
        EXPECT_EQ (video->getMovieDuration(), 0.0);
        video->play();
        EXPECT_FALSE (video->isPlaying());
    }

    EXPECT_TRUE (video->loadMovie (sampleVideo ("COMP-EN-0101.mp4")));
}

TEST_F (VideoComponentTest, ShowsTheFrameFittedWithBlackAround)
{
    // 480x270 in 640x400: scaled by 4/3 to 640x360, with 20 black rows above and below.
    video->setBounds (0, 0, 640, 400);
    video->addToDesktop (0);
    video->setVisible (true);
    EXPECT_TRUE (isAllBlack (video->createComponentSnapshot (video->getLocalBounds())));

    ASSERT_TRUE (video->loadMovie (sampleVideo ("COMP-EN-0101.mp4")));
    playUntilPast (0.0, 1.0);
    video->stop();

    juce::Image shot;
    ASSERT_TRUE (waitUntil ([&]
                            {
        shot = video->createComponentSnapshot (video->getLocalBounds());
        return ! isAllBlack (shot); }));

    const auto outputDir = juce::File (TSY_PLAYBACK_TEST_OUTPUT_DIR);
    juce::FileOutputStream png (outputDir.getChildFile ("video-component.png"));
    ASSERT_TRUE (png.openedOk() && png.setPosition (0) && png.truncate().wasOk());
    ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (shot, png));

    EXPECT_TRUE (isBlack (shot.getPixelAt (320, 10)));
    EXPECT_TRUE (isBlack (shot.getPixelAt (320, 390)));

    // The colour bars along the top of the sample videos end in red and blue at the right.
    const auto red = shot.getPixelAt (503, 50), blue = shot.getPixelAt (593, 50);
    EXPECT_GT (red.getRed(), 150);
    EXPECT_LT (red.getBlue(), 80);
    EXPECT_GT (blue.getBlue(), 150);
    EXPECT_LT (blue.getRed(), 80);

    video->closeMovie();
    EXPECT_TRUE (isAllBlack (video->createComponentSnapshot (video->getLocalBounds())));
}

TEST_F (VideoComponentTest, GoesAwayCleanlyInAnyState)
{
    // Straight after loading, while mpv is still decoding and rendering the first frames.
    ASSERT_TRUE (video->loadMovie (sampleVideo ("COMP-EN-0101.mp4")));
    video->play();
    video = nullptr;

    // While playing, with frames still on their way to the message thread.
    video = std::make_unique<VideoComponent>();
    ASSERT_TRUE (video->loadMovie (sampleVideo ("COMP-EN-0101.mp4")));
    playUntilPast (0.0, 0.5);
    video->setPosition (3.0);
    video = nullptr;
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);

    // After a failed load, and with nothing ever loaded.
    video = std::make_unique<VideoComponent>();
    EXPECT_FALSE (video->loadMovie (scratchFile ("missing.bin")));
    video = std::make_unique<VideoComponent>();
    video = nullptr;
}
