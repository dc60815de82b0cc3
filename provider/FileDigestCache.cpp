#include "provider/FileDigestCache.h"

namespace provider
{
bool FileDigestCache::describe (const juce::File& file, ProvidedFile& result)
{
    if (! file.existsAsFile())
        return false;

    const auto now = juce::Time::currentTimeMillis();
    const auto size = file.getSize();
    const auto modificationTime = file.getLastModificationTime().toMilliseconds();
    const auto path = file.getFullPathName();

    const juce::ScopedLock scope (lock);
    auto& entry = entries[path];

    if (! entry.settled || entry.size != size || entry.modificationTime != modificationTime)
    {
        juce::FileInputStream stream (file);

        if (stream.failedToOpen())
        {
            entries.erase (path);
            return false;
        }

        // The stream is read to its end, so a file that grows meanwhile is measured as read.
        const juce::MD5 digest (stream);
        entry = { stream.getPosition(), modificationTime, digest.toHexString(), now - modificationTime >= settleMs };
        ++filesDigested;
    }

    result.file = file;
    result.size = entry.size;
    result.md5 = entry.md5;
    result.realPath = ProvidedFile::resolvePath (file);
    return true;
}

int FileDigestCache::getFilesDigested() const
{
    const juce::ScopedLock scope (lock);
    return filesDigested;
}
} // namespace provider
