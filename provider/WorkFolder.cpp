#include "provider/WorkFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace provider
{
namespace
{
/** How long a folder still in the making, or without its lock file, is left alone. */
constexpr juce::int64 creationGraceMs = 60 * 1000;

int openLockFile (const juce::File& folder, int flags)
{
    return ::open (folder.getChildFile (WorkFolder::lockFileName).getFullPathName().toRawUTF8(), flags | O_CLOEXEC, 0600);
}
} // namespace

WorkFolder::WorkFolder (const juce::File& parent)
{
    removeAbandoned (parent);

    // Locked before it takes its name, so no other provider ever finds it without the lock.
    const auto name = namePrefix + juce::String::toHexString (juce::Random::getSystemRandom().nextInt64());
    const auto making = parent.getChildFile (name + makingSuffix);
    making.createDirectory();

    // Held until the process ends, however it ends: the kernel lets go of the lock with it.
    lockDescriptor = openLockFile (making, O_RDWR | O_CREAT);

    if (lockDescriptor >= 0)
        ::flock (lockDescriptor, LOCK_EX | LOCK_NB);

    folder = parent.getChildFile (name);

    if (! making.moveFileTo (folder))
        folder = making;
}

WorkFolder::~WorkFolder()
{
    folder.deleteRecursively();

    if (lockDescriptor >= 0)
        ::close (lockDescriptor);
}

int WorkFolder::removeAbandoned (const juce::File& parent)
{
    int removed = 0;

    for (auto& candidate : parent.findChildFiles (juce::File::findDirectories, false, juce::String (namePrefix) + "*", juce::File::FollowSymlinks::no))
    {
        if (candidate.isSymbolicLink())
            continue;

        const auto descriptor = candidate.getFileName().endsWith (makingSuffix) ? -1 : openLockFile (candidate, O_RDONLY);
        bool abandoned = false;

        if (descriptor >= 0)
        {
            abandoned = ::flock (descriptor, LOCK_EX | LOCK_NB) == 0;
            ::close (descriptor);
        }
        else
        {
            abandoned = juce::Time::currentTimeMillis() - candidate.getLastModificationTime().toMilliseconds() > creationGraceMs;
        }

        if (abandoned && candidate.deleteRecursively())
            ++removed;
    }

    return removed;
}
} // namespace provider
