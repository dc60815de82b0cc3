#pragma once

#include <JuceHeader.h>

/**
    Reading a file the program keeps for itself only when it is what it should be: a regular
    file (or a link to one) within a size bound. A device, a pipe or a folder at the path is never
    read from, so a link to /dev/zero cannot make the program read for ever. Any thread.
*/
class RegularFile final
{
public:
    enum class Result
    {
        read,

        /** Nothing there, or something that is not a regular file. */
        missing,

        /** A regular file that cannot be read or is larger than the bound. */
        unreadable
    };

    /** Reads a whole file into a block; the descriptor is checked after opening, so what is read
        is what was checked. A file that shrinks while being read is read as far as it went.
    */
    static Result read (const juce::File& file, juce::int64 maxBytes, juce::MemoryBlock& contents);

    /** Whether the path leads to a regular file, checked without opening it: for files that a
        library opens itself (SQLite), which would block on a pipe.
    */
    static bool isRegular (const juce::File& file);

    /** Copies a file into a new sibling of a target and renames it over the target only once the
        copy is whole (its size checked) and on the disk, so the target is either the old file or
        the new one, never a part of either. A rename within one file system comes first.
        False, with the target untouched and no copy left behind, when anything fails.
    */
    static bool replace (const juce::File& source, const juce::File& target);

    /** Writes a file's data out to the disk; false when it cannot be opened or synced. */
    static bool sync (const juce::File& file);

private:
    RegularFile() = delete;
};
