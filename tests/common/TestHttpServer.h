#pragma once

#include <JuceHeader.h>

#include <functional>
#include <memory>
#include <vector>

/**
    A small HTTP server on a free loopback port, answering from a function the test sets, and
    remembering every request it saw. Runs its own threads; the answer function is called on them.
*/
class TestHttpServer final
{
public:
    /** One request as the server received it. */
    struct Request
    {
        juce::String path;
        juce::String query;
        juce::StringPairArray parameters;
        juce::StringPairArray headers;

        /** The client's port: requests on one connection share it. */
        int remotePort = 0;
    };

    /** One answer: status and body. */
    struct Response
    {
        int status = 200;
        juce::String body;
        juce::String contentType = "text/xml";

        /** Binary content; when not empty it is sent instead of the body text. */
        juce::MemoryBlock data;
    };

    /** Closes each connection after its answer unless told to keep connections open (for a
        second of silence), as the program's own client would like.
    */
    explicit TestHttpServer (bool keepConnectionsOpen = false);
    ~TestHttpServer();

    /** "http://127.0.0.1:<port>/". */
    juce::String getBaseUrl() const;

    /** Answers every later request with this function. */
    void setHandler (std::function<Response (const Request&)> handler);

    /** Answers every later request with the same body. */
    void answerWith (const juce::String& body, int status = 200);

    /** The requests seen so far, oldest first. */
    std::vector<Request> getRequests() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
