#pragma once

#include <JuceHeader.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

/**
    A deliberately unreliable HTTP server on a free loopback port, for fault-injection tests of
    downloads: each answer can declare a length or not, arrive in small slow pieces, be cut
    after some bytes, or be followed by the server refusing every later connection.

    Plain sockets rather than an HTTP library, because the faults (a connection cut in the
    middle of a body, a listening socket that goes away) are below what such libraries expose.
    Each connection is served on a thread of its own.
*/
class FaultServer final
{
public:
    /** How to answer one request. */
    struct Reply
    {
        juce::MemoryBlock body;
        int status = 200;

        /** Send Content-Length; without it the end of the body is the end of the connection. */
        bool declareLength = true;

        /** Close the connection after this many body bytes; negative sends the whole body. */
        juce::int64 cutAfter = -1;

        /** Send the body in pieces of this many bytes (0: as fast as the socket takes it) with
            a pause between pieces.
        */
        int pieceSize = 0;
        int pauseMs = 0;

        /** Wait this long after the request before sending anything: a server that accepts
            and does not answer.
        */
        int answerDelayMs = 0;

        /** Wait this long between the headers and the body. */
        int bodyDelayMs = 0;

        /** After sending, stop listening before the connection closes: every later connection
            is refused, as if the network had gone.
        */
        bool thenRefuse = false;
    };

    FaultServer();
    ~FaultServer();

    /** "http://127.0.0.1:<port>/". */
    juce::String getBaseUrl() const;

    /** Answers with a function of the request's number (0 for the first) and path. */
    void setReplies (std::function<Reply (int index, const juce::String& path)> replyFunction);

    /** Answers every request the same way. */
    void answerWith (const Reply& reply);

    /** Closes the listening socket, so connections are refused, or opens it again on the same
        port. Returns once the change is in effect.
    */
    void setListening (bool shouldListen);

    /** The paths of the requests received so far, oldest first. */
    juce::StringArray getRequestPaths() const;

    /** The number of requests received so far. */
    int getRequestCount() const;

private:
    void acceptLoop();
    void serve (int connection);
    bool openListeningSocket();

    std::atomic<bool> quitting { false };
    std::atomic<bool> wantListening { true };
    std::atomic<bool> listening { false };
    int listenFd = -1;
    int port = 0;

    mutable std::mutex lock;
    std::function<Reply (int, const juce::String&)> replies;
    juce::StringArray paths;
    std::vector<std::thread> connectionThreads;
    std::thread acceptThread;

    JUCE_DECLARE_NON_COPYABLE (FaultServer)
};

/** Bytes that are the same on every run: a body whose checksum a test can compute. */
juce::MemoryBlock makeTestBody (size_t size, int seed = 1);
