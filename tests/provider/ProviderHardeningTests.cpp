#include "ProviderProcess.h"
#include "RawHttpConnection.h"
#include "ScratchFolder.h"
#include "ServiceTestSupport.h"
#include "TestLibraryWriter.h"
#include "provider/ProviderServer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using namespace ServiceTestSupport;

namespace
{
/** The real provider serving a generated library from a scratch folder. */
struct GeneratedProvider
{
    explicit GeneratedProvider (const juce::StringArray& extraArguments = {}, TestLibraryWriter::Layout layout = {})
    {
        TestLibraryWriter::write (library, layout);
        juce::StringArray arguments { "--library", library.getFullPathName() };
        arguments.addArray (extraArguments);
        process = std::make_unique<ProviderProcess> (arguments, scratch.get());
    }

    ScratchFolder scratch;
    const juce::File library = scratch.getChildFile ("library");
    std::unique_ptr<ProviderProcess> process;
};

const auto headTimeoutMs = provider::ProviderServer::connectionLimits().headTimeoutMs;
} // namespace

TEST (ProviderHardening, SlowHeadsNeitherHoldBackOrdinaryRequestsNorOutlastTheirDeadline)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    const auto port = provider.process->getPort();

    constexpr int slowClients = 16;
    std::vector<std::unique_ptr<RawHttpConnection>> slow;

    for (int i = 0; i < slowClients; ++i)
    {
        slow.push_back (std::make_unique<RawHttpConnection> (port));
        ASSERT_TRUE (slow.back()->send ("GET /catalog.php?auth=0&lang=it HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: "));
    }

    const auto startedAt = juce::Time::getMillisecondCounter();
    std::atomic<bool> dribbling { true };

    // One header byte a second from each, quicker than any read timeout.
    std::thread dribbler ([&] {
        while (dribbling)
            for (auto& connection : slow)
                if (connection->send ("x"))
                    connection->waitForClose (1000 / slowClients);
    });

    const auto answer = clientFor (*provider.process, (headTimeoutMs + 3000) / 1000)->Get ("/catalog.php?auth=0&lang=it&nocache=1");
    const auto answeredAfter = juce::Time::getMillisecondCounter() - startedAt;
    dribbling = false;
    dribbler.join();

    ASSERT_TRUE (answer) << "an ordinary request waited out its client";
    EXPECT_EQ (answer->status, 200);
    EXPECT_LT (answeredAfter, (juce::uint32) headTimeoutMs) << "request threads to spare: no wait at all";

    for (auto& connection : slow)
    {
        const auto remaining = (int) (startedAt + (juce::uint32) headTimeoutMs + 3000 - juce::Time::getMillisecondCounter());
        EXPECT_TRUE (connection->waitForClose (std::max (remaining, 0))) << "a slow head outlived its deadline";
        EXPECT_TRUE (connection->getReceived().rfind ("HTTP/1.1 408 ", 0) == 0) << connection->getReceived();
    }

    EXPECT_TRUE (provider.process->waitForOutput ("\" 408 ", 2000));
    EXPECT_FALSE (provider.process->readOutput().contains (" :-1 ")) << "every refused client is named";
}

