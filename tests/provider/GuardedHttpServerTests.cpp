#include "RawHttpConnection.h"
#include "provider/GuardedHttpServer.h"
#include "provider/ProviderServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace provider;

namespace
{
/** A guarded server on a free loopback port answering "ok" on "/", as the provider wires it. */
class GuardedServerTest : public ::testing::Test
{
protected:
    void start (GuardedHttpServer::Limits limits)
    {
        server = std::make_unique<GuardedHttpServer> (limits);
        server->Get ("/", [] (const httplib::Request&, httplib::Response& response) { response.set_content ("ok", "text/plain"); });

        server->set_error_handler ([] (const httplib::Request&, httplib::Response& response) {
            if (const auto refused = GuardedHttpServer::refusedHeadStatus())
                response.status = refused;
        });

        server->set_logger ([this] (const httplib::Request&, const httplib::Response& response) {
            std::string address;
            int peerPort = 0;
            GuardedHttpServer::getCurrentPeer (address, peerPort);

            const std::lock_guard<std::mutex> scope (logLock);
            loggedStatuses.push_back (response.status);
            loggedPeers.push_back (address);
        });

        port = server->bind_to_any_port ("127.0.0.1");
        ASSERT_GT (port, 0);
        ASSERT_TRUE (server->raiseListenBacklog());
        listener = std::thread ([this] { server->listen_after_bind(); });
    }

    void TearDown() override
    {
        if (server != nullptr)
            server->stop();

        if (listener.joinable())
            listener.join();
    }

    /** The statuses logged so far, once there are at least count of them or a while passed:
        a request is logged once its answer is out, which its client may see first.
    */
    std::vector<int> getLoggedStatuses (size_t count = 0)
    {
        const auto end = juce::Time::getMillisecondCounter() + 2000;

        for (;;)
        {
            {
                const std::lock_guard<std::mutex> scope (logLock);

                if (loggedStatuses.size() >= count || juce::Time::getMillisecondCounter() > end)
                    return loggedStatuses;
            }

            juce::Thread::sleep (5);
        }
    }

    static GuardedHttpServer::Limits quickLimits()
    {
        GuardedHttpServer::Limits limits;
        limits.headTimeoutMs = 400;
        limits.maxHeaderFields = 10;
        limits.maxHeadBytes = 4096;
        limits.requestThreads = 4;
        return limits;
    }

    std::unique_ptr<GuardedHttpServer> server;
    std::thread listener;
    int port = 0;
    std::mutex logLock;
    std::vector<int> loggedStatuses;
    std::vector<std::string> loggedPeers;
};

int countAnswers (const std::string& received)
{
    int answers = 0;

    for (auto at = received.find ("HTTP/1.1 "); at != std::string::npos; at = received.find ("HTTP/1.1 ", at + 1))
        ++answers;

    return answers;
}

juce::StringArray numberedFields (int count)
{
    juce::StringArray fields;

    for (int i = 0; i < count; ++i)
        fields.add ("X-Field-" + juce::String (i) + ": " + juce::String (i));

    return fields;
}
} // namespace

TEST_F (GuardedServerTest, AHeadDribbledPastItsDeadlineIsAnsweredWith408AndDropped)
{
    start (quickLimits());
    RawHttpConnection slow (port);
    ASSERT_TRUE (slow.send ("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: "));
    const auto startedAt = juce::Time::getMillisecondCounter();

    // One byte every 50 ms: each read is quick, only the whole head is late.
    while (slow.getReceived().empty() && juce::Time::getMillisecondCounter() - startedAt < 5000)
    {
        if (! slow.send ("a"))
            break;

        slow.waitForClose (50);
    }

    EXPECT_EQ (slow.receiveStatus (1000), 408) << slow.getReceived();
    EXPECT_LT (juce::Time::getMillisecondCounter() - startedAt, 400u + 1500u);
    EXPECT_TRUE (slow.waitForClose (2000));

    // The client is known although httplib never had the head whole.
    ASSERT_EQ (getLoggedStatuses (1), std::vector<int> { 408 });
    EXPECT_EQ (loggedPeers.front(), "127.0.0.1");

    // A request line as slow gets the same answer, without the handlers.
    RawHttpConnection slowLine (port);
    ASSERT_TRUE (slowLine.send ("GET /"));
    EXPECT_EQ (slowLine.receiveStatus (400 + 1500), 408) << slowLine.getReceived();

    // Saying nothing at all is as slow, and gets no answer.
    RawHttpConnection silent (port);
    EXPECT_TRUE (silent.waitForClose (400 + 1500));
    EXPECT_TRUE (silent.getReceived().empty()) << silent.getReceived();
}

