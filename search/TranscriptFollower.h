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

    TranscriptPane& getPane() noexcept { return pane; }
    CaptionOverlay& getCaptions() noexcept { return captions; }

    /** The period of the position checks. */
    static constexpr int refreshIntervalMs = 100;

private:
    void timerCallback() override { refresh(); }
    void updateTimer();
    void load();

    const Core& core;
    std::function<double()> getPosition;
    TranscriptCache transcripts;
    TranscriptPane pane;
    CaptionOverlay captions;
    juce::String chapterId;
    std::shared_ptr<const TranscriptLines> lines;
    bool paneShown = false, captionsShown = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (TranscriptFollower)
};
