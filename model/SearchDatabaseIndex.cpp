#include "model/SearchDatabaseIndex.h"

#include <sqlite3.h>

#include <algorithm>
#include <deque>
#include <limits>
#include <numeric>
#include <string>
#include <tuple>
#include <unordered_map>

namespace
{
/** The schema the index knows how the database answers for, as SQLite records it: the two
    tables and their primary keys' own indexes, nothing else.
*/
constexpr const char* schemaQuery = "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name";

const std::vector<std::tuple<std::string, std::string, std::string, std::string>>& getExpectedSchema()
{
    static const std::vector<std::tuple<std::string, std::string, std::string, std::string>> schema {
        { "index", "sqlite_autoindex_timestamps_1", "timestamps", "" },
        { "index", "sqlite_autoindex_words_1", "words", "" },
        { "table", "timestamps", "timestamps", "CREATE TABLE timestamps (idmovie VARCHAR(255), seconds INTEGER, wordindex INTEGER, PRIMARY KEY(idmovie, seconds))" },
        { "table", "words", "words", "CREATE TABLE words (idmovie VARCHAR(255), wordindex INTEGER, word VARCHAR(255), PRIMARY KEY(idmovie, wordindex))" },
    };
    return schema;
}

// The plain scans of both tables: the same row order as the search's LIKE query, which cannot
// use an index either.
constexpr const char* wordsScan = "SELECT idmovie, wordindex, word FROM main.words";
constexpr const char* stampsScan = "SELECT idmovie, seconds, wordindex FROM main.timestamps";

constexpr int rowsBetweenStopChecks = 1 << 16;

// The most rows reserved before reading them: beyond it the array grows as rows come.
constexpr sqlite3_int64 maxRowsReserved = 1 << 26;

char foldAsciiCase (char c) noexcept
{
    return c >= 'A' && c <= 'Z' ? (char) (c + ('a' - 'A')) : c;
}

/** Orders texts as LIKE compares them (ASCII letters without case), ties by their bytes. */
bool comesBeforeInLikeOrder (std::string_view a, std::string_view b) noexcept
{
    const auto common = std::min (a.size(), b.size());

    for (size_t i = 0; i < common; ++i)
    {
        const auto fa = (unsigned char) foldAsciiCase (a[i]), fb = (unsigned char) foldAsciiCase (b[i]);

        if (fa != fb)
            return fa < fb;
    }

    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

/** Compares a text's start with a prefix as LIKE does: negative when the text comes before
    every text that starts with the prefix, 0 when it starts with it, positive after.
*/
int compareStartWithPrefix (std::string_view text, std::string_view prefix) noexcept
{
    const auto common = std::min (text.size(), prefix.size());

    for (size_t i = 0; i < common; ++i)
    {
        const auto ft = (unsigned char) foldAsciiCase (text[i]), fp = (unsigned char) foldAsciiCase (prefix[i]);

        if (ft != fp)
            return ft < fp ? -1 : 1;
    }

    return text.size() < prefix.size() ? -1 : 0;
}

/** Whether UTF-8 text holds only characters that LIKE reads as themselves: well-formed
    sequences of characters other than U+0000, surrogates and U+FFFD to U+FFFF (which SQLite
    reads as U+FFFD, so that comparing bytes would no longer give LIKE's answer).
*/
bool isPlainUtf8 (std::string_view text) noexcept
{
    for (size_t i = 0; i < text.size();)
    {
        const auto lead = (unsigned char) text[i];

        if (lead == 0)
            return false;

        if (lead < 0x80)
        {
            ++i;
            continue;
        }

        const auto length = lead >= 0xf0 ? 4u : lead >= 0xe0 ? 3u
                                            : lead >= 0xc0   ? 2u
                                                             : 0u;

        if (length == 0 || lead > 0xf4 || i + length > text.size())
            return false;

        juce::uint32 c = lead & (0x7fu >> length);

        for (size_t k = 1; k < length; ++k)
        {
            const auto next = (unsigned char) text[i + k];

            if ((next & 0xc0) != 0x80)
                return false;

            c = (c << 6) | (next & 0x3fu);
        }

        const juce::uint32 smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };

        if (c < smallest[length] || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff) || (c >= 0xfffd && c <= 0xffff))
            return false;

        i += length;
    }

    return true;
}

