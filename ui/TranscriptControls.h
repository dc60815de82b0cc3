#pragma once

#include "model/Core.h"
#include "search/TranscriptFollower.h"

class MoviePanel;

/**
    The transcript pane and the captions of the open chapter, brought to the movie panel: the
    pane (which the window places beside the video), the captions over the video, the two
    toggles in the video's top right corner (the movie bar's layout has no room left), and the
    keys "t" and "c". The captions' state is kept as the preference "captions".

    Watches the movie panel's chapter and Core's search and database broadcasts; a click in the
    pane seeks the video.

    Message thread only; created after the movie panel and deleted before it.
*/
class TranscriptControls final : private juce::Timer,
                                 private juce::ComponentListener,
                                 private Core::Listener
{
public:
    /** Controls for a movie panel; relayout is called when the pane appears or goes. */
    TranscriptControls (Core& core, MoviePanel& moviePanel, std::function<void()> relayout);
    ~TranscriptControls() override;

    /** The keys "t" (the pane) and "c" (the captions); true when the key is one of them. */
    bool keyPressed (const juce::KeyPress& key);

    void toggleTranscript();
    void toggleCaptions();

    /** The room the pane takes at the right of the movie area; 0 while hidden. */
    int getTranscriptWidth() const noexcept { return follower.isPaneShown() ? transcriptWidth : 0; }

    TranscriptFollower& getFollower() noexcept { return follower; }
    juce::Button& getTranscriptButton() noexcept { return transcriptButton; }
    juce::Button& getCaptionsButton() noexcept { return captionsButton; }

    /** The width of the pane while shown. */
    static constexpr int transcriptWidth = 360;

    /** How often the open chapter is checked. */
    static constexpr int chapterCheckIntervalMs = 200;

private:
    void timerCallback() override;
    void componentMovedOrResized (juce::Component& component, bool wasMoved, bool wasResized) override;
    void searchResultsChanged() override;
    void searchDatabaseChanged() override;

    Core& core;
    MoviePanel& moviePanel;
    std::function<void()> relayout;
    TranscriptFollower follower;
    juce::TextButton transcriptButton { "T" }, captionsButton { "CC" };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TranscriptControls)
};
