#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "server/CatalogUpdateThread.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/TestHttpServer.h"
#include "tests/downloads/FaultServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>

namespace
{
juce::String catalogFor (const juce::String& userId, const juce::String& courseId = "c1")
{
    return "<catalog userid='" + userId + "' username='Ada'><course id='" + courseId + "'/></catalog>";
}

struct FakeWindow final : CatalogUpdateThread::Host
{
    explicit FakeWindow (Core& c) : core (c) {}

    void setCatalogState (std::unique_ptr<Catalog> catalog, bool isOnline, bool isInMaintenance) override
    {
        online = isOnline;
        maintenance = isInMaintenance;
        ++stateChanges;

        if (catalog != nullptr)
            core.setCatalog (std::move (catalog));
    }

    bool isCatalogOnline() const override { return online; }
    juce::String getPasswordHash() const override { return "5f4dcc3b5aa765d61d8327deb882cf99"; }

    Core& core;
    std::atomic<bool> online { false }, maintenance { false };
    std::atomic<int> stateChanges { 0 };
};

class RefreshTest : public ::testing::Test
{
protected:
    void SetUp() override { PreferencesManager::getInstance()->load (home.getUserDataFolder().getChildFile ("preferences.xml")); }

    void TearDown() override
    {
        thread = nullptr;
        core = nullptr;
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
    }

    void install (const juce::String& xml)
    {
        auto catalog = std::make_unique<Catalog>();
        ASSERT_TRUE (CatalogParser::parseCatalog (*catalog, *juce::parseXML (xml), true));
        core->setCatalog (std::move (catalog));
    }

    /** Runs the thread for a number of rounds with a fast clock that records every wait. */
    void runRounds (int rounds)
    {
        waits.clear();
        thread = std::make_unique<CatalogUpdateThread> (window, *core);
        thread->setEndpoint ({ server.getBaseUrl() + "catalog.php", home.getUserDataFolder() });
        thread->setWaiter ([this, rounds] (CatalogUpdateThread& t, int seconds) {
            {
                const std::lock_guard<std::mutex> sl (lock);
                waits.push_back (seconds);

                if ((int) waits.size() > rounds)
                    return false;
            }

            t.wait (5);
            return ! t.threadShouldExit();
        });

        thread->startThread();

        for (int i = 0; i < 500 && thread->isThreadRunning(); ++i)
            juce::Thread::sleep (10);

        ASSERT_FALSE (thread->isThreadRunning()) << "the rounds did not finish in time";
    }

    std::vector<int> getWaits()
    {
        const std::lock_guard<std::mutex> sl (lock);
        return waits;
    }

    ScratchHome home;
    TestHttpServer server;
    std::unique_ptr<Core> core = std::make_unique<Core> (home.getUserDataFolder());
    FakeWindow window { *core };
    std::unique_ptr<CatalogUpdateThread> thread;
    std::mutex lock;
    std::vector<int> waits;
};
} // namespace

TEST_F (RefreshTest, AnOfflineStartAsksForAFullCatalogOnce)
{
    install (catalogFor ("u1", "old"));
    server.answerWith (catalogFor ("u1", "fresh"));
    runRounds (3);

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 3u);
    EXPECT_EQ (requests[0].parameters["nocache"], "1");
    EXPECT_EQ (requests[0].parameters["auth"], "1");
    EXPECT_EQ (requests[0].parameters["username"], "Ada");
    EXPECT_FALSE (requests[1].parameters.containsKey ("nocache"));
    EXPECT_FALSE (requests[2].parameters.containsKey ("nocache"));
    EXPECT_EQ (core->getCourseId (0), "fresh");
    EXPECT_TRUE (window.online);
    EXPECT_EQ (getWaits(), std::vector<int> ({ 10, 10, 10, 10 })) << "a server that always sends everything is asked every 10 s";
}

TEST_F (RefreshTest, TheServersRefreshTimeSetsTheInterval)
{
    install (catalogFor ({}));
    window.online = true;
    server.answerWith ("<catalog cached='1' refreshtime='600'/>");
    runRounds (3);
    EXPECT_EQ (getWaits(), std::vector<int> ({ 10, 600, 600, 600 }));
    EXPECT_EQ (server.getRequests()[0].parameters["auth"], "0");
    EXPECT_EQ (window.stateChanges, 0);

    server.answerWith ("<catalog cached='1' refreshtime='3'/>");
    runRounds (2);
    EXPECT_EQ (getWaits(), std::vector<int> ({ 10, 10, 10 }));
}

