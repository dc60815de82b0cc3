#include "ScratchFolder.h"
#include "TestLibraryWriter.h"
#include "model/CatalogParser.h"
#include "provider/CatalogDocumentBuilder.h"
#include "provider/CatalogService.h"
#include "provider/LibraryLoader.h"

#include <gtest/gtest.h>

using namespace provider;

namespace
{
juce::StringPairArray queryOf (const juce::String& text)
{
    const juce::URL url ("http://client/catalog.php?" + text);
    juce::StringPairArray query (false);

    for (int i = 0; i < url.getParameterNames().size(); ++i)
        query.set (url.getParameterNames()[i], url.getParameterValues()[i]);

    return query;
}

juce::String md5Of (const juce::String& text)
{
    return juce::MD5 (text.toUTF8()).toHexString();
}

class CatalogServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestLibraryWriter::write (scratch.getChildFile ("library"), {});
        auto result = LibraryLoader (scratch.getChildFile ("library"), scratch.getChildFile ("work")).load();
        ASSERT_NE (result.library, nullptr) << result.error;
        state.library = result.library;
    }

    CatalogService::Answer answer (const juce::String& query, std::optional<juce::String> maintenance = std::nullopt) const
    {
        return service.answer (queryOf (query), state, maintenance, now);
    }

    std::unique_ptr<juce::XmlElement> answerXml (const juce::String& query) const
    {
        const auto reply = answer (query);
        auto root = juce::parseXML (reply.body);
        EXPECT_NE (root, nullptr) << reply.body;
        return root;
    }

    juce::String errorCode (const juce::String& query) const
    {
        auto root = answerXml (query);
        return root != nullptr && root->hasTagName ("error") ? root->getStringAttribute ("code") : "(no error)";
    }

    juce::String userQuery (const juce::String& email, const juce::String& password, const juce::String& rest = "&lang=it&nocache=1") const
    {
        return "auth=1&username=" + juce::URL::addEscapeChars (email, true) + "&password=" + md5Of (password) + rest;
    }

    ScratchFolder scratch;
    LibraryState state;
    CatalogService service { ProviderAddresses ("http://provider.test:9000/tsy"), 600 };
    juce::Time now = juce::Time::getCurrentTime();
};
} // namespace

TEST_F (CatalogServiceTest, AnonymousCatalogListsTheLanguagesCoursesWithMeasuredChapters)
{
    const auto root = answerXml ("auth=0&lang=it&nocache=1");
    ASSERT_NE (root, nullptr);
    EXPECT_TRUE (root->hasTagName ("catalog"));
    EXPECT_FALSE (root->hasAttribute ("userid"));
    EXPECT_FALSE (root->hasAttribute ("username"));
    EXPECT_EQ (root->getStringAttribute ("baseurl"), "http://provider.test:9000/tsy/videos/");
    EXPECT_EQ (root->getStringAttribute ("homeurl"), "http://provider.test:9000/tsy/home.php");
    EXPECT_EQ (root->getStringAttribute ("win_version"), "1.36");
    EXPECT_EQ (root->getStringAttribute ("win_app"), "http://provider.test:9000/tsy/download/Setup%20File.exe");
    EXPECT_EQ (root->getIntAttribute ("win_app_size"), 4321);

    ASSERT_EQ (root->getNumChildElements(), 1);
    auto* course = root->getChildElement (0);
    EXPECT_EQ (course->getStringAttribute ("id"), TestLibraryWriter::courseId ("it", 0));
    EXPECT_EQ (course->getStringAttribute ("duration"), "18"); // four chapters of 4.5 s
    ASSERT_EQ (course->getNumChildElements(), 2);

    auto* chapter = course->getChildElement (1)->getChildElement (1);
    const auto id = TestLibraryWriter::chapterId ("it", 0, 1, 1);
    const auto video = scratch.getChildFile ("library/videos/" + id + ".mp4");
    EXPECT_EQ (chapter->getStringAttribute ("id"), id);
    EXPECT_EQ (chapter->getIntAttribute ("order"), 2);
    EXPECT_EQ (chapter->getStringAttribute ("md5"), juce::MD5 (video).toHexString());
    EXPECT_EQ (chapter->getIntAttribute ("size"), 2000);
    EXPECT_EQ (chapter->getStringAttribute ("duration"), "4.5");
    EXPECT_EQ (chapter->getStringAttribute ("native_resolution"), "320x180");
    EXPECT_EQ (chapter->getStringAttribute ("date"), "2024-02-15");
}

