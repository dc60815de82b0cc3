#include "server/CatalogServiceClient.h"
#include "tests/common/CapturedLog.h"
#include "tests/common/TestHttpServer.h"
#include "tests/downloads/FaultServer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace CatalogServiceClient;

namespace
{
const juce::String anonCatalog = "<catalog baseurl='http://x/' userid='leak'><course id='c1'><lesson><chapter id='a'/></lesson></course></catalog>";
const juce::String userCatalog = "<catalog userid='ada@home:1' username='Ada' baseurl='http://x/'><course id='c1'/></catalog>";

class CatalogClient : public ::testing::Test
{
protected:
    void SetUp() override { folder.createDirectory(); }
    void TearDown() override { folder.deleteRecursively(); }

    Endpoint endpoint() const { return { server.getBaseUrl() + "catalog.php", folder }; }

    CatalogRetrievalResult online (const juce::String& user = {}, bool noCache = false, int language = 1)
    {
        catalog = nullptr;
        return user.isEmpty() ? retrieveOnlineAnonCatalog (endpoint(), language, noCache, &refreshSeconds, catalog)
                              : retrieveOnlineUserCatalog (endpoint(), user, "5f4dcc3b5aa765d61d8327deb882cf99", language, noCache, &refreshSeconds, catalog);
    }

    juce::File folder = juce::File::createTempFile ("tsy-client");
    TestHttpServer server;
    std::unique_ptr<Catalog> catalog;
    int refreshSeconds = -1;
};
} // namespace

TEST_F (CatalogClient, RequestParametersInOrderAndEscaped)
{
    server.answerWith (userCatalog);
    EXPECT_EQ (online ("ada@example.com", true, 1), Success);
    EXPECT_EQ (online ({}, false, 0), Success);
    EXPECT_EQ (online ({}, false, 7), Success);

    const auto requests = server.getRequests();
    ASSERT_EQ (requests.size(), 3u);
    EXPECT_EQ (requests[0].path, "/catalog.php");
    EXPECT_EQ (requests[0].query, "auth=1&username=ada%40example.com&password=5f4dcc3b5aa765d61d8327deb882cf99&lang=en&nocache=1");
    EXPECT_EQ (requests[0].parameters["username"], "ada@example.com");
    EXPECT_EQ (requests[1].query, "auth=0&lang=it");
    EXPECT_EQ (requests[2].query, "auth=0&lang=it") << "every language other than English asks in Italian";
}

TEST_F (CatalogClient, ServerAnswersMapToResults)
{
    const std::pair<juce::String, CatalogRetrievalResult> cases[] = {
        { "<error code='loginerror'/>", WrongCredentials },
        { "<error code='userpwdmissing'/>", CredentialsMissing },
        { "<error code='unsupportedlanguage'/>", UnsupportedLanguage },
        { "<error code='dberror'/>", DatabaseError },
        { "<error code='LoginError'/>", ServerError },
        { "<error/>", ServerError },
        { "<maintenance/>", Maintenance },
        { "<catalogue/>", InvalidResponse },
        { "<Catalog/>", InvalidResponse },
        { "this is not xml", InvalidResponse },
        { "<catalog><course title='no id'/></catalog>", InvalidResponse },
        { "", NoResponse },
    };

    for (const auto& [body, expected] : cases)
    {
        server.answerWith (body);
        EXPECT_EQ (online ("ada@example.com"), expected) << body;
        EXPECT_EQ (catalog, nullptr);
    }

    EXPECT_TRUE (folder.findChildFiles (juce::File::findFiles, false).isEmpty()) << "failures never write a cache";
}

TEST_F (CatalogClient, UnreachableServerIsNoResponse)
{
    const Endpoint closed { "http://127.0.0.1:1/catalog.php", folder };
    std::unique_ptr<Catalog> none;
    EXPECT_EQ (retrieveOnlineAnonCatalog (closed, 1, false, nullptr, none), NoResponse);
}

