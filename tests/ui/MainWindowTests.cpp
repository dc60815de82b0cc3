#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "downloads/DownloadPanel.h"
#include "downloads/DownloadThread.h"
#include "kit/ComponentPaths.h"
#include "model/Core.h"
#include "playback/CatalogTree.h"
#include "playback/ChapterItem.h"
#include "search/UpdateSearchDatabaseThread.h"
#include "tests/common/JucePrinters.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"
#include "tests/common/TestHttpServer.h"
#include "tests/downloads/FaultServer.h"
#include "tests/ui/VisiblePanels.h"
#include "ui/MainWindow.h"
#include "ui/MainWindowContent.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace
{
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE (std::getenv ("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";

        // The window fetches its catalog as soon as it is up: from a local server, for a user
        // whose login is remembered, so no dialog comes up.
        server.answerWith ("<catalog userid='u1' username='Ada' baseurl='http://127.0.0.1:1/'>"
                           "<course id='c1' title='Modelling'><lesson title='Basics' order='2'><chapter id='ch1' order='3' title='Intro'/>"
                           "</lesson></course></catalog>");
        ASSERT_TRUE (home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (server.getBaseUrl()));
        auto* preferences = PreferencesManager::getInstance();
        preferences->load (SharedRes::getInstance()->getUserDataFolder().getChildFile ("preferences.xml"));
        preferences->setCredentials ("ada@example.com", "5f4dcc3b5aa765d61d8327deb882cf99");
    }

    void TearDown() override
    {
        window = nullptr;
        core = nullptr;
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
    }

    MainWindow& open (bool withSearchDatabaseUpdater = false)
    {
        Core::Workers workers { DownloadThread::makeJob };

        if (withSearchDatabaseUpdater)
            workers.makeSearchDatabaseUpdater = UpdateSearchDatabaseThread::make;

        core = std::make_unique<Core> (SharedRes::getInstance()->getUserDataFolder(), std::move (workers));
        window = std::make_unique<MainWindow> ("TSY-Player 1.36", *core);
        window->setVisible (true);

        EXPECT_TRUE (MessagePump::runUntil ([this] { return core->getNumCourses() > 0; })) << "the catalog never came";

        // A person's window has the keyboard; without a window manager it has to be given it,
        // and it is the window system's focus event that hands it over.
        window->toFront (true);
        EXPECT_TRUE (MessagePump::runUntil ([this] { return window->getPeer() != nullptr && window->getPeer()->isFocused(); }));

        return *window;
    }

    /** Delivers what the last step posted to the message queue. */
    static void pump() { MessagePump::deliverPending(); }

    /** Every entry of the queue has ended (between two entries none is running, so "nothing
        runs" alone is not enough).
    */
    bool allDownloadsEnded() const
    {
        for (int i = 0; i < core->getDownloads().getDownloadCount(); ++i)
            if (const auto state = core->getDownloads().getDownloadState (i); state != DownloadState::Completed && state != DownloadState::Failed)
                return false;

        return true;
    }

    /** Keyboard focus arrives with the window system's focus event: wait for it to arrive. */
    static bool waitForFocus (juce::Component& component)
    {
        return MessagePump::runUntil ([&] { return component.hasKeyboardFocus (false); });
    }

    /** Who holds the keyboard: the component, and the process of the window system's focus window. */
    juce::String describeFocus() const
    {
        const auto* focused = juce::Component::getCurrentlyFocusedComponent();
        juce::ChildProcess xdotool;
        xdotool.start (juce::StringArray { "xdotool", "getwindowfocus", "getwindowpid" });
        return "focused component: " + (focused != nullptr ? focused->getName().quoted() : juce::String ("none"))
               + ", window focused: " + juce::String (window->getPeer() != nullptr && window->getPeer()->isFocused() ? "yes" : "no")
               + ", focus window's process: " + xdotool.readAllProcessOutput().trim() + " (this one " + juce::String (getpid()) + ")";
    }

    juce::Component* get (const juce::String& path) { return window->getContent().getComponent (path); }

    juce::StringArray visibleRightHandPanels() { return ::visibleRightHandPanels (*window); }

    int countTitled (const juce::String& title) const
    {
        return (int) std::count_if (prompts.shown.begin(), prompts.shown.end(), [&] (const auto& shown) { return shown.title == title; });
    }

    ScratchHome home;
    ScriptedPrompts prompts;
    TestHttpServer server;
    std::unique_ptr<Core> core;
    std::unique_ptr<MainWindow> window;
};

/** A drag of the resize bar from its own position by dx pixels. */
void dragResizeBar (juce::Component& bar, float dx)
{
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto now = juce::Time::getCurrentTime();
    const juce::Point<float> start (3.0f, 10.0f);
    const juce::MouseEvent down (source, start, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &bar, &bar, now, start, now, 1, false);
    const juce::MouseEvent drag (source, start.translated (dx, 0.0f), {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &bar, &bar, now, start, now, 1, true);
    bar.mouseDown (down);
    bar.mouseDrag (drag);
}
} // namespace

TEST_F (MainWindowTest, StartsWithTheBottomBarAndTheRememberedLeftPanel)
{
    auto& w = open();
    EXPECT_EQ (w.getName(), "TSY-Player 1.36");
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray (ComponentPaths::webPanel)) << "the home page once the catalog came";
    EXPECT_TRUE (get (ComponentPaths::bottomPanel)->isVisible());
    EXPECT_TRUE (get (ComponentPaths::toggleLeftPanelButton)->isShowing());
    EXPECT_TRUE (get (ComponentPaths::leftPanel)->isVisible());
    EXPECT_TRUE (get (ComponentPaths::resizeBar)->isVisible());
    EXPECT_TRUE (get (ComponentPaths::searchPanel)->isVisible());
    EXPECT_FALSE (get (ComponentPaths::movieControlsPanel)->isVisible());

    // The layout follows the content's size.
    const auto& content = w.getContent();
    EXPECT_EQ (get (ComponentPaths::bottomPanel)->getBounds(), juce::Rectangle<int> (0, content.getHeight() - 55, content.getWidth(), 55));
    EXPECT_EQ (get (ComponentPaths::leftPanel)->getWidth(), 291);

    // Nothing is on the download list while the queue is empty.
    EXPECT_EQ (w.getDownloadPanel().getRow (0), nullptr);
    EXPECT_EQ (&w.getDownloadPanel(), get (ComponentPaths::downloadPanel));
    EXPECT_EQ (&w.getDownloadPanel().getList(), get (ComponentPaths::downloadViewport));

    // The panels that own their controls keep their places in the window.
    const auto area = content.getHeight() - 55;
    EXPECT_EQ (get (ComponentPaths::downloadViewport)->getBounds(), juce::Rectangle<int> (0, 0, content.getWidth() - 298, area - 55));
    EXPECT_EQ (get (ComponentPaths::clearCompletedDownloadsButton)->getBounds(), juce::Rectangle<int> (5, area - 30, 120, 25));
    const auto bar = get (ComponentPaths::extrasControlsPanel)->getWidth();
    EXPECT_EQ (bar, content.getWidth() - 268);
    EXPECT_EQ (get (ComponentPaths::coverButton)->getBounds(), juce::Rectangle<int> (bar - 82, 15, 24, 24));
    EXPECT_EQ (get (ComponentPaths::creditsButton)->getBounds(), juce::Rectangle<int> (bar - 59, 15, 24, 24));
    EXPECT_EQ (get (ComponentPaths::partnersButton)->getBounds(), juce::Rectangle<int> (bar - 36, 15, 24, 24));
}

