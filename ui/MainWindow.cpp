#include "ui/MainWindow.h"

#include "app/MyApplication.h"
#include "app/PreferencesManager.h"
#include "app/Prompts.h"
#include "app/SharedRes.h"
#include "downloads/DownloadPanel.h"
#include "server/ProgramUpgrade.h"
#include "ui/BackgroundPanel.h"
#include "ui/CustomLookAndFeel2.h"
#include "ui/MainWindowContent.h"

#include <ProjectInfo.h>

namespace
{
const char* const extrasButtons[] = { "coverButton", "creditsButton", "partnersButton" };

/** For start-up measurements: the file named by the environment variable TSY_FIRST_PAINT_FILE,
    if any, which the window's first paint with a catalog in place fills with the time (the
    monotonic clock's milliseconds); an empty file once that is done or when there is none.
*/
juce::File& pendingFirstPaintReport()
{
    static juce::File file = []
    {
        const auto path = juce::SystemStats::getEnvironmentVariable ("TSY_FIRST_PAINT_FILE", {});
        return juce::File::isAbsolutePath (path) ? juce::File (path) : juce::File();
    }();

    return file;
}

juce::Rectangle<int> getMainDisplayUserArea()
{
    if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        return display->userArea;

    return { 0, 0, 1030, 600 };
}
} // namespace

MainWindow::MainWindow (const juce::String& title, Core& c)
    : DocumentWindow (title, juce::Colours::black, juce::DocumentWindow::allButtons, true), core (c)
{
    setOpaque (true);

    auto* preferences = PreferencesManager::getInstance();
    leftPanelWidth = preferences->getStartupSidebarSize();
    leftPanelVisible = preferences->getStartupSidebarVisibility();
    catalogUpdateThread = std::make_unique<CatalogUpdateThread> (static_cast<CatalogUpdateThread::Host&> (*this), core);

    content = std::make_unique<qo::ComponentContainer> ("content");
    MainWindowContent::build (*content, { *this, *this, *this, *this, *this, *this });
    treeView = get<juce::TreeView> ("leftPanel/treeView");
    imagePanel = get<BackgroundPanel> ("imagePanel");

    downloadList = std::make_unique<qo::ComponentContainer> ("downloadList");
    MainWindowContent::buildDownloadRows (*downloadList, downloadProgressValues, *this);
    downloadPanel = std::make_unique<DownloadPanel> (core, *downloadList, downloadProgressValues);
    get<juce::Viewport> ("downloadPanel/downloadViewport")->setViewedComponent (downloadList.get(), false);

    const auto userArea = getMainDisplayUserArea();
    const auto startup = getStartupBounds (userArea, preferences->getEditorStartupWidth(), preferences->getEditorStartupHeight());
    setContentNonOwned (content.get(), false);
    setResizeLimits (950, 500, 10000, 10000);
    setResizable (true, true);
    setBounds (startup.withCentre (userArea.getCentre()));

    if (auto* custom = SharedRes::getInstance()->getObject<CustomLookAndFeel2> ("/custom"))
        juce::LookAndFeel::setDefaultLookAndFeel (custom);

    handleMessage ({ "ec" });
    core.addActionListener (this);
    core.broadcast ("er");
}

MainWindow::~MainWindow()
{
    treeView->setRootItem (nullptr);
    catalogUpdateThread->stopThread (10000);
    core.removeActionListener (this);
    get<juce::Viewport> ("downloadPanel/downloadViewport")->setViewedComponent (nullptr, false);
    downloadPanel = nullptr;
    downloadList = nullptr;
    catalogUpdateThread = nullptr;
    clearContentComponent();
    content = nullptr;
    juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
}

juce::Rectangle<int> MainWindow::getStartupBounds (juce::Rectangle<int> userArea, int storedWidth, int storedHeight)
{
    return { juce::jmin (storedWidth, userArea.getWidth()), juce::jmin (storedHeight, userArea.getHeight()) };
}

//==============================================================================
void MainWindow::paint (juce::Graphics& g)
{
    DocumentWindow::paint (g);
    auto& report = pendingFirstPaintReport();

    if (report != juce::File() && core.getNumCourses() > 0)
    {
        report.replaceWithText (juce::String (juce::Time::getMillisecondCounterHiRes(), 3));
        report = juce::File();
    }
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

    if (auto* movie = get ("moviePanel/"))
        state.movieShowing = movie->isVisible() && get ("moviePanel")->isVisible();

    if (auto* browser = get ("webPanel/"))
        state.webShowing = browser->isVisible() && get ("webPanel")->isVisible();

    return state;
}

