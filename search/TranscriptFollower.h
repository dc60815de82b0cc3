#pragma once

#include "search/CaptionOverlay.h"
#include "search/TranscriptCache.h"
#include "search/TranscriptPane.h"

#include <functional>

class Core;

/**
    The open chapter's transcript pane and captions, kept in step with playback: loads the
    chapter's lines when it opens, then, while either is shown, asks for the playback position
    ten times a second and moves the pane's spoken line and the caption along.

    A transcript not read before is read and parsed on a thread of the follower's own, so a huge
    one never holds up the window; the pane says it is reading meanwhile, and only the lines of
    the chapter still open are shown when the reading ends.

    Message thread only.
*/
class TranscriptFollower final : private juce::Timer
{
public:
    /** A follower reading the transcripts kept beside Core's search database; the position
        function gives the video's position in seconds.
    */
    TranscriptFollower (const Core& core, std::function<double()> getPosition);
    ~TranscriptFollower() override;

    /** The chapter whose transcript is shown; empty for none. */
    void setChapter (const juce::String& chapterId);

    /** The words of the last search, highlighted in the pane. */
    void setSearchWords (const juce::StringArray& words) { pane.setSearchWords (words); }

    void setPaneShown (bool shouldShow);
    bool isPaneShown() const noexcept { return paneShown; }

    void setCaptionsShown (bool shouldShow);
    bool areCaptionsShown() const noexcept { return captionsShown; }

    /** Brings the pane and the caption to the position at once, after a seek. */
    void refresh();

    /** Forgets the transcripts read, after the update replaced the kept file. */
    void transcriptsChanged();

    /** True while the open chapter's transcript is being read. */
    bool isReading() const noexcept { return awaitedRead != 0; }

    TranscriptPane& getPane() noexcept { return pane; }
    CaptionOverlay& getCaptions() noexcept { return captions; }

    /** The period of the position checks. */
    static constexpr int refreshIntervalMs = 100;

private:
    void timerCallback() override { refresh(); }
    void updateTimer();
    void load();
    void show (const TranscriptCache::Entry& entry);
    void read();

    const Core& core;
    std::function<double()> getPosition;
    TranscriptCache transcripts;
    TranscriptPane pane;
    CaptionOverlay captions;
    juce::String chapterId;
    std::shared_ptr<const TranscriptLines> lines;
    bool paneShown = false, captionsShown = false;

    // Readings are numbered; only the one awaited (0 for none) is shown when it ends.
    int readsStarted = 0, awaitedRead = 0;

    // One reading at a time, in the order asked; its jobs capture what they read by value, and
    // the destructor stops and waits for them.
    juce::ThreadPool reader { 1 };

    JUCE_DECLARE_WEAK_REFERENCEABLE (TranscriptFollower)
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TranscriptFollower)
};
