#include "ui/MainWindow.h"

#include "app/PreferencesManager.h"
#include "app/Prompts.h"
#include "app/SharedRes.h"
#include "kit/ComponentPaths.h"
#include "kit/CustomLookAndFeel2.h"
#include "model/Notifications.h"
#include "playback/CatalogTree.h"
#include "playback/CatalogTreeActions.h"
#include "playback/VideoComponent.h"
#include "ui/DesktopBridge.h"
#include "ui/MainWindowContent.h"


namespace
{
juce::Rectangle<int> getMainDisplayUserArea()
{
    if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        return display->userArea;

    return { 0, 0, 1030, 600 };
}
} // namespace

MainWindow::MainWindow (const juce::String& title, Core& c, const WebPanel::BrowserFactory& makeBrowser)
    : DocumentWindow (title, juce::Colours::black, juce::DocumentWindow::allButtons, true), core (c)
{
    setOpaque (true);

    auto* preferences = PreferencesManager::getInstance();
    leftPanelWidth = preferences->getStartupSidebarSize();
    leftPanelVisible = preferences->getStartupSidebarVisibility();

    content = std::make_unique<qo::ComponentContainer> ("content");
    moviePanel = std::make_unique<MoviePanel> (core, static_cast<MoviePanel::Host&> (*this));
    preferencesPanel = std::make_unique<PreferencesPanel> (core, static_cast<PreferencesPanel::Host&> (*this));
    searchPanel = std::make_unique<SearchPanel> (core);
    searchPanel->onControlUsed = [this] { controlUsed(); };
    downloadPanel = std::make_unique<DownloadPanel> (core);
    downloadPanel->onControlUsed = [this] { controlUsed(); };
    extrasPanel = std::make_unique<ExtrasPanel> (core, static_cast<ExtrasPanel::Host&> (*this));
    auto* browser = makeBrowser().release();
    MainWindowContent::build (*content, { *this }, { moviePanel->getVideo(), *moviePanel, *preferencesPanel, *searchPanel, *downloadPanel, *extrasPanel }, &browser->getComponent());
    transcriptControls = std::make_unique<TranscriptControls> (core, *moviePanel, [this] { layoutContent(); });
    content->attachComponentAt (ComponentPaths::transcriptPane, transcriptControls->getFollower().getPane(), false);
    searchResults = std::make_unique<SearchResultsArea> (core, *content, searchPanel->getResultLabel(), [this] (const SearchResults::Row& row) { playSearchResult (row); });
    searchResults->onOpenedOrClosed = [this] { layoutContent(); };
    content->addKeyListener (this);
    catalogTree = std::make_unique<CatalogTree> (*get<juce::TreeView> (ComponentPaths::treeView), core, static_cast<CatalogTreeHost&> (*this));
    webPanel = std::make_unique<WebPanel> (core, *content, *browser, static_cast<WebPanel::Host&> (*this));
    videoFullScreen = std::make_unique<VideoFullScreen> (*this, *content, juce::Array<juce::Component*> {
        get (ComponentPaths::leftPanel), get (ComponentPaths::resizeBar), get (ComponentPaths::toggleLeftPanelButton), get (ComponentPaths::searchPanel) });
    videoFullScreen->onChange = [this] { layoutContent(); };
    rightHandPanels = std::make_unique<RightHandPanels> (*content, RightHandPanels::Panels { *moviePanel, *webPanel, *videoFullScreen }, title, [this] { layoutContent(); });

    auto* toggle = get<juce::Button> (ComponentPaths::toggleLeftPanelButton);
    toggle->onClick = [this, toggle]
    {
        // A click queued while the bar was hidden does nothing.
        if (! toggle->isShowing())
            return;

        setLeftPanelVisible (! leftPanelVisible);
        controlUsed();
    };

    const auto userArea = getMainDisplayUserArea();
    const auto startup = MainWindowLayout::getStartupBounds (userArea, preferences->getEditorStartupWidth(), preferences->getEditorStartupHeight());
    setContentNonOwned (content.get(), false);
    setResizeLimits (MainWindowLayout::minimumWidth, MainWindowLayout::minimumHeight, 10000, 10000);
    setResizable (true, true);
    setBounds (startup.withCentre (userArea.getCentre()));

    if (auto* custom = SharedRes::getInstance()->getObject<CustomLookAndFeel2> ("/custom"))
        juce::LookAndFeel::setDefaultLookAndFeel (custom);

    enableControls();
    core.addListener (this);
    desktopBridge = std::make_unique<DesktopBridge> (core, *this, *moviePanel, SessionBus::findSessionAddress());
    core.broadcast (Notifications::windowReady);
}

