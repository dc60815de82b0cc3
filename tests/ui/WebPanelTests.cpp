#include "model/CatalogParser.h"
#include "model/Core.h"
#include "model/LocalStorage.h"
#include "ui/WebPanel.h"

#include "tests/common/JucePrinters.h"

#include <gtest/gtest.h>

namespace
{
/** Four chapters over two courses, all dated 2013-05-10; a user when one is named. */
std::unique_ptr<Catalog> makeCatalog (const juce::String& userId, const juce::String& homeUrl = "http://127.0.0.1:8642/home.php")
{
    auto root = juce::parseXML ("<catalog username='Ada L' homeurl='" + homeUrl + "'>"
                                "<course id='c1'><lesson><chapter id='z1' date='2013-05-10'/><chapter id='a2' date='2013-05-10'/></lesson></course>"
                                "<course id='c2'><lesson><chapter id='m3' date='2013-05-10'/></lesson>"
                                "<lesson><chapter id='b4' date='2013-05-10'/></lesson></course>"
                                "</catalog>");
    root->setAttribute ("userid", userId);
    auto catalog = std::make_unique<Catalog>();
    EXPECT_TRUE (CatalogParser::parseCatalog (*catalog, *root, true));
    return catalog;
}

class WebPanelAddressTest : public ::testing::Test
{
protected:
    void SetUp() override { core.setUsersDirectory (folder.getChildFile ("users"), juce::dontSendNotification); }
    void TearDown() override { folder.deleteRecursively(); }

    /** Files a chapter's video with the download time given, relative to the catalog's date. */
    void fileChapter (const juce::String& chapterId, juce::RelativeTime fromCatalogDate)
    {
        ASSERT_TRUE (core.getVideoFile (chapterId).create());
        MovieLocalInfo info;
        info.timestamp = core.getChapterDate (chapterId) + fromCatalogDate;
        ASSERT_TRUE (LocalStorage::saveState (info, core.getStateFile (chapterId)));
    }

    /** Installs the catalog again, so that the local state is read from the files. */
    void reload (const juce::String& userId = "u1") { ASSERT_TRUE (core.setCatalog (makeCatalog (userId))); }

    const juce::File folder = juce::File::createTempFile ("tsy-web");
    Core core { folder };
};
} // namespace

TEST (WebPanel, AnonymousHeaderAndLocalPagesWithSpaces)
{
    EXPECT_EQ (WebPanel::getCustomHeader ({}), "X-Tsy-Customuseragent: TSY-Player v1.36 UID=0");
    EXPECT_EQ (WebPanel::getLocalPageAddress (juce::File ("/home/a b/partners/c 1/index.html")), "file:///home/a%20b/partners/c%201/index.html");
}

TEST_F (WebPanelAddressTest, TheHomePageSignsInOnlyAUserAfterTheAddressesOwnParameters)
{
    EXPECT_EQ (WebPanel::getHomePageAddress (core, "abc"), "") << "no catalog yet";
    reload ({});
    EXPECT_EQ (WebPanel::getHomePageAddress (core, "abc"), "http://127.0.0.1:8642/home.php");

    ASSERT_TRUE (core.setCatalog (makeCatalog ("u1", "http://h/home.php?lang=en")));
    EXPECT_EQ (WebPanel::getHomePageAddress (core, "0123abcd"), "http://h/home.php?lang=en&loginbutton=1&username=Ada%20L&password=%24%240123abcd")
        << "the home URL's own parameters come first, and no needupdate without outdated chapters";
}

TEST_F (WebPanelAddressTest, OutdatedChaptersAreListedOnceInCatalogOrder)
{
    reload();
    fileChapter ("b4", juce::RelativeTime::days (-3));
    fileChapter ("z1", juce::RelativeTime::days (-1));
    fileChapter ("a2", juce::RelativeTime());
    fileChapter ("m3", juce::RelativeTime::days (2));
    reload();

    EXPECT_EQ (WebPanel::findOutdatedChapters (core), juce::StringArray ({ "z1", "b4" })) << "same or later timestamps are current";
    EXPECT_TRUE (WebPanel::getHomePageAddress (core, "h").endsWith ("&password=%24%24h&needupdate=z1%2Cb4"));

    // A video gone from disk is not an update to offer, whatever its timestamp.
    ASSERT_TRUE (core.getVideoFile ("z1").deleteFile());
    reload();
    EXPECT_EQ (WebPanel::findOutdatedChapters (core), juce::StringArray ("b4"));
}
