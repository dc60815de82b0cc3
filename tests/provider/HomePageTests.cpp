#include "ScratchFolder.h"
#include "TestLibraryWriter.h"
#include "provider/HomePageBuilder.h"
#include "provider/LibraryLoader.h"

#include <gtest/gtest.h>

using namespace provider;

namespace
{
juce::String md5Of (const juce::String& text)
{
    return juce::MD5 (text.toUTF8()).toHexString();
}

class HomePageTest : public ::testing::Test
{
protected:
    void SetUp() override { load ([] (const juce::String& manifest) { return manifest; }); }

    /** Loads the generated library with its manifest changed by edit. */
    template <typename Edit>
    void load (Edit&& edit)
    {
        const auto folder = scratch.getChildFile ("library");
        TestLibraryWriter::write (folder, {});
        const auto manifest = folder.getChildFile ("library.xml");
        manifest.replaceWithText (edit (manifest.loadFileAsString()));
        auto result = LibraryLoader (folder, scratch.getChildFile ("work")).load();
        ASSERT_NE (result.library, nullptr) << result.error;
        library = result.library;
    }

    juce::String page (const HomePageBuilder::Request& request, bool maintenance = false) const
    {
        return HomePageBuilder::build (request, library.get(), maintenance, addresses);
    }

    /** The diagnostic view of a request. */
    juce::String debugPage (HomePageBuilder::Request request, bool maintenance = false) const
    {
        request.parameters.set ("debug", "1");
        return page (request, maintenance);
    }

    static HomePageBuilder::Request signedIn (const juce::String& userName, const juce::String& password)
    {
        HomePageBuilder::Request request;
        request.customUserAgent = "TSY-Player v1.36 UID=u:1@gen";
        request.parameters.set ("loginbutton", "1");
        request.parameters.set ("username", userName);
        request.parameters.set ("password", "$$" + md5Of (password));
        return request;
    }

    const juce::String ada = juce::String::fromUTF8 ("Ada L\xc3\xb6velace");
    const ProviderAddresses addresses { "http://p.test/" };
    ScratchFolder scratch;
    std::shared_ptr<const Library> library;
};
} // namespace

// The diagnostic view: what the page received.

TEST_F (HomePageTest, ShowsTheHeaderAndParametersItReceived)
{
    auto request = signedIn (ada, "analytical engine");
    request.parameters.set ("needupdate", TestLibraryWriter::chapterId ("it", 0, 0, 1) + "," + TestLibraryWriter::chapterId ("en", 0, 1, 0));

    const auto html = debugPage (request);
    EXPECT_TRUE (html.contains ("<td id=\"useragent\">TSY-Player v1.36 UID=u:1@gen</td>"));
    EXPECT_TRUE (html.contains ("<td id=\"loginbutton\">1</td>"));
    EXPECT_TRUE (html.contains ("<td id=\"username\">" + ada + "</td>"));
    EXPECT_TRUE (html.contains ("<td id=\"password\">accepted for " + ada + "</td>"));
    EXPECT_TRUE (html.contains ("id=\"welcome\">Welcome back, " + ada + "."));
    EXPECT_TRUE (html.contains ("<li>" + TestLibraryWriter::chapterId ("it", 0, 0, 1) + " &ndash; Chapter 2</li><li>"
                                + TestLibraryWriter::chapterId ("en", 0, 1, 0) + " &ndash; Chapter 1</li>"));
    EXPECT_TRUE (html.contains ("<td id=\"language\">it</td>"));
    EXPECT_FALSE (html.contains (md5Of ("analytical engine"))) << "the password hash is a credential";
}

TEST_F (HomePageTest, AnonymousVisitsSayWhatWasNotSent)
{
    const auto html = debugPage ({});
    EXPECT_TRUE (html.contains ("<td id=\"useragent\"><em>(not sent)</em></td>"));
    EXPECT_TRUE (html.contains ("<td id=\"needupdate\"><em>(not sent)</em></td>"));
    EXPECT_FALSE (html.contains ("id=\"welcome\""));
    EXPECT_TRUE (html.contains ("Courses in English"));
    EXPECT_TRUE (html.contains ("href=\"http://p.test/home.php?course=" + TestLibraryWriter::courseId ("it", 0) + "\""));
    EXPECT_FALSE (html.contains ("id=\"maintenance\""));
    EXPECT_TRUE (debugPage ({}, true).contains ("id=\"maintenance\""));
}

