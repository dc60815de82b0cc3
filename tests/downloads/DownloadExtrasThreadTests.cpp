#include "downloads/Checksums.h"
#include "downloads/DownloadExtrasThread.h"

#include "tests/common/JucePrinters.h"
#include "tests/common/MessagePump.h"
#include "tests/common/TestHttpServer.h"
#include "tests/common/TestPictures.h"
#include "tests/downloads/ZipBomb.h"
#include "tests/common/CapturedLog.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <thread>

namespace
{
juce::MemoryBlock bytesOf (const juce::String& text)
{
    return { text.toRawUTF8(), text.getNumBytesAsUTF8() };
}

/** A small picture of its own for each number, as the extras thread accepts only real ones. */
juce::MemoryBlock picture (int number)
{
    return TestPictures::write (juce::PNGImageFormat(), 1 + number, 3, juce::Colours::darkcyan);
}

juce::MemoryBlock contentOf (const juce::File& file)
{
    juce::MemoryBlock data;
    file.loadFileAsData (data);
    return data;
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

/** Serves published extras under "/extras/<name>", optionally holding every answer until released. */
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

    TestHttpServer server;
    std::atomic<bool> blocking { false };
    juce::WaitableEvent release { true };

private:
    std::mutex mutex;
    std::map<juce::String, juce::MemoryBlock> files;
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

TEST_F (DownloadExtrasThreadTest, FetchesEachKindOnceAndNewVersionsReplaceTheOld)
{
    const auto cover = picture (1);
    const auto credits = TestPictures::write (juce::JPEGImageFormat(), 6, 4, juce::Colours::teal);
    const auto archive = makeArchive ({ { "index.html", "<h1>Partners</h1>" }, { "img/logo.png", "logo" } }, folder);
    const auto coverUrl = server.publish (cover, ".png");
    const auto partnersUrl = server.publish (archive, ".zip");

    startThread().requestCover ("C1", coverUrl);
    extras->requestCredits ("C1", server.publish (credits, ".jpg"));
    extras->requestPartners ("C1", partnersUrl);
    ASSERT_TRUE (waitUntilIdle());

    const auto coverFile = extras->findCoverFile ("C1");
    EXPECT_EQ (coverFile, dataFolder.getChildFile ("covers/C1/" + Checksums::dataChecksum (cover) + ".tyi"));
    EXPECT_EQ (contentOf (coverFile), cover);
    EXPECT_EQ (contentOf (extras->findCreditsFile ("C1")), credits);
    const auto site = extras->findPartnersFolder ("C1");
    EXPECT_EQ (site, dataFolder.getChildFile ("partners/C1/" + Checksums::dataChecksum (archive)));
    EXPECT_EQ (listTree (dataFolder.getChildFile ("partners/C1")),
               (juce::StringArray { site.getFileName(), site.getFileName() + "/img", site.getFileName() + "/img/logo.png", site.getFileName() + "/index.html" }))
        << "unpacked in place, the archive and the unpacking folder gone";

    // A new start with the same catalog, the checksum in capitals this time.
    const auto upperCase = juce::URL (coverUrl.toString (false).replace (Checksums::dataChecksum (cover), Checksums::dataChecksum (cover).toUpperCase()));
    startThread().requestCover ("C1", upperCase);
    extras->requestPartners ("C1", partnersUrl);
    ASSERT_TRUE (waitUntilIdle());
    EXPECT_EQ (server.countRequests(), 3) << "current copies are not fetched again";

    const auto newCover = picture (2);
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
    const auto first = server.publish (picture (1), ".png");
    const auto second = server.publish (picture (2), ".png");

    extras = std::make_unique<DownloadExtrasThread> (dataFolder);
    extras->requestCover ("C1", first);
    extras->requestCover ("C1", second);
    extras->start();
    ASSERT_TRUE (waitUntilIdle());

    EXPECT_EQ (server.countRequests(), 1);
    EXPECT_EQ (contentOf (extras->findCoverFile ("C1")), picture (2));
}

TEST_F (DownloadExtrasThreadTest, FailuresDropTheRequestLeavingTheExtraMissing)
{
    const auto good = server.publish (picture (1), ".png");
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

TEST_F (DownloadExtrasThreadTest, HostileArchivesLeaveNothing)
{
    const auto secret = folder.getChildFile ("secret.txt");
    ASSERT_TRUE (secret.create());
    const auto slip = makeArchive ({ { "index.html", "first entry" }, { "a/b.txt", "second" }, { "../../../../escaped.txt", "out" } }, folder);
    const auto linked = makeArchive ({ { "index.html", "site" }, { "secrets", "->" + secret.getFullPathName() } }, folder);

    startThread().requestPartners ("C1", server.publish (slip, ".zip"));
    extras->requestPartners ("C2", server.publish (linked, ".zip"));
    extras->requestPartners ("C3", server.publish (bytesOf ("not an archive"), ".zip"));
    ASSERT_TRUE (waitUntilIdle());

    EXPECT_FALSE (folder.getChildFile ("escaped.txt").exists());
    EXPECT_EQ (extras->findPartnersFolder ("C1"), juce::File());
    EXPECT_EQ (extras->findPartnersFolder ("C2"), juce::File());
    EXPECT_EQ (listTree (dataFolder.getChildFile ("partners")), juce::StringArray ({ "C1", "C2", "C3" })) << "nothing of any archive is left";
}

TEST_F (DownloadExtrasThreadTest, CourseIdentifiersStayInsideTheirKindsFolder)
{
    const auto keep = dataFolder.getChildFile ("preferences.xml");
    ASSERT_TRUE (keep.create());
    const auto cover = server.publish (picture (1), ".png");

    startThread();

    for (const auto* id : { "..", "", "../..", "...", "a.." })
        extras->requestCover (id, cover);

    ASSERT_TRUE (waitUntilIdle());
    EXPECT_TRUE (keep.existsAsFile()) << "no course folder reaches above covers/";
    EXPECT_EQ (listTree (dataFolder), (juce::StringArray { "covers", "covers/a..", "covers/a../" + Checksums::dataChecksum (picture (1)) + ".tyi", "preferences.xml" }))
        << "names of dots alone get no folder";
    EXPECT_EQ (extras->findCoverFile ("..."), juce::File());
}

TEST_F (DownloadExtrasThreadTest, RequestsFromManyThreadsAreAllFetched)
{
    constexpr int threads = 4, coursesEach = 10;
    std::vector<juce::URL> urls;

    for (int i = 0; i < threads * coursesEach; ++i)
        urls.push_back (server.publish (picture (i), ".png"));

    auto& thread = startThread();
    std::vector<std::thread> requesters;

    for (int t = 0; t < threads; ++t)
        requesters.emplace_back ([&thread, &urls, t]
        {
            for (int i = t * coursesEach; i < (t + 1) * coursesEach; ++i)
                thread.requestCover ("C" + juce::String (i), urls[(size_t) i]);
        });

    for (auto& requester : requesters)
        requester.join();

    ASSERT_TRUE (waitUntilIdle());

    for (int i = 0; i < threads * coursesEach; ++i)
        EXPECT_EQ (contentOf (thread.findCoverFile ("C" + juce::String (i))), picture (i));

    EXPECT_EQ (server.countRequests(), threads * coursesEach);
}

TEST_F (DownloadExtrasThreadTest, ARequestWakesTheWaitingThreadAtOnce)
{
    startThread().requestCover ("C1", server.publish (picture (0), ".png"));
    ASSERT_TRUE (waitUntilIdle());

    // The thread now waits; a partners request, the kind looked at last, must still be found
    // well before the wait would have ended by itself.
    extras->requestPartners ("C1", server.publish (makeArchive ({ { "index.html", "site" } }, folder), ".zip"));
    EXPECT_TRUE (MessagePump::runUntil ([this] { return extras->findPartnersFolder ("C1") != juce::File(); }, DownloadExtrasThread::idleWaitMs * 3 / 4));
}

TEST_F (DownloadExtrasThreadTest, StoppingEndsAFetchThatHangs)
{
    server.blocking = true;
    startThread().requestCover ("C1", server.publish (bytesOf ("cover"), ".png"));
    ASSERT_TRUE (MessagePump::runUntil ([this] { return server.countRequests() == 1; }));

    const auto start = juce::Time::getMillisecondCounter();
    extras->stop (10000);
    EXPECT_FALSE (extras->isThreadRunning());
    EXPECT_LT (juce::Time::getMillisecondCounter() - start, 5000u) << "the request was not cancelled";
    server.release.signal();
    EXPECT_EQ (extras->findCoverFile ("C1"), juce::File());
}

TEST_F (DownloadExtrasThreadTest, DamagedAndHugePicturesAreNeverFiledAndAreLogged)
{
    const CapturedLog log;
    const char* files[] = { "broken-idat.png", "truncated-noise.jpg", "huge-40000.png", "huge-65500.jpg" };
    const auto sound = picture (5);

    startThread().requestCover ("C0", server.publish (sound, ".png"));

    for (int i = 0; i < 4; ++i)
    {
        extras->requestCover ("C" + juce::String (i + 1), server.publish (TestPictures::load (files[i]), ".png"));
        extras->requestCredits ("C" + juce::String (i + 1), server.publish (TestPictures::load (files[i]), ".jpg"));
    }

    extras->requestCredits ("C0", server.publish (bytesOf ("<html>Not found</html>"), ".jpg"));
    ASSERT_TRUE (waitUntilIdle());

    EXPECT_EQ (contentOf (extras->findCoverFile ("C0")), sound);
    EXPECT_EQ (extras->findCreditsFile ("C0"), juce::File()) << "a page is no picture";

    for (int i = 1; i <= 4; ++i)
    {
        const auto id = "C" + juce::String (i);
        EXPECT_TRUE (listTree (dataFolder.getChildFile ("covers/" + id)).isEmpty()) << files[i - 1];
        EXPECT_TRUE (listTree (dataFolder.getChildFile ("credits/" + id)).isEmpty()) << files[i - 1];
        EXPECT_TRUE (log.getText().contains ("course " + id + ": cover refused: ")) << log.getText();
        EXPECT_TRUE (log.getText().contains ("course " + id + ": credits picture refused: ")) << log.getText();
    }

    EXPECT_TRUE (log.getText().contains ("course C3: cover refused: a picture of 40000 x 40000 pixels is too large")) << log.getText();
    EXPECT_TRUE (log.getText().contains ("course C0: credits picture refused: neither a PNG nor a JPEG picture")) << log.getText();
}

TEST_F (DownloadExtrasThreadTest, ArchivesBeyondTheirBoundsAreRefusedAndTheOldSiteStays)
{
    // 2 MiB expanding to 2 GiB; the same bytes claiming to expand to 1 KiB; 10 KiB expanding to
    // 10 MiB, within the total but a thousand times its size; many tiny entries.
    const auto bomb = ZipBomb::make ("index.html", 2048, 2048LL << 20);
    const auto liar = ZipBomb::make ("index.html", 2048, 1024);
    std::vector<std::pair<juce::String, juce::String>> crowd { { "index.html", "site" } };

    for (int i = 0; i < DownloadExtrasThread::maxArchiveEntries; ++i)
        crowd.emplace_back ("p/" + juce::String (i) + ".html", "x");

    const struct
    {
        const char* name;
        juce::MemoryBlock archive;
        const char* reason;
    } cases[] = {
        { "bomb", bomb, "expands to 2147483648 bytes" },
        { "liar", liar, "an entry that does not expand to the size it claims: index.html" },
        { "dense", ZipBomb::make ("index.html", 10, 10LL << 20), "expands " },
        { "crowd", makeArchive (crowd, folder), "2001 entries, more than 2000" },
    };

    const auto site = folder.getChildFile ("site");
    ASSERT_TRUE (site.createDirectory());

    for (const auto& c : cases)
    {
        ASSERT_TRUE (site.getChildFile ("index.html").replaceWithText ("previous site"));
        const auto archive = folder.getChildFile (juce::String (c.name) + ".zip");
        ASSERT_TRUE (archive.replaceWithData (c.archive.getData(), c.archive.getSize()));

        const auto result = DownloadExtrasThread::extractArchive (archive, site);
        EXPECT_TRUE (result.failed()) << c.name;
        EXPECT_TRUE (result.getErrorMessage().startsWith (c.reason)) << c.name << ": " << result.getErrorMessage();
        EXPECT_EQ (listTree (site), juce::StringArray ("index.html")) << c.name;
        EXPECT_EQ (site.getChildFile ("index.html").loadFileAsString(), "previous site") << c.name;
        EXPECT_EQ (folder.findChildFiles (juce::File::findDirectories, false, "*.unpacking").size(), 0) << c.name;
    }

    // A site just within the bounds still unpacks.
    crowd.pop_back();
    const auto fits = folder.getChildFile ("fits.zip");
    const auto fitting = makeArchive (crowd, folder);
    ASSERT_TRUE (fits.replaceWithData (fitting.getData(), fitting.getSize()));
    EXPECT_TRUE (DownloadExtrasThread::extractArchive (fits, site).wasOk());
    EXPECT_EQ (site.getChildFile ("index.html").loadFileAsString(), "site");
}

TEST_F (DownloadExtrasThreadTest, APartnersBombLeavesNoSiteAndIsLogged)
{
    const CapturedLog log;
    startThread().requestPartners ("C1", server.publish (ZipBomb::make ("index.html", 2048, 2048LL << 20), ".zip"));
    ASSERT_TRUE (waitUntilIdle());

    EXPECT_EQ (extras->findPartnersFolder ("C1"), juce::File());
    EXPECT_TRUE (listTree (dataFolder.getChildFile ("partners/C1")).isEmpty());
    EXPECT_TRUE (log.getText().contains ("course C1: partners archive refused: expands to 2147483648 bytes")) << log.getText();
}
