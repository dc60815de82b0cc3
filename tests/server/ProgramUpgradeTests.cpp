#include "app/PrivateTempFolder.h"
#include "model/CatalogParser.h"
#include "model/Core.h"
#include "server/InstallerArchive.h"
#include "server/ProgramUpgrade.h"
#include "tests/common/RecordingOpener.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"
#include "tests/common/TestHttpServer.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace
{
/** A download list entry whose run failed at once: it stays in the list and never runs. */
struct FailedJob final : DownloadJob
{
    FailedJob (const juce::String& id, const juce::String& name) : chapterId (id), title (name) {}

    const juce::String& getChapterId() const noexcept override { return chapterId; }
    const juce::String& getTitle() const noexcept override { return title; }
    DownloadState getState() const noexcept override { return DownloadState::Failed; }
    DownloadError getErrorCode() const noexcept override { return DownloadError::ConnectionError; }
    float getProgress() const noexcept override { return 0.0f; }
    bool start() override { return false; }
    void stop (int) override {}

    const juce::String chapterId, title;
};

std::unique_ptr<DownloadJob> makeFailedJob (Core&, const juce::String& chapterId, const juce::String& title, const juce::File&, const juce::URL&)
{
    return std::make_unique<FailedJob> (chapterId, title);
}

class UpgradeTest : public ::testing::Test
{
protected:
    void SetUp() override { folder.createDirectory(); }
    void TearDown() override
    {
        core = nullptr;
        folder.deleteRecursively();
    }

    /** Offers the catalog's version with the installer served under a path, signed with the
        sample key unless another signature is given.
    */
    void offer (const juce::String& version, const juce::String& path, const juce::String& body, int announcedSize, std::optional<juce::String> signature = {})
    {
        server.setHandler ([path, body] (const TestHttpServer::Request& r) {
            return r.path == "/" + path ? TestHttpServer::Response { 200, body, "application/octet-stream" }
                                        : TestHttpServer::Response { 404, "missing", "text/plain" };
        });

        catalog.win_version = version;
        catalog.win_app = juce::URL (server.getBaseUrl() + path);
        catalog.win_app_size = announcedSize;
        catalog.win_app_signature = signature.has_value() ? *signature : signatureOf (body);
        ProgramUpgrade::offer (catalog, *core, "1.36", [this] { ++quitRequests; }, trustedKey);
    }

    /** Serves a ZIP archive, signed, as a newer version's installer and accepts the offer. */
    void offerZip (const juce::MemoryBlock& zip)
    {
        server.setHandler ([zip] (const TestHttpServer::Request&) {
            TestHttpServer::Response response { 200, {}, "application/zip" };
            response.data = zip;
            return response;
        });
        catalog.win_version = "1.5";
        catalog.win_app = juce::URL (server.getBaseUrl() + "TSY.zip");
        catalog.win_app_size = (int) zip.getSize();
        catalog.win_app_signature = TestLibraryWriter::sign (zip, TestLibraryWriter::getSampleSigningKey());
        prompts.answerNext (true);
        ProgramUpgrade::offer (catalog, *core, "1.36", [this] { ++quitRequests; }, trustedKey);
    }

    static juce::String signatureOf (const juce::String& body)
    {
        return TestLibraryWriter::sign (juce::MemoryBlock (body.toRawUTF8(), body.getNumBytesAsUTF8()), TestLibraryWriter::getSampleSigningKey());
    }

    juce::String titleOfLastPrompt() const { return prompts.shown.empty() ? juce::String() : prompts.shown.back().title; }

    juce::File folder = juce::File::createTempFile ("tsy-upgrade-test");
    std::unique_ptr<Core> core = std::make_unique<Core> (folder, Core::Workers { makeFailedJob });
    TestHttpServer server;
    ScriptedPrompts prompts;
    Catalog catalog;
    int quitRequests = 0;
    const juce::String trustedKey = TestLibraryWriter::publicKeyOf (TestLibraryWriter::getSampleSigningKey());
    const juce::String installer = juce::String::repeatedString ("MZ installer bytes ", 5000);
};

juce::MemoryBlock zipWith (const juce::StringArray& entryNames)
{
    juce::ZipFile::Builder builder;

    for (const auto& name : entryNames)
        builder.addEntry (new juce::MemoryInputStream ("package", 7, true), 0, name, juce::Time::getCurrentTime());

    juce::MemoryOutputStream out;
    builder.writeToStream (out, nullptr);
    return out.getMemoryBlock();
}

juce::MemoryBlock zipWith (const juce::String& entryName)
{
    return zipWith (juce::StringArray { entryName });
}

/** An archive whose entry "setup.mpkg" is a symbolic link to a file elsewhere, after plain
    entries of these names.
*/
juce::MemoryBlock zipWithLinkTo (const juce::File& target, const juce::File& scratch, const juce::StringArray& plainNames = {})
{
    const auto link = scratch.getChildFile ("link");
    EXPECT_TRUE (target.createSymbolicLink (link, true));
    juce::ZipFile::Builder builder;

    for (const auto& name : plainNames)
        builder.addEntry (new juce::MemoryInputStream ("package", 7, true), 0, name, juce::Time::getCurrentTime());

    builder.addFile (link, 0, "setup.mpkg");
    juce::MemoryOutputStream out;
    builder.writeToStream (out, nullptr);
    link.deleteFile();
    return out.getMemoryBlock();
}

/** A fresh Ed25519 private key in a PEM file: a key the player does not trust. */
juce::File writeOtherKey (const juce::File& file)
{
    auto* key = EVP_PKEY_Q_keygen (nullptr, nullptr, "ED25519");
    auto* bio = BIO_new (BIO_s_mem());
    PEM_write_bio_PrivateKey (bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* text = nullptr;
    const auto length = BIO_get_mem_data (bio, &text);
    file.replaceWithData (text, (size_t) length);
    BIO_free (bio);
    EVP_PKEY_free (key);
    return file;
}
} // namespace

TEST (ProgramUpgradeRules, VersionsCompareAsNumbers)
{
    EXPECT_FALSE (ProgramUpgrade::isNewer ("1.36", "1.36"));
    EXPECT_TRUE (ProgramUpgrade::isNewer ("1.4", "1.36"));
    EXPECT_FALSE (ProgramUpgrade::isNewer ("1.100", "1.36"));
    EXPECT_FALSE (ProgramUpgrade::isNewer ("", "1.36"));
    EXPECT_FALSE (ProgramUpgrade::isNewer ("soon", "1.36"));
    EXPECT_TRUE (ProgramUpgrade::isNewer ("2", "1.36"));

    EXPECT_EQ (ProgramUpgrade::getArchiveName (juce::URL ("http://h/dl/TSY%20Setup.exe")), "archive.exe");
    EXPECT_EQ (ProgramUpgrade::getArchiveName (juce::URL ("http://h/dl/v1.5/setup")), "archive.5/setup");
    EXPECT_EQ (ProgramUpgrade::getArchiveName (juce::URL ("http://h/dl/installer")), "archive.dl/installer");
    EXPECT_EQ (ProgramUpgrade::getWorkingFolder(), PrivateTempFolder::get().getChildFile ("tsy-upgrade"));
}

TEST_F (UpgradeTest, NoOfferForTheSameVersion)
{
    offer ("1.36", "setup.exe", installer, installer.length());
    EXPECT_TRUE (prompts.shown.empty());
    EXPECT_TRUE (server.getRequests().empty());
}

TEST_F (UpgradeTest, AnythingInTheDownloadListSuppressesTheOffer)
{
    auto queued = std::make_unique<Catalog>();
    ASSERT_TRUE (CatalogParser::parseCatalog (*queued,
                                              *juce::parseXML ("<catalog userid='u1' baseurl='http://127.0.0.1:1/'><course id='c'><lesson>"
                                                               "<chapter id='ch' size='10'/></lesson></course></catalog>"),
                                              true));
    core->setUsersDirectory (folder.getChildFile ("users"), juce::dontSendNotification);
    core->setCatalog (std::move (queued));
    ASSERT_TRUE (core->getDownloads().addDownload ("c", "ch", "a chapter"));

    // Its download failed, but the entry stays in the list.
    ASSERT_EQ (core->getDownloads().getDownloadCount(), 1);
    offer ("1.4", "setup.exe", installer, installer.length());
    EXPECT_TRUE (prompts.shown.empty());
    EXPECT_TRUE (server.getRequests().empty());
}

TEST_F (UpgradeTest, DecliningChangesNothing)
{
    prompts.answerNext (false);
    offer ("1.4", "setup.exe", installer, installer.length());
    ASSERT_EQ (prompts.shown.size(), 1u);
    EXPECT_EQ (prompts.shown[0].title, "New version available");
    EXPECT_EQ (prompts.shown[0].text, "A newer version (1.4) of this program is available online. Do you want to download and install it");
    EXPECT_EQ (prompts.shown[0].buttons, juce::StringArray ({ "Yes", "No" }));
    EXPECT_TRUE (server.getRequests().empty());
    EXPECT_EQ (quitRequests, 0);
}

TEST_F (UpgradeTest, AnExeIsStartedAndTheProgramQuits)
{
    prompts.answerNext (true);
    offer ("1.4", "dl/TSY-Setup.exe", installer, installer.length());
    ASSERT_EQ (prompts.opened.size(), 1);
    EXPECT_EQ (prompts.opened[0], ProgramUpgrade::getWorkingFolder().getChildFile ("archive.exe"));
    EXPECT_EQ (prompts.opened[0].loadFileAsString(), installer);
    EXPECT_EQ (prompts.progressTitles, juce::StringArray ({ "Downloading new version..." }));
    EXPECT_EQ (quitRequests, 1);
}

TEST_F (UpgradeTest, AnUnknownKindIsRevealed)
{
    prompts.answerNext (true);
    offer ("1.4", "TSY.dmg", installer, installer.length());
    EXPECT_TRUE (prompts.opened.isEmpty());
    ASSERT_EQ (prompts.revealed.size(), 1);
    EXPECT_EQ (prompts.revealed[0].getFileName(), "archive.dmg");
    EXPECT_EQ (quitRequests, 1);
}

TEST_F (UpgradeTest, FailedOrShortDownloadsAreNeverStarted)
{
    prompts.answerNext (true);
    offer ("1.4", "setup.exe", installer, installer.length() + 100);
    EXPECT_EQ (titleOfLastPrompt(), "Download error");
    EXPECT_FALSE (ProgramUpgrade::getWorkingFolder().getChildFile ("archive.exe").exists()) << "a short file is deleted";

    prompts.answerNext (true);
    offer ("1.4", "setup.exe", installer, installer.length());
    catalog.win_app = juce::URL (server.getBaseUrl() + "nowhere.exe");
    prompts.answerNext (true);
    ProgramUpgrade::offer (catalog, *core, "1.36", [this] { ++quitRequests; });
    EXPECT_EQ (titleOfLastPrompt(), "Download error") << "a 404 page is not an installer";
    EXPECT_FALSE (ProgramUpgrade::getWorkingFolder().getChildFile ("archive.exe").exists());
    EXPECT_EQ (prompts.opened.size(), 1) << "only the complete download was started";
}

TEST_F (UpgradeTest, CancellingLeavesThePartialFileQuietly)
{
    prompts.answerNext (true);
    prompts.cancelAtProgress = 0.2;
    const auto big = juce::String::repeatedString ("0123456789abcdef", 100000);
    offer ("1.4", "setup.exe", big, big.length());
    EXPECT_TRUE (prompts.opened.isEmpty());
    EXPECT_EQ (titleOfLastPrompt(), "New version available") << "no message after a cancel";
    const auto partial = ProgramUpgrade::getWorkingFolder().getChildFile ("archive.exe");
    EXPECT_TRUE (partial.existsAsFile());
    EXPECT_LT (partial.getSize(), big.length());
    EXPECT_EQ (quitRequests, 0);
}

TEST_F (UpgradeTest, ZipArchivesOpenTheirPackage)
{
    offerZip (zipWith ("readme.txt"));
    EXPECT_EQ (titleOfLastPrompt(), "Install error");
    EXPECT_TRUE (prompts.opened.isEmpty());
    EXPECT_EQ (quitRequests, 0);

    // A hidden entry (what a Mac leaves beside a package) is not a package.
    offerZip (zipWith (".TSY-Player.mpkg"));
    EXPECT_EQ (titleOfLastPrompt(), "Install error");
    EXPECT_TRUE (prompts.opened.isEmpty());
    EXPECT_EQ (quitRequests, 0);

    offerZip (zipWith ("TSY-Player.mpkg"));
    ASSERT_EQ (prompts.opened.size(), 1);
    EXPECT_EQ (prompts.opened[0], ProgramUpgrade::getWorkingFolder().getChildFile ("TSY-Player.mpkg"));
    EXPECT_EQ (quitRequests, 1);
}

TEST (InstallerSignature, VerifiesOnlyTheSignedBytesUnderTheTrustedKey)
{
    const auto key = TestLibraryWriter::getSampleSigningKey();
    const auto publicKey = TestLibraryWriter::publicKeyOf (key);
    const juce::MemoryBlock bytes ("installer bytes", 15);
    const auto signature = TestLibraryWriter::sign (bytes, key);
    ASSERT_EQ (signature.length(), 88);
    EXPECT_EQ (publicKey, InstallerSignature::getTrustedKey()) << "the build trusts the sample library's key by default";

    EXPECT_TRUE (InstallerSignature::verify (bytes.getData(), bytes.getSize(), signature, publicKey));

    auto flipped = bytes;
    flipped[3] = (char) (flipped[3] ^ 1);
    EXPECT_FALSE (InstallerSignature::verify (flipped.getData(), flipped.getSize(), signature, publicKey)) << "a flipped byte";

    auto brokenSignature = signature;
    brokenSignature = (brokenSignature[0] == 'A' ? "B" : "A") + brokenSignature.substring (1);
    EXPECT_FALSE (InstallerSignature::verify (bytes.getData(), bytes.getSize(), brokenSignature, publicKey)) << "a changed signature";

    const auto scratch = juce::File::createTempFile ("key");
    const auto otherSignature = TestLibraryWriter::sign (bytes, writeOtherKey (scratch));
    scratch.deleteFile();
    EXPECT_FALSE (InstallerSignature::verify (bytes.getData(), bytes.getSize(), otherSignature, publicKey)) << "another key's signature";

    for (const auto& malformed : { juce::String(), signature.substring (4), signature.replace ("=", ""), "!" + signature.substring (1), signature + "AAAA" })
        EXPECT_FALSE (InstallerSignature::verify (bytes.getData(), bytes.getSize(), malformed, publicKey)) << malformed;

    EXPECT_FALSE (InstallerSignature::verify (bytes.getData(), bytes.getSize(), signature, publicKey.substring (4))) << "a malformed key";
}

TEST_F (UpgradeTest, AnInstallerWithoutAValidSignatureIsDeletedAndNeverOpened)
{
    const auto exe = [] { return ProgramUpgrade::getWorkingFolder().getChildFile ("archive.exe"); };
    const auto scratch = folder.getChildFile ("other.pem");
    const juce::StringArray cases { "missing", "another key", "another file", "flipped byte" };

    for (const auto& kind : cases)
    {
        SCOPED_TRACE (kind);
        prompts.answerNext (true);

        if (kind == "missing")
            offer ("1.4", "setup.exe", installer, installer.length(), juce::String());
        else if (kind == "another key")
            offer ("1.4", "setup.exe", installer, installer.length(), TestLibraryWriter::sign (juce::MemoryBlock (installer.toRawUTF8(), (size_t) installer.length()), writeOtherKey (scratch)));
        else if (kind == "another file")
            offer ("1.4", "setup.exe", installer, installer.length(), signatureOf ("#!/bin/sh\necho another installer\n"));
        else
            offer ("1.4", "setup.exe", installer.replaceSection (100, 1, "X"), installer.length(), signatureOf (installer));

        EXPECT_EQ (titleOfLastPrompt(), "Download error");
        EXPECT_FALSE (exe().exists()) << "the unverified file is deleted";
        EXPECT_TRUE (prompts.opened.isEmpty());
        EXPECT_TRUE (prompts.revealed.isEmpty());
        EXPECT_EQ (quitRequests, 0);
    }

    prompts.answerNext (true);
    offer ("1.4", "setup.exe", installer, installer.length());
    ASSERT_EQ (prompts.opened.size(), 1) << "the correctly signed one is opened";
    EXPECT_EQ (quitRequests, 1);
}

TEST_F (UpgradeTest, ArchivesWithLinksOrNamesLeavingTheFolderAreRefusedWhole)
{
    const ScratchHome home;
    const auto outside = home.getFolder().getChildFile ("elsewhere.sh");
    outside.replaceWithText ("#!/bin/sh\ntouch \"$HOME/LINK-RAN\"\n", false, false, "\n");
    outside.setExecutePermission (true);

    struct Case
    {
        const char* what;
        juce::MemoryBlock zip;
    };

    const std::vector<Case> cases {
        { "a link", zipWithLinkTo (outside, folder) },
        { "a link after a package", zipWithLinkTo (outside, folder, { "TSY.mpkg" }) },
        { "a step up", zipWith (juce::StringArray { "TSY.mpkg", "../escaped.mpkg" }) },
        { "an absolute name", zipWith (juce::StringArray { "TSY.mpkg", home.getFolder().getChildFile ("absolute.mpkg").getFullPathName() }) },
        { "a control character", zipWith (juce::StringArray { "TSY.mpkg", "bell\x07.mpkg" }) },
        { "a line break", zipWith (juce::StringArray { "TSY.mpkg", "two\nlines.mpkg" }) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        offerZip (c.zip);
        EXPECT_EQ (titleOfLastPrompt(), "Install error");
        EXPECT_TRUE (prompts.opened.isEmpty());
        EXPECT_EQ (quitRequests, 0);
        EXPECT_FALSE (ProgramUpgrade::getWorkingFolder().getChildFile ("setup.mpkg").existsAsFile()) << "no link is made";
        EXPECT_FALSE (ProgramUpgrade::getWorkingFolder().getChildFile ("TSY.mpkg").exists()) << "nothing is unpacked";
        EXPECT_FALSE (ProgramUpgrade::getWorkingFolder().getSiblingFile ("escaped.mpkg").exists());
        EXPECT_FALSE (home.getFolder().getChildFile ("absolute.mpkg").exists());
    }

    EXPECT_FALSE (home.getFolder().getChildFile ("LINK-RAN").exists());
}

TEST (InstallerArchiveRules, PlainNamesOnly)
{
    for (const auto* plain : { "TSY.mpkg", "dir/TSY.mpkg", "`cd;touch X`.mpkg", "x\";touch X;\".mpkg", "$(touch X).mpkg", "Caffè.mpkg", "a..b.mpkg" })
        EXPECT_TRUE (InstallerArchive::isPlainName (juce::CharPointer_UTF8 (plain))) << plain;

    for (const auto* refused : { "", "/etc/x.mpkg", "\\x.mpkg", "a/../../x.mpkg", "..\\x.mpkg", "..", "C:x.mpkg", "tab\t.mpkg", "del\x7f.mpkg", "esc\x1b[2J.mpkg" })
        EXPECT_FALSE (InstallerArchive::isPlainName (refused)) << refused;
}

TEST_F (UpgradeTest, NoPackageNameTurnsIntoACommand)
{
    const ScratchHome home;
    const auto here = juce::File::getCurrentWorkingDirectory();

    // Each name once ran "touch" through a shell: in the home folder, or where the shell ran.
    const juce::StringArray names { "`cd;touch BACKTICK-RAN`.mpkg", "x\";touch QUOTE-RAN;\".mpkg", "$(cd;touch DOLLAR-RAN).mpkg" };
    const juce::StringArray marks { "BACKTICK-RAN", "QUOTE-RAN", "DOLLAR-RAN" };

    for (int i = 0; i < names.size(); ++i)
    {
        SCOPED_TRACE (names[i]);
        prompts.opened.clear();
        offerZip (zipWith (names[i]));
        ASSERT_EQ (prompts.opened.size(), 1);
        const auto package = prompts.opened[0];
        EXPECT_EQ (package.getFileName(), names[i]);

        // What the real program does with the package it found.
        const RecordingOpener record;
        ModalPrompts().openWithSystem (package);
        EXPECT_EQ (record.waitForArguments(), juce::StringArray ({ package.getFullPathName() })) << "xdg-open got one argument, the name as it is";
    }

    for (const auto& mark : marks)
    {
        EXPECT_FALSE (home.getFolder().getChildFile (mark).exists()) << mark;
        EXPECT_FALSE (here.getChildFile (mark).exists()) << mark;
    }
}

TEST_F (UpgradeTest, TheRealProvidersSignedInstallerIsOpenedAndAnUnsignedOneIsNot)
{
    // One library signed as the tests write it, one signed by the provider's own command, one
    // whose signature file is missing.
    struct Case
    {
        const char* what;
        bool signedByWriter, signedByCommand, opened;
    };

    for (const auto& c : { Case { "written", true, false, true }, Case { "by the command", false, true, true }, Case { "unsigned", false, false, false } })
    {
        SCOPED_TRACE (c.what);
        const auto library = folder.getChildFile (juce::String ("library ") + c.what);
        TestLibraryWriter::Layout layout;
        layout.programVersion = "1.4";
        layout.withSignature = c.signedByWriter;
        TestLibraryWriter::write (library, layout);

        if (c.signedByCommand)
        {
            juce::ChildProcess signer;
            ASSERT_TRUE (signer.start (juce::StringArray { TSY_PROVIDER_EXECUTABLE, "--library", library.getFullPathName(), "--sign-installer", TestLibraryWriter::getSampleSigningKey().getFullPathName() }));
            const auto printed = signer.readAllProcessOutput();
            ASSERT_EQ (signer.getExitCode(), 0u) << printed;
            EXPECT_TRUE (printed.contains ("Setup File.exe.sig")) << printed;
        }

        ProviderProcess provider ({ "--library", library.getFullPathName() }, folder.getChildFile ("provider"));
        ASSERT_TRUE (provider.isRunning()) << provider.readErrors();

        const auto document = juce::URL (provider.getOrigin() + "/catalog.php?lang=en&nocache=1").readEntireTextStream();
        const auto root = juce::parseXML (document);
        ASSERT_NE (root, nullptr) << document;
        catalog.win_version = {};
        ASSERT_TRUE (CatalogParser::parseCatalog (catalog, *root, false));
        EXPECT_EQ (catalog.win_app_signature.isNotEmpty(), c.opened);

        prompts.opened.clear();
        prompts.answerNext (true);
        ProgramUpgrade::offer (catalog, *core, "1.36", [this] { ++quitRequests; }, trustedKey);
        EXPECT_EQ (prompts.opened.size(), c.opened ? 1 : 0);
        EXPECT_EQ (titleOfLastPrompt(), c.opened ? "New version available" : "Download error");
    }
}
