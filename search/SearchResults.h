#pragma once

#include "search/TranscriptLines.h"

#include <vector>

class Core;
class TranscriptCache;

/**
    The hits of the last search as a list: one row per hit, chapters in the catalog's order
    (courses, lessons, chapters; a chapter listed twice once), each chapter's hits in the order
    Core keeps them. A row says where it is (course, "lesson.chapter - title", time) and what is
    said there: about ten words of the transcript around the hit with the searched words
    highlighted, or, for a marker's hit, the marker's label.

    Collected from Core in one pass that only copies ids and times, so the first rows can be
    shown at once however many hits there are; the texts of a row are read when it is shown.

    Built and read on the message thread.
*/
class SearchResults final
{
public:
    /** One hit. */
    struct Row
    {
        juce::String chapterId;
        int hitIndex = 0;
        double seconds = 0.0;
        int course = -1;
        int lesson = -1;

        /** The label of the marker the hit belongs to; empty for a spoken hit. */
        juce::String markerLabel;
    };

    SearchResults() = default;

    /** The rows of Core's current hits, with the words they were found for. */
    static SearchResults collect (const Core& core);

    int getNumRows() const noexcept { return (int) rows.size(); }
    const Row& getRow (int row) const { return rows[(size_t) row]; }
    const juce::StringArray& getWords() const noexcept { return words; }

    /** The course's title. */
    juce::String getCourseText (const Core& core, int row) const;

    /** "lesson.chapter - title", with the lesson's and the chapter's numbers as shown. */
    juce::String getChapterText (const Core& core, int row) const;

    /** The hit's time as "m:ss", or "h:mm:ss" from an hour on. */
    static juce::String formatTime (double seconds);

    /** What is said at the hit: the marker's label, or the words around the spoken hit from the
        kept transcripts (empty when there are none, or they no longer hold the hit).
    */
    std::vector<TranscriptLines::Span> getContext (TranscriptCache& transcripts, int row) const;

private:
    juce::StringArray words;
    std::vector<Row> rows;
};