TEST (ProviderHardening, RefusesFloodsOfHeaderFieldsAndStillStopsOnRequest)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    const auto port = provider.process->getPort();

    juce::StringArray manyFields;

    for (int i = 0; i < 60000; ++i)
        manyFields.add ("X-F" + juce::String (i) + ": v");

    const auto flood = RawHttpConnection::makeHead ("GET /catalog.php?auth=0&lang=en&nocache=1 HTTP/1.1", manyFields);
    std::vector<int> statuses (16, 0);
    std::vector<std::thread> floods;

    // Each is read while it is being sent: the server answers long before the last field.
    for (auto& status : statuses)
        floods.emplace_back ([&status, &flood, port] {
            RawHttpConnection connection (port);
            std::thread sender ([&connection, &flood] { connection.send (flood); });
            status = connection.receiveStatus (10000);
            sender.join();
        });

    for (auto& thread : floods)
        thread.join();

    for (auto status : statuses)
        EXPECT_EQ (status, 431);

    // The limit itself is fine: "Host" and 99 more fields.
    RawHttpConnection largest (port);
    largest.send (RawHttpConnection::makeHead ("GET /catalog.php?auth=0&lang=en&nocache=1 HTTP/1.1", juce::StringArray (manyFields.begin(), 99)));
    EXPECT_EQ (largest.receiveStatus (5000), 200);

    const auto stopStartedAt = juce::Time::getMillisecondCounter();
    EXPECT_EQ (provider.process->stop (10000), 0) << "SIGTERM ends the provider cleanly";
    EXPECT_LT (juce::Time::getMillisecondCounter() - stopStartedAt, 3000u);
}

TEST (ProviderHardening, NeverReadsRequestBodies)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    const auto port = provider.process->getPort();
    const auto peakBefore = peakMemoryKb (provider.process->getPid());

    // Only the heads are sent: a server waiting for the 300 MB would never answer.
    std::vector<std::thread> posts;
    std::vector<int> statuses (4, 0);

    for (auto& status : statuses)
        posts.emplace_back ([&status, port] {
            RawHttpConnection connection (port);
            connection.send (RawHttpConnection::makeHead ("POST /catalog.php HTTP/1.1", { "Content-Length: 300000000" }));
            status = connection.receiveStatus (5000);

            // Whatever follows is dropped unread, until the server closes.
            const std::string block (1024 * 1024, 'b');
            int sent = 0;

            while (sent < 30 && connection.send (block))
                ++sent;
        });

    for (auto& thread : posts)
        thread.join();

    for (auto status : statuses)
        EXPECT_EQ (status, 405);

    RawHttpConnection put (port);
    put.send (RawHttpConnection::makeHead ("PUT /videos/A/B/B.bin HTTP/1.1", { "Content-Length: 10", "Expect: 100-continue" }));
    EXPECT_EQ (put.receiveStatus (5000), 405) << "refused before the client is invited to send";
    EXPECT_EQ (put.getAnswerHeader ("Allow"), "GET, HEAD");

    RawHttpConnection getWithBody (port);
    getWithBody.send (RawHttpConnection::makeHead ("GET /catalog.php?auth=0&lang=it HTTP/1.1", { "Content-Length: 300000000" }));
    EXPECT_EQ (getWithBody.receiveStatus (5000), 413);

    EXPECT_LT (peakMemoryKb (provider.process->getPid()) - peakBefore, 20 * 1024);
    EXPECT_EQ (clientFor (*provider.process)->Get ("/catalog.php?auth=0&lang=it&nocache=1")->status, 200);
}

TEST (ProviderHardening, LoggedValuesCannotForgeLogLines)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();

    // needupdate = "A", a new line, then a whole forged entry.
    const std::string target = "/home.php?needupdate=A%0A2001-01-01T00:00:00%206.6.6.6:1%20%22GET%20/forged%20HTTP/1.1%22%20200%200"
                               "&x%0D%0Ay=%1B%5B31m";
    const auto answer = clientFor (*provider.process)->Get (target, httplib::Headers { { "X-Tsy-Customuseragent", "agent\x7f" } });
    ASSERT_TRUE (answer);

    ASSERT_TRUE (provider.process->waitForOutput ("GET /home.php?", 2000));
    const auto log = provider.process->readOutput();

    juce::StringArray lines;
    lines.addLines (log);

    for (auto& line : lines)
    {
        EXPECT_FALSE (line.startsWith ("2001-01-01")) << line;
        EXPECT_FALSE (line.containsChar (0x1b)) << line;
    }

    EXPECT_TRUE (log.contains ("    query needupdate=A\\n2001-01-01T00:00:00 6.6.6.6:1 \"GET /forged HTTP/1.1\" 200 0\n")) << log;
    EXPECT_TRUE (log.contains ("    query x\\r\\ny=\\x1b[31m\n")) << log;
    EXPECT_TRUE (log.contains ("    header X-Tsy-Customuseragent: agent\\x7f\n")) << log;
}

