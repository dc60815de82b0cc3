#include "ProviderProcess.h"
#include "ScratchFolder.h"
#include "ServiceTestSupport.h"
#include "TestLibraryWriter.h"
#include "model/CatalogParser.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <thread>

using namespace ServiceTestSupport;

namespace
{
/** Sends a raw request line, which a client library would not let through, and returns the
    status code of the answer.
*/
int rawRequestStatus (int port, const juce::String& requestLine)
{
    juce::StreamingSocket socket;

    if (! socket.connect ("127.0.0.1", port, 2000))
        return -1;

    const auto request = requestLine + "\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    socket.write (request.toRawUTF8(), (int) request.getNumBytesAsUTF8());

    char buffer[256] = {};
    int received = 0;

    while (received < 12 && socket.waitUntilReady (true, 2000) == 1)
    {
        const auto count = socket.read (buffer + received, (int) sizeof (buffer) - 1 - received, false);

        if (count <= 0)
            break;

        received += count;
    }

    return juce::String (buffer).fromFirstOccurrenceOf (" ", false, false).getIntValue();
}

const juce::XmlElement* findChapter (const juce::XmlElement& catalog, const juce::String& id)
{
    for (auto* course : catalog.getChildWithTagNameIterator ("course"))
        for (auto* lesson : course->getChildWithTagNameIterator ("lesson"))
            for (auto* chapter : lesson->getChildWithTagNameIterator ("chapter"))
                if (chapter->getStringAttribute ("id") == id)
                    return chapter;

    return nullptr;
}
} // namespace

