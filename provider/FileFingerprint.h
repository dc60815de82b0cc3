#pragma once

#include <JuceHeader.h>

namespace provider
{
/**
    A cheap summary of the state of some files: path, kind, size and modification time of each
    (a folder stands for itself and every entry under it), folded into a 64-bit hash. Two
    fingerprints of the same files differ when any of them was changed, added or removed.

    Taking one costs a single status call per file and reads no contents, so a large library can
    be watched often. A plain value used by one thread at a time.
*/
class FileFingerprint final
{
public:
    FileFingerprint() = default;

    /** Adds a file, or a folder with everything under it (in name order); a missing file counts
        as such.
    */
    void add (const juce::File& file);

    juce::uint64 getValue() const noexcept { return value; }

    /** The latest modification time of a regular file added so far, in milliseconds since 1970;
        0 before any.
    */
    juce::int64 getLatestModification() const noexcept { return latestModification; }

    /** The fingerprint of these files, in this order. */
    static juce::uint64 of (const juce::Array<juce::File>& files);

private:
    void addEntry (const juce::String& path);
    void addBytes (const void* data, size_t size) noexcept;

    juce::uint64 value = 14695981039346656037ull;
    juce::int64 latestModification = 0;
};
} // namespace provider
