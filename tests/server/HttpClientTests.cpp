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

bool waitUntil (const std::function<bool()>& condition, int timeoutMs = 20000)
{
    for (const auto end = nowMs() + timeoutMs; ! condition(); juce::Thread::sleep (2))
        if (nowMs() > end)
            return false;

    return true;
}

FaultServer::Reply silentReply()
{
    FaultServer::Reply reply { makeTestBody (1000) };
    reply.answerDelayMs = 60000;
    return reply;
}
} // namespace

TEST (HttpClient, QueriesArriveIntactAndErrorStatusesAreWholeAnswers)
{
    EXPECT_EQ (HttpClient::withQuery ("http://h/c.php?x=1", { { "a", "b" } }), "http://h/c.php?x=1&a=b");

    TestHttpServer server;
    server.answerWith ("gone", 404);
    const auto value = juce::String::fromUTF8 ("x&y=z #1 caf\xc3\xa9 a+b%h~i/e?f-j_k.l");
    HttpClient client;
    juce::MemoryBlock body;
    const auto response = client.get (HttpClient::withQuery (server.getBaseUrl() + "c.php", { { "auth", "1" }, { "odd name", value } }), body);

    EXPECT_TRUE (response.isComplete()) << "an error status is still a whole answer";
    EXPECT_FALSE (response.isSuccess());
    EXPECT_EQ (response.status, 404);
    EXPECT_EQ (body.toString(), "gone");
    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 1u);
    EXPECT_EQ (requests[0].query, "auth=1&odd%20name=x%26y%3Dz%20%231%20caf%C3%A9%20a%2Bb%25h~i%2Fe%3Ff-j_k.l");
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
            EXPECT_EQ (head.declaredLength, 3000000);
        });

    EXPECT_TRUE (response.isWholeDeclaredAnswer());
    EXPECT_EQ (received.getMemoryBlock(), body);

    size_t taken = 0;
    response = client.get (server.getBaseUrl() + "video.bin", [&] (const void*, size_t size) { return (taken += size) < 100000; });
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
    EXPECT_EQ (response.bodyBytes, 40000);
    EXPECT_FALSE (response.isWholeDeclaredAnswer());
}

TEST (HttpClient, SilentStallingAndDrippingServersEndAsStalledButSlowSteadyOnesDoNot)
{
    FaultServer::Reply headersOnly { makeTestBody (1000) };
    headersOnly.bodyDelayMs = 60000;

    FaultServer::Reply drip { makeTestBody (1000) };
    drip.pieceSize = 1;
    drip.pauseMs = 100;

    for (const auto& [name, reply, answered] : { std::tuple { "silent", silentReply(), false },
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
        // Never before the limit; after it only by what busy cores add (the silent answer is a
        // minute away, the drip a hundred seconds long).
        EXPECT_GE (took, quick.stallTimeoutMs - 50.0) << name;
        EXPECT_LT (took, 20000.0) << name;
    }

    FaultServer server;
    FaultServer::Reply slow { makeTestBody (1800) };
    slow.pieceSize = 200;
    slow.pauseMs = 150;
    server.answerWith (slow);
    HttpClient client;
    juce::MemoryBlock body;
    EXPECT_TRUE (client.get ({ server.getBaseUrl() + "catalog.php", quick }, body).isSuccess()) << "200 bytes every 150 ms is more than 100 bytes per second";
    EXPECT_EQ (body.getSize(), 1800u);
}

TEST (HttpClient, AnAnswerThatTricklesJustAboveTheStallFloorEndsAtTheTotalDeadline)
{
    // Headers, then 20 bytes every 100 ms: never stalled by 100 bytes a second, never done.
    FaultServer::Reply trickle { makeTestBody (100000) };
    trickle.pieceSize = 20;
    trickle.pauseMs = 100;
    FaultServer server;
    server.answerWith (trickle);

    auto limits = quick;
    limits.totalTimeoutMs = 1500;
    HttpClient client;
    juce::MemoryBlock body;

    const auto start = nowMs();
    const auto response = client.get ({ server.getBaseUrl() + "catalog.php", limits }, body);
    const auto took = nowMs() - start;

    EXPECT_EQ (response.outcome, Outcome::timedOut);
    EXPECT_TRUE (response.hasAnswer());
    EXPECT_FALSE (response.isComplete());
    EXPECT_GT (body.getSize(), 0u) << "it was trickling, not stalled";
    // The whole answer would take 500 s; only a hang comes near the bound.
    EXPECT_GE (took, limits.totalTimeoutMs - 50.0);
    EXPECT_LT (took, 20000.0);

    const auto whole = makeTestBody (3000);
    server.answerWith ({ whole });
    EXPECT_TRUE (client.get ({ server.getBaseUrl() + "catalog.php", limits }, body).isSuccess()) << "the deadline is per request";
    EXPECT_EQ (body, whole);
}

TEST (HttpClient, AThreadAskedToStopEndsItsRequestAtOnce)
{
    struct RequestThread final : juce::Thread
    {
        explicit RequestThread (juce::String u) : Thread ("request"), url (std::move (u)) {}
        ~RequestThread() override { stopThread (5000); }

        void run() override
        {
            juce::MemoryBlock body;
            response = HttpClient::forThisThread().get (url, body);
            endedAt = nowMs();
        }

        juce::String url;
        HttpClient::Response response;
        std::atomic<double> endedAt { 0.0 };
    };

    FaultServer server;
    server.answerWith (silentReply());
    RequestThread thread (server.getBaseUrl() + "video.bin");
    ASSERT_TRUE (thread.startThread());
    ASSERT_TRUE (waitUntil ([&] { return server.getRequestCount() == 1; }));

    // Well within the default 15 s stall limit, which would end it as stalled rather than
    // cancelled; how fast is measured by the responsiveness benchmark.
    thread.signalThreadShouldExit();
    ASSERT_TRUE (waitUntil ([&] { return thread.endedAt > 0.0; }, 10000));
    EXPECT_EQ (thread.response.outcome, Outcome::cancelled);
    EXPECT_TRUE (thread.stopThread (1000)) << "the thread ended by itself";
}

TEST (HttpClient, CancelEndsARequestOnAnotherThreadAndTheClientCarriesOn)
{
    FaultServer server;
    server.answerWith (silentReply());
    HttpClient client;
    HttpClient::Response response;

    std::thread requester ([&]
    {
        juce::MemoryBlock body;
        response = client.get (server.getBaseUrl() + "video.bin", body);
    });

    ASSERT_TRUE (waitUntil ([&] { return server.getRequestCount() == 1; }));
    client.cancel();
    requester.join();
    EXPECT_EQ (response.outcome, Outcome::cancelled) << "ended by the cancel, not by the stall limit";

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
    const auto fetchTwice = [&server]
    {
        for (int i = 0; i < 2; ++i)
        {
            juce::MemoryBlock body;
            EXPECT_TRUE (HttpClient::forThisThread().get (server.getBaseUrl() + "catalog.php", body).isSuccess());
        }
    };

    fetchTwice();
    std::thread (fetchTwice).join();

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 4u);
    EXPECT_EQ (requests[0].remotePort, requests[1].remotePort) << "the second request reused the first one's connection";
    EXPECT_EQ (requests[2].remotePort, requests[3].remotePort);
    EXPECT_NE (requests[0].remotePort, requests[2].remotePort) << "another thread has its own";
}