TEST_F (CatalogClient, CachedAnswers)
{
    server.answerWith ("<catalog cached='yes' refreshtime='600'/>");
    EXPECT_EQ (online(), NotModified);
    EXPECT_EQ (refreshSeconds, 600);
    EXPECT_EQ (catalog, nullptr);

    server.answerWith ("<catalog Cached=' 1' refreshtime='soon'/>");
    EXPECT_EQ (online(), NotModified);
    EXPECT_EQ (refreshSeconds, 0);

    server.answerWith ("<catalog cached='yes' refreshtime='600'/>");
    EXPECT_EQ (online ({}, true), Success) << "with nocache the attribute is not looked at";
    ASSERT_NE (catalog, nullptr);
    EXPECT_EQ (catalog->getNumCourses(), 0);

    server.answerWith ("<catalog cached='no' refreshtime='600'><course id='c'/></catalog>");
    EXPECT_EQ (online(), Success);
    EXPECT_EQ (catalog->getNumCourses(), 1);
}

TEST_F (CatalogClient, CacheFilesAndOfflineReads)
{
    EXPECT_EQ (getCatalogCacheFile (folder, 0, true, "ignored").getFileName(), "catit.xml");
    EXPECT_EQ (getCatalogCacheFile (folder, 1, false, "1234").getFileName(), "cat1234en.xml");
    EXPECT_EQ (getCatalogCacheFile (folder, 5, false, "a@b:c").getFileName(), "catabc.xml");

    server.answerWith (anonCatalog);
    EXPECT_EQ (online ({}, false, 0), Success);
    EXPECT_TRUE (catalog->userid.isEmpty()) << "anonymous answers never carry a user";
    const auto anonFile = folder.getChildFile ("catit.xml");
    ASSERT_TRUE (anonFile.existsAsFile()) << "written even though the answer carried a userid";
    EXPECT_TRUE (anonFile.loadFileAsString().startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<catalog"));

    server.answerWith (userCatalog);
    EXPECT_EQ (online ("ada@example.com", false, 1), Success);
    EXPECT_EQ (catalog->userid, "ada@home:1");
    EXPECT_TRUE (folder.getChildFile ("catadahome1en.xml").existsAsFile());

    const auto requestsBefore = server.getRequests().size();
    std::unique_ptr<Catalog> cached;
    EXPECT_EQ (retrieveCachedUserCatalog (endpoint(), "ada@home:1", 1, cached), Success);
    ASSERT_NE (cached, nullptr);
    EXPECT_EQ (cached->username, "Ada");
    cached = nullptr;
    EXPECT_EQ (retrieveCachedAnonCatalog (endpoint(), 0, cached), Success);
    EXPECT_EQ (cached->getChapter ("a")->id, "a");
    cached = nullptr;
    EXPECT_EQ (retrieveCachedUserCatalog (endpoint(), "nobody", 1, cached), CacheMissing);
    EXPECT_EQ (cached, nullptr);
    EXPECT_EQ (server.getRequests().size(), requestsBefore) << "offline requests never reach the network";

    ASSERT_TRUE (folder.getChildFile ("caten.xml").replaceWithText ("<catalog><course"));
    EXPECT_EQ (retrieveCachedAnonCatalog (endpoint(), 1, cached), CacheUnreadable);
    ASSERT_TRUE (folder.getChildFile ("caten.xml").replaceWithText ("<catalog><course/></catalog>"));
    EXPECT_EQ (retrieveCachedAnonCatalog (endpoint(), 1, cached), InvalidResponse);
}

TEST_F (CatalogClient, ADamagedAnswerNeverReplacesAGoodCache)
{
    server.answerWith (anonCatalog);
    ASSERT_EQ (online(), Success);
    const auto cacheFile = folder.getChildFile ("caten.xml");
    const auto good = cacheFile.loadFileAsString();

    for (auto damaged : { "<catalog><course id=''/></catalog>", "<catalog><course", "<error code='dberror'/>", "" })
    {
        server.answerWith (damaged);
        EXPECT_NE (online(), Success);
        EXPECT_EQ (cacheFile.loadFileAsString(), good) << damaged;
    }
}

TEST_F (CatalogClient, UnwritableCacheFolderStillSucceeds)
{
    const auto blocker = folder.getChildFile ("blocker");
    ASSERT_TRUE (blocker.replaceWithText ("a file where the cache folder should be"));
    server.answerWith (anonCatalog);
    std::unique_ptr<Catalog> result;
    EXPECT_EQ (retrieveOnlineAnonCatalog ({ endpoint().catalogUrl, blocker.getChildFile ("cache") }, 1, false, nullptr, result), Success);
    EXPECT_NE (result, nullptr);
}

TEST_F (CatalogClient, LogLinesShortenBodiesAndHideThePassword)
{
    EXPECT_EQ (shortenForLog (juce::String::repeatedString ("a", 400)).length(), 400);
    const auto body401 = juce::String::repeatedString ("a", 300) + "b" + juce::String::repeatedString ("c", 100);
    EXPECT_EQ (shortenForLog (body401), juce::String::repeatedString ("a", 300) + "..." + juce::String::repeatedString ("c", 100));

    CapturedLog log;
    server.answerWith ("<error code='loginerror'/>");
    online ("ada@example.com", true);
    std::unique_ptr<Catalog> none;
    retrieveCachedAnonCatalog (endpoint(), 1, none);

    const auto lines = log.getLines();
    ASSERT_EQ (lines.size(), 4);
    EXPECT_EQ (lines[0], "retrieving online user catalog");
    EXPECT_EQ (lines[1], "retrieving URL: " + server.getBaseUrl() + "catalog.php?auth=1&username=ada%40example.com&password=********&lang=en&nocache=1");
    EXPECT_FALSE (lines[1].contains ("5f4dcc3b")) << "the password hash stays out of the log";
    EXPECT_EQ (lines[2], "received:\n<error code='loginerror'/>");
    EXPECT_EQ (lines[3], "retrieving cached anon catalog");

    server.answerWith ("<catalog><oops></catalog>");
    online();
    EXPECT_TRUE (log.getLines()[log.getLines().size() - 1].startsWith ("XML error:\n"));
}

TEST_F (CatalogClient, ErrorStatusesAndStallsAreNeverTakenAsACatalog)
{
    server.answerWith (anonCatalog);
    ASSERT_EQ (online(), Success);
    const auto cacheFile = folder.getChildFile ("caten.xml");
    const auto good = cacheFile.loadFileAsString();

    for (const auto status : { 500, 404 })
    {
        CapturedLog log;
        server.answerWith ("<catalog baseurl='http://x/'><course id='from-an-error-page'/></catalog>", status);
        EXPECT_EQ (online(), ServerError) << status;
        EXPECT_EQ (catalog, nullptr) << status;
        EXPECT_EQ (cacheFile.loadFileAsString(), good) << status;
        EXPECT_TRUE (log.getLines().contains ("HTTP status: " + juce::String (status))) << log.getText();
    }

    server.answerWith ({}, 503);
    EXPECT_EQ (online(), NoResponse) << "an empty answer is no answer, whatever its status";

    FaultServer stalling;
    FaultServer::Reply silent { juce::MemoryBlock (anonCatalog.toRawUTF8(), anonCatalog.getNumBytesAsUTF8()) };
    silent.answerDelayMs = 60000;
    stalling.answerWith (silent);
    ASSERT_TRUE (cacheFile.deleteFile());
    const auto start = juce::Time::getMillisecondCounterHiRes();
    EXPECT_EQ (retrieveOnlineAnonCatalog ({ stalling.getBaseUrl() + "catalog.php", folder, { 1000, 500, 100 } }, 1, false, nullptr, catalog), NoResponse);
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - start, 20000.0) << "only the stall limit ends a wait for an answer a minute away";
    EXPECT_FALSE (cacheFile.exists());
}

