#include "NginxProcess.h"
#include "ProviderProcess.h"
#include "ScratchFolder.h"
#include "ServiceTestSupport.h"
#include "TestLibraryWriter.h"

#include <gtest/gtest.h>
#include <httplib.h>

using namespace ServiceTestSupport;

namespace
{
/** Runs tsy-provider with these arguments to its end: its exit code, and its output in output. */
int runProvider (const juce::StringArray& arguments, juce::String& output)
{
    juce::StringArray command { ProviderProcess::getExecutable().getFullPathName() };
    command.addArray (arguments);
    juce::ChildProcess process;

    if (! process.start (command))
        return -1;

    output = process.readAllProcessOutput();
    return process.waitForProcessToFinish (60000) ? (int) process.getExitCode() : -1;
}

/** Gets a media address from the web server serving it; its body, or nothing. */
std::optional<std::string> download (const NginxProcess& nginx, const juce::String& url, const httplib::Headers& headers = {})
{
    if (! url.startsWith (nginx.getBaseUrl()))
        return std::nullopt;

    httplib::Client client ("127.0.0.1", nginx.getPort());
    client.set_connection_timeout (5);
    client.set_read_timeout (20);
    const auto answer = client.Get (pathOf (url), headers);

    if (! answer || answer->status != (headers.empty() ? 200 : 206))
        return std::nullopt;

    return answer->body;
}
} // namespace

TEST (MediaServer, AStaticWebServerServingAnExportAnswersEveryMediaLinkOfTheProvidersCatalogs)
{
    ASSERT_NE (NginxProcess::getExecutable(), juce::File()) << "needs nginx (scripts/install-deps installs nginx-light)";

    ScratchFolder scratch;
    const auto library = TestLibraryWriter::copySampleLibrary (scratch.get());
    const auto exported = scratch.getChildFile ("www");
    juce::String output;

    ASSERT_EQ (runProvider ({ "--library", library.getFullPathName(), "--export-media", exported.getFullPathName() }, output), 0) << output;
    EXPECT_TRUE (output.contains ("exported ")) << output;

    const NginxProcess nginx (exported, scratch.get());
    ASSERT_TRUE (nginx.isRunning()) << nginx.readErrors();

    const auto accessLog = scratch.getChildFile ("provider-access.log");
    const ProviderProcess provider ({ "--library", library.getFullPathName(), "--media-base-url", nginx.getBaseUrl(), "--access-log", accessLog.getFullPathName() }, scratch.get());
    ASSERT_TRUE (provider.isRunning()) << provider.readErrors();

    const auto client = clientFor (provider);
    int chapters = 0, extras = 0;

    for (auto* lang : { "it", "en" })
    {
        const auto catalog = getXml (*client, catalogQuery ("auth=0&nocache=1&lang=" + juce::String (lang)));
        ASSERT_NE (catalog, nullptr);
        ASSERT_TRUE (catalog->hasTagName ("catalog")) << catalog->toString();
        EXPECT_TRUE (catalog->getStringAttribute ("homeurl").startsWith (provider.getOrigin() + "/"));

        const auto installer = download (nginx, catalog->getStringAttribute ("win_app"));
        ASSERT_TRUE (installer.has_value()) << catalog->getStringAttribute ("win_app");
        EXPECT_EQ ((juce::int64) installer->size(), catalog->getStringAttribute ("win_app_size").getLargeIntValue());

        for (auto* course : catalog->getChildWithTagNameIterator ("course"))
        {
            for (auto* attribute : { "coverurl", "creditsurl", "partnersurl" })
            {
                const auto url = course->getStringAttribute (attribute);
                const auto body = download (nginx, url);
                ASSERT_TRUE (body.has_value()) << url;
                EXPECT_EQ (md5OfBytes (*body), url.fromLastOccurrenceOf ("/", false, false).upToFirstOccurrenceOf (".", false, false)) << url;
                ++extras;
            }

            for (auto* lesson : course->getChildWithTagNameIterator ("lesson"))
                for (auto* chapter : lesson->getChildWithTagNameIterator ("chapter"))
                {
                    const auto id = chapter->getStringAttribute ("id");
                    const auto url = catalog->getStringAttribute ("baseurl") + course->getStringAttribute ("id") + "/" + id + "/" + id + ".bin";
                    const auto body = download (nginx, url);
                    ASSERT_TRUE (body.has_value()) << url;
                    EXPECT_EQ (md5OfBytes (*body), chapter->getStringAttribute ("md5")) << url;
                    EXPECT_EQ (juce::String ((juce::int64) body->size()), chapter->getStringAttribute ("size")) << url;

                    // A download that resumes asks for the rest.
                    const auto rest = download (nginx, url, { { "Range", "bytes=100-" } });
                    ASSERT_TRUE (rest.has_value()) << url;
                    EXPECT_EQ (*rest, body->substr (100)) << url;
                    ++chapters;
                }
        }
    }

    EXPECT_GT (chapters, 0);
    EXPECT_GT (extras, 0);

    // The media came from the web server alone: the provider handed out only catalogs.
    const auto logged = accessLog.loadFileAsString();
    EXPECT_TRUE (logged.contains ("/catalog.php"));
    EXPECT_FALSE (logged.contains ("/videos/") || logged.contains ("/extras/") || logged.contains ("/download/")) << logged;
    EXPECT_TRUE (nginx.readAccessLog().contains ("206 ")) << nginx.readAccessLog();
}

TEST (MediaServer, TheExportCommandRefusesAFolderHoldingOtherFiles)
{
    ScratchFolder scratch;
    const auto library = TestLibraryWriter::copySampleLibrary (scratch.get());
    const auto site = scratch.getChildFile ("site");
    ASSERT_TRUE (site.getChildFile ("index.html").create());
    juce::String output;

    EXPECT_EQ (runProvider ({ "--library", library.getFullPathName(), "--export-media", site.getFullPathName() }, output), 1) << output;
    EXPECT_TRUE (output.contains ("holds files other than a media export")) << output;
    EXPECT_EQ (site.getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);

    EXPECT_EQ (runProvider ({ "--media-base-url", "media.example" }, output), 2) << output;
    EXPECT_TRUE (output.contains ("--media-base-url needs an absolute")) << output;
}