TEST (ProviderService, AnswersEveryRequestOfTheSampleLibrary)
{
    ScratchFolder scratch;
    ProviderProcess provider ({ "--library", TestLibraryWriter::copySampleLibrary (scratch.get()).getFullPathName() }, scratch.get());
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    auto client = clientFor (provider);

    // Anonymous and signed-in catalogs.
    const auto anonymous = getXml (*client, catalogQuery ("auth=0&lang=it&nocache=1"));
    ASSERT_NE (anonymous, nullptr);
    EXPECT_TRUE (anonymous->hasTagName ("catalog"));
    EXPECT_FALSE (anonymous->hasAttribute ("userid"));
    EXPECT_EQ (anonymous->getStringAttribute ("baseurl"), provider.getOrigin() + "/videos/");
    EXPECT_EQ (anonymous->getStringAttribute ("homeurl"), provider.getOrigin() + "/home.php");
    EXPECT_EQ (anonymous->getStringAttribute ("win_version"), "1.36");
    EXPECT_GE (anonymous->getNumChildElements(), 3);

    const auto user = getXml (*client, userQuery ("giulia.rossi@example.com", "tessaly-giulia", "&lang=en&nocache=1"));
    ASSERT_NE (user, nullptr);
    EXPECT_EQ (user->getStringAttribute ("userid"), "1001");
    EXPECT_EQ (user->getStringAttribute ("username"), "Giulia Rossi");
    EXPECT_EQ (user->getChildElement (0)->getStringAttribute ("language"), "English");

    Catalog parsed;
    ASSERT_TRUE (CatalogParser::parseCatalog (parsed, *user, true)) << "the player must accept the sample catalog";
    EXPECT_EQ (parsed.userid, "1001");
    EXPECT_GE (parsed.chaptersById.size(), 3u * 2u * 2u);

    const auto cached = getXml (*client, userQuery ("giulia.rossi@example.com", "tessaly-giulia", "&lang=en"));
    ASSERT_NE (cached, nullptr);
    EXPECT_EQ (cached->getStringAttribute ("cached"), "1");
    EXPECT_EQ (cached->getIntAttribute ("refreshtime"), 600);
    EXPECT_EQ (cached->getNumChildElements(), 0);

    EXPECT_EQ (errorCodeOf (getXml (*client, userQuery ("giulia.rossi@example.com", "tessaly-mark", "&lang=it&nocache=1"))), "loginerror");
    EXPECT_EQ (errorCodeOf (getXml (*client, catalogQuery ("auth=1&username=giulia.rossi%40example.com&lang=it"))), "userpwdmissing");
    EXPECT_EQ (errorCodeOf (getXml (*client, catalogQuery ("auth=0&lang=de&nocache=1"))), "unsupportedlanguage");

    // Every chapter video, every extra and the installer match what the catalog says of them.
    for (auto* lang : { "it", "en" })
    {
        const auto catalog = getXml (*client, catalogQuery ("auth=0&nocache=1&lang=" + juce::String (lang)));
        ASSERT_NE (catalog, nullptr);
        const auto baseUrl = catalog->getStringAttribute ("baseurl");

        for (auto* course : catalog->getChildWithTagNameIterator ("course"))
        {
            const auto courseId = course->getStringAttribute ("id");

            for (auto* lesson : course->getChildWithTagNameIterator ("lesson"))
            {
                for (auto* chapter : lesson->getChildWithTagNameIterator ("chapter"))
                {
                    const auto id = chapter->getStringAttribute ("id");
                    const auto video = client->Get (pathOf (baseUrl + courseId + "/" + id + "/" + id + ".bin"));
                    ASSERT_TRUE (video) << id;
                    EXPECT_EQ (video->status, 200) << id;
                    EXPECT_EQ ((int) video->body.size(), chapter->getIntAttribute ("size")) << id;
                    EXPECT_EQ (md5OfBytes (video->body), chapter->getStringAttribute ("md5")) << id;
                }
            }

            for (auto* attribute : { "coverurl", "creditsurl", "partnersurl" })
            {
                const auto url = course->getStringAttribute (attribute);
                const auto extra = client->Get (pathOf (url));
                ASSERT_TRUE (extra) << url;
                EXPECT_EQ (extra->status, 200) << url;
                EXPECT_EQ (md5OfBytes (extra->body), url.fromLastOccurrenceOf ("/", false, false).upToFirstOccurrenceOf (".", false, false)) << url;

                if (juce::String (attribute) == "partnersurl")
                {
                    juce::MemoryInputStream zipStream (extra->body.data(), extra->body.size(), false);
                    juce::ZipFile zip (zipStream);
                    EXPECT_NE (zip.getEntry ("index.html"), nullptr) << url;
                }
                else
                {
                    EXPECT_TRUE (juce::ImageFileFormat::loadFrom (extra->body.data(), extra->body.size()).isValid()) << url;
                }
            }
        }
    }

    const auto installer = client->Get (pathOf (anonymous->getStringAttribute ("win_app")));
    ASSERT_TRUE (installer);
    EXPECT_EQ (installer->status, 200);
    EXPECT_EQ ((int) installer->body.size(), anonymous->getIntAttribute ("win_app_size"));
    EXPECT_GT (installer->body.size(), 0u);

    // Transcripts of every language.
    const auto transcripts = getXml (*client, catalogQuery ("nocache=1&auth=0&min=1"));
    ASSERT_NE (transcripts, nullptr);
    int texts = 0;

    for (auto* course : transcripts->getChildWithTagNameIterator ("course"))
        for (auto* lesson : course->getChildWithTagNameIterator ("lesson"))
            for (auto* chapter : lesson->getChildWithTagNameIterator ("chapter"))
                texts += chapter->getChildByName ("text") != nullptr && chapter->getChildByName ("text")->getAllSubText().startsWith ("[00:00]") ? 1 : 0;

    EXPECT_GE (texts, 2 * 3 * 2 * 2);

    // The home page as the player asks for it: a welcome in the catalog's language with the
    // updates and the courses.
    const auto homeQuery = anonymous->getStringAttribute ("homeurl") + "?loginbutton=1&username=Giulia%20Rossi&password=%24%24"
                         + md5OfPassword ("tessaly-giulia") + "&needupdate=MOD3D-IT-0101,LIGHT-IT-0102";
    const httplib::Headers playerHeader { { "X-Tsy-Customuseragent", "TSY-Player v1.36 UID=1001" } };
    const auto welcome = client->Get (pathOf (homeQuery), playerHeader);
    ASSERT_TRUE (welcome);
    EXPECT_EQ (welcome->status, 200);
    EXPECT_EQ (welcome->get_header_value ("Content-Type"), "text/html; charset=UTF-8");
    const auto welcomeHtml = juce::String::fromUTF8 (welcome->body.data(), (int) welcome->body.size());
    EXPECT_TRUE (welcomeHtml.contains ("<html lang=\"it\">"));
    EXPECT_TRUE (welcomeHtml.contains ("<h1 id=\"welcome\">Ciao, Giulia Rossi!</h1>"));
    EXPECT_TRUE (welcomeHtml.contains ("<li data-chapter=\"MOD3D-IT-0101\"><span class=\"chapter\">Benvenuti nel corso</span>"));
    EXPECT_TRUE (welcomeHtml.contains ("<li data-chapter=\"LIGHT-IT-0102\"><span class=\"chapter\">La luce di riempimento</span>"));
    EXPECT_FALSE (welcomeHtml.contains (md5OfPassword ("tessaly-giulia")));

    // Every cover on it is one the provider serves, of the page's language.
    int covers = 0;

    for (auto* course : anonymous->getChildWithTagNameIterator ("course"))
    {
        const auto coverUrl = course->getStringAttribute ("coverurl");
        ASSERT_TRUE (welcomeHtml.contains ("<img src=\"" + coverUrl + "\"")) << coverUrl;
        EXPECT_EQ (client->Get (pathOf (coverUrl))->status, 200);
        ++covers;
    }

    EXPECT_EQ (covers, 3);
    EXPECT_EQ ((welcomeHtml.length() - welcomeHtml.replace ("<img ", "").length()) / 5, covers) << "no covers of the other language";

    // Its diagnostic view shows what it received.
    const auto home = client->Get (pathOf (homeQuery + "&debug=1"), playerHeader);
    ASSERT_TRUE (home);
    EXPECT_EQ (home->status, 200);
    EXPECT_EQ (home->get_header_value ("Content-Type"), "text/html; charset=UTF-8");
    const auto html = juce::String::fromUTF8 (home->body.data(), (int) home->body.size());
    EXPECT_TRUE (html.contains ("<td id=\"useragent\">TSY-Player v1.36 UID=1001</td>"));
    EXPECT_TRUE (html.contains ("<td id=\"loginbutton\">1</td>"));
    EXPECT_TRUE (html.contains ("<td id=\"username\">Giulia Rossi</td>"));
    EXPECT_TRUE (html.contains ("<td id=\"password\">accepted for Giulia Rossi</td>"));
    EXPECT_TRUE (html.contains ("<li>MOD3D-IT-0101 &ndash; Benvenuti nel corso</li><li>LIGHT-IT-0102 &ndash; La luce di riempimento</li>"));

    // The access log on standard output shows each request with its query and headers.
    ASSERT_TRUE (provider.waitForOutput ("GET /home.php?", 2000));
    const auto log = provider.readOutput();
    EXPECT_TRUE (log.startsWith ("listening on http://127.0.0.1:" + juce::String (provider.getPort()) + "/\n"));
    EXPECT_TRUE (log.contains ("\"GET /catalog.php?auth=1&username=giulia.rossi%40example.com&password=********&lang=en&nocache=1 HTTP/1.1\" 200 "));
    EXPECT_TRUE (log.contains ("    query username=giulia.rossi@example.com\n    query password=********\n    query lang=en\n"));
    EXPECT_TRUE (log.contains ("    header X-Tsy-Customuseragent: TSY-Player v1.36 UID=1001\n"));
    EXPECT_TRUE (log.contains ("    query needupdate=MOD3D-IT-0101,LIGHT-IT-0102\n"));
    EXPECT_TRUE (log.contains ("\"GET /videos/MOD3D-IT/MOD3D-IT-0101/MOD3D-IT-0101.bin HTTP/1.1\" 200 "));
    EXPECT_FALSE (log.contains (md5OfPassword ("tessaly-giulia")));

    EXPECT_EQ (provider.stop(), 0) << "a stop request ends the provider cleanly";
}

