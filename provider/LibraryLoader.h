#pragma once

#include "provider/FileDigestCache.h"
#include "provider/FileFingerprint.h"
#include "provider/Library.h"
#include "provider/PartnersArchiver.h"

#include <memory>

namespace provider
{
/**
    Reads a library folder: its manifest "library.xml" (described in provider/README.md) and every
    file the manifest names, which it measures (size, MD5) and checks.

    Keeps the measurements between loads, so reloading a changed library reads only what changed.
    Used by one thread at a time: the start-up code, then the library monitor's thread.
*/
class LibraryLoader final
{
public:
    /** What a load produced. */
    struct Result
    {
        /** The loaded library; null when the manifest or one of its files is unusable. */
        std::shared_ptr<const Library> library;

        /** Every problem found, one per line, each naming where it is; empty on success. */
        juce::String error;

        /** The manifest, every file it names and every partners folder (present or not):
            a change to any of them is a change of the library.
        */
        juce::Array<juce::File> watchedFiles;

        /** FileFingerprint::of (watchedFiles) as it was when each file was read: a later
            difference means that something changed after it was read.
        */
        juce::uint64 fingerprint = 0;

        /** False when a watched file had changed so shortly before it was read that a further
            change might not show in the fingerprint: the library should be read again soon.
        */
        bool settled = true;

        /** A checksum of the manifest and of every published file's checksum: equal signatures
            mean that clients would see the same library.
        */
        juce::String signature;
    };

    /** Loads from libraryFolder; partners archives are written into workFolder. Without
        readInstallerSignature the signature file beside the installer is left unread, for the
        command that writes it anew.
    */
    LibraryLoader (juce::File libraryFolder, juce::File workFolder, bool readInstallerSignature = true);

    /** Reads the library as it is on disk now. */
    Result load();

    const juce::File& getLibraryFolder() const noexcept { return libraryFolder; }

    /** Number of files read to compute a checksum so far (unchanged files are not read again). */
    int getFilesDigested() const { return digests.getFilesDigested(); }

    /** The manifest's file name inside a library folder. */
    static constexpr const char* manifestFileName = "library.xml";

    /** Deepest nesting of elements a manifest may have; the real structure needs five levels. */
    static constexpr int deepestManifest = 32;

    /** The file beside an installer that holds its signature: the installer's name plus ".sig",
        one line of base64.
    */
    static juce::File signatureFileFor (const juce::File& installer) { return installer.getSiblingFile (installer.getFileName() + ".sig"); }

    /** Whether a text is an Ed25519 signature (64 bytes) in padded base64. */
    static bool isWellFormedSignature (const juce::String& text);

    /** Largest file a client can be told about: sizes travel as 32-bit signed numbers. */
    static constexpr juce::int64 largestPublishedFile = 0x7fffffff;

private:
    juce::File libraryFolder;
    bool readsInstallerSignature = true;
    FileDigestCache digests;
    PartnersArchiver archiver;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (LibraryLoader)
};
} // namespace provider