TEST_F (GuardedServerTest, CountsHeaderFieldsAndHeadBytes)
{
    start (quickLimits());

    // "Host" is one of the fields.
    RawHttpConnection enough (port);
    enough.send (RawHttpConnection::makeHead ("GET / HTTP/1.1", numberedFields (9)));
    EXPECT_EQ (enough.receiveStatus (2000), 200);

    RawHttpConnection tooMany (port);
    tooMany.send (RawHttpConnection::makeHead ("GET / HTTP/1.1", numberedFields (10)));
    EXPECT_EQ (tooMany.receiveStatus (2000), 431);
    EXPECT_EQ (tooMany.getAnswerHeader ("Connection"), "close");
    EXPECT_TRUE (tooMany.waitForClose (2000));

    RawHttpConnection endlessLine (port);
    endlessLine.send ("GET /" + std::string (5000, 'a'));
    EXPECT_EQ (endlessLine.receiveStatus (2000), 414);
    EXPECT_TRUE (endlessLine.waitForClose (2000));

    RawHttpConnection tooLarge (port);
    tooLarge.send (RawHttpConnection::makeHead ("GET / HTTP/1.1", { "X-A: " + juce::String::repeatedString ("a", 3000), "X-B: " + juce::String::repeatedString ("b", 3000) }));
    EXPECT_EQ (tooLarge.receiveStatus (2000), 431);

    // Far beyond the limit the connection still ends at once: the rest is never read.
    RawHttpConnection flood (port);
    flood.send (RawHttpConnection::makeHead ("GET / HTTP/1.1", numberedFields (20000)));
    EXPECT_EQ (flood.receiveStatus (2000), 431);
    EXPECT_TRUE (flood.waitForClose (2000));

    // Logged once the answer is out, so in no particular order.
    auto statuses = getLoggedStatuses (4);
    std::sort (statuses.begin(), statuses.end());
    EXPECT_EQ (statuses, (std::vector<int> { 200, 431, 431, 431 }));
}

TEST_F (GuardedServerTest, ServesPipelinedRequestsButNeverReadsABodyAsTheNextRequest)
{
    start (quickLimits());

    RawHttpConnection pipelined (port);
    pipelined.send (RawHttpConnection::makeHead ("GET / HTTP/1.1") + RawHttpConnection::makeHead ("GET / HTTP/1.1", { "Connection: close" }));
    EXPECT_TRUE (pipelined.waitForClose (3000));
    EXPECT_EQ (countAnswers (pipelined.getReceived()), 2) << pipelined.getReceived();
    EXPECT_EQ (getLoggedStatuses (2).size(), 2u);

    // The body looks like a request; the server must not answer it.
    const std::string smuggled = "GET /secret HTTP/1.1\r\nHost: x\r\n\r\n";
    RawHttpConnection withBody (port);
    withBody.send (RawHttpConnection::makeHead ("GET / HTTP/1.1", { "Content-Length: " + juce::String ((int) smuggled.size()) }) + smuggled);
    EXPECT_EQ (withBody.receiveStatus (2000), 200);
    EXPECT_EQ (withBody.getAnswerHeader ("Connection"), "close");
    EXPECT_TRUE (withBody.waitForClose (3000));
    EXPECT_EQ (countAnswers (withBody.getReceived()), 1) << withBody.getReceived();
    EXPECT_EQ (getLoggedStatuses (3).size(), 3u);
}