TEST_F (HomePageTest, WrongPasswordsAreNotAcceptedAndNothingIsEchoedUnescaped)
{
    auto request = signedIn ("ada@example.com", "not it");
    request.customUserAgent = "<script>alert(1)</script>";
    request.parameters.set ("needupdate", "<img src=x onerror=alert(1)>");

    for (auto& html : { debugPage (request), page (request) })
    {
        EXPECT_FALSE (html.contains ("id=\"welcome\""));
        EXPECT_FALSE (html.contains ("<script>"));
        EXPECT_FALSE (html.contains ("<img src=x"));
        EXPECT_TRUE (html.contains ("&lt;img src=x onerror=alert(1)&gt;"));
    }

    const auto html = debugPage (request);
    EXPECT_TRUE (html.contains ("<td id=\"password\">not accepted</td>"));
    EXPECT_TRUE (html.contains ("&lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_TRUE (html.contains ("unknown chapter"));
}

// The welcome page.

TEST_F (HomePageTest, GreetsTheSignedInUserAndListsTheUpdatesInTheCatalogsLanguage)
{
    auto request = signedIn ("ada@example.com", "analytical engine");
    const auto outdated = TestLibraryWriter::chapterId ("it", 0, 1, 1);
    request.parameters.set ("needupdate", outdated + ",GONE-01");

    const auto html = page (request);
    EXPECT_TRUE (html.contains ("<html lang=\"it\">"));
    EXPECT_TRUE (html.contains ("<h1 id=\"welcome\">Ciao, " + ada + "!</h1>"));
    EXPECT_FALSE (html.contains ("id=\"signin-hint\""));
    EXPECT_FALSE (html.contains ("What this page received")) << "the diagnostics have a view of their own";
    EXPECT_FALSE (html.contains (md5Of ("analytical engine")));

    // The outdated chapter with where it is, and the one the catalog no longer has.
    EXPECT_TRUE (html.contains ("<h2>Aggiornamenti da scaricare</h2>"));
    EXPECT_TRUE (html.contains ("<li data-chapter=\"" + outdated + "\"><span class=\"chapter\">Chapter 2</span><span class=\"where\">it course 1 &rsaquo; Lesson 2</span>"
                                "<span class=\"date\">2024-02-15</span></li>"));
    EXPECT_TRUE (html.contains ("<span class=\"chapter\">GONE-01</span><span class=\"unknown\">"));

    // The courses of the language only, each with the cover the provider publishes.
    const auto& course = *library->findCourse (TestLibraryWriter::courseId ("it", 0));
    EXPECT_TRUE (html.contains ("data-course=\"" + course.id + "\""));
    EXPECT_FALSE (html.contains ("data-course=\"" + TestLibraryWriter::courseId ("en", 0) + "\""));
    EXPECT_TRUE (html.contains ("<img src=\"" + addresses.getExtra (course.cover) + "\" alt=\"\">"));
    EXPECT_TRUE (addresses.getExtra (course.cover).startsWith ("http://p.test/extras/" + course.cover.md5));
    EXPECT_TRUE (html.contains ("<a class=\"cover\" href=\"http://p.test/home.php?course=" + course.id + "\">"));
    EXPECT_TRUE (html.contains ("<p class=\"meta\">2 lezioni &middot; 4 capitoli &middot; 18 s</p>"));

    // Nothing outside the page itself but the covers.
    EXPECT_FALSE (html.contains ("<link"));
    EXPECT_FALSE (html.contains ("<script"));
    EXPECT_FALSE (html.contains ("@import"));
}

TEST_F (HomePageTest, TellsVisitorsHowToSignIn)
{
    HomePageBuilder::Request request;
    request.parameters.set ("lang", "en");
    auto html = page (request);
    EXPECT_TRUE (html.contains ("<html lang=\"en\">"));
    EXPECT_TRUE (html.contains ("<h1>Welcome to Generated</h1>"));
    EXPECT_TRUE (html.contains ("id=\"signin-hint\">Sign in with the e-mail address and password"));
    EXPECT_FALSE (html.contains ("id=\"signin-refused\""));
    EXPECT_FALSE (html.contains ("id=\"updates\""));
    EXPECT_TRUE (html.contains ("data-course=\"" + TestLibraryWriter::courseId ("en", 0) + "\""));

    // A sign-in that does not match says so.
    request = signedIn (ada, "wrong");
    request.parameters.set ("lang", "en");
    html = page (request);
    EXPECT_FALSE (html.contains ("id=\"welcome\""));
    EXPECT_TRUE (html.contains ("id=\"signin-refused\""));

    EXPECT_TRUE (page ({}, true).contains ("id=\"maintenance\""));
    EXPECT_FALSE (page ({}).contains ("id=\"maintenance\""));

    const auto unavailable = HomePageBuilder::build (request, nullptr, false, addresses);
    EXPECT_TRUE (unavailable.contains ("id=\"unavailable\""));
    EXPECT_FALSE (unavailable.contains ("data-course"));
}

TEST_F (HomePageTest, PicksTheLanguageFromWhatTheRequestTells)
{
    load ([] (const juce::String& manifest) {
        return manifest.replace ("<library ", "<library lang=\"it\" ").replace ("name=\"Alan T.\"", "name=\"Alan T.\" lang=\"en\"");
    });

    const auto languageOf = [this] (const HomePageBuilder::Request& request) { return HomePageBuilder::chooseLanguage (request, library.get()); };

    // The library's default, then the browser's languages.
    HomePageBuilder::Request request;
    EXPECT_EQ (languageOf (request), "it");
    request.acceptLanguage = "de-DE,de;q=0.9,en-GB;q=0.8,it;q=0.5";
    EXPECT_EQ (languageOf (request), "en");
    request.acceptLanguage = "fr";
    EXPECT_EQ (languageOf (request), "it");

    // A signed-in user's own language comes before the browser's.
    request = signedIn ("Alan T.", "bombe");
    request.acceptLanguage = "it";
    EXPECT_EQ (languageOf (request), "en");
    request = signedIn (ada, "analytical engine");
    request.acceptLanguage = "en";
    EXPECT_EQ (languageOf (request), "en") << "Ada has no language of her own";

    // The outdated chapters come from the player's current catalog: its language.
    request = signedIn ("Alan T.", "bombe");
    request.parameters.set ("needupdate", "GONE-01," + TestLibraryWriter::chapterId ("it", 0, 0, 0));
    EXPECT_EQ (languageOf (request), "it");

    // Asked outright.
    request.parameters.set ("lang", "EN");
    EXPECT_EQ (languageOf (request), "en");
    request.parameters.set ("lang", "de");
    EXPECT_EQ (languageOf (request), "it");

    EXPECT_TRUE (page (request).contains ("<html lang=\"it\">"));
}

TEST_F (HomePageTest, ACoursePageListsItsLessonsAndChaptersInItsLanguage)
{
    HomePageBuilder::Request request;
    request.parameters.set ("course", TestLibraryWriter::courseId ("en", 0));
    request.parameters.set ("lang", "it");

    auto html = page (request);
    EXPECT_TRUE (html.contains ("<html lang=\"en\">"));
    EXPECT_TRUE (html.contains ("<h1 id=\"course\">en course 1</h1>"));
    EXPECT_TRUE (html.contains ("<li><h3>Lesson 2</h3><ol class=\"chapters\"><li>Chapter 1<span class=\"duration\">5 s</span></li>"
                                "<li>Chapter 2<span class=\"duration\">5 s</span></li></ol></li>"));
    EXPECT_TRUE (html.contains ("<li>Resolution: 320x180</li>"));
    EXPECT_FALSE (html.contains ("id=\"courses\"")) << "only the course";

    // The diagnostic view still shows it too.
    html = debugPage (request);
    EXPECT_TRUE (html.contains ("<h2 id=\"course\">en course 1</h2>"));
    EXPECT_TRUE (html.contains ("<li>Lesson 2<ol><li>Chapter 1</li><li>Chapter 2</li></ol></li>"));
}

TEST_F (HomePageTest, EscapesEveryTextOfTheLibrary)
{
    load ([] (const juce::String& manifest) {
        return manifest.replace ("title=\"it course 1\"", "title=\"&lt;b&gt;bold&lt;/b&gt; &amp; &quot;quoted&quot;\" description=\"&lt;script&gt;x()&lt;/script&gt;\"")
            .replace ("name=\"Generated\"", "name=\"&lt;i&gt;Site&lt;/i&gt;\"");
    });

    auto request = signedIn ("ada@example.com", "analytical engine");
    request.parameters.set ("needupdate", TestLibraryWriter::chapterId ("it", 0, 0, 0));
    const auto html = page (request);
    EXPECT_FALSE (html.contains ("<b>bold"));
    EXPECT_FALSE (html.contains ("<script>"));
    EXPECT_FALSE (html.contains ("<i>Site"));
    EXPECT_TRUE (html.contains ("&lt;b&gt;bold&lt;/b&gt; &amp; &quot;quoted&quot;"));
    EXPECT_TRUE (html.contains ("<title>&lt;i&gt;Site&lt;/i&gt;</title>"));
}

TEST (HomePageBuilder, WritesDurationsAsPeopleReadThem)
{
    EXPECT_EQ (HomePageBuilder::formatDuration (0.0), "0 s");
    EXPECT_EQ (HomePageBuilder::formatDuration (44.6), "45 s");
    EXPECT_EQ (HomePageBuilder::formatDuration (60.0), "1 min");
    EXPECT_EQ (HomePageBuilder::formatDuration (3569.0), "59 min");
    EXPECT_EQ (HomePageBuilder::formatDuration (3600.0 + 5 * 60), "1 h 05 min");
    EXPECT_EQ (HomePageBuilder::formatDuration (-3.0), "0 s");
}
