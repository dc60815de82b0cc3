#include "ui/CatalogConnection.h"

#include "model/Core.h"
#include "model/ThreadStop.h"
#include "server/ProgramUpgrade.h"

#include <ProjectInfo.h>

CatalogConnection::CatalogConnection (Core& c) : core (c) {}

CatalogConnection::~CatalogConnection()
{
    stop();
}

void CatalogConnection::stop()
{
    updateThread.stopThread (ThreadStop::timeoutMs);
}

bool CatalogConnection::runStartupRetrieval (juce::Component& content)
{
    // The message loop runs on while the flow waits for the server, so the window moves, repaints
    // and closes; its content stays out of reach meanwhile, as it was while the flow blocked it.
    content.setEnabled (false);
    StartupRetrieval retrieval (core, *this, CatalogServiceClient::Endpoint::fromSharedResources());
    const auto installed = retrieval.run();
    content.setEnabled (true);
    return installed;
}

void CatalogConnection::setPasswordHash (const juce::String& hash)
{
    const juce::ScopedLock sl (passwordLock);
    passwordHash = hash;
}

juce::String CatalogConnection::getPasswordHash() const
{
    const juce::ScopedLock sl (passwordLock);
    return passwordHash;
}

void CatalogConnection::setCatalogFlags (bool isOnline, bool isInMaintenance)
{
    online = isOnline;
    maintenance = isInMaintenance;
}

void CatalogConnection::setCatalogState (std::unique_ptr<Catalog> catalog, bool isOnline, bool isInMaintenance)
{
    setCatalogFlags (isOnline, isInMaintenance);

    if (catalog != nullptr)
        core.setCatalog (std::move (catalog));
}

void CatalogConnection::startCatalogRefresh()
{
    if (! updateThread.isThreadRunning())
        updateThread.startThread (juce::Thread::Priority::background);
}

void CatalogConnection::offerUpgrade (const Catalog& catalog)
{
    ProgramUpgrade::offer (catalog, core, ProjectInfo::versionString, [this] { requestQuit(); });
}

void CatalogConnection::requestQuit()
{
    juce::JUCEApplicationBase::quit();
}
