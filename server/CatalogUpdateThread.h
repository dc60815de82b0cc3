#pragma once

#include "server/CatalogServiceClient.h"

#include <functional>

class Core;

/**
    Refreshes the catalog in the background at the interval the service asks for: a changed
    catalog replaces the one in use, an unreachable server or one in maintenance only changes the
    main window's flags. After a start from the cached copy, its first request asks for a full
    catalog, which brings the program back online.

    The request is made without holding any of Core's locks, so a slow server never stalls the
    interface; only the installation of the answer takes Core's write lock, and a busy lock skips
    the round (next try in 10 seconds). A stop request ends a request under way at once.
*/
class CatalogUpdateThread final : public juce::Thread
{
public:
    /** What the thread needs from the main window; called on this thread. */
    struct Host
    {
        virtual ~Host() = default;
        virtual void setCatalogState (std::unique_ptr<Catalog> catalog, bool online, bool maintenance) = 0;
        virtual bool isCatalogOnline() const = 0;
        virtual juce::String getPasswordHash() const = 0;
    };

    /** Waits a number of seconds; returns false when the thread should stop instead. */
    using Waiter = std::function<bool (CatalogUpdateThread&, int seconds)>;

    CatalogUpdateThread (Host& host, Core& core);
    ~CatalogUpdateThread() override;

    /** Replaces the clock (tests); call before the thread starts. */
    void setWaiter (Waiter newWaiter) { waiter = std::move (newWaiter); }

    /** Replaces where requests go (tests); call before the thread starts. */
    void setEndpoint (CatalogServiceClient::Endpoint newEndpoint) { endpoint = std::move (newEndpoint); }

    void run() override;

    /** The shortest wait between two requests. */
    static constexpr int minimumRefreshSeconds = 10;

    /** The longest wait between two requests, whatever the server asks for. */
    static constexpr int maximumRefreshSeconds = 24 * 60 * 60;

    /** The wait the thread keeps to for a server's refresh time. */
    static int clampRefreshSeconds (int seconds) noexcept { return juce::jlimit (minimumRefreshSeconds, maximumRefreshSeconds, seconds); }

private:
    /** One request and its installation; returns the seconds to wait before the next one. */
    int refresh (int refreshSeconds);

    Host& host;
    Core& core;
    std::optional<CatalogServiceClient::Endpoint> endpoint;
    Waiter waiter;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CatalogUpdateThread)
};