TEST (ProviderHardening, RefusesNulAndInvalidUtf8InPathsAndValuesAndLogsRawBytesAsThey)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    auto client = clientFor (*provider.process);
    const auto& user = TestLibraryWriter::firstUser();
    const auto signIn = "auth=1&username=" + juce::URL::addEscapeChars (user.email, true) + "&password=" + md5OfPassword (user.password);

    // A NUL would be cut off, an overlong or otherwise invalid sequence read as some other text.
    for (auto target : { catalogQuery ("auth=1%00&lang=en&nocache=1"),
                         catalogQuery ("auth=0&lang=en%00&nocache=1"),
                         catalogQuery (signIn.replace ("%40", "%40%00") + "&lang=en&nocache=1"),
                         catalogQuery ("auth=0&la%00ng=en&nocache=1"),
                         catalogQuery ("auth=0&lang=%c0%80en&nocache=1"),
                         juce::String ("/videos/%c0%ae%c0%ae/x/x.bin"),
                         juce::String ("/home.php?needupdate=%c1%a5"),
                         juce::String ("/home.php?needupdate=%ff"),
                         juce::String ("/extras/%ed%a0%80.png"),
                         juce::String ("/home.php?needupdate=%f4%90%80%80") })
    {
        const auto answer = client->Get (target.toStdString());
        ASSERT_TRUE (answer) << target;
        EXPECT_EQ (answer->status, 400) << target;
    }

    const auto valid = client->Get (catalogQuery ("auth=0&lang=en&nocache=1&x=%e2%82%ac%f0%9f%98%80").toStdString());
    ASSERT_TRUE (valid);
    EXPECT_EQ (valid->status, 200);

    // Header values may carry any byte; they are taken, and logged as the bytes they are.
    RawHttpConnection raw (provider.process->getPort());
    raw.send ("GET /home.php?debug=1 HTTP/1.1\r\nHost: x\r\nX-Tsy-Customuseragent: agent\xff\xc0\xae\r\nX-Other: %ff%00\r\nConnection: close\r\n\r\n");
    EXPECT_EQ (raw.receiveStatus (5000), 200);

    ASSERT_TRUE (provider.process->waitForOutput ("X-Other", 5000));
    const auto log = provider.process->readOutput();
    EXPECT_TRUE (log.contains ("    query needupdate=\\xff\n")) << log;
    EXPECT_TRUE (log.contains ("    query needupdate=\\xc1\\xa5\n")) << log;
    EXPECT_TRUE (log.contains ("    header X-Tsy-Customuseragent: agent\\xff\\xc0\\xae\n")) << log;
    EXPECT_TRUE (log.contains ("    header X-Other: \\xff\\x00\n")) << log;
    EXPECT_FALSE (provider.process->readErrors().contains ("Assertion")) << provider.process->readErrors();
}

TEST (ProviderHardening, MasksEveryValueUsedAsAPasswordWhateverTheQuerysShape)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    auto client = clientFor (*provider.process);
    const auto& user = TestLibraryWriter::firstUser();
    const auto hash = md5OfPassword (user.password);
    const auto email = juce::URL::addEscapeChars (user.email, true);

    int count = 0;

    for (auto shape : { "&=password=", "&==password=", "&password==", "&%70assword=" })
    {
        const auto root = getXml (*client, catalogQuery ("auth=1&username=" + email + shape + hash + "&lang=en&nocache=1&shape=" + juce::String (++count)));
        ASSERT_NE (root, nullptr) << shape;
        EXPECT_EQ (root->getStringAttribute ("userid"), user.id) << shape << ": signed in, so it was taken as the password";
    }

    ASSERT_TRUE (provider.process->waitForOutput ("shape=4", 5000));
    const auto log = provider.process->readOutput();
    EXPECT_FALSE (log.contains (hash)) << log;
    EXPECT_TRUE (log.contains ("    query password=********\n")) << log;
}

