#include "downloads/Checksums.h"

#include "downloads/IncrementalChecksum.h"
#include "model/RegularFile.h"

juce::String Checksums::fileChecksum (const juce::File& file)
{
    // Opening a pipe for reading would wait for a writer for ever.
    if (! RegularFile::isRegular (file))
        return {};

    juce::FileInputStream in (file);

    if (in.failedToOpen())
        return {};

    juce::HeapBlock<char> buffer ((size_t) fileReadSize);
    IncrementalChecksum checksum;

    for (;;)
    {
        const auto bytesRead = in.read (buffer.get(), fileReadSize);

        if (bytesRead < 0)
            return {};

        checksum.update (buffer.get(), (size_t) bytesRead);

        if (bytesRead < fileReadSize)
            break;
    }

    // A read error looks like an early end: only a file read to its full length has a checksum.
    if (in.getPosition() != file.getSize())
        return {};

    return checksum.finish();
}

juce::String Checksums::dataChecksum (const void* data, size_t numBytes)
{
    IncrementalChecksum checksum;
    checksum.update (data, numBytes);
    return checksum.finish();
}

juce::String Checksums::dataChecksum (const juce::MemoryBlock& data)
{
    return dataChecksum (data.getData(), data.getSize());
}

bool Checksums::isChecksumName (const juce::String& name)
{
    const auto lowerCase = name.toLowerCase();
    return lowerCase.length() == 32 && lowerCase.containsOnly ("0123456789abcdef");
}

juce::File Checksums::findChecksumFile (const juce::File& folder, const juce::String& pattern)
{
    if (! folder.isDirectory())
        return {};

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, pattern, juce::File::findFiles | juce::File::ignoreHiddenFiles))
        if (isChecksumName (entry.getFile().getFileNameWithoutExtension()))
            return entry.getFile();

    return {};
}

juce::File Checksums::findChecksumFolder (const juce::File& folder)
{
    if (! folder.isDirectory())
        return {};

    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findDirectories | juce::File::ignoreHiddenFiles))
        if (isChecksumName (entry.getFile().getFileNameWithoutExtension()))
            return entry.getFile();

    return {};
}

bool Checksums::matches (const juce::String& computed, const juce::String& expected, bool ignoreCase)
{
    if (computed.isEmpty() || expected.isEmpty())
        return false;

    return ignoreCase ? computed.equalsIgnoreCase (expected) : computed == expected;
}
