#pragma once

#include <JuceHeader.h>

#include <climits>
#include <cstdlib>

namespace provider
{
/**
    A file of the library that the provider hands out, with the size and MD5 checksum measured
    when the library was loaded, so that no request has to read the file to describe it.

    A plain value, immutable once the library is loaded; any thread may read it.
*/
struct ProvidedFile
{
    juce::File file;
    juce::int64 size = 0;

    /** 32 lower-case hexadecimal digits; empty when no file is given. */
    juce::String md5;

    /** The file's path with every symbolic link resolved, as it was checked when the library
        was loaded: what is sent must still be this file.
    */
    juce::String realPath;

    /** For the installer: the Ed25519 signature of its bytes in base64, as kept beside it in the
        library (LibraryLoader::signatureFileFor); empty when there is none.
    */
    juce::String signature;

    /** True when the library names a file here. */
    bool isPresent() const { return md5.isNotEmpty(); }

    /** The name under which the file is published when its address must carry its checksum:
        the checksum followed by the file's own extension in lower case, e.g. "0cc1...e3.png".
    */
    juce::String checksumName() const { return md5 + file.getFileExtension().toLowerCase(); }

    /** A path with every symbolic link, "." and ".." resolved; empty when it does not exist. */
    static juce::String resolvePath (const juce::File& path)
    {
        char resolved[PATH_MAX + 1] = {};
        return ::realpath (path.getFullPathName().toRawUTF8(), resolved) != nullptr ? juce::String::fromUTF8 (resolved) : juce::String();
    }

    /** Whether a resolved path lies inside a resolved folder. */
    static bool isInside (const juce::String& resolved, const juce::String& resolvedFolder)
    {
        return resolvedFolder.isNotEmpty() && resolved.startsWith (resolvedFolder.trimCharactersAtEnd ("/") + "/");
    }
};
} // namespace provider
