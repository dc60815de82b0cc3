#include "downloads/DownloadThread.h"
#include "kit/BackgroundPanel.h"
#include "playback/CatalogTree.h"
#include "tests/common/JucePrinters.h"
#include "tests/common/MessagePump.h"
#include "tests/common/TestHttpServer.h"
#include "tests/common/TestPictures.h"
#include "tests/ui/RecordingBrowser.h"
#include "tests/ui/VisiblePanels.h"
#include "tests/ui/WindowTest.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
/** Extras already on disk: files the test hands out, no fetching. */
class FixedExtras final : public ExtrasDownloader
{
public:
    void start() override {}
    void stop (int) override {}
    void request (ExtrasKind, const juce::String&, const juce::URL&) override {}
    juce::File findCoverFile (const juce::String& courseId) const override { return covers.count (courseId) ? covers.at (courseId) : juce::File(); }
    juce::File findCreditsFile (const juce::String& courseId) const override { return credits.count (courseId) ? credits.at (courseId) : juce::File(); }
    juce::File findPartnersFolder (const juce::String& courseId) const override { return partners.count (courseId) ? partners.at (courseId) : juce::File(); }

    std::map<juce::String, juce::File> covers, credits, partners;
};

/** A picture file of a size, in a format the framework reads from its content. */
juce::File writePicture (const juce::File& file, int width, int height)
{
    juce::Image image (juce::Image::RGB, width, height, true);
    file.getParentDirectory().createDirectory();
    juce::FileOutputStream out (file);
    juce::JPEGImageFormat().writeImageToStream (image, out);
    return file;
}

/** The main window with a browser stand-in, against a local catalog service of two courses,
    the first with a partners site; the user's login is remembered.
*/
class WebPanelWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        server.answerWith ("<catalog userid='u1' username='Ada' baseurl='http://127.0.0.1:1/' homeurl='" + server.getBaseUrl() + "home.php'>"
                           "<course id='c1' title='Modelling' partnersurl='http://127.0.0.1:1/p.zip'><lesson title='Basics'><chapter id='ch1' title='Intro'/></lesson></course>"
                           "<course id='c2' title='Lighting'><lesson title='Basics'><chapter id='ch2' title='Lamps'/></lesson></course>"
                           "</catalog>");
        ASSERT_NO_FATAL_FAILURE (useCatalogFrom (server.getBaseUrl()));
        PreferencesManager::getInstance()->setCredentials ("ada@example.com", hash);

        Core::Workers workers { DownloadThread::makeJob };
        workers.makeExtrasDownloader = [this] (const juce::File&)
        {
            auto fixed = std::make_unique<FixedExtras>();
            extras = fixed.get();
            return std::unique_ptr<ExtrasDownloader> (std::move (fixed));
        };

        core = std::make_unique<Core> (SharedRes::getInstance()->getUserDataFolder(), std::move (workers));
        window = std::make_unique<MainWindow> ("TSY-Player 1.36", *core, RecordingBrowser::into (browser));
        window->setVisible (true);
        ASSERT_TRUE (MessagePump::runUntil ([this] { return core->getNumCourses() == 2 && ! browser->opened.empty(); }));
    }

    juce::StringArray visibleRightHandPanels() { return ::visibleRightHandPanels (*window); }

    void selectCourse (int course)
    {
        auto& tree = window->getCatalogTree();
        tree.selectRow (tree.getFirstCourseRow() + course);
    }

    void click (const char* path)
    {
        dynamic_cast<juce::Button*> (get (path))->triggerClick();
        MessagePump::deliverPending();
    }

    const BackgroundPanel& imagePanel() { return *window->getContent().getComponent<BackgroundPanel> (ComponentPaths::imagePanel); }

    const juce::String hash { "5f4dcc3b5aa765d61d8327deb882cf99" };
    TestHttpServer server;
    FixedExtras* extras = nullptr;
    RecordingBrowser* browser = nullptr;
};
} // namespace

TEST_F (WebPanelWindowTest, TheHomePageIsLoadedOnceAndUnloadedWhenHidden)
{
    ASSERT_TRUE (MessagePump::deliverPending());
    ASSERT_EQ (browser->opened.size(), 1u) << "the home row's selection and the start-up show one page";
    EXPECT_EQ (browser->last().address, server.getBaseUrl() + "home.php?loginbutton=1&username=Ada&password=%24%24" + hash);
    EXPECT_EQ (browser->last().headerLines, juce::StringArray ("X-Tsy-Customuseragent: TSY-Player v1.36 UID=u1"));
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray (ComponentPaths::webPanel));

    window->showPreferencesPanel();
    EXPECT_GE (browser->stops, 1);
    EXPECT_EQ (browser->last().address, "about:blank");
    EXPECT_EQ (get (ComponentPaths::webBrowser)->getBounds(), juce::Rectangle<int>()) << "a hidden browser takes no room";

    const auto opened = browser->opened.size();
    window->showDownloadPanel();
    EXPECT_EQ (browser->opened.size(), opened) << "an unloaded page is not unloaded again";

    // The refresh's new catalog rebuilds the tree, which selects the home row again.
    window->getWebPanel().showHomePage();
    core->broadcast ("cc");
    ASSERT_TRUE (MessagePump::deliverPending());
    EXPECT_EQ (browser->opened.size(), opened + 1) << "a page on show is not loaded again";
}

