#pragma once

#include "model/Catalog.h"
#include "server/HttpClient.h"

/** The result of every catalog retrieval; the values are written to the log as numbers. */
enum CatalogRetrievalResult
{
    Success = 0,
    ServerError = 1,
    NoResponse = 2,
    CredentialsMissing = 3,
    WrongCredentials = 4,
    CacheMissing = 5,
    CacheUnreadable = 6,
    InvalidResponse = 7,
    UnsupportedLanguage = 8,
    DatabaseError = 9,
    NotModified = 10,
    Maintenance = 11
};

/**
    The one place that asks the provider's service for the catalog and keeps the cached copy
    that offline starts read back.

    Stateless; every call blocks its thread for the length of the request. Called on the message
    thread by the start-up retrieval and on the catalog refresh thread.
*/
namespace CatalogServiceClient
{
/** Where requests go, where cached copies are kept, and how long a request may take. */
struct Endpoint
{
    juce::String catalogUrl;
    juce::File cacheFolder;
    HttpClient::Limits limits = {};

    /** The shared resources' catalog URL and per-user data folder. */
    static Endpoint fromSharedResources();
};

/** The cache file: "cat" + legal user id (empty when anonymous) + "it"/"en"/"" + ".xml". */
juce::File getCatalogCacheFile (const juce::File& cacheFolder, int language, bool anonymous, const juce::String& userId);

/** getCatalogCacheFile in the shared per-user data folder. */
juce::File getCatalogCacheFile (int language, bool anonymous, const juce::String& userId);

/** The language code of a request: "en" for 1, "it" for anything else. */
juce::String getRequestLanguage (int language);

/** The request URL, query parameters in the service's order, escaped as query components. */
juce::String buildRequestUrl (const juce::String& catalogUrl,
                              const juce::String& userName,
                              const juce::String& passwordHash,
                              int language,
                              bool noCache);

/** The URL as the log shows it: the password hash replaced by asterisks. */
juce::String describeForLog (const juce::String& requestUrl);

/** A response body as the log shows it: whole up to 400 characters, else 300 + "..." + 100. */
juce::String shortenForLog (const juce::String& body);

/** The same for a body held as UTF-8 bytes, without turning all of it into text. */
juce::String shortenForLog (const void* utf8, size_t numBytes);

/** The largest answer a catalog request accepts. */
constexpr size_t maxAnswerBytes = HttpClient::defaultMaxBodyBytes;

/** The general retrieval. On Success, catalogOut receives a new catalog the caller owns. */
CatalogRetrievalResult retrieveCatalog (const Endpoint& endpoint,
                                        const juce::String& userName,
                                        bool online,
                                        int language,
                                        const juce::String& cacheUserId,
                                        const juce::String& passwordHash,
                                        bool noCache,
                                        int* refreshSecondsOut,
                                        std::unique_ptr<Catalog>& catalogOut);

CatalogRetrievalResult retrieveCachedAnonCatalog (int language, std::unique_ptr<Catalog>& catalogOut);
CatalogRetrievalResult retrieveOnlineAnonCatalog (int language, bool noCache, int* refreshSecondsOut, std::unique_ptr<Catalog>& catalogOut);
CatalogRetrievalResult retrieveCachedUserCatalog (const juce::String& userId, int language, std::unique_ptr<Catalog>& catalogOut);
CatalogRetrievalResult retrieveOnlineUserCatalog (const juce::String& userName,
                                                  const juce::String& passwordHash,
                                                  int language,
                                                  bool noCache,
                                                  int* refreshSecondsOut,
                                                  std::unique_ptr<Catalog>& catalogOut);

/** The same four, against an explicit endpoint (tests, and callers that resolved it already). */
CatalogRetrievalResult retrieveCachedAnonCatalog (const Endpoint&, int language, std::unique_ptr<Catalog>& catalogOut);
CatalogRetrievalResult retrieveOnlineAnonCatalog (const Endpoint&, int language, bool noCache, int* refreshSecondsOut, std::unique_ptr<Catalog>& catalogOut);
CatalogRetrievalResult retrieveCachedUserCatalog (const Endpoint&, const juce::String& userId, int language, std::unique_ptr<Catalog>& catalogOut);
CatalogRetrievalResult retrieveOnlineUserCatalog (const Endpoint&,
                                                  const juce::String& userName,
                                                  const juce::String& passwordHash,
                                                  int language,
                                                  bool noCache,
                                                  int* refreshSecondsOut,
                                                  std::unique_ptr<Catalog>& catalogOut);
} // namespace CatalogServiceClient
