#include "search/TranscriptFollower.h"

#include "model/Core.h"
#include "model/ThreadStop.h"

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
    reader.removeAllJobs (true, ThreadStop::timeoutMs);
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
    awaitedRead = 0;

    if (chapterId.isEmpty())
        return show ({});

    if (const auto kept = transcripts.find (chapterId))
        return show (*kept);

    lines = nullptr;
    pane.setTranscript (nullptr, TRANS ("Reading the transcript..."));
    captions.setCaption ({});
    updateTimer();
    read();
}

void TranscriptFollower::read()
{
    awaitedRead = ++readsStarted;

    reader.addJob ([file = transcripts.getKeptFile(), chapter = chapterId, number = awaitedRead, self = juce::WeakReference<TranscriptFollower> (this)]
                   {
                       // The destructor stops a long parse; what it cut short is never shown.
                       const auto stopped = []
                       {
                           const auto* job = juce::ThreadPoolJob::getCurrentThreadPoolJob();
                           return job != nullptr && job->shouldExit();
                       };

                       auto entry = TranscriptCache::read (file, chapter, stopped);

                       if (stopped())
                           return;

                       juce::MessageManager::callAsync ([self, number, entry = std::move (entry)]
                                                        {
                                                            // A reading of an earlier chapter, or of the file the update replaced, is dropped.
                                                            if (auto* follower = self.get(); follower != nullptr && follower->awaitedRead == number)
                                                            {
                                                                follower->awaitedRead = 0;
                                                                follower->transcripts.add (entry);
                                                                follower->show (entry);
                                                            }
                                                        });
                   });
}

void TranscriptFollower::show (const TranscriptCache::Entry& entry)
{
    lines = entry.lines;
    pane.setTranscript (lines, entry.status == TranscriptCache::Status::unavailable ? TRANS ("The transcripts have not been downloaded yet.") : TRANS ("This chapter has no transcript."));
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
