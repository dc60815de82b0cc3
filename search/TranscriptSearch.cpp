#include "search/TranscriptSearch.h"

#include "model/Notifications.h"
#include "search/WordMatching.h"

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

namespace
{
/** A prepared statement, finalised when it goes; without a database it never has a row. */
class Statement final
{
public:
    Statement (sqlite3* db, const juce::String& sql)
    {
        if (db != nullptr)
            sqlite3_prepare_v2 (db, sql.toRawUTF8(), -1, &statement, nullptr);
    }

    ~Statement() { sqlite3_finalize (statement); }

    bool isPrepared() const noexcept { return statement != nullptr; }

    /** Resets the statement, binds a chapter and a word number as ?1 and ?2 and steps once:
        true when a row came. The chapter's text must stay put until the statement is reset.
    */
    bool runFor (const std::string& chapterId, sqlite3_int64 wordIndex)
    {
        if (statement == nullptr)
            return false;

        sqlite3_reset (statement);
        sqlite3_bind_text (statement, 1, chapterId.data(), (int) chapterId.size(), SQLITE_STATIC);
        sqlite3_bind_int64 (statement, 2, wordIndex);
        return step();
    }

    bool step() { return statement != nullptr && sqlite3_step (statement) == SQLITE_ROW; }

    sqlite3_int64 getInt (int column) const { return sqlite3_column_int64 (statement, column); }

    sqlite3_stmt* statement = nullptr;

private:
    JUCE_DECLARE_NON_COPYABLE (Statement)
};

/** Lets a stop request end a statement in the middle of a long step (a scan of every word
    that finds few of them), for as long as the object lives.
*/
class InterruptOnStop final
{
public:
    InterruptOnStop (sqlite3* database, const TranscriptSearch::StopCheck& check) : db (check != nullptr ? database : nullptr)
    {
        if (db != nullptr)
            sqlite3_progress_handler (db, instructionsBetweenChecks, &askToStop, const_cast<TranscriptSearch::StopCheck*> (&check));
    }

    ~InterruptOnStop()
    {
        if (db != nullptr)
            sqlite3_progress_handler (db, 0, nullptr, nullptr);
    }

private:
    static int askToStop (void* context) { return (*static_cast<TranscriptSearch::StopCheck*> (context))() ? 1 : 0; }

    static constexpr int instructionsBetweenChecks = 10000;
    sqlite3* const db;

    JUCE_DECLARE_NON_COPYABLE (InterruptOnStop)
};

/** Whether the words after a chapter's word, by number, match the stems after the first. */
bool followingWordsMatch (Statement& following, const std::string& chapterId, sqlite3_int64 wordIndex, const std::vector<std::string>& stems)
{
    if (! following.runFor (chapterId, wordIndex))
        return false;

    for (size_t k = 1; k < stems.size(); ++k)
    {
        if (k > 1 && ! following.step())
            return false;

        const auto* word = reinterpret_cast<const char*> (sqlite3_column_text (following.statement, 1));

        if (word == nullptr || ! WordMatching::matchesStem (word, (size_t) sqlite3_column_bytes (following.statement, 1), stems[k]))
            return false;
    }

    return true;
}

/** The stems of the searched words: the first one without the LIKE wildcards. */
std::vector<std::string> getStems (const juce::StringArray& words)
{
    std::vector<std::string> stems { WordMatching::getStem (words[0], true).toStdString() };

    for (int k = 1; k < words.size(); ++k)
        stems.push_back (WordMatching::getStem (words[k], false).toStdString());

    return stems;
}

constexpr int indexRowsBetweenStopChecks = 4096;
} // namespace

bool TranscriptSearch::search (Core& core, const juce::StringArray& words)
{
    Core::SearchHits hits;

    if (! words.isEmpty())
    {
        core.withSearchDatabaseAndIndex ([&] (sqlite3* db, const SearchDatabaseIndex* index)
                                         { return findSpokenWords (db, index, words, hits); });
        findMarkers (core, words, hits);
    }

    core.setSearchResults (words, std::move (hits));
    core.broadcast (Notifications::searchChanged);
    return true;
}

bool TranscriptSearch::findSpokenWords (sqlite3* db, const juce::StringArray& words, Core::SearchHits& hits, const StopCheck& shouldStop)
{
    if (words.isEmpty())
        return true;

    const auto stems = getStems (words);
    const auto pattern = stems[0] + "%";

    Statement matches (db, wordsQuery);
    Statement following (db, followingWordsQuery + juce::String (words.size() - 1));
    Statement before (db, stampBeforeQuery);
    Statement after (db, stampAfterQuery);

    if (! matches.isPrepared())
        return true;

    const InterruptOnStop interruption (db, shouldStop);
    sqlite3_bind_text (matches.statement, 1, pattern.data(), (int) pattern.size(), SQLITE_STATIC);

    // Rows come grouped by chapter, so the chapter's list is looked up once per group.
    std::string chapterId;
    std::vector<double>* chapterHits = nullptr;

    while (matches.step())
    {
        if (shouldStop != nullptr && shouldStop())
            return false;

        const auto* id = reinterpret_cast<const char*> (sqlite3_column_text (matches.statement, 0));
        const std::string_view rowChapterId (id != nullptr ? id : "", (size_t) sqlite3_column_bytes (matches.statement, 0));
        const auto wordIndex = matches.getInt (1);

        if (rowChapterId != chapterId)
        {
            chapterId.assign (rowChapterId);
            chapterHits = nullptr;
        }

        if (stems.size() > 1 && ! followingWordsMatch (following, chapterId, wordIndex, stems))
            continue;

        sqlite3_int64 beforeIndex = 0, beforeSeconds = 0, afterIndex = 0, afterSeconds = 0;

        if (before.runFor (chapterId, wordIndex))
        {
            beforeIndex = before.getInt (0);
            beforeSeconds = before.getInt (1);
        }

        const auto hasAfter = after.runFor (chapterId, wordIndex);

        if (hasAfter)
        {
            afterIndex = after.getInt (0);
            afterSeconds = after.getInt (1);
        }

        if (chapterHits == nullptr)
            chapterHits = &hits[juce::String::fromUTF8 (chapterId.data(), (int) chapterId.size())];

        chapterHits->push_back (getHitTime (wordIndex, beforeIndex, (double) beforeSeconds, hasAfter, afterIndex, (double) afterSeconds));
    }

    return shouldStop == nullptr || ! shouldStop();
}

