#pragma once

#include <JuceHeader.h>

#include <optional>

class Core;

/**
    The arithmetic of the playback controls, kept apart from the components so tests call it
    directly: the time label, the 10-second steps, the walk to the neighbouring downloaded
    chapter and where marker triangles go along the slider. Any thread.
*/
class PlaybackRules final
{
public:
    /** "mm:ss" of whole seconds truncated toward zero; minutes are not wrapped at an hour. */
    static juce::String formatTime (double seconds);

    /** The time label: position, " / ", duration. */
    static juce::String formatTimeLabel (double position, double duration);

    /** 10 seconds back, not below 0. */
    static double stepBack (double position) noexcept;

    /** 10 seconds forward, not past the end. */
    static double stepForward (double position, double duration) noexcept;

    /** A chapter's place in the catalog. */
    struct Place
    {
        int course = -1, lesson = -1, chapter = -1;
        bool operator== (const Place& other) const noexcept { return course == other.course && lesson == other.lesson && chapter == other.chapter; }
    };

    /** Walks from a chapter to the neighbouring downloaded one within its course: backwards the
        previous chapter, else the last of the previous lesson (the first lesson's previous is
        the last); forwards the next, else the first of the next lesson, wrapping. Lessons
        without chapters are passed over; each chapter is visited once at most, so the walk
        ends on the chapter itself when it is the only downloaded one, and finds nothing when
        none is.
    */
    static std::optional<Place> findNeighbour (const Core& core, Place from, bool forwards);

    /** The x of a marker triangle for a time: its point on the track, less half its width. */
    static int getMarkerX (double time, double duration, int trackStart, int trackLength) noexcept;

private:
    PlaybackRules() = delete;
};
