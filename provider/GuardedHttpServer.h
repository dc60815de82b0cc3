#pragma once

#include <JuceHeader.h>

#include <httplib.h>

#include <chrono>

namespace provider
{
/**
    An HTTP server that keeps hostile clients from holding its request threads: every request
    head (request line and header fields) must arrive whole within a deadline and stay within a
    number of header fields and bytes, idle kept-alive connections are let go, and connections
    end as soon as the server stops.

    Every connection has a thread of its own (ConnectionThreadPool) up to a number of them, so
    clients slow to send or to read cannot keep others waiting, and answers must flow at a
    minimum rate. Heads are checked strictly as they arrive (RequestHeadChecker), so no field the
    library would read otherwise than a strict reader can change a request's framing.

    Heads that break a limit are answered by the error handler; the status it should give is
    refusedHeadStatus (400 for a malformed or ambiguous head, 408 for a head too slow, 431 for one
    too large). A request line that is malformed (400), too slow (408) or too long (414) is
    answered here, without the handlers, since httplib has no
    request yet; a client that sends nothing at all is let go without a word. Request bodies are never
    read: a connection whose request announced one is closed after the answer, so the body's
    bytes are never taken for a next request. The routes, handlers and task queue are set up as
    for any httplib server; bind, listen and stop are called as there. The per-connection calls
    (refusedHeadStatus, closeAfterAnswer) belong to the request thread serving the connection.
*/
class GuardedHttpServer final : public httplib::Server
{
public:
    /** What a connection may take. */
    struct Limits
    {
        /** How long a request head may take to arrive, from its first byte (for the first
            request of a connection: from the connection's acceptance).
        */
        int headTimeoutMs = 5000;

        /** Most header fields in one request. */
        int maxHeaderFields = 100;

        /** Most bytes of one request head, request line included. */
        int maxHeadBytes = 64 * 1024;

        /** How long a kept-alive connection may wait for its next request. */
        int keepAliveTimeoutMs = 2000;

        /** Most requests on one connection. */
        int maxRequestsPerConnection = 100;

        /** How long one read of a request or one write of an answer may wait for the client. */
        int socketTimeoutMs = 5000;

        /** The slowest an answer may be taken, in bytes a second: each piece written (a file
            answer's pieces are 64 KB) must leave within socketTimeoutMs or the time this rate
            gives it, whichever is longer. 0 for no minimum.
        */
        int minSendBytesPerSecond = 8 * 1024;

        /** Request threads kept ready for connections. */
        int requestThreads = 64;

        /** Most connections served at once, each on a thread of its own; more wait for one,
            their head deadlines running.
        */
        int maxConnections = 1024;
    };

    /** Called with every request once its head is complete, before it is routed; may change
        the request (its ranges, for instance).
    */
    using HeadHandler = std::function<void (httplib::Request&)>;

    explicit GuardedHttpServer (Limits limits);
    ~GuardedHttpServer() override;

    /** Sets what is done with each complete head; call before listening. */
    void setHeadHandler (HeadHandler handler);

    /** Lets the kernel queue as many pending connections as it allows, rather than httplib's
        few; call after binding. Returns false when the socket refused.
    */
    bool raiseListenBacklog();

    /** On a request thread: 400, 408 or 431 when the head of the request being answered was
        refused for its form, time or size, 0 otherwise.
    */
    static int refusedHeadStatus();

    /** On a request thread: the client's address and port, known even for a request whose
        head was refused; false when unknown.
    */
    static bool getCurrentPeer (std::string& address, int& port);

    /** On a request thread: closes the connection after the answer being written. */
    static void closeAfterAnswer();

    /** Whether a request announces a body (a length above 0, or a transfer coding). */
    static bool announcesBody (const httplib::Request& request);

    const Limits& getLimits() const noexcept { return limits; }

private:
    bool process_and_close_socket (int socket) override;
    bool waitForRequest (int socket, std::chrono::steady_clock::time_point deadline) const;
    bool isStopping() const;

    Limits limits;
    HeadHandler headHandler;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (GuardedHttpServer)
};
} // namespace provider
