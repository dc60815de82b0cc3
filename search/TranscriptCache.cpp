#include "search/TranscriptCache.h"

#include "search/TranscriptStore.h"

TranscriptCache::TranscriptCache (juce::File searchDatabaseFile)
    : keptFile (TranscriptStore::getFileBeside (searchDatabaseFile))
{
}

std::shared_ptr<const TranscriptLines> TranscriptCache::get (const juce::String& chapterId, Status& status)
{
    for (auto entry = entries.begin(); entry != entries.end(); ++entry)
    {
        if (entry->chapterId == chapterId)
        {
            entries.splice (entries.begin(), entries, entry);
            status = entries.front().status;
            return entries.front().lines;
        }
    }

    juce::String transcript;
    const auto read = TranscriptStore::read (keptFile, chapterId, transcript);
    Entry entry { chapterId, Status::unavailable, nullptr };

    if (read == TranscriptStore::ReadResult::found)
    {
        entry.status = Status::found;
        entry.lines = std::make_shared<const TranscriptLines> (TranscriptLines::parse (transcript));
    }
    else if (read == TranscriptStore::ReadResult::noTranscript)
    {
        entry.status = Status::noTranscript;
    }

    // A missing file may appear with the next update: only what was read is kept.
    status = entry.status;

    if (read == TranscriptStore::ReadResult::unavailable)
        return nullptr;

    entries.push_front (std::move (entry));

    if (entries.size() > capacity)
        entries.pop_back();

    return entries.front().lines;
}
