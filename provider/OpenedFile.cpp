#include "provider/OpenedFile.h"

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace provider
{
OpenedFile::OpenedFile (const juce::File& file)
    : descriptor (::open (file.getFullPathName().toRawUTF8(), O_RDONLY | O_CLOEXEC))
{
    struct stat info {};

    if (descriptor >= 0 && (::fstat (descriptor, &info) != 0 || ! S_ISREG (info.st_mode)))
    {
        ::close (descriptor);
        descriptor = -1;
    }

    length = descriptor >= 0 ? (juce::int64) info.st_size : 0;
}

OpenedFile::~OpenedFile()
{
    if (descriptor >= 0)
        ::close (descriptor);
}

juce::int64 OpenedFile::read (juce::int64 offset, void* destination, size_t count) const
{
    for (;;)
    {
        const auto result = ::pread (descriptor, destination, count, (off_t) offset);

        if (result >= 0 || errno != EINTR)
            return (juce::int64) result;
    }
}

juce::String OpenedFile::getResolvedPath() const
{
    char path[PATH_MAX + 1] = {};
    const auto link = "/proc/self/fd/" + std::to_string (descriptor);
    const auto size = ::readlink (link.c_str(), path, PATH_MAX);
    return size > 0 ? juce::String::fromUTF8 (path, (int) size) : juce::String();
}
} // namespace provider
