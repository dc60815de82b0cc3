#include "app/PrivateTempFolder.h"

#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
juce::String folderNameForUser()
{
    return "tsy-player-" + juce::String ((juce::uint64) getuid());
}

/** A directory (not a link to one) owned by this user. */
bool isOwnDirectory (const juce::File& folder, struct stat& info)
{
    return lstat (folder.getFullPathName().toRawUTF8(), &info) == 0
           && S_ISDIR (info.st_mode)
           && info.st_uid == getuid();
}
} // namespace

juce::File PrivateTempFolder::getSystemTemporaryFolder()
{
    if (const auto* value = std::getenv ("TMPDIR"); value != nullptr && value[0] == '/')
        return juce::File (juce::CharPointer_UTF8 (value));

    return juce::File ("/tmp");
}

juce::File PrivateTempFolder::getPrivateChild (const juce::File& parent)
{
    const auto folder = parent.getChildFile (folderNameForUser());
    const auto path = folder.getFullPathName().toStdString();

    // mkdir fails harmlessly when the name exists; what is there is checked below either way.
    mkdir (path.c_str(), 0700);

    struct stat info
    {
    };

    if (! isOwnDirectory (folder, info))
        return {};

    // Our own folder, left open by an earlier umask or by hand: closing it is safe because
    // nobody else can remove or rename it while we own it.
    if ((info.st_mode & 077) != 0 && chmod (path.c_str(), 0700) != 0)
        return {};

    return folder;
}

juce::File PrivateTempFolder::get()
{
    const auto parent = getSystemTemporaryFolder();

    if (const auto folder = getPrivateChild (parent); folder != juce::File())
        return folder;

    // Someone else holds the usual name: use a folder that only this run knows, made atomically
    // by mkdtemp with mode 0700, for the rest of the run.
    static std::mutex lock;
    static juce::File fallback;
    const std::lock_guard<std::mutex> sl (lock);

    if (fallback == juce::File() || fallback.getParentDirectory() != parent || ! fallback.isDirectory())
    {
        auto pattern = parent.getChildFile (folderNameForUser() + "-XXXXXX").getFullPathName().toStdString();
        fallback = mkdtemp (pattern.data()) != nullptr ? juce::File (pattern) : juce::File();
    }

    return fallback;
}
