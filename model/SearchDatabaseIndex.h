#pragma once

#include <JuceHeader.h>

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

struct sqlite3;

/**
    An index of the search database held in memory, which answers the search's four queries
    without scanning the words table.

    Every words row has a position: the rows of one chapter are side by side, by word number, so
    the indexed words after a word are the positions after it. Every distinct word is listed in
    the order of the LIKE operator (ASCII letters compared without case), with the rows that hold
    it in the database's own row order, so the words of a prefix are a range of that list and
    their rows come back in the order the database scan gives them. Each chapter's time stamps
    are sorted by word number, one per number: the one with the fewest seconds, which is the one
    the database returns among stamps of the same word number.

    The index is built only when it can answer exactly as the queries do on that file: a
    database with other tables, indexes or a different schema, a value of another type than the
    tables declare, a number beyond 32 bits or text that is not plain UTF-8 gives no index, and
    the queries run instead.

    Built once on a thread other than the message thread, then never changed, so any thread
    may read it.
*/
class SearchDatabaseIndex final
{
public:
    /** Asked now and then during a build or a visit; true ends it early. */
    using StopCheck = std::function<bool()>;

    /** A row's place in the index. */
    using Position = juce::uint32;

    /** A time stamp: the word number it marks and its time. */
    struct Stamp
    {
        int wordIndex = 0;
        double seconds = 0.0;
    };

    /** Reads the whole database through a connection the caller keeps. Nullptr when stopped,
        when the database cannot be read, or when the index could not answer exactly as the
        queries would. Any thread but the message thread, where it refuses and gives nullptr;
        one build per connection at a time.
    */
    static std::unique_ptr<SearchDatabaseIndex> build (sqlite3* db, const StopCheck& shouldStop = {});

    /** The rows the query "SELECT idmovie, wordindex FROM main.words WHERE word LIKE ?1" returns
        for the pattern made of a prefix without wildcards followed by "%", as their positions,
        in the order the query returns them; an empty prefix gives every row. The visitor
        returns false to end the visit, which then returns false.
    */
    bool visitWordsStartingWith (std::string_view prefixUtf8, const std::function<bool (Position)>& visitor) const;

    /** The number of rows of the words table. */
    size_t getNumWords() const noexcept { return wordIndices.size(); }

    /** The number of chapters that have words. */
    int getNumChapters() const noexcept { return (int) chapterIds.size(); }

    /** The chapter a position belongs to. */
    int getChapterOf (Position position) const noexcept;

    /** A chapter's id as the database holds it. */
    const juce::String& getChapterId (int chapter) const noexcept { return chapterIds[(size_t) chapter]; }

    /** The position of a chapter's first word. */
    Position getChapterBegin (int chapter) const noexcept { return chapterWordStarts[(size_t) chapter]; }

    /** The position after the last word of a chapter. */
    Position getChapterEnd (int chapter) const noexcept { return chapterWordStarts[(size_t) chapter + 1]; }

    /** The word number of the row at a position. */
    int getWordIndex (Position position) const noexcept { return wordIndices[position]; }

    /** The word of the row at a position, as UTF-8. */
    std::string_view getWord (Position position) const noexcept;

    /** The stamp "... WHERE idmovie=?1 AND wordindex <= ?2 ORDER BY wordindex DESC LIMIT 1"
        finds for a chapter and a word number, if any.
    */
    std::optional<Stamp> findStampAtOrBefore (int chapter, int wordIndex) const noexcept;

    /** The stamp "... WHERE idmovie=?1 AND wordindex >= ?2 ORDER BY wordindex ASC LIMIT 1"
        finds for a chapter and a word number, if any.
    */
    std::optional<Stamp> findStampAtOrAfter (int chapter, int wordIndex) const noexcept;

    /** The bytes the index occupies. */
    size_t getMemorySize() const noexcept;

private:
    class Builder;

    SearchDatabaseIndex() = default;

    /** The range of distinct words whose text, without ASCII case, starts with a prefix. */
    std::pair<juce::uint32, juce::uint32> findWordsStartingWith (std::string_view prefix) const noexcept;

    /** The position of the row that is the database's n-th in its own order. */
    Position getPositionOfRow (juce::uint32 row) const noexcept { return rowPositions.empty() ? row : rowPositions[row]; }

    // By position: the word number and which distinct word.
    std::vector<juce::int32> wordIndices;
    std::vector<juce::uint32> wordIds;

    // By row of the database's scan: the row's position; empty when every row is at its own.
    std::vector<Position> rowPositions;

    // The distinct words in LIKE order, their texts one after the other, and for each the rows
    // that hold it, in the database's order.
    std::vector<char> vocabularyText;
    std::vector<juce::uint32> vocabularyStarts;
    std::vector<juce::uint32> postingStarts;
    std::vector<juce::uint32> postings;

    // By chapter: its id, and where its words and stamps begin (one more entry for the end).
    std::vector<juce::String> chapterIds;
    std::vector<Position> chapterWordStarts;
    std::vector<juce::uint32> chapterStampStarts;

    std::vector<juce::int32> stampWordIndices;
    std::vector<double> stampSeconds;

    // A longer LIKE pattern is an error for the database, which then returns no rows.
    size_t longestPatternBytes = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SearchDatabaseIndex)
};