std::string_view textColumn (sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*> (sqlite3_column_text (statement, column));
    return { text != nullptr ? text : "", (size_t) sqlite3_column_bytes (statement, column) };
}

bool fitsInInt32 (sqlite3_int64 value) noexcept
{
    return value >= std::numeric_limits<juce::int32>::min() && value <= std::numeric_limits<juce::int32>::max();
}

/** A prepared statement, finalised when it goes. */
struct Statement
{
    Statement (sqlite3* db, const char* sql) { sqlite3_prepare_v2 (db, sql, -1, &statement, nullptr); }
    ~Statement() { sqlite3_finalize (statement); }

    sqlite3_stmt* statement = nullptr;

    JUCE_DECLARE_NON_COPYABLE (Statement)
};
} // namespace

//==============================================================================
/** Reads both tables into a new index, checking each value on the way. */
class SearchDatabaseIndex::Builder final
{
public:
    Builder (sqlite3* database, const StopCheck& check) : db (database), shouldStop (check) {}

    std::unique_ptr<SearchDatabaseIndex> build()
    {
        index.reset (new SearchDatabaseIndex());

        if (db == nullptr || ! hasExpectedSchema() || ! readWords() || ! arrangeWords() || ! readStamps())
            return nullptr;

        index->longestPatternBytes = (size_t) juce::jmax (0, sqlite3_limit (db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1));
        return std::move (index);
    }

private:
    struct Row
    {
        juce::uint32 chapter;
        juce::int32 wordIndex;
        juce::uint32 word;
    };

    bool isStopped (size_t rowsRead) const { return rowsRead % rowsBetweenStopChecks == 0 && shouldStop != nullptr && shouldStop(); }

    bool hasExpectedSchema() const
    {
        Statement schema (db, schemaQuery);
        std::vector<std::tuple<std::string, std::string, std::string, std::string>> found;

        while (schema.statement != nullptr && sqlite3_step (schema.statement) == SQLITE_ROW)
            found.emplace_back (textColumn (schema.statement, 0), textColumn (schema.statement, 1), textColumn (schema.statement, 2), textColumn (schema.statement, 3));

        return found == getExpectedSchema();
    }

    /** The chapter number of an id, numbered in order of first appearance; -1 for an id that is
        not plain text.
    */
    juce::int64 findOrAddChapter (std::string_view id)
    {
        if (lastChapter >= 0 && id == lastChapterId)
            return lastChapter;

        auto found = chapterNumbers.find (std::string (id));

        if (found == chapterNumbers.end())
        {
            if (! isPlainUtf8 (id) || chapterNumbers.size() >= std::numeric_limits<juce::int32>::max())
                return -1;

            found = chapterNumbers.emplace (std::string (id), (juce::uint32) chapterNumbers.size()).first;
            index->chapterIds.push_back (juce::String::fromUTF8 (id.data(), (int) id.size()));
        }

        lastChapterId.assign (id);
        lastChapter = found->second;
        return lastChapter;
    }

    bool readWords()
    {
        Statement scan (db, wordsScan);

        if (scan.statement == nullptr)
            return false;

        // Rows are never deleted from the table, so its largest row id is about its number of
        // rows: reserving that much saves copying millions of rows while the array grows.
        {
            Statement largest (db, "SELECT max(rowid) FROM main.words");

            if (largest.statement != nullptr && sqlite3_step (largest.statement) == SQLITE_ROW)
                rows.reserve ((size_t) juce::jlimit<sqlite3_int64> (0, maxRowsReserved, sqlite3_column_int64 (largest.statement, 0)));
        }

        std::unordered_map<std::string_view, juce::uint32> wordNumbers;
        wordNumbers.reserve (1 << 14);
        int result = SQLITE_ROW;

        while ((result = sqlite3_step (scan.statement)) == SQLITE_ROW)
        {
            if (isStopped (rows.size()) || rows.size() >= std::numeric_limits<juce::uint32>::max() - 1)
                return false;

            auto* const s = scan.statement;

            if (sqlite3_column_type (s, 0) != SQLITE_TEXT || sqlite3_column_type (s, 1) != SQLITE_INTEGER || sqlite3_column_type (s, 2) != SQLITE_TEXT)
                return false;

            const auto wordIndex = sqlite3_column_int64 (s, 1);
            const auto chapter = findOrAddChapter (textColumn (s, 0));
            const auto word = textColumn (s, 2);

            if (chapter < 0 || ! fitsInInt32 (wordIndex))
                return false;

            auto found = wordNumbers.find (word);

            if (found == wordNumbers.end())
            {
                if (! isPlainUtf8 (word))
                    return false;

                const auto number = (juce::uint32) words.size();
                found = wordNumbers.emplace (words.emplace_back (word), number).first;
            }

            rows.push_back ({ (juce::uint32) chapter, (juce::int32) wordIndex, found->second });
        }

        return result == SQLITE_DONE;
    }

