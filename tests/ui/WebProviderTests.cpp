#include "downloads/DownloadExtrasThread.h"
#include "downloads/DownloadThread.h"
#include "kit/BackgroundPanel.h"
#include "kit/ComponentPaths.h"
#include "playback/CatalogTree.h"
#include "tests/common/MessagePump.h"
#include "tests/provider/ProviderProcess.h"
#include "tests/provider/TestLibraryWriter.h"
#include "tests/ui/RecordingBrowser.h"
#include "tests/ui/WindowTest.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace
{
juce::String runCommand (const juce::StringArray& command)
{
    juce::ChildProcess process;
    return process.start (command) ? process.readAllProcessOutput().trim() : juce::String();
}

/** Where the pictures for a person to look at go. */
juce::File getScreenshot (const juce::String& name)
{
    return juce::File (TSY_UI_TEST_OUTPUT_DIR).getChildFile (name + ".png");
}

/** Takes what the screen shows of an area (the embedded browser draws in a window of its own,
    which a component snapshot does not see) until the area shows more than a blank page, and
    returns the number of colours in the last picture.
*/
int captureScreenArea (juce::Rectangle<int> area, const juce::File& file)
{
    const auto geometry = juce::String (area.getWidth()) + "x" + juce::String (area.getHeight()) + "+" + juce::String (area.getX()) + "+" + juce::String (area.getY());
    auto colours = 0;

    MessagePump::runUntil ([&]
    {
        runCommand ({ "/usr/bin/import", "-window", "root", "-crop", geometry, "+repage", file.getFullPathName() });
        colours = runCommand ({ "/usr/bin/convert", file.getFullPathName(), "-format", "%k", "info:" }).getIntValue();
        return colours > 16;
    });

    std::cout << "screenshot: " << file.getFullPathName() << std::endl;
    return colours;
}

/** The processes this one started that run it again as the browser's process. */
int countBrowserProcesses()
{
    auto count = 0;

    for (const auto& entry : juce::RangedDirectoryIterator (juce::File ("/proc"), false, "*", juce::File::findDirectories))
    {
        const auto parent = entry.getFile().getChildFile ("status").loadFileAsString().fromFirstOccurrenceOf ("PPid:", false, false).trim().getIntValue();

        if (parent == (int) getpid() && entry.getFile().getChildFile ("cmdline").loadFileAsString().contains ("--juce-gtkwebkitfork-child"))
            ++count;
    }

    return count;
}

/** The provider's access log entries (a request line with its indented query and header lines)
    whose request starts with this path.
*/
juce::StringArray findRequests (const juce::File& log, const juce::String& requestStart)
{
    juce::StringArray entries, found;

    for (const auto& line : juce::StringArray::fromLines (log.loadFileAsString()))
    {
        if (line.startsWith (" ") && ! entries.isEmpty())
            entries.getReference (entries.size() - 1) << "\n" << line.trim();
        else if (line.isNotEmpty())
            entries.add (line);
    }

    for (const auto& entry : entries)
        if (entry.upToFirstOccurrenceOf ("\n", false, false).contains ("\"GET " + requestStart))
            found.add (entry);

    return found;
}

/** The main window of a signed-in user against the real provider serving its sample library,
    with the extras thread and either the real browser or a stand-in.
*/
class WebProviderTest : public WindowTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (provider->isRunning()) << provider->readErrors();
        ASSERT_NO_FATAL_FAILURE (useCatalogFrom (provider->getOrigin() + "/"));
        auto* preferences = PreferencesManager::getInstance();
        preferences->setLanguage (1);
        preferences->setCredentials ("giulia.rossi@example.com", juce::MD5 (juce::String ("tessaly-giulia").toUTF8()).toHexString());
    }

    /** Starts the window (real browser unless a stand-in is wanted) and waits for its catalog. */
    void openWindow (bool realBrowser)
    {
        core = std::make_unique<Core> (SharedRes::getInstance()->getUserDataFolder(),
                                       Core::Workers { DownloadThread::makeJob, DownloadExtrasThread::makeDownloader });
        window = std::make_unique<MainWindow> ("TSY-Player 1.36", *core, realBrowser ? WebPanel::BrowserFactory (WebPanel::makeEmbeddedBrowser) : RecordingBrowser::into (standIn));
        window->setVisible (true);
        ASSERT_TRUE (MessagePump::runUntil ([this] { return core->getNumCourses() > 0; })) << "the catalog never came";
    }

    void closeWindow()
    {
        window = nullptr;
        core = nullptr;
    }

    DownloadExtrasThread& extras() { return *dynamic_cast<DownloadExtrasThread*> (core->getExtrasDownloader()); }

    /** Waits until the provider has logged a request starting with this path; its entries. */
    juce::StringArray waitForRequests (const juce::String& requestStart)
    {
        MessagePump::runUntil ([&] { return ! findRequests (accessLog, requestStart).isEmpty(); });
        return findRequests (accessLog, requestStart);
    }

    bool isShowing (const juce::String& path) { return window->getContent().getComponent (path)->isVisible(); }

    const juce::File accessLog = home.getFolder().getChildFile ("access.log");
    std::unique_ptr<ProviderProcess> provider = std::make_unique<ProviderProcess> (
        juce::StringArray { "--library", TestLibraryWriter::getSampleLibrary().getFullPathName(), "--access-log", accessLog.getFullPathName() },
        home.getFolder().getChildFile ("provider"));
    RecordingBrowser* standIn = nullptr;
};
} // namespace

