#include "ScratchFolder.h"
#include "TestLibraryWriter.h"
#include "provider/AccessLog.h"
#include "provider/LibraryLoader.h"
#include "provider/ProviderOptions.h"
#include "provider/ProviderServer.h"

#include <gtest/gtest.h>

using namespace provider;

TEST (AccessLog, WritesOneEntryWithDecodedQueryAndHeadersButNoPassword)
{
    AccessLog::Entry entry;
    entry.time = juce::Time (2024, 0, 2, 3, 4, 5, 0, false);
    entry.client = "127.0.0.1:5000";
    entry.method = "GET";
    entry.target = "/catalog.php?auth=1&username=ada%40example.com&password=0123abcd&lang=it&nocache=1";
    entry.version = "HTTP/1.1";
    entry.status = 200;
    entry.bodySize = 1234;
    entry.headers = { { "Host", "127.0.0.1:8642" }, { "X-Tsy-Customuseragent", "TSY-Player v1.36 UID=0" } };

    const auto text = AccessLog::format (entry);
    EXPECT_TRUE (text.contains (" 127.0.0.1:5000 \"GET /catalog.php?auth=1&username=ada%40example.com&password=********&lang=it&nocache=1 HTTP/1.1\" 200 1234\n"));
    EXPECT_TRUE (text.contains ("\n    query auth=1\n    query username=ada@example.com\n    query password=********\n    query lang=it\n    query nocache=1\n"));
    EXPECT_TRUE (text.endsWith ("    header Host: 127.0.0.1:8642\n    header X-Tsy-Customuseragent: TSY-Player v1.36 UID=0\n"));
    EXPECT_FALSE (text.contains ("0123abcd"));

    EXPECT_EQ (AccessLog::maskPasswords ("/home.php?username=a&pass%77ord=%24%24abc"), "/home.php?username=a&password=********");
    EXPECT_EQ (AccessLog::maskPasswords ("/videos/a/b/b.bin"), "/videos/a/b/b.bin");
}

TEST (AccessLog, EscapesControlCharactersInEveryValue)
{
    EXPECT_EQ (AccessLog::escape ("plain text, \"quoted\" & 100%"), "plain text, \"quoted\" & 100%");
    EXPECT_EQ (AccessLog::escape ("a\nb\rc\td\\e"), "a\\nb\\rc\\td\\\\e");
    EXPECT_EQ (AccessLog::escape (juce::String::charToString (0x1b) + "[31m" + juce::String::charToString (0x7f)), "\\x1b[31m\\x7f");
    EXPECT_EQ (AccessLog::escape (juce::String::charToString (0x85) + juce::String::charToString (0x2028)), "\\u{0085}\\u{2028}");
    EXPECT_EQ (AccessLog::escape (juce::String::fromUTF8 ("L\xc3\xb6velace \xe2\x82\xac")), juce::String::fromUTF8 ("L\xc3\xb6velace \xe2\x82\xac"));

    AccessLog::Entry entry;
    entry.client = "127.0.0.1:1";
    entry.method = "GET";
    entry.target = "/home.php?needupdate=A%0A2001-01-01T00:00:00%20forged&x%0D=1\x01";
    entry.version = "HTTP/1.1\r\nforged";
    entry.headers = { { "X-A", "v\x1b" } };

    juce::StringArray lines;
    lines.addLines (AccessLog::format (entry).trimEnd());
    ASSERT_EQ (lines.size(), 4) << lines.joinIntoString ("|");
    EXPECT_TRUE (lines[0].endsWith ("\"GET /home.php?needupdate=A%0A2001-01-01T00:00:00%20forged&x%0D=1\\x01 HTTP/1.1\\r\\nforged\" 0 0"));
    EXPECT_EQ (lines[1], "    query needupdate=A\\n2001-01-01T00:00:00 forged");
    EXPECT_EQ (lines[2], "    query x\\r=1\\x01");
    EXPECT_EQ (lines[3], "    header X-A: v\\x1b");
}

TEST (AccessLog, WritesEveryPartOfAnEntryWithManyParts)
{
    AccessLog::Entry entry;
    entry.method = "GET";
    juce::String target = "/t?";

    for (int i = 0; i < 2000; ++i)
    {
        entry.headers.emplace_back ("X-" + juce::String (i), juce::String (i));
        target << "p" << i << "=" << i << "&";
    }

    entry.target = target;
    juce::StringArray lines;
    lines.addLines (AccessLog::format (entry).trimEnd());
    ASSERT_EQ (lines.size(), 1 + 2000 + 2000);
    EXPECT_EQ (lines[1], "    query p0=0");
    EXPECT_EQ (lines[2000], "    query p1999=1999");
    EXPECT_EQ (lines[4000], "    header X-1999: 1999");
}

TEST (AccessLog, EntriesFromManyThreadsStayWhole)
{
    ScratchFolder scratch;
    const auto file = scratch.getChildFile ("access.log");

    {
        AccessLog log (file);
        ASSERT_TRUE (log.isOpen());
        std::vector<std::thread> threads;

        for (int t = 0; t < 4; ++t)
            threads.emplace_back ([&log, t] {
                for (int i = 0; i < 50; ++i)
                {
                    AccessLog::Entry entry;
                    entry.method = "GET";
                    entry.target = "/t" + juce::String (t) + "?i=" + juce::String (i);
                    entry.headers = { { "A", juce::String (t) }, { "B", juce::String (t) } };
                    log.write (entry);
                }
            });

        for (auto& thread : threads)
            thread.join();
    }

    juce::StringArray lines;
    lines.addLines (file.loadFileAsString().trimEnd());
    ASSERT_EQ (lines.size(), 4 * 50 * 4);

    for (int i = 0; i < lines.size(); i += 4)
    {
        const auto thread = lines[i].fromFirstOccurrenceOf ("/t", false, false).substring (0, 1);
        EXPECT_EQ (lines[i + 1].upToFirstOccurrenceOf ("=", false, false), "    query i");
        EXPECT_EQ (lines[i + 2], "    header A: " + thread);
        EXPECT_EQ (lines[i + 3], "    header B: " + thread);
    }
}

