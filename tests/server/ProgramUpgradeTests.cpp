#include "app/PrivateTempFolder.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "server/ProgramUpgrade.h"
#include "tests/common/ScriptedPrompts.h"
#include "tests/common/TestHttpServer.h"

#include <gtest/gtest.h>

namespace
{
/** A download list entry whose run failed at once: it stays in the list and never runs. */
struct FailedJob final : DownloadJob
{
    FailedJob (const juce::String& id, const juce::String& name) : chapterId (id), title (name) {}

    const juce::String& getChapterId() const noexcept override { return chapterId; }
    const juce::String& getTitle() const noexcept override { return title; }
    DownloadState getState() const noexcept override { return DownloadState::Failed; }
    DownloadError getErrorCode() const noexcept override { return DownloadError::ConnectionError; }
    float getProgress() const noexcept override { return 0.0f; }
    bool start() override { return false; }
    void stop (int) override {}

    const juce::String chapterId, title;
};

std::unique_ptr<DownloadJob> makeFailedJob (Core&, const juce::String& chapterId, const juce::String& title, const juce::File&, const juce::URL&)
{
    return std::make_unique<FailedJob> (chapterId, title);
}

class UpgradeTest : public ::testing::Test
{
protected:
    void SetUp() override { folder.createDirectory(); }
    void TearDown() override
    {
        core = nullptr;
        folder.deleteRecursively();
    }

    /** Offers the catalog's version with the installer served under a path. */
    void offer (const juce::String& version, const juce::String& path, const juce::String& body, int announcedSize)
    {
        server.setHandler ([path, body] (const TestHttpServer::Request& r) {
            return r.path == "/" + path ? TestHttpServer::Response { 200, body, "application/octet-stream" }
                                        : TestHttpServer::Response { 404, "missing", "text/plain" };
        });

        catalog.win_version = version;
        catalog.win_app = juce::URL (server.getBaseUrl() + path);
        catalog.win_app_size = announcedSize;
        ProgramUpgrade::offer (catalog, *core, "1.36", [this] { ++quitRequests; });
    }

    juce::String titleOfLastPrompt() const { return prompts.shown.empty() ? juce::String() : prompts.shown.back().title; }

    juce::File folder = juce::File::createTempFile ("tsy-upgrade-test");
    std::unique_ptr<Core> core = std::make_unique<Core> (folder, Core::Workers { makeFailedJob });
    TestHttpServer server;
    ScriptedPrompts prompts;
    Catalog catalog;
    int quitRequests = 0;
    const juce::String installer = juce::String::repeatedString ("MZ installer bytes ", 5000);
};

juce::MemoryBlock zipWith (const juce::String& entryName)
{
    juce::ZipFile::Builder builder;
    builder.addEntry (new juce::MemoryInputStream ("package", 7, true), 0, entryName, juce::Time::getCurrentTime());
    juce::MemoryOutputStream out;
    builder.writeToStream (out, nullptr);
    return out.getMemoryBlock();
}
} // namespace

TEST (ProgramUpgradeRules, VersionsCompareAsNumbers)
{
    EXPECT_FALSE (ProgramUpgrade::isNewer ("1.36", "1.36"));
    EXPECT_TRUE (ProgramUpgrade::isNewer ("1.4", "1.36"));
    EXPECT_FALSE (ProgramUpgrade::isNewer ("1.100", "1.36"));
    EXPECT_FALSE (ProgramUpgrade::isNewer ("", "1.36"));
    EXPECT_FALSE (ProgramUpgrade::isNewer ("soon", "1.36"));
    EXPECT_TRUE (ProgramUpgrade::isNewer ("2", "1.36"));

    EXPECT_EQ (ProgramUpgrade::getArchiveName (juce::URL ("http://h/dl/TSY%20Setup.exe")), "archive.exe");
    EXPECT_EQ (ProgramUpgrade::getArchiveName (juce::URL ("http://h/dl/v1.5/setup")), "archive.5/setup");
    EXPECT_EQ (ProgramUpgrade::getArchiveName (juce::URL ("http://h/dl/installer")), "archive.dl/installer");
    EXPECT_EQ (ProgramUpgrade::getWorkingFolder(), PrivateTempFolder::get().getChildFile ("tsy-upgrade"));
}

TEST_F (UpgradeTest, NoOfferForTheSameVersion)
{
    offer ("1.36", "setup.exe", installer, installer.length());
    EXPECT_TRUE (prompts.shown.empty());
    EXPECT_TRUE (server.getRequests().empty());
}

TEST_F (UpgradeTest, AnythingInTheDownloadListSuppressesTheOffer)
{
    auto queued = std::make_unique<Catalog>();
    ASSERT_TRUE (CatalogParser::parseCatalog (*queued,
                                              *juce::parseXML ("<catalog userid='u1' baseurl='http://127.0.0.1:1/'><course id='c'><lesson>"
                                                               "<chapter id='ch' size='10'/></lesson></course></catalog>"),
                                              true));
    core->setUsersDirectory (folder.getChildFile ("users"), false);
    core->setCatalog (std::move (queued));
    ASSERT_TRUE (core->getDownloads().addDownload ("c", "ch", "a chapter"));

    // Its download failed, but the entry stays in the list.
    ASSERT_EQ (core->getDownloads().getDownloadCount(), 1);
    offer ("1.4", "setup.exe", installer, installer.length());
    EXPECT_TRUE (prompts.shown.empty());
    EXPECT_TRUE (server.getRequests().empty());
}