void MainWindow::layoutContent()
{
    if (content == nullptr || downloadList == nullptr)
        return;

    for (const auto& placement : MainWindowLayout::compute (getLayoutState()))
        if (auto* component = get (placement.path))
            component->setBounds (placement.bounds);

    if (auto* label = get ("messagePanel/messageLabel"))
        label->setCentrePosition (get ("messagePanel")->getLocalBounds().getCentre());

    downloadPanel->layoutRows (get ("downloadPanel")->getWidth(), get<juce::Viewport> ("downloadPanel/downloadViewport")->getScrollBarThickness());

    if (! isFullScreen())
        PreferencesManager::getInstance()->setWindowSize (getWidth(), getHeight());
}

void MainWindow::updateDownloadPanel()
{
    downloadPanel->update();
    layoutContent();
}

bool MainWindow::startDownload (int course, const juce::String& chapterId, const juce::String& title)
{
    return downloadPanel->startDownload (course, chapterId, title);
}

//==============================================================================
void MainWindow::showOnly (const juce::String& panelPath)
{
    if (panelPath != "moviePanel")
        hideMoviePanel();

    if (panelPath != "webPanel")
        hideWebPanel();

    if (panelPath != "imagePanel")
        hideImagePanel();

    if (panelPath != "downloadPanel")
        hideDownloadPanel();

    if (panelPath != "preferencesPanel")
        hidePreferencesPanel();

    if (panelPath != "messagePanel")
        hideMessagePanel();

    get (panelPath)->setVisible (true);
}

void MainWindow::hideMoviePanel()
{
    currentChapterId.clear();
    setName (MyApplication::getMainWindowTitle());
    get ("moviePanel")->setVisible (false);
    layoutContent();
    get ("bottomPanel/movieControlsPanel")->setVisible (false);
}

void MainWindow::hideWebPanel()
{
    get ("webPanel")->setVisible (false);
    layoutContent();
}

void MainWindow::hideImagePanel()
{
    imagePanel->setVisible (false);
    get ("bottomPanel/extrasControlsPanel")->setVisible (false);
}

void MainWindow::hideDownloadPanel()
{
    get ("downloadPanel")->setVisible (false);
}

void MainWindow::hidePreferencesPanel()
{
    get ("preferencesPanel")->setVisible (false);
}

void MainWindow::hideMessagePanel()
{
    get ("messagePanel")->setVisible (false);
}

void MainWindow::showPreferencesPanel()
{
    showOnly ("preferencesPanel");
}

void MainWindow::showDownloadPanel()
{
    showOnly ("downloadPanel");
}

void MainWindow::showImage (const juce::Image& image, bool showExtrasControls)
{
    showOnly ("imagePanel");
    imagePanel->setImage (image, juce::RectanglePlacement::centred);
    get ("bottomPanel/extrasControlsPanel")->setVisible (showExtrasControls);
}

