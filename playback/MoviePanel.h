#pragma once

#include "model/Core.h"
#include "playback/MarkerComponent.h"
#include "playback/ProSlider.h"
#include "playback/VideoComponent.h"

/**
    The movie bar and the video it drives: which chapter is open, loading its video, playing,
    pausing, seeking, stepping between downloaded chapters, the volume, the controls' pictures
    and time label twice a second, and the marker and search-occurrence triangles along the
    position slider.

    The panel is the bar itself ("movieControlsPanel") and owns every control on it; it also owns
    the video component, which the main window places in its right-hand area. What lies beyond
    the bar it asks of the window, its Host.

    Message thread only.
*/
class MoviePanel final : public juce::Component,
                         private juce::Timer,
                         private MarkerComponentListener,
                         private Core::Listener
{
public:
    /** What the panel needs of the main window. */
    class Host
    {
    public:
        virtual ~Host() = default;

        /** Shows the picture panel without a picture and without the extras buttons, which hides
            every other right-hand panel (the movie panel included).
        */
        virtual void showBlankPicture() = 0;
        virtual void hideImagePanel() = 0;

        /** Shows "moviePanel", lays the window out again and shows the movie controls. */
        virtual void showMovieArea() = 0;

        virtual void layoutContent() = 0;
        virtual void selectChapterInTree (int course, int lesson, int chapter) = 0;

        /** Shows the current course's extras page of the remembered kind. */
        virtual void showCourseExtras() = 0;

        virtual void setWindowTitle (const juce::String& title) = 0;

        /** Grows or shrinks the window, keeping its position. */
        virtual void resizeWindowBy (int deltaWidth, int deltaHeight) = 0;

        /** Puts the keyboard focus in the search field (the key "s"). */
        virtual void focusSearchField() = 0;

        /** A control of the bar was used: the keyboard focus goes back where the window keeps it. */
        virtual void controlUsed() = 0;
    };

    MoviePanel (Core& core, Host& host);
    ~MoviePanel() override;

    //==============================================================================
    /** The chapter the panel shows (-1 and empty when none), and the course a course or lesson
        page made current.
    */
    int getCurrentCourse() const noexcept { return currentCourse; }
    int getCurrentLesson() const noexcept { return currentLesson; }
    int getCurrentChapter() const noexcept { return currentChapter; }
    const juce::String& getCurrentChapterId() const noexcept { return currentChapterId; }

    /** Makes a course (and lesson) current without a chapter: its page is about to show. */
    void setCurrentCourse (int course, int lesson);

    /** The video component, which the window places inside "moviePanel". */
    VideoComponent& getVideo() noexcept { return video; }

    /** The open video's natural size, or an empty rectangle. */
    juce::Rectangle<int> getMovieSize() const;

    float getVolume() const noexcept { return volume; }

    //==============================================================================
    /** Opens a chapter from the tree or the controls: it becomes current and is selected in
        the tree; a downloaded chapter is shown, otherwise the course's extras page.
    */
    void openChapter (int course, int lesson, int chapter, bool autoplay);

    /** Puts the movie panel up for a downloaded chapter; a different chapter is loaded afresh,
        the playing one keeps playing, a paused one is rewound unless asked to play.
    */
    void showChapter (const juce::String& chapterId, bool autoplay);

    /** Loads the current chapter's video if none is open, reporting a missing or unreadable one. */
    void loadCurrentChapter();

    /** Plays the current chapter from where it is and marks it as seen. */
    void startPlaying();

    void togglePlayPause();

    /** Brings the controls in line with the video: pictures, volume, slider and time. */
    void refreshControls();

    /** The previous (a press after the first 5 seconds rewinds instead) or next downloaded
        chapter of the course.
    */
    void stepChapter (bool forwards);

    /** 10 seconds back or forward, playing on if it was playing. */
    void stepBack();
    void stepForward();

    /** Sets the volume; the slider shows it. */
    void setVolume (float newVolume);

    /** Resizes the window so that the movie panel is exactly the video's size. */
    void showOriginalSize();

    void toggleFavorite();

    /** The position slider's drag: the video pauses and falls silent while it lasts, and
        follows the slider; it resumes at the release point if it was playing.
    */
    void positionDragStarted();
    void positionDragEnded();

    /** Leaves the chapter: the timer stops, the video closes and the title returns to the
        application's. The window hides the panel.
    */
    void close (const juce::String& applicationTitle);

    //==============================================================================
    /** Asks for a label and adds a marker at the current position. */
    void addMarker();

    /** Asks for a marker's new label. */
    void renameMarker (int index);

    /** The keys "i" and "o" (previous and next marker) and "s" (the search field); true when
        the key is one of them.
    */
    bool keyPressed (const juce::KeyPress& key) override;

    /** Creates, places and removes the triangles of the current chapter's markers and search
        occurrences along the slider; runs after every layout.
    */
    void rebuildMarkers();

    /** The triangles in index order. */
    const juce::OwnedArray<MarkerComponent>& getMarkerComponents() const noexcept { return markerComponents; }
    const juce::OwnedArray<MarkerComponent>& getOccurrenceComponents() const noexcept { return occurrenceComponents; }

    /** The refresh period of the controls. */
    static constexpr int refreshIntervalMs = 500;

    //==============================================================================
    void resized() override;

private:
    void timerCallback() override;
    void markerClicked (MarkerComponent* marker) override;
    void markerDraggedAway (MarkerComponent* marker) override;
    void markerDoubleClicked (MarkerComponent* marker) override;
    void markersChanged (const juce::String& chapterId) override;
    void searchResultsChanged() override;

    void wire (juce::Button& button, std::function<void()> action);
    void rebuildTriangles (juce::OwnedArray<MarkerComponent>& components, bool forMarkers);
    void deliverPendingMessages (int timeoutMs);
    double getChapterDuration() const;

    Core& core;
    Host& host;
    VideoComponent video;

    // The bar's controls, in the order they are stacked.
    juce::DrawableButton minVolumeButton { "minVolumeButton", juce::DrawableButton::ImageFitted };
    qo::ProSlider volumeSlider { "volumeSlider" };
    juce::DrawableButton maxVolumeButton { "maxVolumeButton", juce::DrawableButton::ImageFitted };
    juce::ImageButton playPauseButton { "playPauseButton" };
    juce::ImageButton nextButton { "nextButton" };
    juce::ImageButton forwardButton { "forwardButton" };
    juce::ImageButton prevButton { "prevButton" };
    juce::ImageButton backButton { "backButton" };
    juce::ImageButton addMarkerButton { "addMarkerButton" };
    juce::ImageButton originalSizeButton { "originalSizeButton" };
    juce::ImageButton favoriteToggleButton { "favoriteToggleButton" };
    qo::ProSlider positionSlider { "positionSlider" };
    juce::Label timeLabel { "timeLabel" };

    int currentCourse = -1, currentLesson = -1, currentChapter = -1;
    juce::String currentChapterId;
    float volume = 1.0f;
    bool dragging = false, playingBeforeDrag = false;
    juce::OwnedArray<MarkerComponent> markerComponents, occurrenceComponents;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MoviePanel)
};
