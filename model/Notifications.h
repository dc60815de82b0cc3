#pragma once

/**
    The codes of Core's broadcasts. A broadcast is a code, then its arguments, joined with ";";
    listeners split it at ";" and compare the first token with these.
*/
namespace Notifications
{
/** A new catalog was installed. */
constexpr const char* catalogChanged = "cc";

/** The users directory changed. */
constexpr const char* usersDirectoryChanged = "cu";

/** The search database was opened or closed. */
constexpr const char* searchDatabaseChanged = "cd";

/** The download queue gained or lost an entry. */
constexpr const char* downloadListChanged = "cl";

/** A download made progress; argument: the chapter. */
constexpr const char* downloadProgress = "dp";

/** A download completed or failed; argument: the chapter. */
constexpr const char* downloadFinished = "df";

/** A chapter's seen/unseen flag changed; argument: the chapter. */
constexpr const char* seenChanged = "cs";

/** A chapter's favourite flag changed; argument: the chapter. */
constexpr const char* favoriteChanged = "cf";

/** Where watching a chapter stopped was saved; argument: the chapter. */
constexpr const char* watchedPositionChanged = "cw";

/** A marker was added to or removed from a chapter; argument: the chapter. */
constexpr const char* markersChanged = "mc";

/** A marker's text changed; arguments: the chapter and the marker's index. */
constexpr const char* markerModified = "mm";

/** A chapter was removed from this computer; argument: the chapter. */
constexpr const char* chapterRemoved = "ca";

/** A chapter's files were restored from a backup; argument: the chapter. */
constexpr const char* chapterRestored = "fr";

/** A transcript search finished. */
constexpr const char* searchChanged = "sc";

/** Sent once by the main window through Core when it is up: the program's work begins. */
constexpr const char* windowReady = "er";

/** The main window's own code, handled inside the window and never broadcast: enables the
    controls after the window is built.
*/
constexpr const char* enableControls = "ec";
} // namespace Notifications