TEST_F (WebPanelWindowTest, OfflineAndMaintenanceMessagesStandInForThePage)
{
    window->showImage (juce::Image (juce::Image::RGB, 4, 4, true), true);
    const auto opened = browser->opened.size();

    window->getCatalogConnection().setCatalogState (nullptr, false, false);
    window->getWebPanel().showHomePage();
    auto* label = window->getContent().getComponent<juce::Label> (ComponentPaths::messageLabel);
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray (ComponentPaths::messagePanel));
    EXPECT_EQ (label->getText(), "Please connect to the internet to view the page");
    EXPECT_FALSE (get (ComponentPaths::extrasControlsPanel)->isVisible()) << "the extras buttons go with the picture";

    window->getCatalogConnection().setCatalogState (nullptr, false, true);
    window->getWebPanel().showHomePage();
    EXPECT_EQ (label->getText(), "Servers are currently undergoing some maintenance, please retry later");
    EXPECT_EQ (browser->opened.size(), opened) << "no page of the site while offline";
}

TEST_F (WebPanelWindowTest, CourseExtrasShowPicturesAndThePartnersSite)
{
    const auto data = home.getFolder().getChildFile ("extras with space");
    extras->covers["c1"] = writePicture (data.getChildFile ("cover.tyi"), 120, 80);
    extras->credits["c1"] = writePicture (data.getChildFile ("credits.tyi"), 30, 90);
    extras->covers["c2"] = writePicture (data.getChildFile ("cover2.tyi"), 50, 50);
    const auto site = data.getChildFile ("site");
    ASSERT_TRUE (site.createDirectory());
    ASSERT_TRUE (site.getChildFile ("index.html").replaceWithText ("<p>partners</p>"));
    auto& tree = window->getCatalogTree();
    const auto reselectFirstCourse = [&]
    {
        tree.selectRow (tree.getHomeRow());
        selectCourse (0);
    };

    selectCourse (0);
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray (ComponentPaths::imagePanel));
    EXPECT_EQ (imagePanel().getImage().getBounds(), juce::Rectangle<int> (120, 80));
    EXPECT_TRUE (get (ComponentPaths::partnersButton)->isVisible());
    click (ComponentPaths::creditsButton);
    EXPECT_EQ (imagePanel().getImage().getBounds(), juce::Rectangle<int> (30, 90));

    // A partners page that has not arrived yet.
    click (ComponentPaths::partnersButton);
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray (ComponentPaths::messagePanel));
    EXPECT_EQ (window->getContent().getComponent<juce::Label> (ComponentPaths::messageLabel)->getText(), "Partners section unavailable for this course");

    extras->partners["c1"] = site;
    reselectFirstCourse();
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray (ComponentPaths::webPanel)) << "the remembered kind";
    EXPECT_EQ (browser->last().address, "file://" + site.getFullPathName().replace (" ", "%20") + "/index.html");
    EXPECT_TRUE (get (ComponentPaths::extrasControlsPanel)->isVisible());

    // The second course has no partners page: its cover instead, and the cover is remembered.
    selectCourse (1);
    EXPECT_EQ (imagePanel().getImage().getBounds(), juce::Rectangle<int> (50, 50));
    EXPECT_FALSE (get (ComponentPaths::partnersButton)->isVisible());
    selectCourse (0);
    EXPECT_EQ (imagePanel().getImage().getBounds(), juce::Rectangle<int> (120, 80));

    // A picture that is missing shows an empty panel.
    extras->covers.erase ("c1");
    reselectFirstCourse();
    EXPECT_FALSE (imagePanel().getImage().isValid());
    EXPECT_TRUE (get (ComponentPaths::extrasControlsPanel)->isVisible());
}

TEST_F (WebPanelWindowTest, DamagedOrHugePicturesOnDiskShowAnEmptyPanel)
{
    // Files that reached the extras folders some other way than through the extras thread's
    // checks: the window decodes them itself and must survive each.
    const auto data = home.getFolder().getChildFile ("extras");
    ASSERT_TRUE (data.createDirectory());
    const auto copy = [&data] (const char* name)
    {
        const auto file = data.getChildFile (name);
        EXPECT_TRUE (file.replaceWithData (TestPictures::load (name).getData(), TestPictures::load (name).getSize()));
        return file;
    };

    extras->covers["c1"] = copy ("broken-idat.png");
    extras->credits["c1"] = copy ("truncated-noise.jpg");
    extras->covers["c2"] = copy ("huge-40000.png");
    extras->credits["c2"] = copy ("huge-65500.jpg");

    selectCourse (0);
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray (ComponentPaths::imagePanel));
    EXPECT_FALSE (imagePanel().getImage().isValid());
    click (ComponentPaths::creditsButton);
    EXPECT_FALSE (imagePanel().getImage().isValid());
    selectCourse (1);
    EXPECT_FALSE (imagePanel().getImage().isValid());
    click (ComponentPaths::coverButton);
    EXPECT_FALSE (imagePanel().getImage().isValid());
    EXPECT_TRUE (get (ComponentPaths::extrasControlsPanel)->isVisible()) << "the extras buttons stay for the next try";

    // A sound picture after them still shows.
    extras->covers["c2"] = writePicture (data.getChildFile ("sound.tyi"), 40, 30);
    click (ComponentPaths::coverButton);
    EXPECT_EQ (imagePanel().getImage().getBounds(), juce::Rectangle<int> (40, 30));
}
