#include "app/PreferencesManager.h"

#include "app/SharedRes.h"
#include "model/SafeXmlFile.h"

#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

JUCE_IMPLEMENT_SINGLETON (PreferencesManager)

namespace Keys
{
constexpr const char* editorStartupWidth = "editorStartupWidth";
constexpr const char* editorStartupHeight = "editorStartupHeight";
constexpr const char* maximiseWindowAtStartup = "maximiseWindowAtStartup";
constexpr const char* startupUsername = "startupUsername";
constexpr const char* startupPasswordHash = "startupPasswordHash";
constexpr const char* startupUserId = "startupUserId";
constexpr const char* startupSidebarSize = "startupSidebarSize";
constexpr const char* startupSidebarVisibility = "startupSidebarVisibility";
constexpr const char* language = "language";
constexpr const char* moviesRootDirectory = "moviesRootDirectory";
constexpr const char* loggingEnabled = "loggingEnabled";
constexpr const char* playbackSpeed = "playbackSpeed";
constexpr const char* captions = "captions";
} // namespace Keys

namespace
{
/** A preferences file is a root with a dozen values. */
const SafeXmlFile::Limits fileLimits { 1 << 20, 4 };

juce::Rectangle<int> getMainDisplayUsableArea()
{
    if (auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
        return display->userArea;

    return {};
}

/** The file holds the password hash, which the service takes as the password: nobody but its
    owner may read it. Only a regular file of this user's is touched.
*/
void restrictToOwner (const juce::File& file)
{
    const auto path = file.getFullPathName().toStdString();
    struct stat info
    {
    };

    if (lstat (path.c_str(), &info) == 0 && S_ISREG (info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) != 0)
        chmod (path.c_str(), 0600);
}

/** A speed as stored: the shortest decimal text with a point whatever the locale. */
juce::String formatPlaybackSpeed (double speed)
{
    return juce::String (speed);
}

/** Reads a value, or adds the fallback under the key when the file lacks it. */
juce::String readOrAdd (juce::PropertiesFile& properties, const char* key, const juce::var& fallback)
{
    if (! properties.containsKey (key))
    {
        properties.setValue (key, fallback);
        return fallback.toString();
    }

    return properties.getValue (key);
}
} // namespace

PreferencesManager::PreferencesManager()
{
    const auto usableArea = getMainDisplayUsableArea();
    const auto windowSize = usableArea.isEmpty() ? juce::Point<int> (1030, 600) : getDefaultWindowSize (usableArea);
    editorStartupWidth = windowSize.x;
    editorStartupHeight = windowSize.y;
    language = getDefaultLanguage (getLocaleLanguageCode());
    moviesRootDirectory = SharedRes::getInstance()->getUserDataFolder();
}

PreferencesManager::~PreferencesManager()
{
    if (properties != nullptr && properties->save())
        restrictToOwner (properties->getFile());

    properties = nullptr;
    clearSingletonInstance();
}

juce::Point<int> PreferencesManager::getDefaultWindowSize (juce::Rectangle<int> usableArea)
{
    return { juce::jmin (usableArea.getWidth(), 1030), juce::jmin (usableArea.getHeight(), 600) };
}

int PreferencesManager::getDefaultLanguage (const juce::String& isoLanguage)
{
    return isoLanguage.startsWith ("it") ? 0 : 1;
}

juce::String PreferencesManager::getLanguageCodeOfLocale (const juce::String& locale)
{
    // "it_IT.UTF-8@euro": the language is what comes before the territory, codeset and modifier.
    const auto code = locale.upToFirstOccurrenceOf ("_", false, false)
                          .upToFirstOccurrenceOf (".", false, false)
                          .upToFirstOccurrenceOf ("@", false, false);

    return code == "C" || code == "POSIX" ? juce::String() : code.toLowerCase();
}

juce::String PreferencesManager::getLocaleLanguageCode()
{
    // JUCE answers with the language's English name on Linux ("Italian"), so the code is taken
    // from the locale variables in the order the C library reads them for messages.
    for (const auto* name : { "LC_ALL", "LC_MESSAGES", "LANG" })
        if (const auto* value = std::getenv (name); value != nullptr && *value != 0)
            return getLanguageCodeOfLocale (value);

    return {};
}

juce::File PreferencesManager::getSetAsideFile (const juce::File& file)
{
    return file.getSiblingFile (file.getFileNameWithoutExtension() + " (refused).xml");
}

std::unique_ptr<juce::XmlElement> PreferencesManager::setAsideIfUnsafe (const juce::File& file)
{
    // The framework's properties file reads with a recursive parser that also follows document
    // type declarations, and reads whatever the path leads to: a file it could choke on must
    // never reach it.
    juce::String text;
    const auto verdict = SafeXmlFile::read (file, fileLimits, text);

    if (verdict == SafeXmlFile::Verdict::readable || (verdict == SafeXmlFile::Verdict::missing && ! file.exists()))
        return nullptr;

    auto topLevel = SafeXmlFile::parseTopLevel (file, fileLimits);
    const auto aside = getSetAsideFile (file);
    aside.deleteFile();

    if (! file.moveFileTo (aside))
        file.deleteFile();

    return topLevel != nullptr ? std::move (topLevel) : std::make_unique<juce::XmlElement> ("PROPERTIES");
}

void PreferencesManager::load (const juce::File& file)
{
    const auto refused = setAsideIfUnsafe (file);
    auto repaired = false;

    juce::PropertiesFile::Options options;
    options.storageFormat = juce::PropertiesFile::storeAsXML;
    options.millisecondsBeforeSaving = -1;
    options.ignoreCaseOfKeyNames = false;

    // A refused file that could not be moved is not read: these preferences then live for this
    // run only, rather than the program failing at every start.
    properties = std::make_unique<juce::PropertiesFile> (file.exists() && refused != nullptr ? getSetAsideFile (file) : file, options);
    restrictToOwner (file);

    // The framework's reader drops a whole file for one byte that is not UTF-8; such a file is
    // read again with those bytes as replacement characters, so only the value holding them suffers.
    if (juce::String repairedText; refused == nullptr && SafeXmlFile::read (file, fileLimits, repairedText, &repaired) == SafeXmlFile::Verdict::readable && repaired)
        if (const auto root = juce::parseXML (repairedText); root != nullptr && root->hasTagName ("PROPERTIES"))
        {
            properties->clear();

            for (auto* value : root->getChildWithTagNameIterator ("VALUE"))
                properties->setValue (value->getStringAttribute ("name"), value->getStringAttribute ("val"));
        }

    // What can still be trusted of a refused file is the login, so the user need not sign in again.
    if (refused != nullptr)
        for (auto* value : refused->getChildWithTagNameIterator ("VALUE"))
            for (const auto* key : { Keys::startupUsername, Keys::startupPasswordHash, Keys::startupUserId })
                if (value->getStringAttribute ("name") == key)
                    properties->setValue (key, value->getStringAttribute ("val"));

    auto& props = *properties;
    bool differs = false;

    const auto loadInt = [&] (const char* key, int& field) {
        const auto value = readOrAdd (props, key, field).getIntValue();
        differs = differs || value != field;
        field = value;
    };

    const auto loadBool = [&] (const char* key, bool& field) {
        // Stored as 1 or 0; anything whose leading digits are 0 or absent reads false, "true" included.
        const auto value = readOrAdd (props, key, field).getIntValue() != 0;
        differs = differs || value != field;
        field = value;
    };

    const auto loadString = [&] (const char* key, juce::String& field) {
        const auto value = readOrAdd (props, key, field);
        differs = differs || value != field;
        field = value;
    };

    loadInt (Keys::editorStartupWidth, editorStartupWidth);
    loadInt (Keys::editorStartupHeight, editorStartupHeight);
    loadBool (Keys::maximiseWindowAtStartup, maximiseWindowAtStartup);
    loadString (Keys::startupUsername, startupUsername);
    loadString (Keys::startupPasswordHash, startupPasswordHash);
    loadString (Keys::startupUserId, startupUserId);
    loadInt (Keys::startupSidebarSize, startupSidebarSize);
    loadBool (Keys::startupSidebarVisibility, startupSidebarVisibility);
    loadInt (Keys::language, language);

    // A path that is not absolute names no folder; the default stays rather than letting chapter
    // files land relative to whatever the working directory happens to be.
    auto moviesRootPath = moviesRootDirectory.getFullPathName();
    loadString (Keys::moviesRootDirectory, moviesRootPath);

    if (juce::File::isAbsolutePath (moviesRootPath))
        moviesRootDirectory = juce::File (moviesRootPath);

    loadBool (Keys::loggingEnabled, loggingEnabled);

    // Unlike the keys above, the speed is added to the file only once the user picks one, so
    // a user who never does keeps a file with exactly those keys.
    const auto speed = parsePlaybackSpeed (props.getValue (Keys::playbackSpeed));
    differs = differs || speed != playbackSpeed;
    playbackSpeed = speed;

    // An extension's key is stored only once the user sets it: a file never written by the
    // setter lists exactly the keys above.
    if (props.containsKey (Keys::captions))
        captions = props.getIntValue (Keys::captions) != 0;

    // The correction stays in memory only; the file keeps what the user last stored.
    startupSidebarSize = juce::jmax (startupSidebarSize, minimumSidebarSize);

    if (differs)
        sendActionMessage ("cp");
}

void PreferencesManager::writeIfNeeded()
{
    if (properties != nullptr && properties->needsToBeSaved() && properties->saveIfNeeded())
        restrictToOwner (properties->getFile());
}

void PreferencesManager::setLoggingEnabled (bool shouldLog)
{
    store (Keys::loggingEnabled, loggingEnabled, shouldLog, true);
}

void PreferencesManager::setLanguage (int newLanguage)
{
    store (Keys::language, language, newLanguage, true);
}

void PreferencesManager::setCaptions (bool shouldShow)
{
    store (Keys::captions, captions, shouldShow, true);
}

void PreferencesManager::setStartupSidebarVisibility (bool shouldBeVisible)
{
    store (Keys::startupSidebarVisibility, startupSidebarVisibility, shouldBeVisible, true);
}

void PreferencesManager::setStartupSidebarSize (int newSize)
{
    store (Keys::startupSidebarSize, startupSidebarSize, newSize, false);
}

void PreferencesManager::setStartupUserId (const juce::String& newUserId)
{
    store (Keys::startupUserId, startupUserId, newUserId, true);
}

void PreferencesManager::setCredentials (const juce::String& username, const juce::String& passwordHash)
{
    store (Keys::startupUsername, startupUsername, username, true);
    store (Keys::startupPasswordHash, startupPasswordHash, passwordHash, true);
}

void PreferencesManager::setMaximiseWindowAtStartup (bool shouldMaximise)
{
    store (Keys::maximiseWindowAtStartup, maximiseWindowAtStartup, shouldMaximise, true);
}

void PreferencesManager::setWindowSize (int width, int height)
{
    store (Keys::editorStartupWidth, editorStartupWidth, width, false);
    store (Keys::editorStartupHeight, editorStartupHeight, height, false);
}

void PreferencesManager::setMoviesRootDirectory (const juce::File& newRoot)
{
    if (moviesRootDirectory == newRoot)
        return;

    moviesRootDirectory = newRoot;

    if (properties != nullptr)
        properties->setValue (Keys::moviesRootDirectory, newRoot.getFullPathName());

    writeIfNeeded();
}

double PreferencesManager::parsePlaybackSpeed (const juce::String& text)
{
    const auto trimmed = text.trim();

    if (! trimmed.containsOnly ("0123456789.+-eE") || ! trimmed.containsAnyOf ("0123456789"))
        return 1.0;

    const auto value = trimmed.getDoubleValue();
    return std::isfinite (value) && value >= minimumPlaybackSpeed && value <= maximumPlaybackSpeed ? value : 1.0;
}

void PreferencesManager::setPlaybackSpeed (double newSpeed)
{
    const auto speed = std::isfinite (newSpeed) ? juce::jlimit (minimumPlaybackSpeed, maximumPlaybackSpeed, newSpeed) : 1.0;

    if (playbackSpeed == speed)
        return;

    playbackSpeed = speed;

    if (properties != nullptr)
        properties->setValue (Keys::playbackSpeed, formatPlaybackSpeed (speed));

    writeIfNeeded();
}
