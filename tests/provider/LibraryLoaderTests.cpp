#include "ScratchFolder.h"
#include "TestLibraryWriter.h"
#include "provider/CatalogDocumentBuilder.h"
#include "provider/LibraryLoader.h"
#include "provider/LibraryMonitor.h"

#include <gtest/gtest.h>

using namespace provider;

namespace
{
LibraryLoader::Result loadFrom (const juce::File& folder, const juce::File& work)
{
    return LibraryLoader (folder, work).load();
}

/** The generated library with one piece of its manifest replaced. */
juce::String loadWithManifestChange (const ScratchFolder& scratch, const juce::String& from, const juce::String& to)
{
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto manifest = library.getChildFile ("library.xml");
    const auto text = manifest.loadFileAsString();
    EXPECT_TRUE (text.contains (from)) << from;
    manifest.replaceWithText (text.replace (from, to));

    const auto result = loadFrom (library, scratch.getChildFile ("work"));
    EXPECT_EQ (result.library, nullptr);
    return result.error;
}

/** Dates every file an hour back, as if the library had been left alone for a while. */
void ageFiles (const juce::File& folder)
{
    const auto anHourAgo = juce::Time::getCurrentTime() - juce::RelativeTime::hours (1);

    for (auto& file : folder.findChildFiles (juce::File::findFiles, true))
        file.setLastModificationTime (anHourAgo);
}

int secondsOfStamp (const juce::String& stamp)
{
    return stamp.upToFirstOccurrenceOf (":", false, false).getIntValue() * 60
         + stamp.fromFirstOccurrenceOf (":", false, false).getIntValue();
}
} // namespace

TEST (SampleLibrary, HoldsThreeCoursesPerLanguageWithLessonsChaptersAndVideos)
{
    ScratchFolder scratch;
    const auto result = loadFrom (TestLibraryWriter::getSampleLibrary(), scratch.get());
    ASSERT_NE (result.library, nullptr) << result.error;

    std::map<juce::String, int> coursesPerLanguage;

    for (auto& course : result.library->getCourses())
    {
        ++coursesPerLanguage[course.lang];
        EXPECT_TRUE (course.cover.isPresent() && course.credits.isPresent() && course.partners.isPresent()) << course.id;
        EXPECT_GE (course.lessons.size(), 2u) << course.id;
        EXPECT_LE (course.lessons.size(), 3u) << course.id;

        for (auto& lesson : course.lessons)
        {
            EXPECT_GE (lesson.chapters.size(), 2u) << course.id;
            EXPECT_LE (lesson.chapters.size(), 4u) << course.id;

            for (auto& chapter : lesson.chapters)
            {
                // A real MP4 of a few seconds, measured like a client would.
                EXPECT_EQ (chapter.video.md5, juce::MD5 (chapter.video.file).toHexString()) << chapter.id;
                EXPECT_EQ (chapter.video.size, chapter.video.file.getSize()) << chapter.id;
                EXPECT_LT (chapter.video.size, 100 * 1024) << chapter.id;
                juce::MemoryBlock head;
                chapter.video.file.createInputStream()->readIntoMemoryBlock (head, 12);
                EXPECT_EQ (juce::String (static_cast<const char*> (head.getData()) + 4, 4), "ftyp") << chapter.id;
                EXPECT_GE (chapter.duration, 3.0) << chapter.id;
                EXPECT_EQ (chapter.nativeResolution, "480x270") << chapter.id;
                EXPECT_EQ (chapter.date.length(), 10) << chapter.id;
            }
        }
    }

    EXPECT_GE (coursesPerLanguage["it"], 3);
    EXPECT_GE (coursesPerLanguage["en"], 3);
    EXPECT_EQ (coursesPerLanguage.size(), 2u);
}

