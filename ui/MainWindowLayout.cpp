#include "ui/MainWindowLayout.h"

#include "kit/ComponentPaths.h"

#include <cmath>

namespace
{
int roundHalfToEven (double value)
{
    return (int) std::nearbyint (value);
}
} // namespace

juce::Rectangle<int> MainWindowLayout::getStartupBounds (juce::Rectangle<int> userArea, int storedWidth, int storedHeight)
{
    // A stored size below the window's minimum (a damaged file, or one edited by hand) would give
    // a window too small to reach its own close button; the screen still wins over the minimum.
    const auto clamp = [] (int stored, int minimum, int available) { return juce::jlimit (juce::jmin (minimum, available), available, stored); };
    return { clamp (storedWidth, minimumWidth, userArea.getWidth()), clamp (storedHeight, minimumHeight, userArea.getHeight()) };
}

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

std::vector<MainWindowLayout::Placement> MainWindowLayout::getPreferencesControls (int r)
{
    // Sections at x 5, each row 15 pixels under its heading, the next section 35 pixels under
    // the previous row; the second column starts 30 pixels after the first column's width.
    constexpr int columnWidth = 210;
    constexpr int secondColumn = columnWidth + 30;

    return {
        { ComponentPaths::languageSectionLabel, { 5, 10, columnWidth, 20 } },
        { ComponentPaths::coursesLanguageLabel, { 25, 45, columnWidth, 20 } },
        { ComponentPaths::coursesLanguageCombo, { secondColumn, 45, columnWidth, 20 } },
        { ComponentPaths::storageSectionLabel, { 5, 100, columnWidth, 20 } },
        { ComponentPaths::moviesRootDirectoryLabel, { 25, 135, columnWidth, 20 } },
        { ComponentPaths::moviesRootDirectoryComponent, { secondColumn, 135, r - 400, 20 } },
        { ComponentPaths::resetMoviesRootToDefaultButton, { r - 155, 135, 150, 20 } },
        { ComponentPaths::backupSectionLabel, { 5, 190, columnWidth, 20 } },
        { ComponentPaths::backupButton, { 25, 225, columnWidth, 25 } },
        { ComponentPaths::restoreButton, { secondColumn, 225, columnWidth, 25 } },
        { ComponentPaths::loggingSectionLabel, { 5, 285, columnWidth, 20 } },
        { ComponentPaths::loggingLabel, { 25, 320, columnWidth, 20 } },
        { ComponentPaths::loggingCombo, { secondColumn, 320, columnWidth, 20 } },
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
        { ComponentPaths::leftPanel, { 0, 0, l, a } },
        { ComponentPaths::treeView, { 0, 0, l, a } },
        { ComponentPaths::resizeBar, { l, 0, resizeBarWidth, a } },
        { ComponentPaths::moviePanel, right },
        { ComponentPaths::webPanel, right },
        { ComponentPaths::imagePanel, right },
        { ComponentPaths::messagePanel, right },
        { ComponentPaths::preferencesPanel, right },
        { ComponentPaths::downloadPanel, right },
        { ComponentPaths::bottomPanel, { 0, a, w, bottomBarHeight } },
        { ComponentPaths::toggleLeftPanelButton, { 10, 13, 28, 28 } },
        { ComponentPaths::searchPanel, { 48, 0, 220, bottomBarHeight } },
    };

    // A window still being made can be narrower than its left panel: then there is no room.
    const auto transcript = juce::jlimit (0, juce::jmax (0, r / 2), s.transcriptWidth);
    const auto movie = getMovieBounds (r - transcript, a, s.movieSize);
    placements.push_back ({ ComponentPaths::movieComponent, s.movieShowing ? movie : movie.withSize (0, 0) });

    // The pane is only there while shown: hidden, it keeps its place unseen.
    if (transcript > 0)
        placements.push_back ({ ComponentPaths::transcriptPane, { r - transcript, 0, transcript, a } });
    placements.push_back ({ ComponentPaths::webBrowser, s.webShowing ? juce::Rectangle<int> (0, 0, r, a) : juce::Rectangle<int>() });

    const auto b = getControlsLeft (s.leftPanelVisible);
    const auto p = w - b;
    placements.push_back ({ ComponentPaths::movieControlsPanel, { b, 0, p, bottomBarHeight } });
    placements.push_back ({ ComponentPaths::extrasControlsPanel, { b, 0, p, bottomBarHeight } });

    if (s.videoFullScreen)
        placeVideoAlone (placements, s);

    return placements;
}

void MainWindowLayout::placeVideoAlone (std::vector<Placement>& placements, const State& s)
{
    const auto w = s.width;
    const auto h = s.height;
    const auto barY = s.fullScreenBarShown ? h - bottomBarHeight : h;

    const auto replace = [&placements] (const juce::String& path, juce::Rectangle<int> bounds)
    {
        for (auto& p : placements)
            if (p.path == path)
                p.bounds = bounds;
    };

    replace (ComponentPaths::moviePanel, { 0, 0, w, h });
    replace (ComponentPaths::movieComponent, getMovieBounds (w, h, s.movieSize));
    replace (ComponentPaths::bottomPanel, { 0, barY, w, bottomBarHeight });
    replace (ComponentPaths::movieControlsPanel, { 0, 0, w, bottomBarHeight });
}
