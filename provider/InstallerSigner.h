#pragma once

#include <JuceHeader.h>

namespace provider
{
/**
    Signs the library's installer: the Ed25519 signature of the file's bytes, in base64, made with
    a private key kept in a PEM file, which the player checks with the matching public key before
    it opens a downloaded installer.

    Used by the command line's --sign-installer on the main thread; any thread may call it.
*/
class InstallerSigner final
{
public:
    /** Signs a file's bytes with the Ed25519 private key in keyFile (PEM, as `openssl genpkey
        -algorithm ed25519` writes it). Returns the signature in base64, or an empty string with
        a message in error.
    */
    static juce::String sign (const juce::File& file, const juce::File& keyFile, juce::String& error);

    /** Signs the installer the library in libraryFolder names and writes the signature file
        beside it (LibraryLoader::signatureFileFor). False with a message in error when the
        library cannot be read, names no installer, or the key or the file is unusable.
    */
    static bool signLibraryInstaller (const juce::File& libraryFolder, const juce::File& keyFile, juce::File& written, juce::String& error);

private:
    InstallerSigner() = delete;
};
} // namespace provider