TEST (ProviderService, ASignedInRefreshWithTheCatalogsUserNameIsAccepted)
{
    ScratchFolder scratch;
    ProviderProcess provider ({ "--library", TestLibraryWriter::copySampleLibrary (scratch.get()).getFullPathName() }, scratch.get());
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    auto client = clientFor (provider);

    // The start-up retrieval signs in with the e-mail address; refreshes send back the catalog's
    // "username" with the same password hash.
    const auto signedIn = getXml (*client, userQuery ("giulia.rossi@example.com", "tessaly-giulia", "&lang=it&nocache=1"));
    ASSERT_NE (signedIn, nullptr);
    const auto userName = signedIn->getStringAttribute ("username");
    EXPECT_EQ (userName, "Giulia Rossi");

    const auto refresh = getXml (*client, userQuery (userName, "tessaly-giulia", "&lang=it"));
    ASSERT_NE (refresh, nullptr);
    EXPECT_TRUE (refresh->hasTagName ("catalog")) << refresh->toString();
    EXPECT_EQ (refresh->getStringAttribute ("cached"), "1");

    const auto full = getXml (*client, userQuery (userName, "tessaly-giulia", "&lang=en&nocache=1"));
    ASSERT_NE (full, nullptr);
    EXPECT_EQ (full->getStringAttribute ("userid"), "1001");
    EXPECT_EQ (full->getStringAttribute ("username"), userName);

    EXPECT_EQ (errorCodeOf (getXml (*client, userQuery (userName, "tessaly-mark", "&lang=it"))), "loginerror");
    EXPECT_EQ (errorCodeOf (getXml (*client, userQuery ("Mark Evans", "tessaly-mark", "&lang=it&nocache=1"))), "(no error)");
}

