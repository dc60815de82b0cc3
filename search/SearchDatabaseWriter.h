#pragma once

#include <JuceHeader.h>

#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

/**
    Writes a new search database: the words and time stamps of every chapter's transcript.

    The file holds exactly the two tables below. Each insert stands alone: a row that breaks its
    table's primary key (a second stamp with the same seconds in a chapter) is left out and the
    others go on. The rows of one chapter are written in one transaction, and the file is only
    made durable once, when it is closed: until then it is a scratch file that nobody else
    reads, and a crash leaves nothing worth keeping in it anyway.

    Used by one thread at a time.
*/
class SearchDatabaseWriter final
{
public:
    /** Opens (creating) the database file, creates the tables and prepares the inserts;
        isOpen() tells whether that worked.
    */
    explicit SearchDatabaseWriter (const juce::File& file);

    /** Closes the database if close() was not called; a chapter left unfinished is dropped. */
    ~SearchDatabaseWriter();

    bool isOpen() const noexcept { return db != nullptr; }

    /** Starts the rows of a chapter. */
    void beginChapter (const juce::String& chapterId);

    /** Inserts a words row of the current chapter. */
    void insertWord (int wordIndex, std::string_view word);

    /** Inserts a timestamps row of the current chapter. */
    void insertStamp (juce::int64 seconds, int wordIndex);

    /** Writes the current chapter's rows. */
    void endChapter();

    /** Finalises the statements, closes the database and makes the file durable; false when
        the file could not be written out, or when any row could not be written for a reason
        other than its primary key.
    */
    bool close();

    static constexpr const char* createWordsTable = "CREATE TABLE main.words (idmovie VARCHAR(255), wordindex INTEGER, word VARCHAR(255), PRIMARY KEY(idmovie, wordindex))";
    static constexpr const char* createTimestampsTable = "CREATE TABLE main.timestamps (idmovie VARCHAR(255), seconds INTEGER, wordindex INTEGER, PRIMARY KEY(idmovie, seconds))";
    static constexpr const char* insertWordSql = "INSERT INTO main.words (idmovie, wordindex, word) VALUES (?1, ?2, ?3)";
    static constexpr const char* insertStampSql = "INSERT INTO main.timestamps (idmovie, seconds, wordindex) VALUES (?1, ?2, ?3)";

private:
    void execute (const char* sql);
    void noteStep (int result);

    const juce::File file;
    sqlite3* db = nullptr;
    sqlite3_stmt* wordStatement = nullptr;
    sqlite3_stmt* stampStatement = nullptr;
    juce::String chapterId;
    bool inChapter = false;
    bool writeFailed = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SearchDatabaseWriter)
};