TEST_F (CatalogServiceTest, ExtrasAddressesEndWithTheChecksumOfWhatTheyServe)
{
    const auto root = answerXml ("auth=0&lang=en&nocache=1");
    ASSERT_NE (root, nullptr);
    auto* course = root->getChildByName ("course");
    ASSERT_NE (course, nullptr);
    const auto& extras = state.library->findCourse (course->getStringAttribute ("id"))->cover;

    for (auto* attribute : { "coverurl", "creditsurl", "partnersurl" })
    {
        const auto url = course->getStringAttribute (attribute);
        EXPECT_TRUE (url.startsWith ("http://provider.test:9000/tsy/extras/")) << url;
        const auto checksum = url.fromLastOccurrenceOf ("/", false, false).upToFirstOccurrenceOf (".", false, false);
        EXPECT_EQ (checksum.length(), 32) << url;
    }

    EXPECT_TRUE (course->getStringAttribute ("coverurl").endsWith ("/" + juce::MD5 (extras.file).toHexString() + ".png"));
    EXPECT_TRUE (course->getStringAttribute ("partnersurl").endsWith (".zip"));
}

TEST_F (CatalogServiceTest, ThePlayersParserReadsTheCatalog)
{
    const auto root = answerXml (userQuery ("ada@example.com", "analytical engine", "&lang=en&nocache=1"));
    ASSERT_NE (root, nullptr);

    Catalog catalog;
    ASSERT_TRUE (CatalogParser::parseCatalog (catalog, *root, true));
    EXPECT_EQ (catalog.userid, "u:1@gen");
    EXPECT_EQ (catalog.username, juce::String::fromUTF8 ("Ada L\xc3\xb6velace"));
    EXPECT_EQ (catalog.getNumCourses(), 1);
    EXPECT_EQ (catalog.chaptersById.size(), 4u);
    EXPECT_EQ (catalog.win_app.getFileName(), "Setup%20File.exe");
    EXPECT_EQ (catalog.win_app_size, 4321);

    const auto id = TestLibraryWriter::chapterId ("en", 0, 0, 1);
    const auto* chapter = catalog.getChapter (id);
    ASSERT_NE (chapter, nullptr);
    EXPECT_EQ (chapter->md5, state.library->findChapter (id)->video.md5);
    EXPECT_EQ (chapter->size, 2000);
    EXPECT_FLOAT_EQ (chapter->duration, 4.5f);
    EXPECT_EQ (chapter->nativeWidth, 320);
    EXPECT_EQ (catalog.baseurl, "http://provider.test:9000/tsy/videos/");
}

TEST_F (CatalogServiceTest, SignsInByEmailInAnyCaseAndTheHashInAnyCase)
{
    auto root = answerXml ("auth=1&username=ALAN%40example.COM&password=" + md5Of ("bombe").toUpperCase() + "&lang=it&nocache=1");
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getStringAttribute ("userid"), "2");
    EXPECT_EQ (root->getStringAttribute ("username"), "Alan T.");
    EXPECT_EQ (root->getNumChildElements(), 1) << "a user's catalog holds the whole library of the language";
}

TEST_F (CatalogServiceTest, SignsInByTheDisplayNameTheCatalogGaveOut)
{
    // What a refresh sends: the "username" of the user's own catalog.
    const auto first = answerXml (userQuery ("ada@example.com", "analytical engine"));
    ASSERT_NE (first, nullptr);
    const auto displayName = first->getStringAttribute ("username");
    EXPECT_EQ (displayName, juce::String::fromUTF8 ("Ada L\xc3\xb6velace"));

    const auto refreshed = answerXml (userQuery (displayName, "analytical engine"));
    ASSERT_NE (refreshed, nullptr);
    EXPECT_TRUE (refreshed->hasTagName ("catalog"));
    EXPECT_EQ (refreshed->getStringAttribute ("userid"), "u:1@gen");
    EXPECT_EQ (refreshed->getStringAttribute ("username"), displayName);

    EXPECT_EQ (errorCode (userQuery ("Alan T.", "bombe", "&lang=it")), "(no error)");
    EXPECT_EQ (errorCode (userQuery (displayName, "bombe")), "loginerror") << "another user's password";
    EXPECT_EQ (errorCode (userQuery ("alan t.", "bombe")), "loginerror") << "display names are matched exactly";
    EXPECT_EQ (errorCode (userQuery ("Alan", "bombe")), "loginerror");
}