TEST (ProviderService, NeverServesAFileOutsideWhatItPublishes)
{
    ScratchFolder scratch;
    const auto library = TestLibraryWriter::copySampleLibrary (scratch.get());
    scratch.getChildFile ("secret.txt").replaceWithText ("secret outside the library");
    ProviderProcess provider ({ "--library", library.getFullPathName() }, scratch.get());
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    auto client = clientFor (provider);

    for (auto* path : { "/videos/..%2f..%2fsecret.txt",
                        "/videos/MOD3D-IT/..%2f..%2f..%2fsecret.txt/x.bin",
                        "/videos/MOD3D-IT/MOD3D-IT-0101/..%2f..%2flibrary.xml",
                        "/videos/..%2F..%2F..%2Fetc%2Fpasswd",
                        "/extras/..%2flibrary.xml",
                        "/extras/%2e%2e%2f%2e%2e%2fsecret.txt",
                        "/extras/%2e%2e",
                        "/download/..%2flibrary.xml",
                        "/download/%2fetc%2fpasswd",
                        "/download/..%5c..%5csecret.txt",
                        "/videos/%2fetc/passwd/passwd.bin",
                        "/library.xml",
                        "/videos/MOD3D-IT/MOD3D-IT-0101/MOD3D-IT-0101.mp4",
                        "/videos/LIGHT-IT/MOD3D-IT-0101/MOD3D-IT-0101.bin",
                        "/installer/tsy-player-installer.sh",
                        "//etc/passwd",
                        "/%2e%2e/%2e%2e/etc/passwd" })
    {
        const auto result = client->Get (path);
        ASSERT_TRUE (result) << path;
        EXPECT_GE (result->status, 400) << path;
        EXPECT_LT (result->status, 500) << path;
        EXPECT_EQ (result->body.find ("secret outside"), std::string::npos) << path;
        EXPECT_EQ (result->body.find ("<library"), std::string::npos) << path;
        EXPECT_EQ (result->body.find ("root:"), std::string::npos) << path;
    }

    for (auto* requestLine : { "GET ../secret.txt HTTP/1.1",
                               "GET /etc/passwd HTTP/1.1",
                               "GET http://127.0.0.1/../secret.txt HTTP/1.1",
                               "GET /videos/../../secret.txt HTTP/1.1",
                               "POST /catalog.php HTTP/1.1",
                               "NONSENSE" })
    {
        const auto status = rawRequestStatus (provider.getPort(), requestLine);
        EXPECT_GE (status, 400) << requestLine;
        EXPECT_LT (status, 500) << requestLine;
    }

    // Still serving normally afterwards.
    EXPECT_EQ (client->Get ("/videos/MOD3D-IT/MOD3D-IT-0101/MOD3D-IT-0101.bin")->status, 200);
}

