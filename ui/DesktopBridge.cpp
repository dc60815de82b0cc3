#include "ui/DesktopBridge.h"

#include "model/Core.h"
#include "playback/MoviePanel.h"
#include "playback/PlaybackRules.h"
#include "playback/VideoComponent.h"

namespace
{
constexpr double microsecondsPerSecond = 1000000.0;

juce::int64 toMicroseconds (double seconds)
{
    return (juce::int64) std::llround (seconds * microsecondsPerSecond);
}
} // namespace

DesktopBridge::DesktopBridge (Core& c, juce::DocumentWindow& w, MoviePanel& panel, const juce::String& busAddress)
    : core (c),
      window (w),
      moviePanel (panel),
      bus (busAddress),
      controls (bus, static_cast<MediaControls::Host&> (*this), desktopEntry),
      notifier (bus, static_cast<DesktopNotifier::Host&> (*this), juce::JUCEApplicationBase::getInstance() != nullptr ? juce::JUCEApplicationBase::getInstance()->getApplicationName() : MediaControls::identity, desktopEntry)
{
    JUCE_ASSERT_MESSAGE_THREAD
    core.addListener (this);
    startTimer (refreshIntervalMs);
}

DesktopBridge::~DesktopBridge()
{
    JUCE_ASSERT_MESSAGE_THREAD
    cancelPendingUpdate();
    stopTimer();
    core.removeListener (this);
}

MediaControls::State DesktopBridge::makeState() const
{
    JUCE_ASSERT_MESSAGE_THREAD
    MediaControls::State state;
    const auto& chapterId = moviePanel.getCurrentChapterId();

    if (chapterId.isEmpty() || ! core.hasChapter (chapterId))
        return state;

    const auto& video = moviePanel.getVideo();
    const auto course = moviePanel.getCurrentCourse();
    state.status = video.isPlaying() ? MediaControls::Status::playing : MediaControls::Status::paused;
    state.trackId = MediaControls::makeTrackId (chapterId);
    state.title = core.getChapterTitle (chapterId);
    state.album = core.getCourseTitle (course);
    state.lengthMicroseconds = toMicroseconds (video.isMovieOpen() ? video.getMovieDuration() : (double) core.getChapterDuration (chapterId));
    state.positionMicroseconds = toMicroseconds (video.getPosition());

    if (const auto* extras = core.getExtrasDownloader())
        if (const auto cover = extras->findCoverFile (core.getCourseId (course)); cover.existsAsFile())
            state.artUrl = juce::URL (cover).toString (false);

    const auto playable = core.isVideoPresent (chapterId);
    state.canPlay = state.canPause = state.canSeek = playable;

    PlaybackRules::Place here;

    if (core.findChapterPosition (chapterId, here.course, here.lesson, here.chapter))
    {
        state.canGoNext = PlaybackRules::findNeighbour (core, here, true).has_value();

        // Going back first rewinds a chapter played past its start.
        state.canGoPrevious = video.getPosition() > 5.0 || PlaybackRules::findNeighbour (core, here, false).has_value();
    }

    return state;
}

void DesktopBridge::publishState (bool moved)
{
    const auto state = makeState();
    const auto now = juce::Time::getMillisecondCounterHiRes();

    // Where the position would be had nothing but playing moved it since the last push.
    auto expected = published.positionMicroseconds;

    if (published.status == MediaControls::Status::playing)
        expected += (juce::int64) ((now - publishedAtMs) * 1000.0 * published.rate);

    const auto jumped = state.trackId == published.trackId && state.trackId.isNotEmpty()
                        && (moved || std::abs (state.positionMicroseconds - expected) > jumpToleranceMicroseconds);

    // The position alone moving as it plays is no change: readers work it out from the state.
    auto comparable = state;
    comparable.positionMicroseconds = published.positionMicroseconds;

    if (comparable != published || jumped)
    {
        controls.setState (state);
        published = state;
        publishedAtMs = now;
    }

    if (jumped)
        controls.seeked (state.positionMicroseconds);
}

void DesktopBridge::timerCallback()
{
    publishState();
}

void DesktopBridge::downloadFinished (const juce::String& chapterId)
{
    downloadRun.noteFinished (core.getDownloads(), chapterId);
    checkForEndOfRun();
}

void DesktopBridge::downloadListChanged()
{
    checkForEndOfRun();
}

void DesktopBridge::checkForEndOfRun()
{
    // Ends with the last entry finished, or with the last queued one taken away. Entries that
    // finished before the queue was seen idle have had their broadcasts posted already; the
    // update, posted after them, sees the whole run.
    if (DownloadRunSummary::isIdle (core.getDownloads()))
        triggerAsyncUpdate();
}

void DesktopBridge::handleAsyncUpdate()
{
    const auto notice = downloadRun.takeNoticeIfEnded (core.getDownloads());

    if (! notice.has_value())
        return;

    const auto inFront = isInFront();
    juce::Logger::writeToLog ("desktop bus: downloads ended (" + notice->summary + "), " + (inFront ? "the window in front" : "notified"));

    if (! inFront)
        notifier.show (notice->summary, notice->body);
}

bool DesktopBridge::isInFront() const
{
    // Any of the program's windows, a question in front of the main window among them. Not
    // Process::isForegroundProcess(): here it stays true once the keyboard has gone elsewhere.
    for (int i = juce::TopLevelWindow::getNumTopLevelWindows(); --i >= 0;)
        if (auto* topLevel = juce::TopLevelWindow::getTopLevelWindow (i); topLevel != nullptr && topLevel->isActiveWindow())
            return true;

    return false;
}

//==============================================================================
void DesktopBridge::raise()
{
    if (window.isMinimised())
        window.setMinimised (false);

    window.setVisible (true);
    window.toFront (true);
}

void DesktopBridge::notificationClicked()
{
    juce::Logger::writeToLog ("desktop bus: notification clicked, raising the window");
    raise();
}

void DesktopBridge::quit()
{
    juce::JUCEApplicationBase::quit();
}

void DesktopBridge::play()
{
    if (! moviePanel.getVideo().isPlaying())
        moviePanel.togglePlayPause();

    publishState();
}

void DesktopBridge::pause()
{
    if (moviePanel.getVideo().isPlaying())
        moviePanel.togglePlayPause();

    publishState();
}

void DesktopBridge::playPause()
{
    moviePanel.togglePlayPause();
    publishState();
}

void DesktopBridge::stop()
{
    pause();
    moveTo (0.0);
}

void DesktopBridge::next()
{
    moviePanel.stepChapter (true);
    publishState();
}

void DesktopBridge::previous()
{
    moviePanel.stepChapter (false);
    publishState();
}

void DesktopBridge::seekBy (juce::int64 offsetMicroseconds)
{
    moveTo (juce::jmax (0.0, moviePanel.getVideo().getPosition() + (double) offsetMicroseconds / microsecondsPerSecond));
}

void DesktopBridge::setPosition (juce::int64 positionMicroseconds)
{
    moveTo ((double) positionMicroseconds / microsecondsPerSecond);
}

void DesktopBridge::moveTo (double seconds)
{
    if (moviePanel.getCurrentChapterId().isEmpty())
        return;

    moviePanel.loadCurrentChapter();
    auto& video = moviePanel.getVideo();

    if (! video.isMovieOpen())
        return;

    video.setPosition (juce::jmin (seconds, video.getMovieDuration()));
    moviePanel.refreshControls();
    publishState (true);
}
