#pragma once

#include "provider/ProvidedFile.h"

#include <map>

namespace provider
{
/**
    Packs a course's partners site, a folder holding "index.html" and its pictures, into the ZIP
    archive that clients download.

    Archives are written into a work folder and named after their checksum, so an archive that a
    client is still downloading is never overwritten by a newer one. A folder whose files did not
    change since the last call is not packed again. Called by whichever thread loads the library;
    the calls are serialised by an internal lock.
*/
class PartnersArchiver final
{
public:
    explicit PartnersArchiver (juce::File workFolder);

    /** Packs the folder (entries named by their relative path with "/", in name order) and
        fills the result; on failure returns false and says why in error.
    */
    bool pack (const juce::File& folder, ProvidedFile& result, juce::String& error);

    /** The files under a folder, sorted by their relative path: what pack puts in the archive. */
    static juce::Array<juce::File> findSiteFiles (const juce::File& folder);

private:
    struct Packed
    {
        juce::uint64 fingerprint = 0;
        ProvidedFile archive;
    };

    bool writeArchive (const juce::File& folder, const juce::Array<juce::File>& files, ProvidedFile& result, juce::String& error);

    juce::File workFolder;
    juce::CriticalSection lock;
    std::map<juce::String, Packed> packedFolders;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PartnersArchiver)
};
} // namespace provider
