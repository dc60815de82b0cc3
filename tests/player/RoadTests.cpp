#include "tests/player/Road.h"
#include "tests/provider/NginxProcess.h"
#include "tests/provider/ScratchFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace
{
const juce::File sampleLibrary (TSY_PROVIDER_SAMPLE_LIBRARY);

/** Where the road's screenshots go: "road" (or a break's own folder) beside the test binary's
    working directory, kept for a person to look at.
*/
juce::File screenshotFolder (const juce::String& name)
{
    return juce::File::getCurrentWorkingDirectory().getChildFile (name);
}

/** Flips one byte of a file and gives it back its modification time to the nanosecond, so a
    server that fingerprints files by size and time keeps its old checksum.
*/
bool corruptKeepingTime (const juce::File& file)
{
    struct stat before {};

    if (::stat (file.getFullPathName().toRawUTF8(), &before) != 0)
        return false;

    juce::MemoryBlock bytes;

    if (! file.loadFileAsData (bytes) || bytes.getSize() < 100)
        return false;

    bytes[bytes.getSize() / 2] = (char) ~bytes[bytes.getSize() / 2];

    if (! file.replaceWithData (bytes.getData(), bytes.getSize()))
        return false;

    const timespec times[] = { before.st_atim, before.st_mtim };
    return ::utimensat (AT_FDCWD, file.getFullPathName().toRawUTF8(), times, 0) == 0;
}

bool requireDisplay()
{
    return std::getenv ("DISPLAY") != nullptr;
}
} // namespace

using testing::StartsWith;

TEST (Road, ANewUserGoesFromSignInToAnOfflineReplay)
{
    ASSERT_TRUE (requireDisplay()) << "needs a display (run under xvfb-run)";
    Road road (sampleLibrary, screenshotFolder ("road"));
    EXPECT_EQ (road.walk(), "") << road.getLog();
}

TEST (Road, AWrongChecksumStopsTheRoadAtTheDownload)
{
    ASSERT_TRUE (requireDisplay()) << "needs a display (run under xvfb-run)";
    Road road (sampleLibrary, screenshotFolder ("road-wrong-checksum"));
    ASSERT_TRUE (road.startProvider());
    ASSERT_TRUE (corruptKeepingTime (road.getLibrary().getChildFile ("videos/MOD3D-EN-0101.mp4")));
    EXPECT_THAT (road.walk().toStdString(), StartsWith ("step 4 (download completed)"));
}

TEST (Road, AStoppedProviderStopsTheRoadAtTheSignIn)
{
    ASSERT_TRUE (requireDisplay()) << "needs a display (run under xvfb-run)";
    Road road (sampleLibrary, screenshotFolder ("road-stopped-provider"));
    ASSERT_TRUE (road.startProvider());
    road.stopProvider();
    EXPECT_THAT (road.walk().toStdString(), StartsWith ("step 1 (sign in): the program found no connection"));
}

TEST (Road, AChapterWithoutTranscriptStopsTheRoadAtTheSearch)
{
    ASSERT_TRUE (requireDisplay()) << "needs a display (run under xvfb-run)";
    Road road (sampleLibrary, screenshotFolder ("road-no-transcript"));
    const auto manifest = road.getLibrary().getChildFile ("library.xml");
    const auto text = manifest.loadFileAsString();
    const auto transcript = text.fromFirstOccurrenceOf ("id=\"MOD3D-EN-0101\"", false, false).fromFirstOccurrenceOf ("<transcript>", true, false)
                                .upToFirstOccurrenceOf ("</transcript>", true, false);
    ASSERT_TRUE (transcript.isNotEmpty());
    ASSERT_TRUE (manifest.replaceWithText (text.replace (transcript, "")));
    EXPECT_THAT (road.walk().toStdString(), StartsWith ("step 7 (search)"));
}

TEST (Road, ChaptersAndExtrasComeFromAStaticWebServerWhileTheCatalogComesFromTheProvider)
{
    ASSERT_TRUE (requireDisplay()) << "needs a display (run under xvfb-run)";
    ASSERT_NE (NginxProcess::getExecutable(), juce::File()) << "needs nginx (scripts/install-deps installs nginx-light)";

    Road road (sampleLibrary, screenshotFolder ("road-media-server"));
    ScratchFolder scratch;
    const auto exported = scratch.getChildFile ("media");
    juce::ChildProcess exporter;
    ASSERT_TRUE (exporter.start (juce::StringArray { ProviderProcess::getExecutable().getFullPathName(), "--library", road.getLibrary().getFullPathName(),
                                                     "--export-media", exported.getFullPathName() }));
    const auto exportOutput = exporter.readAllProcessOutput();
    ASSERT_TRUE (exporter.waitForProcessToFinish (60000));
    ASSERT_EQ (exporter.getExitCode(), 0u) << exportOutput;

    const NginxProcess nginx (exported, scratch.get());
    ASSERT_TRUE (nginx.isRunning()) << nginx.readErrors();
    road.setProviderArguments ({ "--media-base-url", nginx.getBaseUrl() });

    EXPECT_EQ (road.walk(), "") << road.getLog();

    // The chapter the road downloads and checks, and the course's extras, came from nginx.
    const auto served = nginx.readAccessLog();
    EXPECT_THAT (served.toStdString(), testing::ContainsRegex ("20[06] [0-9]+ \"GET /videos/MOD3D-EN/MOD3D-EN-0101/MOD3D-EN-0101.bin "));
    EXPECT_THAT (served.toStdString(), testing::ContainsRegex ("200 [0-9]+ \"GET /extras/[0-9a-f]{32}\\.jpg "));
}
