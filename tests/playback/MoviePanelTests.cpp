#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/LocalStorage.h"
#include "model/Notifications.h"
#include "playback/MarkerComponent.h"
#include "playback/MoviePanel.h"
#include "playback/PlaybackRules.h"
#include "playback/ProSlider.h"
#include "playback/VideoComponent.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"
#include "tests/playback/PlaybackTestSupport.h"

namespace
{
/** The main window as the movie panel sees it: the right-hand area holding the video, laying
    the bar out the way the window does, and a record of what it was asked.
*/
struct FakeWindow final : MoviePanel::Host
{
    void showBlankPicture() override
    {
        if (panel != nullptr)
            panel->close ("TSY-Player 1.36");

        movieArea.setVisible (false);
    }

    void hideImagePanel() override {}
    void showMovieArea() override { movieArea.setVisible (true); }

    void layoutContent() override
    {
        if (panel != nullptr)
        {
            panel->setBounds (268, 723, 932, 55);
            panel->rebuildMarkers();
        }
    }

    void selectChapterInTree (int course, int lesson, int chapter) override { selected = { course, lesson, chapter }; }
    void showCourseExtras() override { ++extrasShown; }
    void setWindowTitle (const juce::String& newTitle) override { title = newTitle; }
    void resizeWindowBy (int width, int height) override { resizedBy = { width, height }; }
    void focusSearchField() override { ++searchFocused; }
    void controlUsed() override { ++controlsUsed; }

    juce::Component movieArea { "moviePanel" };
    MoviePanel* panel = nullptr;
    PlaybackRules::Place selected;
    int extrasShown = 0, searchFocused = 0, controlsUsed = 0;
    juce::Point<int> resizedBy;
    juce::String title;
};

/** Course 0: lesson 0 with "a" (6 s) and "b" (never downloaded), lesson 1 with "c" (5 s).
    Course 1: only "d" (5 s).
*/
const char* const catalogText = R"(<catalog userid="u1" baseurl="http://127.0.0.1:1/">
  <course id="c1" title="Compositing">
    <lesson title="Nodes" order="2">
      <chapter id="a" order="1" title="Merge" duration="6"/>
      <chapter id="b" order="2" title="Keying" duration="5"/>
    </lesson>
    <lesson title="Colour" order="3">
      <chapter id="c" order="4" title="Grading" duration="5"/>
    </lesson>
  </course>
  <course id="c2" title="Lighting">
    <lesson title="Lamps" order="1"><chapter id="d" order="1" title="Sun" duration="5"/></lesson>
  </course>
</catalog>)";

class MoviePanelTest : public PlaybackTest
{
protected:
    void SetUp() override
    {
        ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";

        window.movieArea.setBounds (307, 0, 893, 723);
        window.movieArea.addAndMakeVisible (panel.getVideo());
        window.panel = &panel;
        window.layoutContent();

        auto catalog = std::make_unique<Catalog>();
        ASSERT_TRUE (CatalogParser::parseCatalog (*catalog, *juce::parseXML (catalogText), true));
        core.setUsersDirectory (users, juce::dontSendNotification);
        core.setCatalog (std::move (catalog));

        download ("a", sampleVideo ("COMP-EN-0201.mp4"));
        download ("c", sampleVideo ("COMP-EN-0202.mp4"));
        download ("d", sampleVideo ("COMP-EN-0101.mp4"));
    }

    /** Files a video as a finished download leaves it, and reloads the local state. */
    void download (const juce::String& chapterId, const juce::File& source)
    {
        const auto folder = users.getChildFile ("u1").getChildFile (chapterId);
        ASSERT_TRUE (folder.createDirectory());
        ASSERT_TRUE (source.copyFileTo (LocalStorage::getVideoFile (folder, chapterId)));
        core.setUsersDirectory (users.getSiblingFile ("elsewhere"), juce::dontSendNotification);
        core.setUsersDirectory (users, juce::dontSendNotification);
    }

    VideoComponent& video() { return panel.getVideo(); }
    juce::Slider& slider() { return child<juce::Slider> ("positionSlider"); }
    juce::String timeText() { return child<juce::Label> ("timeLabel").getText(); }