    /** Puts the distinct words in LIKE order, every row at its position and the postings of
        every word.
    */
    bool arrangeWords()
    {
        auto& ix = *index;
        const auto numRows = rows.size();
        const auto numChapters = ix.chapterIds.size();
        const auto numWords = words.size();

        std::vector<juce::uint32> order (numWords);
        std::iota (order.begin(), order.end(), 0u);
        std::sort (order.begin(), order.end(), [this] (juce::uint32 a, juce::uint32 b)
                   { return comesBeforeInLikeOrder (words[a], words[b]); });

        std::vector<juce::uint32> rank (numWords);
        ix.vocabularyStarts.reserve (numWords + 1);

        for (juce::uint32 r = 0; r < numWords; ++r)
        {
            rank[order[r]] = r;
            const auto& text = words[order[r]];

            if (ix.vocabularyText.size() + text.size() > std::numeric_limits<juce::uint32>::max())
                return false;

            ix.vocabularyStarts.push_back ((juce::uint32) ix.vocabularyText.size());
            ix.vocabularyText.insert (ix.vocabularyText.end(), text.begin(), text.end());
        }

        ix.vocabularyStarts.push_back ((juce::uint32) ix.vocabularyText.size());
        words.clear();

        // Chapters side by side in order of first appearance, each chapter's rows in scan order
        // at first, then by word number.
        ix.chapterWordStarts.assign (numChapters + 1, 0);

        for (const auto& row : rows)
            ++ix.chapterWordStarts[row.chapter + 1];

        std::partial_sum (ix.chapterWordStarts.begin(), ix.chapterWordStarts.end(), ix.chapterWordStarts.begin());

        auto next = ix.chapterWordStarts;
        std::vector<Position> positions (numRows);
        std::vector<juce::uint32> rowAt (numRows);
        ix.wordIndices.resize (numRows);
        ix.wordIds.resize (numRows);

        for (juce::uint32 r = 0; r < numRows; ++r)
        {
            const auto position = next[rows[r].chapter]++;
            positions[r] = position;
            rowAt[position] = r;
            ix.wordIndices[position] = rows[r].wordIndex;
            ix.wordIds[position] = rank[rows[r].word];
        }

        for (size_t c = 0; c < numChapters; ++c)
            if (! sortChapter (ix.chapterWordStarts[c], ix.chapterWordStarts[c + 1], positions, rowAt))
                return false;

        bool everyRowInPlace = true;

        for (juce::uint32 r = 0; r < numRows && everyRowInPlace; ++r)
            everyRowInPlace = positions[r] == r;

        if (! everyRowInPlace)
            ix.rowPositions = std::move (positions);

        ix.postingStarts.assign (numWords + 1, 0);

        for (const auto& row : rows)
            ++ix.postingStarts[rank[row.word] + 1];

        std::partial_sum (ix.postingStarts.begin(), ix.postingStarts.end(), ix.postingStarts.begin());
        ix.postings.resize (numRows);
        auto nextPosting = ix.postingStarts;

        for (juce::uint32 r = 0; r < numRows; ++r)
            ix.postings[nextPosting[rank[rows[r].word]]++] = r;

        rows = {};
        return true;
    }

