#include "search/TranscriptStore.h"

#include "model/RegularFile.h"
#include "search/TranscriptIndexer.h"

#include <sqlite3.h>

namespace
{
bool execute (sqlite3* db, const char* sql)
{
    return sqlite3_exec (db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

/** Writes every transcript into an open database in one transaction. */
bool writeAll (sqlite3* db, const pugi::xml_node& root, const TranscriptStore::StopCheck& shouldStop)
{
    // Nothing reads the file before it is installed, and a file a crash left half-written is
    // never installed: neither a journal on disk nor waits for the disk are needed until the
    // file is synced as a whole.
    if (! execute (db, "PRAGMA journal_mode=OFF") || ! execute (db, "PRAGMA synchronous=OFF")
        || ! execute (db, TranscriptStore::createTable) || ! execute (db, "BEGIN"))
        return false;

    sqlite3_stmt* insert = nullptr;

    if (sqlite3_prepare_v2 (db, TranscriptStore::insertSql, -1, &insert, nullptr) != SQLITE_OK)
        return false;

    bool failed = false;

    const auto finished = TranscriptIndexer::forEachTranscript (root, [&] (const juce::String& chapterId, const juce::String& transcript)
                                                                {
        if (shouldStop != nullptr && shouldStop())
            return false;

        sqlite3_reset (insert);
        sqlite3_bind_text (insert, 1, chapterId.toRawUTF8(), (int) chapterId.getNumBytesAsUTF8(), SQLITE_TRANSIENT);
        sqlite3_bind_text64 (insert, 2, transcript.toRawUTF8(), (sqlite3_uint64) transcript.getNumBytesAsUTF8(), SQLITE_TRANSIENT, SQLITE_UTF8);
        failed = sqlite3_step (insert) != SQLITE_DONE;
        return ! failed; });

    sqlite3_finalize (insert);
    return finished && ! failed && execute (db, "COMMIT");
}
} // namespace

juce::File TranscriptStore::getFileBeside (const juce::File& searchDatabaseFile)
{
    return searchDatabaseFile.getSiblingFile (fileName);
}

bool TranscriptStore::build (const pugi::xml_node& root, const juce::File& newFile, const StopCheck& shouldStop)
{
    sqlite3* db = nullptr;
    auto written = sqlite3_open_v2 (newFile.getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK
                   && writeAll (db, root, shouldStop);

    written = sqlite3_close (db) == SQLITE_OK && written && RegularFile::sync (newFile);

    if (! written)
        newFile.deleteFile();

    return written;
}

bool TranscriptStore::install (const juce::File& newFile, const juce::File& keptFile)
{
    const auto installed = newFile.existsAsFile() && RegularFile::replace (newFile, keptFile);
    newFile.deleteFile();
    return installed;
}

TranscriptStore::ReadResult TranscriptStore::read (const juce::File& keptFile, const juce::String& chapterId, juce::String& transcript)
{
    transcript.clear();

    // SQLite opens whatever is at the path, and a pipe there would block it for ever.
    if (! RegularFile::isRegular (keptFile))
        return ReadResult::unavailable;

    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    auto result = ReadResult::unavailable;

    if (sqlite3_open_v2 (keptFile.getFullPathName().toRawUTF8(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2 (db, selectSql, -1, &select, nullptr) == SQLITE_OK)
    {
        sqlite3_bind_text (select, 1, chapterId.toRawUTF8(), (int) chapterId.getNumBytesAsUTF8(), SQLITE_TRANSIENT);
        const auto step = sqlite3_step (select);

        if (step == SQLITE_ROW)
        {
            const auto* text = reinterpret_cast<const char*> (sqlite3_column_text (select, 0));
            transcript = juce::String::fromUTF8 (text != nullptr ? text : "", sqlite3_column_bytes (select, 0));
            result = ReadResult::found;
        }
        else if (step == SQLITE_DONE)
        {
            result = ReadResult::noTranscript;
        }
    }

    sqlite3_finalize (select);
    sqlite3_close (db);
    return result;
}
