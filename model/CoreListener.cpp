#include "model/CoreListener.h"

#include "model/Notifications.h"

CoreListenerList::CoreListenerList (juce::ActionBroadcaster& b) : broadcaster (b)
{
    broadcaster.addActionListener (this);
}

CoreListenerList::~CoreListenerList()
{
    broadcaster.removeActionListener (this);
}

void CoreListenerList::add (CoreListener* listener)
{
    JUCE_ASSERT_MESSAGE_THREAD
    listeners.add (listener);
}

void CoreListenerList::remove (CoreListener* listener)
{
    JUCE_ASSERT_MESSAGE_THREAD
    listeners.remove (listener);
}

void CoreListenerList::actionListenerCallback (const juce::String& message)
{
    if (! deliver (message))
        juce::Logger::writeToLog ("unknown notification dropped: " + message);
}

bool CoreListenerList::deliver (const juce::String& message)
{
    JUCE_ASSERT_MESSAGE_THREAD
    using Change = CoreListener::ChapterChange;
    namespace N = Notifications;

    const auto tokens = juce::StringArray::fromTokens (message, ";", {});
    const auto code = tokens[0];
    const auto chapterId = tokens[1];

    const auto simple = [this] (void (CoreListener::*callback)()) {
        listeners.call ([callback] (CoreListener& l) { (l.*callback)(); });
        return true;
    };

    const auto forChapter = [this, &tokens, &chapterId] (void (CoreListener::*callback) (const juce::String&)) {
        if (tokens.size() < 2)
            return false;

        listeners.call ([callback, &chapterId] (CoreListener& l) { (l.*callback) (chapterId); });
        return true;
    };

    const auto chapterState = [this, &tokens, &chapterId] (Change change) {
        if (tokens.size() < 2)
            return false;

        listeners.call ([change, &chapterId] (CoreListener& l) { l.chapterStateChanged (chapterId, change); });
        return true;
    };

    if (code == N::catalogChanged)          return simple (&CoreListener::catalogChanged);
    if (code == N::usersDirectoryChanged)   return simple (&CoreListener::usersDirectoryChanged);
    if (code == N::searchDatabaseChanged)   return simple (&CoreListener::searchDatabaseChanged);
    if (code == N::downloadListChanged)     return simple (&CoreListener::downloadListChanged);
    if (code == N::searchChanged)           return simple (&CoreListener::searchResultsChanged);
    if (code == N::windowReady)             return simple (&CoreListener::windowReady);
    if (code == N::downloadProgress)        return forChapter (&CoreListener::downloadProgress);
    if (code == N::downloadFinished)        return forChapter (&CoreListener::downloadFinished);
    if (code == N::markersChanged)          return forChapter (&CoreListener::markersChanged);
    if (code == N::markerModified)          return forChapter (&CoreListener::markersChanged);
    if (code == N::seenChanged)             return chapterState (Change::seen);
    if (code == N::favoriteChanged)         return chapterState (Change::favourite);
    if (code == N::chapterRemoved)          return chapterState (Change::removed);
    if (code == N::chapterRestored)         return chapterState (Change::restored);

    return false;
}
