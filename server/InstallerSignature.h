#pragma once

#include <JuceHeader.h>

/**
    Checks that an installer is the provider's: its bytes must carry a valid Ed25519 signature
    made with the private key that belongs to the public key this build trusts.

    The catalog that names the installer arrives over plain HTTP, so its address and size prove
    nothing; only the signature ties the bytes to the provider. Any thread may call it.
*/
class InstallerSignature final
{
public:
    /** The public key this build trusts: the raw 32-byte key in base64 (a build setting). */
    static juce::String getTrustedKey();

    /** Standard base64 (RFC 4648, with padding) to bytes; false for any other character, a
        missing padding or a text of the wrong length.
    */
    static bool decodeBase64 (const juce::String& text, juce::MemoryBlock& bytes);

    /** Whether a base64 signature is the Ed25519 signature of these bytes under a base64 raw
        public key. False for an empty, malformed or wrong signature and for a malformed key.
    */
    static bool verify (const void* data, size_t size, const juce::String& signature, const juce::String& publicKey);

    /** The same for the bytes of a file; false when the file cannot be read. */
    static bool verifyFile (const juce::File& file, const juce::String& signature, const juce::String& publicKey);

private:
    InstallerSignature() = delete;
};
