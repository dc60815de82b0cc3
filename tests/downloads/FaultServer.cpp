#include "tests/downloads/FaultServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
/** Sends everything or gives up when the client has gone. */
/** Sleeps in small steps, so that a long pause still lets the server shut down at once. */
void pause (int milliseconds, const std::atomic<bool>& quitting)
{
    for (int paused = 0; paused < milliseconds && ! quitting; paused += 5)
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
}

bool sendAll (int socket, const void* data, size_t size)
{
    auto* bytes = static_cast<const char*> (data);

    while (size > 0)
    {
        const auto sent = send (socket, bytes, size, MSG_NOSIGNAL);

        if (sent <= 0)
            return false;

        bytes += sent;
        size -= (size_t) sent;
    }

    return true;
}

/** Reads the request head; empty when the client sends none within a few seconds. */
juce::String readRequestHead (int socket)
{
    std::string head;
    char buffer[1024];

    while (head.find ("\r\n\r\n") == std::string::npos && head.size() < 65536)
    {
        pollfd p { socket, POLLIN, 0 };

        if (poll (&p, 1, 5000) <= 0)
            return {};

        const auto received = recv (socket, buffer, sizeof (buffer), 0);

        if (received <= 0)
            return {};

        head.append (buffer, (size_t) received);
    }

    return juce::String (head);
}

juce::String reasonFor (int status)
{
    switch (status)
    {
        case 200:
            return "OK";
        case 404:
            return "Not Found";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}
} // namespace

juce::MemoryBlock makeTestBody (size_t size, int seed)
{
    juce::MemoryBlock body (size);
    juce::Random random (seed);

    for (size_t i = 0; i < size; ++i)
        body[i] = (char) random.nextInt (256);

    return body;
}

FaultServer::FaultServer()
{
    replies = [] (int, const juce::String&)
    { return Reply { {}, 404 }; };

    if (openListeningSocket())
        acceptThread = std::thread ([this]
                                    { acceptLoop(); });
}

FaultServer::~FaultServer()
{
    quitting = true;

    if (acceptThread.joinable())
        acceptThread.join();

    std::vector<std::thread> threads;
    {
        const std::lock_guard<std::mutex> sl (lock);
        threads.swap (connectionThreads);
    }

    for (auto& thread : threads)
        thread.join();
}

bool FaultServer::openListeningSocket()
{
    listenFd = socket (AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);

    if (listenFd < 0)
        return false;

    const int yes = 1;
    setsockopt (listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof (yes));

    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
    address.sin_port = htons ((uint16_t) port);

    if (bind (listenFd, reinterpret_cast<sockaddr*> (&address), sizeof (address)) != 0 || listen (listenFd, 16) != 0)
    {
        close (listenFd);
        listenFd = -1;
        return false;
    }

    socklen_t length = sizeof (address);
    getsockname (listenFd, reinterpret_cast<sockaddr*> (&address), &length);
    port = ntohs (address.sin_port);
    listening = true;
    return true;
}

void FaultServer::acceptLoop()
{
    // Only this thread opens and closes the listening socket, so it is never polled after
    // being closed.
    while (! quitting)
    {
        if (wantListening != (listenFd >= 0))
        {
            if (listenFd >= 0)
            {
                close (listenFd);
                listenFd = -1;
                listening = false;
            }
            else
            {
                openListeningSocket();
            }
        }

        if (listenFd < 0)
        {
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
            continue;
        }

        pollfd p { listenFd, POLLIN, 0 };

        if (poll (&p, 1, 5) > 0)
        {
            const auto connection = accept4 (listenFd, nullptr, nullptr, SOCK_CLOEXEC);

            if (connection >= 0)
            {
                const std::lock_guard<std::mutex> sl (lock);
                connectionThreads.emplace_back ([this, connection]
                                                { serve (connection); });
            }
        }
    }

    if (listenFd >= 0)
        close (listenFd);
}

void FaultServer::serve (int connection)
{
    const auto head = readRequestHead (connection);
    const auto path = head.upToFirstOccurrenceOf ("\r\n", false, false).fromFirstOccurrenceOf (" ", false, false).upToFirstOccurrenceOf (" ", false, false);

    if (path.isEmpty())
    {
        close (connection);
        return;
    }

    std::function<Reply (int, const juce::String&)> replyFunction;
    int index = 0;
    {
        const std::lock_guard<std::mutex> sl (lock);
        index = paths.size();
        paths.add (path);
        replyFunction = replies;
    }

    const auto reply = replyFunction (index, path);
    const auto bodySize = (juce::int64) reply.body.getSize();
    const auto toSend = reply.cutAfter >= 0 ? juce::jmin (reply.cutAfter, bodySize) : bodySize;

    juce::String header = "HTTP/1.1 " + juce::String (reply.status) + " " + reasonFor (reply.status) + "\r\n"
                          + "Content-Type: application/octet-stream\r\nConnection: close\r\n";

    if (reply.declareLength)
        header << "Content-Length: " << juce::String (bodySize) << "\r\n";

    header << "\r\n";

    pause (reply.answerDelayMs, quitting);
    auto ok = sendAll (connection, header.toRawUTF8(), header.getNumBytesAsUTF8());
    pause (reply.bodyDelayMs, quitting);
    const auto pieceSize = reply.pieceSize > 0 ? (juce::int64) reply.pieceSize : juce::jmax ((juce::int64) 1, toSend);

    for (juce::int64 offset = 0; ok && offset < toSend && ! quitting; offset += pieceSize)
    {
        if (offset > 0)
            pause (reply.pauseMs, quitting);

        ok = sendAll (connection, static_cast<const char*> (reply.body.getData()) + offset, (size_t) juce::jmin (pieceSize, toSend - offset));
    }

    if (reply.thenRefuse)
        setListening (false);

    // An orderly close even for a cut answer: the client then gets every byte sent, and a
    // declared length tells it the body is incomplete.
    shutdown (connection, SHUT_WR);
    close (connection);
}

juce::String FaultServer::getBaseUrl() const
{
    return "http://127.0.0.1:" + juce::String (port) + "/";
}

void FaultServer::setReplies (std::function<Reply (int, const juce::String&)> replyFunction)
{
    const std::lock_guard<std::mutex> sl (lock);
    replies = std::move (replyFunction);
}

void FaultServer::answerWith (const Reply& reply)
{
    setReplies ([reply] (int, const juce::String&)
                { return reply; });
}

void FaultServer::setListening (bool shouldListen)
{
    wantListening = shouldListen;

    while (listening != shouldListen && ! quitting)
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
}

juce::StringArray FaultServer::getRequestPaths() const
{
    const std::lock_guard<std::mutex> sl (lock);
    return paths;
}

int FaultServer::getRequestCount() const
{
    const std::lock_guard<std::mutex> sl (lock);
    return paths.size();
}
