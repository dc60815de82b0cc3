#pragma once

#include <JuceHeader.h>

namespace provider
{
/**
    A file opened once for sending: its length is the opened file's, and every read comes from
    that same file, so an answer stays whole and consistent even if the path is meanwhile given
    to another file (a video replaced by moving a new copy into place).

    Opened by a request thread; reads may come from any thread, one at a time or several at
    once (they do not share a position).
*/
class OpenedFile final
{
public:
    /** Opens the file for reading; check isOpen. */
    explicit OpenedFile (const juce::File& file);
    ~OpenedFile();

    bool isOpen() const noexcept { return descriptor >= 0; }

    /** The length of the opened file when it was opened. */
    juce::int64 getLength() const noexcept { return length; }

    /** Reads up to count bytes at offset; returns how many were read (0 at the end, -1 on error). */
    juce::int64 read (juce::int64 offset, void* destination, size_t count) const;

    /** The opened file's own path, with every symbolic link resolved; empty when unknown. */
    juce::String getResolvedPath() const;

private:
    int descriptor = -1;
    juce::int64 length = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OpenedFile)
};
} // namespace provider
