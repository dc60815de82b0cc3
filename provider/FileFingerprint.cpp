#include "provider/FileFingerprint.h"

#include <sys/stat.h>

namespace provider
{
void FileFingerprint::add (const juce::File& file)
{
    addEntry (file.getFullPathName());

    if (! file.isDirectory())
        return;

    auto children = file.findChildFiles (juce::File::findFilesAndDirectories, true, "*", juce::File::FollowSymlinks::no);
    std::sort (children.begin(), children.end());

    for (auto& child : children)
        addEntry (child.getFullPathName());
}

void FileFingerprint::addEntry (const juce::String& path)
{
    const auto* utf8 = path.toRawUTF8();
    addBytes (utf8, std::strlen (utf8) + 1);

    struct stat info {};

    if (::lstat (utf8, &info) != 0)
    {
        addBytes ("missing", 7);
        return;
    }

    // A link counts as itself and as what it leads to: swapping a file for a link to a copy
    // keeps size and time but is a change.
    if (S_ISLNK (info.st_mode))
    {
        addBytes ("link", 4);

        if (::stat (utf8, &info) != 0)
        {
            addBytes ("missing", 7);
            return;
        }
    }

    const juce::int64 state[] = { (juce::int64) (info.st_mode & S_IFMT),
                                  S_ISREG (info.st_mode) ? (juce::int64) info.st_size : 0,
                                  S_ISREG (info.st_mode) ? (juce::int64) info.st_mtim.tv_sec : 0,
                                  S_ISREG (info.st_mode) ? (juce::int64) info.st_mtim.tv_nsec : 0 };
    addBytes (state, sizeof (state));

    if (S_ISREG (info.st_mode))
        latestModification = std::max (latestModification, (juce::int64) info.st_mtim.tv_sec * 1000 + info.st_mtim.tv_nsec / 1000000);
}

void FileFingerprint::addBytes (const void* data, size_t size) noexcept
{
    // FNV-1a: fast, and with 64 bits an accidental match of two states is not a concern.
    const auto* bytes = static_cast<const juce::uint8*> (data);

    for (size_t i = 0; i < size; ++i)
        value = (value ^ bytes[i]) * 1099511628211ull;
}

juce::uint64 FileFingerprint::of (const juce::Array<juce::File>& files)
{
    FileFingerprint fingerprint;

    for (auto& file : files)
        fingerprint.add (file);

    return fingerprint.getValue();
}
} // namespace provider
