#include "bench/BenchCatalog.h"
#include "downloads/DownloadThread.h"
#include "model/CatalogDocument.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "server/HttpClient.h"
#include "tests/provider/ProviderProcess.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <unistd.h>

/*
    A chapter download through the whole queue (network stream, temporary file, MD5, move into
    place, local state) against `curl -s URL | md5sum` of the same address (a download with its
    checksum, done by two programs at once), both from tsy-provider on loopback, alternating
    within each repetition so both see the same machine load.

    Counters: tsy_MBps and curl_md5_MBps (throughputs), ratio (tsy / curl_md5) and
    rss_growth_MB (how far the resident memory rose above its level before the download). Run
    with repetitions and compare the medians; scripts/bench-downloads does that.
*/
namespace
{
constexpr auto megabyte = (juce::int64) 1 << 20;

juce::int64 residentBytes()
{
    juce::StringArray fields;
    fields.addTokens (juce::File ("/proc/self/statm").loadFileAsString(), " ", {});
    return fields[1].getLargeIntValue() * (juce::int64) sysconf (_SC_PAGESIZE);
}

/** tsy-provider publishing one course "BENCH" with a chapter "MB<n>" of n random megabytes
    for each size, started once per run.
*/
class ProviderSession
{
public:
    static ProviderSession& get()
    {
        static ProviderSession session;
        return session;
    }

    juce::String getError() const { return error; }

    /** A user catalog as the provider publishes it. */
    std::unique_ptr<Catalog> makeCatalog() const
    {
        auto catalog = std::make_unique<Catalog>();
        CatalogParser::parseCatalog (*catalog, catalogDocument.getRoot(), false);
        catalog->userid = "bench";
        return catalog;
    }

    juce::String getVideoUrl (const juce::String& chapterId) const
    {
        return DownloadQueue::makeVideoUrl (CatalogParser::readString (catalogDocument.getRoot(), "baseurl"), "BENCH", chapterId);
    }

    /** The catalog's checksum of a chapter. */
    juce::String getChecksum (const juce::String& chapterId) const
    {
        const auto catalog = makeCatalog();
        const auto* chapter = catalog->getChapter (chapterId);
        return chapter != nullptr ? chapter->md5 : juce::String();
    }

    juce::File getFolder() const { return folder; }

    ~ProviderSession()
    {
        provider.reset();
    }

private:
    ProviderSession()
    {
        writeLibrary();

        // Stopped with SIGTERM when the session ends, and with its temporary directory inside the
        // session's folder, so it leaves nothing behind.
        provider = std::make_unique<ProviderProcess> (juce::StringArray { "--library", folder.getChildFile ("library").getFullPathName(), "--access-log", folder.getChildFile ("access.log").getFullPathName() },
                                                      folder);

        if (! provider->isRunning())
        {
            error = "tsy-provider did not start (build the tsy-provider target)";
            return;
        }

        const auto baseUrl = provider->getOrigin() + "/";

        // The provider measures the videos before it publishes them.
        const auto catalogUrl = baseUrl + "catalog.php?auth=0&lang=en&nocache=1";
        auto published = false;

        for (int attempt = 0; attempt < 600 && ! published; ++attempt)
        {
            juce::Thread::sleep (200);
            juce::MemoryBlock body;
            published = HttpClient::forThisThread().get (catalogUrl, body).isSuccess()
                        && catalogDocument.parse (std::move (body))
                        && catalogDocument.getRoot().first_child();
        }

        if (! published)
            error = "tsy-provider published no catalog";
    }


    void writeLibrary() const
    {
        const auto library = folder.getChildFile ("library");
        juce::String chapters;

        for (const auto megabytes : { 20, 200 })
        {
            const auto id = "MB" + juce::String (megabytes);
            const auto video = library.getChildFile ("videos/" + id + ".bin");
            chapters << "<chapter id=\"" << id << "\" order=\"1\" date=\"2023-02-06\" duration=\"60\" video=\"videos/"
                     << id << ".bin\" title=\"" << id << "\"/>\n";

            if (video.getSize() == megabytes * megabyte)
                continue;

            video.getParentDirectory().createDirectory();
            juce::FileOutputStream out (video);
            out.setPosition (0);
            out.truncate();
            juce::Random random (megabytes);
            juce::HeapBlock<juce::uint32> block ((size_t) megabyte / 4);

            for (int i = 0; i < megabytes; ++i)
            {
                for (size_t w = 0; w < (size_t) megabyte / 4; ++w)
                    block[w] = (juce::uint32) random.nextInt();

                out.write (block.get(), (size_t) megabyte);
            }
        }

        library.getChildFile ("library.xml")
            .replaceWithText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<library name=\"Tessaly\">\n<program version=\"1.36\"/>\n"
                              "<course id=\"BENCH\" lang=\"en\" title=\"Bench\">\n<lesson order=\"1\" title=\"Sizes\">\n"
                              + chapters + "</lesson>\n</course>\n</library>\n");
    }

