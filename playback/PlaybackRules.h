#pragma once

#include <JuceHeader.h>

#include <array>
#include <optional>

class Core;

/**
    The arithmetic of the playback controls, kept apart from the components so tests call it
    directly: the time label, the seeking steps, the volume steps, where a chapter resumes, the
    walk to the neighbouring downloaded chapter and where marker triangles go along the slider.
    Any thread.
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

    /** Moves a position by a number of seconds (negative: back), kept within 0 and the duration. */
    static double seekBy (double position, double seconds, double duration) noexcept;

    /** The volume the Up and Down keys change by. */
    static constexpr float volumeStep = 0.1f;

    /** Changes a volume by a step, kept within 0 and 1; a result within rounding of 0 is 0, so
        stepping down mutes.
    */
    static float stepVolume (float volume, float step) noexcept;

    /** A chapter resumes where watching stopped unless less than this many seconds, or this
        fraction of the duration, remain: then it starts over.
    */
    static constexpr double resumeMinimumRemainingSeconds = 5.0;
    static constexpr double resumeMinimumRemainingFraction = 0.05;

    /** Where a chapter of this duration opens, given where watching stopped: that position, or 0
        when it is not a usable time within the video or too close to the end. A duration not
        above 0 (no video) opens at 0.
    */
    static double getResumePosition (double watched, double duration) noexcept;

    /** How much of a chapter was watched, from 0 to 1; 0 when the duration is not above 0. */
    static double getWatchedFraction (double watched, double duration) noexcept;

    /** "Watched 12:30 of 20:00"; empty when nothing was watched or the duration is unknown. */
    static juce::String describeWatched (double watched, double duration);

    /** The playback speeds offered, slowest first; 1 is normal speed. */
    static constexpr std::array<double, 9> speedSteps { 0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0 };

    /** The next step above a speed (a speed between steps goes to the next one up); the fastest
        step stays.
    */
    static double getFasterSpeed (double speed) noexcept;

    /** The next step below a speed; the slowest step stays. */
    static double getSlowerSpeed (double speed) noexcept;

    /** The speed control's text: "1x", "1.5x", "0.75x". */
    static juce::String formatSpeed (double speed);

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
