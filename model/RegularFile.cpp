#include "model/RegularFile.h"

#include <cerrno>
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