TEST_F (UpgradeTest, DecliningChangesNothing)
{
    prompts.answerNext (false);
    offer ("1.4", "setup.exe", installer, installer.length());
    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].title, "New version available");
    EXPECT_EQ (prompts.shown[0].text, "A newer version (1.4) of this program is available online. Do you want to download and install it");
    EXPECT_EQ (prompts.shown[0].buttons, juce::StringArray ({ "Yes", "No" }));
    EXPECT_TRUE (server.getRequests().empty());
    EXPECT_EQ (quitRequests, 0);
}

TEST_F (UpgradeTest, AnExeIsStartedAndTheProgramQuits)
{
    prompts.answerNext (true);
    offer ("1.4", "dl/TSY-Setup.exe", installer, installer.length());
    ASSERT_EQ (prompts.opened.size(), 1);
    EXPECT_EQ (prompts.opened[0], ProgramUpgrade::getWorkingFolder().getChildFile ("archive.exe"));
    EXPECT_EQ (prompts.opened[0].loadFileAsString(), installer);
    EXPECT_EQ (prompts.progressTitles, juce::StringArray ({ "Downloading new version..." }));
    EXPECT_EQ (quitRequests, 1);
}

TEST_F (UpgradeTest, AnUnknownKindIsRevealed)
{
    prompts.answerNext (true);
    offer ("1.4", "TSY.dmg", installer, installer.length());
    EXPECT_TRUE (prompts.opened.isEmpty());
    ASSERT_EQ (prompts.revealed.size(), 1);
    EXPECT_EQ (prompts.revealed[0].getFileName(), "archive.dmg");
    EXPECT_EQ (quitRequests, 1);
}

TEST_F (UpgradeTest, FailedOrShortDownloadsAreNeverStarted)
{
    prompts.answerNext (true);
    offer ("1.4", "setup.exe", installer, installer.length() + 100);
    EXPECT_EQ (titleOfLastPrompt(), "Download error");
    EXPECT_FALSE (ProgramUpgrade::getWorkingFolder().getChildFile ("archive.exe").exists()) << "a short file is deleted";

    prompts.answerNext (true);
    offer ("1.4", "setup.exe", installer, installer.length());
    catalog.win_app = juce::URL (server.getBaseUrl() + "nowhere.exe");
    prompts.answerNext (true);
    ProgramUpgrade::offer (catalog, *core, "1.36", [this] { ++quitRequests; });
    EXPECT_EQ (titleOfLastPrompt(), "Download error") << "a 404 page is not an installer";
    EXPECT_FALSE (ProgramUpgrade::getWorkingFolder().getChildFile ("archive.exe").exists());
    EXPECT_EQ (prompts.opened.size(), 1) << "only the complete download was started";
}

TEST_F (UpgradeTest, CancellingLeavesThePartialFileQuietly)
{
    prompts.answerNext (true);
    prompts.cancelAtProgress = 0.2;
    const auto big = juce::String::repeatedString ("0123456789abcdef", 100000);
    offer ("1.4", "setup.exe", big, big.length());
    EXPECT_TRUE (prompts.opened.isEmpty());
    EXPECT_EQ (titleOfLastPrompt(), "New version available") << "no message after a cancel";
    const auto partial = ProgramUpgrade::getWorkingFolder().getChildFile ("archive.exe");
    EXPECT_TRUE (partial.existsAsFile());
    EXPECT_LT (partial.getSize(), big.length());
    EXPECT_EQ (quitRequests, 0);
}

TEST_F (UpgradeTest, ZipArchivesOpenTheirPackage)
{
    const auto serveZip = [this] (const juce::MemoryBlock& zip) {
        server.setHandler ([zip] (const TestHttpServer::Request&) {
            TestHttpServer::Response response { 200, {}, "application/zip" };
            response.data = zip;
            return response;
        });
        catalog.win_version = "1.5";
        catalog.win_app = juce::URL (server.getBaseUrl() + "TSY.zip");
        catalog.win_app_size = (int) zip.getSize();
        prompts.answerNext (true);
        ProgramUpgrade::offer (catalog, *core, "1.36", [this] { ++quitRequests; });
    };

    serveZip (zipWith ("readme.txt"));
    EXPECT_EQ (titleOfLastPrompt(), "Install error");
    EXPECT_TRUE (prompts.opened.isEmpty());
    EXPECT_EQ (quitRequests, 0);

    // A hidden entry (what a Mac leaves beside a package) is not a package.
    serveZip (zipWith (".TSY-Player.mpkg"));
    EXPECT_EQ (titleOfLastPrompt(), "Install error");
    EXPECT_TRUE (prompts.opened.isEmpty());
    EXPECT_EQ (quitRequests, 0);

    serveZip (zipWith ("TSY-Player.mpkg"));
    ASSERT_EQ (prompts.opened.size(), 1);
    EXPECT_EQ (prompts.opened[0], ProgramUpgrade::getWorkingFolder().getChildFile ("TSY-Player.mpkg"));
    EXPECT_EQ (quitRequests, 1);
}
