#include "playback/PlaybackRules.h"

#include "model/Core.h"

#include <cmath>

juce::String PlaybackRules::formatTime (double seconds)
{
    const auto whole = (juce::int64) std::trunc (juce::jmax (0.0, seconds));
    return juce::String::formatted ("%02d:%02d", (int) (whole / 60), (int) (whole % 60));
}

juce::String PlaybackRules::formatTimeLabel (double position, double duration)
{
    return formatTime (position) + " / " + formatTime (duration);
}

double PlaybackRules::stepBack (double position) noexcept
{
    return juce::jmax (position - 10.0, 0.0);
}

double PlaybackRules::stepForward (double position, double duration) noexcept
{
    return juce::jmin (position + 10.0, duration);
}

std::optional<PlaybackRules::Place> PlaybackRules::findNeighbour (const Core& core, Place from, bool forwards)
{
    const auto lessons = core.getNumLessons (from.course);
    int total = 0;

    for (int l = 0; l < lessons; ++l)
        total += core.getNumChapters (from.course, l);

    auto place = from;

    for (int visited = 0; visited < total; ++visited)
    {
        place.chapter += forwards ? 1 : -1;

        // Into the neighbouring lesson that has chapters, wrapping round the course.
        while (place.chapter < 0 || place.chapter >= core.getNumChapters (from.course, place.lesson))
        {
            place.lesson = (place.lesson + (forwards ? 1 : lessons - 1)) % lessons;
            place.chapter = forwards ? 0 : core.getNumChapters (from.course, place.lesson) - 1;
        }

        if (core.isVideoPresent (core.getChapterId (place.course, place.lesson, place.chapter)))
            return place;
    }

    return std::nullopt;
}

int PlaybackRules::getMarkerX (double time, double duration, int trackStart, int trackLength) noexcept
{
    // Without a duration every triangle sits at the start of the track.
    const auto offset = duration > 0.0 ? (int) std::nearbyint (time / duration * trackLength) : 0;
    return offset + trackStart - 7;
}