TEST (SampleLibrary, TranscriptsUseEveryMarkupWithStampsInsideTheVideo)
{
    ScratchFolder scratch;
    const auto result = loadFrom (TestLibraryWriter::getSampleLibrary(), scratch.get());
    ASSERT_NE (result.library, nullptr) << result.error;

    int skippedPassages = 0, skippedWords = 0, groups = 0;

    for (auto& course : result.library->getCourses())
    {
        for (auto& lesson : course.lessons)
        {
            for (auto& chapter : lesson.chapters)
            {
                const auto& text = chapter.transcript;
                ASSERT_TRUE (text.startsWith ("[00:00]")) << chapter.id;

                for (int start = text.indexOfChar ('['); start >= 0; start = text.indexOfChar (start + 1, '['))
                {
                    const auto stamp = text.substring (start + 1, text.indexOfChar (start, ']'));
                    EXPECT_LT (secondsOfStamp (stamp), chapter.duration) << chapter.id << " [" << stamp << "]";
                }

                // Unbalanced markers would swallow the rest of a transcript.
                EXPECT_EQ (text.indexOfChar ('(') >= 0, text.indexOfChar (')') > text.indexOfChar ('(')) << chapter.id;
                EXPECT_EQ (text.indexOfChar ('{') >= 0, text.indexOfChar ('}') > text.indexOfChar ('{')) << chapter.id;

                skippedPassages += text.containsChar ('(') ? 1 : 0;
                skippedWords += text.containsChar ('*') ? 1 : 0;
                groups += text.containsChar ('{') ? 1 : 0;
            }
        }
    }

    EXPECT_GE (skippedPassages, 6);
    EXPECT_GE (skippedWords, 6);
    EXPECT_GE (groups, 6);
}

TEST (SampleLibrary, HasTwoDemoUsersTheDefaultVersionAndASmallFootprint)
{
    ScratchFolder scratch;
    const auto result = loadFrom (TestLibraryWriter::getSampleLibrary(), scratch.get());
    ASSERT_NE (result.library, nullptr) << result.error;
    const auto& library = *result.library;

    ASSERT_EQ (library.getUsers().size(), 2u);
    auto* giulia = library.findUserByEmail ("giulia.rossi@example.com");
    ASSERT_NE (giulia, nullptr);
    EXPECT_EQ (giulia->passwordHash, "10bf2fde741bbd32e06e72cdc868ecff"); // md5 of "tessaly-giulia"
    EXPECT_EQ (giulia->name, "Giulia Rossi");
    ASSERT_NE (library.findUserByEmail ("mark.evans@example.com"), nullptr);
    EXPECT_EQ (library.findUserByEmail ("mark.evans@example.com")->passwordHash, "6c1089a21980ce1e68a49ed708aa08d8");

    // The player is 1.36: the sample library must not offer it an upgrade.
    EXPECT_EQ (library.getProgramVersion(), "1.36");
    EXPECT_TRUE (library.getInstaller().isPresent());

    juce::int64 total = 0;

    for (auto& file : TestLibraryWriter::getSampleLibrary().findChildFiles (juce::File::findFiles, true))
        total += file.getSize();

    EXPECT_LT (total, 3 * 1024 * 1024);
}

TEST (LibraryLoader, PacksAPartnersFolderIntoAZipWithItsIndexNamedByChecksum)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});

    const auto first = loadFrom (library, scratch.getChildFile ("work"));
    ASSERT_NE (first.library, nullptr) << first.error;
    const auto partners = first.library->getCourses().front().partners;

    EXPECT_EQ (partners.file.getFileName(), partners.md5 + ".zip");
    EXPECT_EQ (juce::MD5 (partners.file).toHexString(), partners.md5);
    juce::ZipFile zip (partners.file);
    ASSERT_EQ (zip.getNumEntries(), 2);
    EXPECT_NE (zip.getEntry ("index.html"), nullptr);
    EXPECT_NE (zip.getEntry ("img/logo.png"), nullptr);

    // Unchanged sites pack to the same bytes, so clients keep their copies across restarts.
    const auto again = loadFrom (library, scratch.getChildFile ("other-work"));
    ASSERT_NE (again.library, nullptr);
    EXPECT_EQ (again.library->getCourses().front().partners.md5, partners.md5);

    library.getChildFile ("extras/partners/index.html").replaceWithText ("<html>new partners</html>");
    const auto changed = loadFrom (library, scratch.getChildFile ("work"));
    ASSERT_NE (changed.library, nullptr);
    EXPECT_NE (changed.library->getCourses().front().partners.md5, partners.md5);
    EXPECT_TRUE (partners.file.existsAsFile()) << "an archive in use must not be replaced";
}

TEST (LibraryLoader, HashesPasswordsAsUtf8AndAcceptsReadyHashes)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto manifest = library.getChildFile ("library.xml");
    manifest.replaceWithText (manifest.loadFileAsString()
                                  .replace ("password=\"analytical engine\"", juce::String::fromUTF8 ("password=\"L\xc3\xb6velace\""))
                                  .replace ("password=\"bombe\"", "passwordmd5=\"A022AD1B74A091AB4DF845A33A471000\""));

    const auto result = loadFrom (library, scratch.getChildFile ("work"));
    ASSERT_NE (result.library, nullptr) << result.error;
    EXPECT_EQ (result.library->findUserByEmail ("ADA@example.com")->passwordHash, "96e5214c7ed0dabf7caba2edd3b8289b");
    EXPECT_EQ (result.library->findUserByEmail ("alan@example.com")->passwordHash, "a022ad1b74a091ab4df845a33a471000");
}

