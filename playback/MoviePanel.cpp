#include "playback/MoviePanel.h"

#include "app/Prompts.h"
#include "app/SharedRes.h"
#include "model/Core.h"
#include "model/RegularFile.h"
#include "playback/PlaybackRules.h"

namespace
{
void setPictures (juce::ImageButton& button, const juce::String& picture)
{
    auto* skin = SharedRes::getInstance();
    const auto normal = skin->getImage (picture + "-norm");

    // Twice a second: only a change of picture repaints.
    if (button.getNormalImage() == normal)
        return;

    button.setImages (false, true, true, normal, 1.0f, {}, {}, 1.0f, {}, skin->getImage (picture + "-down"), 1.0f, {});
}

void showError (const juce::String& text)
{
    Prompts::get().showMessage (Prompts::Icon::warning, TRANS ("Error"), text, TRANS ("OK"));
}

const char* const markerName = "markerComponent;";
const char* const occurrenceName = "searchOccurrenceComponent;";
} // namespace

MoviePanel::MoviePanel (Core& c, Host& h) : Component ("movieControlsPanel"), core (c), host (h)
{
    auto* skin = SharedRes::getInstance();

    for (auto* button : { &minVolumeButton, &maxVolumeButton })
    {
        button->setImages (skin->getDrawable (button == &minVolumeButton ? "/vector/min-volume" : "/vector/max-volume"));
        button->setColour (juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
        button->setColour (juce::DrawableButton::backgroundOnColourId, juce::Colours::transparentBlack);
    }

    // The play/pause and favourite pictures follow the movie's state.
    const std::pair<juce::ImageButton*, const char*> pictured[] = {
        { &nextButton, "next" }, { &forwardButton, "ffwd" }, { &prevButton, "prev" },
        { &backButton, "rwnd" }, { &addMarkerButton, "marker" }, { &originalSizeButton, "originalsize" },
    };

    for (const auto& [button, picture] : pictured)
        button->setImages (false, true, true, skin->getImage (juce::String (picture) + "-norm"), 1.0f, {}, {}, 1.0f, {},
                           skin->getImage (juce::String (picture) + "-down"), 1.0f, {});

    playPauseButton.addShortcut (juce::KeyPress (juce::KeyPress::spaceKey));
    playPauseButton.addShortcut (juce::KeyPress ('k'));
    nextButton.addShortcut (juce::KeyPress ('L', juce::ModifierKeys::shiftModifier, 'L'));
    forwardButton.addShortcut (juce::KeyPress ('l'));
    prevButton.addShortcut (juce::KeyPress ('J', juce::ModifierKeys::shiftModifier, 'J'));
    backButton.addShortcut (juce::KeyPress ('j'));
    addMarkerButton.addShortcut (juce::KeyPress ('m'));

    timeLabel.setFont (juce::Font (skin->getTypeface ("Lucida Grande Bold")).withHeight (12.0f));
    timeLabel.setColour (juce::Label::textColourId, juce::Colour (0xff333333));

    for (auto* control : std::initializer_list<juce::Component*> { &minVolumeButton, &volumeSlider, &maxVolumeButton, &playPauseButton,
                                                                   &nextButton, &forwardButton, &prevButton, &backButton, &addMarkerButton,
                                                                   &originalSizeButton, &favoriteToggleButton, &positionSlider, &timeLabel })
        addAndMakeVisible (control);

    wire (minVolumeButton, [this] { setVolume (0.0f); });
    wire (maxVolumeButton, [this] { setVolume (1.0f); });
    wire (playPauseButton, [this] { togglePlayPause(); });
    wire (nextButton, [this] { stepChapter (true); });
    wire (prevButton, [this] { stepChapter (false); });
    wire (backButton, [this] { stepBack(); });
    wire (forwardButton, [this] { stepForward(); });
    wire (originalSizeButton, [this] { showOriginalSize(); });
    wire (addMarkerButton, [this] { addMarker(); });
    wire (favoriteToggleButton, [this] { toggleFavorite(); });

    volumeSlider.setValue (volume, juce::dontSendNotification);
    volumeSlider.onValueChange = [this] { setVolume ((float) volumeSlider.getValue()); };
    positionSlider.onDragStart = [this] { positionDragStarted(); };
    positionSlider.onDragEnd = [this] { positionDragEnded(); };

    core.addListener (this);
}

MoviePanel::~MoviePanel()
{
    core.removeListener (this);
    stopTimer();
}

void MoviePanel::wire (juce::Button& button, std::function<void()> action)
{
    // A click that arrives while the bar is hidden (a shortcut, a queued press) does nothing.
    button.onClick = [this, &button, action = std::move (action)]
    {
        if (! button.isShowing())
            return;

        action();
        host.controlUsed();
    };
}

void MoviePanel::resized()
{
    const auto p = getWidth();
    minVolumeButton.setBounds (5, 19, 17, 17);
    volumeSlider.setBounds (27, 19, 70, 17);
    maxVolumeButton.setBounds (97, 19, 17, 17);
    prevButton.setBounds (129, 13, 28, 28);
    backButton.setBounds (167, 13, 28, 28);
    playPauseButton.setBounds (205, 13, 28, 28);
    forwardButton.setBounds (244, 13, 28, 28);
    nextButton.setBounds (282, 13, 28, 28);
    originalSizeButton.setBounds (p - 45, 13, 28, 28);
    favoriteToggleButton.setBounds (p - 82, 13, 28, 28);
    addMarkerButton.setBounds (p - 120, 13, 28, 28);
    timeLabel.setBounds (p - 204, 17, 80, 20);
    positionSlider.setBounds (325, 19, p - 534, 16);
    rebuildMarkers();
}

void MoviePanel::markersChanged (const juce::String& chapterId)
{
    if (chapterId == currentChapterId)
        rebuildMarkers();
}

void MoviePanel::searchResultsChanged()
{
    rebuildMarkers();
}

void MoviePanel::setCurrentCourse (int course, int lesson)
{
    currentCourse = course;
    currentLesson = lesson;
    currentChapter = -1;
}

juce::Rectangle<int> MoviePanel::getMovieSize() const
{
    int width = 0, height = 0;
    video.getMovieNormalSize (width, height);
    return { width, height };
}

double MoviePanel::getChapterDuration() const
{
    return video.isMovieOpen() ? video.getMovieDuration() : (double) core.getChapterDuration (currentChapterId);
}

//==============================================================================
void MoviePanel::openChapter (int course, int lesson, int chapter, bool autoplay)
{
    currentCourse = course;
    currentLesson = lesson;
    currentChapter = chapter;
    host.selectChapterInTree (course, lesson, chapter);

    const auto chapterId = core.getChapterId (course, lesson, chapter);

    if (core.getVideoFile (chapterId).existsAsFile())
        showChapter (chapterId, autoplay);
    else
        host.showCourseExtras();
}

void MoviePanel::deliverPendingMessages (int timeoutMs)
{
    auto delivered = std::make_shared<bool> (false);
    juce::MessageManager::callAsync ([delivered] { *delivered = true; });
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! *delivered && juce::Time::getMillisecondCounter() < end)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
}