TEST_F (CatalogClient, TheCacheKeepsEveryValueAsTheServerSentIt)
{
    server.answerWith (juce::String::fromUTF8 ("<catalog baseurl='http://x/?a=1&amp;b=&quot;2&quot;'>"
                                               "<course id='c&lt;1&gt;' title='Caf\xc3\xa9 &#x263A; l&apos;arte' description='line one&#10;line two'>"
                                               "<lesson title='  spaced  '/><extra>text<![CDATA[ kept <raw> ]]></extra></course></catalog>"));
    ASSERT_EQ (online(), Success);
    EXPECT_TRUE (folder.getChildFile ("caten.xml").loadFileAsString().contains ("kept <raw>")) << "text below the root is kept as well";

    std::unique_ptr<Catalog> cached;
    ASSERT_EQ (retrieveCachedAnonCatalog (endpoint(), 1, cached), Success);
    EXPECT_EQ (cached->baseurl, "http://x/?a=1&b=\"2\"");
    const auto* course = cached->getCourse (0);
    EXPECT_EQ (course->id, "c<1>");
    EXPECT_EQ (course->title, juce::String::fromUTF8 ("Caf\xc3\xa9 \xe2\x98\xba l'arte"));
    EXPECT_EQ (course->description, "line one\nline two");
    EXPECT_EQ (course->getLesson (0)->title, "  spaced  ");
}