TEST_F (MainWindowTest, PanelSwitchingShowsExactlyOne)
{
    auto& w = open();
    w.showPreferencesPanel();
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray ({ ComponentPaths::preferencesPanel }));
    w.showDownloadPanel();
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray ({ ComponentPaths::downloadPanel }));

    juce::Image picture (juce::Image::ARGB, 40, 30, true);
    w.showImage (picture, true);
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray ({ ComponentPaths::imagePanel }));
    EXPECT_TRUE (get (ComponentPaths::extrasControlsPanel)->isVisible());
    w.showImage (picture, false);
    EXPECT_FALSE (get (ComponentPaths::extrasControlsPanel)->isVisible());

    w.selectSpecialItem (MainWindow::SpecialEntry::preferences);
    EXPECT_EQ (visibleRightHandPanels(), juce::StringArray ({ ComponentPaths::preferencesPanel }));
    EXPECT_FALSE (get (ComponentPaths::extrasControlsPanel)->isVisible()) << "hiding the picture hides its buttons";
}

TEST_F (MainWindowTest, ToggleButtonHidesTheLeftPanelAndFocusReturns)
{
    auto& w = open();
    auto* toggle = dynamic_cast<juce::Button*> (get (ComponentPaths::toggleLeftPanelButton));
    ASSERT_NE (toggle, nullptr);

    toggle->triggerClick();
    pump();
    EXPECT_FALSE (w.isLeftPanelVisible());
    EXPECT_FALSE (get (ComponentPaths::leftPanel)->isVisible());
    EXPECT_FALSE (get (ComponentPaths::resizeBar)->isVisible());
    EXPECT_FALSE (get (ComponentPaths::searchPanel)->isVisible());
    EXPECT_EQ (get (ComponentPaths::movieControlsPanel)->getX(), 48);
    EXPECT_FALSE (PreferencesManager::getInstance()->getStartupSidebarVisibility()) << "stored at once";

    // Any click sends the keyboard focus back to the toggle button, so its shortcuts keep working.
    // The panel is reached through its row, as a person reaches it: a catalog refresh meanwhile
    // selects the tree's row again, and with the home row still selected would show the home page.
    w.selectSpecialItem (MainWindow::SpecialEntry::preferences);
    auto* combo = get (ComponentPaths::coursesLanguageCombo);
    combo->grabKeyboardFocus();
    ASSERT_TRUE (waitForFocus (*combo));

    // The click alone is under test: with the folder already the default, the reset changes no
    // folder, so no refresh of the tree and the catalog runs on behind it.
    PreferencesManager::getInstance()->setMoviesRootDirectory (SharedRes::getInstance()->getUserDataFolder());
    dynamic_cast<juce::Button*> (get (ComponentPaths::resetMoviesRootToDefaultButton))->triggerClick();
    EXPECT_TRUE (waitForFocus (*toggle)) << describeFocus();

    toggle->triggerClick();
    pump();
    EXPECT_TRUE (w.isLeftPanelVisible());
}