TEST (ProviderHardening, SilentClientsFillingEveryThreadDoNotStretchAnotherHeadsDeadline)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    const auto port = provider.process->getPort();

    std::vector<std::unique_ptr<RawHttpConnection>> silent;

    for (int i = 0; i < provider::ProviderServer::requestThreads + 6; ++i)
        silent.push_back (std::make_unique<RawHttpConnection> (port));

    RawHttpConnection slow (port);
    const auto connectedAt = juce::Time::getMillisecondCounter();
    ASSERT_TRUE (slow.send ("GET /catalog.php?auth=0&lang=it HTTP/1.1\r\nHost: 127.0.0.1\r\n"));

    EXPECT_EQ (slow.receiveStatus (3 * headTimeoutMs), 408) << slow.getReceived();
    const auto answeredAfter = juce::Time::getMillisecondCounter() - connectedAt;
    EXPECT_LT (answeredAfter, (juce::uint32) (headTimeoutMs * 3 / 2)) << answeredAfter << " ms";

    for (auto& connection : silent)
        EXPECT_TRUE (connection->waitForClose (2000));
}

TEST (ProviderHardening, ReadersWhoStopReadingLeaveTheCatalogToEveryoneElse)
{
    TestLibraryWriter::Layout layout;
    layout.lessonsPerCourse = 1;
    layout.chaptersPerLesson = 1;
    layout.videoBytes = 8 * 1024 * 1024;
    GeneratedProvider provider ({}, layout);
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    const auto port = provider.process->getPort();
    const auto id = TestLibraryWriter::chapterId ("en", 0, 0, 0);
    const auto path = "/videos/" + TestLibraryWriter::courseId ("en", 0) + "/" + id + "/" + id + ".bin";
    const auto socketTimeoutMs = provider::ProviderServer::connectionLimits().socketTimeoutMs;

    // More of them than there are request threads kept ready; each stops once its answer has
    // begun, far from its end, holding its thread in a write.
    const auto startedAt = juce::Time::getMillisecondCounter();
    std::vector<std::unique_ptr<RawHttpConnection>> stalled;

    for (int i = 0; i < provider::ProviderServer::requestThreads + 16; ++i)
    {
        stalled.push_back (std::make_unique<RawHttpConnection> (port, 4096));
        stalled.back()->send (RawHttpConnection::makeHead ("GET " + path + " HTTP/1.1"));
    }

    for (auto& reader : stalled)
        EXPECT_EQ (reader->receiveStatus (3 * socketTimeoutMs), 200);

    const auto answer = clientFor (*provider.process)->Get ("/catalog.php?auth=0&lang=en&nocache=1");
    ASSERT_TRUE (answer);
    EXPECT_EQ (answer->status, 200);

    // Waiting for threads, the last readers and the catalog would only have been served once
    // the first readers were cut off for their slowness, which takes a whole write timeout.
    const auto servedAfter = juce::Time::getMillisecondCounter() - startedAt;
    EXPECT_LT (servedAfter, (juce::uint32) socketTimeoutMs) << servedAfter << " ms";

    for (auto& reader : stalled)
        EXPECT_LT (reader->getReceived().size(), (size_t) layout.videoBytes) << "the answer was not held up";
}

