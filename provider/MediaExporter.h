#pragma once

#include "provider/Library.h"

namespace provider
{
/**
    Writes a library's media (chapter videos, extras, installer) as a tree of static files laid
    out as the provider's own addresses are: "videos/COURSE/CHAPTER/CHAPTER.bin",
    "extras/CHECKSUM.EXT" and "download/INSTALLER", and nothing else. Any web server that serves
    the tree at the address given to --media-base-url then answers every media link of the
    catalogs.

    Every file is copied from the very file the library checked and measured, and its copy is
    checked against the size and MD5 checksum the catalogs give. The tree is built beside the
    destination and then put in its place at once, so a web server serving the destination never
    shows half an export. A destination that holds anything but an earlier export is left alone.

    Used by the thread that runs the export command.
*/
class MediaExporter final
{
public:
    /** The folders an export consists of. */
    static const juce::StringArray& getTopFolders();

    /** Exports the library at libraryFolder into destination. Returns false with a message in
        error when the library cannot be read, the destination holds other files, or a file
        cannot be copied whole; destination is then as it was. filesWritten counts the files.
    */
    static bool exportLibrary (const juce::File& libraryFolder, const juce::File& destination, int& filesWritten, juce::String& error);

    /** Writes the media of a loaded library into folder, which must be empty; false with a
        message in error at the first file that cannot be copied whole.
    */
    static bool writeTree (const Library& library, const juce::File& folder, int& filesWritten, juce::String& error);

    /** Copies a published file to destination, checking that the source is still the file the
        library checked and that the copy has its size and checksum.
    */
    static bool copyChecked (const ProvidedFile& provided, const juce::File& destination, juce::String& error);

private:
    static bool holdsOnlyAnExport (const juce::File& folder);
    static bool putInPlace (const juce::File& built, const juce::File& destination, juce::String& error);
};
} // namespace provider
