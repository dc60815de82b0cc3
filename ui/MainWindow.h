#pragma once

#include "downloads/DownloadPanel.h"
#include "model/Core.h"
#include "playback/CatalogTreeHost.h"
#include "playback/MoviePanel.h"
#include "search/SearchPanel.h"
#include "ui/PreferencesPanel.h"
#include "ui/SearchResultsArea.h"
#include "ui/TranscriptControls.h"
#include "server/CatalogUpdateThread.h"
#include "server/StartupRetrieval.h"
#include "ui/ExtrasPanel.h"
#include "ui/MainWindowLayout.h"
#include "ui/VideoFullScreen.h"
#include "ui/WebPanel.h"
#include "ui/kit/ComponentContainer.h"
#include "ui/kit/ResizeBar.h"

class BackgroundPanel;
class CatalogTree;
class DesktopBridge;

/**
    The program's only top-level window: it builds the whole interface once, lays it out on every
    resize, shows one right-hand panel at a time and routes between the panels.

    It stays a thin owner and dispatcher: each panel owns its controls and follows Core's
    broadcasts on its own. Message thread only.
*/
class MainWindow : public juce::DocumentWindow,
                   private Core::Listener,
                   private ResizeBar::Target,
                   private StartupRetrieval::Host,
                   private CatalogUpdateThread::Host,
                   private CatalogTreeHost,
                   private MoviePanel::Host,
                   private PreferencesPanel::Host,
                   private ExtrasPanel::Host,
                   private WebPanel::Host,
                   private juce::KeyListener
{
public:
    /** Builds the window and its whole component tree, with the web browser the factory
        makes, then asks Core to broadcast "er".
    */
    MainWindow (const juce::String& title, Core& core, const WebPanel::BrowserFactory& makeBrowser = WebPanel::makeEmbeddedBrowser);
    ~MainWindow() override;

    //==============================================================================
    void hideMoviePanel();
    void hideWebPanel();
    void hideImagePanel() override;
    void hideDownloadPanel();
    void hidePreferencesPanel();
    void hideMessagePanel();
    void showPreferencesPanel() override;
    void showDownloadPanel() override;

    /** Shows a picture in the image panel, scaled to fit, with or without the extras buttons. */
    void showImage (const juce::Image& image, bool showExtrasControls);

    /** Shows or hides the left panel with the resize bar and the search panel; stored at once. */
    void setLeftPanelVisible (bool shouldBeVisible) override;

    /** Sets the left panel's width; stored for the next start. */
    void setLeftPanelWidth (int newWidth) override;

    int getLeftPanelWidth() const override { return leftPanelWidth; }
    bool isLeftPanelVisible() const override { return leftPanelVisible; }

    /** Stores the online and maintenance flags and hands a new catalog, if any, to Core.
        Called by the catalog refresh thread.
    */
    void setCatalogState (std::unique_ptr<Catalog> catalog, bool online, bool maintenance) override;

    /** Reaches a catalog at start-up or after a language change; false when the program quits. */
    bool runStartupRetrieval() override;

    /** "Course, Lesson, 2.3 - Chapter" for a chapter given by its position. */
    juce::String getChapterCaption (int course, int lesson, int chapter) const override;

    /** Opens the manual in the tutorials' language with the desktop's default program. */
    void openManual() override;

    /** The manual for a tutorials language: Italian for 0, English otherwise. */
    static juce::File getManualFile (const juce::File& commonDataFolder, int language);

    /** Stores a different tab and has the tree lay its rows out with the tab's filter. */
    void setBrowserTab (BrowserTab newTab) override;
    BrowserTab getBrowserTab() const override { return tab; }

    /** Closes every top-level item of the catalog tree. */
    void collapseTree() override;

    /** The fixed entries of the tree that have a panel of their own. */
    enum class SpecialEntry
    {
        preferences,
        downloads
    };

    /** Forgets the current chapter, selects the entry in the tree and shows its panel. */
    void selectSpecialItem (SpecialEntry entry);

    /** Opens a chapter from the tree or the controls: it becomes current and is selected in
        the tree; a downloaded one goes to the movie panel, otherwise the course's extras page
        is shown.
    */
    void openChapter (int course, int lesson, int chapter, bool autoplay) override;

    /** The catalog tree. */
    CatalogTree& getCatalogTree() noexcept { return *catalogTree; }

    /** The movie panel and its controls. */
    MoviePanel& getMoviePanel() noexcept { return *moviePanel; }

    /** The search field and its result label. */
    SearchPanel& getSearchPanel() noexcept { return *searchPanel; }

    /** The web and message panels. */
    WebPanel& getWebPanel() noexcept { return *webPanel; }

    /** The video alone on the whole display ("f", Escape, a double click on the video). */
    VideoFullScreen& getVideoFullScreen() noexcept { return *videoFullScreen; }

    /** Queues a chapter for download unless the list is full; false when not queued. */
    bool startDownload (int course, const juce::String& chapterId, const juce::String& title) override;

    /** Loads the preferences panel's controls from the preferences, without notifications. */
    void refreshPreferencesPanel();

    /** The startup size: the stored size within the window's minimum and the display's usable area. */
    static juce::Rectangle<int> getStartupBounds (juce::Rectangle<int> userArea, int storedWidth, int storedHeight);

    /** The smallest size the window can be given. */
    static constexpr int minimumWidth = 950, minimumHeight = 500;

    bool isOnline() const override { return online; }
    bool isInMaintenance() const noexcept override { return maintenance; }

    /** The refresh thread, started once the first catalog is installed. */
    CatalogUpdateThread& getCatalogUpdateThread() noexcept { return *catalogUpdateThread; }

    /** The root of the component tree. */
    qo::ComponentContainer& getContent() noexcept { return *content; }

    /** The download list and its button. */
    DownloadPanel& getDownloadPanel() noexcept { return *downloadPanel; }

    /** The extras buttons. */
    ExtrasPanel& getExtrasPanel() noexcept { return *extrasPanel; }

    //==============================================================================
    using juce::DocumentWindow::keyPressed;
    juce::BorderSize<int> getBorderThickness() override { return {}; }
    void paint (juce::Graphics& g) override;
    void closeButtonPressed() override;
    void maximiseButtonPressed() override;
    void resized() override;

protected:
    /** The state the layout is computed from. */
    MainWindowLayout::State getLayoutState() const;

    /** Lays the whole tree out for the content's current size. */
    void layoutContent() override;

private:
    void enableControls();

    void windowReady() override;
    void catalogChanged() override;
    void usersDirectoryChanged() override;
    void chapterStateChanged (const juce::String& chapterId, ChapterChange change) override;
    void downloadListChanged() override;
    void downloadFinished (const juce::String& chapterId) override;
    void searchResultsChanged() override;

    /** Plays a search result's chapter from its moment, or offers a missing chapter's download. */
    void playSearchResult (const SearchResults::Row& row);
    void searchDatabaseChanged() override;

    void setPasswordHash (const juce::String& hash) override;
    juce::String getPasswordHash() const override;
    void setCatalogFlags (bool isOnline, bool isInMaintenance) override;
    bool isCatalogOnline() const override { return online; }
    void startCatalogRefresh() override;
    void offerUpgrade (const Catalog& catalog) override;
    void requestQuit() override;
    void showOnly (const juce::String& panelPath) override;
    int getCurrentCourse() const noexcept { return moviePanel->getCurrentCourse(); }

    void selectDownloadsEntry() override;
    void showHomePage() override;
    void showCoursePage (int course, int lesson) override;
    juce::String getCurrentChapterId() const override { return moviePanel->getCurrentChapterId(); }
    void showCourseExtras() override;
    int getExtrasCourse() const override { return getCurrentCourse(); }
    void showExtrasPicture (const juce::Image& picture) override;
    WebPanel& getExtrasWebPanel() override { return *webPanel; }

    void showBlankPicture() override;
    void showMovieArea() override;
    void selectChapterInTree (int course, int lesson, int chapter) override;
    void setWindowTitle (const juce::String& title) override;
    void resizeWindowBy (int deltaWidth, int deltaHeight) override;
    void focusSearchField() override;
    void controlUsed() override;
    void setVideoFullScreen (bool shouldBeFullScreen) override;
    bool isVideoFullScreen() const override { return videoFullScreen->isActive(); }
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;

    template <typename ComponentType = juce::Component>
    ComponentType* get (const juce::String& path) const
    {
        return content->getRequired<ComponentType> (path);
    }

    Core& core;
    const juce::String applicationTitle;
    std::unique_ptr<qo::ComponentContainer> content;
    std::unique_ptr<DownloadPanel> downloadPanel;
    std::unique_ptr<ExtrasPanel> extrasPanel;
    std::unique_ptr<CatalogTree> catalogTree;
    std::unique_ptr<MoviePanel> moviePanel;
    std::unique_ptr<DesktopBridge> desktopBridge;
    std::unique_ptr<TranscriptControls> transcriptControls;
    std::unique_ptr<SearchResultsArea> searchResults;
    std::unique_ptr<SearchPanel> searchPanel;
    std::unique_ptr<PreferencesPanel> preferencesPanel;

    /** Set once the start-up catalog is in place; run after the next frame. */
    std::function<void()> afterFirstFrame;
    std::unique_ptr<WebPanel> webPanel;
    std::unique_ptr<VideoFullScreen> videoFullScreen;
    BackgroundPanel* imagePanel = nullptr;
    juce::TooltipWindow tooltipWindow;
    int leftPanelWidth = ResizeBar::minimumWidth;
    bool leftPanelVisible = true;
    juce::CriticalSection passwordLock;
    juce::String loginPasswordHash;
    BrowserTab tab = tutorialsTab;
    std::atomic<bool> online { false };
    std::atomic<bool> maintenance { false };
    std::unique_ptr<CatalogUpdateThread> catalogUpdateThread;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
