#pragma once

#include "model/Core.h"

#include <functional>

struct sqlite3;

/**
    The transcript search: finds the moments where the searched words are spoken one after the
    other, and the markers whose labels contain them.

    Words match by prefix after their stem is taken (WordMatching), so "casa" finds "case" and
    "casetta". The spoken part asks the search database with four fixed queries (or, once Core
    has built it, the database's index, which answers them the same way) and places each
    hit about five seconds before the moment the first word is estimated to be spoken,
    interpolated between the time stamps around it. Hits stay in the order they are found,
    per chapter, duplicates included.
*/
class TranscriptSearch final
{
public:
    /** Asked between rows and during long queries; true ends the spoken part early. */
    using StopCheck = std::function<bool()>;

    /** The whole search, at once: replaces Core's words, clears its hits, finds the new ones and
        broadcasts "sc" (also for no words, which only clears). Message thread; returns true.
    */
    static bool search (Core& core, const juce::StringArray& words);

    /** The spoken part on a search database (or none, which finds nothing), adding to the hits.
        The caller holds Core's database lock for the whole call. False when stopped, with the
        hits incomplete. Any thread.
    */
    static bool findSpokenWords (sqlite3* db, const juce::StringArray& words, Core::SearchHits& hits, const StopCheck& shouldStop = {});

    /** The spoken part from an index of the search database: the same hits, with the same
        times in the same order, as the queries give on that database. Any thread.
    */
    static bool findSpokenWords (const SearchDatabaseIndex& index, const juce::StringArray& words, Core::SearchHits& hits, const StopCheck& shouldStop = {});

    /** The spoken part from the index when there is one, else from the database; for callers
        of Core::withSearchDatabaseAndIndex. Any thread.
    */
    static bool findSpokenWords (sqlite3* db, const SearchDatabaseIndex* index, const juce::StringArray& words, Core::SearchHits& hits, const StopCheck& shouldStop = {});

    /** The marker part: every marker whose label holds the words as a phrase adds its own time
        to its chapter's hits. Takes Core's catalog lock; any thread.
    */
    static void findMarkers (const Core& core, const juce::StringArray& words, Core::SearchHits& hits);

    /** The moment a word is estimated to be spoken, given the word's number, the last stamp at
        or before it (word number and seconds, both 0 when there is none) and whether there is a
        first stamp at or after it (with its word number and seconds): interpolated by word
        number between the two stamps, or the first stamp's time without a second one.
    */
    static double getSpokenTime (juce::int64 wordIndex,
                                 juce::int64 stampBeforeIndex,
                                 double stampBeforeSeconds,
                                 bool hasStampAfter,
                                 juce::int64 stampAfterIndex,
                                 double stampAfterSeconds) noexcept;

    /** Where a hit is placed, given the word's number, the last stamp at or before it (word
        number and seconds, both 0 when there is none) and whether there is a first stamp at or
        after it (with its word number and seconds).
    */
    static double getHitTime (juce::int64 wordIndex,
                              juce::int64 stampBeforeIndex,
                              double stampBeforeSeconds,
                              bool hasStampAfter,
                              juce::int64 stampAfterIndex,
                              double stampAfterSeconds) noexcept;

    static constexpr const char* wordsQuery = "SELECT idmovie, wordindex FROM main.words WHERE word LIKE ?1";
    static constexpr const char* followingWordsQuery = "SELECT wordindex, word FROM main.words WHERE idmovie=?1 AND wordindex > ?2 ORDER BY wordindex ASC LIMIT ";
    static constexpr const char* stampBeforeQuery = "SELECT wordindex, seconds FROM main.timestamps WHERE idmovie=?1 AND wordindex <= ?2 ORDER BY wordindex DESC LIMIT 1";
    static constexpr const char* stampAfterQuery = "SELECT wordindex, seconds FROM main.timestamps WHERE idmovie=?1 AND wordindex >= ?2 ORDER BY wordindex ASC LIMIT 1";

private:
    TranscriptSearch() = delete;
};
