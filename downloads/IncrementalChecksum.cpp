#include "downloads/IncrementalChecksum.h"

#include <openssl/evp.h>

struct IncrementalChecksum::Context
{
    Context() { restart(); }
    ~Context() { EVP_MD_CTX_free (digest); }

    void restart() { EVP_DigestInit_ex (digest, EVP_md5(), nullptr); }

    EVP_MD_CTX* digest = EVP_MD_CTX_new();
};

IncrementalChecksum::IncrementalChecksum() : context (std::make_unique<Context>())
{
}

IncrementalChecksum::~IncrementalChecksum() = default;

void IncrementalChecksum::update (const void* data, size_t numBytes)
{
    if (numBytes > 0)
        EVP_DigestUpdate (context->digest, data, numBytes);
}

juce::String IncrementalChecksum::finish()
{
    unsigned char bytes[EVP_MAX_MD_SIZE] = {};
    unsigned int size = 0;
    EVP_DigestFinal_ex (context->digest, bytes, &size);
    context->restart();

    return juce::String::toHexString (bytes, (int) size, 0);
}