TEST_F (GuardedServerTest, RefusesAmbiguousFramingSoNoBodyIsEverTakenForARequest)
{
    start (quickLimits());

    // Each body is a request of its own, which a server reading the framing otherwise than the
    // client meant would answer as a second one.
    const std::string smuggled = "GET /secret HTTP/1.1\r\nHost: x\r\n\r\n";
    const auto length = juce::String ((int) smuggled.size());
    const std::vector<std::string> heads {
        "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nContent-Length: " + length.toStdString() + "\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: x\r\nContent-Length : " + length.toStdString() + "\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding : chunked\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: x\r\nContent-Length:\t" + length.toStdString() + "\n\r\n",
        "GET / HTTP/1.1\r\nHost: x\r\nX-A: 1\r\n Content-Length: " + length.toStdString() + "\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: +" + length.toStdString() + "\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: %3" + length.substring (1).toStdString() + "\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: x\r\nContent-Length: " + length.toStdString() + "\r\nTransfer-Encoding: chunked\r\n\r\n",
        "GET / HTTP/1.1\r\nHost: x\r\nContent\x01Length: " + length.toStdString() + "\r\n\r\n",
    };

    for (auto& head : heads)
    {
        RawHttpConnection connection (port);
        connection.send (head + smuggled);
        EXPECT_EQ (connection.receiveStatus (2000), 400) << head;
        EXPECT_EQ (connection.getAnswerHeader ("Connection"), "close") << head;
        EXPECT_TRUE (connection.waitForClose (3000)) << head;
        EXPECT_EQ (countAnswers (connection.getReceived()), 1) << head << connection.getReceived();
    }

    // Fields repeated with one same length, or written with blanks after the colon, are fine.
    RawHttpConnection repeated (port);
    repeated.send ("GET / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\ncontent-length:  0 \r\nConnection: close\r\n\r\n");
    EXPECT_EQ (repeated.receiveStatus (2000), 200) << repeated.getReceived();
}

TEST_F (GuardedServerTest, AHeadsDeadlineRunsFromAcceptanceWhileEveryThreadIsBusy)
{
    auto limits = quickLimits();
    limits.headTimeoutMs = 2000;
    limits.requestThreads = 2;
    limits.maxConnections = 2;
    start (limits);

    // Two silent clients take both threads until their deadline; the third waits for one.
    RawHttpConnection first (port), second (port);
    RawHttpConnection late (port);
    const auto acceptedAt = juce::Time::getMillisecondCounter();
    ASSERT_TRUE (late.send ("GET / HTTP/1.1\r\nHost: x\r\n"));

    EXPECT_EQ (late.receiveStatus (4 * limits.headTimeoutMs), 408) << late.getReceived();
    const auto answeredAfter = juce::Time::getMillisecondCounter() - acceptedAt;

    // Counted from when a thread took it, the deadline would only have passed after twice its
    // time; the margin is for a busy machine.
    EXPECT_LT (answeredAfter, (juce::uint32) (limits.headTimeoutMs * 3 / 2)) << answeredAfter << " ms";
    EXPECT_TRUE (first.waitForClose (1000));
    EXPECT_TRUE (second.waitForClose (1000));
}

TEST_F (GuardedServerTest, AnAnswerTakenMoreSlowlyThanTheMinimumRateIsCutOff)
{
    auto limits = quickLimits();
    limits.socketTimeoutMs = 500;
    limits.minSendBytesPerSecond = 64 * 1024;
    start (limits);

    constexpr size_t bodyBytes = 8 * 1024 * 1024;
    server->Get ("/large", [] (const httplib::Request&, httplib::Response& response) {
        response.set_content_provider (bodyBytes, "application/octet-stream", [] (size_t, size_t length, httplib::DataSink& sink) {
            const std::string block (std::min<size_t> (length, 64 * 1024), 'x');
            return sink.write (block.data(), block.size());
        });
    });

    // About 20 KB a second, never stalling long enough for one read or write to time out.
    RawHttpConnection trickle (port, 8 * 1024);
    trickle.send (RawHttpConnection::makeHead ("GET /large HTTP/1.1"));
    const auto end = juce::Time::getMillisecondCounter() + 20000;
    bool open = true;

    while (open && juce::Time::getMillisecondCounter() < end && trickle.getReceived().size() < bodyBytes)
    {
        open = trickle.receiveSome (50, 1024);
        juce::Thread::sleep (50);
    }

    EXPECT_FALSE (open) << "the connection stayed open for " << trickle.getReceived().size() << " bytes";
    EXPECT_LT (trickle.getReceived().size(), bodyBytes);

    // A client that keeps up gets it all.
    RawHttpConnection quick (port);
    quick.send (RawHttpConnection::makeHead ("GET /large HTTP/1.1", { "Connection: close" }));
    EXPECT_TRUE (quick.waitForClose (30000));
    EXPECT_GT (quick.getReceived().size(), bodyBytes);
}