TEST_F (CatalogClient, HostileDocumentsNeitherCrashNorExpand)
{
    // 100,000 levels, about 1.5 MB: far deeper than any recursion on the stack could go.
    const auto nested = juce::String::repeatedString ("<level>", 100000) + juce::String::repeatedString ("</level>", 100000);
    server.answerWith ("<catalog><course id='c'/>" + nested + "</catalog>");
    ASSERT_EQ (online(), Success);
    std::unique_ptr<Catalog> cached;
    ASSERT_EQ (retrieveCachedAnonCatalog (endpoint(), 1, cached), Success) << "the deep cache file was written and reads back";
    EXPECT_EQ (cached->getNumCourses(), 1);
    server.answerWith (nested);
    EXPECT_EQ (online(), InvalidResponse);

    // Neither an external document type nor an internal subset is ever followed.
    ASSERT_TRUE (folder.getChildFile ("caten.xml").replaceWithText ("<!DOCTYPE catalog SYSTEM \"/dev/zero\">\n<catalog><course id='c' title='&zero;'/></catalog>"));
    ASSERT_EQ (retrieveCachedAnonCatalog (endpoint(), 1, cached), Success);
    EXPECT_EQ (cached->getCourse (0)->title, "&zero;") << "an undeclared entity stays as written";
    server.answerWith ("<!DOCTYPE catalog [<!ENTITY big \"aaaaaaaaaa\">]><catalog baseurl='&big;'/>");
    ASSERT_EQ (online(), Success);
    EXPECT_EQ (catalog->baseurl, "&big;");
}

TEST_F (CatalogClient, OnlyARegularFileIsReadAsTheCache)
{
    const auto cacheFile = folder.getChildFile ("caten.xml");
    std::unique_ptr<Catalog> cached;

    ASSERT_TRUE (juce::File ("/dev/zero").createSymbolicLink (cacheFile, true));
    EXPECT_EQ (retrieveCachedAnonCatalog (endpoint(), 1, cached), CacheMissing) << "a link to a device is no cached copy";
    ASSERT_TRUE (cacheFile.deleteFile());

    ASSERT_EQ (mkfifo (cacheFile.getFullPathName().toRawUTF8(), 0600), 0);
    EXPECT_EQ (retrieveCachedAnonCatalog (endpoint(), 1, cached), CacheMissing) << "nor is a pipe, which would block the reader";
    ASSERT_TRUE (cacheFile.deleteFile());

    const auto elsewhere = folder.getChildFile ("elsewhere.xml");
    ASSERT_TRUE (elsewhere.replaceWithText (anonCatalog));
    ASSERT_TRUE (elsewhere.createSymbolicLink (cacheFile, true));
    EXPECT_EQ (retrieveCachedAnonCatalog (endpoint(), 1, cached), Success) << "a link to a regular file is followed";
}

TEST (CatalogClientLog, BodiesAreShortenedByCharactersNotBytes)
{
    const auto e = juce::String::fromUTF8 ("\xc3\xa9");
    const auto body = juce::String::repeatedString (e, 300) + "x" + juce::String::repeatedString ("z", 99) + e;
    EXPECT_EQ (shortenForLog (body), juce::String::repeatedString (e, 300) + "..." + juce::String::repeatedString ("z", 99) + e);
}
