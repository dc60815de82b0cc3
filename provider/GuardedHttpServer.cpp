#include "provider/GuardedHttpServer.h"

#include "provider/ConnectionThreadPool.h"
#include "provider/RequestHeadChecker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace provider
{
namespace
{
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

/** How often a wait looks whether the server is stopping. */
constexpr Milliseconds stopCheckInterval { 100 };

/** What a connection keeps between its requests; lives on its request thread's stack. */
struct ConnectionState
{
    /** Bytes received and not yet handed on: a client may send its next request early. */
    std::vector<char> buffer = std::vector<char> (16 * 1024);
    size_t bufferStart = 0;
    size_t bufferEnd = 0;

    bool headComplete = false;
    int refusedStatus = 0;
    bool closeAfterAnswer = false;

    /** Whether this request had any byte, and any answer went out. */
    bool requestBegun = false;
    bool answered = false;

    /** Whether an answer was cut off because the client took it too slowly. */
    bool tooSlowToRead = false;

    std::string peerAddress;
    int peerPort = -1;

    size_t buffered() const noexcept { return bufferEnd - bufferStart; }
};

thread_local ConnectionState* currentConnection = nullptr;

/** Waits for a socket event until the deadline; false on timeout, on error or when stopping.
    Past the deadline it still looks once, so what has already arrived is taken.
*/
template <typename StopCheck>
bool waitFor (int socket, short events, Clock::time_point deadline, StopCheck&& isStopping)
{
    for (;;)
    {
        if (isStopping())
            return false;

        const auto remaining = std::max<Clock::duration> (deadline - Clock::now(), Clock::duration::zero());
        const auto slice = std::min<Clock::duration> (remaining, stopCheckInterval);
        const auto sliceMs = (int) std::chrono::duration_cast<Milliseconds> (slice).count() + (remaining > Clock::duration::zero() ? 1 : 0);
        pollfd descriptor { socket, events, 0 };
        const auto result = ::poll (&descriptor, 1, sliceMs);

        // A hang-up counts as readable: the read that follows sees the end.
        if (result > 0)
            return (descriptor.revents & (events | POLLHUP | POLLERR)) != 0;

        if ((result < 0 && errno != EINTR) || remaining == Clock::duration::zero())
            return false;
    }
}

void describe (const sockaddr_storage& address, std::string& ip, int& port)
{
    char text[INET6_ADDRSTRLEN] = {};

    if (address.ss_family == AF_INET)
    {
        const auto& v4 = reinterpret_cast<const sockaddr_in&> (address);
        ::inet_ntop (AF_INET, &v4.sin_addr, text, sizeof (text));
        port = ntohs (v4.sin_port);
    }
    else if (address.ss_family == AF_INET6)
    {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&> (address);
        ::inet_ntop (AF_INET6, &v6.sin6_addr, text, sizeof (text));
        port = ntohs (v6.sin6_port);
    }

    ip = text;
}

/**
    One request's view of the connection: reads through the connection's buffer and, until the
    head is complete, holds the head to its deadline and its size limits.
*/
class ConnectionStream final : public httplib::Stream
{
public:
    ConnectionStream (int connectionSocket,
                      const GuardedHttpServer::Limits& limitsToUse,
                      Clock::time_point headDeadlineToUse,
                      ConnectionState& stateToUse,
                      std::function<bool()> isStoppingToUse)
        : descriptor (connectionSocket),
          limits (limitsToUse),
          headDeadline (headDeadlineToUse),
          state (stateToUse),
          isStopping (std::move (isStoppingToUse))
    {
        state.headComplete = false;
        state.requestBegun = state.buffered() > 0;
        state.answered = false;
    }

    bool is_readable() const override
    {
        return state.buffered() > 0 || waitFor (descriptor, POLLIN, readDeadline(), isStopping);
    }

    bool is_writable() const override
    {
        return waitFor (descriptor, POLLOUT, Clock::now() + Milliseconds (limits.socketTimeoutMs), isStopping);
    }

    ssize_t read (char* destination, size_t size) override
    {
        if (state.refusedStatus != 0)
            return -1;

        if (state.buffered() == 0)
        {
            const auto received = fill();

            if (received <= 0)
                return received;
        }

        auto count = std::min (size, state.buffered());
        const auto* source = state.buffer.data() + state.bufferStart;

        if (! state.headComplete && ! admitHeadBytes (source, count))
            return -1;

        std::memcpy (destination, source, count);
        state.bufferStart += count;
        return (ssize_t) count;
    }

    /** Writes all of it or fails: a slow reader must take each piece within the socket timeout
        or the time the minimum rate gives it, whichever is longer, however little it takes at a
        time.
    */
    ssize_t write (const char* source, size_t size) override
    {
        auto allowedMs = (juce::int64) limits.socketTimeoutMs;

        if (limits.minSendBytesPerSecond > 0)
            allowedMs = std::max (allowedMs, (juce::int64) size * 1000 / limits.minSendBytesPerSecond);

        const auto deadline = Clock::now() + Milliseconds (allowedMs);

        for (size_t sent = 0; sent < size;)
        {
            if (! waitFor (descriptor, POLLOUT, deadline, isStopping))
            {
                state.tooSlowToRead = ! isStopping();
                return -1;
            }

            const auto count = ::send (descriptor, source + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);

            if (count < 0)
            {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    continue;

                return -1;
            }

            sent += (size_t) count;
            state.answered = true;
        }

        return (ssize_t) size;
    }

    void get_remote_ip_and_port (std::string& ip, int& port) const override
    {
        sockaddr_storage address {};
        socklen_t length = sizeof (address);

        if (::getpeername (descriptor, reinterpret_cast<sockaddr*> (&address), &length) == 0)
            describe (address, ip, port);
    }

    void get_local_ip_and_port (std::string& ip, int& port) const override
    {
        sockaddr_storage address {};
        socklen_t length = sizeof (address);

        if (::getsockname (descriptor, reinterpret_cast<sockaddr*> (&address), &length) == 0)
            describe (address, ip, port);
    }

    int socket() const override { return descriptor; }

private:
    Clock::time_point readDeadline() const
    {
        const auto deadline = Clock::now() + Milliseconds (limits.socketTimeoutMs);
        return state.headComplete ? deadline : std::min (deadline, headDeadline);
    }

    ssize_t fill()
    {
        if (! waitFor (descriptor, POLLIN, readDeadline(), isStopping))
        {
            if (! state.headComplete && Clock::now() >= headDeadline)
                state.refusedStatus = 408;

            return -1;
        }

        const auto received = ::recv (descriptor, state.buffer.data(), state.buffer.size(), 0);
        state.bufferStart = 0;
        state.bufferEnd = received > 0 ? (size_t) received : 0;
        state.requestBegun = state.requestBegun || received > 0;
        return received;
    }

    /** Counts head bytes as they are handed on; false once the head is too large. httplib reads
        the head a byte at a time, so the limit is exact.
    */
    bool admitHeadBytes (const char* bytes, size_t count)
    {
        // The request line and its end, then one line per field, then the empty line.
        const auto allowedLines = (size_t) limits.maxHeaderFields + 2;

        if (headLines >= allowedLines || headBytes + count > (size_t) limits.maxHeadBytes)
        {
            state.refusedStatus = headLines == 0 ? 414 : 431;
            return false;
        }

        for (size_t i = 0; i < count && checker.getVerdict() == RequestHeadChecker::Verdict::incomplete; ++i)
        {
            if (checker.take (bytes[i]) == RequestHeadChecker::Verdict::refused)
            {
                state.refusedStatus = 400;
                return false;
            }
        }

        headBytes += count;
        headLines += (size_t) std::count (bytes, bytes + count, '\n');
        return true;
    }

    int descriptor;
    const GuardedHttpServer::Limits& limits;
    Clock::time_point headDeadline;
    ConnectionState& state;
    std::function<bool()> isStopping;
    size_t headBytes = 0;
    size_t headLines = 0;
    RequestHeadChecker checker;
};

/** The answer to a request refused before httplib had its request line, which httplib leaves
    unanswered.
*/
void answerRefusedRequestLine (int socket, int status)
{
    const auto reason = status == 408 ? " Request Timeout" : (status == 414 ? " URI Too Long" : " Bad Request");
    const auto answer = "HTTP/1.1 " + std::to_string (status) + reason
                      + "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
    ::send (socket, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

/** Lets a client that is still sending take the answer before the connection goes: closing
    with unread bytes would reset it and could destroy the answer in flight.
*/
void closeGently (int socket, bool clientMaySend)
{
    if (clientMaySend)
    {
        ::shutdown (socket, SHUT_WR);
        const auto deadline = Clock::now() + Milliseconds (500);
        char discarded[16 * 1024];
        size_t total = 0;

        while (total < 1024 * 1024 && waitFor (socket, POLLIN, deadline, [] { return false; }))
        {
            const auto received = ::recv (socket, discarded, sizeof (discarded), 0);

            if (received <= 0)
                break;

            total += (size_t) received;
        }
    }

    ::shutdown (socket, SHUT_RDWR);
    ::close (socket);
}
/** Ends a connection at once, dropping what is still queued for it: what a client too slow to
    read has not taken would otherwise stay in the kernel, and keep going out, long after.
*/
void reset (int socket)
{
    const linger immediately { 1, 0 };
    ::setsockopt (socket, SOL_SOCKET, SO_LINGER, &immediately, sizeof (immediately));
    ::close (socket);
}
} // namespace

GuardedHttpServer::GuardedHttpServer (Limits limitsToUse)
    : limits (limitsToUse)
{
    new_task_queue = [this] { return new ConnectionThreadPool (limits.requestThreads, limits.maxConnections); };

    set_write_timeout (limits.socketTimeoutMs / 1000, (limits.socketTimeoutMs % 1000) * 1000);
    set_keep_alive_timeout (std::max (1, limits.keepAliveTimeoutMs / 1000));
    set_keep_alive_max_count ((size_t) limits.maxRequestsPerConnection);

    // Bodies are never read.
    set_payload_max_length (0);

    set_post_routing_handler ([] (const httplib::Request&, httplib::Response& response) {
        auto* connection = currentConnection;

        if (connection != nullptr && (! connection->headComplete || connection->closeAfterAnswer || connection->refusedStatus != 0))
        {
            response.headers.erase ("Keep-Alive");
            response.set_header ("Connection", "close");
        }
    });
}

GuardedHttpServer::~GuardedHttpServer() = default;

void GuardedHttpServer::setHeadHandler (HeadHandler handler)
{
    headHandler = std::move (handler);
}

bool GuardedHttpServer::raiseListenBacklog()
{
    const int socket = svr_sock_;
    return socket >= 0 && ::listen (socket, SOMAXCONN) == 0;
}

int GuardedHttpServer::refusedHeadStatus()
{
    return currentConnection != nullptr ? currentConnection->refusedStatus : 0;
}

bool GuardedHttpServer::getCurrentPeer (std::string& address, int& port)
{
    if (currentConnection == nullptr || currentConnection->peerAddress.empty())
        return false;

    address = currentConnection->peerAddress;
    port = currentConnection->peerPort;
    return true;
}

void GuardedHttpServer::closeAfterAnswer()
{
    if (currentConnection != nullptr)
        currentConnection->closeAfterAnswer = true;
}

bool GuardedHttpServer::announcesBody (const httplib::Request& request)
{
    if (request.has_header ("Transfer-Encoding"))
        return true;

    const auto length = request.get_header_value ("Content-Length");
    return ! length.empty() && length.find_first_not_of ("0") != std::string::npos;
}

bool GuardedHttpServer::isStopping() const
{
    return svr_sock_ == INVALID_SOCKET;
}

bool GuardedHttpServer::waitForRequest (int socket, Clock::time_point deadline) const
{
    return waitFor (socket, POLLIN, deadline, [this] { return isStopping(); });
}

bool GuardedHttpServer::process_and_close_socket (int socket)
{
    ConnectionState state;
    const juce::ScopedValueSetter<ConnectionState*> current (currentConnection, &state);

    {
        sockaddr_storage address {};
        socklen_t length = sizeof (address);

        if (::getpeername (socket, reinterpret_cast<sockaddr*> (&address), &length) == 0)
            describe (address, state.peerAddress, state.peerPort);
    }

    const auto stopping = [this] { return isStopping(); };

    // The first head's time runs from the acceptance, however long the connection waited for a
    // thread: a client that connects and says nothing is as slow as one that dribbles.
    const auto acceptedAt = ConnectionThreadPool::getQueuedTimeOfCurrentTask().value_or (Clock::now());
    auto headDeadline = acceptedAt + Milliseconds (limits.headTimeoutMs);
    bool served = false;
    bool clientMaySend = false;

    for (int count = 0; count < limits.maxRequestsPerConnection; ++count)
    {
        if (count > 0)
        {
            if (state.buffered() == 0 && ! waitForRequest (socket, Clock::now() + Milliseconds (limits.keepAliveTimeoutMs)))
                break;

            headDeadline = Clock::now() + Milliseconds (limits.headTimeoutMs);
        }

        ConnectionStream stream (socket, limits, headDeadline, state, stopping);
        const bool last = count + 1 == limits.maxRequestsPerConnection;
        bool closedByClient = false;

        served = process_request (stream, last, closedByClient, [this, &state] (httplib::Request& request) {
            state.headComplete = true;
            state.closeAfterAnswer = state.closeAfterAnswer || announcesBody (request);

            if (headHandler != nullptr)
                headHandler (request);
        });

        clientMaySend = ! state.headComplete || state.closeAfterAnswer || state.refusedStatus != 0;

        // A client that connects and says nothing is let go without a word.
        if (state.refusedStatus != 0 && state.requestBegun && ! state.answered)
        {
            answerRefusedRequestLine (socket, state.refusedStatus);
            served = true;
        }

        if (! served || closedByClient || clientMaySend || isStopping())
            break;
    }

    if (state.tooSlowToRead)
        reset (socket);
    else
        closeGently (socket, served && clientMaySend);

    return served;
}
} // namespace provider