    /** Orders one chapter's positions by word number; false when a number is there twice (the
        primary key forbids it, and the queries' answer would then depend on the order of ties).
    */
    bool sortChapter (Position begin, Position end, std::vector<Position>& positions, std::vector<juce::uint32>& rowAt)
    {
        auto& ix = *index;

        if (std::is_sorted (ix.wordIndices.begin() + begin, ix.wordIndices.begin() + end))
            return std::adjacent_find (ix.wordIndices.begin() + begin, ix.wordIndices.begin() + end) == ix.wordIndices.begin() + end;

        std::vector<std::tuple<juce::int32, juce::uint32, juce::uint32>> entries;

        for (auto p = begin; p < end; ++p)
            entries.emplace_back (ix.wordIndices[p], ix.wordIds[p], rowAt[p]);

        std::sort (entries.begin(), entries.end());

        for (auto p = begin; p < end; ++p)
        {
            const auto& [wordIndex, wordId, row] = entries[p - begin];

            if (p > begin && wordIndex == ix.wordIndices[p - 1])
                return false;

            ix.wordIndices[p] = wordIndex;
            ix.wordIds[p] = wordId;
            rowAt[p] = row;
            positions[row] = p;
        }

        return true;
    }

    bool readStamps()
    {
        auto& ix = *index;
        Statement scan (db, stampsScan);

        if (scan.statement == nullptr)
            return false;

        struct StampRow
        {
            juce::uint32 chapter;
            juce::int32 wordIndex;
            sqlite3_int64 seconds;

            bool operator<(const StampRow& other) const noexcept { return std::tie (chapter, wordIndex, seconds) < std::tie (other.chapter, other.wordIndex, other.seconds); }
        };

        std::vector<StampRow> stamps;
        int result = SQLITE_ROW;

        for (size_t rowsRead = 0; (result = sqlite3_step (scan.statement)) == SQLITE_ROW; ++rowsRead)
        {
            if (isStopped (rowsRead))
                return false;

            auto* const s = scan.statement;

            if (sqlite3_column_type (s, 0) != SQLITE_TEXT || sqlite3_column_type (s, 1) != SQLITE_INTEGER || sqlite3_column_type (s, 2) != SQLITE_INTEGER)
                return false;

            const auto wordIndex = sqlite3_column_int64 (s, 2);

            if (! fitsInInt32 (wordIndex))
                return false;

            // The stamps of a chapter without words are never asked for.
            const auto id = textColumn (s, 0);

            if (lastChapter < 0 || id != lastChapterId)
            {
                const auto found = chapterNumbers.find (std::string (id));
                lastChapterId.assign (id);
                lastChapter = found != chapterNumbers.end() ? (juce::int64) found->second : -1;
            }

            if (lastChapter >= 0)
                stamps.push_back ({ (juce::uint32) lastChapter, (juce::int32) wordIndex, sqlite3_column_int64 (s, 1) });
        }

        if (result != SQLITE_DONE)
            return false;

        // Among stamps of one word number the database reads the one with the fewest seconds
        // first (by its primary key), and LIMIT 1 keeps the first of equals.
        std::sort (stamps.begin(), stamps.end());
        ix.chapterStampStarts.assign (ix.chapterIds.size() + 1, 0);

        for (size_t i = 0; i < stamps.size(); ++i)
        {
            if (i > 0 && stamps[i].chapter == stamps[i - 1].chapter && stamps[i].wordIndex == stamps[i - 1].wordIndex)
                continue;

            ++ix.chapterStampStarts[stamps[i].chapter + 1];
            ix.stampWordIndices.push_back (stamps[i].wordIndex);
            ix.stampSeconds.push_back ((double) stamps[i].seconds);
        }

        std::partial_sum (ix.chapterStampStarts.begin(), ix.chapterStampStarts.end(), ix.chapterStampStarts.begin());
        ix.stampWordIndices.shrink_to_fit();
        ix.stampSeconds.shrink_to_fit();
        ix.chapterIds.shrink_to_fit();
        return true;
    }

    sqlite3* const db;
    const StopCheck& shouldStop;
    std::unique_ptr<SearchDatabaseIndex> index;

    std::vector<Row> rows;
    std::deque<std::string> words;
    std::unordered_map<std::string, juce::uint32> chapterNumbers;
    std::string lastChapterId;
    juce::int64 lastChapter = -1;
};

//==============================================================================
std::unique_ptr<SearchDatabaseIndex> SearchDatabaseIndex::build (sqlite3* db, const StopCheck& shouldStop)
{
    // Reading millions of rows takes the better part of a second: the window must never wait
    // for it.
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        jassertfalse;
        return nullptr;
    }

    return Builder (db, shouldStop).build();
}