TEST (LibraryLoader, DatesAChapterWithoutADateByItsVideo)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto id = TestLibraryWriter::chapterId ("it", 0, 0, 0);
    const auto manifest = library.getChildFile ("library.xml");
    manifest.replaceWithText (manifest.loadFileAsString().replace ("date=\"2024-01-15\"", ""));
    library.getChildFile ("videos/" + id + ".mp4").setLastModificationTime (juce::Time (2022, 10, 3, 12, 0));

    const auto result = loadFrom (library, scratch.getChildFile ("work"));
    ASSERT_NE (result.library, nullptr) << result.error;
    EXPECT_EQ (result.library->findChapter (id)->date, "2022-11-03");
}

TEST (LibraryLoader, ReportsEveryUnusableManifestWithWhereItIs)
{
    ScratchFolder scratch;
    const auto chapter = TestLibraryWriter::chapterId ("it", 0, 0, 0);

    EXPECT_TRUE (loadWithManifestChange (scratch, "<course ", "<course <").contains ("library.xml"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "videos/" + chapter + ".mp4", "videos/missing.mp4").contains ("missing.mp4"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "videos/" + chapter + ".mp4", "../outside.mp4").contains ("outside the library"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "videos/" + chapter + ".mp4", "/etc/passwd").contains ("relative"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "id=\"" + chapter + "\"", "id=\"a/b\"").contains ("identifier"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "id=\"" + chapter + "\"", "id=\"..\"").contains ("identifier"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "id=\"" + chapter + "\"", "id=\"" + TestLibraryWriter::chapterId ("en", 0, 1, 1) + "\"").contains ("used twice"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "lang=\"en\"", "lang=\"de\"").contains ("lang"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "date=\"2024-01-15\"", "date=\"2024-13-15\"").contains ("YYYY-MM-DD"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "version=\"1.36\"", "").contains ("program version"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "password=\"bombe\"", "").contains ("password"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "email=\"Alan@Example.com\"", "email=\"ADA@example.com\"").contains ("twice"));
    EXPECT_TRUE (loadWithManifestChange (scratch, "extras/partners\"", "extras/credits.jpg\"").contains ("index.html"));
}

TEST (LibraryLoader, RefusesVideosTooLargeForClientsWithoutReadingThem)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto video = library.getChildFile ("videos/" + TestLibraryWriter::chapterId ("en", 0, 1, 0) + ".mp4");

    {
        // A sparse file: 2 GB on paper, nothing on disk.
        juce::FileOutputStream out (video);
        ASSERT_TRUE (out.setPosition (LibraryLoader::largestPublishedFile));
        out.writeByte (1);
    }

    LibraryLoader loader (library, scratch.getChildFile ("work"));
    const auto startedAt = juce::Time::getMillisecondCounter();
    const auto result = loader.load();
    EXPECT_EQ (result.library, nullptr);
    EXPECT_TRUE (result.error.contains ("larger than 2 GB")) << result.error;
    EXPECT_LT (juce::Time::getMillisecondCounter() - startedAt, 2000u);
}

TEST (LibraryLoader, ReadsOnlyChangedFilesWhenLoadingAgain)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    ageFiles (library);
    LibraryLoader loader (library, scratch.getChildFile ("work"));

    ASSERT_NE (loader.load().library, nullptr);
    const auto afterFirstLoad = loader.getFilesDigested();
    EXPECT_GT (afterFirstLoad, 8);

    ASSERT_NE (loader.load().library, nullptr);
    EXPECT_EQ (loader.getFilesDigested(), afterFirstLoad);

    // Just written: its time may not yet tell a further change, so it is read every time.

    const auto id = TestLibraryWriter::chapterId ("en", 0, 0, 1);
    TestLibraryWriter::writeBytes (library.getChildFile ("videos/" + id + ".mp4"), 2000, 4242);
    const auto result = loader.load();
    ASSERT_NE (result.library, nullptr);
    EXPECT_EQ (loader.getFilesDigested(), afterFirstLoad + 1);
    EXPECT_EQ (result.library->findChapter (id)->video.md5, juce::MD5 (library.getChildFile ("videos/" + id + ".mp4")).toHexString());
    EXPECT_FALSE (result.settled);

    TestLibraryWriter::writeBytes (library.getChildFile ("videos/" + id + ".mp4"), 2000, 4343);
    EXPECT_EQ (loader.load().library->findChapter (id)->video.md5, juce::MD5 (library.getChildFile ("videos/" + id + ".mp4")).toHexString());
    EXPECT_EQ (loader.getFilesDigested(), afterFirstLoad + 2);

    ageFiles (library);
    EXPECT_TRUE (loader.load().settled);
}

