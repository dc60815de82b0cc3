#include "app/DesktopLauncher.h"

#include <cerrno>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
bool isExecutableFile (const juce::File& file)
{
    struct stat info
    {
    };

    const auto path = file.getFullPathName().toStdString();
    return stat (path.c_str(), &info) == 0 && S_ISREG (info.st_mode) && access (path.c_str(), X_OK) == 0;
}
} // namespace

juce::StringArray DesktopLauncher::getOpeningCommand (const juce::File& file)
{
    if (isExecutableFile (file))
        return { file.getFullPathName() };

    return { "xdg-open", file.getFullPathName() };
}

juce::StringArray DesktopLauncher::getRevealingCommand (const juce::File& file)
{
    return { "xdg-open", (file.isDirectory() ? file : file.getParentDirectory()).getFullPathName() };
}

bool DesktopLauncher::start (const juce::StringArray& arguments)
{
    if (arguments.isEmpty() || arguments[0].isEmpty())
        return false;

    std::vector<std::string> texts;

    for (const auto& argument : arguments)
        texts.push_back (argument.toStdString());

    std::vector<char*> argv;

    for (auto& text : texts)
        argv.push_back (text.data());

    argv.push_back (nullptr);

    // A session of its own, so that the program outlives this one and no signal meant for the
    // player's terminal reaches it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init (&attributes);
    posix_spawnattr_setflags (&attributes, POSIX_SPAWN_SETSID);

    pid_t child = 0;
    const auto failed = posix_spawnp (&child, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy (&attributes);

    if (failed != 0)
        return false;

    // Nobody else waits for it: without this the ended child would stay behind as a zombie
    // for the rest of the player's run.
    std::thread ([child] {
        int status = 0;

        while (waitpid (child, &status, 0) < 0 && errno == EINTR)
        {
        }
    }).detach();

    return true;
}
