#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "model/Core.h"
#include "server/StartupRetrieval.h"
#include "tests/common/CapturedLog.h"
#include "tests/common/JucePrinters.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"
#include "tests/common/TestHttpServer.h"
#include "tests/downloads/FaultServer.h"

#include <gtest/gtest.h>

#include <iostream>

namespace
{
juce::String catalogFor (const juce::String& userId)
{
    return "<catalog userid='" + userId + "' username='Name of " + userId + "' baseurl='http://127.0.0.1:1/'>"
           "<course id='c1'><lesson><chapter id='ch1'/></lesson></course></catalog>";
}

/** Stands in for the main window. */
struct FakeHost final : StartupRetrieval::Host
{
    void setPasswordHash (const juce::String& hash) override { passwordHash = hash; }
    void setCatalogFlags (bool isOnline, bool isInMaintenance) override
    {
        online = isOnline;
        maintenance = isInMaintenance;
    }
    void startCatalogRefresh() override { ++refreshStarts; }
    void offerUpgrade (const Catalog&) override { ++upgradeOffers; }
    void requestQuit() override { ++quitRequests; }

    juce::String passwordHash;
    bool online = false, maintenance = false;
    int refreshStarts = 0, upgradeOffers = 0, quitRequests = 0;
};

class StartupRetrievalTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PreferencesManager::getInstance()->load (home.getUserDataFolder().getChildFile ("preferences.xml"));
        preferences = PreferencesManager::getInstance();
        preferences->setLanguage (1);
    }

    void TearDown() override
    {
        core = nullptr;
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
    }

    bool run()
    {
        StartupRetrieval retrieval (*core, host, { server.getBaseUrl() + "catalog.php", home.getUserDataFolder() });
        return retrieval.run();
    }

    /** Answers user requests and anonymous requests separately. */
    void answer (const juce::String& userAnswer, const juce::String& anonAnswer)
    {
        server.setHandler ([userAnswer, anonAnswer] (const TestHttpServer::Request& r) {
            return TestHttpServer::Response { 200, r.parameters["auth"] == "1" ? userAnswer : anonAnswer };
        });
    }

    int countTitled (const juce::String& title) const
    {
        return (int) std::count_if (prompts.shown.begin(), prompts.shown.end(), [&] (const auto& s) { return s.title == title; });
    }

    const juce::String hash = juce::MD5 (juce::String ("secret").toUTF8()).toHexString();
    ScratchHome home;
    ScriptedPrompts prompts;
    TestHttpServer server;
    FakeHost host;
    PreferencesManager* preferences = nullptr;
    std::unique_ptr<Core> core = std::make_unique<Core> (home.getUserDataFolder());
};
} // namespace

TEST_F (StartupRetrievalTest, StoredCredentialsNeedNoDialog)
{
    preferences->setCredentials ("ada@example.com", hash);
    answer (catalogFor ("u1"), "<error/>");
    CapturedLog log;

    ASSERT_TRUE (run());
    EXPECT_TRUE (prompts.shown.empty());

    const auto lines = log.getLines();
    ASSERT_GE (lines.size(), 2);
    EXPECT_EQ (lines[0], "loop for \"\" language: 1");
    EXPECT_EQ (lines[1], "retrieving online user catalog");
    EXPECT_TRUE (lines.contains ("online user catalog retrieval result: 0"));

    EXPECT_EQ (core->getUserId(), "u1");
    EXPECT_EQ (preferences->getStartupUserId(), "u1");
    EXPECT_TRUE (host.online);
    EXPECT_EQ (host.refreshStarts, 1);
    EXPECT_EQ (host.upgradeOffers, 1) << "an online catalog is checked for a newer version";
    EXPECT_EQ (server.getRequests()[0].parameters["nocache"], "1");
}

TEST_F (StartupRetrievalTest, AHashWithoutANameAsksAndRemembersTheLogin)
{
    preferences->setCredentials ({}, hash);
    answer (catalogFor ("u1"), "<error/>");
    prompts.answerNextLogin (std::make_pair (juce::String ("ada@example.com"), juce::String ("secret")));

    ASSERT_TRUE (run());
    ASSERT_EQ (countTitled ("Login"), 1);
    EXPECT_EQ (prompts.shown[0].text, "Enter your Tessaly credentials");
    EXPECT_EQ (server.getRequests()[0].parameters["password"], hash) << "the MD5 of the typed password is sent";
    EXPECT_EQ (preferences->getStartupUsername(), "ada@example.com");
    EXPECT_EQ (preferences->getStartupPasswordHash(), hash);
    EXPECT_EQ (host.passwordHash, hash);
}

