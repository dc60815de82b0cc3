#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/Notifications.h"
#include "tests/common/CoreBroadcasts.h"
#include "tests/common/MessagePump.h"

#include <gtest/gtest.h>

namespace
{
/** Writes down every typed call, one line each, as "call:argument". */
struct Recorder final : Core::Listener
{
    void catalogChanged() override { calls.add ("catalog"); }
    void usersDirectoryChanged() override { calls.add ("users"); }
    void downloadListChanged() override { calls.add ("list"); }
    void downloadProgress (const juce::String& id) override { calls.add ("progress:" + id); }
    void downloadFinished (const juce::String& id) override { calls.add ("finished:" + id); }
    void markersChanged (const juce::String& id) override { calls.add ("markers:" + id); }
    void searchResultsChanged() override { calls.add ("search"); }
    void searchDatabaseChanged() override { calls.add ("database"); }
    void windowReady() override { calls.add ("ready"); }

    void chapterStateChanged (const juce::String& id, ChapterChange change) override
    {
        const char* const names[] = { "seen", "favourite", "removed", "restored", "watched" };
        calls.add (juce::String (names[(int) change]) + ":" + id);
    }

    juce::StringArray calls;
};

class CoreListenerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (root.createDirectory());
        core.addListener (&recorder);
    }

    void TearDown() override { root.deleteRecursively(); }

    /** The calls made since the last look, once the message loop delivered what is pending. */
    juce::StringArray received()
    {
        EXPECT_TRUE (MessagePump::deliverPending());
        auto result = recorder.calls;
        recorder.calls.clear();
        return result;
    }

    void installCatalog()
    {
        const auto xml = juce::parseXML (R"(<catalog userid="u1"><course id="c1" title="C">
            <lesson title="L"><chapter id="a" title="A" duration="10"/></lesson></course></catalog>)");
        auto catalog = std::make_unique<Catalog>();
        ASSERT_TRUE (CatalogParser::parseCatalog (*catalog, *xml, true));
        core.setUsersDirectory (root.getChildFile ("users"), juce::dontSendNotification);
        ASSERT_TRUE (core.setCatalog (std::move (catalog)));
    }

    juce::File root = juce::File::createTempFile ("tsy-core-listener");
    Core core { root.getChildFile ("data") };
    Recorder recorder;
};
} // namespace

TEST_F (CoreListenerTest, EveryCodeArrivesAsItsTypedCallWithItsChapterAndNothingElseCalls)
{
    namespace N = Notifications;
    core.broadcast (N::catalogChanged);
    core.broadcast (N::usersDirectoryChanged);
    core.broadcast (N::searchDatabaseChanged);
    core.broadcast (N::downloadListChanged);
    core.broadcast (N::downloadProgress, { "a" });
    core.broadcast (N::downloadFinished, { "b" });
    core.broadcast (N::seenChanged, { "c" });
    core.broadcast (N::favoriteChanged, { "d" });
    core.broadcast (N::markersChanged, { "e" });
    core.broadcast (N::markerModified, { "f", "2" });
    core.broadcast (N::chapterRemoved, { "g" });
    core.broadcast (N::chapterRestored, { "h" });
    core.broadcast (N::watchedPositionChanged, { "i" });
    core.broadcast (N::searchChanged);
    core.broadcast (N::windowReady);

    // Unknown codes and those missing their chapter call nobody.
    core.broadcast ("zz", { "a" });
    core.broadcast (N::downloadProgress);
    core.broadcast (N::seenChanged);
    core.broadcast ({});

    EXPECT_EQ (received(), juce::StringArray ({ "catalog", "users", "database", "list", "progress:a", "finished:b", "seen:c", "favourite:d",
                                                "markers:e", "markers:f", "removed:g", "restored:h", "watched:i", "search",
                                                "ready" }));

    core.removeListener (&recorder);
    core.broadcast (N::catalogChanged);
    EXPECT_EQ (received(), juce::StringArray()) << "a removed listener hears nothing more";
}

TEST_F (CoreListenerTest, TheCodesAreStillBroadcastAsTheyWere)
{
    CoreBroadcasts raw (core);
    installCatalog();
    core.addMarker ("a", "one", 1.0);
    core.setFavorite ("a", true);

    EXPECT_EQ (raw.drain(), juce::StringArray ({ "cc", "mc;a", "cf;a" }));
    EXPECT_EQ (received(), juce::StringArray ({ "catalog", "markers:a", "favourite:a" })) << "the same messages, decoded";
}

TEST_F (CoreListenerTest, CoreOperationsReachTheListenersOnTheMessageThread)
{
    struct ThreadCheck final : Core::Listener
    {
        void markersChanged (const juce::String&) override { onMessageThread = juce::MessageManager::getInstance()->isThisTheMessageThread(); }
        bool onMessageThread = false;
    } check;

    installCatalog();
    core.addListener (&check);

    // A worker's change is delivered later, on the message thread.
    juce::Thread::launch ([this] { core.addMarker ("a", "from a worker", 2.0); });
    ASSERT_TRUE (MessagePump::runUntil ([&] { return recorder.calls.contains ("markers:a"); }));
    EXPECT_TRUE (check.onMessageThread);
    core.removeListener (&check);

    core.setFavorite ("a", true);
    EXPECT_EQ (received(), juce::StringArray ({ "catalog", "markers:a", "favourite:a" }));
}
