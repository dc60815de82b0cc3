#include "ui/TranscriptControls.h"

#include "app/PreferencesManager.h"
#include "playback/MoviePanel.h"

TranscriptControls::TranscriptControls (Core& c, MoviePanel& panel, std::function<void()> layout)
    : core (c),
      moviePanel (panel),
      relayout (std::move (layout)),
      follower (c, [&panel]
                { return panel.getVideo().isMovieOpen() ? panel.getVideo().getPosition() : 0.0; })
{
    auto& video = moviePanel.getVideo();
    transcriptButton.setName ("transcriptButton");
    captionsButton.setName ("captionsButton");
    transcriptButton.setTooltip (TRANS ("Transcript (t)"));
    captionsButton.setTooltip (TRANS ("Captions (c)"));

    for (auto* button : { &transcriptButton, &captionsButton })
    {
        button->setWantsKeyboardFocus (false);
        button->setColour (juce::TextButton::buttonColourId, juce::Colours::black.withAlpha (0.45f));
        button->setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xcc2f4a6b));
        video.addAndMakeVisible (button);
    }

    transcriptButton.onClick = [this]
    { toggleTranscript(); };
    captionsButton.onClick = [this]
    { toggleCaptions(); };

    follower.getPane().setName ("transcriptPane");
    follower.getPane().onSeek = [this] (double seconds)
    {
        if (! moviePanel.getVideo().isMovieOpen())
            return;

        moviePanel.getVideo().setPosition (seconds);
        moviePanel.refreshControls();
        follower.refresh();
    };

    video.addAndMakeVisible (follower.getCaptions());
    video.addComponentListener (this);
    componentMovedOrResized (video, false, true);

    follower.setCaptionsShown (PreferencesManager::getInstance()->getCaptions());
    captionsButton.setToggleState (follower.areCaptionsShown(), juce::dontSendNotification);
    follower.setSearchWords (core.getSearchWords());
    core.addListener (this);
    startTimer (chapterCheckIntervalMs);
}

TranscriptControls::~TranscriptControls()
{
    stopTimer();
    core.removeListener (this);
    moviePanel.getVideo().removeComponentListener (this);
}

bool TranscriptControls::keyPressed (const juce::KeyPress& key)
{
    if (key == juce::KeyPress ('t'))
        toggleTranscript();
    else if (key == juce::KeyPress ('c'))
        toggleCaptions();
    else
        return false;

    return true;
}

void TranscriptControls::toggleTranscript()
{
    follower.setPaneShown (! follower.isPaneShown());
    transcriptButton.setToggleState (follower.isPaneShown(), juce::dontSendNotification);

    if (relayout != nullptr)
        relayout();
}

void TranscriptControls::toggleCaptions()
{
    follower.setCaptionsShown (! follower.areCaptionsShown());
    captionsButton.setToggleState (follower.areCaptionsShown(), juce::dontSendNotification);
    PreferencesManager::getInstance()->setCaptions (follower.areCaptionsShown());
}

void TranscriptControls::timerCallback()
{
    // The movie panel opens and closes chapters on its own; the pane follows within a moment.
    follower.setChapter (moviePanel.getCurrentChapterId());
}

void TranscriptControls::componentMovedOrResized (juce::Component& video, bool, bool)
{
    follower.getCaptions().setBounds (video.getLocalBounds());
    captionsButton.setBounds (video.getWidth() - 44, 8, 36, 24);
    transcriptButton.setBounds (video.getWidth() - 84, 8, 36, 24);
}

void TranscriptControls::searchResultsChanged()
{
    follower.setSearchWords (core.getSearchWords());
}

void TranscriptControls::searchDatabaseChanged()
{
    follower.transcriptsChanged();
}
