#pragma once

#include "downloads/DownloadPanel.h"
#include "kit/ComponentContainer.h"
#include "kit/ComponentPaths.h"
#include "kit/ResizeBar.h"
#include "model/Core.h"
#include "playback/CatalogTreeHost.h"
#include "playback/MoviePanel.h"
#include "search/SearchPanel.h"
#include "ui/CatalogConnection.h"
#include "ui/ExtrasPanel.h"
#include "ui/FirstFrame.h"
#include "ui/MainWindowLayout.h"
#include "ui/PreferencesPanel.h"
#include "ui/RightHandPanels.h"
#include "ui/SearchResultsArea.h"
#include "ui/TranscriptControls.h"
#include "ui/VideoFullScreen.h"
#include "ui/WebPanel.h"

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
    void showPreferencesPanel() override { rightHandPanels->showOnly (ComponentPaths::preferencesPanel); }
    void showDownloadPanel() override { rightHandPanels->showOnly (ComponentPaths::downloadPanel); }

    /** Shows a picture in the image panel, scaled to fit, with or without the extras buttons. */
    void showImage (const juce::Image& image, bool showExtrasControls) { rightHandPanels->showImage (image, showExtrasControls); }

    /** Shows or hides the left panel with the resize bar and the search panel; stored at once. */
    void setLeftPanelVisible (bool shouldBeVisible) override;

    /** Sets the left panel's width; stored for the next start. */
    void setLeftPanelWidth (int newWidth) override;

    int getLeftPanelWidth() const override { return leftPanelWidth; }
    bool isLeftPanelVisible() const override { return leftPanelVisible; }

    /** Reaches a catalog at start-up or after a language change; false when the program quits. */
    bool runStartupRetrieval() override { return connection.runStartupRetrieval (*content); }

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

    /** The list of the last search's hits over the right-hand area. */
    SearchResultsArea& getSearchResults() noexcept { return *searchResults; }

    /** The video alone on the whole display ("f", Escape, a double click on the video). */
    VideoFullScreen& getVideoFullScreen() noexcept { return *videoFullScreen; }

    /** Queues a chapter for download unless the list is full; false when not queued. */
    bool startDownload (int course, const juce::String& chapterId, const juce::String& title) override;

    /** Loads the preferences panel's controls from the preferences, without notifications. */
    void refreshPreferencesPanel();

    bool isOnline() const override { return connection.isOnline(); }
    bool isInMaintenance() const noexcept override { return connection.isInMaintenance(); }

    /** The start-up flow's and the refresh thread's shared state. */
    CatalogConnection& getCatalogConnection() noexcept { return connection; }

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
    void searchResultsChanged() override;

    /** Plays a search result's chapter from its moment, or offers a missing chapter's download. */
    void playSearchResult (const SearchResults::Row& row);
    void searchDatabaseChanged() override;

    juce::String getPasswordHash() const override { return connection.getPasswordHash(); }
    void showOnly (const juce::String& panelPath) override { rightHandPanels->showOnly (panelPath); }
    void hideImagePanel() override { rightHandPanels->hideImagePanel(); }
    int getCurrentCourse() const noexcept { return moviePanel->getCurrentCourse(); }

    void selectDownloadsEntry() override;
    void showHomePage() override;
    void showCoursePage (int course, int lesson) override;
    juce::String getCurrentChapterId() const override { return moviePanel->getCurrentChapterId(); }
    void showCourseExtras() override;
    int getExtrasCourse() const override { return getCurrentCourse(); }
    void showExtrasPicture (const juce::Image& picture) override;
    WebPanel& getExtrasWebPanel() override { return *webPanel; }

    void showBlankPicture() override { showImage ({}, false); }
    void showMovieArea() override { rightHandPanels->showMovieArea(); }
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
    CatalogConnection connection { core };
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

    FirstFrame firstFrame;
    std::unique_ptr<WebPanel> webPanel;
    std::unique_ptr<VideoFullScreen> videoFullScreen;
    std::unique_ptr<RightHandPanels> rightHandPanels;
    juce::TooltipWindow tooltipWindow;
    int leftPanelWidth = ResizeBar::minimumWidth;
    bool leftPanelVisible = true;
    BrowserTab tab = tutorialsTab;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