    /** One of the bar's own controls, by its name. */
    template <typename ComponentType>
    ComponentType& child (const juce::String& name)
    {
        for (auto* c : panel.getChildren())
            if (auto* typed = dynamic_cast<ComponentType*> (c); typed != nullptr && c->getName() == name)
                return *typed;

        ADD_FAILURE() << "no control " << name;
        throw std::runtime_error ("missing control");
    }

    /** Opens a chapter and waits for its video to play past a time. */
    void playPast (int course, int lesson, int chapter, double seconds)
    {
        panel.openChapter (course, lesson, chapter, true);
        ASSERT_TRUE (video().isPlaying());
        ASSERT_TRUE (MessagePump::runUntil ([&] { return video().getPosition() > seconds; }));
    }

    ScratchHome home;
    ScriptedPrompts prompts;
    juce::File users = home.getFolder().getChildFile ("movies/users");
    Core core { home.getUserDataFolder() };
    FakeWindow window;
    MoviePanel panel { core, window };
};
} // namespace

TEST_F (MoviePanelTest, OpeningShowsThePausedChapterAndOnlyPlayingMarksItSeen)
{
    core.setYetToBeSeen ("a", true, juce::dontSendNotification);
    panel.openChapter (0, 0, 0, false);
    EXPECT_EQ (window.selected, (PlaybackRules::Place { 0, 0, 0 }));
    EXPECT_FALSE (video().isPlaying());
    EXPECT_EQ (window.title, "Compositing, 2.1 - Merge") << "the lesson's order, not its index";
    EXPECT_TRUE (core.isYetToBeSeen ("a"));

    panel.togglePlayPause();
    EXPECT_FALSE (core.isYetToBeSeen ("a"));
    ASSERT_TRUE (MessagePump::runUntil ([&] { return video().getPosition() > 0.5; }));
    panel.togglePlayPause();
    const auto held = video().getPosition();
    EXPECT_TRUE (holdsFor (300, [&] { return video().getPosition() == held; }));

    // A chapter not on disk shows the course's extras instead.
    panel.openChapter (0, 0, 1, false);
    EXPECT_EQ (window.extrasShown, 1);
    EXPECT_EQ (panel.getCurrentChapterId(), "a") << "the movie panel was not touched";
}

TEST_F (MoviePanelTest, TheControlsAndTheVideoFollowEachOther)
{
    panel.openChapter (0, 0, 0, false);
    video().setPosition (3.0);
    panel.refreshControls();
    EXPECT_EQ (timeText(), "00:03 / 00:06");
    EXPECT_DOUBLE_EQ (slider().getValue(), 0.5);

    panel.stepBack();
    EXPECT_EQ (video().getPosition(), 0.0) << "not below the start";
    video().setPosition (3.0);
    panel.stepForward();
    EXPECT_EQ (video().getPosition(), 6.0) << "not past the end";

    // Dragging while playing silences the video, which follows the slider and resumes at the release.
    playPast (0, 0, 0, 0.3);
    panel.positionDragStarted();
    EXPECT_FALSE (video().isPlaying());
    slider().setValue (0.5, juce::dontSendNotification);
    panel.refreshControls();
    EXPECT_EQ (video().getPosition(), 3.0);
    panel.positionDragEnded();
    EXPECT_TRUE (video().isPlaying());
    EXPECT_GE (video().getPosition(), 3.0);

    panel.togglePlayPause();
    panel.positionDragStarted();
    slider().setValue (0.25, juce::dontSendNotification);
    panel.positionDragEnded();
    EXPECT_FALSE (video().isPlaying()) << "dragging while paused leaves it paused";
    EXPECT_EQ (video().getPosition(), 1.5);
}