TEST (ProviderService, MaintenanceSwitchesOnAndOffWhileRunning)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    ProviderProcess provider ({ "--library", library.getFullPathName() }, scratch.get());
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    auto client = clientFor (provider);
    const auto request = catalogQuery ("auth=0&lang=it&nocache=1");

    EXPECT_TRUE (getXml (*client, request)->hasTagName ("catalog"));

    library.getChildFile ("MAINTENANCE").replaceWithText ("Back at 14:00\n");
    auto root = getXml (*client, request);
    ASSERT_NE (root, nullptr);
    EXPECT_TRUE (root->hasTagName ("maintenance"));
    EXPECT_EQ (root->getStringAttribute ("message"), "Back at 14:00");
    EXPECT_TRUE (getXml (*client, catalogQuery ("nocache=1&auth=0&min=1"))->hasTagName ("maintenance"));

    // Downloads go on meanwhile.
    const auto id = TestLibraryWriter::chapterId ("it", 0, 0, 0);
    EXPECT_EQ (client->Get (("/videos/" + TestLibraryWriter::courseId ("it", 0) + "/" + id + "/" + id + ".bin").toStdString())->status, 200);

    ASSERT_TRUE (library.getChildFile ("MAINTENANCE").deleteFile());
    EXPECT_TRUE (getXml (*client, request)->hasTagName ("catalog"));

    ProviderProcess startedInMaintenance ({ "--library", library.getFullPathName(), "--maintenance" }, scratch.get());
    ASSERT_TRUE (startedInMaintenance.isRunning());
    EXPECT_TRUE (getXml (*clientFor (startedInMaintenance), request)->hasTagName ("maintenance"));
}

TEST (ProviderService, AChangedLibraryIsSentInFullForTheRefreshInterval)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    ProviderProcess provider ({ "--library", library.getFullPathName(), "--refresh-seconds", "2" }, scratch.get());
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    auto client = clientFor (provider);
    const auto request = catalogQuery ("auth=0&lang=it");

    const auto isCached = [&client, &request] {
        auto root = getXml (*client, request);
        return root != nullptr && root->getStringAttribute ("cached") == "1" && root->getIntAttribute ("refreshtime") == 2;
    };

    EXPECT_TRUE (isCached()) << "starting is not a change";

    const auto manifest = library.getChildFile ("library.xml");
    manifest.replaceWithText (manifest.loadFileAsString().replace ("it course 1", "corso nuovo"));
    const auto changedAt = juce::Time::getMillisecondCounter();

    ASSERT_TRUE (eventually (5000, [&] {
        auto root = getXml (*client, request);
        return root != nullptr && root->getNumChildElements() == 1
            && root->getChildElement (0)->getStringAttribute ("title") == "corso nuovo";
    }));

    ASSERT_TRUE (eventually (5000, isCached));
    EXPECT_GE (juce::Time::getMillisecondCounter() - changedAt, 1900u);

    // A library that cannot be loaded is a database error until it is mended.
    const auto good = manifest.loadFileAsString();
    manifest.replaceWithText ("<library>");
    ASSERT_TRUE (eventually (5000, [&] { return errorCodeOf (getXml (*client, request)) == "dberror"; }));
    EXPECT_EQ (client->Get ("/download/Setup%20File.exe")->status, 503);

    manifest.replaceWithText (good);
    ASSERT_TRUE (eventually (5000, [&] { return getXml (*client, request)->getNumChildElements() == 1; }));
}

TEST (ProviderService, WritesTheAccessLogToAFileAndHandsOutThePublicAddress)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto logFile = scratch.getChildFile ("logs/access.log");
    logFile.getParentDirectory().createDirectory();
    ProviderProcess provider ({ "--library", library.getFullPathName(), "--access-log", logFile.getFullPathName(),
                                "--public-url", "http://tessaly.example:8080/service/" },
                              scratch.get());
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    auto client = clientFor (provider);

    const auto root = getXml (*client, catalogQuery ("auth=0&lang=en&nocache=1"));
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getStringAttribute ("baseurl"), "http://tessaly.example:8080/service/videos/");
    EXPECT_EQ (root->getStringAttribute ("win_app"), "http://tessaly.example:8080/service/download/Setup%20File.exe");
    EXPECT_TRUE (root->getChildElement (0)->getStringAttribute ("coverurl").startsWith ("http://tessaly.example:8080/service/extras/"));

    ASSERT_TRUE (eventually (2000, [&] { return logFile.loadFileAsString().contains ("    query lang=en\n"); }));
    EXPECT_TRUE (logFile.loadFileAsString().contains ("\"GET /catalog.php?auth=0&lang=en&nocache=1 HTTP/1.1\" 200 "));
    EXPECT_EQ (provider.readOutput().trim(), "listening on http://127.0.0.1:" + juce::String (provider.getPort()) + "/");
}

