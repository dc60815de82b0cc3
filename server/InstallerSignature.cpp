#include "server/InstallerSignature.h"

#include <ProjectInfo.h>

#include <memory>
#include <openssl/evp.h>

namespace
{
constexpr size_t keyBytes = 32;
constexpr size_t signatureBytes = 64;

struct KeyDeleter
{
    void operator() (EVP_PKEY* key) const { EVP_PKEY_free (key); }
};

struct ContextDeleter
{
    void operator() (EVP_MD_CTX* context) const { EVP_MD_CTX_free (context); }
};
} // namespace

juce::String InstallerSignature::getTrustedKey()
{
    return ProjectInfo::installerPublicKey;
}

bool InstallerSignature::decodeBase64 (const juce::String& text, juce::MemoryBlock& bytes)
{
    const auto plain = text.toStdString();

    if (plain.empty() || plain.size() % 4 != 0)
        return false;

    // OpenSSL's block decoder skips nothing and keeps the padding's bytes, which are cut off here.
    bytes.setSize (plain.size() / 4 * 3);
    const auto decoded = EVP_DecodeBlock (static_cast<unsigned char*> (bytes.getData()),
                                          reinterpret_cast<const unsigned char*> (plain.data()),
                                          (int) plain.size());

    if (decoded < 0)
        return false;

    const auto padding = (size_t) (plain.back() == '=') + (size_t) (plain.size() > 1 && plain[plain.size() - 2] == '=');
    bytes.setSize ((size_t) decoded - padding);
    return true;
}

bool InstallerSignature::verify (const void* data, size_t size, const juce::String& signature, const juce::String& publicKey)
{
    juce::MemoryBlock key, signatureBlock;

    if (! decodeBase64 (publicKey, key) || key.getSize() != keyBytes || ! decodeBase64 (signature, signatureBlock) || signatureBlock.getSize() != signatureBytes)
        return false;

    const std::unique_ptr<EVP_PKEY, KeyDeleter> verifier (
        EVP_PKEY_new_raw_public_key (EVP_PKEY_ED25519, nullptr, static_cast<const unsigned char*> (key.getData()), key.getSize()));
    const std::unique_ptr<EVP_MD_CTX, ContextDeleter> context (EVP_MD_CTX_new());

    // Ed25519 signs the message itself, so there is no digest to name and no streaming.
    return verifier != nullptr && context != nullptr
        && EVP_DigestVerifyInit (context.get(), nullptr, nullptr, nullptr, verifier.get()) == 1
        && EVP_DigestVerify (context.get(),
                             static_cast<const unsigned char*> (signatureBlock.getData()),
                             signatureBlock.getSize(),
                             static_cast<const unsigned char*> (data),
                             size)
               == 1;
}

bool InstallerSignature::verifyFile (const juce::File& file, const juce::String& signature, const juce::String& publicKey)
{
    if (! file.existsAsFile())
        return false;

    if (file.getSize() == 0)
        return verify ("", 0, signature, publicKey);

    const juce::MemoryMappedFile mapped (file, juce::MemoryMappedFile::readOnly);

    if (mapped.getData() == nullptr || (juce::int64) mapped.getSize() != file.getSize())
        return false;

    return verify (mapped.getData(), mapped.getSize(), signature, publicKey);
}