TEST_F (MainWindowTest, TheHKeyTogglesTheLeftPanel)
{
    auto& w = open();
    ASSERT_TRUE (w.isLeftPanelVisible());
    get (ComponentPaths::toggleLeftPanelButton)->grabKeyboardFocus();
    pump();

    auto* peer = w.getPeer();
    ASSERT_NE (peer, nullptr);
    juce::ChildProcess xdotool;
    ASSERT_TRUE (xdotool.start (juce::StringArray { "xdotool", "key", "--window", juce::String ((juce::pointer_sized_int) peer->getNativeHandle()), "h" }));
    xdotool.waitForProcessToFinish (5000);

    EXPECT_TRUE (MessagePump::runUntil ([&] { return ! w.isLeftPanelVisible(); }));
}

TEST_F (MainWindowTest, TheSearchFieldOpensWithTheIndexAndSearchesIt)
{
    // The service answers the transcripts request with the same document, transcripts included.
    server.answerWith ("<catalog userid='u1' username='Ada' baseurl='http://127.0.0.1:1/'>"
                       "<course id='c1' title='Modelling'><lesson title='Basics' order='2'><chapter id='ch1' order='3' title='Intro'>"
                       "<text>[00:20]casa nuova casa</text></chapter></lesson></course></catalog>");
    open (true);
    auto* editor = window->getContent().getRequired<juce::TextEditor> (ComponentPaths::searchEditor);
    auto* label = window->getContent().getRequired<juce::Label> (ComponentPaths::searchResultLabel);
    ASSERT_TRUE (MessagePump::runUntil ([&] { return editor->isEnabled(); })) << "the installed index never reached the field";
    EXPECT_TRUE (get (ComponentPaths::clearSearchButton)->isEnabled());
    const auto requests = server.getRequests();
    EXPECT_EQ (std::count_if (requests.begin(), requests.end(), [] (const auto& r) { return r.query == "nocache=1&auth=0&min=1"; }), 1);

    editor->setText ("  casa ", false);
    editor->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
    ASSERT_TRUE (MessagePump::runUntil ([&] { return label->getText() == "2 found"; })) << label->getText();
    EXPECT_EQ (editor->getText(), "casa");
    EXPECT_TRUE (core->hasSearchHits ("ch1"));

    // The hits are listed over the right-hand area; the label opens the list again after Escape.
    auto& results = window->getSearchResults();
    ASSERT_TRUE (MessagePump::runUntil ([&] { return results.isOpen() && results.getList().isShowing(); }));
    EXPECT_EQ (results.getList().getResults().getNumRows(), 2);
    auto* page = get (ComponentPaths::webBrowser);
    ASSERT_EQ (visibleRightHandPanels(), juce::StringArray { ComponentPaths::webPanel }) << "the home page is up";
    EXPECT_TRUE (page->getBounds().isEmpty()) << "the page's own window would cover the list";
    EXPECT_TRUE (results.getList().keyPressed (juce::KeyPress (juce::KeyPress::escapeKey)));
    EXPECT_FALSE (results.isOpen());
    EXPECT_FALSE (page->getBounds().isEmpty()) << "the page is back";
    const auto onLabel = label->localPointToGlobal (label->getLocalBounds().getCentre());
    juce::ChildProcess xdotool;
    ASSERT_TRUE (xdotool.start (juce::StringArray { "xdotool", "mousemove", juce::String (onLabel.x), juce::String (onLabel.y), "click", "1" }));
    xdotool.waitForProcessToFinish (5000);
    ASSERT_TRUE (MessagePump::runUntil ([&] { return results.isOpen(); })) << "a click on \"2 found\" lists the hits again";

    // The chapter is not downloaded: choosing a hit offers its download instead of playing.
    prompts.answerNext (true);
    EXPECT_TRUE (results.getList().keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    ASSERT_FALSE (prompts.shown.empty());
    EXPECT_EQ (prompts.shown.back().text, "This chapter is not downloaded yet. Download it now?");
    EXPECT_FALSE (results.isOpen());
    ASSERT_EQ (core->getDownloads().getDownloadCount(), 1) << "the answer queued the chapter";
    EXPECT_EQ (core->getDownloads().findDownload ("ch1"), 0);
    EXPECT_FALSE (window->getMoviePanel().getVideo().isMovieOpen());

    // Offline nothing can be downloaded: the hit shows the chapter's place as its row would.
    window->getCatalogConnection().setCatalogState (nullptr, false, false);
    const auto asked = prompts.shown.size();
    results.open();
    ASSERT_TRUE (results.isOpen());
    EXPECT_TRUE (results.getList().keyPressed (juce::KeyPress (juce::KeyPress::returnKey)));
    EXPECT_EQ (prompts.shown.size(), asked) << "no download offered";
    auto* selected = dynamic_cast<ChapterItem*> (window->getContent().getRequired<juce::TreeView> (ComponentPaths::treeView)->getSelectedItem (0));
    ASSERT_NE (selected, nullptr) << "the hit's chapter is selected in the tree";
    EXPECT_EQ (selected->getChapterId(), "ch1");
    EXPECT_EQ (core->getDownloads().getDownloadCount(), 1);

    window->getContent().getRequired<juce::Button> (ComponentPaths::clearSearchButton)->triggerClick();
    ASSERT_TRUE (MessagePump::runUntil ([&] { return label->getText().isEmpty() && editor->isEmpty(); }));
    EXPECT_EQ (core->getTotalSearchHits(), 0);
}

TEST_F (MainWindowTest, ResizeBarClampsAndShowsAHiddenPanel)
{
    auto& w = open();
    auto* bar = get (ComponentPaths::resizeBar);

    dragResizeBar (*bar, -500.0f);
    EXPECT_EQ (w.getLeftPanelWidth(), 291);
    dragResizeBar (*bar, 1000.0f);
    EXPECT_EQ (w.getLeftPanelWidth(), 600);
    EXPECT_EQ (get (ComponentPaths::moviePanel)->getX(), 607);
    dragResizeBar (*bar, -100.0f);
    EXPECT_EQ (w.getLeftPanelWidth(), 500);

    w.setLeftPanelVisible (false);
    dragResizeBar (*bar, 10.0f);
    EXPECT_TRUE (w.isLeftPanelVisible());
    EXPECT_EQ (w.getLeftPanelWidth(), 510);

    PreferencesManager::deleteInstance();
    PreferencesManager::getInstance()->load (SharedRes::getInstance()->getUserDataFolder().getChildFile ("preferences.xml"));
    EXPECT_EQ (PreferencesManager::getInstance()->getStartupSidebarSize(), 510);
}

TEST_F (MainWindowTest, FetchesTheCatalogWhenItIsUp)
{
    auto& w = open();
    EXPECT_EQ (core->getUserId(), "u1");
    EXPECT_TRUE (w.isOnline());
    EXPECT_FALSE (w.isInMaintenance());
    EXPECT_TRUE (w.getCatalogConnection().getUpdateThread().isThreadRunning());
    EXPECT_EQ (w.getChapterCaption (0, 0, 0), "Modelling, Basics, 2.3 - Intro");
    EXPECT_EQ (core->getUsersDirectory(), PreferencesManager::getInstance()->getMoviesRootDirectory().getChildFile ("users"));
    EXPECT_EQ (countTitled ("Login"), 0);
    EXPECT_EQ (countTitled ("Test site"), 1);
}

TEST_F (MainWindowTest, AServerThatNeverAnswersIsGivenUpOnAndTheWindowAnswersAgain)
{
    // A server that takes the request and then says nothing, with the program's real time-outs.
    FaultServer silent;
    FaultServer::Reply reply { makeTestBody (100) };
    reply.answerDelayMs = 120000;
    silent.answerWith (reply);
    ASSERT_TRUE (home.getFolder().getChildFile ("tsy-testurl.txt").replaceWithText (silent.getBaseUrl()));
    SharedRes::deleteInstance();
    PreferencesManager::getInstance()->setLanguage (1);
    ASSERT_TRUE (SharedRes::getInstance()->getUserDataFolder().getChildFile ("caten.xml").replaceWithText ("<catalog><course id='cached' title='From the cache'/></catalog>"));

    const auto start = juce::Time::getMillisecondCounterHiRes();
    core = std::make_unique<Core> (SharedRes::getInstance()->getUserDataFolder(), Core::Workers { DownloadThread::makeJob });
    window = std::make_unique<MainWindow> ("TSY-Player 1.36", *core);
    window->setVisible (true);
    const auto limit = HttpClient::Limits().stallTimeoutMs + 5000;
    MessagePump::runUntil ([this] { return core->getNumCourses() > 0; }, limit);

    ASSERT_EQ (core->getCourseId (0), "cached") << "the start-up fell back to the cached copy";
    EXPECT_LT (juce::Time::getMillisecondCounterHiRes() - start, limit);
    EXPECT_EQ (silent.getRequestCount(), 1);
    EXPECT_FALSE (window->isOnline());

    // The message loop is free again: a posted message arrives.
    EXPECT_TRUE (MessagePump::deliverPending());
}

TEST_F (MainWindowTest, LooksLikeTheSkin)
{
    auto& w = open();
    const auto shot = w.createComponentSnapshot (w.getLocalBounds());
    const auto file = juce::File (TSY_UI_TEST_OUTPUT_DIR).getChildFile ("main-window.png");
    juce::FileOutputStream out (file);
    ASSERT_TRUE (out.openedOk());
    out.truncate();
    juce::PNGImageFormat().writeImageToStream (shot, out);
    std::cout << "main window screenshot: " << file.getFullPathName() << std::endl;

    const auto height = shot.getHeight();
    const auto x = w.getWidth() / 2 + 150;
    EXPECT_EQ (shot.getPixelAt (x, 25).getARGB(), 0xff000000u) << "the title bar's bottom edge";
    EXPECT_EQ (shot.getPixelAt (x, height - 55).getARGB(), 0xff000000u) << "the bottom bar's top edge";
    EXPECT_EQ (shot.getPixelAt (x, height - 20).getARGB(), 0xffb2b2b2u) << "the window gradient ends in its flat colour";

    const auto nearTop = shot.getPixelAt (x, 10);
    EXPECT_GT (nearTop.getRed(), 0xb2);
    EXPECT_LT (nearTop.getRed(), 0xd8) << "the gradient near the top";
    EXPECT_EQ (shot.getPixelAt (60, 300).getARGB(), 0xffe6e9ecu) << "the tree's panel colour";
}

TEST_F (MainWindowTest, RemoveButtonsActOnTheirOwnRow)
{
    juce::String chapters;

    for (int i = 0; i < 20; ++i)
        chapters << "<chapter id='ch" << i << "' size='10' md5='0123456789abcdef0123456789abcdef'/>";

    // Videos come from a closed port, so every download fails at once and can go unasked.
    server.answerWith ("<catalog userid='u1' username='Ada' baseurl='http://127.0.0.1:1/'><course id='c1'><lesson>" + chapters
                       + "</lesson></course></catalog>");
    auto& w = open();

    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE (w.startDownload (0, "ch" + juce::String (i), "entry " + juce::String (i)));

    ASSERT_TRUE (MessagePump::runUntil ([this] { return allDownloadsEnded(); }));

    pump();
    w.showDownloadPanel();
    pump();

    // The list is scrolled down to the row, as a person would.
    auto& panel = w.getDownloadPanel();
    panel.getList().scrollToEnsureRowIsOnscreen (17);
    auto* row = panel.getRow (17);
    ASSERT_NE (row, nullptr);
    auto& remove = row->getRemoveButton();
    EXPECT_EQ (remove.getName(), "downloadRemove;17");
    ASSERT_TRUE (remove.isShowing());
    EXPECT_EQ (panel.getRow (20), nullptr);

    remove.triggerClick();
    pump();
    ASSERT_EQ (core->getDownloads().getDownloadCount(), 19);
    EXPECT_EQ (core->getDownloads().getDownloadTitle (16), "entry 16");
    EXPECT_EQ (core->getDownloads().getDownloadTitle (17), "entry 18") << "row 17's entry went";
    EXPECT_EQ (panel.getRow (19), nullptr) << "the list shrank";
    EXPECT_EQ (panel.getRow (17)->getLabel().getText(), "entry 18");

    dynamic_cast<juce::Button*> (get (ComponentPaths::clearCompletedDownloadsButton))->triggerClick();
    pump();
    EXPECT_EQ (core->getDownloads().getDownloadCount(), 0);
}

TEST_F (MainWindowTest, TheLanguageWaitsForRunningDownloads)
{
    // The catalog names this server for videos too, and video requests hang for a while.
    server.setHandler ([this] (const TestHttpServer::Request& request) {
        if (request.path != "/catalog.php")
        {
            juce::Thread::sleep (1500);
            return TestHttpServer::Response { 404, "gone", "text/plain" };
        }

        return TestHttpServer::Response { 200, "<catalog userid='u1' username='Ada' baseurl='" + server.getBaseUrl() + "'>"
                                               "<course id='c1'><lesson><chapter id='ch1' size='10'/></lesson></course></catalog>" };
    });
    PreferencesManager::getInstance()->setLanguage (0);
    auto& w = open();
    auto* combo = dynamic_cast<juce::ComboBox*> (get (ComponentPaths::coursesLanguageCombo));
    ASSERT_EQ (combo->getSelectedId(), 1);

    ASSERT_TRUE (w.startDownload (0, "ch1", "running"));
    ASSERT_TRUE (core->getDownloads().isDownloadRunning());
    combo->setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (countTitled ("Downloads in progress"), 1);
    EXPECT_EQ (prompts.shown.back().text, "Wait for the downloads to complete before changing language");
    EXPECT_EQ (combo->getSelectedId(), 1) << "the combo returns to the stored language";
    EXPECT_EQ (PreferencesManager::getInstance()->getLanguage(), 0);

    ASSERT_TRUE (MessagePump::runUntil ([this] { return allDownloadsEnded(); }));

    const auto requestsBefore = server.getRequests().size();
    combo->setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (PreferencesManager::getInstance()->getLanguage(), 1);
    EXPECT_EQ (core->getDownloads().getDownloadCount(), 0) << "finished downloads are cleared";
    ASSERT_GT (server.getRequests().size(), requestsBefore);
    EXPECT_EQ (server.getRequests().back().parameters["lang"], "en") << "the catalog is fetched again in the new language";
}

TEST_F (MainWindowTest, StartupSizeIsClampedToTheUserArea)
{
    EXPECT_EQ (MainWindowLayout::getStartupBounds ({ 0, 0, 1280, 770 }, 5000, 4000), juce::Rectangle<int> (0, 0, 1280, 770));
    EXPECT_EQ (MainWindowLayout::getStartupBounds ({ 0, 0, 1280, 770 }, 1030, 600), juce::Rectangle<int> (0, 0, 1030, 600));

    // A size a window could not be closed from becomes the minimum.
    EXPECT_EQ (MainWindowLayout::getStartupBounds ({ 0, 0, 1280, 770 }, -5, 0), juce::Rectangle<int> (0, 0, 950, 500));

    EXPECT_EQ (MainWindowLayout::getStartupBounds ({ 0, 0, 800, 480 }, 1, 1), juce::Rectangle<int> (0, 0, 800, 480)) << "a small screen wins";

    PreferencesManager::getInstance()->setWindowSize (5000, 4000);
    auto& w = open();
    const auto userArea = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    EXPECT_LE (w.getWidth(), userArea.getWidth());
    EXPECT_LE (w.getHeight(), userArea.getHeight());
    EXPECT_TRUE (userArea.contains (w.getBounds().getCentre()));
}

TEST_F (MainWindowTest, PreferencesPanelReflectsThePreferencesSilently)
{
    auto* preferences = PreferencesManager::getInstance();
    preferences->setLanguage (0);
    preferences->setLoggingEnabled (true);
    auto& w = open();
    juce::ignoreUnused (w);

    EXPECT_EQ (dynamic_cast<juce::ComboBox*> (get (ComponentPaths::coursesLanguageCombo))->getSelectedId(), 1);
    EXPECT_EQ (dynamic_cast<juce::ComboBox*> (get (ComponentPaths::loggingCombo))->getSelectedId(), 1);
    EXPECT_EQ (dynamic_cast<juce::FilenameComponent*> (get (ComponentPaths::moviesRootDirectoryComponent))->getCurrentFile(),
               preferences->getMoviesRootDirectory());
    EXPECT_TRUE (get (ComponentPaths::backupButton)->isEnabled()) << "a signed-in user's catalog arrived";
    EXPECT_TRUE (get (ComponentPaths::restoreButton)->isEnabled());

    // The "Logging enabled" notice comes with the first "er", before the catalog.
    EXPECT_EQ (countTitled ("Logging enabled"), 1);

    dynamic_cast<juce::ComboBox*> (get (ComponentPaths::loggingCombo))->setSelectedId (2);
    pump();
    EXPECT_FALSE (preferences->getLoggingEnabled());
}

TEST_F (MainWindowTest, TheManualGoesToTheDesktopThroughThePrompts)
{
    auto& window = open();
    auto* manualRow = window.getCatalogTree().getRow (4);
    ASSERT_TRUE (manualRow->getUniqueName().endsWith ("Manual"));
    auto& tree = *window.getContent().getComponent<juce::TreeView> (ComponentPaths::treeView);
    const auto now = juce::Time::getCurrentTime();
    const juce::MouseEvent click (juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &tree, &tree, now, {}, now, 1, false);

    PreferencesManager::getInstance()->setLanguage (0);
    manualRow->itemClicked (click);
    PreferencesManager::getInstance()->setLanguage (1);
    manualRow->itemClicked (click);

    const auto common = SharedRes::getInstance()->getCommonDataFolder();
    EXPECT_EQ (prompts.opened, juce::Array<juce::File> ({ common.getChildFile ("Manuale TSY-Player.pdf"), common.getChildFile ("TSY-Player Manual.pdf") }));
}
