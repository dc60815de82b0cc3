#pragma once

#include "provider/LibraryState.h"
#include "provider/ProviderAddresses.h"

#include <map>
#include <mutex>

namespace provider
{
/**
    Decides the answer to a request on the catalog service: maintenance, an error, the
    transcripts document, the short answer that nothing changed, or the full catalog of a language
    for an anonymous or a signed-in client.

    Every request stands alone: the answer depends only on its parameters, the library state, the
    maintenance switch and the time. Full catalogs are rendered once per library, language and
    user and then reused, since a large library takes a while to write out. Any thread may call
    answer, also several at once.
*/
class CatalogService final
{
public:
    /** An answer: the HTTP status and the XML text. */
    struct Answer
    {
        int status = 200;
        juce::String body;
    };

    /** Answers with these addresses; refreshSeconds is both the interval clients are told to
        wait and how long after a library change full catalogs are sent to everyone.
    */
    CatalogService (ProviderAddresses addresses, int refreshSeconds);

    /** The answer to a request with these query parameters (names compared exactly). The
        maintenance message is set while the service is in maintenance.
    */
    Answer answer (const juce::StringPairArray& query,
                   const LibraryState& state,
                   const std::optional<juce::String>& maintenanceMessage,
                   juce::Time now) const;

    /** Whether a flag parameter is set: present and neither empty nor "0". */
    static bool isFlagSet (const juce::StringPairArray& query, const juce::String& name);

    /** Whether a full catalog must go to clients that did not ask for one: the library changed
        less than refreshSeconds ago.
    */
    bool changedRecently (const LibraryState& state, juce::Time now) const;

    const ProviderAddresses& getAddresses() const noexcept { return addresses; }

private:
    juce::String renderCatalog (const std::shared_ptr<const Library>& library, const juce::String& lang, const LibraryUser* user) const;

    struct RenderedCatalogs
    {
        std::mutex lock;
        std::shared_ptr<const Library> library;
        std::map<juce::String, juce::String> documents;
    };

    ProviderAddresses addresses;
    int refreshSeconds;
    std::unique_ptr<RenderedCatalogs> rendered = std::make_unique<RenderedCatalogs>();
};
} // namespace provider
