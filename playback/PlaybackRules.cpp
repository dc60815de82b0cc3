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

double PlaybackRules::seekBy (double position, double seconds, double duration) noexcept
{
    return juce::jlimit (0.0, juce::jmax (0.0, duration), position + seconds);
}

float PlaybackRules::stepVolume (float volume, float step) noexcept
{
    const auto stepped = juce::jlimit (0.0f, 1.0f, volume + step);

    // Ten steps of 0.1 down from 1 leave a float a hair above 0, which would not mute.
    return stepped < 0.001f ? 0.0f : stepped;
}

double PlaybackRules::getResumePosition (double watched, double duration) noexcept
{
    if (! std::isfinite (watched) || ! std::isfinite (duration) || duration <= 0.0 || watched <= 0.0)
        return 0.0;

    const auto remaining = duration - watched;

    if (remaining < resumeMinimumRemainingSeconds || remaining < duration * resumeMinimumRemainingFraction)
        return 0.0;

    return watched;
}

double PlaybackRules::getWatchedFraction (double watched, double duration) noexcept
{
    if (! std::isfinite (watched) || ! std::isfinite (duration) || duration <= 0.0)
        return 0.0;

    return juce::jlimit (0.0, 1.0, watched / duration);
}

juce::String PlaybackRules::describeWatched (double watched, double duration)
{
    if (getWatchedFraction (watched, duration) <= 0.0)
        return {};

    return TRANS ("Watched <position> of <duration>")
        .replace ("<position>", formatTime (juce::jmin (watched, duration)))
        .replace ("<duration>", formatTime (duration));
}

namespace
{
/** Speeds closer than this are the same step: what a preference or mpv hands back is a
    decimal that may be a rounding away from the step it came from.
*/
constexpr double speedTolerance = 1.0e-6;
} // namespace

double PlaybackRules::getFasterSpeed (double speed) noexcept
{
    for (const auto step : speedSteps)
        if (step > speed + speedTolerance)
            return step;

    return speedSteps.back();
}

double PlaybackRules::getSlowerSpeed (double speed) noexcept
{
    for (auto step = speedSteps.rbegin(); step != speedSteps.rend(); ++step)
        if (*step < speed - speedTolerance)
            return *step;

    return speedSteps.front();
}

juce::String PlaybackRules::formatSpeed (double speed)
{
    // Two decimals at most, as the steps have, without trailing zeros.
    auto text = juce::String (speed, 2);

    if (text.containsChar ('.'))
        text = text.trimCharactersAtEnd ("0").trimCharactersAtEnd (".");

    return text + "x";
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
