#pragma once

#include "model/MovieMarker.h"

/**
    The user's own state of one chapter: seen or not, favourite, markers, where watching stopped,
    and when its video was downloaded.

    Core owns one per chapter of the current catalog and changes it under its write lock. The
    setters report whether the value changed, so the caller saves and notifies only then.
*/
class MovieLocalInfo
{
public:
    MovieLocalInfo() = default;
    virtual ~MovieLocalInfo() = default;

    /** Stores the flag; true when it changed. */
    bool setYetToBeSeen (bool shouldBeUnseen) noexcept;

    /** Stores the flag; true when it changed. */
    bool setFavorite (bool shouldBeFavorite) noexcept;

    /** Stores the download timestamp; true when it changed. */
    bool setTimestamp (juce::Time newTimestamp) noexcept;

    /** Stores where watching stopped, in seconds; a time that is negative or not a finite
        number stores 0. True when it changed.
    */
    bool setPosition (double seconds) noexcept;

    /** Appends a normal marker; markers keep their insertion order, not their time order. */
    void addMarker (const juce::String& text, double time);

    /** Deletes the marker at an index; later markers move down by one. */
    void removeMarker (int index);

    /** Relabels the marker at an index; true when the text changed. */
    bool setMarkerText (int index, const juce::String& text);

    /** The number of markers. */
    int getNumMarkers() const noexcept { return markers.size(); }

    /** A marker's time in seconds, or 0 when the index is out of range. */
    double getMarkerTime (int index) const noexcept;

    /** A marker's label, or an empty string when the index is out of range. */
    juce::String getMarkerText (int index) const;

    /** A marker's type, or 0 when the index is out of range. */
    int getMarkerType (int index) const noexcept;

    /** Returns everything but videoPresent to the state of a chapter never downloaded. */
    void resetToDefaults();

    bool videoPresent = false;
    juce::Time timestamp;
    juce::OwnedArray<MovieMarker> markers;
    bool yetToBeSeen = false;
    bool favorite = false;

    /** Where the user stopped watching, in seconds of video time; 0 when never watched. */
    double position = 0.0;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MovieLocalInfo)
};