TEST_F (MoviePanelTest, ChapterStepsSkipMissingChaptersAndWrapRoundTheCourse)
{
    panel.openChapter (0, 1, 0, false);
    video().setPosition (4.9);
    panel.stepChapter (false);
    EXPECT_EQ (panel.getCurrentChapterId(), "a") << "back to the previous downloaded chapter, over the missing one";

    video().setPosition (5.1);
    panel.stepChapter (false);
    EXPECT_EQ (panel.getCurrentChapterId(), "a");
    EXPECT_EQ (video().getPosition(), 0.0) << "after five seconds the first press rewinds";

    panel.stepChapter (true);
    EXPECT_EQ (panel.getCurrentChapterId(), "c");
    panel.stepChapter (true);
    EXPECT_EQ (panel.getCurrentChapterId(), "a") << "wrapping round the course";
}

TEST_F (MoviePanelTest, AChapterAloneInItsCourseComesBackPlayingWhereItWasAndStopsAtTheEnd)
{
    playPast (1, 0, 0, 1.0);
    panel.stepChapter (true);
    EXPECT_EQ (panel.getCurrentChapterId(), "d");
    EXPECT_TRUE (video().isPlaying()) << "a playing video goes on playing";
    EXPECT_GT (video().getPosition(), 1.0);

    panel.togglePlayPause();
    panel.stepChapter (true);
    EXPECT_FALSE (video().isPlaying());
    EXPECT_EQ (video().getPosition(), 0.0) << "a paused one is rewound";

    video().setPosition (4.5);
    panel.startPlaying();
    ASSERT_TRUE (MessagePump::runUntil ([&] { return ! video().isPlaying(); }));
    EXPECT_EQ (panel.getCurrentChapterId(), "d") << "no next chapter starts";
    EXPECT_NEAR (video().getPosition(), 5.0, 0.1);

    // With nothing downloaded left, the walk ends without opening anything.
    core.removeChapter ("d");
    panel.stepChapter (true);
    EXPECT_EQ (panel.getCurrentChapterId(), "d");
}

TEST_F (MoviePanelTest, AVideoGoneAfterTheLocalStateWasReadIsReported)
{
    panel.openChapter (0, 1, 0, false);
    users.getChildFile ("u1/c/c.bin").deleteFile();
    panel.close ("TSY-Player 1.36");
    panel.showChapter ("c", false);
    ASSERT_FALSE (prompts.shown.empty());
    EXPECT_EQ (prompts.shown.back().title, "Error");
    EXPECT_EQ (prompts.shown.back().text, "The video file is missing");
    EXPECT_EQ (prompts.shown.back().icon, Prompts::Icon::warning);
    EXPECT_FALSE (video().isMovieOpen());
    panel.refreshControls();
    EXPECT_EQ (timeText(), "00:00 / 00:00");
}

TEST_F (MoviePanelTest, NewMarkersProposeTheFirstFreeNumber)
{
    panel.openChapter (0, 0, 0, false);
    video().setPosition (1.0);

    for (int i = 0; i < 3; ++i)
    {
        prompts.answerNextText ("mark " + juce::String (i));
        panel.addMarker();
    }

    EXPECT_EQ (prompts.offeredTexts, juce::StringArray ({ "Marker 1", "Marker 2", "Marker 3" }));
    EXPECT_EQ (core.getMarkerTime ("a", 2), 1.0);

    core.removeMarker ("a", 0);
    prompts.answerNextText (std::nullopt);
    panel.addMarker();
    EXPECT_EQ (prompts.offeredTexts[3], "Marker 3");
    EXPECT_EQ (core.getNumMarkers ("a"), 2) << "Cancel adds nothing";
}

TEST_F (MoviePanelTest, PlusAddsAMarkerWhateverTheModifiersTypeIt)
{
    panel.openChapter (0, 0, 0, false);

    // Without Shift (Italian layout), with Shift (US, where it shares the "=" key), on the pad.
    const juce::KeyPress plain ('+', {}, '+'), shifted ('+', juce::ModifierKeys::shiftModifier, '+'),
        pad (juce::KeyPress::numberPadAdd, {}, '+');

    for (const auto& key : { plain, shifted, pad })
    {
        prompts.answerNextText (juce::String ("plus"));
        EXPECT_TRUE (panel.keyPressed (key)) << key.getTextDescription();
    }

    EXPECT_EQ (core.getNumMarkers ("a"), 3);
    EXPECT_FALSE (panel.keyPressed (juce::KeyPress ('=', juce::ModifierKeys::shiftModifier, '=')));
}

