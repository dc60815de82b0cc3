#include "downloads/Checksums.h"
#include "downloads/DownloadExtrasThread.h"

#include "tests/common/JucePrinters.h"
#include "tests/common/MessagePump.h"
#include "tests/common/TestHttpServer.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>

namespace
{
juce::MemoryBlock bytesOf (const juce::String& text)
{
    return { text.toRawUTF8(), text.getNumBytesAsUTF8() };
}

/** A ZIP archive in memory from (stored path, content) pairs; a content starting with "->"
    makes a symbolic link to the rest.
*/
juce::MemoryBlock makeArchive (const std::vector<std::pair<juce::String, juce::String>>& entries, const juce::File& scratch)
{
    juce::ZipFile::Builder builder;

    for (const auto& [path, content] : entries)
    {
        if (content.startsWith ("->"))
        {
            const auto link = scratch.getNonexistentChildFile ("link", {});
            EXPECT_TRUE (juce::File (content.substring (2)).createSymbolicLink (link, true));
            builder.addFile (link, 9, path);
        }
        else
        {
            builder.addEntry (new juce::MemoryInputStream (bytesOf (content), true), 9, path, juce::Time::getCurrentTime());
        }
    }

    juce::MemoryOutputStream out;
    EXPECT_TRUE (builder.writeToStream (out, nullptr));
    return out.getMemoryBlock();
}

/** Every file and folder under a folder, hidden ones included, as paths relative to it, sorted. */
juce::StringArray listTree (const juce::File& folder)
{
    juce::StringArray paths;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories))
        paths.add (entry.getFile().getRelativePathFrom (folder));

    paths.sort (false);
    return paths;
}

/** Serves published extras under "/extras/<name>" and counts what it was asked for. */
class ExtrasServer final
{
public:
    ExtrasServer()
    {
        server.setHandler ([this] (const TestHttpServer::Request& request)
        {
            if (blocking)
                release.wait (20000);

            const std::lock_guard<std::mutex> lock (mutex);
            TestHttpServer::Response response;

            if (const auto found = files.find (request.path); found != files.end())
                response.data = found->second;
            else
                response.status = 404;

            return response;
        });
    }

    ~ExtrasServer() { release.signal(); }

    /** Publishes content under its checksum with an extension; returns its address. */
    juce::URL publish (const juce::MemoryBlock& content, const juce::String& extension)
    {
        return publishAs (Checksums::dataChecksum (content) + extension, content);
    }

    juce::URL publishAs (const juce::String& name, const juce::MemoryBlock& content)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        files["/extras/" + name] = content;
        return juce::URL (server.getBaseUrl() + "extras/" + name);
    }

    int countRequests() const { return (int) server.getRequests().size(); }

    juce::StringArray requestedPaths() const
    {
        juce::StringArray paths;

        for (const auto& request : server.getRequests())
            paths.add (request.path);

        return paths;
    }

    /** Holds every answer until released. */
    void holdAnswers() { blocking = true; }
    void releaseAnswers() { release.signal(); }

private:
    TestHttpServer server;
    std::mutex mutex;
    std::map<juce::String, juce::MemoryBlock> files;
    std::atomic<bool> blocking { false };
    juce::WaitableEvent release { true };
};

class DownloadExtrasThreadTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE (folder.createDirectory()); }

    void TearDown() override
    {
        extras = nullptr;
        folder.deleteRecursively();
    }

    DownloadExtrasThread& startThread()
    {
        extras = std::make_unique<DownloadExtrasThread> (dataFolder);
        extras->start();
        return *extras;
    }

    bool waitUntilIdle() { return MessagePump::runUntil ([this] { return extras->isIdle(); }); }

    const juce::File folder = juce::File::createTempFile ("tsy-extras");
    const juce::File dataFolder = folder.getChildFile ("data");
    ExtrasServer server;
    std::unique_ptr<DownloadExtrasThread> extras;
};
} // namespace

TEST (DownloadExtrasChecksum, TakenFromTheLastPathSegmentUpToItsFirstDot)
{
    const juce::String md5 ("0123456789abcdef0123456789ABCDEF");
    EXPECT_EQ (DownloadExtrasThread::getExpectedChecksum (juce::URL ("http://host:8642/extras/" + md5 + ".png?v=1.2")), md5);
    EXPECT_EQ (DownloadExtrasThread::getExpectedChecksum (juce::URL ("http://host/extras/" + md5)), md5) << "no extension";
    EXPECT_EQ (DownloadExtrasThread::getExpectedChecksum (juce::URL ("http://host/a.b/x.tar.gz")), "x");
    EXPECT_EQ (DownloadExtrasThread::getExpectedChecksum (juce::URL ("http://host/extras/")), "");
    EXPECT_EQ (DownloadExtrasThread::getExpectedChecksum (juce::URL ("http://host")), "");
    EXPECT_EQ (DownloadExtrasThread::getExpectedChecksum (juce::URL()), "");
}

