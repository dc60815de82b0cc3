#include "server/StartupRetrieval.h"

#include "app/PreferencesManager.h"
#include "app/Prompts.h"
#include "model/Core.h"
#include "server/OffMessageThreadCall.h"

using namespace CatalogServiceClient;

namespace
{
void logResult (const char* what, CatalogRetrievalResult result)
{
    juce::Logger::writeToLog (juce::String (what) + " catalog retrieval result: " + juce::String ((int) result));
}

juce::String md5Hex (const juce::String& text)
{
    return juce::MD5 (text.toUTF8()).toHexString();
}
} // namespace

StartupRetrieval::StartupRetrieval (Core& c, Host& h, Endpoint e) : core (c), host (h), endpoint (std::move (e))
{
}

bool StartupRetrieval::run()
{
    auto* preferences = PreferencesManager::getInstance();
    language = preferences->getLanguage();
    savedUserId = preferences->getStartupUserId();
    auto userName = preferences->getStartupUsername();
    auto passwordHash = preferences->getStartupPasswordHash();
    host.setPasswordHash (passwordHash);

    for (;;)
    {
        juce::Logger::writeToLog ("loop for \"" + savedUserId + "\" language: " + juce::String (language));

        if (userName.isEmpty() || passwordHash.isEmpty())
        {
            juce::Logger::writeToLog ("asking credentials");
            juce::String email, password;

            if (! Prompts::get().askCredentials (TRANS ("Login"), TRANS ("Enter your Tessaly credentials"), email, password))
            {
                juce::Logger::writeToLog ("skipped");
                tryAnonymousCatalog();
                break;
            }

            userName = email;
            passwordHash = md5Hex (password);
            host.setPasswordHash (passwordHash);
        }

        if (tryUserCatalog (userName, passwordHash) == Outcome::done)
            break;
    }

    if (quitRequested)
    {
        juce::Logger::writeToLog ("start-up catalog retrieval cancelled by quit");
        return false;
    }

    return finish();
}

CatalogRetrievalResult StartupRetrieval::retrieve (const Retrieval& retrieval, std::unique_ptr<Catalog>& catalogOut)
{
    auto result = NoResponse;
    std::unique_ptr<Catalog> received;

    if (! quitRequested
        && OffMessageThreadCall::run ("startupRetrieval", [&] { result = retrieval (received); }) == OffMessageThreadCall::Outcome::finished)
    {
        catalogOut = std::move (received);
        return result;
    }

    quitRequested = true;
    return NoResponse;
}

StartupRetrieval::Outcome StartupRetrieval::tryUserCatalog (juce::String& userName, juce::String& passwordHash)
{
    std::unique_ptr<Catalog> received;
    const auto result = retrieve ([&] (auto& out) { return retrieveOnlineUserCatalog (endpoint, userName, passwordHash, language, true, nullptr, out); },
                                  received);

    if (quitRequested)
        return Outcome::done;

    logResult ("online user", result);
    maintenance = result == Maintenance;
    online = true;

    if (result == WrongCredentials)
    {
        juce::Logger::writeToLog ("wrong credentials");
        passwordHash.clear();
        host.setPasswordHash ({});
        return Outcome::retry;
    }

    if (result != Success)
    {
        // Server errors that bring no catalog fall back like an unreachable server.
        tryCachedUserCatalog();
        return Outcome::done;
    }

    // Once an installation has a user, only that user gets past here.
    if (savedUserId.isNotEmpty() && savedUserId != received->userid)
    {
        userName.clear();
        passwordHash.clear();
        host.setPasswordHash ({});
        return Outcome::retry;
    }

    auto* preferences = PreferencesManager::getInstance();
    savedUserId = received->userid;
    preferences->setStartupUserId (savedUserId);
    preferences->setCredentials (userName, passwordHash);
    catalog = std::move (received);
    return Outcome::done;
}

void StartupRetrieval::tryCachedUserCatalog()
{
    const auto result = retrieve ([&] (auto& out) { return retrieveCachedUserCatalog (endpoint, savedUserId, language, out); }, catalog);

    if (quitRequested)
        return;

    logResult ("cached user", result);
    online = false;

    if (result != Success)
        catalog = nullptr;
}

void StartupRetrieval::tryAnonymousCatalog()
{
    auto result = retrieve ([&] (auto& out) { return retrieveOnlineAnonCatalog (endpoint, language, true, nullptr, out); }, catalog);

    if (quitRequested)
        return;

    logResult ("online anon", result);
    maintenance = result == Maintenance;
    online = true;

    if (result == Success)
        return;

    juce::Logger::writeToLog ("online anon catalog retrieval failed");
    catalog = nullptr;
    result = retrieve ([&] (auto& out) { return retrieveCachedAnonCatalog (endpoint, language, out); }, catalog);

    if (quitRequested)
        return;

    logResult ("cached anon", result);
    online = false;

    if (result != Success)
    {
        juce::Logger::writeToLog ("cached anon catalog retrieval failed");
        catalog = nullptr;
    }
}

bool StartupRetrieval::finish()
{
    if (catalog != nullptr)
    {
        if (online)
            host.offerUpgrade (*catalog);

        core.setCatalog (std::move (catalog));
        host.startCatalogRefresh();
        host.setCatalogFlags (online, maintenance);
        return true;
    }

    if (maintenance)
        Prompts::get().showMessage (Prompts::Icon::none,
                                    TRANS ("Server maintenance upon first launch"),
                                    TRANS ("Upon first launch, the application needs to connect to the central server. Unfortunately, the "
                                           "server is undergoing some maintenance at the moment, please retry again later"),
                                    TRANS ("OK"));
    else
        Prompts::get().showMessage (Prompts::Icon::none,
                                    TRANS ("Connection missing upon first launch"),
                                    TRANS ("Upon first launch, the application needs a working internet connection to download the catalog "
                                           "of available courses"),
                                    TRANS ("OK"));

    host.requestQuit();
    return false;
}