TEST_F (MoviePanelTest, TheMarkerKeysSkipWhatIsJustBehindOrAtThePosition)
{
    core.addMarker ("a", "one", 1.0);
    core.addMarker ("a", "four", 4.0);
    panel.openChapter (0, 0, 0, false);

    const juce::KeyPress i ('i'), o ('o');
    video().setPosition (4.5);
    EXPECT_TRUE (panel.keyPressed (i));
    EXPECT_EQ (video().getPosition(), 1.0) << "the marker within the last second is passed over";

    video().setPosition (2.0);
    EXPECT_TRUE (panel.keyPressed (o));
    EXPECT_EQ (video().getPosition(), 4.0);
    EXPECT_TRUE (panel.keyPressed (o));
    EXPECT_EQ (video().getPosition(), 4.0) << "nothing after the last marker";
}

TEST_F (MoviePanelTest, ClickingATriangleSeeksAndDraggingAMarkerAwayDeletesIt)
{
    core.addMarker ("a", "first", 1.0);
    core.addMarker ("a", "second", 4.5);
    core.addSearchHit ("a", 3.0);
    panel.openChapter (0, 0, 0, false);
    window.layoutContent();

    ASSERT_EQ (panel.getMarkerComponents().size(), 2);
    ASSERT_EQ (panel.getOccurrenceComponents().size(), 1);
    auto* second = panel.getMarkerComponents()[1];
    auto* occurrence = panel.getOccurrenceComponents()[0];

    // Press, move a little, release inside the 14 x 12 box: a click, which seeks and plays.
    const auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto now = juce::Time::getCurrentTime();
    const auto event = [&] (MarkerComponent& target, juce::Point<float> at, juce::Point<float> downAt, bool dragged) {
        return juce::MouseEvent (source, at, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                 &target, &target, now, downAt, now, 1, dragged);
    };

    second->mouseUp (event (*second, { 9.0f, 6.0f }, { 7.0f, 6.0f }, true));
    EXPECT_TRUE (video().isPlaying());
    EXPECT_GE (video().getPosition(), 4.5);
    EXPECT_EQ (core.getNumMarkers ("a"), 2);

    occurrence->mouseUp (event (*occurrence, { 7.0f, 6.0f }, { 7.0f, 6.0f }, false));
    EXPECT_LT (video().getPosition(), 4.5) << "an occurrence seeks to its hit";

    // Released outside the box after a drag: the marker goes, without a question.
    second->mouseUp (event (*second, { 7.0f, 40.0f }, { 7.0f, 6.0f }, true));
    EXPECT_EQ (core.getMarkerText ("a", 0), "first");
    EXPECT_EQ (core.getNumMarkers ("a"), 1);
    EXPECT_TRUE (prompts.shown.empty());

    occurrence->mouseUp (event (*occurrence, { 7.0f, 40.0f }, { 7.0f, 6.0f }, true));
    EXPECT_EQ (core.getNumSearchHits ("a"), 1) << "occurrences cannot be dragged away";

    window.layoutContent();
    EXPECT_EQ (panel.getMarkerComponents().size(), 1) << "the deleted marker's triangle went";
}

TEST_F (MoviePanelTest, TheBarLaysItsControlsOutAndKeepsTheirNames)
{
    // A bar 932 pixels wide, as in a 1200-pixel window with the left panel showing.
    EXPECT_EQ (panel.getName(), "movieControlsPanel");
    EXPECT_EQ (child<juce::Slider> ("positionSlider").getBounds(), juce::Rectangle<int> (325, 19, 932 - 534, 16));
    EXPECT_EQ (child<juce::Label> ("timeLabel").getBounds(), juce::Rectangle<int> (932 - 204, 17, 80, 20));
    EXPECT_EQ (child<juce::Slider> ("volumeSlider").getBounds(), juce::Rectangle<int> (27, 19, 70, 17));
    EXPECT_EQ (child<juce::Button> ("originalSizeButton").getBounds(), juce::Rectangle<int> (932 - 45, 13, 28, 28));
    EXPECT_EQ (child<juce::Button> ("favoriteToggleButton").getBounds(), juce::Rectangle<int> (932 - 82, 13, 28, 28));
    EXPECT_EQ (child<juce::Button> ("addMarkerButton").getBounds(), juce::Rectangle<int> (932 - 120, 13, 28, 28));

    const juce::StringArray stacked { "minVolumeButton", "volumeSlider", "maxVolumeButton", "playPauseButton", "nextButton", "forwardButton", "prevButton",
                                      "backButton", "addMarkerButton", "originalSizeButton", "favoriteToggleButton", "positionSlider", "timeLabel" };
    juce::StringArray names;

    for (auto* c : panel.getChildren())
        names.add (c->getName());

    EXPECT_EQ (names, stacked) << "the order the window used to stack them in";
}