MainWindow::~MainWindow()
{
    desktopBridge = nullptr;
    rightHandPanels = nullptr;
    videoFullScreen = nullptr;
    content->removeComponent (ComponentPaths::searchPanel);
    searchPanel = nullptr;
    catalogTree = nullptr;
    connection.stop();
    content->removeComponent (ComponentPaths::movieControlsPanel);
    content->removeComponent (ComponentPaths::movieComponent);
    content->removeComponent (ComponentPaths::transcriptPane);
    transcriptControls = nullptr;
    searchResults = nullptr;
    content->removeComponent (ComponentPaths::preferencesPanel);
    preferencesPanel = nullptr;
    content->removeComponent (ComponentPaths::extrasControlsPanel);
    extrasPanel = nullptr;
    content->removeComponent (ComponentPaths::downloadPanel);
    downloadPanel = nullptr;
    moviePanel = nullptr;
    webPanel = nullptr;
    core.removeListener (this);
    content->removeKeyListener (this);
    clearContentComponent();
    content = nullptr;
    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
}

//==============================================================================
void MainWindow::paint (juce::Graphics& g)
{
    DocumentWindow::paint (g);
    firstFrame.windowPainted (*this, core.getNumCourses() > 0);
}

void MainWindow::closeButtonPressed()
{
    juce::JUCEApplicationBase::quit();
}

void MainWindow::maximiseButtonPressed()
{
    DocumentWindow::maximiseButtonPressed();
    PreferencesManager::getInstance()->setMaximiseWindowAtStartup (isFullScreen());
}

void MainWindow::resized()
{
    DocumentWindow::resized();
    layoutContent();
}

MainWindowLayout::State MainWindow::getLayoutState() const
{
    MainWindowLayout::State state;
    state.width = content->getWidth();
    state.height = content->getHeight();
    state.leftPanelWidth = leftPanelWidth;
    state.leftPanelVisible = leftPanelVisible;

    // The browser is an optional part of its panel.
    state.movieShowing = get (ComponentPaths::moviePanel)->isVisible();

    if (moviePanel != nullptr)
    {
        state.movieSize = moviePanel->getMovieSize();
        state.transcriptWidth = transcriptControls != nullptr ? transcriptControls->getTranscriptWidth() : 0;
    }

    // The page is a window of the browser's own, above every component in its area: the results
    // list can only be seen with the page out of the way.
    if (auto* browser = content->getComponent (ComponentPaths::webBrowser))
        state.webShowing = browser->isVisible() && get (ComponentPaths::webPanel)->isVisible() && ! (searchResults != nullptr && searchResults->isOpen());

    if (videoFullScreen != nullptr)
    {
        state.videoFullScreen = videoFullScreen->isActive();
        state.fullScreenBarShown = videoFullScreen->isBarShown();
    }

    return state;
}

void MainWindow::layoutContent()
{
    if (content == nullptr || downloadPanel == nullptr)
        return;

    for (const auto& placement : MainWindowLayout::compute (getLayoutState()))
        if (auto* component = content->getComponent (placement.path))
            component->setBounds (placement.bounds);

    get (ComponentPaths::messageLabel)->setCentrePosition (get (ComponentPaths::messagePanel)->getLocalBounds().getCentre());

    if (moviePanel != nullptr)
        moviePanel->rebuildMarkers();

    if (searchResults != nullptr)
        searchResults->setBounds (get (ComponentPaths::moviePanel)->getBounds());

    // The display's size is no window size to start with.
    if (! isFullScreen() && ! isKioskMode())
        PreferencesManager::getInstance()->setWindowSize (getWidth(), getHeight());
}

