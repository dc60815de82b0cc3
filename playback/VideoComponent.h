#pragma once

#include "playback/MpvPlayer.h"

/**
    The movie panel's video: plays one chapter video file at a time, with no controls of its
    own, and shows its picture scaled to fit, keeping its proportions, with black around it.

    Its operations are those the panel needs of a movie component, named after JUCE's own;
    positions and durations are in seconds. Frames are rendered on a thread of the player's
    own, so drawing never waits for a frame.

    Message thread only. Audio goes to mpv's default output unless TSY_AUDIO_OUTPUT names
    another (see MpvPlayer).
*/
class VideoComponent final : public juce::Component,
                             private juce::ChangeListener
{
public:
    VideoComponent();
    ~VideoComponent() override;

    /** Closes any open video and opens this file, paused at its start; waits until it is
        loaded. Returns whether it can be played, as isMovieOpen() will. */
    bool loadMovie (const juce::File& videoFile);

    /** Why no video can be played at all (libmpv cannot be loaded or started), once a load
        has found out; "" otherwise.
    */
    const juce::String& getPlaybackUnavailableReason() const noexcept { return player.getUnavailableReason(); }

    /** True from a successful load until closeMovie(). */
    bool isMovieOpen() const;

    /** Releases the video; the picture goes black. */
    void closeMovie();

    /** Starts or resumes playback at the current position. */
    void play();

    /** Pauses; the position stays where it was. */
    void stop();

    /** True while playing; false when paused, or once the video has run to its end. */
    bool isPlaying() const;

    /** Seeks exactly to this time, kept within the video; getPosition() answers it at once. */
    void setPosition (double seconds);

    /** The position, the duration once the video has run to its end, 0 when none is open. */
    double getPosition() const;

    /** The video's length, 0 when none is open. */
    double getMovieDuration() const;

    /** Volume from 0.0 to 1.0; 0 or below also mutes the sound. */
    void setMovieVolume (float newVolume);

    /** The playback rate, 1 for normal speed, with the sound's pitch kept; kept across loads. */
    void setSpeed (double rate);
    double getSpeed() const;

    /** True: playback starts again at the end; false: it stops there. */
    void setLooping (bool shouldLoop);

    /** The video's own frame size in pixels; 0, 0 when none is open. */
    void getMovieNormalSize (int& width, int& height) const;

    /** For measurements: frames mpv handed over, frames it dropped, and frames painted, each
        counted once however often it was painted. */
    juce::int64 getNumFramesRendered() const noexcept { return player.getNumFramesRendered(); }
    juce::int64 getNumFramesDropped() const { return player.getNumFramesDropped(); }
    juce::int64 getNumFramesPainted() const noexcept { return framesPainted; }

    void paint (juce::Graphics& g) override;

    /** Takes the keyboard focus, so the playback keys reach the window whatever had it before. */
    void mouseDown (const juce::MouseEvent& e) override;

    /** Calls onDoubleClick. */
    void mouseDoubleClick (const juce::MouseEvent& e) override;

    /** Called on a double click on the picture. */
    std::function<void()> onDoubleClick;

private:
    void changeListenerCallback (juce::ChangeBroadcaster*) override;

    MpvPlayer player;
    juce::int64 lastPaintedFrame = 0, framesPainted = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VideoComponent)
};
