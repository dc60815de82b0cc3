#include "model/RegularFile.h"

#include <cerrno>
#include <cstdio>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RegularFile::Result RegularFile::read (const juce::File& file, juce::int64 maxBytes, juce::MemoryBlock& contents)
{
    contents.reset();
    const auto fd = open (file.getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);

    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR || errno == ELOOP ? Result::missing : Result::unreadable;

    struct stat info
    {
    };

    auto result = Result::read;

    if (fstat (fd, &info) != 0)
        result = Result::unreadable;
    else if (! S_ISREG (info.st_mode))
        result = Result::missing;
    else if (info.st_size > maxBytes)
        result = Result::unreadable;

    if (result == Result::read)
    {
        contents.setSize ((size_t) info.st_size);
        size_t got = 0;

        while (got < contents.getSize())
        {
            const auto n = ::read (fd, static_cast<char*> (contents.getData()) + got, contents.getSize() - got);

            if (n < 0 && errno == EINTR)
                continue;

            if (n <= 0)
                break;

            got += (size_t) n;
        }

        contents.setSize (got);
    }

    close (fd);
    return result;
}

bool RegularFile::isRegular (const juce::File& file)
{
    struct stat info
    {
    };

    return stat (file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG (info.st_mode);
}

namespace
{
bool syncPath (const juce::File& file, int flags)
{
    const auto fd = open (file.getFullPathName().toRawUTF8(), flags | O_CLOEXEC);

    if (fd < 0)
        return false;

    const auto synced = fsync (fd) == 0;
    return close (fd) == 0 && synced;
}

/** Writes all of a source into a new file; false unless every byte reached the disk. */
bool copyWhole (const juce::File& source, const juce::File& copy)
{
    const auto in = open (source.getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);

    if (in < 0)
        return false;

    struct stat info
    {
    };

    auto ok = fstat (in, &info) == 0 && S_ISREG (info.st_mode);
    const auto out = ok ? open (copy.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600) : -1;
    ok = ok && out >= 0;

    std::vector<char> buffer (1 << 16);
    off_t copied = 0;

    while (ok)
    {
        const auto n = ::read (in, buffer.data(), buffer.size());

        if (n < 0 && errno == EINTR)
            continue;

        if (n <= 0)
        {
            ok = n == 0;
            break;
        }

        for (ssize_t done = 0; ok && done < n;)
        {
            const auto w = ::write (out, buffer.data() + done, (size_t) (n - done));

            if (w < 0 && errno == EINTR)
                continue;

            ok = w > 0;
            done += juce::jmax ((ssize_t) 0, w);
        }

        copied += n;
    }

    ok = ok && copied == info.st_size && fsync (out) == 0;

    if (out >= 0)
        ok = close (out) == 0 && ok;

    close (in);
    return ok;
}
} // namespace

bool RegularFile::sync (const juce::File& file)
{
    return syncPath (file, O_RDONLY);
}

bool RegularFile::replace (const juce::File& source, const juce::File& target)
{
    const auto folder = target.getParentDirectory();

    if (! isRegular (source))
        return false;

    // The rename is what makes the new file durable under its name; a folder that cannot be
    // synced still holds one whole file or the other.
    if (rename (source.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) == 0)
    {
        syncPath (folder, O_RDONLY | O_DIRECTORY);
        return true;
    }

    const auto copy = folder.getNonexistentChildFile ("." + target.getFileName() + "-new", "", false);

    if (! copyWhole (source, copy) || rename (copy.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) != 0)
    {
        copy.deleteFile();
        return false;
    }

    syncPath (folder, O_RDONLY | O_DIRECTORY);
    return true;
}
