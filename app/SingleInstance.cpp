#include "app/SingleInstance.h"

#include "app/PrivateTempFolder.h"
#include "app/SharedRes.h"

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
/** The socket's address; false when the path does not fit one. */
bool makeAddress (const juce::File& socketFile, sockaddr_un& address)
{
    const auto path = socketFile.getFullPathName().toStdString();
    address = {};
    address.sun_family = AF_UNIX;

    if (path.size() >= sizeof (address.sun_path))
        return false;

    std::memcpy (address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool isOwnDirectory (const juce::String& path)
{
    struct stat info
    {
    };

    return lstat (path.toRawUTF8(), &info) == 0 && S_ISDIR (info.st_mode) && info.st_uid == getuid();
}

/** The longest command line a hand-over carries. */
constexpr size_t largestMessage = 64 * 1024;
} // namespace

juce::File SingleInstance::getDefaultFolder()
{
    const auto runtime = juce::SystemStats::getEnvironmentVariable ("XDG_RUNTIME_DIR", {});

    if (juce::File::isAbsolutePath (runtime) && isOwnDirectory (runtime))
        if (const auto folder = PrivateTempFolder::getPrivateChild (juce::File (runtime)); folder != juce::File())
            return folder;

    const auto dataFolder = SharedRes::getDefaultUserDataFolder();

    if (! dataFolder.createDirectory())
        return {};

    return PrivateTempFolder::getPrivateChild (dataFolder);
}

SingleInstance::SingleInstance (juce::File folderToUse) : juce::Thread ("single-instance"), folder (std::move (folderToUse))
{
}

SingleInstance::~SingleInstance()
{
    *alive = false;

    if (listener >= 0)
    {
        signalThreadShouldExit();
        ::shutdown (listener, SHUT_RDWR);
        stopThread (5000);
        ::close (listener);
        folder.getChildFile (socketName).deleteFile();
    }

    if (lockDescriptor >= 0)
        ::close (lockDescriptor);
}

bool SingleInstance::acquire()
{
    jassert (lockDescriptor < 0);

    if (folder == juce::File())
        return true;

    // flock, unlike fcntl locks, also conflicts between two descriptors of one process, and the
    // kernel drops it when the process ends however it ends.
    lockDescriptor = ::open (folder.getChildFile (lockFileName).getFullPathName().toRawUTF8(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);

    if (lockDescriptor < 0)
        return true;

    if (flock (lockDescriptor, LOCK_EX | LOCK_NB) != 0)
    {
        ::close (lockDescriptor);
        lockDescriptor = -1;
        return false;
    }

    // Holding the lock, any socket file left here is a dead instance's.
    const auto socketFile = folder.getChildFile (socketName);
    sockaddr_un address;

    if (makeAddress (socketFile, address))
    {
        ::unlink (address.sun_path);
        listener = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);

        if (listener >= 0 && (::bind (listener, (const sockaddr*) &address, sizeof (address)) != 0 || ::listen (listener, 8) != 0))
        {
            ::close (listener);
            listener = -1;
        }

        if (listener >= 0)
            startThread();
    }

    return true;
}

bool SingleInstance::handOver (const juce::String& commandLine, int timeoutMs) const
{
    sockaddr_un address;

    if (! makeAddress (folder.getChildFile (socketName), address))
        return false;

    // The running instance may still be starting: it listens right after taking the lock.
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    for (;;)
    {
        const auto connection = ::socket (AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);

        if (connection < 0)
            return false;

        if (::connect (connection, (const sockaddr*) &address, sizeof (address)) == 0)
        {
            const auto text = commandLine.toStdString().substr (0, largestMessage);
            const auto sent = text.empty() || ::send (connection, text.data(), text.size(), MSG_NOSIGNAL) == (ssize_t) text.size();
            ::close (connection);
            return sent;
        }

        ::close (connection);

        if (juce::Time::getMillisecondCounter() >= deadline)
            return false;

        juce::Thread::sleep (50);
    }
}

void SingleInstance::run()
{
    while (! threadShouldExit())
    {
        const auto connection = ::accept4 (listener, nullptr, nullptr, SOCK_CLOEXEC);

        if (connection < 0)
        {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;

            return;
        }

        // Only this user can reach the folder; the peer's identity is checked all the same.
        ucred peer {};
        socklen_t size = sizeof (peer);
        const auto trusted = ::getsockopt (connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();

        std::string received;
        char buffer[4096];
        pollfd waiting { connection, POLLIN, 0 };

        // A silent client cannot hold the listener for long.
        while (trusted && received.size() < largestMessage && ::poll (&waiting, 1, 1000) > 0)
        {
            const auto count = ::recv (connection, buffer, sizeof (buffer), 0);

            if (count <= 0)
                break;

            received.append (buffer, (size_t) count);
        }

        ::close (connection);

        if (! trusted)
            continue;

        juce::MessageManager::callAsync ([this, alive = alive, commandLine = juce::String::fromUTF8 (received.data(), (int) received.size())] {
            if (*alive && onHandOver != nullptr)
                onHandOver (commandLine);
        });
    }
}