TEST_F (RefreshTest, AnAbsurdRefreshTimeIsKeptToADay)
{
    install (catalogFor ({}));
    window.online = true;

    // 4294968 seconds in milliseconds overflows an int into less than a second.
    server.answerWith ("<catalog cached='1' refreshtime='4294968'/>");
    runRounds (2);
    EXPECT_EQ (getWaits(), std::vector<int> ({ 10, 86400, 86400 }));

    server.answerWith ("<catalog cached='1' refreshtime='-600'/>");
    runRounds (1);
    EXPECT_EQ (getWaits(), std::vector<int> ({ 10, 10 }));

    EXPECT_EQ (CatalogUpdateThread::clampRefreshSeconds (86400), 86400);
    EXPECT_EQ (CatalogUpdateThread::clampRefreshSeconds (86401), 86400);
    EXPECT_EQ (CatalogUpdateThread::clampRefreshSeconds (std::numeric_limits<int>::min()), 10);
}

TEST_F (RefreshTest, StoppingDuringAStalledRequestEndsCleanlyAtOnce)
{
    install (catalogFor ({}));
    window.online = true;
    FaultServer stalled;
    FaultServer::Reply silent { makeTestBody (100) };
    silent.answerDelayMs = 60000;
    stalled.answerWith (silent);

    thread = std::make_unique<CatalogUpdateThread> (window, *core);
    thread->setEndpoint ({ stalled.getBaseUrl() + "catalog.php", home.getUserDataFolder() });
    thread->setWaiter ([] (CatalogUpdateThread& t, int) { return ! t.threadShouldExit(); });
    thread->startThread();

    for (int i = 0; i < 500 && stalled.getRequestCount() == 0; ++i)
        juce::Thread::sleep (10);

    // The answer is a minute away and the stall limit 15 s: a thread that ends by itself within
    // the 10 s it is given has had its request cut.
    ASSERT_EQ (stalled.getRequestCount(), 1);
    EXPECT_TRUE (thread->stopThread (10000)) << "the thread ended by itself, without being killed";
    EXPECT_EQ (window.stateChanges, 0) << "a cancelled request says nothing about the server";
    EXPECT_TRUE (window.online);
}

TEST_F (RefreshTest, ABusyLockSkipsTheRound)
{
    install (catalogFor ({}));
    window.online = true;
    std::atomic<bool> release { false };
    std::atomic<bool> holding { false };
    server.answerWith ("<catalog cached='1' refreshtime='600'/>");

    auto holder = std::thread ([&] {
        core->tryWithWriteLock ([&] {
            holding = true;

            while (! release)
                juce::Thread::sleep (5);
        });
    });

    while (! holding)
        juce::Thread::sleep (1);

    runRounds (1);
    release = true;
    holder.join();
    EXPECT_EQ (getWaits(), std::vector<int> ({ 10, 10 })) << "a busy lock gives 10 s, whatever the server said";
    EXPECT_TRUE (server.getRequests().empty()) << "and the round is skipped";
}

TEST_F (RefreshTest, AStalledServerNeverBlocksCoreQueries)
{
    install (catalogFor ({}));
    window.online = true;
    juce::WaitableEvent asked, answer;
    server.setHandler ([&] (const TestHttpServer::Request&) {
        asked.signal();
        answer.wait (30000);
        return TestHttpServer::Response { 200, catalogFor ({}, "late") };
    });

    auto runner = std::thread ([&] { runRounds (1); });
    ASSERT_TRUE (asked.wait (30000)) << "the refresh never asked";

    // The server holds its answer until the query is done: a query that waited for the network
    // would wait for ever, so it runs beside the test, which gives it far more than it needs.
    auto query = std::async (std::launch::async, [&] { return core->getNumCourses(); });
    const auto answered = query.wait_for (std::chrono::seconds (20)) == std::future_status::ready;
    answer.signal();
    runner.join();

    ASSERT_TRUE (answered) << "a query waited for the network";
    EXPECT_EQ (query.get(), 1);
    EXPECT_EQ (core->getCourseId (0), "late");
}

TEST_F (RefreshTest, MaintenanceAndUnreachableServersKeepTheCatalog)
{
    install (catalogFor ("u1", "kept"));
    window.online = true;
    server.answerWith ("<maintenance/>");
    runRounds (1);
    EXPECT_FALSE (window.online);
    EXPECT_TRUE (window.maintenance);
    EXPECT_EQ (core->getCourseId (0), "kept");

    server.answerWith ("");
    runRounds (1);
    EXPECT_FALSE (window.maintenance);
    EXPECT_EQ (core->getCourseId (0), "kept");
}

TEST_F (RefreshTest, AnotherUsersCatalogChangesNothing)
{
    install (catalogFor ("u1", "mine"));
    window.online = true;
    server.answerWith (catalogFor ("u2", "theirs"));
    runRounds (2);
    EXPECT_EQ (core->getCourseId (0), "mine");
    EXPECT_EQ (window.stateChanges, 0);
}
