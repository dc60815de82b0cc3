#include "ScratchFolder.h"
#include "TestLibraryWriter.h"
#include "provider/CatalogDocumentBuilder.h"
#include "provider/LibraryLoader.h"
#include "provider/MediaExporter.h"
#include "provider/ProviderOptions.h"
#include "provider/WorkFolder.h"

#include <gtest/gtest.h>

#include <map>

using namespace provider;

namespace
{
const juce::String providerBase = "http://provider.example/";
const juce::String mediaBase = "https://media.example/tessaly/";

/** What a media link of a catalog promises: the file's MD5 checksum or its size (for the
    installer, whose catalogs give only that).
*/
struct Promise
{
    juce::String md5;
    juce::int64 size = -1;
};

/** Every media link of both languages' catalogs, relative to the media base, with what it
    promises; a link outside the media base is recorded as "outside: URL".
*/
std::map<juce::String, Promise> mediaLinksOf (const Library& library, const ProviderAddresses& addresses)
{
    std::map<juce::String, Promise> links;

    const auto add = [&] (const juce::String& url, Promise promise) {
        links[url.startsWith (addresses.getMediaBase()) ? url.fromFirstOccurrenceOf (addresses.getMediaBase(), false, false) : "outside: " + url] = promise;
    };

    for (auto* lang : { "it", "en" })
    {
        const auto catalog = CatalogDocumentBuilder::buildCatalog (library, lang, nullptr, addresses, 600);
        const auto baseUrl = catalog->getStringAttribute ("baseurl");

        if (catalog->getStringAttribute ("win_app").isNotEmpty())
            add (catalog->getStringAttribute ("win_app"), { {}, catalog->getStringAttribute ("win_app_size").getLargeIntValue() });

        for (auto* course : catalog->getChildWithTagNameIterator ("course"))
        {
            for (auto* attribute : { "coverurl", "creditsurl", "partnersurl" })
                if (course->hasAttribute (attribute))
                    add (course->getStringAttribute (attribute), { course->getStringAttribute (attribute).fromLastOccurrenceOf ("/", false, false).upToFirstOccurrenceOf (".", false, false), -1 });

            for (auto* lesson : course->getChildWithTagNameIterator ("lesson"))
                for (auto* chapter : lesson->getChildWithTagNameIterator ("chapter"))
                {
                    const auto id = chapter->getStringAttribute ("id");
                    add (baseUrl + course->getStringAttribute ("id") + "/" + id + "/" + id + ".bin",
                         { chapter->getStringAttribute ("md5"), chapter->getStringAttribute ("size").getLargeIntValue() });
                }
        }
    }

    return links;
}

/** Every file below folder, by its path relative to it. */
juce::StringArray filesBelow (const juce::File& folder)
{
    juce::StringArray paths;

    for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFiles))
        paths.add (entry.getFile().getRelativePathFrom (folder));

    paths.sort (false);
    return paths;
}

/** The library of a folder, loaded with its work folder (which holds the partners archives). */
struct LoadedLibrary
{
    explicit LoadedLibrary (const juce::File& folder)
        : loader (folder, work.getFolder()),
          library (loader.load().library)
    {
    }

    WorkFolder work;
    LibraryLoader loader;
    std::shared_ptr<const Library> library;
};
} // namespace

TEST (ProviderAddresses, PutsTheMediaUnderTheirOwnBaseAndEverythingElseUnderTheProvider)
{
    ScratchFolder scratch;
    const LoadedLibrary loaded (TestLibraryWriter::copySampleLibrary (scratch.get()));
    ASSERT_NE (loaded.library, nullptr);

    const ProviderAddresses addresses (providerBase, "https://media.example/tessaly");
    EXPECT_EQ (addresses.getMediaBase(), mediaBase);
    EXPECT_EQ (ProviderAddresses (providerBase).getMediaBase(), providerBase);

    const auto catalog = CatalogDocumentBuilder::buildCatalog (*loaded.library, "en", nullptr, addresses, 600);
    EXPECT_EQ (catalog->getStringAttribute ("baseurl"), mediaBase + "videos/");
    EXPECT_EQ (catalog->getStringAttribute ("win_app"), mediaBase + "download/tsy-player-installer.sh");
    EXPECT_EQ (catalog->getStringAttribute ("homeurl"), providerBase + "home.php");

    auto* course = catalog->getChildByName ("course");
    ASSERT_NE (course, nullptr);
    EXPECT_TRUE (course->getStringAttribute ("url").startsWith (providerBase + "home.php?course=")) << course->getStringAttribute ("url");

    for (auto* attribute : { "coverurl", "creditsurl", "partnersurl" })
        EXPECT_TRUE (course->getStringAttribute (attribute).startsWith (mediaBase + "extras/")) << attribute;

    const auto bound = ProviderAddresses::forBinding ("0.0.0.0", 8642, mediaBase);
    EXPECT_EQ (bound.getBase(), "http://127.0.0.1:8642/");
    EXPECT_EQ (bound.getVideosBase(), mediaBase + "videos/");
}