TEST_F (DownloadExtrasThreadTest, FetchesEachKindUnderItsChecksumAndFindsIt)
{
    const auto cover = bytesOf ("cover picture");
    const auto credits = bytesOf ("credits picture");
    const auto archive = makeArchive ({ { "index.html", "<h1>Partners</h1>" }, { "img/logo.png", "logo" } }, folder);
    const auto coverUrl = server.publish (cover, ".png");
    const auto creditsUrl = server.publish (credits, ".jpg");
    const auto partnersUrl = server.publish (archive, ".zip");

    auto& thread = startThread();
    thread.requestCover ("C1", coverUrl);
    thread.requestCredits ("C1", creditsUrl);
    thread.requestPartners ("C1", partnersUrl);
    ASSERT_TRUE (waitUntilIdle());

    const auto coverFile = thread.findCoverFile ("C1");
    EXPECT_EQ (coverFile, dataFolder.getChildFile ("covers/C1/" + Checksums::dataChecksum (cover) + ".tyi"));
    juce::MemoryBlock stored;
    EXPECT_TRUE (coverFile.loadFileAsData (stored));
    EXPECT_EQ (stored, cover) << "kept as downloaded";
    EXPECT_EQ (thread.findCreditsFile ("C1"), dataFolder.getChildFile ("credits/C1/" + Checksums::dataChecksum (credits) + ".tyi"));

    const auto site = thread.findPartnersFolder ("C1");
    EXPECT_EQ (site, dataFolder.getChildFile ("partners/C1/" + Checksums::dataChecksum (archive)));
    EXPECT_EQ (listTree (dataFolder.getChildFile ("partners")),
               (juce::StringArray { "C1", "C1/" + site.getFileName(), "C1/" + site.getFileName() + "/img", "C1/" + site.getFileName() + "/img/logo.png", "C1/" + site.getFileName() + "/index.html" }))
        << "unpacked in place, the archive and the unpacking folder gone";
    EXPECT_EQ (site.getChildFile ("index.html").loadFileAsString(), "<h1>Partners</h1>");
    EXPECT_EQ (thread.findCoverFile ("other"), juce::File());
}

TEST_F (DownloadExtrasThreadTest, CurrentCopiesCostNoRequestAndNewVersionsReplaceThem)
{
    const auto cover = bytesOf ("cover v1");
    const auto archive = makeArchive ({ { "index.html", "v1" } }, folder);
    const auto coverUrl = server.publish (cover, ".png");
    const auto partnersUrl = server.publish (archive, ".zip");

    startThread().requestCover ("C1", coverUrl);
    extras->requestPartners ("C1", partnersUrl);
    ASSERT_TRUE (waitUntilIdle());
    ASSERT_EQ (server.countRequests(), 2);

    // A new start with the same catalog, the checksum in capitals this time.
    const auto upperCase = juce::URL (coverUrl.toString (false).replace (Checksums::dataChecksum (cover), Checksums::dataChecksum (cover).toUpperCase()));
    startThread().requestCover ("C1", upperCase);
    extras->requestPartners ("C1", partnersUrl);
    ASSERT_TRUE (waitUntilIdle());
    EXPECT_EQ (server.countRequests(), 2) << "current copies are not fetched again";

    const auto newCover = bytesOf ("cover v2");
    const auto newArchive = makeArchive ({ { "index.html", "v2" } }, folder);
    extras->requestCover ("C1", server.publish (newCover, ".png"));
    extras->requestPartners ("C1", server.publish (newArchive, ".zip"));
    ASSERT_TRUE (waitUntilIdle());
    EXPECT_EQ (listTree (dataFolder.getChildFile ("covers/C1")), juce::StringArray (Checksums::dataChecksum (newCover) + ".tyi"));
    EXPECT_EQ (listTree (dataFolder.getChildFile ("partners/C1")),
               (juce::StringArray { Checksums::dataChecksum (newArchive), Checksums::dataChecksum (newArchive) + "/index.html" }));
}

TEST_F (DownloadExtrasThreadTest, TheLaterOfTwoWaitingRequestsIsFetchedOnce)
{
    const auto first = server.publish (bytesOf ("first"), ".png");
    const auto second = server.publish (bytesOf ("second"), ".png");

    extras = std::make_unique<DownloadExtrasThread> (dataFolder);
    extras->requestCover ("C1", first);
    extras->requestCover ("C1", second);
    extras->start();
    ASSERT_TRUE (waitUntilIdle());

    EXPECT_EQ (server.requestedPaths(), juce::StringArray ("/extras/" + Checksums::dataChecksum (bytesOf ("second")) + ".png"));
    EXPECT_EQ (extras->findCoverFile ("C1").loadFileAsString(), "second");
}

