#include "search/SearchDatabaseWriter.h"

#include "model/RegularFile.h"

#include <sqlite3.h>

SearchDatabaseWriter::SearchDatabaseWriter (const juce::File& databaseFile) : file (databaseFile)
{
    if (sqlite3_open_v2 (file.getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
    {
        sqlite3_close (db);
        db = nullptr;
        return;
    }

    // Nothing reads the file before it is finished, and a file left half-written by a crash is
    // never used: commits need neither a journal on disk nor a wait for the disk.
    execute ("PRAGMA journal_mode=MEMORY");
    execute ("PRAGMA synchronous=OFF");

    execute (createWordsTable);
    execute (createTimestampsTable);
    sqlite3_prepare_v2 (db, insertWordSql, -1, &wordStatement, nullptr);
    sqlite3_prepare_v2 (db, insertStampSql, -1, &stampStatement, nullptr);
}

SearchDatabaseWriter::~SearchDatabaseWriter()
{
    sqlite3_finalize (wordStatement);
    sqlite3_finalize (stampStatement);
    sqlite3_close (db);
}

void SearchDatabaseWriter::execute (const char* sql)
{
    sqlite3_exec (db, sql, nullptr, nullptr, nullptr);
}

void SearchDatabaseWriter::noteStep (int result)
{
    // A row refused by its primary key is left out by design; anything else (a full disk, an
    // I/O error) means the file no longer holds what was written to it.
    if (result != SQLITE_DONE && result != SQLITE_CONSTRAINT)
        writeFailed = true;
}

void SearchDatabaseWriter::beginChapter (const juce::String& id)
{
    if (inChapter)
        endChapter();

    chapterId = id;
    execute ("BEGIN");
    inChapter = true;
}

void SearchDatabaseWriter::insertWord (int wordIndex, std::string_view word)
{
    sqlite3_reset (wordStatement);
    // Both texts outlive the step, the only time SQLite reads them.
    sqlite3_bind_text (wordStatement, 1, chapterId.toRawUTF8(), (int) chapterId.getNumBytesAsUTF8(), SQLITE_STATIC);
    sqlite3_bind_int (wordStatement, 2, wordIndex);
    sqlite3_bind_text (wordStatement, 3, word.data(), (int) word.size(), SQLITE_STATIC);
    noteStep (sqlite3_step (wordStatement));
}

void SearchDatabaseWriter::insertStamp (juce::int64 seconds, int wordIndex)
{
    sqlite3_reset (stampStatement);
    sqlite3_bind_text (stampStatement, 1, chapterId.toRawUTF8(), (int) chapterId.getNumBytesAsUTF8(), SQLITE_STATIC);
    sqlite3_bind_int64 (stampStatement, 2, seconds);
    sqlite3_bind_int (stampStatement, 3, wordIndex);
    noteStep (sqlite3_step (stampStatement));
}

void SearchDatabaseWriter::endChapter()
{
    if (! inChapter)
        return;

    // The statements hold no row between steps, but a reset makes sure that nothing keeps the
    // transaction from committing.
    sqlite3_reset (wordStatement);
    sqlite3_reset (stampStatement);
    if (sqlite3_exec (db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        writeFailed = true;

    inChapter = false;
}

bool SearchDatabaseWriter::close()
{
    if (db == nullptr)
        return false;

    endChapter();
    sqlite3_finalize (wordStatement);
    sqlite3_finalize (stampStatement);
    wordStatement = nullptr;
    stampStatement = nullptr;

    const auto closed = sqlite3_close (db) == SQLITE_OK;
    db = nullptr;
    return closed && ! writeFailed && RegularFile::sync (file);
}
