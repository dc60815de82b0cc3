#include "search/TranscriptFollower.h"

#include "model/Core.h"

TranscriptFollower::TranscriptFollower (const Core& c, std::function<double()> position)
    : core (c),
      getPosition (std::move (position)),
      transcripts (c.getSearchDatabaseFile())
{
    pane.setVisible (false);
    captions.setVisible (false);
}

TranscriptFollower::~TranscriptFollower()
{
    stopTimer();
}

void TranscriptFollower::setChapter (const juce::String& newChapterId)
{
    jassert (juce::MessageManager::existsAndIsCurrentThread());

    if (newChapterId == chapterId)
        return;

    chapterId = newChapterId;
    load();
}

void TranscriptFollower::load()
{
    auto status = TranscriptCache::Status::unavailable;
    lines = chapterId.isNotEmpty() ? transcripts.get (chapterId, status) : nullptr;

    pane.setTranscript (lines, status == TranscriptCache::Status::unavailable ? TRANS ("The transcripts have not been downloaded yet.") : TRANS ("This chapter has no transcript."));
    captions.setCaption ({});
    updateTimer();
    refresh();
}

void TranscriptFollower::transcriptsChanged()
{
    transcripts.clear();
    load();
}

void TranscriptFollower::setPaneShown (bool shouldShow)
{
    paneShown = shouldShow;
    pane.setVisible (shouldShow);
    updateTimer();
    refresh();
}

void TranscriptFollower::setCaptionsShown (bool shouldShow)
{
    captionsShown = shouldShow;
    captions.setVisible (shouldShow);
    updateTimer();
    refresh();
}

void TranscriptFollower::updateTimer()
{
    if ((paneShown || captionsShown) && lines != nullptr)
        startTimer (refreshIntervalMs);
    else
        stopTimer();
}

void TranscriptFollower::refresh()
{
    if (lines == nullptr || getPosition == nullptr)
    {
        captions.setCaption ({});
        return;
    }

    const auto seconds = getPosition();

    if (paneShown)
        pane.setPosition (seconds);

    captions.setCaption (captionsShown ? lines->getCaption (seconds) : juce::String());
}
