#pragma once

#include "server/CatalogUpdateThread.h"
#include "server/StartupRetrieval.h"

class Core;

/**
    The window's link to the catalog service: the start-up flow, the background refresh thread,
    and what both share (the signed-in user's password hash, the online and maintenance flags).

    Created and deleted on the message thread; the refresh thread reads the flags and the hash and
    installs the catalogs it fetches, so those are guarded.
*/
class CatalogConnection final : private StartupRetrieval::Host,
                                private CatalogUpdateThread::Host
{
public:
    explicit CatalogConnection (Core& core);

    /** Stops the refresh thread. */
    ~CatalogConnection() override;

    /** Reaches a catalog with the content out of reach meanwhile; false when the program quits.
        Message thread.
    */
    bool runStartupRetrieval (juce::Component& content);

    /** Stops the refresh thread, waiting for a request under way to end. */
    void stop();

    bool isOnline() const noexcept { return online; }
    bool isInMaintenance() const noexcept { return maintenance; }
    juce::String getPasswordHash() const override;

    /** Sets the flags and installs a new catalog, if any: what the refresh thread finds (and
        tests). Any thread.
    */
    void setCatalogState (std::unique_ptr<Catalog> catalog, bool isOnline, bool isInMaintenance) override;

    /** The refresh thread, started once the first catalog is installed. */
    CatalogUpdateThread& getUpdateThread() noexcept { return updateThread; }

private:
    void setPasswordHash (const juce::String& hash) override;
    void setCatalogFlags (bool isOnline, bool isInMaintenance) override;
    bool isCatalogOnline() const override { return online; }
    void startCatalogRefresh() override;
    void offerUpgrade (const Catalog& catalog) override;
    void requestQuit() override;

    Core& core;
    juce::CriticalSection passwordLock;
    juce::String passwordHash;
    std::atomic<bool> online { false };
    std::atomic<bool> maintenance { false };
    CatalogUpdateThread updateThread { static_cast<CatalogUpdateThread::Host&> (*this), core };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CatalogConnection)
};
