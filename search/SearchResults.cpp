#include "search/SearchResults.h"

#include "model/Core.h"
#include "search/TranscriptCache.h"
#include "search/WordMatching.h"

#include <map>
#include <set>

namespace
{
/** The labels of a chapter's markers that the search finds, in the order it adds their hits. */
std::vector<std::pair<juce::String, double>> findMarkerHits (const Core& core, const juce::String& chapterId, const juce::StringArray& stems)
{
    std::vector<std::pair<juce::String, double>> found;

    for (int m = 0, n = core.getNumMarkers (chapterId); m < n; ++m)
    {
        const auto label = core.getMarkerText (chapterId, m);

        if (WordMatching::containsPhrase (WordMatching::splitLabel (label), stems))
            found.emplace_back (label, core.getMarkerTime (chapterId, m));
    }

    return found;
}
} // namespace

SearchResults SearchResults::collect (const Core& core)
{
    SearchResults results;
    results.words = core.getSearchWords();

    if (results.words.isEmpty() || core.getTotalSearchHits() == 0)
        return results;

    juce::StringArray stems;

    for (const auto& word : results.words)
        stems.add (WordMatching::getStem (word, false));

    // The marker part visits a chapter once per listing, so its markers' hits come that often.
    std::map<juce::String, int> listings;

    for (int c = 0, numCourses = core.getNumCourses(); c < numCourses; ++c)
        for (int l = 0, numLessons = core.getNumLessons (c); l < numLessons; ++l)
            for (int p = 0, numChapters = core.getNumChapters (c, l); p < numChapters; ++p)
                ++listings[core.getChapterId (c, l, p)];

    std::set<juce::String> seen;

    for (int c = 0, numCourses = core.getNumCourses(); c < numCourses; ++c)
    {
        for (int l = 0, numLessons = core.getNumLessons (c); l < numLessons; ++l)
        {
            for (int p = 0, numChapters = core.getNumChapters (c, l); p < numChapters; ++p)
            {
                const auto chapterId = core.getChapterId (c, l, p);
                const auto numHits = core.getNumSearchHits (chapterId);

                if (numHits == 0 || ! seen.insert (chapterId).second)
                    continue;

                const auto firstRow = results.rows.size();

                for (int h = 0; h < numHits; ++h)
                    results.rows.push_back (Row { chapterId, h, core.getSearchHitTime (chapterId, h), c, l, {} });

                // The marker part adds its hits after the spoken ones; markers changed since
                // the search no longer line up with them and leave the rows spoken.
                const auto labels = findMarkerHits (core, chapterId, stems);
                std::vector<std::pair<juce::String, double>> markers;

                for (int listing = listings[chapterId]; --listing >= 0;)
                    markers.insert (markers.end(), labels.begin(), labels.end());

                if (markers.size() > (size_t) numHits)
                    continue;

                const auto markerRows = firstRow + (size_t) numHits - markers.size();
                bool lineUp = true;

                for (size_t m = 0; m < markers.size() && lineUp; ++m)
                    lineUp = results.rows[markerRows + m].seconds == markers[m].second;

                for (size_t m = 0; m < markers.size() && lineUp; ++m)
                    results.rows[markerRows + m].markerLabel = markers[m].first;
            }
        }
    }

    return results;
}

juce::String SearchResults::getCourseText (const Core& core, int row) const
{
    return core.getCourseTitle (getRow (row).course);
}

juce::String SearchResults::getChapterText (const Core& core, int row) const
{
    const auto& r = getRow (row);
    return juce::String (core.getLessonOrder (r.course, r.lesson)) + "." + juce::String (core.getChapterOrder (r.chapterId))
           + " - " + core.getChapterTitle (r.chapterId);
}

juce::String SearchResults::formatTime (double seconds)
{
    const auto whole = (juce::int64) juce::jmax (0.0, seconds);
    const auto minutes = juce::String ((whole / 60) % 60);
    const auto secs = juce::String (whole % 60).paddedLeft ('0', 2);

    if (whole >= 3600)
        return juce::String (whole / 3600) + ":" + minutes.paddedLeft ('0', 2) + ":" + secs;

    return minutes + ":" + secs;
}

std::vector<TranscriptLines::Span> SearchResults::getContext (TranscriptCache& transcripts, int row) const
{
    const auto& r = getRow (row);

    if (r.markerLabel.isNotEmpty())
        return { TranscriptLines::Span { r.markerLabel, false } };

    auto status = TranscriptCache::Status::unavailable;
    const auto lines = transcripts.get (r.chapterId, status);

    if (lines == nullptr)
        return {};

    // The spoken hits of a chapter come in word order, one per match, before the markers' hits;
    // a transcript that no longer agrees is searched for a match at the hit's time instead.
    const auto matches = lines->findPhrase (words);
    auto word = -1;

    if ((size_t) r.hitIndex < matches.size() && lines->getSeekTime (matches[(size_t) r.hitIndex]) == r.seconds)
        word = matches[(size_t) r.hitIndex];
    else
        for (auto match : matches)
            if (word < 0 && lines->getSeekTime (match) == r.seconds)
                word = match;

    return word >= 0 ? lines->getContext (word, words.size()) : std::vector<TranscriptLines::Span> {};
}
