#include "app/SharedRes.h"
#include "kit/ComponentPaths.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"
#include "ui/MainWindowContent.h"
#include "ui/MainWindowLayout.h"

#include <gtest/gtest.h>

namespace
{
juce::Rectangle<int> boundsOf (const std::vector<MainWindowLayout::Placement>& placements, const juce::String& path)
{
    for (const auto& p : placements)
        if (p.path == path)
            return p.bounds;

    ADD_FAILURE() << "no placement for " << path;
    return {};
}

MainWindowLayout::State state (int width, int height, int leftWidth, bool leftVisible)
{
    MainWindowLayout::State s;
    s.width = width;
    s.height = height;
    s.leftPanelWidth = leftWidth;
    s.leftPanelVisible = leftVisible;
    return s;
}
} // namespace

TEST (MainWindowLayout, PanelsAndBottomBar)
{
    const auto placements = MainWindowLayout::compute (state (1200, 778, 300, true));

    for (const auto& panel : ComponentPaths::rightHandPanels)
        EXPECT_EQ (boundsOf (placements, panel), juce::Rectangle<int> (307, 0, 893, 723)) << panel;

    EXPECT_EQ (boundsOf (placements, ComponentPaths::bottomPanel), juce::Rectangle<int> (0, 723, 1200, 55));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::leftPanel), juce::Rectangle<int> (0, 0, 300, 723));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::resizeBar), juce::Rectangle<int> (300, 0, 7, 723));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::searchPanel), juce::Rectangle<int> (48, 0, 220, 55));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::movieControlsPanel), juce::Rectangle<int> (268, 0, 932, 55));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::extrasControlsPanel), juce::Rectangle<int> (268, 0, 932, 55));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::webBrowser), juce::Rectangle<int>()) << "no browser showing";
}

TEST (MainWindowLayout, HiddenLeftPanelMovesEverythingLeft)
{
    const auto placements = MainWindowLayout::compute (state (1200, 778, 300, false));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::moviePanel), juce::Rectangle<int> (0, 0, 1200, 723));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::leftPanel), juce::Rectangle<int> (0, 0, 300, 723)) << "laid out even when hidden";
    EXPECT_EQ (boundsOf (placements, ComponentPaths::movieControlsPanel).getX(), 48);
    EXPECT_EQ (boundsOf (placements, ComponentPaths::extrasControlsPanel), juce::Rectangle<int> (48, 0, 1152, 55));
}

TEST (MainWindowLayout, MovieSize)
{
    EXPECT_EQ (MainWindowLayout::getMovieBounds (893, 723, { 640, 480 }), juce::Rectangle<int> (0, 26, 893, 670));
    EXPECT_EQ (MainWindowLayout::getMovieBounds (1000, 500, { 640, 480 }), juce::Rectangle<int> (166, 0, 667, 500));
    EXPECT_EQ (MainWindowLayout::getMovieBounds (893, 723, {}), juce::Rectangle<int> (0, 0, 893, 723)) << "no open movie";

    // Halves round to even: 5 * 3 / 2 = 7.5 -> 8, 7 * 3 / 2 = 10.5 -> 10.
    EXPECT_EQ (MainWindowLayout::getMovieBounds (100, 5, { 3, 2 }).getWidth(), 8);
    EXPECT_EQ (MainWindowLayout::getMovieBounds (100, 7, { 3, 2 }).getWidth(), 10);
    EXPECT_EQ (MainWindowLayout::getMovieBounds (100, 7, { 3, 2 }).getX(), 45) << "(100 - 10) / 2";

    auto showing = state (1200, 778, 300, true);
    showing.movieSize = { 0, 0, 640, 480 };
    EXPECT_EQ (boundsOf (MainWindowLayout::compute (showing), ComponentPaths::movieComponent), juce::Rectangle<int> (0, 26, 0, 0)) << "not showing";
    showing.movieShowing = true;
    EXPECT_EQ (boundsOf (MainWindowLayout::compute (showing), ComponentPaths::movieComponent), juce::Rectangle<int> (0, 26, 893, 670));
}

