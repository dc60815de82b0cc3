#pragma once

#include <JuceHeader.h>

/** The catalog tree's tab, held by the main window. */
enum BrowserTab
{
    tutorialsTab = 0,
    favoritesTab = 1,
    myTutorialsTab = 2
};

/**
    What the catalog tree needs of the main window: its tab and online flag, and the panels and
    actions that rows lead to. The main window implements it; the tree calls it on the message
    thread (the bulk removal's worker hands its calls over to the message thread first).
*/
class CatalogTreeHost
{
public:
    virtual ~CatalogTreeHost() = default;

    virtual BrowserTab getBrowserTab() const = 0;

    /** Stores a different tab and has the tree lay itself out again with its filter. */
    virtual void setBrowserTab (BrowserTab newTab) = 0;

    /** Whether the catalog came from the server during this run. */
    virtual bool isOnline() const = 0;

    /** Opens a chapter in the movie panel, playing it at once when asked. */
    virtual void openChapter (int course, int lesson, int chapter, bool autoplay) = 0;

    /** Queues a chapter for download under its label; false when it was not queued. */
    virtual bool startDownload (int course, const juce::String& chapterId, const juce::String& title) = 0;

    /** Selects the "Downloads" row, which shows the download panel. */
    virtual void selectDownloadsEntry() = 0;

    virtual void showHomePage() = 0;
    virtual void showDownloadPanel() = 0;
    virtual void showPreferencesPanel() = 0;
    virtual void openManual() = 0;
    virtual void collapseTree() = 0;

    /** A course row (lesson -1) or a lesson row was selected: it becomes current and the
        course's extras page is shown.
    */
    virtual void showCoursePage (int course, int lesson) = 0;

    /** The chapter shown in the movie panel; empty when none. */
    virtual juce::String getCurrentChapterId() const = 0;

    /** "Course, Lesson, 2.3 - Chapter": a chapter's label in the download list. */
    virtual juce::String getChapterCaption (int course, int lesson, int chapter) const = 0;
};