TEST (ProviderHardening, AnswersRangesOnceEachAndRefusesRangesPastTheEnd)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    auto client = clientFor (*provider.process);

    const auto id = TestLibraryWriter::chapterId ("en", 0, 0, 0);
    const auto path = ("/videos/" + TestLibraryWriter::courseId ("en", 0) + "/" + id + "/" + id + ".bin").toStdString();
    juce::MemoryBlock bytes;
    ASSERT_TRUE (provider.library.getChildFile ("videos/" + id + ".mp4").loadFileAsData (bytes));
    const std::string video (static_cast<const char*> (bytes.getData()), bytes.getSize());
    ASSERT_EQ (video.size(), 2000u);

    const auto get = [&] (const std::string& range) { return client->Get (path, httplib::Headers { { "Range", range } }); };

    std::string copies = "bytes=0-1999";

    for (int i = 1; i < 60; ++i)
        copies += ",0-1999";

    const auto repeated = get (copies);
    ASSERT_TRUE (repeated);
    EXPECT_EQ (repeated->status, 206);
    EXPECT_EQ (repeated->get_header_value ("Content-Range"), "bytes 0-1999/2000");
    EXPECT_EQ (repeated->body.size(), video.size()) << "sent once, not sixty times";
    EXPECT_TRUE (repeated->body == video);

    const auto tail = get ("bytes=-100");
    ASSERT_TRUE (tail);
    EXPECT_EQ (tail->status, 206);
    EXPECT_EQ (tail->get_header_value ("Content-Range"), "bytes 1900-1999/2000");
    EXPECT_TRUE (tail->body == video.substr (1900));

    for (auto* pastTheEnd : { "bytes=2000-", "bytes=5000-6000", "bytes=2000-2000,3000-" })
    {
        const auto refused = get (pastTheEnd);
        ASSERT_TRUE (refused) << pastTheEnd;
        EXPECT_EQ (refused->status, 416) << pastTheEnd;
        EXPECT_EQ (refused->get_header_value ("Content-Range"), "bytes */2000") << pastTheEnd;
    }

    const auto two = get ("bytes=10-19,0-0");
    ASSERT_TRUE (two);
    EXPECT_EQ (two->status, 206);
    const auto type = juce::String (two->get_header_value ("Content-Type"));
    ASSERT_TRUE (type.startsWith ("multipart/byteranges; boundary=")) << type;
    const auto boundary = type.fromFirstOccurrenceOf ("boundary=", false, false).toStdString();
    EXPECT_TRUE (two->body == "--" + boundary + "\r\nContent-Type: application/octet-stream\r\nContent-Range: bytes 0-0/2000\r\n\r\n" + video.substr (0, 1)
                              + "\r\n--" + boundary + "\r\nContent-Type: application/octet-stream\r\nContent-Range: bytes 10-19/2000\r\n\r\n"
                              + video.substr (10, 10) + "\r\n--" + boundary + "--\r\n")
        << two->body.size() << " bytes";

    // A conditional range cannot be checked: the whole file goes.
    const auto conditional = client->Get (path, httplib::Headers { { "Range", "bytes=0-9" }, { "If-Range", "\"x\"" } });
    ASSERT_TRUE (conditional);
    EXPECT_EQ (conditional->status, 200);
    EXPECT_TRUE (conditional->body == video);

    // Ranges are for files; generated answers are always whole.
    const auto catalog = client->Get ("/catalog.php?auth=0&lang=en&nocache=1", httplib::Headers { { "Range", "bytes=0-9" } });
    ASSERT_TRUE (catalog);
    EXPECT_EQ (catalog->status, 200);
    EXPECT_GT (catalog->body.size(), 10u);
}

TEST (ProviderHardening, ADeeplyNestedManifestIsAProblemNotACrash)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto manifest = library.getChildFile ("library.xml");
    const auto good = manifest.loadFileAsString();
    const auto deep = good.replace ("<users>", juce::String::repeatedString ("<x>", 40000) + juce::String::repeatedString ("</x>", 40000) + "<users>");

    manifest.replaceWithText (deep);
    juce::ChildProcess refused;
    ASSERT_TRUE (refused.start (juce::StringArray { ProviderProcess::getExecutable().getFullPathName(), "--port", "0", "--library", library.getFullPathName() }));
    const auto output = refused.readAllProcessOutput();
    ASSERT_TRUE (refused.waitForProcessToFinish (10000));
    EXPECT_EQ (refused.getExitCode(), 1u) << output;
    EXPECT_TRUE (output.contains ("nested more than")) << output;

    manifest.replaceWithText (good);
    ProviderProcess provider ({ "--library", library.getFullPathName() }, scratch.get());
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();
    auto client = clientFor (provider);
    const auto request = catalogQuery ("auth=0&lang=it&nocache=1");

    manifest.replaceWithText (deep);
    EXPECT_TRUE (eventually (5000, [&] { return errorCodeOf (getXml (*client, request)) == "dberror"; }));
    EXPECT_TRUE (eventually (2000, [&] { return provider.readErrors().contains ("nested more than"); })) << provider.readErrors();

    manifest.replaceWithText (good);
    EXPECT_TRUE (eventually (5000, [&] { auto root = getXml (*client, request); return root != nullptr && root->hasTagName ("catalog"); }));
}

