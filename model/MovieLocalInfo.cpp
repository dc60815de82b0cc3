#include "model/MovieLocalInfo.h"

#include <cmath>

bool MovieLocalInfo::setYetToBeSeen (bool shouldBeUnseen) noexcept
{
    if (yetToBeSeen == shouldBeUnseen)
        return false;

    yetToBeSeen = shouldBeUnseen;
    return true;
}

bool MovieLocalInfo::setFavorite (bool shouldBeFavorite) noexcept
{
    if (favorite == shouldBeFavorite)
        return false;

    favorite = shouldBeFavorite;
    return true;
}

bool MovieLocalInfo::setTimestamp (juce::Time newTimestamp) noexcept
{
    if (timestamp == newTimestamp)
        return false;

    timestamp = newTimestamp;
    return true;
}

bool MovieLocalInfo::setPosition (double seconds) noexcept
{
    const auto stored = std::isfinite (seconds) && seconds > 0.0 ? seconds : 0.0;

    if (position == stored)
        return false;

    position = stored;
    return true;
}

void MovieLocalInfo::addMarker (const juce::String& text, double time)
{
    markers.add (new MovieMarker (text, time));
}

void MovieLocalInfo::removeMarker (int index)
{
    markers.remove (index);
}

bool MovieLocalInfo::setMarkerText (int index, const juce::String& text)
{
    auto* marker = markers[index];

    if (marker == nullptr || marker->text == text)
        return false;

    marker->text = text;
    return true;
}

double MovieLocalInfo::getMarkerTime (int index) const noexcept
{
    const auto* marker = markers[index];
    return marker != nullptr ? marker->time : 0.0;
}

juce::String MovieLocalInfo::getMarkerText (int index) const
{
    const auto* marker = markers[index];
    return marker != nullptr ? marker->text : juce::String();
}

int MovieLocalInfo::getMarkerType (int index) const noexcept
{
    const auto* marker = markers[index];
    return marker != nullptr ? marker->type : MovieMarker::normalType;
}

void MovieLocalInfo::resetToDefaults()
{
    timestamp = juce::Time();
    markers.clear();
    yetToBeSeen = false;
    favorite = false;
    position = 0.0;
}