    const juce::File folder = BenchCatalog::getScratchFolder().getChildFile ("downloads");
    std::unique_ptr<ProviderProcess> provider;
    CatalogDocument catalogDocument;
    juce::String error;
};

/** Keeps the download's operation log lines out of the benchmark's report. */
struct SilentLog final : juce::Logger
{
    SilentLog() { juce::Logger::setCurrentLogger (this); }
    ~SilentLog() override { juce::Logger::setCurrentLogger (nullptr); }
    void logMessage (const juce::String&) override {}
};

/** Seconds for `curl -s URL | md5sum`, or -1 when the digest is not the expected one. */
double runCurlWithChecksum (const juce::String& url, const juce::String& expectedChecksum)
{
    juce::ChildProcess pipeline;
    const auto start = juce::Time::getMillisecondCounterHiRes();

    if (! pipeline.start (juce::StringArray { "sh", "-c", "curl -s '" + url + "' | md5sum" }))
        return -1.0;

    const auto output = pipeline.readAllProcessOutput();
    const auto seconds = (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0;
    return output.startsWith (expectedChecksum) ? seconds : -1.0;
}

void BM_ChapterDownloadVsCurl (benchmark::State& state)
{
    auto& session = ProviderSession::get();

    if (session.getError().isNotEmpty())
    {
        state.SkipWithError (session.getError().toRawUTF8());
        return;
    }

    const auto megabytes = (int) state.range (0);
    const auto chapterId = "MB" + juce::String (megabytes);
    const auto size = megabytes * megabyte;
    const auto url = session.getVideoUrl (chapterId);
    const auto checksum = session.getChecksum (chapterId);

    const SilentLog silentLog;
    Core core (session.getFolder().getChildFile ("data"), Core::Workers { DownloadThread::makeJob });
    core.setUsersDirectory (session.getFolder().getChildFile ("movies/users"), juce::dontSendNotification);
    core.setCatalog (session.makeCatalog());
    const auto video = core.getVideoFile (chapterId);

    double curlSeconds = 0.0, tsySeconds = 0.0;
    juce::int64 rssGrowth = 0;

    for (auto _ : state)
    {
        const auto curlTime = runCurlWithChecksum (url, checksum);

        video.deleteFile();
        const auto rssBefore = residentBytes();
        auto rssPeak = rssBefore;
        const auto start = juce::Time::getMillisecondCounterHiRes();

        core.getDownloads().addDownload ("BENCH", chapterId, chapterId);

        while (core.getDownloads().getDownloadState (0) == DownloadState::Downloading || core.getDownloads().getDownloadState (0) == DownloadState::Queued)
        {
            juce::Thread::sleep (2);
            rssPeak = juce::jmax (rssPeak, residentBytes());
        }

        const auto seconds = (juce::Time::getMillisecondCounterHiRes() - start) / 1000.0;
        state.SetIterationTime (seconds);

        if (curlTime <= 0.0 || core.getDownloads().getDownloadState (0) != DownloadState::Completed || video.getSize() != size)
        {
            state.SkipWithError ("a download failed");
            break;
        }

        core.getDownloads().removeFinishedDownloads();
        curlSeconds += curlTime;
        tsySeconds += seconds;
        rssGrowth = juce::jmax (rssGrowth, rssPeak - rssBefore);
    }

    const auto iterations = (double) state.iterations();
    state.SetBytesProcessed ((int64_t) state.iterations() * size);
    state.counters["tsy_MBps"] = iterations * (double) megabytes / tsySeconds;
    state.counters["curl_md5_MBps"] = iterations * (double) megabytes / curlSeconds;
    state.counters["ratio"] = curlSeconds / tsySeconds;
    state.counters["rss_growth_MB"] = (double) rssGrowth / (double) megabyte;
    video.deleteFile();
}
} // namespace

BENCHMARK (BM_ChapterDownloadVsCurl)->Arg (20)->Arg (200)->Iterations (1)->UseManualTime()->Unit (benchmark::kMillisecond);