TEST (ProviderHardening, NeverServesWhatALinkLeadsToOutsideTheLibrary)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    auto client = clientFor (*provider.process);

    const auto secret = provider.scratch.getChildFile ("secret.txt");
    secret.replaceWithText ("secret outside the library");
    const auto id = TestLibraryWriter::chapterId ("it", 0, 0, 0);
    const auto video = provider.library.getChildFile ("videos/" + id + ".mp4");
    const auto path = ("/videos/" + TestLibraryWriter::courseId ("it", 0) + "/" + id + "/" + id + ".bin").toStdString();
    const auto request = catalogQuery ("auth=0&lang=it&nocache=1");

    ASSERT_TRUE (video.deleteFile());
    ASSERT_TRUE (secret.createSymbolicLink (video, false));

    // Whether the server has noticed yet or not, the secret never goes out.
    EXPECT_TRUE (eventually (5000, [&] {
        const auto answer = client->Get (path);
        EXPECT_TRUE (answer && answer->body.find ("secret outside") == std::string::npos);
        return answer && answer->status == 503;
    }));
    EXPECT_TRUE (eventually (5000, [&] { return errorCodeOf (getXml (*client, request)) == "dberror"; }));
    EXPECT_TRUE (eventually (2000, [&] { return provider.process->readErrors().contains ("through a symbolic link"); }))
        << provider.process->readErrors();

    // Refused at start too.
    ProviderProcess refused ({ "--library", provider.library.getFullPathName() }, provider.scratch.get());
    EXPECT_FALSE (refused.isRunning());

    // The refused path is still watched: the real file back in place is noticed.
    ASSERT_TRUE (video.deleteFile());
    TestLibraryWriter::writeBytes (video, 2000, 7);
    video.setLastModificationTime (juce::Time::getCurrentTime() - juce::RelativeTime::minutes (5));
    EXPECT_TRUE (eventually (5000, [&] { auto root = getXml (*client, request); return root != nullptr && root->hasTagName ("catalog"); }));
    EXPECT_EQ (client->Get (path)->status, 200);
}

TEST (ProviderHardening, AKilledProvidersWorkFolderGoesWithTheNextStart)
{
    GeneratedProvider provider;
    ASSERT_TRUE (provider.process->isRunning()) << provider.process->readErrors();
    const auto temporary = ProviderProcess::getTemporaryFolder (provider.scratch.get());
    const auto workFolders = [&temporary] { return temporary.findChildFiles (juce::File::findDirectories, false, "tsy-provider-*"); };
    ASSERT_EQ (workFolders().size(), 1);
    const auto leftBehind = workFolders().getFirst();

    ::kill (provider.process->getPid(), SIGKILL);
    EXPECT_EQ (provider.process->stop(), -1);
    EXPECT_TRUE (leftBehind.isDirectory()) << "nobody was left to delete it";

    ProviderProcess next ({ "--library", provider.library.getFullPathName() }, provider.scratch.get());
    ASSERT_TRUE (next.isRunning()) << next.readErrors();
    EXPECT_FALSE (leftBehind.exists());
    EXPECT_EQ (workFolders().size(), 1);

    EXPECT_EQ (next.stop(), 0);
    EXPECT_EQ (workFolders().size(), 0);
}
