#include "server/HttpClient.h"
#include "tests/common/TestHttpServer.h"
#include "tests/downloads/FaultServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
using Outcome = HttpClient::Outcome;

/** Limits short enough for a test to watch them expire. */
const HttpClient::Limits quick { 1000, 1000, 100 };

double nowMs()
{
    return juce::Time::getMillisecondCounterHiRes();
}

bool waitUntil (const std::function<bool()>& condition, int timeoutMs = 5000)
{
    const auto end = nowMs() + timeoutMs;

    while (! condition())
    {
        if (nowMs() > end)
            return false;

        juce::Thread::sleep (2);
    }

    return true;
}

/** A juce::Thread that makes one request, so that stopping the thread can be timed. */
class RequestThread final : public juce::Thread
{
public:
    explicit RequestThread (HttpClient::Request r) : Thread ("request"), request (std::move (r)) {}
    ~RequestThread() override { stopThread (5000); }

    void run() override
    {
        response = HttpClient::forThisThread().get (request, body);
        endedAt = nowMs();
        ended = true;
    }

    HttpClient::Request request;
    juce::MemoryBlock body;
    HttpClient::Response response;
    std::atomic<bool> ended { false };
    std::atomic<double> endedAt { 0.0 };
};

FaultServer::Reply silentReply()
{
    FaultServer::Reply reply { makeTestBody (1000) };
    reply.answerDelayMs = 60000;
    return reply;
}
} // namespace

TEST (HttpClient, AnswersComeWithStatusDeclaredLengthAndHeaders)
{
    TestHttpServer server;
    server.answerWith ("<catalog/>");
    HttpClient client;
    juce::MemoryBlock body;

    auto response = client.get (server.getBaseUrl() + "catalog.php", body);
    EXPECT_TRUE (response.isSuccess());
    EXPECT_EQ (response.status, 200);
    EXPECT_EQ (response.declaredLength, 10);
    EXPECT_EQ (response.bodyBytes, 10);
    EXPECT_TRUE (response.isWholeDeclaredAnswer());
    EXPECT_EQ (body.toString(), "<catalog/>");
    EXPECT_EQ (response.headers["Content-Type"], "text/xml");

    server.answerWith ("gone", 404);
    response = client.get (server.getBaseUrl() + "x", body);
    EXPECT_TRUE (response.isComplete()) << "an error status is still a whole answer";
    EXPECT_FALSE (response.isSuccess());
    EXPECT_EQ (response.status, 404);
    EXPECT_EQ (body.toString(), "gone");
}

TEST (HttpClient, QueryComponentsAreEscapedAndArriveIntact)
{
    EXPECT_EQ (HttpClient::escapeQueryComponent ("ada@example.com"), "ada%40example.com");
    EXPECT_EQ (HttpClient::escapeQueryComponent ("a b&c=d/e?f+g%h~i-j_k.l"), "a%20b%26c%3Dd%2Fe%3Ff%2Bg%25h~i-j_k.l");
    EXPECT_EQ (HttpClient::escapeQueryComponent (juce::String::fromUTF8 ("caf\xc3\xa9")), "caf%C3%A9");
    EXPECT_EQ (HttpClient::withQuery ("http://h/c.php", {}), "http://h/c.php");
    EXPECT_EQ (HttpClient::withQuery ("http://h/c.php?x=1", { { "a", "b" } }), "http://h/c.php?x=1&a=b");

    TestHttpServer server;
    server.answerWith ("ok");
    const auto value = juce::String::fromUTF8 ("x&y=z #1 caf\xc3\xa9");
    HttpClient client;
    juce::MemoryBlock body;
    ASSERT_TRUE (client.get (HttpClient::withQuery (server.getBaseUrl() + "c.php", { { "auth", "1" }, { "odd name", value } }), body).isSuccess());

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 1u);
    EXPECT_EQ (requests[0].query, "auth=1&odd%20name=x%26y%3Dz%20%231%20caf%C3%A9");
    EXPECT_EQ (requests[0].parameters["odd name"], value);
}

TEST (HttpClient, BodiesStreamInOrderAndTheReceiverCanStopThem)
{
    FaultServer server;
    const auto body = makeTestBody (3000000);
    server.answerWith ({ body });
    HttpClient client;

    juce::MemoryOutputStream received;
    int heads = 0;
    auto response = client.get (
        server.getBaseUrl() + "video.bin",
        [&] (const void* data, size_t size)
        {
            EXPECT_EQ (heads, 1) << "the head comes before the body";
            return received.write (data, size);
        },
        [&] (const HttpClient::Response& head)
        {
            ++heads;
            EXPECT_EQ (head.status, 200);
            EXPECT_EQ (head.declaredLength, 3000000);
        });

    EXPECT_TRUE (response.isWholeDeclaredAnswer());
    EXPECT_EQ (heads, 1);
    EXPECT_EQ (received.getMemoryBlock(), body);

    size_t taken = 0;
    response = client.get (server.getBaseUrl() + "video.bin", [&] (const void*, size_t size)
                           {
        taken += size;
        return taken < 100000; });
    EXPECT_EQ (response.outcome, Outcome::stoppedByReceiver);
    EXPECT_LT (taken, body.getSize());

    juce::MemoryBlock capped;
    response = client.get (server.getBaseUrl() + "video.bin", capped, 1000000);
    EXPECT_EQ (response.outcome, Outcome::stoppedByReceiver) << "a body larger than the cap is refused";
    EXPECT_LE (capped.getSize(), 1000000u);
}