TEST_F (StartupRetrievalTest, WrongPasswordTwiceThenSkipWithNothingReachableQuits)
{
    answer ("<error code='loginerror'/>", "");
    prompts.answerNextLogin (std::make_pair (juce::String ("ada@example.com"), juce::String ("wrong")));
    prompts.answerNextLogin (std::make_pair (juce::String ("ada@example.com"), juce::String ("still wrong")));
    prompts.answerNextLogin (std::nullopt);

    EXPECT_FALSE (run());
    EXPECT_EQ (countTitled ("Login"), 3);
    ASSERT_EQ (countTitled ("Connection missing upon first launch"), 1);
    EXPECT_EQ (prompts.shown.back().text,
               "Upon first launch, the application needs a working internet connection to download the catalog of available courses");
    EXPECT_EQ (host.quitRequests, 1);
    EXPECT_EQ (core->getNumCourses(), 0);
    EXPECT_TRUE (preferences->getStartupPasswordHash().isEmpty()) << "nothing is remembered after a failed login";
}

TEST_F (StartupRetrievalTest, AnotherUserOnABoundInstallationIsAskedAgain)
{
    preferences->setStartupUserId ("userA");
    preferences->setCredentials ("b@example.com", hash);
    answer (catalogFor ("userB"), catalogFor ("ignored"));
    prompts.answerNextLogin (std::nullopt);

    ASSERT_TRUE (run());
    EXPECT_EQ (countTitled ("Login"), 1);
    EXPECT_EQ (preferences->getStartupUserId(), "userA");
    EXPECT_EQ (preferences->getStartupUsername(), "b@example.com") << "nothing new is stored";
    EXPECT_TRUE (core->getUserId().isEmpty()) << "Skip gives the anonymous catalog";
    EXPECT_TRUE (host.online);
}

TEST_F (StartupRetrievalTest, MaintenanceOnFirstLaunch)
{
    preferences->setCredentials ("ada@example.com", hash);
    answer ("<maintenance/>", "<maintenance/>");

    EXPECT_FALSE (run());
    ASSERT_EQ (countTitled ("Server maintenance upon first launch"), 1);
    EXPECT_EQ (host.quitRequests, 1);
}

TEST_F (StartupRetrievalTest, AnUnreachableServerFallsBackToTheUsersCache)
{
    preferences->setCredentials ("ada@example.com", hash);
    answer (catalogFor ("u1"), "<error/>");
    ASSERT_TRUE (run());

    // Next start: the server is down; the user's cached copy is used, offline.
    core = std::make_unique<Core> (home.getUserDataFolder());
    host = {};
    answer ("", "");
    CapturedLog log;
    ASSERT_TRUE (run());
    EXPECT_EQ (core->getUserId(), "u1");
    EXPECT_FALSE (host.online);
    EXPECT_EQ (host.upgradeOffers, 0) << "no upgrade offer for a cached catalog";
    EXPECT_TRUE (log.getLines().contains ("cached user catalog retrieval result: 0"));

    // Server errors without a catalog take the same way.
    core = std::make_unique<Core> (home.getUserDataFolder());
    answer ("<error code='dberror'/>", "");
    ASSERT_TRUE (run());
    EXPECT_FALSE (host.online);
}

TEST_F (StartupRetrievalTest, SilentStallingAndDrippingServersAreGivenUpOnWithinTheTimeOut)
{
    preferences->setCredentials ("ada@example.com", hash);
    answer (catalogFor ("u1"), "<error/>");
    ASSERT_TRUE (run());
    const auto body = catalogFor ("u1");

    FaultServer::Reply silent { juce::MemoryBlock (body.toRawUTF8(), body.getNumBytesAsUTF8()) };
    silent.answerDelayMs = 120000;
    auto headersOnly = silent;
    headersOnly.answerDelayMs = 0;
    headersOnly.bodyDelayMs = 120000;
    auto drip = headersOnly;
    drip.bodyDelayMs = 0;
    drip.pieceSize = 1;
    drip.pauseMs = 1000;

    const HttpClient::Limits limits { 1000, 1000, 100 };

    for (const auto& [name, reply] : { std::pair { "silent", silent }, std::pair { "headers, then nothing", headersOnly }, std::pair { "a byte a second", drip } })
    {
        FaultServer stalling;
        stalling.answerWith (reply);
        core = std::make_unique<Core> (home.getUserDataFolder());
        host = {};
        StartupRetrieval retrieval (*core, host, { stalling.getBaseUrl() + "catalog.php", home.getUserDataFolder(), limits });

        // Two minutes of silence, or a byte a second: without the stall limit each would run
        // far past this deadline, which only a hang exceeds.
        const auto start = juce::Time::getMillisecondCounterHiRes();
        ASSERT_TRUE (retrieval.run()) << name;
        EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - start, 30000.0) << name;
        EXPECT_EQ (stalling.getRequestCount(), 1) << name;
        EXPECT_EQ (core->getUserId(), "u1") << name << ": the cached copy is used";
        EXPECT_FALSE (host.online) << name;
    }
}

