#pragma once

#include <JuceHeader.h>

/**
    The user's settings between runs: window size and state, side bar, course language, movies
    folder, remembered login, logging and the playback speed. Every value lives in memory, typed, and is mirrored into
    "preferences.xml", which is read once at start-up and written by some setters at once and by
    the destructor at the end of the run.

    A process-wide singleton. Getters and setters are called on the message thread; the catalog
    refresh thread only reads the language.
*/
class PreferencesManager final : public juce::ActionBroadcaster
{
public:
    PreferencesManager();
    ~PreferencesManager() override;

    JUCE_DECLARE_SINGLETON (PreferencesManager, false)

    /** Reads the file, keeping defaults for missing keys and adding them to the property set.
        A file that is not a regular file, is too large, declares a document type or nests too
        deeply is set aside (see getSetAsideFile) and the defaults are used, with the remembered
        login carried over when it can still be read.
    */
    void load (const juce::File& file);

    /** Where a refused preferences file is kept: "preferences (refused).xml" beside it. */
    static juce::File getSetAsideFile (const juce::File& file);

    int getEditorStartupWidth() const noexcept { return editorStartupWidth; }
    int getEditorStartupHeight() const noexcept { return editorStartupHeight; }
    bool getMaximiseWindowAtStartup() const noexcept { return maximiseWindowAtStartup; }
    juce::String getStartupUsername() const { return startupUsername; }
    juce::String getStartupPasswordHash() const { return startupPasswordHash; }
    juce::String getStartupUserId() const { return startupUserId; }
    int getStartupSidebarSize() const noexcept { return startupSidebarSize; }
    bool getStartupSidebarVisibility() const noexcept { return startupSidebarVisibility; }
    int getLanguage() const noexcept { return language; }
    juce::File getMoviesRootDirectory() const { return moviesRootDirectory; }
    bool getLoggingEnabled() const noexcept { return loggingEnabled; }

    /** The playback speed the movie panel plays at, 1 for normal speed, within
        minimumPlaybackSpeed and maximumPlaybackSpeed.
    */
    double getPlaybackSpeed() const noexcept { return playbackSpeed; }
    /** Whether the words being spoken are shown over the video. */
    bool getCaptions() const noexcept { return captions; }

    /** The setters store a changed value, and write the file at once where the name says so. */
    void setLoggingEnabled (bool shouldLog);
    void setLanguage (int newLanguage);
    void setCaptions (bool shouldShow);
    void setStartupSidebarVisibility (bool shouldBeVisible);
    void setStartupSidebarSize (int newSize);
    void setStartupUserId (const juce::String& newUserId);
    void setCredentials (const juce::String& username, const juce::String& passwordHash);
    void setMaximiseWindowAtStartup (bool shouldMaximise);
    void setWindowSize (int width, int height);
    void setMoviesRootDirectory (const juce::File& newRoot);

    /** Stores the speed kept within the allowed range ("playbackSpeed"); a value that is not a
        finite number stores 1. Written at once.
    */
    void setPlaybackSpeed (double newSpeed);

    /** The slowest and fastest playback speeds. */
    static constexpr double minimumPlaybackSpeed = 0.5;
    static constexpr double maximumPlaybackSpeed = 3.0;

    /** The speed a stored "playbackSpeed" text means: its decimal number, or 1 when the text is
        empty, not a number, or outside the allowed range.
    */
    static double parsePlaybackSpeed (const juce::String& text);

    /** The default window size for a display's usable area: at most 1030 x 600. */
    static juce::Point<int> getDefaultWindowSize (juce::Rectangle<int> usableArea);

    /** The default course language for an ISO 639 language name: 0 (Italian) or 1 (English). */
    static int getDefaultLanguage (const juce::String& isoLanguage);

    /** The two-letter ISO 639 code of the process's locale ("it" for "it_IT.UTF-8"), read from
        LC_ALL, LC_MESSAGES and LANG in that order; empty for the C locale.
    */
    static juce::String getLocaleLanguageCode();

    /** The language code of a locale name such as "en_GB.UTF-8"; empty for "C" and "POSIX". */
    static juce::String getLanguageCodeOfLocale (const juce::String& locale);

    /** The narrowest side bar the program accepts from the file. */
    static constexpr int minimumSidebarSize = 291;

private:
    static std::unique_ptr<juce::XmlElement> setAsideIfUnsafe (const juce::File& file);

    template <typename ValueType>
    void store (const char* key, ValueType& field, const ValueType& value, bool writeNow)
    {
        if (field == value)
            return;

        field = value;

        if (properties != nullptr)
            properties->setValue (key, juce::var (value));

        if (writeNow)
            writeIfNeeded();
    }

    void writeIfNeeded();

    std::unique_ptr<juce::PropertiesFile> properties;

    int editorStartupWidth = 1030;
    int editorStartupHeight = 600;
    bool maximiseWindowAtStartup = false;
    juce::String startupUsername;
    juce::String startupPasswordHash;
    juce::String startupUserId;
    int startupSidebarSize = minimumSidebarSize;
    bool startupSidebarVisibility = true;
    int language = 1;
    juce::File moviesRootDirectory;
    bool loggingEnabled = false;
    double playbackSpeed = 1.0;
    bool captions = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PreferencesManager)
};
