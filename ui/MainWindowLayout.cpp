#include "ui/MainWindowLayout.h"

#include <cmath>

namespace
{
int roundHalfToEven (double value)
{
    return (int) std::nearbyint (value);
}
} // namespace

juce::Rectangle<int> MainWindowLayout::getMovieBounds (int areaWidth, int areaHeight, juce::Rectangle<int> movieSize)
{
    auto width = areaWidth;
    auto height = areaHeight;

    if (! movieSize.isEmpty() && areaHeight > 0)
    {
        const auto movieRatio = movieSize.getWidth() / (double) movieSize.getHeight();

        if (areaWidth / (double) areaHeight > movieRatio)
            width = roundHalfToEven (areaHeight * movieRatio);
        else
            height = roundHalfToEven (areaWidth / movieRatio);
    }

    return { (areaWidth - width) / 2, (areaHeight - height) / 2, width, height };
}

std::vector<MainWindowLayout::Placement> MainWindowLayout::getPlaybackControls (int p)
{
    return {
        { "minVolumeButton", { 5, 19, 17, 17 } },
        { "volumeSlider", { 27, 19, 70, 17 } },
        { "maxVolumeButton", { 97, 19, 17, 17 } },
        { "prevButton", { 129, 13, 28, 28 } },
        { "backButton", { 167, 13, 28, 28 } },
        { "playPauseButton", { 205, 13, 28, 28 } },
        { "forwardButton", { 244, 13, 28, 28 } },
        { "nextButton", { 282, 13, 28, 28 } },
        { "originalSizeButton", { p - 45, 13, 28, 28 } },
        { "favoriteToggleButton", { p - 82, 13, 28, 28 } },
        { "addMarkerButton", { p - 120, 13, 28, 28 } },
        { "timeLabel", { p - 204, 17, 80, 20 } },
        { "positionSlider", { 325, 19, p - 534, 16 } },
    };
}

std::vector<MainWindowLayout::Placement> MainWindowLayout::getPreferencesControls (int r)
{
    // Sections at x 5, each row 15 pixels under its heading, the next section 35 pixels under
    // the previous row; the second column starts 30 pixels after the first column's width.
    constexpr int columnWidth = 210;
    constexpr int secondColumn = columnWidth + 30;

    return {
        { "languageSectionLabel", { 5, 10, columnWidth, 20 } },
        { "coursesLanguageLabel", { 25, 45, columnWidth, 20 } },
        { "coursesLanguageCombo", { secondColumn, 45, columnWidth, 20 } },
        { "storageSectionLabel", { 5, 100, columnWidth, 20 } },
        { "moviesRootDirectoryLabel", { 25, 135, columnWidth, 20 } },
        { "moviesRootDirectoryComponent", { secondColumn, 135, r - 400, 20 } },
        { "resetMoviesRootToDefaultButton", { r - 155, 135, 150, 20 } },
        { "backupSectionLabel", { 5, 190, columnWidth, 20 } },
        { "backupButton", { 25, 225, columnWidth, 25 } },
        { "restoreButton", { secondColumn, 225, columnWidth, 25 } },
        { "loggingSectionLabel", { 5, 285, columnWidth, 20 } },
        { "loggingLabel", { 25, 320, columnWidth, 20 } },
        { "loggingCombo", { secondColumn, 320, columnWidth, 20 } },
    };
}

std::vector<MainWindowLayout::Placement> MainWindowLayout::compute (const State& s)
{
    const auto w = s.width;
    const auto a = s.height - bottomBarHeight;
    const auto l = s.leftPanelWidth;
    const auto x = s.leftPanelVisible ? l + resizeBarWidth : 0;
    const auto r = w - x;
    const juce::Rectangle<int> right (x, 0, r, a);

    std::vector<Placement> placements {
        { "leftPanel", { 0, 0, l, a } },
        { "leftPanel/treeView", { 0, 0, l, a } },
        { "resizeBar", { l, 0, resizeBarWidth, a } },
        { "moviePanel", right },
        { "webPanel", right },
        { "imagePanel", right },
        { "messagePanel", right },
        { "preferencesPanel", right },
        { "downloadPanel", right },
        { "downloadPanel/downloadViewport", { 0, 0, r, a - 55 } },
        { "downloadPanel/clearCompletedDownloadsButton", { 5, a - 30, 120, 25 } },
        { "bottomPanel", { 0, a, w, bottomBarHeight } },
        { "bottomPanel/toggleLeftPanelButton", { 10, 13, 28, 28 } },
        { "bottomPanel/searchPanel", { 48, 0, 220, bottomBarHeight } },
        { "bottomPanel/searchPanel/searchEditor", { 0, 16, 150, 22 } },
        { "bottomPanel/searchPanel/clearSearchButton", { 128, 16, 22, 22 } },
        { "bottomPanel/searchPanel/searchResultLabel", { 150, 16, 70, 22 } },
    };

    const auto movie = getMovieBounds (r, a, s.movieSize);
    placements.push_back ({ "moviePanel/", s.movieShowing ? movie : movie.withSize (0, 0) });
    placements.push_back ({ "webPanel/", s.webShowing ? juce::Rectangle<int> (0, 0, r, a) : juce::Rectangle<int>() });

    const auto b = getControlsLeft (s.leftPanelVisible);
    const auto p = w - b;
    placements.push_back ({ "bottomPanel/movieControlsPanel", { b, 0, p, bottomBarHeight } });
    placements.push_back ({ "bottomPanel/extrasControlsPanel", { b, 0, p, bottomBarHeight } });

    for (const auto& control : getPlaybackControls (p))
        placements.push_back ({ "bottomPanel/movieControlsPanel/" + control.path, control.bounds });

    placements.push_back ({ "bottomPanel/extrasControlsPanel/coverButton", { p - 82, 15, 24, 24 } });
    placements.push_back ({ "bottomPanel/extrasControlsPanel/creditsButton", { p - 59, 15, 24, 24 } });
    placements.push_back ({ "bottomPanel/extrasControlsPanel/partnersButton", { p - 36, 15, 24, 24 } });

    for (const auto& control : getPreferencesControls (r))
        placements.push_back ({ "preferencesPanel/" + control.path, control.bounds });

    return placements;
}