void MoviePanel::showChapter (const juce::String& chapterId, bool autoplay)
{
    if (chapterId != currentChapterId)
    {
        // The other panels go first, and are seen to go before the video is touched.
        host.showBlankPicture();
        deliverPendingMessages (100);
        host.hideImagePanel();
        currentChapterId = chapterId;
        startTimer (refreshIntervalMs);
        video.stop();
        video.closeMovie();
        refreshControls();
        host.showMovieArea();
    }

    if (video.isPlaying())
        return;

    if (autoplay)
    {
        startPlaying();
    }
    else
    {
        loadCurrentChapter();
        video.setPosition (0.0);
    }
}

void MoviePanel::loadCurrentChapter()
{
    if (video.isMovieOpen() || currentChapterId.isEmpty())
        return;

    host.setWindowTitle (core.getCourseTitle (currentCourse) + ", " + juce::String (core.getLessonOrder (currentCourse, currentLesson)) + "."
                         + juce::String (core.getChapterOrder (currentChapterId)) + " - " + core.getChapterTitle (currentChapterId));

    const auto file = core.getVideoFile (currentChapterId);

    if (! file.existsAsFile())
    {
        showError (TRANS ("The video file is missing"));
        return;
    }

    if (! core.isVideoPresent (currentChapterId))
    {
        showError (TRANS ("The video file is either missing or invalid"));
        return;
    }

    // A pipe at the video's path would block the open, and the window with it.
    if (! RegularFile::isRegular (file) || ! juce::FileInputStream (file).openedOk())
    {
        showError (TRANS ("Error opening video file"));
        return;
    }

    video.loadMovie (file);
    host.layoutContent();
}