bool MainWindow::startDownload (int course, const juce::String& chapterId, const juce::String& title)
{
    return downloadPanel->startDownload (course, chapterId, title);
}

//==============================================================================
void MainWindow::setLeftPanelVisible (bool shouldBeVisible)
{
    if (leftPanelVisible == shouldBeVisible)
        return;

    leftPanelVisible = shouldBeVisible;
    PreferencesManager::getInstance()->setStartupSidebarVisibility (shouldBeVisible);

    for (auto* path : { ComponentPaths::leftPanel, ComponentPaths::resizeBar, ComponentPaths::searchPanel })
        get (path)->setVisible (shouldBeVisible);

    layoutContent();
}

void MainWindow::setLeftPanelWidth (int newWidth)
{
    if (leftPanelWidth == newWidth)
        return;

    leftPanelWidth = newWidth;
    PreferencesManager::getInstance()->setStartupSidebarSize (newWidth);
    layoutContent();
}

juce::String MainWindow::getChapterCaption (int course, int lesson, int chapter) const
{
    const auto chapterId = core.getChapterId (course, lesson, chapter);
    return core.getCourseTitle (course) + ", " + core.getLessonTitle (course, lesson) + ", "
         + juce::String (core.getLessonOrder (course, lesson)) + "." + juce::String (core.getChapterOrder (chapterId))
         + " - " + core.getChapterTitle (chapterId);
}

juce::File MainWindow::getManualFile (const juce::File& commonDataFolder, int language)
{
    return commonDataFolder.getChildFile (language == 0 ? "Manuale TSY-Player.pdf" : "TSY-Player Manual.pdf");
}

void MainWindow::openManual()
{
    Prompts::get().openWithSystem (getManualFile (SharedRes::getInstance()->getCommonDataFolder(), PreferencesManager::getInstance()->getLanguage()));
}

void MainWindow::setBrowserTab (BrowserTab newTab)
{
    if (tab == newTab)
        return;

    tab = newTab;
    catalogTree->filterChanged();
}

void MainWindow::collapseTree()
{
    catalogTree->collapse();
}

void MainWindow::selectSpecialItem (SpecialEntry entry)
{
    moviePanel->setCurrentCourse (-1, -1);
    const auto row = entry == SpecialEntry::preferences ? catalogTree->getPreferencesRow() : catalogTree->getDownloadsRow();

    // Selecting the row shows its panel; a row that is already selected does not react again.
    if (auto* item = catalogTree->getRow (row); item != nullptr && ! item->isSelected())
        catalogTree->selectRow (row);
    else if (entry == SpecialEntry::preferences)
        showPreferencesPanel();
    else
        showDownloadPanel();
}

void MainWindow::selectDownloadsEntry()
{
    selectSpecialItem (SpecialEntry::downloads);
}

void MainWindow::showHomePage()
{
    moviePanel->setCurrentCourse (-1, -1);

    // Selecting the home row shows the page through the row; a selected row does not react.
    if (auto* item = catalogTree->getRow (catalogTree->getHomeRow()); item != nullptr && ! item->isSelected())
        catalogTree->selectRow (catalogTree->getHomeRow());
    else
        webPanel->showHomePage();
}

void MainWindow::openChapter (int course, int lesson, int chapter, bool autoplay)
{
    moviePanel->openChapter (course, lesson, chapter, autoplay);
}

void MainWindow::selectChapterInTree (int course, int lesson, int chapter)
{
    catalogTree->selectChapter (course, lesson, chapter);
}

void MainWindow::setWindowTitle (const juce::String& title)
{
    setName (title);
}

void MainWindow::resizeWindowBy (int deltaWidth, int deltaHeight)
{
    setSize (getWidth() + deltaWidth, getHeight() + deltaHeight);
}

void MainWindow::setVideoFullScreen (bool shouldBeFullScreen)
{
    if (shouldBeFullScreen)
        videoFullScreen->enter();
    else
        videoFullScreen->leave();
}

