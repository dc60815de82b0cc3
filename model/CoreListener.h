#pragma once

#include <JuceHeader.h>

/**
    What Core's broadcasts announce, as typed calls: each panel overrides the ones it shows and
    ignores the rest. Core's notification codes (Notifications.h) stay what is broadcast; they
    are decoded once, by CoreListenerList, and delivered on the message thread.
*/
class CoreListener
{
public:
    virtual ~CoreListener() = default;

    /** Which of a chapter's stored states changed. */
    enum class ChapterChange
    {
        seen,
        favourite,
        removed,
        restored
    };

    /** A new catalog was installed. */
    virtual void catalogChanged() {}

    /** The users directory changed, and with it every chapter's local state. */
    virtual void usersDirectoryChanged() {}

    /** One chapter's seen or favourite flag changed, or its files were removed or restored. */
    virtual void chapterStateChanged (const juce::String& chapterId, ChapterChange change) { juce::ignoreUnused (chapterId, change); }

    /** The download queue gained or lost an entry. */
    virtual void downloadListChanged() {}

    /** A download made progress. */
    virtual void downloadProgress (const juce::String& chapterId) { juce::ignoreUnused (chapterId); }

    /** A download completed or failed. */
    virtual void downloadFinished (const juce::String& chapterId) { juce::ignoreUnused (chapterId); }

    /** A chapter's markers changed: one was added, removed or renamed. */
    virtual void markersChanged (const juce::String& chapterId) { juce::ignoreUnused (chapterId); }

    /** A transcript search finished: its hits and words changed. */
    virtual void searchResultsChanged() {}

    /** The search database was opened or closed. */
    virtual void searchDatabaseChanged() {}

    /** The main window is up: the program's work begins. */
    virtual void windowReady() {}
};

/**
    Core's typed listeners: it listens to a broadcaster's notification messages, decodes each one
    once and calls every listener that was added. A code it does not know is logged and dropped.

    Message thread only (the broadcaster delivers there).
*/
class CoreListenerList final : private juce::ActionListener
{
public:
    explicit CoreListenerList (juce::ActionBroadcaster& broadcaster);
    ~CoreListenerList() override;

    void add (CoreListener* listener);
    void remove (CoreListener* listener);

    /** Decodes one notification message and calls the listeners; false for an unknown code or
        missing arguments, which call nobody.
    */
    bool deliver (const juce::String& message);

private:
    void actionListenerCallback (const juce::String& message) override;

    juce::ActionBroadcaster& broadcaster;
    juce::ListenerList<CoreListener> listeners;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CoreListenerList)
};
