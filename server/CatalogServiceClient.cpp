#include "server/CatalogServiceClient.h"

#include "app/SharedRes.h"
#include "model/CatalogDocument.h"
#include "model/CatalogParser.h"

#include <pugixml.hpp>

namespace CatalogServiceClient
{
namespace
{
bool readsTrue (const juce::String& text)
{
    const auto trimmed = text.trimStart();
    return trimmed.isNotEmpty() && juce::String ("1TYty").containsChar (trimmed[0]);
}

juce::String getCacheLanguage (int language)
{
    return language == 0 ? "it" : (language == 1 ? "en" : "");
}

CatalogRetrievalResult resultForErrorCode (const juce::String& code)
{
    if (code == "loginerror")
        return WrongCredentials;

    if (code == "userpwdmissing")
        return CredentialsMissing;

    if (code == "unsupportedlanguage")
        return UnsupportedLanguage;

    if (code == "dberror")
        return DatabaseError;

    return ServerError;
}

CatalogRetrievalResult buildCatalog (const CatalogDocument& document, bool isUserCatalog, std::unique_ptr<Catalog>& catalogOut)
{
    auto catalog = std::make_unique<Catalog>();

    if (! CatalogParser::parseCatalog (*catalog, document.getRoot(), isUserCatalog))
        return InvalidResponse;

    catalogOut = std::move (catalog);
    return Success;
}

CatalogRetrievalResult retrieveOffline (const Endpoint& endpoint, int language, const juce::String& cacheUserId, std::unique_ptr<Catalog>& catalogOut)
{
    const auto anonymous = cacheUserId.isEmpty();
    CatalogDocument document;

    switch (document.load (getCatalogCacheFile (endpoint.cacheFolder, language, anonymous, cacheUserId)))
    {
        case CatalogDocument::FileResult::missing:
            return CacheMissing;
        case CatalogDocument::FileResult::unreadable:
            return CacheUnreadable;
        case CatalogDocument::FileResult::loaded:
            break;
    }

    return buildCatalog (document, ! anonymous, catalogOut);
}

CatalogRetrievalResult retrieveOnline (const Endpoint& endpoint,
                                       const juce::String& userName,
                                       int language,
                                       const juce::String& passwordHash,
                                       bool noCache,
                                       int* refreshSecondsOut,
                                       std::unique_ptr<Catalog>& catalogOut)
{
    const auto anonymous = userName.isEmpty();
    const auto url = buildRequestUrl (endpoint.catalogUrl, userName, passwordHash, language, noCache);
    juce::Logger::writeToLog ("retrieving URL: " + describeForLog (url));

    juce::MemoryBlock body;
    const auto response = HttpClient::forThisThread().get ({ url, endpoint.limits }, body, maxAnswerBytes);
    juce::Logger::writeToLog ("received:\n" + shortenForLog (body.getData(), body.getSize()));

    if (response.outcome == HttpClient::Outcome::stoppedByReceiver)
        return InvalidResponse;

    // A connection that failed, stalled or broke off gives no answer, whatever part of one came.
    if (! response.isComplete() || body.isEmpty())
        return NoResponse;

    // An error page is never read as a catalog, however well-formed it is.
    if (! response.isSuccess())
    {
        juce::Logger::writeToLog ("HTTP status: " + juce::String (response.status));
        return ServerError;
    }

    CatalogDocument document;

    if (! document.parse (std::move (body)))
    {
        juce::Logger::writeToLog ("XML error:\n" + document.getError());
        return InvalidResponse;
    }

    const auto root = document.getRoot();
    const auto rootName = document.getRootName();

    if (rootName == "error")
        return resultForErrorCode (CatalogParser::readString (root, "code"));

    if (rootName == "maintenance")
        return Maintenance;

    if (rootName != "catalog")
        return InvalidResponse;

    if (! noCache && readsTrue (CatalogParser::readString (root, "cached")))
    {
        if (refreshSecondsOut != nullptr)
            *refreshSecondsOut = CatalogParser::readInt (root, "refreshtime");

        return NotModified;
    }

    std::unique_ptr<Catalog> catalog;
    const auto result = buildCatalog (document, ! anonymous, catalog);

    if (result != Success)
        return result;

    // Only a document that parsed replaces the cached copy, through a temporary file beside it.
    document.writeTo (getCatalogCacheFile (endpoint.cacheFolder, language, anonymous, catalog->userid));

    catalogOut = std::move (catalog);
    return Success;
}
} // namespace

Endpoint Endpoint::fromSharedResources()
{
    auto* shared = SharedRes::getInstance();
    return { shared->getCatalogUrl(), shared->getUserDataFolder() };
}

juce::File getCatalogCacheFile (const juce::File& cacheFolder, int language, bool anonymous, const juce::String& userId)
{
    const auto userPart = anonymous ? juce::String() : juce::File::createLegalFileName (userId);
    return cacheFolder.getChildFile ("cat" + userPart + getCacheLanguage (language) + ".xml");
}

juce::File getCatalogCacheFile (int language, bool anonymous, const juce::String& userId)
{
    return getCatalogCacheFile (Endpoint::fromSharedResources().cacheFolder, language, anonymous, userId);
}

juce::String getRequestLanguage (int language)
{
    return language == 1 ? "en" : "it";
}

juce::String buildRequestUrl (const juce::String& catalogUrl, const juce::String& userName, const juce::String& passwordHash, int language, bool noCache)
{
    HttpClient::Parameters parameters;

    if (userName.isEmpty())
        parameters = { { "auth", "0" } };
    else
        parameters = { { "auth", "1" }, { "username", userName }, { "password", passwordHash } };

    parameters.push_back ({ "lang", getRequestLanguage (language) });

    if (noCache)
        parameters.push_back ({ "nocache", "1" });

    return HttpClient::withQuery (catalogUrl, parameters);
}

juce::String describeForLog (const juce::String& requestUrl)
{
    // The hash is what the service accepts as the password, so it stays out of a log that lies
    // on the desktop.
    const auto address = requestUrl.upToFirstOccurrenceOf ("?", true, false);
    auto pairs = juce::StringArray::fromTokens (requestUrl.fromFirstOccurrenceOf ("?", false, false), "&", {});

    for (auto& pair : pairs)
        if (pair.startsWith ("password="))
            pair = "password=********";

    return address + pairs.joinIntoString ("&");
}

juce::String shortenForLog (const juce::String& body)
{
    return shortenForLog (body.toRawUTF8(), body.getNumBytesAsUTF8());
}

juce::String shortenForLog (const void* utf8, size_t numBytes)
{
    const auto* bytes = static_cast<const char*> (utf8);

    // Characters, not bytes, are counted: every byte that does not continue a UTF-8 sequence
    // begins a character.
    const auto beginsCharacter = [] (char c) { return ((unsigned char) c & 0xc0) != 0x80; };

    if ((size_t) std::count_if (bytes, bytes + numBytes, beginsCharacter) <= 400)
        return juce::String::fromUTF8 (bytes, (int) numBytes);

    size_t headEnd = 0;

    for (int characters = 0; headEnd < numBytes; ++headEnd)
        if (beginsCharacter (bytes[headEnd]) && characters++ == 300)
            break;

    size_t tailStart = numBytes;

    for (int characters = 0; tailStart > 0 && characters < 100;)
        if (beginsCharacter (bytes[--tailStart]))
            ++characters;

    return juce::String::fromUTF8 (bytes, (int) headEnd) + "..." + juce::String::fromUTF8 (bytes + tailStart, (int) (numBytes - tailStart));
}

CatalogRetrievalResult retrieveCatalog (const Endpoint& endpoint,
                                        const juce::String& userName,
                                        bool online,
                                        int language,
                                        const juce::String& cacheUserId,
                                        const juce::String& passwordHash,
                                        bool noCache,
                                        int* refreshSecondsOut,
                                        std::unique_ptr<Catalog>& catalogOut)
{
    if (online)
        return retrieveOnline (endpoint, userName, language, passwordHash, noCache, refreshSecondsOut, catalogOut);

    return retrieveOffline (endpoint, language, cacheUserId, catalogOut);
}

CatalogRetrievalResult retrieveCachedAnonCatalog (const Endpoint& endpoint, int language, std::unique_ptr<Catalog>& catalogOut)
{
    juce::Logger::writeToLog ("retrieving cached anon catalog");
    return retrieveCatalog (endpoint, {}, false, language, {}, {}, false, nullptr, catalogOut);
}

CatalogRetrievalResult retrieveOnlineAnonCatalog (const Endpoint& endpoint, int language, bool noCache, int* refreshSecondsOut, std::unique_ptr<Catalog>& catalogOut)
{
    juce::Logger::writeToLog ("retrieving online anon catalog");
    return retrieveCatalog (endpoint, {}, true, language, {}, {}, noCache, refreshSecondsOut, catalogOut);
}

CatalogRetrievalResult retrieveCachedUserCatalog (const Endpoint& endpoint, const juce::String& userId, int language, std::unique_ptr<Catalog>& catalogOut)
{
    juce::Logger::writeToLog ("retrieving cached user catalog");
    return retrieveCatalog (endpoint, {}, false, language, userId, {}, false, nullptr, catalogOut);
}

CatalogRetrievalResult retrieveOnlineUserCatalog (const Endpoint& endpoint,
                                                  const juce::String& userName,
                                                  const juce::String& passwordHash,
                                                  int language,
                                                  bool noCache,
                                                  int* refreshSecondsOut,
                                                  std::unique_ptr<Catalog>& catalogOut)
{
    juce::Logger::writeToLog ("retrieving online user catalog");
    return retrieveCatalog (endpoint, userName, true, language, {}, passwordHash, noCache, refreshSecondsOut, catalogOut);
}

CatalogRetrievalResult retrieveCachedAnonCatalog (int language, std::unique_ptr<Catalog>& catalogOut)
{
    return retrieveCachedAnonCatalog (Endpoint::fromSharedResources(), language, catalogOut);
}

CatalogRetrievalResult retrieveOnlineAnonCatalog (int language, bool noCache, int* refreshSecondsOut, std::unique_ptr<Catalog>& catalogOut)
{
    return retrieveOnlineAnonCatalog (Endpoint::fromSharedResources(), language, noCache, refreshSecondsOut, catalogOut);
}

CatalogRetrievalResult retrieveCachedUserCatalog (const juce::String& userId, int language, std::unique_ptr<Catalog>& catalogOut)
{
    return retrieveCachedUserCatalog (Endpoint::fromSharedResources(), userId, language, catalogOut);
}

CatalogRetrievalResult retrieveOnlineUserCatalog (const juce::String& userName,
                                                  const juce::String& passwordHash,
                                                  int language,
                                                  bool noCache,
                                                  int* refreshSecondsOut,
                                                  std::unique_ptr<Catalog>& catalogOut)
{
    return retrieveOnlineUserCatalog (Endpoint::fromSharedResources(), userName, passwordHash, language, noCache, refreshSecondsOut, catalogOut);
}
} // namespace CatalogServiceClient