TEST (ProviderService, RefusesToStartOnAnUnusableLibrary)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    library.getChildFile ("installer/Setup File.exe").deleteFile();

    juce::ChildProcess process;
    ASSERT_TRUE (process.start (juce::StringArray { ProviderProcess::getExecutable().getFullPathName(), "--port", "0", "--library", library.getFullPathName() }));
    const auto output = process.readAllProcessOutput();
    ASSERT_TRUE (process.waitForProcessToFinish (10000));
    EXPECT_EQ (process.getExitCode(), 1u);
    EXPECT_TRUE (output.contains ("Setup File.exe")) << output;
    EXPECT_FALSE (output.contains ("listening on"));
}

TEST (ProviderService, ServesTwoLargeDownloadsAtOnceWithoutHoldingTheFiles)
{
    constexpr juce::int64 largeSize = 50 * 1024 * 1024;
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::Layout layout;
    layout.lessonsPerCourse = 1;
    layout.withExtras = false;
    TestLibraryWriter::write (library, layout);

    const juce::String ids[] = { TestLibraryWriter::chapterId ("en", 0, 0, 0), TestLibraryWriter::chapterId ("en", 0, 0, 1) };

    for (int i = 0; i < 2; ++i)
        TestLibraryWriter::writeBytes (library.getChildFile ("videos/" + ids[i] + ".mp4"), largeSize, 50 + i);

    ProviderProcess provider ({ "--library", library.getFullPathName() }, scratch.get());
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();

    const auto catalog = getXml (*clientFor (provider), catalogQuery ("auth=0&lang=en&nocache=1"));
    ASSERT_NE (catalog, nullptr);
    const auto peakBefore = peakMemoryKb (provider.getPid());

    struct Download
    {
        juce::String id, expectedMd5;
        int status = 0;
        juce::int64 contentLength = -1;
        std::string body;
    };

    Download downloads[2];
    std::atomic<int> started { 0 };
    std::atomic<bool> overlapped { true };

    const auto fetch = [&] (Download& download) {
        download.body.reserve ((size_t) largeSize);
        const auto path = ("/videos/" + TestLibraryWriter::courseId ("en", 0) + "/" + download.id + "/" + download.id + ".bin").toStdString();
        bool first = true;

        clientFor (provider)->Get (
            path,
            [&download] (const httplib::Response& response) {
                download.status = response.status;
                download.contentLength = juce::String (response.get_header_value ("Content-Length")).getLargeIntValue();
                return true;
            },
            [&] (const char* data, size_t length) {
                // Each download waits, after its first block, for the other to begin: a server
                // that served one client at a time would never let the second begin.
                if (std::exchange (first, false))
                {
                    ++started;

                    if (! eventually (5000, [&started] { return started == 2; }))
                        overlapped = false;
                }

                download.body.append (data, length);
                return true;
            });
    };

    for (int i = 0; i < 2; ++i)
    {
        auto* chapter = findChapter (*catalog, ids[i]);
        ASSERT_NE (chapter, nullptr) << ids[i];
        EXPECT_EQ (chapter->getStringAttribute ("size"), juce::String (largeSize));
        downloads[i].id = ids[i];
        downloads[i].expectedMd5 = chapter->getStringAttribute ("md5");
    }

    std::thread first (fetch, std::ref (downloads[0]));
    std::thread second (fetch, std::ref (downloads[1]));
    first.join();
    second.join();

    EXPECT_TRUE (overlapped);

    for (auto& download : downloads)
    {
        EXPECT_EQ (download.status, 200) << download.id;
        EXPECT_EQ (download.contentLength, largeSize) << download.id;
        EXPECT_EQ ((juce::int64) download.body.size(), largeSize) << download.id;
        EXPECT_EQ (md5OfBytes (download.body), download.expectedMd5) << download.id;
    }

    // Reading either file whole would have raised the peak by 50 MB at least.
    EXPECT_LT (peakMemoryKb (provider.getPid()) - peakBefore, 20 * 1024);
}