TEST_F (MoviePanelTest, TheBarsButtonsAndSlidersDriveThePanelOnlyWhileShowing)
{
    juce::Component top ("top");
    top.setBounds (0, 0, 1200, 778);
    top.addAndMakeVisible (panel);
    top.addToDesktop (0);
    top.setVisible (true);

    panel.openChapter (0, 0, 0, false);
    child<juce::Button> ("playPauseButton").triggerClick();
    ASSERT_TRUE (MessagePump::runUntil ([&] { return video().isPlaying(); }));
    EXPECT_EQ (window.controlsUsed, 1) << "the focus goes back to the window";

    child<juce::Button> ("minVolumeButton").triggerClick();
    ASSERT_TRUE (MessagePump::runUntil ([&] { return window.controlsUsed == 2; }));
    EXPECT_EQ (panel.getVolume(), 0.0f);
    EXPECT_EQ (child<juce::Slider> ("volumeSlider").getValue(), 0.0) << "the slider shows the volume";

    child<juce::Slider> ("volumeSlider").setValue (0.5, juce::sendNotificationSync);
    EXPECT_EQ (panel.getVolume(), 0.5f);

    // A click that reaches the bar while it is hidden does nothing.
    top.setVisible (false);
    child<juce::Button> ("playPauseButton").triggerClick();
    ASSERT_TRUE (MessagePump::deliverPending());
    EXPECT_TRUE (video().isPlaying());
    EXPECT_EQ (window.controlsUsed, 2);

    top.removeChildComponent (&panel);
}

TEST_F (MoviePanelTest, TheTrianglesFollowCoresBroadcastsWithoutTheWindow)
{
    panel.openChapter (0, 0, 0, false);
    ASSERT_EQ (panel.getMarkerComponents().size(), 0);

    core.addMarker ("a", "first", 1.0);
    ASSERT_TRUE (MessagePump::runUntil ([&] { return panel.getMarkerComponents().size() == 1; }));
    EXPECT_EQ (panel.getMarkerComponents()[0]->getParentComponent(), &panel);
    EXPECT_EQ (panel.getMarkerComponents()[0]->getName(), "markerComponent;0");
    EXPECT_EQ (panel.getMarkerComponents()[0]->getY(), child<juce::Slider> ("positionSlider").getBottom());

    core.addSearchHit ("a", 3.0);
    core.broadcast (Notifications::searchChanged);
    ASSERT_TRUE (MessagePump::runUntil ([&] { return panel.getOccurrenceComponents().size() == 1; }));

    core.removeMarker ("a", 0);
    ASSERT_TRUE (MessagePump::runUntil ([&] { return panel.getMarkerComponents().isEmpty(); }));
}

TEST_F (MoviePanelTest, TheSearchKeyAndOriginalSizeGoToTheWindow)
{
    EXPECT_TRUE (panel.keyPressed (juce::KeyPress ('s')));
    EXPECT_EQ (window.searchFocused, 1);

    panel.openChapter (0, 0, 0, false);
    panel.showOriginalSize();
    const auto size = panel.getMovieSize();
    ASSERT_FALSE (size.isEmpty());
    EXPECT_EQ (window.resizedBy, juce::Point<int> (size.getWidth() - 893, size.getHeight() - 723)) << "the area holding the video takes its size";
}
