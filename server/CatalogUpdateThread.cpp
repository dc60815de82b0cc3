#include "server/CatalogUpdateThread.h"

#include "app/PreferencesManager.h"
#include "model/Core.h"
#include "model/ThreadStop.h"

using namespace CatalogServiceClient;

CatalogUpdateThread::CatalogUpdateThread (Host& h, Core& c) : Thread ("catalog-update"), host (h), core (c)
{
    waiter = [] (CatalogUpdateThread& thread, int seconds) {
        thread.wait (seconds * 1000);
        return ! thread.threadShouldExit();
    };
}

CatalogUpdateThread::~CatalogUpdateThread()
{
    stopThread (ThreadStop::timeoutMs);
}

void CatalogUpdateThread::run()
{
    int refreshSeconds = 0;

    while (! threadShouldExit())
    {
        // The server's figure is taken as it comes; only a sane range of it is waited for.
        refreshSeconds = clampRefreshSeconds (refreshSeconds);

        if (! waiter (*this, refreshSeconds) || threadShouldExit())
            return;

        refreshSeconds = refresh (refreshSeconds);
    }
}

int CatalogUpdateThread::refresh (int refreshSeconds)
{
    if (! endpoint.has_value())
        endpoint = Endpoint::fromSharedResources();

    // Even the user's name is read without waiting: this thread never queues up behind others.
    juce::String userId, userName;

    if (! core.tryWithWriteLock ([&] {
            userId = core.getUserId();
            userName = core.getUserName();
        }))
        return minimumRefreshSeconds;

    const auto language = PreferencesManager::getInstance()->getLanguage();
    const auto noCache = ! host.isCatalogOnline();
    std::unique_ptr<Catalog> catalog;
    CatalogRetrievalResult result;

    if (userId.isNotEmpty())
        result = retrieveOnlineUserCatalog (*endpoint, userName, host.getPasswordHash(), language, noCache, &refreshSeconds, catalog);
    else
        result = retrieveOnlineAnonCatalog (*endpoint, language, noCache, &refreshSeconds, catalog);

    // Asked to stop during the request: its result is no news about the server.
    if (threadShouldExit())
        return refreshSeconds;

    const auto installed = core.tryWithWriteLock ([&] {
        // The user may have changed while the request was on its way.
        if (catalog != nullptr && catalog->userid != core.getUserId())
            catalog = nullptr;

        if (result == Maintenance)
            host.setCatalogState (nullptr, false, true);
        else if (result == NoResponse)
            host.setCatalogState (nullptr, false, false);
        else if (result == Success && catalog != nullptr)
            host.setCatalogState (std::move (catalog), true, false);
    });

    return installed ? refreshSeconds : minimumRefreshSeconds;
}
