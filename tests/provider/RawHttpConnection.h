#pragma once

#include <JuceHeader.h>

#include <string>

/**
    One hand-made HTTP exchange over a plain loopback socket, for requests that no client
    library would send: dribbled, oversized or carrying bodies the server must not read. Writes
    never raise SIGPIPE. Used by one thread at a time.
*/
class RawHttpConnection final
{
public:
    /** Connects to 127.0.0.1:port; check isConnected. A receive buffer size above 0 keeps
        the kernel from taking more than about that much of an answer the test does not read.
    */
    explicit RawHttpConnection (int port, int receiveBufferBytes = 0);
    ~RawHttpConnection();

    bool isConnected() const noexcept { return descriptor >= 0; }

    /** Sends all of text; false once the server has closed or reset the connection. */
    bool send (const std::string& text);

    /** Reads until the answer's head is complete, the server closes, or timeoutMs pass; the
        answer's status code, or -1 when no status line arrived.
    */
    int receiveStatus (int timeoutMs);

    /** Reads until the server closes the connection; false after timeoutMs with it still open. */
    bool waitForClose (int timeoutMs);

    /** Reads at most maxBytes of what arrives within timeoutMs; false at the end of the stream
        or on error.
    */
    bool receiveSome (int timeoutMs, size_t maxBytes = 16384);

    /** Whether the connection is still established both ways: false once the server has
        closed or reset it, even while some of what it sent is still unread here.
    */
    bool isEstablished() const;

    /** Everything received so far. */
    const std::string& getReceived() const noexcept { return received; }

    /** A header of the answer received so far; empty when absent. */
    juce::String getAnswerHeader (const juce::String& name) const;

    /** A request head: the request line, "Host", the given fields and the empty line. */
    static std::string makeHead (const juce::String& requestLine, const juce::StringArray& fields = {});

private:
    int descriptor = -1;
    std::string received;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RawHttpConnection)
};