TEST (Library, DisplayNamesSharedByTwoUsersSignInEachWithItsOwnPassword)
{
    ScratchFolder scratch;
    const auto folder = scratch.getChildFile ("library");
    TestLibraryWriter::write (folder, {});
    const auto manifest = folder.getChildFile ("library.xml");
    manifest.replaceWithText (manifest.loadFileAsString().replace ("</users>", "<user id=\"3\" email=\"alan@elsewhere.example\" password=\"enigma\" name=\"Alan T.\"/></users>"));
    const auto library = LibraryLoader (folder, scratch.getChildFile ("work")).load().library;
    ASSERT_NE (library, nullptr);

    ASSERT_NE (library->findSignedInUser ("Alan T.", md5Of ("bombe")), nullptr);
    EXPECT_EQ (library->findSignedInUser ("Alan T.", md5Of ("bombe"))->id, "2");
    ASSERT_NE (library->findSignedInUser ("Alan T.", md5Of ("enigma").toUpperCase()), nullptr);
    EXPECT_EQ (library->findSignedInUser ("Alan T.", md5Of ("enigma"))->id, "3");
    EXPECT_EQ (library->findSignedInUser ("Alan T.", md5Of ("other")), nullptr);
    EXPECT_EQ (library->findSignedInUser ("Alan T.", {}), nullptr);

    // An e-mail address is never taken for somebody else's display name.
    EXPECT_EQ (library->findSignedInUser ("alan@example.com", md5Of ("enigma")), nullptr);
}

TEST_F (CatalogServiceTest, AnswersErrorsWithTheirCodes)
{
    EXPECT_EQ (errorCode ("auth=0&lang=de&nocache=1"), "unsupportedlanguage");
    EXPECT_EQ (errorCode ("auth=0&nocache=1"), "unsupportedlanguage");
    EXPECT_EQ (errorCode ("auth=1&lang=it&nocache=1"), "userpwdmissing");
    EXPECT_EQ (errorCode ("auth=1&username=ada%40example.com&password=&lang=it"), "userpwdmissing");
    EXPECT_EQ (errorCode (userQuery ("ada@example.com", "wrong")), "loginerror");
    EXPECT_EQ (errorCode (userQuery ("nobody@example.com", "analytical engine")), "loginerror");
    EXPECT_EQ (errorCode ("auth=1&username=ada%40example.com&password=analytical%20engine&lang=it"), "loginerror")
        << "the clear password is not the credential";

    // Credentials are checked before anything is said about caching.
    EXPECT_EQ (errorCode (userQuery ("ada@example.com", "wrong", "&lang=it")), "loginerror");

    const auto bad = answer ("auth=2&lang=it");
    EXPECT_EQ (bad.status, 400);
    EXPECT_TRUE (bad.body.contains ("<error code=\"badrequest\""));
    EXPECT_EQ (answer ("auth=0&lang=it").status, 200);
}

TEST_F (CatalogServiceTest, AnUnavailableLibraryIsADatabaseError)
{
    state.library.reset();
    EXPECT_EQ (errorCode ("auth=0&lang=it&nocache=1"), "dberror");
    EXPECT_EQ (errorCode ("nocache=1&auth=0&min=1"), "dberror");
}

TEST_F (CatalogServiceTest, MaintenanceComesBeforeEverything)
{
    state.library.reset();
    const auto reply = answer ("auth=1&lang=de", juce::String ("Back at 10"));
    auto root = juce::parseXML (reply.body);
    ASSERT_NE (root, nullptr);
    EXPECT_TRUE (root->hasTagName ("maintenance"));
    EXPECT_EQ (root->getStringAttribute ("message"), "Back at 10");
    EXPECT_EQ (reply.status, 200);
}