TEST_F (DownloadExtrasThreadTest, FailuresDropTheRequestLeavingTheExtraMissing)
{
    const auto good = server.publish (bytesOf ("good"), ".png");
    startThread().requestCover ("C1", good);
    extras->requestCredits ("C1", good);
    ASSERT_TRUE (waitUntilIdle());
    ASSERT_NE (extras->findCoverFile ("C1"), juce::File());

    // Bytes that do not match the name, and a name the server does not have.
    extras->requestCover ("C1", server.publishAs (Checksums::dataChecksum (bytesOf ("other")) + ".png", bytesOf ("tampered")));
    extras->requestCredits ("C1", juce::URL (good.toString (false).replace (".png", "0.png")));
    ASSERT_TRUE (waitUntilIdle());
    EXPECT_TRUE (dataFolder.getChildFile ("covers/C1").isDirectory());
    EXPECT_TRUE (listTree (dataFolder.getChildFile ("covers/C1")).isEmpty()) << "the old copy went before the download";
    EXPECT_TRUE (listTree (dataFolder.getChildFile ("credits/C1")).isEmpty());

    // An address without a checksum is dropped before anything is touched.
    extras->requestCover ("C1", good);
    ASSERT_TRUE (waitUntilIdle());
    const auto requests = server.countRequests();
    extras->requestCover ("C1", juce::URL());
    extras->requestCover ("C1", juce::URL (good.toString (false).upToLastOccurrenceOf ("/", true, false)));
    ASSERT_TRUE (waitUntilIdle());
    EXPECT_NE (extras->findCoverFile ("C1"), juce::File());
    EXPECT_EQ (server.countRequests(), requests);
}

TEST_F (DownloadExtrasThreadTest, AnArchiveWithAnEntryOutsideItsFolderLeavesNothing)
{
    const auto outside = folder.getChildFile ("escaped.txt");
    const auto secret = folder.getChildFile ("secret.txt");
    ASSERT_TRUE (secret.create());
    const auto slip = makeArchive ({ { "index.html", "first entry" }, { "a/b.txt", "second" }, { "../../../../escaped.txt", "out" } }, folder);
    const auto linked = makeArchive ({ { "index.html", "site" }, { "secrets", "->" + secret.getFullPathName() } }, folder);

    startThread().requestPartners ("C1", server.publish (slip, ".zip"));
    extras->requestPartners ("C2", server.publish (linked, ".zip"));
    ASSERT_TRUE (waitUntilIdle());

    EXPECT_FALSE (outside.exists());
    EXPECT_EQ (extras->findPartnersFolder ("C1"), juce::File());
    EXPECT_EQ (extras->findPartnersFolder ("C2"), juce::File());

    EXPECT_EQ (listTree (dataFolder.getChildFile ("partners")), juce::StringArray ({ "C1", "C2" })) << "nothing of either archive is left";
}

TEST_F (DownloadExtrasThreadTest, ExtractionIsAllOrNothing)
{
    const auto archive = folder.getChildFile ("site.zip");
    const auto destination = folder.getChildFile ("site");
    ASSERT_TRUE (destination.getChildFile ("old.html").create());

    const auto site = makeArchive ({ { "index.html", "new" } }, folder);
    ASSERT_TRUE (archive.replaceWithData (site.getData(), site.getSize()));
    EXPECT_TRUE (DownloadExtrasThread::extractArchive (archive, destination));
    EXPECT_EQ (listTree (destination), juce::StringArray ("index.html")) << "the destination is replaced, not merged";

    const auto slip = makeArchive ({ { "index.html", "x" }, { "../evil.txt", "x" } }, folder);
    ASSERT_TRUE (archive.replaceWithData (slip.getData(), slip.getSize()));
    EXPECT_FALSE (DownloadExtrasThread::extractArchive (archive, destination));
    EXPECT_EQ (listTree (destination), juce::StringArray ("index.html")) << "a failed extraction leaves the destination alone";
    EXPECT_FALSE (folder.getChildFile ("evil.txt").exists());

    ASSERT_TRUE (archive.replaceWithText ("not an archive"));
    EXPECT_FALSE (DownloadExtrasThread::extractArchive (archive, destination));

    EXPECT_EQ (listTree (folder), juce::StringArray ({ "site", "site.zip", "site/index.html" })) << "no unpacking folder is left behind";
}