//==============================================================================
void MainWindow::setLeftPanelVisible (bool shouldBeVisible)
{
    if (leftPanelVisible == shouldBeVisible)
        return;

    leftPanelVisible = shouldBeVisible;
    PreferencesManager::getInstance()->setStartupSidebarVisibility (shouldBeVisible);

    for (auto* path : { "leftPanel", "resizeBar", "bottomPanel/searchPanel" })
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

void MainWindow::setCatalogState (Catalog* catalog, bool isOnline, bool isInMaintenance)
{
    setCatalogFlags (isOnline, isInMaintenance);

    if (catalog != nullptr)
        core.setCatalog (catalog, isOnline);
}

void MainWindow::setCatalogFlags (bool isOnline, bool isInMaintenance)
{
    online = isOnline;
    maintenance = isInMaintenance;
}

void MainWindow::setPasswordHash (const juce::String& hash)
{
    const juce::ScopedLock sl (passwordLock);
    loginPasswordHash = hash;
}

juce::String MainWindow::getPasswordHash() const
{
    const juce::ScopedLock sl (passwordLock);
    return loginPasswordHash;
}

void MainWindow::startCatalogRefresh()
{
    if (! catalogUpdateThread->isThreadRunning())
        catalogUpdateThread->startThread (juce::Thread::Priority::background);
}

void MainWindow::offerUpgrade (const Catalog& catalog)
{
    ProgramUpgrade::offer (catalog, core, ProjectInfo::versionString, [this] { requestQuit(); });
}

void MainWindow::requestQuit()
{
    juce::JUCEApplicationBase::quit();
}

bool MainWindow::runStartupRetrieval()
{
    StartupRetrieval retrieval (core, *this, CatalogServiceClient::Endpoint::fromSharedResources());
    return retrieval.run();
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
    getManualFile (SharedRes::getInstance()->getCommonDataFolder(), PreferencesManager::getInstance()->getLanguage()).startAsProcess();
}

void MainWindow::setBrowserTab (BrowserTab newTab)
{
    if (tab == newTab)
        return;

    tab = newTab;

    if (auto* root = treeView->getRootItem())
        root->treeHasChanged();
}

void MainWindow::collapseTree()
{
    if (auto* root = treeView->getRootItem())
        for (int i = 0; i < root->getNumSubItems(); ++i)
            root->getSubItem (i)->setOpen (false);
}

void MainWindow::selectSpecialItem (SpecialItem item)
{
    currentCourse = currentLesson = currentChapter = -1;

    if (item == SpecialItem::preferences)
        showPreferencesPanel();
    else
        showDownloadPanel();
}

void MainWindow::refreshExtrasButtons()
{
    const juce::String panel ("bottomPanel/extrasControlsPanel/");
    get<juce::Button> (panel + extrasButtons[juce::jlimit (0, 2, extrasKind)])->setToggleState (true, juce::dontSendNotification);

    const auto hasPartners = currentCourse >= 0 && ! core.getCoursePartnersUrl (currentCourse).isEmpty();
    get (panel + "partnersButton")->setVisible (hasPartners);
    get<juce::Button> (panel + "creditsButton")->setConnectedEdges (juce::Button::ConnectedOnLeft | (hasPartners ? juce::Button::ConnectedOnRight : 0));
}

void MainWindow::refreshPreferencesPanel()
{
    auto* preferences = PreferencesManager::getInstance();
    get<juce::ComboBox> ("preferencesPanel/coursesLanguageCombo")->setSelectedId (preferences->getLanguage() + 1, juce::dontSendNotification);
    get<juce::ComboBox> ("preferencesPanel/loggingCombo")->setSelectedId (preferences->getLoggingEnabled() ? 1 : 2, juce::dontSendNotification);
    get<juce::FilenameComponent> ("preferencesPanel/moviesRootDirectoryComponent")
        ->setCurrentFile (preferences->getMoviesRootDirectory(), true, juce::dontSendNotification);

    const auto signedIn = core.hasUser();
    get ("preferencesPanel/backupButton")->setEnabled (signedIn);
    get ("preferencesPanel/restoreButton")->setEnabled (signedIn);
}

void MainWindow::showExtrasPage (int kind)
{
    juce::ignoreUnused (kind);
}

//==============================================================================
void MainWindow::buttonClicked (juce::Button* button)
{
    if (! button->isShowing())
        return;

    const auto pieces = juce::StringArray::fromTokens (button->getName(), ";", {});
    const auto& name = pieces[0];

    if (name == "clearCompletedDownloadsButton")
    {
        downloadPanel->clearCompleted();
    }
    else if (name == "downloadRemove")
    {
        downloadPanel->removeRow (pieces[1].getIntValue());
    }
    else if (name == "toggleLeftPanelButton")
    {
        setLeftPanelVisible (! leftPanelVisible);
    }
    else if (name == "minVolumeButton" || name == "maxVolumeButton")
    {
        volume = name == "minVolumeButton" ? 0.0f : 1.0f;
        get<juce::Slider> ("bottomPanel/movieControlsPanel/volumeSlider")->setValue (volume, juce::dontSendNotification);
    }
    else if (name == "clearSearchButton")
    {
        get<juce::TextEditor> ("bottomPanel/searchPanel/searchEditor")->setText ({}, false);
    }
    else if (name == "coverButton" || name == "creditsButton" || name == "partnersButton")
    {
        extrasKind = name == "coverButton" ? 0 : (name == "creditsButton" ? 1 : 2);

        if (currentCourse >= 0)
            showExtrasPage (extrasKind);
    }
    else if (name == "resetMoviesRootToDefaultButton")
    {
        get<juce::FilenameComponent> ("preferencesPanel/moviesRootDirectoryComponent")
            ->setCurrentFile (SharedRes::getInstance()->getUserDataFolder(), false, juce::sendNotificationAsync);
    }
    else if (name == "favoriteToggleButton")
    {
        if (currentChapterId.isNotEmpty())
            core.setFavorite (currentChapterId, ! core.isFavorite (currentChapterId));
    }

    get ("bottomPanel/toggleLeftPanelButton")->grabKeyboardFocus();
}

void MainWindow::sliderValueChanged (juce::Slider* slider)
{
    if (slider->getName() == "volumeSlider")
        volume = (float) slider->getValue();
}

void MainWindow::comboBoxChanged (juce::ComboBox* comboBox)
{
    if (comboBox->getName() == "loggingCombo")
        PreferencesManager::getInstance()->setLoggingEnabled (comboBox->getSelectedId() == 1);
    else if (comboBox->getName() == "coursesLanguageCombo")
        languageChosen (comboBox->getSelectedId());
}

void MainWindow::languageChosen (int comboId)
{
    auto* preferences = PreferencesManager::getInstance();

    for (int i = 0; i < core.getDownloadCount(); ++i)
    {
        const auto state = core.getDownloadState (i);

        if (state != DownloadState::Completed && state != DownloadState::Failed)
        {
            Prompts::get().showMessage (Prompts::Icon::none,
                                        TRANS ("Downloads in progress"),
                                        TRANS ("Wait for the downloads to complete before changing language"),
                                        TRANS ("OK"));
            get<juce::ComboBox> ("preferencesPanel/coursesLanguageCombo")->setSelectedId (preferences->getLanguage() + 1, juce::dontSendNotification);
            return;
        }
    }

    core.removeFinishedDownloads();
    preferences->setLanguage (comboId - 1);

    if (runStartupRetrieval())
        refreshPreferencesPanel();
}

void MainWindow::filenameComponentChanged (juce::FilenameComponent*)
{
}

//==============================================================================
void MainWindow::actionListenerCallback (const juce::String& message)
{
    handleMessage (juce::StringArray::fromTokens (message, ";", {}));
}

void MainWindow::handleMessage (const juce::StringArray& pieces)
{
    const auto& code = pieces[0];

    if (code == "ec")
    {
        for (auto* path : { "leftPanel", "resizeBar", "bottomPanel/searchPanel" })
            get (path)->setVisible (leftPanelVisible);

        get<juce::Slider> ("bottomPanel/movieControlsPanel/volumeSlider")->setValue (volume, juce::dontSendNotification);
        updateDownloadPanel();
        refreshPreferencesPanel();
        refreshExtrasButtons();
        layoutContent();
    }
    else if (code == "er")
    {
        auto* preferences = PreferencesManager::getInstance();

        if (preferences->getLoggingEnabled())
            Prompts::get().showMessage (Prompts::Icon::info,
                                        TRANS ("Logging enabled"),
                                        TRANS ("The logging of operations is currently enabled.\nThis will write a log file on your Desktop and may "
                                               "degrade performances in some cases.\nWhen not needed, you can disable the logging in the Preferences panel"),
                                        TRANS ("OK"));

        core.setUsersDirectory (preferences->getMoviesRootDirectory().getChildFile ("users"), false);
        juce::Logger::writeToLog ("main window ready, retrieving catalog");

        if (runStartupRetrieval())
            refreshPreferencesPanel();
    }
    else if (code == "cc")
    {
        refreshPreferencesPanel();

        if (pendingFirstPaintReport() != juce::File())
            repaint();
    }
    else if (code == "fr" || code == "ca" || code == "cs")
    {
        treeView->repaint();
    }
    else if (code == "df" || code == "cl")
    {
        treeView->repaint();
        updateDownloadPanel();
    }
    else if (code == "dp")
    {
        downloadPanel->progressChanged (pieces[1]);
    }
    else if (code == "mc" || code == "mm")
    {
        layoutContent();
    }
    else if (code == "sc")
    {
        treeView->repaint();
        layoutContent();
    }
    else if (code == "cf")
    {
        if (auto* root = treeView->getRootItem())
            root->treeHasChanged();
    }
}