TEST (LibraryMonitor, ReloadsOnChangesAndRemembersWhen)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    LibraryMonitor monitor (library);
    juce::String error;
    ASSERT_TRUE (monitor.loadInitial (error)) << error;

    EXPECT_FALSE (monitor.checkForChanges());
    EXPECT_FALSE (monitor.getState().lastChange.has_value()) << "starting is not a change";

    // Maintenance is a switch, not a change of the library.
    library.getChildFile ("MAINTENANCE").create();
    EXPECT_FALSE (monitor.checkForChanges());

    const auto before = juce::Time::getCurrentTime();
    const auto manifest = library.getChildFile ("library.xml");
    manifest.replaceWithText (manifest.loadFileAsString().replace ("it course 1", "corso rinnovato"));
    EXPECT_TRUE (monitor.checkForChanges());
    auto state = monitor.getState();
    ASSERT_NE (state.library, nullptr);
    EXPECT_EQ (state.library->getCourses().front().title, "corso rinnovato");
    ASSERT_TRUE (state.lastChange.has_value());
    EXPECT_GE (state.lastChange->toMilliseconds(), before.toMilliseconds());
    EXPECT_FALSE (monitor.checkForChanges());

    // Same size, new content: the modification time tells.
    const auto video = library.getChildFile ("videos/" + TestLibraryWriter::chapterId ("it", 0, 1, 1) + ".mp4");
    TestLibraryWriter::writeBytes (video, 2000, 777);
    video.setLastModificationTime (juce::Time::getCurrentTime() + juce::RelativeTime::seconds (5));
    EXPECT_TRUE (monitor.checkForChanges());
    EXPECT_EQ (monitor.getState().library->findChapter (TestLibraryWriter::chapterId ("it", 0, 1, 1))->video.md5,
               juce::MD5 (video).toHexString());

    library.getChildFile ("extras/partners/more.html").replaceWithText ("more");
    EXPECT_TRUE (monitor.checkForChanges());
}

TEST (LibraryMonitor, CatchesARewriteThatKeptTheFilesTime)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    LibraryMonitor monitor (library);
    juce::String error;
    ASSERT_TRUE (monitor.loadInitial (error)) << error;

    // File systems stamp times coarsely: a rewrite right after a read may keep size and time.
    const auto id = TestLibraryWriter::chapterId ("en", 0, 0, 0);
    const auto video = library.getChildFile ("videos/" + id + ".mp4");
    const auto time = video.getLastModificationTime();
    TestLibraryWriter::writeBytes (video, 2000, 31337);
    video.setLastModificationTime (time);

    EXPECT_TRUE (monitor.checkForChanges());
    EXPECT_EQ (monitor.getState().library->findChapter (id)->video.md5, juce::MD5 (video).toHexString());
}

TEST (LibraryMonitor, ABrokenLibraryIsUnavailableUntilFixed)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    LibraryMonitor monitor (library);
    juce::String error;
    ASSERT_TRUE (monitor.loadInitial (error));

    const auto video = library.getChildFile ("videos/" + TestLibraryWriter::chapterId ("en", 0, 0, 0) + ".mp4");
    ASSERT_TRUE (video.moveFileTo (scratch.getChildFile ("aside.mp4")));
    EXPECT_TRUE (monitor.checkForChanges());
    EXPECT_EQ (monitor.getState().library, nullptr);
    EXPECT_TRUE (monitor.getState().loadError.contains (video.getFileName()));

    ASSERT_TRUE (scratch.getChildFile ("aside.mp4").moveFileTo (video));
    EXPECT_TRUE (monitor.checkForChanges());
    EXPECT_NE (monitor.getState().library, nullptr);
    EXPECT_TRUE (monitor.getState().loadError.isEmpty());
}

