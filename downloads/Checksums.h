#pragma once

#include <JuceHeader.h>

/**
    MD5 checksums as the program writes and compares them: 32 lower-case hexadecimal digits,
    two per byte, no separators.

    Chapter videos are checked against the catalog's "md5"; course extras carry their checksum
    in their own file or folder name, which the lookups below recognise.

    Pure functions, safe on any thread; the lookups read the folder and change nothing.
*/
class Checksums final
{
public:
    /** The checksum of a file's whole content; an empty string when the file cannot be read,
        so that it never equals a real checksum.
    */
    static juce::String fileChecksum (const juce::File& file);

    /** The checksum of a block of memory. */
    static juce::String dataChecksum (const void* data, size_t numBytes);
    static juce::String dataChecksum (const juce::MemoryBlock& data);

    /** Whether a name, once lower-cased, is exactly 32 characters of "0123456789abcdef". */
    static bool isChecksumName (const juce::String& name);

    /** The first file directly in a folder (in the order the file system lists it) whose name
        matches a wildcard pattern such as "*.tyi" and whose name without extension is a
        checksum name; hidden files are skipped. File() when there is none.
    */
    static juce::File findChecksumFile (const juce::File& folder, const juce::String& pattern);

    /** The first sub-folder directly in a folder whose name without extension is a checksum
        name; hidden folders are skipped. File() when there is none.
    */
    static juce::File findChecksumFolder (const juce::File& folder);

    /** Whether a computed checksum equals an expected one, exactly or ignoring letter case.
        An empty checksum on either side never matches.
    */
    static bool matches (const juce::String& computed, const juce::String& expected, bool ignoreCase);

    /** The slice in which files are read for hashing. */
    static constexpr int fileReadSize = 1 << 20;

private:
    Checksums() = delete;
};