void MoviePanel::startPlaying()
{
    if (currentChapterId.isEmpty())
        return;

    loadCurrentChapter();
    core.setYetToBeSeen (currentChapterId, false, juce::sendNotification);
    video.setLooping (false);
    video.play();
}

void MoviePanel::togglePlayPause()
{
    if (video.isPlaying())
        video.stop();
    else
        startPlaying();

    host.layoutContent();
    refreshControls();
}

void MoviePanel::refreshControls()
{
    if (currentChapterId.isEmpty())
        return;

    volumeSlider.setValue (volume, juce::dontSendNotification);

    setPictures (playPauseButton, video.isPlaying() ? "pause" : "play");
    setPictures (favoriteToggleButton, core.isFavorite (currentChapterId) ? "favorites-on" : "favorites");

    video.setMovieVolume (dragging ? 0.0f : volume);
    const auto duration = video.getMovieDuration();

    if (dragging)
        video.setPosition (positionSlider.getValue() * duration);
    else
        positionSlider.setValue (duration > 0.0 ? video.getPosition() / duration : 0.0, juce::dontSendNotification);

    timeLabel.setText (PlaybackRules::formatTimeLabel (video.getPosition(), duration), juce::dontSendNotification);
}

void MoviePanel::timerCallback()
{
    refreshControls();
}

void MoviePanel::stepChapter (bool forwards)
{
    if (currentChapterId.isEmpty())
        return;

    if (! forwards && video.getPosition() > 5.0)
    {
        video.setPosition (0.0);
        return;
    }

    const auto wasPlaying = video.isPlaying();
    PlaybackRules::Place here;

    if (! core.findChapterPosition (currentChapterId, here.course, here.lesson, here.chapter))
        return;

    const auto next = PlaybackRules::findNeighbour (core, here, forwards);

    if (! next.has_value())
        return;

    openChapter (next->course, next->lesson, next->chapter, false);

    if (wasPlaying && currentChapterId.isNotEmpty())
        startPlaying();
}

void MoviePanel::stepBack()
{
    if (! video.isMovieOpen())
        return;

    video.setPosition (PlaybackRules::stepBack (video.getPosition()));
    refreshControls();
}

void MoviePanel::stepForward()
{
    if (! video.isMovieOpen())
        return;

    video.setPosition (PlaybackRules::stepForward (video.getPosition(), video.getMovieDuration()));
    refreshControls();
}

void MoviePanel::setVolume (float newVolume)
{
    volume = juce::jlimit (0.0f, 1.0f, newVolume);
    volumeSlider.setValue (volume, juce::dontSendNotification);
    refreshControls();
}

void MoviePanel::showOriginalSize()
{
    if (! video.isMovieOpen())
        return;

    const auto* panel = video.getParentComponent();

    if (panel == nullptr)
        return;

    const auto size = getMovieSize();
    host.resizeWindowBy (size.getWidth() - panel->getWidth(), size.getHeight() - panel->getHeight());
}

void MoviePanel::toggleFavorite()
{
    if (currentChapterId.isEmpty())
        return;

    core.setFavorite (currentChapterId, ! core.isFavorite (currentChapterId));
    refreshControls();
}

void MoviePanel::positionDragStarted()
{
    playingBeforeDrag = video.isMovieOpen() && video.isPlaying();
    dragging = true;
    video.stop();
}

void MoviePanel::positionDragEnded()
{
    dragging = false;

    if (currentChapterId.isNotEmpty())
    {
        loadCurrentChapter();

        if (const auto duration = video.getMovieDuration(); duration > 0.0)
        {
            video.setPosition (positionSlider.getValue() * duration);

            if (playingBeforeDrag)
                video.play();
        }
    }

    refreshControls();
}

void MoviePanel::close (const juce::String& applicationTitle)
{
    stopTimer();
    currentChapterId.clear();
    video.stop();
    video.closeMovie();
    host.setWindowTitle (applicationTitle);
}

//==============================================================================
void MoviePanel::addMarker()
{
    if (currentChapterId.isEmpty())
        return;

    const auto count = core.getNumMarkers (currentChapterId);
    juce::String label;

    if (! Prompts::get().askText (TRANS ("New marker"), TRANS ("Enter a label for the new marker"), "Marker " + juce::String (count + 1), label))
        return;

    const auto time = video.isMovieOpen() ? video.getPosition() : positionSlider.getValue() * core.getChapterDuration (currentChapterId);
    core.addMarker (currentChapterId, label, time);
}

