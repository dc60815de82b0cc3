#pragma once

#include <JuceHeader.h>

#include <vector>

/**
    The main window's layout arithmetic, kept apart from the components so it can be checked
    with plain sizes: given the content size and the window's state, the bounds of every
    component of the fixed tree by its path; the panels that own their controls lay them out.

    Pure functions; the main window calls them on the message thread.
*/
class MainWindowLayout final
{
public:
    static constexpr int bottomBarHeight = 55;
    static constexpr int resizeBarWidth = 7;

    /** What the layout depends on. */
    struct State
    {
        int width = 0;
        int height = 0;
        int leftPanelWidth = 291;
        bool leftPanelVisible = true;

        /** The open movie's natural size; empty when no movie is open. */
        juce::Rectangle<int> movieSize;
        bool movieShowing = false;

        /** The room the transcript pane takes at the right of the movie area; 0 while hidden. */
        int transcriptWidth = 0;
        bool webShowing = false;

        /** The video alone on the whole content, the bottom bar over its bottom while the bar
            is shown and just below the content's edge otherwise.
        */
        bool videoFullScreen = false;
        bool fullScreenBarShown = true;
    };

    /** A component's path in the content container and its bounds in its parent. */
    struct Placement
    {
        juce::String path;
        juce::Rectangle<int> bounds;
    };

    /** Every fixed component's bounds, parents before children. The movie component and the
        browser are the unnamed children "moviePanel/" and "webPanel/". With the video full
        screen the components other than the movie panel and the bar keep their usual places
        (the window hides them), so that leaving finds them as they were.
    */
    static std::vector<Placement> compute (const State& state);

    /** The movie component's bounds in an area of R x A for a movie of natural size w x h. */
    static juce::Rectangle<int> getMovieBounds (int areaWidth, int areaHeight, juce::Rectangle<int> movieSize);

    /** The preferences controls' bounds in a preferences panel of width R, by path. */
    static std::vector<Placement> getPreferencesControls (int panelWidth);

    /** The x at which the movie and extras controls start. */
    static int getControlsLeft (bool leftPanelVisible) noexcept { return leftPanelVisible ? 268 : 48; }

    /** The smallest size the window can be given. */
    static constexpr int minimumWidth = 950, minimumHeight = 500;

    /** The startup size: the stored size within the window's minimum and the display's usable area. */
    static juce::Rectangle<int> getStartupBounds (juce::Rectangle<int> userArea, int storedWidth, int storedHeight);

private:
    static void placeVideoAlone (std::vector<Placement>& placements, const State& state);

    MainWindowLayout() = delete;
};