bool TranscriptSearch::findSpokenWords (const SearchDatabaseIndex& index, const juce::StringArray& words, Core::SearchHits& hits, const StopCheck& shouldStop)
{
    if (words.isEmpty())
        return true;

    const auto stems = getStems (words);
    int chapter = -1;
    SearchDatabaseIndex::Position chapterBegin = 0, chapterEnd = 0;
    std::vector<double>* chapterHits = nullptr;
    int untilStopCheck = indexRowsBetweenStopChecks;

    const auto finished = index.visitWordsStartingWith (stems[0], [&] (SearchDatabaseIndex::Position position)
                                                        {
        if (--untilStopCheck == 0)
        {
            untilStopCheck = indexRowsBetweenStopChecks;

            if (shouldStop != nullptr && shouldStop())
                return false;
        }

        // Matches mostly come chapter by chapter, so the chapter is looked up once per run.
        if (chapter < 0 || position < chapterBegin || position >= chapterEnd)
        {
            chapter = index.getChapterOf (position);
            chapterBegin = index.getChapterBegin (chapter);
            chapterEnd = index.getChapterEnd (chapter);
            chapterHits = nullptr;
        }

        // The indexed words after this one are the positions after it, up to the chapter's end.
        for (size_t k = 1; k < stems.size(); ++k)
        {
            const auto next = position + (SearchDatabaseIndex::Position) k;

            if (next >= chapterEnd)
                return true;

            const auto word = index.getWord (next);

            if (! WordMatching::matchesStem (word.data(), word.size(), stems[k]))
                return true;
        }

        const auto wordIndex = index.getWordIndex (position);
        const auto before = index.findStampAtOrBefore (chapter, wordIndex).value_or (SearchDatabaseIndex::Stamp {});
        const auto after = index.findStampAtOrAfter (chapter, wordIndex);

        if (chapterHits == nullptr)
            chapterHits = &hits[index.getChapterId (chapter)];

        chapterHits->push_back (getHitTime (wordIndex, before.wordIndex, before.seconds, after.has_value(), after.has_value() ? after->wordIndex : 0, after.has_value() ? after->seconds : 0.0));
        return true; });

    return finished && (shouldStop == nullptr || ! shouldStop());
}

bool TranscriptSearch::findSpokenWords (sqlite3* db, const SearchDatabaseIndex* index, const juce::StringArray& words, Core::SearchHits& hits, const StopCheck& shouldStop)
{
    return index != nullptr ? findSpokenWords (*index, words, hits, shouldStop)
                            : findSpokenWords (db, words, hits, shouldStop);
}

void TranscriptSearch::findMarkers (const Core& core, const juce::StringArray& words, Core::SearchHits& hits)
{
    if (words.isEmpty())
        return;

    juce::StringArray stems;

    for (const auto& word : words)
        stems.add (WordMatching::getStem (word, false));

    core.visitMarkers ([&] (const juce::String& chapterId, const juce::String& text, double seconds)
                       {
        if (WordMatching::containsPhrase (WordMatching::splitLabel (text), stems))
            hits[chapterId].push_back (seconds); });
}

double TranscriptSearch::getSpokenTime (juce::int64 wordIndex,
                                        juce::int64 stampBeforeIndex,
                                        double stampBeforeSeconds,
                                        bool hasStampAfter,
                                        juce::int64 stampAfterIndex,
                                        double stampAfterSeconds) noexcept
{
    if (hasStampAfter && stampAfterIndex > stampBeforeIndex)
        return stampBeforeSeconds + (double) (wordIndex - stampBeforeIndex) / (double) (stampAfterIndex - stampBeforeIndex) * (stampAfterSeconds - stampBeforeSeconds);

    return stampBeforeSeconds;
}

double TranscriptSearch::getHitTime (juce::int64 wordIndex,
                                     juce::int64 stampBeforeIndex,
                                     double stampBeforeSeconds,
                                     bool hasStampAfter,
                                     juce::int64 stampAfterIndex,
                                     double stampAfterSeconds) noexcept
{
    const auto estimate = getSpokenTime (wordIndex, stampBeforeIndex, stampBeforeSeconds, hasStampAfter, stampAfterIndex, stampAfterSeconds);

    // About five seconds early, so the viewer hears the words come, but never more than three
    // seconds before the stamp the estimate started from.
    return juce::jmax (juce::jmax (stampBeforeSeconds, estimate - 2.0) - 3.0, 0.0);
}
