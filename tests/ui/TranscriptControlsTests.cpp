#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "model/CatalogDocument.h"
#include "model/CatalogParser.h"
#include "model/LocalStorage.h"
#include "playback/MoviePanel.h"
#include "search/TranscriptStore.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"
#include "ui/TranscriptControls.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace
{
/** The window as the movie panel sees it: the movie area holding the video. */
struct MovieArea final : MoviePanel::Host
{
    void showBlankPicture() override {}
    void hideImagePanel() override {}
    void showMovieArea() override {}
    void layoutContent() override { ++layouts; }
    void selectChapterInTree (int, int, int) override {}
    void showCourseExtras() override {}
    void setWindowTitle (const juce::String&) override {}
    void resizeWindowBy (int, int) override {}
    void focusSearchField() override {}
    void controlUsed() override {}
    void setVideoFullScreen (bool) override {}
    bool isVideoFullScreen() const override { return false; }

    int layouts = 0;
};

/** A Core with one downloaded chapter "a" of a sample video, a movie panel and its transcript
    controls.
*/
class TranscriptControlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
        setenv ("TSY_AUDIO_OUTPUT", "null", 1);

        auto catalog = std::make_unique<Catalog>();
        ASSERT_TRUE (CatalogParser::parseCatalog (*catalog, *juce::parseXML ("<catalog userid='u1'><course id='c1' title='C'><lesson order='1'><chapter id='a' order='1' title='A' duration='6'/>"
                                                                             "<chapter id='b' order='2' title='B'/></lesson></course></catalog>"),
                                                  true));
        const auto folder = users.getChildFile ("u1").getChildFile ("a");
        ASSERT_TRUE (folder.createDirectory());
        ASSERT_TRUE (juce::File (TSY_SAMPLE_VIDEOS_DIR).getChildFile ("COMP-EN-0201.mp4").copyFileTo (LocalStorage::getVideoFile (folder, "a")));
        core.setUsersDirectory (users, juce::dontSendNotification);
        core.setCatalog (std::move (catalog));

        panel.getVideo().setBounds (0, 0, 480, 270);
        controls = std::make_unique<TranscriptControls> (core, panel, [this]
                                                         { ++relayouts; });
    }

    void TearDown() override
    {
        controls = nullptr;
        PreferencesManager::deleteInstance();
    }

    void keepTranscript (const juce::String& chapterId, const juce::String& text)
    {
        CatalogDocument document;
        ASSERT_TRUE (document.parse ("<catalog><course><lesson><chapter id='" + chapterId + "'><text>" + text + "</text></chapter></lesson></course></catalog>"));
        const auto newFile = home.getFolder().getChildFile ("transcripts.new");
        ASSERT_TRUE (TranscriptStore::build (document.getRoot(), newFile));
        ASSERT_TRUE (TranscriptStore::install (newFile, TranscriptStore::getFileBeside (core.getSearchDatabaseFile())));
    }

    // Destroyed last, once the panel is gone: the skin the panel was built from.
    struct SkinRelease
    {
        ~SkinRelease() { SharedRes::deleteInstance(); }
    } skinRelease;

    ScratchHome home;
    ScriptedPrompts prompts;
    juce::File users = home.getFolder().getChildFile ("movies/users");
    Core core { home.getUserDataFolder() };
    MovieArea area;
    MoviePanel panel { core, area };
    std::unique_ptr<TranscriptControls> controls;
    int relayouts = 0;
};
} // namespace

