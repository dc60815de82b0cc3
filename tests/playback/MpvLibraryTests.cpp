#include "playback/MpvLibrary.h"
#include "playback/MpvPlayer.h"
#include "tests/playback/PlaybackTestSupport.h"

namespace
{
using MpvLibraryTest = PlaybackTest;
} // namespace

TEST_F (MpvLibraryTest, TheProgramsLibraryLoadsOnceWithEveryFunction)
{
    const auto& library = MpvLibrary::getShared();
    ASSERT_NE (library.getFunctions(), nullptr) << library.getError();
    EXPECT_TRUE (library.getError().isEmpty());
    EXPECT_EQ (&MpvLibrary::getShared(), &library);
    EXPECT_NE (library.getFunctions()->mpv_render_context_report_swap, nullptr);
}

TEST_F (MpvLibraryTest, AMissingLibraryIsNamedWithTheLoadersReason)
{
    const MpvLibrary missing ("libtsy-absent-mpv.so.2");
    EXPECT_EQ (missing.getFunctions(), nullptr);
    EXPECT_TRUE (missing.getError().startsWith ("libmpv could not be loaded (libtsy-absent-mpv.so.2): ")) << missing.getError();
    EXPECT_TRUE (missing.getError().contains ("No such file")) << missing.getError();
}

TEST_F (MpvLibraryTest, ALibraryWithoutTheFunctionsIsRefused)
{
    const MpvLibrary other ("libz.so.1");
    EXPECT_EQ (other.getFunctions(), nullptr);
    EXPECT_EQ (other.getError(), "libmpv could not be used: the loaded library has no function mpv_client_api_version");
}

TEST_F (MpvLibraryTest, WithoutTheLibraryEveryLoadFailsWithTheReasonAndSettingsStay)
{
    const MpvLibrary missing ("libtsy-absent-mpv.so.2");
    MpvPlayer player (MpvPlayer::defaultLoadTimeoutMs, &missing);
    EXPECT_TRUE (player.getUnavailableReason().isEmpty()) << "nothing is known before a load";

    player.setVolume (0.4f);
    EXPECT_FALSE (player.load (sampleVideo ("COMP-EN-0201.mp4")));
    EXPECT_EQ (player.getUnavailableReason(), missing.getError());
    EXPECT_FALSE (player.isOpen());
    EXPECT_FALSE (player.load (sampleVideo ("COMP-EN-0201.mp4"))) << "and the next one too";

    // The controls keep working on what they hold.
    player.play();
    player.setPosition (3.0);
    EXPECT_FLOAT_EQ (player.getVolume(), 0.4f);
    EXPECT_FALSE (player.isMuted());
    EXPECT_TRUE (player.getLatestFrame().image.isNull());
}

TEST_F (MpvLibraryTest, VolumeAndMuteSetBeforeTheFirstLoadReachMpv)
{
    MpvPlayer player;
    player.setVolume (0.25f);
    EXPECT_FLOAT_EQ (player.getVolume(), 0.25f);
    ASSERT_TRUE (player.load (sampleVideo ("COMP-EN-0201.mp4"))) << player.getUnavailableReason();
    EXPECT_TRUE (player.getUnavailableReason().isEmpty());
    EXPECT_NEAR (player.getVolume(), 0.25f, 0.001f) << "mpv's own volume";
    EXPECT_FALSE (player.isMuted());

    MpvPlayer silent;
    silent.setVolume (0.0f);
    EXPECT_TRUE (silent.isMuted());
    ASSERT_TRUE (silent.load (sampleVideo ("COMP-EN-0201.mp4")));
    EXPECT_TRUE (silent.isMuted()) << "mpv's own mute";

    // A video opened by the first load plays.
    silent.play();
    EXPECT_TRUE (waitUntil ([&] { return silent.getPosition() > 0.5; }));
}