void MoviePanel::renameMarker (int index)
{
    if (currentChapterId.isEmpty())
        return;

    juce::String label;

    if (Prompts::get().askText (TRANS ("Rename marker"), TRANS ("Enter a new label for the marker"), core.getMarkerText (currentChapterId, index), label))
        core.setMarkerText (currentChapterId, index, label);
}

bool MoviePanel::keyPressed (const juce::KeyPress& key)
{
    const auto previous = key == juce::KeyPress ('i');

    if (previous || key == juce::KeyPress ('o'))
    {
        if (video.isMovieOpen())
        {
            const auto position = video.getPosition();
            const auto index = previous ? core.findPreviousMarker (currentChapterId, position - 1.0)
                                        : core.findNextMarker (currentChapterId, position + 0.1);

            if (index >= 0)
            {
                video.setPosition (core.getMarkerTime (currentChapterId, index));
                refreshControls();
            }
        }

        return true;
    }

    if (key == juce::KeyPress ('s'))
    {
        host.focusSearchField();
        return true;
    }

    // "+" is typed with Shift on some layouts and without on others, or on the number pad: the
    // character counts, whatever the modifiers.
    if (key.getTextCharacter() == '+' || key.getKeyCode() == juce::KeyPress::numberPadAdd)
    {
        addMarker();
        return true;
    }

    return false;
}

void MoviePanel::rebuildMarkers()
{
    rebuildTriangles (markerComponents, true);
    rebuildTriangles (occurrenceComponents, false);
}

void MoviePanel::rebuildTriangles (juce::OwnedArray<MarkerComponent>& components, bool forMarkers)
{
    const auto count = currentChapterId.isEmpty() ? 0
                       : forMarkers                ? core.getNumMarkers (currentChapterId)
                                                   : core.getNumSearchHits (currentChapterId);
    const auto* name = forMarkers ? markerName : occurrenceName;

    while (components.size() < count)
    {
        auto* component = components.add (std::make_unique<MarkerComponent> (name + juce::String (components.size()), forMarkers, forMarkers));
        component->addListener (this);
        addAndMakeVisible (component);
    }

    if (count > 0)
    {
        const auto radius = positionSlider.getLookAndFeel().getSliderThumbRadius (positionSlider);
        const auto trackStart = positionSlider.getX() + radius;
        const auto trackLength = positionSlider.getWidth() - 2 * radius;
        const auto duration = getChapterDuration();

        for (int i = 0; i < count; ++i)
        {
            auto* component = components[i];
            const auto time = forMarkers ? core.getMarkerTime (currentChapterId, i) : core.getSearchHitTime (currentChapterId, i);
            const auto y = forMarkers ? positionSlider.getBottom() : positionSlider.getY() - MarkerComponent::height;
            component->setBounds (PlaybackRules::getMarkerX (time, duration, trackStart, trackLength), y, MarkerComponent::width, MarkerComponent::height);
            component->setPointsUp (forMarkers);
            component->setColour (MarkerComponent::fillColourId, juce::Colour (forMarkers ? 0xffff9827 : 0xff7ce36d));
            component->setTooltip (forMarkers ? core.getMarkerText (currentChapterId, i) : juce::String());
        }
    }

    if (components.size() > count)
        components.removeLast (components.size() - count);
}

void MoviePanel::markerClicked (MarkerComponent* marker)
{
    double time = 0.0;

    if (const auto index = markerComponents.indexOf (marker); index >= 0)
        time = core.getMarkerTime (currentChapterId, index);
    else if (const auto occurrence = occurrenceComponents.indexOf (marker); occurrence >= 0)
        time = core.getSearchHitTime (currentChapterId, occurrence);
    else
        return;

    if (currentChapterId.isEmpty())
        return;

    loadCurrentChapter();
    video.setPosition (time);
    video.play();
    refreshControls();
}

void MoviePanel::markerDraggedAway (MarkerComponent* marker)
{
    if (const auto index = markerComponents.indexOf (marker); index >= 0 && currentChapterId.isNotEmpty())
        core.removeMarker (currentChapterId, index);
}

void MoviePanel::markerDoubleClicked (MarkerComponent* marker)
{
    if (const auto index = markerComponents.indexOf (marker); index >= 0)
        renameMarker (index);
}
