#include "model/Notifications.h"
#include "search/TranscriptSearch.h"
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
        messages = std::make_unique<Messages> (*core);
    }

    void TearDown() override
    {
        messages = nullptr;
        core = nullptr;
    }

    juce::File dataFile() const { return scratch.folder.getChildFile ("data.dat"); }

    /** Runs an updater against a catalog URL to its end. */
    void update (const juce::String& catalogUrl)
    {
        UpdateSearchDatabaseThread updater (*core, catalogUrl, temporaryFolder);
        EXPECT_EQ (updater.getThreadName(), "updateSearchDatabase");
        updater.startThread();
        EXPECT_TRUE (updater.waitForThreadToExit (30000));
    }

    /** The old database is still in place and open, nothing was announced, nothing was left. */
    void expectUnchanged()
    {
        EXPECT_TRUE (core->isSearchDatabaseOpen());
        EXPECT_EQ (readWords (dataFile()), (std::vector<WordRow> { { "old", 0, "vecchio" } }));
        EXPECT_TRUE (messages->drain().isEmpty());
        EXPECT_EQ (temporaryFolder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
    }

    ScratchFolder scratch;
    juce::File temporaryFolder = scratch.folder.getChildFile ("tmp");
    std::unique_ptr<Core> core;
    std::unique_ptr<Messages> messages;
};
} // namespace

TEST (UpdateSearchDatabaseThread, AsksForTheTranscriptsWithoutALanguage)
{
    EXPECT_EQ (UpdateSearchDatabaseThread::buildRequestUrl ("http://127.0.0.1:8642/catalog.php"), "http://127.0.0.1:8642/catalog.php?nocache=1&auth=0&min=1");

    ScratchFolder scratch;
    const auto file = UpdateSearchDatabaseThread::chooseTemporaryFile (scratch.folder);
    EXPECT_TRUE (file.getFileName().matchesWildcard ("temp_*tsy", false)) << file.getFileName();
    EXPECT_TRUE (file.getFileName().fromFirstOccurrenceOf ("temp_", false, false).dropLastCharacters (3).containsOnly ("0123456789abcdef"));
    EXPECT_EQ (file.getParentDirectory(), scratch.folder);
}

TEST_F (UpdateSearchDatabaseThreadTest, InstallsTheNewDatabaseAndAnnouncesIt)
{
    TestHttpServer server;
    server.answerWith ("<catalog min='1'><course id='c'><lesson><chapter id='a'><text>[00:03]Ciao ciao</text></chapter></lesson></course></catalog>");
    update (server.getBaseUrl() + "catalog.php");

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 1u);
    EXPECT_EQ (requests[0].path, "/catalog.php");
    EXPECT_EQ (requests[0].query, "nocache=1&auth=0&min=1");

    EXPECT_TRUE (core->isSearchDatabaseOpen());
    EXPECT_EQ (readWords (dataFile()), (std::vector<WordRow> { { "a", 0, "ciao" }, { "a", 1, "ciao" } }));
    EXPECT_EQ (readStamps (dataFile()), (std::vector<StampRow> { { "a", 3, 0 } }));
    EXPECT_EQ (messages->drain(), juce::StringArray ({ Notifications::searchDatabaseChanged, Notifications::searchDatabaseChanged })) << "closed, then opened";
    EXPECT_EQ (temporaryFolder.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0) << "the new file became data.dat";

    TranscriptSearch::search (*core, { "ciao" });
    EXPECT_EQ (hitsOf (*core, "a"), (std::vector<double> { 0.0, 0.0 })) << "the search reads the new database";
}

TEST_F (UpdateSearchDatabaseThreadTest, AnAnswerThatIsNoTranscriptDocumentChangesNothing)
{
    TestHttpServer server;
    const auto url = server.getBaseUrl() + "catalog.php";

    for (const auto& [body, status] : std::vector<std::pair<juce::String, int>> {
             { "<error code='dberror'/>", 200 },
             { "not xml at all", 200 },
             { "", 200 },
             { "<catalog><course id='c'><lesson><chapter id='a'><text>x</text></chapter></lesson></course></catalog>", 500 } })
    {
        server.answerWith (body, status);
        update (url);
        expectUnchanged();
    }

    update ("http://127.0.0.1:1/catalog.php");
    expectUnchanged();
}

TEST_F (UpdateSearchDatabaseThreadTest, ATemporaryFileThatCannotBeMadeChangesNothing)
{
    TestHttpServer server;
    server.answerWith ("<catalog><course id='c'><lesson><chapter id='a'><text>x</text></chapter></lesson></course></catalog>");
    temporaryFolder.deleteRecursively();
    UpdateSearchDatabaseThread updater (*core, server.getBaseUrl() + "catalog.php", temporaryFolder);
    updater.startThread();
    EXPECT_TRUE (updater.waitForThreadToExit (30000));

    EXPECT_EQ (readWords (dataFile()), (std::vector<WordRow> { { "old", 0, "vecchio" } }));
    EXPECT_TRUE (messages->drain().isEmpty());
    EXPECT_FALSE (temporaryFolder.exists());
}

TEST_F (UpdateSearchDatabaseThreadTest, AStoppedUpdateLeavesTheOldDatabaseAndNoFile)
{
    // Long enough that the stop arrives while the transcript is being indexed.
    juce::StringArray words;

    for (int i = 0; i < 200000; ++i)
        words.add ("parola" + juce::String (i));

    const auto text = words.joinIntoString (" ");

    TestHttpServer server;
    server.answerWith ("<catalog><course id='c'><lesson><chapter id='big'><text>" + text + "</text></chapter></lesson></course></catalog>");

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
    std::vector<WordRow> first;

    for (const auto& row : readWords (dataFile()))
        if (std::get<0> (row) == "MOD3D-IT-0101")
            first.push_back (row);

    const juce::StringArray expected { "benvenuti", "nel", "corso", "di", "modellazione", "3d", "in", "queste", "lezioni", "costruiremo", "", "un", "modello", "completo", "passo", "dopo", "passo" };
    std::vector<WordRow> expectedRows;

    for (int i = 0; i < expected.size(); ++i)
        if (expected[i].isNotEmpty())
            expectedRows.emplace_back ("MOD3D-IT-0101", i, expected[i]);

    EXPECT_EQ (first, expectedRows);

    const auto chapters = query<juce::String> (dataFile(), "SELECT DISTINCT idmovie FROM main.words", [] (sqlite3_stmt* s)
                                               { return textColumn (s, 0); });
    EXPECT_EQ (chapters.size(), 40u) << "both languages: the request names none";
    EXPECT_EQ (messages->drain().size(), 2);
}
