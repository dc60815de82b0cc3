#pragma once

#include "desktop/SessionBus.h"

#include <memory>

/**
    The player's media controls on the session bus: the bus name
    "org.mpris.MediaPlayer2.tsyplayer" with the object "/org/mpris/MediaPlayer2" and its two
    interfaces, the application ("org.mpris.MediaPlayer2") and the player
    ("org.mpris.MediaPlayer2.Player"). Media keys, the desktop's media controls and headset
    buttons reach the player through them.

    The message thread pushes the playback state in; the bus thread answers every property read
    from the last state pushed and every method call at once, and hands the call on to the Host on
    the message thread, so no caller ever waits for the window and the window never waits for
    the bus.
*/
class MediaControls final
{
public:
    /** What the controls ask of the player. Every call arrives on the message thread. */
    class Host
    {
    public:
        virtual ~Host() = default;

        virtual void raise() = 0;
        virtual void quit() = 0;
        virtual void play() = 0;
        virtual void pause() = 0;
        virtual void playPause() = 0;
        virtual void stop() = 0;
        virtual void next() = 0;
        virtual void previous() = 0;

        /** Moves the position by an offset (negative: backwards). */
        virtual void seekBy (juce::int64 offsetMicroseconds) = 0;

        /** Moves the current track to a position within its length. */
        virtual void setPosition (juce::int64 positionMicroseconds) = 0;
    };

    enum class Status
    {
        stopped,
        paused,
        playing
    };

    /** What the player is doing; an empty track id means no current track. */
    struct State
    {
        Status status = Status::stopped;
        juce::String trackId;
        juce::String title, album, artUrl;
        juce::int64 lengthMicroseconds = 0;
        juce::int64 positionMicroseconds = 0;
        double rate = 1.0;
        bool canPlay = false, canPause = false, canSeek = false;
        bool canGoNext = false, canGoPrevious = false;

        bool operator== (const State& other) const;
        bool operator!= (const State& other) const { return ! operator== (other); }
    };

    /** Puts the controls on the bus: the object first, then the name. Message thread. */
    MediaControls (SessionBus& bus, Host& host, const juce::String& desktopEntry);

    /** Takes the object and the name off the bus; no Host call arrives afterwards. Message
        thread.
    */
    ~MediaControls();

    /** Publishes a new state; the bus is told of every property that changed. Message thread. */
    void setState (const State& newState);

    /** Tells the bus that the position jumped (a seek, a new track's start). Message thread. */
    void seeked (juce::int64 positionMicroseconds);

    /** The bus object path naming a chapter: characters a path allows are kept, every other
        byte is written as "_" and two hex digits.
    */
    static juce::String makeTrackId (const juce::String& chapterId);

    /** The track id of no track. */
    static constexpr const char* noTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

    static constexpr const char* busName = "org.mpris.MediaPlayer2.tsyplayer";
    static constexpr const char* objectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* applicationInterface = "org.mpris.MediaPlayer2";
    static constexpr const char* playerInterface = "org.mpris.MediaPlayer2.Player";
    static constexpr const char* identity = "TSY-Player";

private:
    struct Shared;

    SessionBus& bus;
    std::shared_ptr<Shared> shared;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MediaControls)
};
