#include "provider/InstallerSigner.h"

#include "provider/LibraryLoader.h"
#include "provider/WorkFolder.h"

#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace provider
{
namespace
{
struct KeyDeleter
{
    void operator() (EVP_PKEY* key) const { EVP_PKEY_free (key); }
};

struct ContextDeleter
{
    void operator() (EVP_MD_CTX* context) const { EVP_MD_CTX_free (context); }
};

struct BioDeleter
{
    void operator() (BIO* bio) const { BIO_free (bio); }
};
} // namespace

juce::String InstallerSigner::sign (const juce::File& file, const juce::File& keyFile, juce::String& error)
{
    juce::MemoryBlock keyText, data;

    if (! keyFile.loadFileAsData (keyText))
    {
        error = "cannot read the key file " + keyFile.getFullPathName();
        return {};
    }

    if (! file.loadFileAsData (data))
    {
        error = "cannot read " + file.getFullPathName();
        return {};
    }

    const std::unique_ptr<BIO, BioDeleter> bio (BIO_new_mem_buf (keyText.getData(), (int) keyText.getSize()));
    const std::unique_ptr<EVP_PKEY, KeyDeleter> key (bio != nullptr ? PEM_read_bio_PrivateKey (bio.get(), nullptr, nullptr, nullptr) : nullptr);

    if (key == nullptr || EVP_PKEY_get_id (key.get()) != EVP_PKEY_ED25519)
    {
        error = keyFile.getFullPathName() + " holds no Ed25519 private key in PEM form";
        return {};
    }

    const std::unique_ptr<EVP_MD_CTX, ContextDeleter> context (EVP_MD_CTX_new());
    unsigned char signature[64] = {};
    size_t signatureSize = sizeof (signature);

    // Ed25519 signs the message itself: no digest is named and the whole file goes in at once.
    if (context == nullptr
        || EVP_DigestSignInit (context.get(), nullptr, nullptr, nullptr, key.get()) != 1
        || EVP_DigestSign (context.get(), signature, &signatureSize, static_cast<const unsigned char*> (data.getData()), data.getSize()) != 1)
    {
        error = "signing " + file.getFullPathName() + " failed";
        return {};
    }

    char encoded[4 * ((sizeof (signature) + 2) / 3) + 1] = {};
    EVP_EncodeBlock (reinterpret_cast<unsigned char*> (encoded), signature, (int) signatureSize);
    return juce::String (encoded);
}

bool InstallerSigner::signLibraryInstaller (const juce::File& libraryFolder, const juce::File& keyFile, juce::File& written, juce::String& error)
{
    // The old signature is left unread: it is what is being replaced, and may be broken.
    const WorkFolder work;
    LibraryLoader loader (libraryFolder, work.getFolder(), false);
    const auto result = loader.load();

    if (result.library == nullptr)
    {
        error = "cannot read the library " + libraryFolder.getFullPathName() + ":\n" + result.error;
        return false;
    }

    const auto& installer = result.library->getInstaller();

    if (! installer.isPresent())
    {
        error = "the library names no installer (<program installer=\"...\"/>)";
        return false;
    }

    const auto signature = sign (installer.file, keyFile, error);

    if (signature.isEmpty())
        return false;

    written = LibraryLoader::signatureFileFor (installer.file);

    if (! written.replaceWithText (signature + "\n", false, false, "\n"))
    {
        error = "cannot write " + written.getFullPathName();
        return false;
    }

    return true;
}
} // namespace provider
