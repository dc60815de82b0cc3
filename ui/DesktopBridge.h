#pragma once

#include "desktop/DesktopNotifier.h"
#include "desktop/MediaControls.h"
#include "model/CoreListener.h"
#include "ui/DownloadRunSummary.h"

class Core;
class MoviePanel;

/**
    Joins the main window to the desktop's session bus: the movie panel's chapter and playback
    state go out as the media controls' state, the controls' calls come back as the panel's own
    actions, and a download run that ends while the window is not in front shows a desktop
    notification, whose click raises the window.

    Made and deleted by the main window on the message thread, after and before the panel.
*/
class DesktopBridge final : private MediaControls::Host,
                            private DesktopNotifier::Host,
                            private CoreListener,
                            private juce::AsyncUpdater,
                            private juce::Timer
{
public:
    /** Connects to the bus at this address (empty: no bus) and follows the panel and Core. */
    DesktopBridge (Core& core, juce::DocumentWindow& window, MoviePanel& moviePanel, const juce::String& busAddress);

    ~DesktopBridge() override;

    /** The name of the installed desktop entry, without ".desktop". */
    static constexpr const char* desktopEntry = "tsy-player";

private:
    /** The media controls' state for what the panel shows now. */
    MediaControls::State makeState() const;

    void raise() override;
    void quit() override;
    void play() override;
    void pause() override;
    void playPause() override;
    void stop() override;
    void next() override;
    void previous() override;
    void seekBy (juce::int64 offsetMicroseconds) override;
    void setPosition (juce::int64 positionMicroseconds) override;
    void notificationClicked() override;

    void downloadFinished (const juce::String& chapterId) override;
    void downloadListChanged() override;

    /** Ends the run once the queue is idle and every finished entry has been heard of. */
    void checkForEndOfRun();
    void handleAsyncUpdate() override;
    void timerCallback() override;

    /** Pushes the state when it changed, and tells of a jump in the position: one the bridge
        made itself (moved), or one seen since the last push.
    */
    void publishState (bool moved = false);

    /** Puts the current chapter's video at a position in seconds, opening it first. */
    void moveTo (double seconds);

    /** True while the program's window is the one the user works in. */
    bool isInFront() const;

    /** How often the state is compared with the one last pushed. */
    static constexpr int refreshIntervalMs = 250;

    /** A position further than this from where playing would have taken it is a jump. */
    static constexpr juce::int64 jumpToleranceMicroseconds = 1000000;

    Core& core;
    juce::DocumentWindow& window;
    MoviePanel& moviePanel;
    SessionBus bus;
    MediaControls controls;
    DesktopNotifier notifier;
    DownloadRunSummary downloadRun;

    MediaControls::State published;
    double publishedAtMs = 0.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DesktopBridge)
};
