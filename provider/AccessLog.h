#pragma once

#include <JuceHeader.h>

#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

namespace provider
{
/**
    The provider's access log: one entry per request, written whole, so that people and test
    suites can see what every client sent.

    An entry is a first line with the time, the client, the request line, the status and the
    body size, then one indented line per query parameter ("    query NAME=VALUE", decoded, in
    the order sent) and per header ("    header NAME: VALUE"). Password values are written as
    "********": the hash is what the service accepts, so it is a credential. Every value is
    written with its control characters escaped, so no client can forge or break a line. Request
    threads call write concurrently; entries never interleave.
*/
class AccessLog final
{
public:
    /** One request as the log shows it. */
    struct Entry
    {
        juce::Time time;
        juce::String client;
        juce::String method;

        /** Path and query as received (still escaped). */
        juce::String target;
        juce::String version;
        int status = 0;
        juce::int64 bodySize = 0;
        std::vector<std::pair<juce::String, juce::String>> headers;
    };

    /** Logs to standard output. */
    AccessLog();

    /** Logs to the end of a file; check isOpen. */
    explicit AccessLog (const juce::File& file);

    ~AccessLog();

    bool isOpen() const noexcept { return out != nullptr; }

    /** Appends an entry and flushes it; callable from any thread. */
    void write (const Entry& entry);

    /** The text of an entry, ending with a new line. */
    static juce::String format (const Entry& entry);

    /** The target with every password value replaced by "********". */
    static juce::String maskPasswords (const juce::String& target);

    /** Text as the log writes it: a backslash doubled, and control characters (C0, DEL, C1
        and the Unicode line and paragraph separators) as "\n", "\r", "\t", "\xHH" or
        "\u{HHHH}".
    */
    static juce::String escape (const juce::String& text);

    static constexpr const char* passwordMask = "********";

private:
    std::FILE* out = nullptr;
    bool ownsFile = false;
    std::mutex lock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AccessLog)
};
} // namespace provider