namespace
{
/** Headers, then a catalog at 20 bytes a second: never stalled, never done. */
FaultServer::Reply tricklingCatalog()
{
    const auto body = catalogFor ("u1").paddedRight (' ', 100000);
    FaultServer::Reply reply { juce::MemoryBlock (body.toRawUTF8(), body.getNumBytesAsUTF8()) };
    reply.pieceSize = 2;
    reply.pauseMs = 100;
    return reply;
}

/** Counts the turns of the message loop. */
struct TickCounter final : juce::Timer
{
    TickCounter() { startTimer (20); }
    ~TickCounter() override { stopTimer(); }
    void timerCallback() override { ++ticks; }
    int ticks = 0;
};
} // namespace

TEST_F (StartupRetrievalTest, TheMessageLoopRunsWhileAnAnswerTricklesUntilItsTotalDeadline)
{
    preferences->setCredentials ("ada@example.com", hash);
    answer (catalogFor ("u1"), "<error/>");
    ASSERT_TRUE (run());

    FaultServer trickling;
    trickling.answerWith (tricklingCatalog());
    core = std::make_unique<Core> (home.getUserDataFolder());
    host = {};
    const HttpClient::Limits limits { 1000, 1000, 10, 1500 };
    StartupRetrieval retrieval (*core, host, { trickling.getBaseUrl() + "catalog.php", home.getUserDataFolder(), limits });

    TickCounter counter;
    const auto start = juce::Time::getMillisecondCounterHiRes();
    ASSERT_TRUE (retrieval.run());
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - start, 30000.0) << "the deadline ended the request (the whole answer would take over an hour)";
    EXPECT_GT (counter.ticks, 5) << "events went on being dispatched while the request ran";
    EXPECT_EQ (core->getUserId(), "u1") << "the cached copy is used";
    EXPECT_FALSE (host.online);
}

TEST_F (StartupRetrievalTest, AQuitWhileTheRequestRunsCancelsItAndEndsTheFlowQuietly)
{
    // A quit cannot be taken back within a process, so this one runs in a child of its own.
    GTEST_FLAG_SET (death_test_style, "threadsafe");

    const auto quitDuringTheRequest = [this]
    {
        FaultServer trickling;
        trickling.answerWith (tricklingCatalog());
        preferences->setCredentials ("ada@example.com", hash);
        StartupRetrieval retrieval (*core, host, { trickling.getBaseUrl() + "catalog.php", home.getUserDataFolder() });

        // What the window's close button does, once the request has reached the server.
        struct Closer final : juce::Timer
        {
            explicit Closer (FaultServer& s) : server (s) { startTimer (10); }
            void timerCallback() override
            {
                if (server.getRequestCount() > 0)
                {
                    stopTimer();
                    askedAt = juce::Time::getMillisecondCounterHiRes();
                    juce::JUCEApplicationBase::quit();
                }
            }
            FaultServer& server;
            double askedAt = 0.0;
        } closer (trickling);

        const auto installed = retrieval.run();
        const auto tookMs = juce::Time::getMillisecondCounterHiRes() - closer.askedAt;
        std::cerr << "installed " << installed << ", prompts " << prompts.shown.size() << ", quit requests " << host.quitRequests
                  << ", ended " << (closer.askedAt > 0.0 && tookMs < 2000.0 ? "promptly" : "late") << std::endl;
        std::_Exit (0);
    };

    EXPECT_EXIT (quitDuringTheRequest(), ::testing::ExitedWithCode (0), "installed 0, prompts 0, quit requests 0, ended promptly");
}