TEST_F (WebProviderTest, SignedInStartShowsTheHomePageWithTheUserAndFetchesTheExtras)
{
    openWindow (true);

    const auto homeRequests = waitForRequests ("/home.php");
    ASSERT_EQ (homeRequests.size(), 1) << accessLog.loadFileAsString();
    const auto lines = juce::StringArray::fromLines (homeRequests[0]);
    EXPECT_TRUE (lines.contains ("header X-Tsy-Customuseragent: TSY-Player v1.36 UID=1001", true)) << homeRequests[0];
    const juce::StringArray parameters { "query loginbutton=1", "query username=Giulia Rossi", "query password=********" };
    EXPECT_EQ (juce::StringArray (lines.begin() + 1, 3), parameters) << "in this order, and no needupdate: " << homeRequests[0];
    EXPECT_FALSE (homeRequests[0].contains ("needupdate"));
    EXPECT_TRUE (isShowing (ComponentPaths::webPanel));

    // The page's own pictures come from the provider too; then it is on screen.
    waitForRequests ("/extras/");
    auto* webPanel = window->getContent().getComponent (ComponentPaths::webPanel);
    EXPECT_GT (captureScreenArea (webPanel->getScreenBounds(), getScreenshot ("home-page")), 16) << "the home page never showed";

    // Every course's three extras, under the checksums the catalog names.
    ASSERT_TRUE (MessagePump::runUntil ([this] { return extras().isIdle(); }));
    const auto data = SharedRes::getInstance()->getUserDataFolder();

    for (int course = 0; course < core->getNumCourses(); ++course)
    {
        const auto id = core->getCourseId (course);
        const auto cover = DownloadExtrasThread::getExpectedChecksum (core->getCourseCoverUrl (course));
        const auto credits = DownloadExtrasThread::getExpectedChecksum (core->getCourseCreditsUrl (course));
        const auto partners = DownloadExtrasThread::getExpectedChecksum (core->getCoursePartnersUrl (course));
        EXPECT_TRUE (data.getChildFile ("covers/" + id + "/" + cover + ".tyi").existsAsFile()) << id;
        EXPECT_TRUE (data.getChildFile ("credits/" + id + "/" + credits + ".tyi").existsAsFile()) << id;
        EXPECT_TRUE (data.getChildFile ("partners/" + id + "/" + partners + "/index.html").existsAsFile()) << id;
    }

    // A course's cover, as a person picks the course in the tree.
    auto& tree = window->getCatalogTree();
    tree.selectRow (tree.getFirstCourseRow());
    const auto& picture = window->getContent().getComponent<BackgroundPanel> (ComponentPaths::imagePanel)->getImage();
    EXPECT_TRUE (picture.isValid());
    EXPECT_EQ (picture.getBounds(), juce::ImageFileFormat::loadFrom (extras().findCoverFile (core->getCourseId (0))).getBounds());
    const auto coverShot = getScreenshot ("course-cover");
    coverShot.deleteFile();
    juce::FileOutputStream out (coverShot);
    ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (window->createComponentSnapshot (window->getLocalBounds()), out));
    out.flush();
    std::cout << "screenshot: " << coverShot.getFullPathName() << std::endl;

    // Its partners site, from the local copy.
    dynamic_cast<juce::Button*> (window->getContent().getComponent (ComponentPaths::partnersButton))->triggerClick();
    ASSERT_TRUE (MessagePump::runUntil ([&] { return isShowing (ComponentPaths::webPanel); }));
    EXPECT_GT (captureScreenArea (webPanel->getScreenBounds(), getScreenshot ("partners-page")), 16) << "the partners page never showed";

    // The browser's process goes with the window.
    closeWindow();
    EXPECT_EQ (countBrowserProcesses(), 0);
}