bool SearchDatabaseIndex::visitWordsStartingWith (std::string_view prefix, const std::function<bool (Position)>& visitor) const
{
    if (prefix.size() + 1 > longestPatternBytes)
        return true;

    if (prefix.empty())
    {
        for (juce::uint32 row = 0; row < wordIndices.size(); ++row)
            if (! visitor (getPositionOfRow (row)))
                return false;

        return true;
    }

    const auto [first, last] = findWordsStartingWith (prefix);
    std::vector<juce::uint32> rows (postings.begin() + postingStarts[first], postings.begin() + postingStarts[last]);

    // Each word's rows are in the database's order already; those of several words are merged.
    if (last - first > 1)
        std::sort (rows.begin(), rows.end());

    for (const auto row : rows)
        if (! visitor (getPositionOfRow (row)))
            return false;

    return true;
}

std::pair<juce::uint32, juce::uint32> SearchDatabaseIndex::findWordsStartingWith (std::string_view prefix) const noexcept
{
    const auto textOf = [this] (juce::uint32 word)
    {
        return std::string_view (vocabularyText.data() + vocabularyStarts[word], vocabularyStarts[word + 1] - vocabularyStarts[word]);
    };

    const auto numWords = (juce::uint32) (vocabularyStarts.size() - 1);
    juce::uint32 low = 0, high = numWords;

    while (low < high)
    {
        const auto middle = low + (high - low) / 2;

        if (compareStartWithPrefix (textOf (middle), prefix) < 0)
            low = middle + 1;
        else
            high = middle;
    }

    const auto first = low;
    high = numWords;

    while (low < high)
    {
        const auto middle = low + (high - low) / 2;

        if (compareStartWithPrefix (textOf (middle), prefix) <= 0)
            low = middle + 1;
        else
            high = middle;
    }

    return { first, low };
}

int SearchDatabaseIndex::getChapterOf (Position position) const noexcept
{
    const auto after = std::upper_bound (chapterWordStarts.begin(), chapterWordStarts.end(), position);
    return (int) (after - chapterWordStarts.begin()) - 1;
}

std::string_view SearchDatabaseIndex::getWord (Position position) const noexcept
{
    const auto word = wordIds[position];
    return { vocabularyText.data() + vocabularyStarts[word], vocabularyStarts[word + 1] - vocabularyStarts[word] };
}

std::optional<SearchDatabaseIndex::Stamp> SearchDatabaseIndex::findStampAtOrBefore (int chapter, int wordIndex) const noexcept
{
    const auto begin = stampWordIndices.begin() + chapterStampStarts[(size_t) chapter];
    const auto end = stampWordIndices.begin() + chapterStampStarts[(size_t) chapter + 1];
    const auto after = std::upper_bound (begin, end, wordIndex);

    if (after == begin)
        return std::nullopt;

    const auto i = (size_t) (after - stampWordIndices.begin()) - 1;
    return Stamp { stampWordIndices[i], stampSeconds[i] };
}

std::optional<SearchDatabaseIndex::Stamp> SearchDatabaseIndex::findStampAtOrAfter (int chapter, int wordIndex) const noexcept
{
    const auto begin = stampWordIndices.begin() + chapterStampStarts[(size_t) chapter];
    const auto end = stampWordIndices.begin() + chapterStampStarts[(size_t) chapter + 1];
    const auto found = std::lower_bound (begin, end, wordIndex);

    if (found == end)
        return std::nullopt;

    const auto i = (size_t) (found - stampWordIndices.begin());
    return Stamp { stampWordIndices[i], stampSeconds[i] };
}

size_t SearchDatabaseIndex::getMemorySize() const noexcept
{
    const auto bytesOf = [] (const auto& vector)
    { return vector.capacity() * sizeof (vector[0]); };

    auto total = sizeof (*this) + bytesOf (wordIndices) + bytesOf (wordIds) + bytesOf (rowPositions)
                 + bytesOf (vocabularyText) + bytesOf (vocabularyStarts) + bytesOf (postingStarts) + bytesOf (postings)
                 + bytesOf (chapterIds) + bytesOf (chapterWordStarts) + bytesOf (chapterStampStarts)
                 + bytesOf (stampWordIndices) + bytesOf (stampSeconds);

    // A string's text sits in a block of its own behind a small header.
    for (const auto& id : chapterIds)
        total += id.getNumBytesAsUTF8() + 1 + 2 * sizeof (size_t);

    return total;
}
