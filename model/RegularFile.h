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

private:
    RegularFile() = delete;
};
