#include "server/CatalogServiceClient.h"

#include "app/SharedRes.h"
#include "model/CaselessAttributes.h"
#include "model/CatalogParser.h"

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

CatalogRetrievalResult buildCatalog (const juce::XmlElement& root, bool isUserCatalog, std::unique_ptr<Catalog>& catalogOut)
{
    auto catalog = std::make_unique<Catalog>();

    if (! CatalogParser::parseCatalog (*catalog, root, isUserCatalog))
        return InvalidResponse;

    catalogOut = std::move (catalog);
    return Success;
}

CatalogRetrievalResult retrieveOffline (const Endpoint& endpoint, int language, const juce::String& cacheUserId, std::unique_ptr<Catalog>& catalogOut)
{
    const auto anonymous = cacheUserId.isEmpty();
    const auto file = getCatalogCacheFile (endpoint.cacheFolder, language, anonymous, cacheUserId);

    if (! file.existsAsFile())
        return CacheMissing;

    const auto root = juce::parseXML (file);

    if (root == nullptr)
        return CacheUnreadable;

    return buildCatalog (*root, ! anonymous, catalogOut);
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

    const auto body = url.readEntireTextStream (false);
    juce::Logger::writeToLog ("received:\n" + shortenForLog (body));

    if (body.isEmpty())
        return NoResponse;

    juce::XmlDocument document (body);
    const auto root = document.getDocumentElement();

    if (root == nullptr)
    {
        juce::Logger::writeToLog ("XML error:\n" + document.getLastParseError());
        return InvalidResponse;
    }

    if (root->getTagName() == "error")
        return resultForErrorCode (CaselessAttributes (*root).getString ("code"));

    if (root->getTagName() == "maintenance")
        return Maintenance;

    if (root->getTagName() != "catalog")
        return InvalidResponse;

    if (! noCache)
    {
        const CaselessAttributes attributes (*root);

        if (readsTrue (attributes.getString ("cached")))
        {
            if (refreshSecondsOut != nullptr)
                *refreshSecondsOut = attributes.getInt ("refreshtime");

            return NotModified;
        }
    }

    std::unique_ptr<Catalog> catalog;
    const auto result = buildCatalog (*root, ! anonymous, catalog);

    if (result != Success)
        return result;

    // Only a document that parsed replaces the cached copy, through a temporary file beside it.
    root->writeTo (getCatalogCacheFile (endpoint.cacheFolder, language, anonymous, catalog->userid));

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

juce::URL buildRequestUrl (const juce::String& catalogUrl, const juce::String& userName, const juce::String& passwordHash, int language, bool noCache)
{
    auto url = juce::URL (catalogUrl);

    if (userName.isEmpty())
        url = url.withParameter ("auth", "0");
    else
        url = url.withParameter ("auth", "1").withParameter ("username", userName).withParameter ("password", passwordHash);

    url = url.withParameter ("lang", getRequestLanguage (language));

    if (noCache)
        url = url.withParameter ("nocache", "1");

    return url;
}

juce::String describeForLog (const juce::URL& requestUrl)
{
    // The hash is what the service accepts as the password, so it stays out of a log that lies
    // on the desktop.
    auto text = requestUrl.toString (true);
    const auto& names = requestUrl.getParameterNames();
    const auto& values = requestUrl.getParameterValues();

    for (int i = 0; i < names.size(); ++i)
        if (names[i] == "password")
            text = text.replace ("password=" + juce::URL::addEscapeChars (values[i], true), "password=********");

    return text;
}

juce::String shortenForLog (const juce::String& body)
{
    if (body.length() <= 400)
        return body;

    return body.substring (0, 300) + "..." + body.substring (body.length() - 100);
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
