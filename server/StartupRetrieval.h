#pragma once

#include "server/CatalogServiceClient.h"

class Core;

/**
    The start-up flow that reaches a usable catalog: online for the remembered user, else for an
    anonymous visitor after Skip, else from the cached copy; it asks for credentials when none are
    stored, remembers them after a successful login, and explains a first launch that finds
    neither server nor cache before asking the program to quit.

    Runs on the message thread, at start-up and after a language change. Each retrieval runs on a
    worker thread while the message loop goes on, so the window stays responsive; a quit asked for
    meanwhile cancels the request and ends the flow at once, without further questions.
*/
class StartupRetrieval final
{
public:
    /** What the flow needs from the main window. */
    struct Host
    {
        virtual ~Host() = default;

        /** The password hash the refresh thread and the home page use. */
        virtual void setPasswordHash (const juce::String& hash) = 0;

        /** The online and maintenance flags of the catalog now in use. */
        virtual void setCatalogFlags (bool online, bool maintenance) = 0;

        /** Starts the background refresh if it is not running yet. */
        virtual void startCatalogRefresh() = 0;

        /** Offers a newer program version named by a catalog fetched online; may ask to quit. */
        virtual void offerUpgrade (const Catalog& catalog) = 0;

        /** Asks the application to quit. */
        virtual void requestQuit() = 0;
    };

    StartupRetrieval (Core& core, Host& host, CatalogServiceClient::Endpoint endpoint);

    /** Runs the flow; true when a catalog was installed in Core, false when it asked to quit. */
    bool run();

private:
    enum class Outcome
    {
        retry,
        done
    };

    using Retrieval = std::function<CatalogRetrievalResult (std::unique_ptr<Catalog>&)>;

    CatalogRetrievalResult retrieve (const Retrieval& retrieval, std::unique_ptr<Catalog>& catalogOut);
    Outcome tryUserCatalog (juce::String& userName, juce::String& passwordHash);
    void tryAnonymousCatalog();
    void tryCachedUserCatalog();
    bool finish();

    Core& core;
    Host& host;
    const CatalogServiceClient::Endpoint endpoint;
    int language = 0;
    juce::String savedUserId;
    std::unique_ptr<Catalog> catalog;
    bool online = false;
    bool maintenance = false;
    bool quitRequested = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (StartupRetrieval)
};