void MainWindow::showCoursePage (int course, int lesson)
{
    moviePanel->setCurrentCourse (course, lesson);

    if (lesson >= 0)
        if (auto* courseRow = catalogTree->getRow (catalogTree->getFirstCourseRow() + course))
            courseRow->setOpen (true);

    showCourseExtras();
}

void MainWindow::showCourseExtras()
{
    extrasPanel->showCourseExtras();
}

void MainWindow::showExtrasPicture (const juce::Image& picture)
{
    showImage (picture, true);
}

void MainWindow::refreshPreferencesPanel()
{
    preferencesPanel->refresh();
}

void MainWindow::focusSearchField()
{
    searchPanel->getEditor().grabKeyboardFocus();
}

void MainWindow::controlUsed()
{
    // In full screen the toggle is hidden and the picture keeps the keys.
    if (videoFullScreen->isActive())
        moviePanel->getVideo().grabKeyboardFocus();
    else
        get (ComponentPaths::toggleLeftPanelButton)->grabKeyboardFocus();
}

bool MainWindow::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    return moviePanel->keyPressed (key) || transcriptControls->keyPressed (key);
}

//==============================================================================
void MainWindow::enableControls()
{
    for (auto* path : { ComponentPaths::leftPanel, ComponentPaths::resizeBar, ComponentPaths::searchPanel })
        get (path)->setVisible (leftPanelVisible);

    moviePanel->refreshControls();
    searchPanel->refresh();
    refreshPreferencesPanel();
    extrasPanel->refresh();
    layoutContent();
}

void MainWindow::windowReady()
{
    auto* preferences = PreferencesManager::getInstance();

    if (preferences->getLoggingEnabled())
        Prompts::get().showMessage (Prompts::Icon::info,
                                    TRANS ("Logging enabled"),
                                    TRANS ("The logging of operations is currently enabled.\nThis will write a log file on your Desktop and may "
                                           "degrade performances in some cases.\nWhen not needed, you can disable the logging in the Preferences panel"),
                                    TRANS ("OK"));

    core.setUsersDirectory (preferences->getMoviesRootDirectory().getChildFile ("users"), juce::dontSendNotification);
    juce::Logger::writeToLog ("main window ready, retrieving catalog");

    const auto installed = runStartupRetrieval();

    if (installed)
    {
        catalogTree->rebuild();
        refreshPreferencesPanel();
        showHomePage();
    }

    // What the first frame does not show waits until that frame is out.
    firstFrame.runAfterNextPaint ([this, installed]
                                  {
                                      core.startDeferredWork();

                                      if (installed)
                                          core.startSearchDatabaseUpdate();
                                  });
    repaint();
}

void MainWindow::catalogChanged()
{
    refreshPreferencesPanel();

    if (firstFrame.isReportPending())
        repaint();
}

void MainWindow::searchResultsChanged()
{
    searchPanel->refresh();
    layoutContent();
}

void MainWindow::playSearchResult (const SearchResults::Row& row)
{
    int course = -1, lesson = -1, chapter = -1;

    if (! core.findChapterPosition (row.chapterId, course, lesson, chapter))
        return;

    if (! core.isVideoPresent (row.chapterId))
    {
        // Only a signed-in user online can download: anyone else is shown the chapter as a click
        // on its row shows it, with its course's page.
        if (! core.hasUser() || ! isOnline())
            return openChapter (course, lesson, chapter, false);

        if (Prompts::get().askOkCancel (Prompts::Icon::question, TRANS ("Search results"),
                                        TRANS ("This chapter is not downloaded yet. Download it now?"), TRANS ("Download"), TRANS ("Cancel")))
            CatalogTreeActions::queueChapter (core, *this, { course, lesson, chapter, row.chapterId });

        return;
    }

    moviePanel->openChapter (course, lesson, chapter, true);
    moviePanel->getVideo().setPosition (row.seconds);
    moviePanel->refreshControls();
}

void MainWindow::searchDatabaseChanged()
{
    searchPanel->refresh();
}
