#include "model/Notifications.h"
#include "search/TranscriptSearch.h"
#include "search/TranscriptStore.h"
#include "search/UpdateSearchDatabaseThread.h"
#include "tests/common/JucePrinters.h"
#include "tests/common/TestHttpServer.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"
#include "tests/search/SearchTestSupport.h"

#include <gtest/gtest.h>

using namespace SearchTestSupport;

namespace
{
/** A Core whose data folder holds an earlier database, and an updater for it. */
class UpdateSearchDatabaseThreadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        temporaryFolder.createDirectory();
        ASSERT_TRUE (writeDatabase (dataFile(), { { "old", { "vecchio" }, {} } }));
        core = std::make_unique<Core> (scratch.folder);
        ASSERT_TRUE (core->isSearchDatabaseOpen());
        messages = std::make_unique<CoreBroadcasts> (*core);
    }

    juce::File dataFile() const { return scratch.folder.getChildFile ("data.dat"); }

    /** Runs an updater against a catalog URL to its end. */
    void update (const juce::String& catalogUrl)
    {
        UpdateSearchDatabaseThread updater (*core, catalogUrl, temporaryFolder);
        updater.startThread();
        EXPECT_TRUE (updater.waitForThreadToExit (30000));
    }

    /** The old database is still in place and open, nothing was announced, nothing was left. */
    void expectUnchanged()
    {
        EXPECT_TRUE (core->isSearchDatabaseOpen());
        EXPECT_EQ (readWords (dataFile()), (std::vector<WordRow> { { "old", 0, "vecchio" } }));
        EXPECT_TRUE (messages->drain().isEmpty());
        EXPECT_FALSE (TranscriptStore::getFileBeside (dataFile()).exists()) << "no transcripts kept from it";
        EXPECT_EQ (temporaryFolder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
    }

    ScratchFolder scratch;
    juce::File temporaryFolder = scratch.folder.getChildFile ("tmp");
    std::unique_ptr<Core> core;
    std::unique_ptr<CoreBroadcasts> messages;
};
} // namespace

TEST_F (UpdateSearchDatabaseThreadTest, InstallsTheNewDatabaseAndAnnouncesIt)
{
    TestHttpServer server;
    server.answerWith ("<catalog min='1'><course id='c'><lesson><chapter id='a'><text>[00:03]Ciao ciao</text></chapter></lesson></course></catalog>");
    update (server.getBaseUrl() + "catalog.php");

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 1u);
    EXPECT_EQ (requests[0].path, "/catalog.php");
    EXPECT_EQ (requests[0].query, "nocache=1&auth=0&min=1") << "the transcripts, without a language";

    EXPECT_TRUE (core->isSearchDatabaseOpen());
    EXPECT_EQ (readWords (dataFile()), (std::vector<WordRow> { { "a", 0, "ciao" }, { "a", 1, "ciao" } }));
    EXPECT_EQ (readStamps (dataFile()), (std::vector<StampRow> { { "a", 3, 0 } }));
    EXPECT_EQ (messages->drain(), juce::StringArray ({ Notifications::searchDatabaseChanged, Notifications::searchDatabaseChanged })) << "closed, then opened";
    EXPECT_EQ (temporaryFolder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0) << "the new file became data.dat";

    TranscriptSearch::search (*core, { "ciao" });
    EXPECT_EQ (hitsOf (*core, "a"), (std::vector<double> { 0.0, 0.0 })) << "the search reads the new database";
}

TEST_F (UpdateSearchDatabaseThreadTest, AFailedUpdateChangesNothing)
{
    TestHttpServer server;
    const auto url = server.getBaseUrl() + "catalog.php";
    const juce::String good = "<catalog><course id='c'><lesson><chapter id='a'><text>x</text></chapter></lesson></course></catalog>";

    for (const auto& [body, status] : std::vector<std::pair<juce::String, int>> {
             { "<error code='dberror'/>", 200 }, { "not xml at all", 200 }, { "", 200 }, { good, 500 } })
    {
        server.answerWith (body, status);
        update (url);
        expectUnchanged();
    }

    update ("http://127.0.0.1:1/catalog.php");
    expectUnchanged();

    server.answerWith (good);
    temporaryFolder.deleteRecursively();
    update (url);
    expectUnchanged();
    EXPECT_FALSE (temporaryFolder.exists()) << "no temporary file could be made";
}