TEST_F (CatalogServiceTest, WithoutNocacheNothingNewUnlessTheLibraryChangedWithinTheInterval)
{
    const auto isNotModified = [this] (const juce::String& query) {
        auto root = answerXml (query);
        return root != nullptr && root->hasTagName ("catalog") && root->getNumAttributes() == 2
            && root->getStringAttribute ("cached") == "1" && root->getIntAttribute ("refreshtime") == 600
            && root->getNumChildElements() == 0;
    };

    EXPECT_TRUE (isNotModified ("auth=0&lang=it"));
    EXPECT_TRUE (isNotModified ("auth=0&lang=it&nocache=0"));
    EXPECT_TRUE (isNotModified (userQuery ("ada@example.com", "analytical engine", "&lang=en")));
    EXPECT_FALSE (isNotModified ("auth=0&lang=it&nocache=1"));

    state.lastChange = now - juce::RelativeTime::seconds (599);
    EXPECT_FALSE (isNotModified ("auth=0&lang=it"));
    EXPECT_EQ (answerXml ("auth=0&lang=it")->getStringAttribute ("cached"), "0");

    state.lastChange = now - juce::RelativeTime::seconds (601);
    EXPECT_TRUE (isNotModified ("auth=0&lang=it"));
}

TEST_F (CatalogServiceTest, TranscriptsCoverEveryLanguageWithTheMarkupUntouched)
{
    const auto root = answerXml ("nocache=1&auth=0&min=1");
    ASSERT_NE (root, nullptr);
    EXPECT_TRUE (root->hasTagName ("catalog"));

    juce::StringArray ids;

    for (auto* course : root->getChildWithTagNameIterator ("course"))
        for (auto* lesson : course->getChildWithTagNameIterator ("lesson"))
            for (auto* chapter : lesson->getChildWithTagNameIterator ("chapter"))
            {
                const auto id = chapter->getStringAttribute ("id");
                ids.add (id);
                EXPECT_FALSE (chapter->hasAttribute ("md5"));
                ASSERT_NE (chapter->getChildByName ("text"), nullptr);
                EXPECT_EQ (chapter->getChildByName ("text")->getAllSubText(), "[00:01]Words of " + id + " (aside) *um {grouped words}");
            }

    EXPECT_EQ (ids.size(), 8);
    EXPECT_TRUE (ids.contains (TestLibraryWriter::chapterId ("it", 0, 0, 0)));
    EXPECT_TRUE (ids.contains (TestLibraryWriter::chapterId ("en", 0, 1, 1)));
}

TEST (CatalogDocumentBuilder, WritesNumbersShortAndDocumentsAsUtf8)
{
    EXPECT_EQ (CatalogDocumentBuilder::formatNumber (5.0), "5");
    EXPECT_EQ (CatalogDocumentBuilder::formatNumber (4.5), "4.5");
    EXPECT_EQ (CatalogDocumentBuilder::formatNumber (0.125), "0.125");
    EXPECT_EQ (CatalogDocumentBuilder::formatNumber (0.0), "0");

    const auto text = CatalogDocumentBuilder::toText (*CatalogDocumentBuilder::buildError ("loginerror", juce::String::fromUTF8 ("Accesso non riuscito: \xc3\xa8 & <")));
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    auto root = juce::parseXML (text);
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (root->getStringAttribute ("message"), juce::String::fromUTF8 ("Accesso non riuscito: \xc3\xa8 & <"));
}

TEST_F (CatalogServiceTest, ANewLibraryIsNeverAnsweredWithTheOldOnesCatalog)
{
    const auto before = answer ("auth=0&lang=it&nocache=1").body;
    EXPECT_EQ (answer ("auth=0&lang=it&nocache=1").body, before);
    EXPECT_NE (answer (userQuery ("ada@example.com", "analytical engine")).body, before);

    const auto manifest = scratch.getChildFile ("library/library.xml");
    manifest.replaceWithText (manifest.loadFileAsString().replace ("it course 1", "corso rinnovato"));
    state.library = LibraryLoader (scratch.getChildFile ("library"), scratch.getChildFile ("work")).load().library;
    ASSERT_NE (state.library, nullptr);

    EXPECT_TRUE (answer ("auth=0&lang=it&nocache=1").body.contains ("title=\"corso rinnovato\""));
    EXPECT_TRUE (answer (userQuery ("ada@example.com", "analytical engine")).body.contains ("title=\"corso rinnovato\""));
}
