#pragma once

#include "provider/ProvidedFile.h"

#include <map>

namespace provider
{
/**
    Measures files for publication (size and MD5 checksum) and remembers the results, so that
    reloading a changed library reads only the files that changed since the last load.

    A file counts as unchanged while its size and modification time stay the same, but only once
    it had been left alone for a while when it was read: file systems stamp times coarsely, so a
    file rewritten moments after it was read may keep its time. Called by whichever thread loads
    the library; the calls are serialised by an internal lock.
*/
class FileDigestCache final
{
public:
    FileDigestCache() = default;

    /** Fills size and checksum for an existing regular file; false when it cannot be read. */
    bool describe (const juce::File& file, ProvidedFile& result);

    /** How many files were read in full so far (the others came from memory). */
    int getFilesDigested() const;

    /** How long a file must have been left alone before its time can be trusted to change
        with its content.
    */
    static constexpr juce::int64 settleMs = 1000;

private:
    struct Entry
    {
        juce::int64 size = 0;
        juce::int64 modificationTime = 0;
        juce::String md5;
        bool settled = false;
    };

    juce::CriticalSection lock;
    std::map<juce::String, Entry> entries;
    int filesDigested = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FileDigestCache)
};
} // namespace provider
