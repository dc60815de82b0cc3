#pragma once

#include <JuceHeader.h>

#include <atomic>
#include <functional>
#include <utility>
#include <vector>

/**
    The program's HTTP client: plain GET requests over libcurl, for the catalog, the chapter
    videos, the installer, the extras and the transcripts.

    A request blocks the thread that makes it and hands the body over as it arrives, either to
    a callback (straight into a file and a running checksum) or into memory. Every request has a
    connection time-out and ends as stalled when it receives fewer than a minimum number of bytes
    within a stall time, so a server that accepts and never answers, or answers a byte at a time,
    cannot hold a thread for ever.

    Each thread uses its own client (forThisThread), which keeps one libcurl handle and so one
    open connection to the last server it talked to. A request ends early when cancel() is called
    from any thread, and when the juce::Thread that makes it is asked to stop: either way within
    a few milliseconds, even while the connection is silent.
*/
class HttpClient final : private juce::Thread::Listener
{
public:
    /** How long a request may take to get going and how slowly it may arrive. */
    struct Limits
    {
        /** Until the connection to the server is made. */
        int connectTimeoutMs = 15000;

        /** A request that receives fewer than stallMinimumBytes (status line and headers
            included) within this time ends as stalled; the time starts again each time that
            many bytes have arrived.
        */
        int stallTimeoutMs = 15000;
        int stallMinimumBytes = 100;

        /** The longest a whole request may take, connection and redirects included. Long enough
            for a catalog or an installer on a slow line; chapter videos set their own.
        */
        int totalTimeoutMs = 10 * 60 * 1000;
    };

    /** Where a request goes and the limits it runs under. */
    struct Request
    {
        Request (juce::String address) : url (std::move (address)) {}
        Request (juce::String address, Limits requestLimits) : url (std::move (address)), limits (requestLimits) {}

        juce::String url;
        Limits limits;
    };

    /** How a request ended. */
    enum class Outcome
    {
        /** The whole answer arrived, whatever its status. */
        complete,

        /** No connection, or the connection ended before the answer was whole. */
        failed,

        /** Fewer than the minimum bytes arrived within the stall time. */
        stalled,

        /** The total deadline passed before the answer was whole. */
        timedOut,

        /** cancel() was called, or the requesting thread was asked to stop. */
        cancelled,

        /** The body callback asked to stop. */
        stoppedByReceiver
    };

    /** What came back. Status and headers are those of the last answer when redirects were
        followed; a status of 0 means that no answer came at all.
    */
    struct Response
    {
        Outcome outcome = Outcome::failed;
        int status = 0;

        /** The body length the server declared (Content-Length), or -1. */
        juce::int64 declaredLength = -1;

        /** The headers in the order they came; a repeated name keeps its last value. */
        juce::StringPairArray headers;

        juce::int64 bodyBytes = 0;

        /** libcurl's explanation of a failure, for logs. */
        juce::String errorText;

        bool isComplete() const noexcept { return outcome == Outcome::complete; }
        bool hasAnswer() const noexcept { return status > 0; }
        bool isSuccess() const noexcept { return isComplete() && status >= 200 && status < 300; }

        /** A complete answer that held exactly the length it declared. */
        bool isWholeDeclaredAnswer() const noexcept { return isComplete() && declaredLength >= 0 && bodyBytes == declaredLength; }
    };

    /** Receives the body piece by piece on the requesting thread; false stops the request. */
    using BodyCallback = std::function<bool (const void* data, size_t numBytes)>;

    /** Called on the requesting thread once status and headers are known, before the first
        piece of the body (or at the end when there is no body).
    */
    using HeadCallback = std::function<void (const Response& head)>;

    /** Query parameters in the order they are sent. */
    using Parameters = std::vector<std::pair<juce::String, juce::String>>;

    HttpClient();
    ~HttpClient() override;

    /** The calling thread's own client, made on first use and kept until the thread ends. */
    static HttpClient& forThisThread();

    /** GETs a URL, passing the body to a callback as it arrives. */
    Response get (const Request& request, const BodyCallback& onBody, const HeadCallback& onHead = {});

    /** GETs a URL into memory. A body larger than maxBytes stops the request
        (Outcome::stoppedByReceiver); the block then holds what had arrived.
    */
    Response get (const Request& request, juce::MemoryBlock& body, size_t maxBytes = defaultMaxBodyBytes);

    /** Ends the request under way on this client, if any. Any thread. */
    void cancel();

    /** The address followed by "?" and the parameters, each name and value escaped as a URL
        query component.
    */
    static juce::String withQuery (const juce::String& address, const Parameters& parameters);

    /** Escapes text as a URL query component: every byte of its UTF-8 form other than letters,
        digits and "-._~" becomes "%" and two upper-case hexadecimal digits.
    */
    static juce::String escapeQueryComponent (const juce::String& text);

    /** The largest body get() keeps in memory unless told otherwise. */
    static constexpr size_t defaultMaxBodyBytes = (size_t) 256 << 20;

private:
    struct Handles;
    class Transfer;

    Response perform (const Request& request, const BodyCallback& onBody, const HeadCallback& onHead);
    bool shouldStop (juce::Thread* thread) const;
    void exitSignalSent() override;

    std::unique_ptr<Handles> handles;
    std::atomic<bool> cancelRequested { false };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HttpClient)
};