TEST (HttpClient, MissingServersAndCutAnswersFail)
{
    HttpClient client;
    juce::MemoryBlock body;
    auto response = client.get ({ "http://127.0.0.1:1/", quick }, body);
    EXPECT_EQ (response.outcome, Outcome::failed);
    EXPECT_FALSE (response.hasAnswer());
    EXPECT_TRUE (response.errorText.isNotEmpty());

    FaultServer server;
    FaultServer::Reply cut { makeTestBody (100000) };
    cut.cutAfter = 40000;
    server.answerWith (cut);
    response = client.get (server.getBaseUrl() + "video.bin", body);
    EXPECT_EQ (response.outcome, Outcome::failed);
    EXPECT_EQ (response.status, 200);
    EXPECT_EQ (response.bodyBytes, 40000);
    EXPECT_FALSE (response.isWholeDeclaredAnswer());
}

TEST (HttpClient, SilentStallingAndDrippingServersEndAsStalled)
{
    FaultServer::Reply silent = silentReply();

    FaultServer::Reply headersOnly { makeTestBody (1000) };
    headersOnly.bodyDelayMs = 60000;

    FaultServer::Reply drip { makeTestBody (1000) };
    drip.pieceSize = 1;
    drip.pauseMs = 100;

    for (const auto& [name, reply, answered] : { std::tuple { "silent", silent, false },
                                                 std::tuple { "headers, then nothing", headersOnly, true },
                                                 std::tuple { "a byte every 100 ms", drip, true } })
    {
        FaultServer server;
        server.answerWith (reply);
        HttpClient client;
        juce::MemoryBlock body;

        const auto start = nowMs();
        const auto response = client.get ({ server.getBaseUrl() + "catalog.php", quick }, body);
        const auto took = nowMs() - start;

        EXPECT_EQ (response.outcome, Outcome::stalled) << name;
        EXPECT_EQ (response.hasAnswer(), answered) << name;
        EXPECT_GE (took, quick.stallTimeoutMs - 50.0) << name;
        EXPECT_LT (took, quick.stallTimeoutMs + 500.0) << name;
    }
}

TEST (HttpClient, ASlowButSteadyAnswerIsNotAStall)
{
    FaultServer server;
    FaultServer::Reply slow { makeTestBody (1800) };
    slow.pieceSize = 200;
    slow.pauseMs = 150;
    server.answerWith (slow);
    HttpClient client;
    juce::MemoryBlock body;

    const auto response = client.get ({ server.getBaseUrl() + "catalog.php", quick }, body);
    EXPECT_TRUE (response.isSuccess()) << "200 bytes every 150 ms is more than 100 bytes per second";
    EXPECT_EQ (body.getSize(), 1800u);
}

TEST (HttpClient, AThreadAskedToStopEndsItsRequestWithinATenthOfASecond)
{
    FaultServer server;
    server.answerWith (silentReply());

    RequestThread thread (server.getBaseUrl() + "video.bin");
    ASSERT_TRUE (thread.startThread());
    ASSERT_TRUE (waitUntil ([&]
                            { return server.getRequestCount() == 1; }));

    const auto asked = nowMs();
    thread.signalThreadShouldExit();
    ASSERT_TRUE (waitUntil ([&]
                            { return thread.ended.load(); },
                            1000));
    EXPECT_LT (thread.endedAt - asked, 100.0);
    EXPECT_EQ (thread.response.outcome, Outcome::cancelled);
    EXPECT_TRUE (thread.stopThread (1000)) << "the thread ended by itself";
}

TEST (HttpClient, CancelEndsARequestOnAnotherThreadAndTheClientCarriesOn)
{
    FaultServer server;
    server.answerWith (silentReply());
    HttpClient client;
    HttpClient::Response response;
    std::atomic<double> endedAt { 0.0 };

    std::thread requester ([&]
                           {
        juce::MemoryBlock body;
        response = client.get (server.getBaseUrl() + "video.bin", body);
        endedAt = nowMs(); });

    ASSERT_TRUE (waitUntil ([&]
                            { return server.getRequestCount() == 1; }));
    const auto asked = nowMs();
    client.cancel();
    requester.join();
    EXPECT_LT (endedAt - asked, 100.0);
    EXPECT_EQ (response.outcome, Outcome::cancelled);

    const auto body = makeTestBody (5000);
    server.answerWith ({ body });
    juce::MemoryBlock again;
    EXPECT_TRUE (client.get (server.getBaseUrl() + "video.bin", again).isSuccess()) << "a cancel ends one request only";
    EXPECT_EQ (again, body);
}

TEST (HttpClient, EachThreadKeepsItsConnectionOpenBetweenRequests)
{
    TestHttpServer server (true);
    server.answerWith ("<catalog/>");
    const auto fetch = [&server]
    {
        juce::MemoryBlock body;
        return HttpClient::forThisThread().get (server.getBaseUrl() + "catalog.php", body).isSuccess();
    };

    ASSERT_TRUE (fetch());
    ASSERT_TRUE (fetch());
    std::thread other ([&]
                       {
        EXPECT_TRUE (fetch());
        EXPECT_TRUE (fetch()); });
    other.join();

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 4u);
    EXPECT_EQ (requests[0].remotePort, requests[1].remotePort) << "the second request reused the first one's connection";
    EXPECT_EQ (requests[2].remotePort, requests[3].remotePort);
    EXPECT_NE (requests[0].remotePort, requests[2].remotePort) << "another thread has its own";
    EXPECT_EQ (&HttpClient::forThisThread(), &HttpClient::forThisThread());
}
