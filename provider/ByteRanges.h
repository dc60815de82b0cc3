#pragma once

#include <JuceHeader.h>

#include <vector>

namespace provider
{
/**
    Decides what a request's "Range" header asks of a file of a given length: the whole file,
    some spans of it, or nothing it has (416).

    Spans are resolved against the length, sorted and merged where they overlap or touch, so
    an answer never holds a byte twice: a hundred copies of one range send it once. A header
    that is not a plain list of byte ranges, or that still asks for more than a few separate
    spans once merged, is ignored and the whole file is sent, as HTTP allows. Pure functions:
    any thread may call them.
*/
class ByteRanges final
{
public:
    /** Bytes first to last of the file, both included. */
    struct Span
    {
        juce::int64 first = 0;
        juce::int64 last = 0;

        juce::int64 length() const noexcept { return last - first + 1; }
        bool operator== (const Span& other) const noexcept { return first == other.first && last == other.last; }
    };

    enum class Outcome
    {
        whole,
        partial,
        unsatisfiable
    };

    struct Resolution
    {
        Outcome outcome = Outcome::whole;

        /** For partial answers: the spans to send, in file order, apart from each other. */
        std::vector<Span> spans;
    };

    /** What the header value (empty when there is none) asks of a file of this length. */
    static Resolution resolve (const juce::String& rangeHeader, juce::int64 length);

    /** Most separate spans one answer carries. */
    static constexpr size_t maxSpans = 8;

    /** Most ranges a header may list before it is ignored. */
    static constexpr int maxListedRanges = 64;

private:
    ByteRanges() = delete;
};
} // namespace provider