TEST_F (GuardedServerTest, ReadersWhoStopReadingLeaveThreadsForEveryoneElse)
{
    auto limits = quickLimits();
    limits.socketTimeoutMs = 60000;
    limits.requestThreads = 2;
    start (limits);

    server->Get ("/large", [] (const httplib::Request&, httplib::Response& response) {
        response.set_content_provider (64 * 1024 * 1024, "application/octet-stream", [] (size_t, size_t length, httplib::DataSink& sink) {
            const std::string block (std::min<size_t> (length, 64 * 1024), 'x');
            return sink.write (block.data(), block.size());
        });
    });

    // Each stops once the answer has begun, holding its thread in a write.
    std::vector<std::unique_ptr<RawHttpConnection>> stalled;

    for (int i = 0; i < 12; ++i)
    {
        stalled.push_back (std::make_unique<RawHttpConnection> (port, 4096));
        stalled.back()->send (RawHttpConnection::makeHead ("GET /large HTTP/1.1"));
        ASSERT_EQ (stalled.back()->receiveStatus (10000), 200) << i;
    }

    RawHttpConnection ordinary (port);
    ordinary.send (RawHttpConnection::makeHead ("GET / HTTP/1.1"));
    EXPECT_EQ (ordinary.receiveStatus (10000), 200);
}

TEST_F (GuardedServerTest, StoppingEndsWaitingConnectionsAtOnce)
{
    auto limits = quickLimits();
    limits.headTimeoutMs = 60000;
    limits.keepAliveTimeoutMs = 60000;
    start (limits);

    RawHttpConnection idle (port);
    RawHttpConnection halfway (port);
    halfway.send ("GET / HTTP/1.1\r\nHost: x\r\n");
    RawHttpConnection keptAlive (port);
    keptAlive.send (RawHttpConnection::makeHead ("GET / HTTP/1.1"));
    ASSERT_EQ (keptAlive.receiveStatus (2000), 200);

    const auto startedAt = juce::Time::getMillisecondCounter();
    server->stop();
    listener.join();
    EXPECT_LT (juce::Time::getMillisecondCounter() - startedAt, 2000u);
    EXPECT_TRUE (idle.waitForClose (1000));
    EXPECT_TRUE (halfway.waitForClose (1000));
    EXPECT_TRUE (keptAlive.waitForClose (1000));
}

TEST (GuardedHttpServer, QueuesABurstOfConnectionsUntilTheyAreAccepted)
{
    GuardedHttpServer server ({});
    const auto port = server.bind_to_any_port ("127.0.0.1");
    ASSERT_GT (port, 0);
    ASSERT_TRUE (server.raiseListenBacklog());

    // Nothing accepts yet: every connection of the burst must wait in the kernel's queue, which
    // drops what does not fit (the client would retry a second later).
    constexpr int burst = 100;
    std::vector<int> sockets;
    int established = 0;

    for (int i = 0; i < burst; ++i)
    {
        const int descriptor = ::socket (AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons ((uint16_t) port);
        address.sin_addr.s_addr = htonl (INADDR_LOOPBACK);
        ::connect (descriptor, reinterpret_cast<sockaddr*> (&address), sizeof (address));
        sockets.push_back (descriptor);
    }

    for (auto descriptor : sockets)
    {
        pollfd request { descriptor, POLLOUT, 0 };
        int error = -1;
        socklen_t length = sizeof (error);

        if (::poll (&request, 1, 500) == 1 && ::getsockopt (descriptor, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
            ++established;

        ::close (descriptor);
    }

    EXPECT_EQ (established, burst);
}

TEST (ProviderServer, AnswersOnlyGetAndHeadWithoutBodies)
{
    const auto refusalOf = [] (const std::string& method, httplib::Headers headers = {}) {
        httplib::Request request;
        request.method = method;
        request.headers = std::move (headers);
        return ProviderServer::refusalStatusOf (request);
    };

    EXPECT_EQ (refusalOf ("GET"), 0);
    EXPECT_EQ (refusalOf ("HEAD"), 0);
    EXPECT_EQ (refusalOf ("GET", { { "Content-Length", "0" } }), 0);

    for (auto* method : { "POST", "PUT", "DELETE", "PATCH", "OPTIONS", "TRACE", "CONNECT" })
        EXPECT_EQ (refusalOf (method), 405) << method;

    EXPECT_EQ (refusalOf ("GET", { { "Content-Length", "300000000" } }), 413);
    EXPECT_EQ (refusalOf ("GET", { { "Transfer-Encoding", "chunked" } }), 413);
}