TEST (MainWindowLayout, VideoAloneWithTheBarOverItsBottomOrJustBelowTheEdge)
{
    auto s = state (1280, 800, 300, true);
    s.movieSize = { 0, 0, 640, 360 };
    s.movieShowing = true;
    const auto windowed = MainWindowLayout::compute (s);

    s.videoFullScreen = true;
    const auto alone = MainWindowLayout::compute (s);
    EXPECT_EQ (boundsOf (alone, ComponentPaths::moviePanel), juce::Rectangle<int> (0, 0, 1280, 800));
    EXPECT_EQ (boundsOf (alone, ComponentPaths::movieComponent), juce::Rectangle<int> (0, 40, 1280, 720)) << "the picture fitted to the display";
    EXPECT_EQ (boundsOf (alone, ComponentPaths::bottomPanel), juce::Rectangle<int> (0, 745, 1280, 55));
    EXPECT_EQ (boundsOf (alone, ComponentPaths::movieControlsPanel), juce::Rectangle<int> (0, 0, 1280, 55)) << "the bar from the left edge";

    // What the window hides keeps its place, for the way back.
    for (const auto* path : { ComponentPaths::leftPanel, ComponentPaths::treeView, ComponentPaths::resizeBar, ComponentPaths::searchPanel,
                              ComponentPaths::downloadPanel, ComponentPaths::webPanel })
        EXPECT_EQ (boundsOf (alone, path), boundsOf (windowed, path)) << path;

    s.fullScreenBarShown = false;
    const auto still = MainWindowLayout::compute (s);
    EXPECT_EQ (boundsOf (still, ComponentPaths::bottomPanel), juce::Rectangle<int> (0, 800, 1280, 55)) << "just below the edge";
    EXPECT_EQ (boundsOf (still, ComponentPaths::movieComponent), juce::Rectangle<int> (0, 40, 1280, 720)) << "the picture does not move";

    s.videoFullScreen = false;
    EXPECT_EQ (boundsOf (MainWindowLayout::compute (s), ComponentPaths::bottomPanel), juce::Rectangle<int> (0, 745, 1280, 55))
        << "a windowed bar is never moved away";
}

TEST (MainWindowLayout, Preferences)
{
    const auto preferences = MainWindowLayout::getPreferencesControls (900);
    EXPECT_EQ (boundsOf (preferences, ComponentPaths::moviesRootDirectoryComponent), juce::Rectangle<int> (240, 135, 500, 20));
    EXPECT_EQ (boundsOf (preferences, ComponentPaths::resetMoviesRootToDefaultButton), juce::Rectangle<int> (745, 135, 150, 20));
    EXPECT_EQ (boundsOf (preferences, ComponentPaths::loggingCombo), juce::Rectangle<int> (240, 320, 210, 20));
}

TEST (MainWindowLayout, EveryPlacedPathIsBuilt)
{
    struct Listeners final : ResizeBar::Target
    {
        void setLeftPanelVisible (bool) override {}
        void setLeftPanelWidth (int) override {}
        int getLeftPanelWidth() const override { return 291; }
        bool isLeftPanelVisible() const override { return true; }
    } listeners;

    const ScratchHome home;
    const ScriptedPrompts prompts;
    juce::Component video, movieControls, preferences, search, downloads, extras;
    qo::ComponentContainer content ("content");
    MainWindowContent::build (content, { listeners }, { video, movieControls, preferences, search, downloads, extras }, new juce::Component());

    for (const auto& placement : MainWindowLayout::compute (state (1200, 778, 300, true)))
        EXPECT_NE (content.getComponent (placement.path), nullptr) << placement.path;

    SharedRes::deleteInstance();
}

TEST (MainWindowLayout, TheTranscriptPaneTakesTheRightOfTheMovieArea)
{
    auto s = state (1200, 778, 300, true);
    s.movieSize = { 0, 0, 640, 480 };
    s.movieShowing = true;
    s.transcriptWidth = 360;
    const auto placements = MainWindowLayout::compute (s);
    EXPECT_EQ (boundsOf (placements, ComponentPaths::transcriptPane), juce::Rectangle<int> (893 - 360, 0, 360, 723));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::movieComponent), MainWindowLayout::getMovieBounds (893 - 360, 723, { 640, 480 }));
    EXPECT_EQ (boundsOf (placements, ComponentPaths::moviePanel), juce::Rectangle<int> (307, 0, 893, 723)) << "the panel itself keeps its place";

    s.width = 700;
    EXPECT_EQ (boundsOf (MainWindowLayout::compute (s), ComponentPaths::transcriptPane).getWidth(), (700 - 307) / 2) << "never more than half the area";

    s.transcriptWidth = 0;
    for (const auto& placement : MainWindowLayout::compute (s))
        EXPECT_NE (placement.path, juce::String (ComponentPaths::transcriptPane)) << "hidden, the pane is not placed";

    // A window that is being made has no width yet.
    s.transcriptWidth = 360;
    s.width = 0;
    for (const auto& placement : MainWindowLayout::compute (s))
        EXPECT_NE (placement.path, juce::String (ComponentPaths::transcriptPane)) << "no room, no pane";
}