TEST_F (UpdateSearchDatabaseThreadTest, AStoppedUpdateLeavesTheOldDatabaseAndNoFile)
{
    // Long enough that the stop arrives while the transcript is being indexed.
    juce::StringArray words;

    for (int i = 0; i < 200000; ++i)
        words.add ("parola" + juce::String (i));

    TestHttpServer server;
    server.answerWith ("<catalog><course id='c'><lesson><chapter id='big'><text>" + words.joinIntoString (" ") + "</text></chapter></lesson></course></catalog>");

    {
        UpdateSearchDatabaseThread updater (*core, server.getBaseUrl() + "catalog.php", temporaryFolder);
        updater.startThread();
        ASSERT_TRUE (MessagePump::runUntil ([this]
                                            { return temporaryFolder.getNumberOfChildFiles (juce::File::findFiles, "temp_*tsy") > 0; }));
    }

    expectUnchanged();
}

TEST_F (UpdateSearchDatabaseThreadTest, IndexesEveryTranscriptTheProviderPublishes)
{
    ProviderProcess provider ({ "--library", TestLibraryWriter::getSampleLibrary().getFullPathName() }, scratch.folder.getChildFile ("provider"));
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    update (provider.getOrigin() + "/catalog.php");

    // "[00:00]Benvenuti nel corso di modellazione 3D. [00:02]In queste lezioni (musica)
    // costruiremo *ehm un modello completo, [00:04]passo dopo passo."
    juce::StringArray first;

    for (const auto& [chapter, index, word] : readWords (dataFile()))
        if (chapter == "MOD3D-IT-0101")
            first.add (juce::String (index) + ":" + word);

    EXPECT_EQ (first, juce::StringArray ({ "0:benvenuti", "1:nel", "2:corso", "3:di", "4:modellazione", "5:3d", "6:in", "7:queste", "8:lezioni", "9:costruiremo", "11:un", "12:modello", "13:completo", "14:passo", "15:dopo", "16:passo" }));

    const auto chapters = query<juce::String> (dataFile(), "SELECT DISTINCT idmovie FROM main.words", [] (sqlite3_stmt* s)
                                               { return textColumn (s, 0); });
    EXPECT_EQ (chapters.size(), 40u) << "both languages: the request names none";
    EXPECT_EQ (messages->drain().size(), 2);
}

TEST_F (UpdateSearchDatabaseThreadTest, KeepsTheTranscriptsOfAWholeDownloadBesideTheDatabase)
{
    const auto kept = TranscriptStore::getFileBeside (dataFile());
    juce::String text;
    EXPECT_EQ (TranscriptStore::read (kept, "a", text), TranscriptStore::ReadResult::unavailable) << "none before the first update";

    TestHttpServer server;
    const auto url = server.getBaseUrl() + "catalog.php";
    server.answerWith ("<catalog><course id='c'><lesson><chapter id='a'><text>[00:03]Ciao (ride) ciao</text></chapter></lesson></course></catalog>");
    update (url);
    ASSERT_EQ (TranscriptStore::read (kept, "a", text), TranscriptStore::ReadResult::found);
    EXPECT_EQ (text, "[00:03]Ciao (ride) ciao");

    for (const auto& [body, status] : std::vector<std::pair<juce::String, int>> {
             { "<error code='dberror'/>", 200 }, { "<catalog><course><lesson><chapter id='a'><text>nuovo", 200 }, { "<catalog><course><lesson><chapter id='a'><text>nuovo</text></chapter></lesson></course></catalog>", 500 } })
    {
        server.answerWith (body, status);
        update (url);
        ASSERT_EQ (TranscriptStore::read (kept, "a", text), TranscriptStore::ReadResult::found);
        EXPECT_EQ (text, "[00:03]Ciao (ride) ciao") << "a broken or refused download replaces nothing: " << body;
        EXPECT_EQ (temporaryFolder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
    }

    server.answerWith ("<catalog><course><lesson><chapter id='b'><text>altro</text></chapter></lesson></course></catalog>");
    update (url);
    EXPECT_EQ (TranscriptStore::read (kept, "a", text), TranscriptStore::ReadResult::noTranscript) << "the new download replaced the file as a whole";
    ASSERT_EQ (TranscriptStore::read (kept, "b", text), TranscriptStore::ReadResult::found);
    EXPECT_EQ (text, "altro");
    EXPECT_EQ (readWords (dataFile()), (std::vector<WordRow> { { "b", 0, "altro" } }));
}