TEST (LibraryMonitor, KeepsWatchingAFileRefusedForItsLinkUntilTheRealOneIsBack)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    LibraryMonitor monitor (library);
    juce::String error;
    ASSERT_TRUE (monitor.loadInitial (error)) << error;

    const auto secret = scratch.getChildFile ("secret.txt");
    secret.replaceWithText ("secret outside the library");
    const auto video = library.getChildFile ("videos/" + TestLibraryWriter::chapterId ("en", 0, 0, 0) + ".mp4");
    ASSERT_TRUE (video.deleteFile());
    ASSERT_TRUE (secret.createSymbolicLink (video, false));
    EXPECT_TRUE (monitor.checkForChanges());
    EXPECT_EQ (monitor.getState().library, nullptr);
    EXPECT_TRUE (monitor.getState().loadError.contains ("through a symbolic link")) << monitor.getState().loadError;

    // Back as it was, long settled: only watching the refused path itself can tell.
    ASSERT_TRUE (video.deleteFile());
    TestLibraryWriter::writeBytes (video, 2000, 11);
    video.setLastModificationTime (juce::Time::getCurrentTime() - juce::RelativeTime::minutes (5));
    monitor.checkForChanges();
    EXPECT_NE (monitor.getState().library, nullptr) << monitor.getState().loadError;
    EXPECT_TRUE (monitor.getState().loadError.isEmpty());
}

TEST (FileFingerprint, TellsALinkFromTheFileItLeadsTo)
{
    ScratchFolder scratch;
    const auto real = scratch.getChildFile ("real.bin");
    const auto path = scratch.getChildFile ("path.bin");
    TestLibraryWriter::writeBytes (real, 100, 1);
    ASSERT_TRUE (real.copyFileTo (path));
    const auto time = juce::Time (2024, 0, 2, 3, 4, 5, 0, false);
    ASSERT_TRUE (real.setLastModificationTime (time) && path.setLastModificationTime (time));
    const auto asFile = FileFingerprint::of ({ path });

    ASSERT_TRUE (path.deleteFile());
    ASSERT_TRUE (real.createSymbolicLink (path, false));
    EXPECT_NE (FileFingerprint::of ({ path }), asFile) << "same size and time, but now a link";
}

namespace
{
/** A manifest whose elements nest this deep inside the root. */
juce::String deeplyNestedManifest (const juce::String& good, int levels)
{
    return good.replace ("<users>", juce::String::repeatedString ("<x>", levels) + juce::String::repeatedString ("</x>", levels) + "<users>");
}
} // namespace

TEST (LibraryLoader, RefusesDeeplyNestedManifestsWithoutExhaustingTheStack)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto manifest = library.getChildFile ("library.xml");
    const auto good = manifest.loadFileAsString();
    LibraryLoader loader (library, scratch.getChildFile ("work"));

    manifest.replaceWithText (deeplyNestedManifest (good, 40000));
    auto result = loader.load();
    EXPECT_EQ (result.library, nullptr);
    EXPECT_TRUE (result.error.contains ("library.xml: elements are nested more than 32 deep")) << result.error;

    // Unknown elements are ignored as long as they stay shallow.
    manifest.replaceWithText (deeplyNestedManifest (good, LibraryLoader::deepestManifest - 1));
    result = loader.load();
    EXPECT_NE (result.library, nullptr) << result.error;

    manifest.replaceWithText (good.replace ("<users>", "\n\n<users>").replace ("</users>", "</usrs>"));
    result = loader.load();
    EXPECT_EQ (result.library, nullptr);
    EXPECT_TRUE (result.error.startsWith ("library.xml, line ")) << result.error;
}

TEST (LibraryLoader, LeavesEntitiesOfADocumentTypeUnresolved)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto secret = scratch.getChildFile ("secret.txt");
    secret.replaceWithText ("secret outside the library");

    const auto manifest = library.getChildFile ("library.xml");
    const auto doctype = "<!DOCTYPE library [ <!ENTITY outside SYSTEM \"file://" + secret.getFullPathName() + "\"> <!ENTITY inside \"expanded\"> ]>\n";
    manifest.replaceWithText (doctype + manifest.loadFileAsString().replace ("title=\"it course 1\"", "title=\"&outside;&inside;\""));

    const auto result = loadFrom (library, scratch.getChildFile ("work"));
    ASSERT_NE (result.library, nullptr) << result.error;
    const auto& title = result.library->findCourse (TestLibraryWriter::courseId ("it", 0))->title;
    EXPECT_FALSE (title.contains ("secret")) << title;
    EXPECT_FALSE (title.contains ("expanded")) << title;
}