TEST_F (WebProviderTest, LaterStartsFetchNoCurrentExtraAndOfflineShowsTheMessage)
{
    openWindow (false);
    ASSERT_TRUE (MessagePump::runUntil ([this] { return extras().isIdle() && ! findRequests (accessLog, "/extras/").isEmpty(); }));
    closeWindow();

    // The same catalog again: every copy is current.
    const auto extrasFetched = findRequests (accessLog, "/extras/").size();
    openWindow (false);
    ASSERT_TRUE (MessagePump::runUntil ([this] { return extras().isIdle(); }));
    EXPECT_EQ (findRequests (accessLog, "/extras/").size(), extrasFetched) << accessLog.loadFileAsString();
    EXPECT_EQ (standIn->last().address.upToFirstOccurrenceOf ("?", false, false), provider->getOrigin() + "/home.php");
    closeWindow();

    // Without the provider the cached catalog comes up offline, and the message replaces the page.
    provider = nullptr;
    openWindow (false);
    ASSERT_TRUE (MessagePump::runUntil ([this] { return isShowing (ComponentPaths::messagePanel); }));
    EXPECT_EQ (window->getContent().getComponent<juce::Label> (ComponentPaths::messageLabel)->getText(), "Please connect to the internet to view the page");
    EXPECT_TRUE (standIn->opened.empty());
}

TEST_F (WebProviderTest, TheBrowserIsMadeForTheFirstPageAfterItIsPainted)
{
    auto browser = WebPanel::makeEmbeddedBrowser();
    auto& component = browser->getComponent();
    component.setSize (400, 300);
    juce::DocumentWindow frame ("browser", juce::Colours::black, 0, true);
    frame.setContentNonOwned (&component, true);
    frame.setVisible (true);
    ASSERT_NE (frame.getPeer(), nullptr);

    // A blank page or a stop with no page yet starts nothing, painted or not.
    browser->open (WebPanel::blankPage, {});
    browser->stopLoading();
    component.createComponentSnapshot (component.getLocalBounds());
    ASSERT_TRUE (MessagePump::deliverPending());
    EXPECT_EQ (component.getNumChildComponents(), 0) << "no browser was made";

    // A page asked for waits for the next frame, then comes with the program's header.
    const auto address = provider->getOrigin() + "/home.php";
    browser->open (address, juce::StringArray (WebPanel::getCustomHeader ("77")));
    EXPECT_EQ (component.getNumChildComponents(), 0) << "made before a frame";
    component.createComponentSnapshot (component.getLocalBounds());
    ASSERT_TRUE (MessagePump::runUntil ([&] { return component.getNumChildComponents() == 1; })) << "no browser after the frame";

    const auto requests = waitForRequests ("/home.php");
    ASSERT_EQ (requests.size(), 1) << accessLog.loadFileAsString();
    EXPECT_TRUE (juce::StringArray::fromLines (requests[0]).contains ("header X-Tsy-Customuseragent: TSY-Player v1.36 UID=77", true)) << requests[0];
    EXPECT_EQ (component.getChildComponent (0)->getBounds(), component.getLocalBounds());

    frame.clearContentComponent();
}

TEST_F (WebProviderTest, ADeferredStartFetchesTheExtrasOnceTheWindowHasPainted)
{
    core = std::make_unique<Core> (SharedRes::getInstance()->getUserDataFolder(),
                                   Core::Workers { DownloadThread::makeJob, DownloadExtrasThread::makeDownloader },
                                   Core::Start::deferred);
    window = std::make_unique<MainWindow> ("TSY-Player 1.36", *core, RecordingBrowser::into (standIn));
    EXPECT_TRUE (findRequests (accessLog, "/extras/").isEmpty()) << "nothing fetched before the window shows";
    window->setVisible (true);
    ASSERT_TRUE (MessagePump::runUntil ([this] { return core->getNumCourses() > 0; })) << "the catalog never came";

    // The window starts the downloader after its frame; the requests made with the catalog wait for it.
    ASSERT_FALSE (waitForRequests ("/extras/").isEmpty()) << "the extras were never fetched";
    ASSERT_TRUE (MessagePump::runUntil ([this] { return extras().isIdle(); }));
    EXPECT_TRUE (extras().findCoverFile (core->getCourseId (0)).existsAsFile());
    closeWindow();
}