TEST_F (TranscriptControlsTest, TheKeysShowThePaneAndCaptionsThatFollowPlaybackAndSeek)
{
    keepTranscript ("a", "[00:00]uno due tre [00:02]quattro cinque sei (musica) [00:04]*ehm sette otto");
    auto& follower = controls->getFollower();
    auto& pane = follower.getPane();
    auto& overlay = follower.getCaptions();
    pane.setSize (TranscriptControls::transcriptWidth, 400);
    EXPECT_EQ (controls->getTranscriptWidth(), 0);

    panel.openChapter (0, 0, 0, false);
    ASSERT_TRUE (panel.getVideo().isMovieOpen());
    EXPECT_TRUE (controls->keyPressed (juce::KeyPress ('t')));
    EXPECT_EQ (controls->getTranscriptWidth(), TranscriptControls::transcriptWidth) << "the window makes room for the pane";
    EXPECT_EQ (relayouts, 1);
    EXPECT_TRUE (pane.isVisible());
    EXPECT_TRUE (controls->getTranscriptButton().getToggleState());
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                        { return pane.getList().getModel()->getNumRows() == 3; }))
        << "the open chapter's lines";

    panel.getVideo().setPosition (2.5);
    EXPECT_TRUE (MessagePump::runUntil ([&]
                                        { return pane.getSpokenLine() == 1; }))
        << "the pane follows the video";

    EXPECT_TRUE (controls->keyPressed (juce::KeyPress ('c')));
    EXPECT_TRUE (PreferencesManager::getInstance()->getCaptions());
    EXPECT_TRUE (MessagePump::runUntil ([&]
                                        { return overlay.getCaption() == "quattro cinque sei"; }));
    EXPECT_EQ (overlay.getBounds(), panel.getVideo().getLocalBounds()) << "over the whole video";
    EXPECT_EQ (overlay.getParentComponent(), &panel.getVideo());

    // Pictures of the video with its caption and of the pane, for people to look at.
    ASSERT_TRUE (MessagePump::runUntil ([&]
                                        { return panel.getVideo().getPosition() >= 2.5; }));
    for (const auto& [component, name] : { std::pair<juce::Component*, const char*> { &panel.getVideo(), "captions.png" }, { &pane, "transcript-pane.png" } })
    {
        juce::FileOutputStream out (juce::File (TSY_UI_TEST_OUTPUT_DIR).getChildFile (name));
        out.setPosition (0);
        out.truncate();
        EXPECT_TRUE (juce::PNGImageFormat().writeImageToStream (component->createComponentSnapshot (component->getLocalBounds()), out));
    }

    // A click on the last line's time plays from where a search hit on its first word is placed.
    const auto seek = pane.getSeekTimeAt (2, { 2, 5 });
    ASSERT_EQ (seek, std::optional<double> (1.0));
    pane.onSeek (*seek);
    EXPECT_NEAR (panel.getVideo().getPosition(), 1.0, 0.05);
    EXPECT_EQ (pane.getSpokenLine(), 0);
    EXPECT_EQ (overlay.getCaption(), "uno due tre");

    controls->getCaptionsButton().triggerClick();
    EXPECT_TRUE (MessagePump::runUntil ([&]
                                        { return ! follower.areCaptionsShown(); }))
        << "the video's button does the same";
    EXPECT_FALSE (PreferencesManager::getInstance()->getCaptions());
    EXPECT_EQ (overlay.getCaption(), "");
    EXPECT_TRUE (controls->keyPressed (juce::KeyPress ('t')));
    EXPECT_EQ (controls->getTranscriptWidth(), 0);
    EXPECT_FALSE (pane.isVisible());
    EXPECT_FALSE (controls->keyPressed (juce::KeyPress ('x')));
}

TEST_F (TranscriptControlsTest, ChaptersWithoutTranscriptsSaySoAndTheCaptionsPreferenceIsKept)
{
    PreferencesManager::getInstance()->setCaptions (true);
    controls = std::make_unique<TranscriptControls> (core, panel, [] {});
    EXPECT_TRUE (controls->getFollower().areCaptionsShown()) << "the preference is read at start";
    EXPECT_TRUE (controls->getCaptionsButton().getToggleState());

    panel.openChapter (0, 0, 0, false);
    EXPECT_TRUE (controls->keyPressed (juce::KeyPress ('t')));
    auto& pane = controls->getFollower().getPane();
    EXPECT_TRUE (MessagePump::runUntil ([&]
                                        { return ! pane.getList().isVisible(); }))
        << "no transcripts kept: the pane shows its message";
    EXPECT_EQ (pane.getList().getModel()->getNumRows(), 0);
    EXPECT_EQ (controls->getFollower().getCaptions().getCaption(), "");
}
