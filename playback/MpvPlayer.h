#pragma once

#include "playback/MpvFrameRenderer.h"

#include <optional>

struct mpv_event;
struct MpvFunctions;
class MpvLibrary;

/**
    Plays one video file at a time through libmpv, with the behaviour the movie panel relies
    on: a synchronous load that says whether the file can be played, play and pause, exact
    seeks, staying paused at the end with the position kept, volume with mute.

    libmpv is loaded (MpvLibrary) and mpv's core started by the first load, not before: volume,
    looping and speed set earlier are kept and handed over then. When libmpv cannot be used, every
    load fails and getUnavailableReason() says why (the log says it too).

    Its frames are rendered on a thread of their own (MpvFrameRenderer); a change message is
    sent after each new one, for a component to fetch with getLatestFrame().

    Audio goes to mpv's default output, unless the environment variable TSY_AUDIO_OUTPUT
    names another mpv audio output ("null" keeps tests and benchmarks silent).

    Every operation except getLatestFrame() and getNumFramesRendered() is called on the
    message thread, where the change messages also arrive.
*/
class MpvPlayer final : public juce::ChangeBroadcaster,
                        private juce::AsyncUpdater
{
public:
    /** How long a load may take before it counts as failed. */
    static constexpr int defaultLoadTimeoutMs = 5000;

    /** A player of the given libmpv, or of the program's own (MpvLibrary::getShared(), loaded
        by the first load) when none is given; a library given must outlive the player.
    */
    explicit MpvPlayer (int loadTimeoutMs = defaultLoadTimeoutMs, const MpvLibrary* library = nullptr);
    ~MpvPlayer() override;

    /** Closes any open video, then opens this one, paused at its start, and waits until mpv has
        loaded it and knows its picture size. True when it has a video that can be played. */
    bool load (const juce::File& videoFile);

    /** Why no video can be played at all (libmpv missing or refusing to start), once a load
        has found out; "" otherwise.
    */
    const juce::String& getUnavailableReason() const noexcept { return unavailableReason; }

    /** True from a successful load until close. */
    bool isOpen() const noexcept { return open; }

    /** Releases the video; afterwards nothing is open and no frame is shown. */
    void close();

    /** Starts or resumes playback at the current position. */
    void play();

    /** Pauses; the position stays where it was. */
    void pause();

    /** True while the video is playing: false when paused, closed, or run to its end. */
    bool isPlaying() const;

    /** Seeks exactly to this time, kept within the video. Answered by getPosition() at once,
        and for as long as the video stays paused, even before mpv has found the frame. */
    void setPosition (double seconds);

    /** The position in seconds: the duration once the video has run to its end, 0 when none is open. */
    double getPosition() const;

    /** The length in seconds, 0 when no video is open. */
    double getDuration() const;

    /** Volume from 0.0 to 1.0; 0 or below also mutes. */
    void setVolume (float newVolume);

    /** mpv's own volume, 0.0 to 1.0 (the one set, before the first load). */
    float getVolume() const;

    /** mpv's own mute (the one set, before the first load). */
    bool isMuted() const;

    /** Plays at this rate (1 is normal), with the sound's pitch kept by mpv's tempo scaling.
        Positions and the duration stay in video time. Kept across loads.
    */
    void setSpeed (double rate);

    /** mpv's own playback rate. */
    double getSpeed() const;

    /** True: start again at the end; false: stay paused at the end. */
    void setLooping (bool shouldLoop);

    /** The picture's own size in pixels, empty when no video is open. */
    juce::Rectangle<int> getVideoSize() const;

    /** The latest frame, at the video's size (a null image when there is none), and its number. Any thread. */
    MpvFrameRenderer::Frame getLatestFrame() const { return renderer != nullptr ? renderer->getLatestFrame() : MpvFrameRenderer::Frame(); }

    /** Frames mpv has handed over for rendering since the player was made. Any thread. */
    juce::int64 getNumFramesRendered() const noexcept { return renderer != nullptr ? renderer->getNumFramesRendered() : 0; }

    /** For measurements: the time of the sound mpv is playing, in seconds of video time; empty
        while no sound plays.
    */
    std::optional<double> getAudioClock() const;

    /** Frames mpv had to drop, in the decoder or at output, for the open video. */
    juce::int64 getNumFramesDropped() const;

private:
    bool startCore();
    void applyKeptSettings();
    void handleAsyncUpdate() override;
    void handleEvent (const mpv_event& event);
    bool waitUntilLoaded (juce::int64 entry);
    bool setFlag (const char* name, bool value);
    std::optional<bool> getFlag (const char* name) const;
    std::optional<double> getDouble (const char* name) const;
    std::optional<juce::int64> getInt (const char* name) const;
    void runCommand (std::initializer_list<const char*> words);
    void unload();
    juce::Rectangle<int> getDisplaySize() const;

    const int loadTimeoutMs;
    const MpvLibrary* const givenLibrary;
    const MpvFunctions* mpv = nullptr;
    juce::String unavailableReason;
    mpv_handle* core = nullptr;
    float volume = 1.0f;
    bool muted = false, looping = false;
    double speed = 1.0;
    std::unique_ptr<MpvFrameRenderer> renderer;
    bool open = false;

    // Seeks are sent without waiting; the position they asked for stands in for mpv's until
    // the last one has landed and playback has moved on from it.
    std::optional<double> heldPosition;
    juce::uint64 seeksSent = 0, seeksAnswered = 0;
    bool seeking = false;

    // mpv may take a pause change before a seek sent earlier; at the end of the video that
    // seek is what lets playback go on, so a play waits for mpv to take the seek first.
    bool playWhenSeekTaken = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MpvPlayer)
};