TEST_F (DownloadExtrasThreadTest, CourseIdentifiersStayInsideTheirKindsFolder)
{
    const auto keep = dataFolder.getChildFile ("preferences.xml");
    ASSERT_TRUE (keep.create());
    const auto cover = server.publish (bytesOf ("cover"), ".png");

    startThread().requestCover ("..", cover);
    extras->requestCover ("", cover);
    extras->requestCover ("../..", cover);
    extras->requestCover ("...", cover);
    extras->requestCover ("a..", cover);
    ASSERT_TRUE (waitUntilIdle());

    EXPECT_TRUE (keep.existsAsFile()) << "no course folder reaches above covers/";
    EXPECT_EQ (listTree (dataFolder), (juce::StringArray { "covers", "covers/a..", "covers/a../" + Checksums::dataChecksum (bytesOf ("cover")) + ".tyi", "preferences.xml" }))
        << "names of dots alone get no folder";
    EXPECT_EQ (extras->findCoverFile ("..."), juce::File());
}

TEST_F (DownloadExtrasThreadTest, RequestsFromManyThreadsAreAllFetched)
{
    constexpr int threads = 4, coursesEach = 10;
    std::vector<juce::URL> urls;

    for (int i = 0; i < threads * coursesEach; ++i)
        urls.push_back (server.publish (bytesOf ("cover " + juce::String (i)), ".png"));

    auto& thread = startThread();
    std::vector<std::unique_ptr<juce::Thread>> requesters;

    for (int t = 0; t < threads; ++t)
    {
        struct Requester final : juce::Thread
        {
            Requester (std::function<void()> w) : Thread ("requester"), work (std::move (w)) {}
            void run() override { work(); }
            std::function<void()> work;
        };

        requesters.push_back (std::make_unique<Requester> ([&thread, &urls, t]
        {
            for (int i = t * coursesEach; i < (t + 1) * coursesEach; ++i)
                thread.requestCover ("C" + juce::String (i), urls[(size_t) i]);
        }));
        requesters.back()->startThread();
    }

    for (auto& requester : requesters)
        ASSERT_TRUE (requester->waitForThreadToExit (10000));

    ASSERT_TRUE (waitUntilIdle());

    for (int i = 0; i < threads * coursesEach; ++i)
        EXPECT_EQ (thread.findCoverFile ("C" + juce::String (i)).loadFileAsString(), "cover " + juce::String (i));

    EXPECT_EQ (server.countRequests(), threads * coursesEach);
}

TEST_F (DownloadExtrasThreadTest, ARequestWakesTheWaitingThreadAtOnce)
{
    const auto cover = server.publish (bytesOf ("cover"), ".png");
    startThread().requestCover ("C1", cover);
    ASSERT_TRUE (waitUntilIdle());

    // Three empty tables in a row: the thread now waits. A partners request, the kind looked at
    // last, must still be found well before the wait would have ended by itself.
    const auto archive = server.publish (makeArchive ({ { "index.html", "site" } }, folder), ".zip");
    const auto start = juce::Time::getMillisecondCounter();
    extras->requestPartners ("C1", archive);
    EXPECT_TRUE (MessagePump::runUntil ([this] { return extras->findPartnersFolder ("C1") != juce::File(); }, DownloadExtrasThread::idleWaitMs * 3 / 4))
        << "found only after " << juce::Time::getMillisecondCounter() - start << " ms";
}

TEST_F (DownloadExtrasThreadTest, StoppingEndsAFetchThatHangs)
{
    server.holdAnswers();
    startThread().requestCover ("C1", server.publish (bytesOf ("cover"), ".png"));
    ASSERT_TRUE (MessagePump::runUntil ([this] { return server.countRequests() == 1; }));

    const auto start = juce::Time::getMillisecondCounter();
    extras->stop (10000);
    EXPECT_FALSE (extras->isThreadRunning());
    EXPECT_LT (juce::Time::getMillisecondCounter() - start, 5000u) << "the request was not cancelled";
    server.releaseAnswers();
    EXPECT_EQ (extras->findCoverFile ("C1"), juce::File());
}

TEST_F (DownloadExtrasThreadTest, AVerifiedWriteNeverLeavesAPartialFile)
{
    const auto target = folder.getChildFile ("x.tyi");
    ASSERT_TRUE (folder.createDirectory());
    EXPECT_TRUE (DownloadExtrasThread::writeVerified (target, bytesOf ("abc")));
    EXPECT_EQ (target.loadFileAsString(), "abc");

    EXPECT_FALSE (DownloadExtrasThread::writeVerified (folder.getChildFile ("missing/x.tyi"), bytesOf ("abc")));
    EXPECT_FALSE (folder.getChildFile ("missing").exists());
}