TEST (ProviderOptions, DefaultsAndEveryOption)
{
    const juce::File sample ("/opt/sample");
    ProviderOptions options;
    juce::String error;

    ASSERT_TRUE (ProviderOptions::parse ({}, sample, options, error));
    EXPECT_EQ (options.library, sample);
    EXPECT_EQ (options.port, 8642);
    EXPECT_EQ (options.bindAddress, "127.0.0.1");
    EXPECT_EQ (options.refreshSeconds, 600);
    EXPECT_TRUE (options.publicUrl.isEmpty());
    EXPECT_FALSE (options.maintenance);
    EXPECT_EQ (options.accessLog, juce::File());

    ASSERT_TRUE (ProviderOptions::parse ({ "--library", "/srv/lib", "--port=0", "--bind", "0.0.0.0", "--public-url", "https://tessaly.example/",
                                           "--refresh-seconds", "30", "--maintenance", "--access-log=/var/log/a.log" },
                                         sample, options, error))
        << error;
    EXPECT_EQ (options.library, juce::File ("/srv/lib"));
    EXPECT_EQ (options.port, 0);
    EXPECT_EQ (options.bindAddress, "0.0.0.0");
    EXPECT_EQ (options.publicUrl, "https://tessaly.example/");
    EXPECT_EQ (options.refreshSeconds, 30);
    EXPECT_TRUE (options.maintenance);
    EXPECT_EQ (options.accessLog, juce::File ("/var/log/a.log"));
}

TEST (ProviderOptions, RefusesBadCommandLines)
{
    ProviderOptions options;
    juce::String error;

    for (auto arguments : { juce::StringArray { "--port", "65536" },
                            juce::StringArray { "--port", "-1" },
                            juce::StringArray { "--port" },
                            juce::StringArray { "--refresh-seconds", "0" },
                            juce::StringArray { "--refresh-seconds", "ten" },
                            juce::StringArray { "--public-url", "/relative" },
                            juce::StringArray { "--public-url", "ftp://host/" },
                            juce::StringArray { "--maintenance=yes" },
                            juce::StringArray { "--colour", "blue" },
                            juce::StringArray { "stray" } })
    {
        error = {};
        EXPECT_FALSE (ProviderOptions::parse (arguments, {}, options, error)) << arguments.joinIntoString (" ");
        EXPECT_TRUE (error.isNotEmpty());
    }
}

TEST (ProviderAddresses, AreAbsoluteAndReachTheServer)
{
    EXPECT_EQ (ProviderAddresses::forBinding ("127.0.0.1", 8642).getBase(), "http://127.0.0.1:8642/");
    EXPECT_EQ (ProviderAddresses::forBinding ("0.0.0.0", 80).getBase(), "http://127.0.0.1:80/");
    EXPECT_EQ (ProviderAddresses::forBinding ("::1", 81).getBase(), "http://[::1]:81/");

    const ProviderAddresses addresses ("https://cdn.example/tessaly");
    EXPECT_EQ (addresses.getVideosBase(), "https://cdn.example/tessaly/videos/");
    EXPECT_EQ (addresses.getHomePage(), "https://cdn.example/tessaly/home.php");
    EXPECT_EQ (addresses.getCoursePage ("A B"), "https://cdn.example/tessaly/home.php?course=A%20B");

    ProvidedFile installer;
    installer.file = juce::File ("/lib/installer/Setup File.exe");
    EXPECT_EQ (addresses.getInstaller (installer), "https://cdn.example/tessaly/download/Setup%20File.exe");

    EXPECT_TRUE (ProviderAddresses::isValidBase ("http://host:1/path/"));
    EXPECT_FALSE (ProviderAddresses::isValidBase ("http:///path"));
    EXPECT_FALSE (ProviderAddresses::isValidBase ("http://host/?a=1"));
}

TEST (ProviderServer, AcceptsOnlyPlainAbsolutePaths)
{
    EXPECT_TRUE (ProviderServer::isAcceptablePath ("/"));
    EXPECT_TRUE (ProviderServer::isAcceptablePath ("/videos/C/1/1.bin"));
    EXPECT_TRUE (ProviderServer::isAcceptablePath ("/extras/a..b.png"));

    EXPECT_FALSE (ProviderServer::isAcceptablePath (""));
    EXPECT_FALSE (ProviderServer::isAcceptablePath ("videos/C/1/1.bin"));
    EXPECT_FALSE (ProviderServer::isAcceptablePath ("/.."));
    EXPECT_FALSE (ProviderServer::isAcceptablePath ("/videos/../library.xml"));
    EXPECT_FALSE (ProviderServer::isAcceptablePath ("/videos/C/.."));
    EXPECT_FALSE (ProviderServer::isAcceptablePath ("/extras/..\\library.xml"));
    EXPECT_FALSE (ProviderServer::isAcceptablePath (std::string ("/extras/a\0b", 10)));
    EXPECT_FALSE (ProviderServer::isAcceptablePath ("http://host/../x"));
}
