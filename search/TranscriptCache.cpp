#include "search/TranscriptCache.h"

#include "search/TranscriptStore.h"

TranscriptCache::TranscriptCache (juce::File searchDatabaseFile)
    : keptFile (TranscriptStore::getFileBeside (searchDatabaseFile))
{
}

std::shared_ptr<const TranscriptLines> TranscriptCache::get (const juce::String& chapterId, Status& status)
{
    auto entry = find (chapterId);

    if (! entry.has_value())
    {
        entry = read (keptFile, chapterId);
        add (*entry);
    }

    status = entry->status;
    return entry->lines;
}

std::optional<TranscriptCache::Entry> TranscriptCache::find (const juce::String& chapterId)
{
    for (auto entry = entries.begin(); entry != entries.end(); ++entry)
    {
        if (entry->chapterId == chapterId)
        {
            entries.splice (entries.begin(), entries, entry);
            return entries.front();
        }
    }

    return std::nullopt;
}

TranscriptCache::Entry TranscriptCache::read (const juce::File& file, const juce::String& chapterId, const TranscriptLines::StopCheck& shouldStop)
{
    juce::String transcript;
    const auto result = TranscriptStore::read (file, chapterId, transcript);
    Entry entry { chapterId, Status::unavailable, nullptr };

    if (result == TranscriptStore::ReadResult::found)
    {
        entry.status = Status::found;
        entry.lines = std::make_shared<const TranscriptLines> (TranscriptLines::parse (transcript, shouldStop));
    }
    else if (result == TranscriptStore::ReadResult::noTranscript)
    {
        entry.status = Status::noTranscript;
    }

    return entry;
}

void TranscriptCache::add (Entry entry)
{
    if (entry.status == Status::unavailable)
        return;

    // Two reads of one chapter may have been under way together.
    entries.remove_if ([&] (const Entry& kept) { return kept.chapterId == entry.chapterId; });

    entries.push_front (std::move (entry));

    if (entries.size() > capacity)
        entries.pop_back();
}