TEST (MediaExporter, WritesExactlyTheFilesTheCatalogsLinkToWithWhatTheyPromise)
{
    ScratchFolder scratch;
    const auto library = TestLibraryWriter::copySampleLibrary (scratch.get());
    const auto destination = scratch.getChildFile ("www/media");
    int files = 0;
    juce::String error;

    ASSERT_TRUE (MediaExporter::exportLibrary (library, destination, files, error)) << error;

    const LoadedLibrary loaded (library);
    ASSERT_NE (loaded.library, nullptr);
    const auto links = mediaLinksOf (*loaded.library, ProviderAddresses (providerBase, mediaBase));

    juce::StringArray linked;

    for (auto& [path, promise] : links)
        linked.add (path);

    linked.sort (false);
    EXPECT_EQ (filesBelow (destination), linked);
    EXPECT_EQ (files, linked.size());

    for (auto& [path, promise] : links)
    {
        const auto file = destination.getChildFile (path);

        if (promise.size >= 0)
        {
            EXPECT_EQ (file.getSize(), promise.size) << path;
        }

        if (promise.md5.isNotEmpty())
        {
            EXPECT_EQ (juce::MD5 (file).toHexString(), promise.md5) << path;
        }
    }

    EXPECT_TRUE (linked.contains ("download/tsy-player-installer.sh"));
    EXPECT_TRUE (linked.contains ("videos/MOD3D-EN/MOD3D-EN-0101/MOD3D-EN-0101.bin"));

    // Nothing but the tree is left beside it.
    EXPECT_EQ (destination.getParentDirectory().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
}

TEST (MediaExporter, ReplacesAnEarlierExportWhole)
{
    ScratchFolder scratch;
    const auto library = TestLibraryWriter::copySampleLibrary (scratch.get());
    const auto destination = scratch.getChildFile ("media");
    int files = 0;
    juce::String error;

    ASSERT_TRUE (MediaExporter::exportLibrary (library, destination, files, error)) << error;
    const auto firstTree = filesBelow (destination);

    // A chapter withdrawn since: its video must not stay published.
    const auto withdrawn = destination.getChildFile ("videos/OLD-EN/OLD-EN-0101/OLD-EN-0101.bin");
    ASSERT_TRUE (withdrawn.getParentDirectory().createDirectory());
    ASSERT_TRUE (withdrawn.replaceWithText ("old"));
    ASSERT_TRUE (destination.getChildFile ("videos/MOD3D-EN/MOD3D-EN-0101/MOD3D-EN-0101.bin").replaceWithText ("stale"));

    ASSERT_TRUE (MediaExporter::exportLibrary (library, destination, files, error)) << error;
    EXPECT_EQ (filesBelow (destination), firstTree);
    EXPECT_EQ (destination.getChildFile ("videos/MOD3D-EN/MOD3D-EN-0101/MOD3D-EN-0101.bin").getSize(),
               library.getChildFile ("videos/MOD3D-EN-0101.mp4").getSize());
    EXPECT_EQ (scratch.get().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 2) << "the library and the export";
}

TEST (MediaExporter, LeavesAFolderHoldingAnythingElseAsItWas)
{
    ScratchFolder scratch;
    const auto library = TestLibraryWriter::copySampleLibrary (scratch.get());
    int files = 0;
    juce::String error;

    for (auto* other : { "index.html", ".htaccess", "videos.txt", "extras/../notes/readme.txt" })
    {
        const auto destination = scratch.getChildFile ("site-" + juce::String (juce::Random::getSystemRandom().nextInt (1000000)));
        const auto otherFile = destination.getChildFile (other);
        ASSERT_TRUE (otherFile.getParentDirectory().createDirectory());
        ASSERT_TRUE (otherFile.replaceWithText ("somebody's"));

        EXPECT_FALSE (MediaExporter::exportLibrary (library, destination, files, error)) << other;
        EXPECT_TRUE (error.contains ("holds files other than a media export")) << error;
        EXPECT_EQ (otherFile.loadFileAsString(), "somebody's");
        EXPECT_EQ (filesBelow (destination), juce::StringArray (otherFile.getRelativePathFrom (destination)));
        EXPECT_EQ (files, 0);
    }

    const auto aFile = scratch.getChildFile ("plain-file");
    ASSERT_TRUE (aFile.replaceWithText ("x"));
    EXPECT_FALSE (MediaExporter::exportLibrary (library, aFile, files, error));
    EXPECT_EQ (aFile.loadFileAsString(), "x");
}

TEST (MediaExporter, WritesNothingFromALibraryItCannotRead)
{
    ScratchFolder scratch;
    const auto library = TestLibraryWriter::copySampleLibrary (scratch.get());
    ASSERT_TRUE (library.getChildFile ("videos/MOD3D-EN-0101.mp4").deleteFile());
    const auto destination = scratch.getChildFile ("media");
    int files = 0;
    juce::String error;

    EXPECT_FALSE (MediaExporter::exportLibrary (library, destination, files, error));
    EXPECT_TRUE (error.contains ("cannot read the library")) << error;
    EXPECT_FALSE (destination.exists());
    EXPECT_EQ (scratch.get().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
}

TEST (MediaExporter, RefusesAFileThatIsNoLongerWhatTheLibraryChecked)
{
    ScratchFolder scratch;
    const auto library = TestLibraryWriter::copySampleLibrary (scratch.get());
    const LoadedLibrary loaded (library);
    ASSERT_NE (loaded.library, nullptr);

    const auto* chapter = loaded.library->findChapter ("MOD3D-EN", "MOD3D-EN-0101");
    ASSERT_NE (chapter, nullptr);
    const auto video = chapter->video;
    const auto copy = scratch.getChildFile ("out/copy.bin");
    juce::String error;

    ASSERT_TRUE (MediaExporter::copyChecked (video, copy, error)) << error;
    EXPECT_EQ (juce::MD5 (copy).toHexString(), video.md5);

    // Changed in place after it was measured, to the same size.
    juce::MemoryBlock bytes;
    ASSERT_TRUE (video.file.loadFileAsData (bytes));
    bytes[0] = (char) ~bytes[0];
    ASSERT_TRUE (video.file.replaceWithData (bytes.getData(), bytes.getSize()));
    EXPECT_FALSE (MediaExporter::copyChecked (video, copy, error));
    EXPECT_TRUE (error.contains ("changed after the library was read")) << error;

    // Swapped for a link to a file outside the library.
    const auto outside = scratch.getChildFile ("outside.bin");
    ASSERT_TRUE (outside.replaceWithData (bytes.getData(), bytes.getSize()));
    ASSERT_TRUE (video.file.deleteFile());
    ASSERT_TRUE (outside.createSymbolicLink (video.file, true));
    EXPECT_FALSE (MediaExporter::copyChecked (video, copy, error));
    EXPECT_TRUE (error.contains ("as the library checked it")) << error;

    // And gone.
    ASSERT_TRUE (video.file.deleteFile());
    EXPECT_FALSE (MediaExporter::copyChecked (video, copy, error));
}

TEST (ProviderOptions, ReadsTheMediaExportAndTheMediaBase)
{
    ProviderOptions options;
    juce::String error;
    const juce::File library ("/srv/library");

    ASSERT_TRUE (ProviderOptions::parse ({ "--media-base-url", mediaBase }, library, options, error)) << error;
    EXPECT_EQ (options.mediaBaseUrl, mediaBase);
    EXPECT_EQ (options.exportFolder, juce::File());

    ASSERT_TRUE (ProviderOptions::parse ({ "--export-media=/srv/www/media" }, library, options, error)) << error;
    EXPECT_EQ (options.exportFolder, juce::File ("/srv/www/media"));
    EXPECT_EQ (options.mediaBaseUrl, "");

    for (const auto& arguments : { juce::StringArray { "--media-base-url", "ftp://media.example/" },
                                   juce::StringArray { "--media-base-url", "/media/" },
                                   juce::StringArray { "--media-base-url", "http://media.example/?x=1" },
                                   juce::StringArray { "--media-base-url" },
                                   juce::StringArray { "--export-media=" },
                                   juce::StringArray { "--export-media", "/tmp/m", "--sign-installer", "key.pem" } })
    {
        EXPECT_FALSE (ProviderOptions::parse (arguments, library, options, error)) << arguments.joinIntoString (" ");
        EXPECT_TRUE (error.isNotEmpty());
    }

    EXPECT_TRUE (ProviderOptions::usage().contains ("--export-media DIR"));
    EXPECT_TRUE (ProviderOptions::usage().contains ("--media-base-url URL"));
}