TEST (LibraryLoader, FollowsSymbolicLinksBeforeCheckingTheyStayInside)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto secret = scratch.getChildFile ("secret.txt");
    secret.replaceWithText ("secret outside the library");
    LibraryLoader loader (library, scratch.getChildFile ("work"));

    const auto video = library.getChildFile ("videos/" + TestLibraryWriter::chapterId ("en", 0, 1, 0) + ".mp4");
    const auto aside = scratch.getChildFile ("aside.mp4");
    ASSERT_TRUE (video.moveFileTo (aside));

    // Inside the library a link is as good as the file.
    const auto kept = library.getChildFile ("store/kept.mp4");
    kept.getParentDirectory().createDirectory();
    ASSERT_TRUE (aside.copyFileTo (kept));
    ASSERT_TRUE (kept.createSymbolicLink (video, true));
    auto result = loader.load();
    ASSERT_NE (result.library, nullptr) << result.error;
    EXPECT_EQ (result.library->findChapter (TestLibraryWriter::chapterId ("en", 0, 1, 0))->video.realPath, kept.getFullPathName());

    for (auto* target : { &secret, &aside })
    {
        ASSERT_TRUE (target->createSymbolicLink (video, true));
        result = loader.load();
        EXPECT_EQ (result.library, nullptr);
        EXPECT_TRUE (result.error.contains ("leads outside the library folder through a symbolic link")) << result.error;
    }

    ASSERT_TRUE (kept.createSymbolicLink (video, true));
    ASSERT_TRUE (loader.load().library != nullptr);

    // A link to a folder on the way counts too.
    const auto outsideFolder = scratch.getChildFile ("outside");
    outsideFolder.createDirectory();
    ASSERT_TRUE (kept.copyFileTo (outsideFolder.getChildFile ("kept.mp4")));
    ASSERT_TRUE (library.getChildFile ("store").deleteRecursively());
    ASSERT_TRUE (outsideFolder.createSymbolicLink (library.getChildFile ("store"), true));
    EXPECT_EQ (loader.load().library, nullptr);
    ASSERT_TRUE (library.getChildFile ("store").deleteFile());

    // And inside a partners site, whose files are zipped and published.
    ASSERT_TRUE (aside.moveFileTo (video));
    ASSERT_TRUE (secret.createSymbolicLink (library.getChildFile ("extras/partners/img/passwd.png"), true));
    result = loader.load();
    EXPECT_EQ (result.library, nullptr);
    EXPECT_TRUE (result.error.contains ("extras/partners/img/passwd.png\" leads outside")) << result.error;
}

TEST (LibraryLoader, PublishesTheSignatureBesideTheInstallerAndRefusesABrokenOne)
{
    ScratchFolder scratch;
    const auto library = scratch.getChildFile ("library");
    TestLibraryWriter::write (library, {});
    const auto signatureFile = library.getChildFile ("installer/Setup File.exe.sig");
    const auto signature = signatureFile.loadFileAsString().trim();

    const auto signedLoad = loadFrom (library, scratch.getChildFile ("work"));
    ASSERT_NE (signedLoad.library, nullptr) << signedLoad.error;
    EXPECT_EQ (signedLoad.library->getInstaller().signature, signature);
    EXPECT_TRUE (signedLoad.watchedFiles.contains (signatureFile)) << "re-signing is a change of the library";

    const auto document = CatalogDocumentBuilder::buildCatalog (*signedLoad.library, "en", nullptr, ProviderAddresses ("http://h/"), 60);
    EXPECT_EQ (document->getStringAttribute ("win_app_signature"), signature);

    for (const auto& broken : { signature.substring (1), signature.replace ("==", "!="), juce::String ("not a signature") })
    {
        signatureFile.replaceWithText (broken);
        const auto result = loadFrom (library, scratch.getChildFile ("work"));
        EXPECT_EQ (result.library, nullptr) << broken;
        EXPECT_TRUE (result.error.contains ("Setup File.exe.sig\" is not an Ed25519 signature")) << result.error;
    }

    ASSERT_TRUE (signatureFile.deleteFile());
    const auto unsignedLoad = loadFrom (library, scratch.getChildFile ("work"));
    ASSERT_NE (unsignedLoad.library, nullptr);
    EXPECT_TRUE (unsignedLoad.library->getInstaller().signature.isEmpty());
    EXPECT_NE (unsignedLoad.signature, signedLoad.signature);
    EXPECT_FALSE (CatalogDocumentBuilder::buildCatalog (*unsignedLoad.library, "en", nullptr, ProviderAddresses ("http://h/"), 60)->hasAttribute ("win_app_signature"));
}
