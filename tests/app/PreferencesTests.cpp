#include "app/PreferencesManager.h"
#include "app/SharedRes.h"
#include "tests/common/MessagePump.h"
#include "tests/common/ScratchHome.h"
#include "tests/common/ScriptedPrompts.h"

#include "tests/common/JucePrinters.h"

#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>

namespace
{
class Preferences : public ::testing::Test
{
protected:
    void TearDown() override
    {
        PreferencesManager::deleteInstance();
        SharedRes::deleteInstance();
    }

    /** A fresh preferences singleton loaded from the test's file. */
    PreferencesManager& loadFresh()
    {
        PreferencesManager::deleteInstance();
        auto* preferences = PreferencesManager::getInstance();
        preferences->load (file);
        return *preferences;
    }

    /** What the file holds under a key, or nothing when the key (or the file) is absent. */
    std::optional<juce::String> stored (const juce::String& key) const
    {
        if (const auto xml = juce::parseXML (file))
            for (auto* value : xml->getChildWithTagNameIterator ("VALUE"))
                if (value->getStringAttribute ("name") == key)
                    return value->getStringAttribute ("val");

        return std::nullopt;
    }

    /** Replaces the file; the running preferences go first, since they write it when deleted. */
    void writeFile (std::initializer_list<std::pair<const char*, const char*>> values)
    {
        PreferencesManager::deleteInstance();
        juce::XmlElement root ("PROPERTIES");

        for (const auto& [name, val] : values)
        {
            auto* value = root.createNewChildElement ("VALUE");
            value->setAttribute ("name", name);
            value->setAttribute ("val", val);
        }

        file.getParentDirectory().createDirectory();
        ASSERT_TRUE (root.writeTo (file));
    }

    juce::File getSetAsideFile() const { return PreferencesManager::getSetAsideFile (file); }

    ScratchHome home;
    ScriptedPrompts prompts;
    juce::File file = home.getUserDataFolder().getChildFile ("preferences.xml");
};
} // namespace

TEST_F (Preferences, MissingFileGivesDefaultsAndTheEndWritesEveryKeyInOrder)
{
    auto& preferences = loadFresh();
    EXPECT_FALSE (preferences.getMaximiseWindowAtStartup());
    EXPECT_TRUE (preferences.getStartupUsername().isEmpty());
    EXPECT_EQ (preferences.getStartupSidebarSize(), 291);
    EXPECT_TRUE (preferences.getStartupSidebarVisibility());
    EXPECT_EQ (preferences.getMoviesRootDirectory(), home.getUserDataFolder());
    EXPECT_FALSE (preferences.getLoggingEnabled());
    EXPECT_LE (preferences.getEditorStartupWidth(), 1030);
    EXPECT_LE (preferences.getEditorStartupHeight(), 600);
    EXPECT_FALSE (file.exists()) << "nothing is written before the end of the run";

    PreferencesManager::deleteInstance();
    ASSERT_TRUE (file.existsAsFile());

    const auto xml = juce::parseXML (file);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "PROPERTIES");
    juce::StringArray keys;

    for (auto* value : xml->getChildIterator())
        keys.add (value->getStringAttribute ("name"));

    EXPECT_EQ (keys,
               juce::StringArray ({ "editorStartupWidth", "editorStartupHeight", "maximiseWindowAtStartup", "startupUsername",
                                    "startupPasswordHash", "startupUserId", "startupSidebarSize", "startupSidebarVisibility",
                                    "language", "moviesRootDirectory", "loggingEnabled" }));
    EXPECT_EQ (stored ("startupSidebarVisibility"), "1");
    EXPECT_EQ (stored ("loggingEnabled"), "0");
    EXPECT_EQ (stored ("moviesRootDirectory"), home.getUserDataFolder().getFullPathName());
}

TEST_F (Preferences, ValuesReadTheirLeadingDigits)
{
    writeFile ({ { "maximiseWindowAtStartup", "true" },
                 { "loggingEnabled", "1" },
                 { "startupSidebarVisibility", "0" },
                 { "editorStartupWidth", "1200px" },
                 { "language", "zero" },
                 { "startupUsername", "ada@example.com" } });
    auto& preferences = loadFresh();
    EXPECT_FALSE (preferences.getMaximiseWindowAtStartup()) << "a stored \"true\" reads as false";
    EXPECT_TRUE (preferences.getLoggingEnabled());
    EXPECT_FALSE (preferences.getStartupSidebarVisibility());
    EXPECT_EQ (preferences.getEditorStartupWidth(), 1200);
    EXPECT_EQ (preferences.getLanguage(), 0);
    EXPECT_EQ (preferences.getStartupUsername(), "ada@example.com");
}

TEST_F (Preferences, SidebarIsClampedInMemoryOnly)
{
    writeFile ({ { "startupSidebarSize", "100" } });
    EXPECT_EQ (loadFresh().getStartupSidebarSize(), 291);
    PreferencesManager::deleteInstance();
    EXPECT_EQ (stored ("startupSidebarSize"), "100") << "the correction is not copied back";

    writeFile ({ { "startupSidebarSize", "400" } });
    EXPECT_EQ (loadFresh().getStartupSidebarSize(), 400);

    writeFile ({ { "startupSidebarSize", "wide" } });
    EXPECT_EQ (loadFresh().getStartupSidebarSize(), 291);
}

TEST_F (Preferences, AFileLackingAKeyGainsItAtTheEnd)
{
    writeFile ({ { "language", "1" }, { "startupUserId", "u7" } });
    EXPECT_EQ (loadFresh().getStartupUserId(), "u7");
    PreferencesManager::deleteInstance();
    EXPECT_EQ (stored ("loggingEnabled"), "0");
    EXPECT_EQ (stored ("startupUserId"), "u7");
}

TEST_F (Preferences, UnchangedSettersWriteNothing)
{
    auto& preferences = loadFresh();
    preferences.setLanguage (preferences.getLanguage());
    preferences.setLoggingEnabled (false);
    preferences.setStartupUserId ({});
    preferences.setCredentials ({}, {});
    preferences.setMoviesRootDirectory (home.getUserDataFolder());
    EXPECT_FALSE (file.exists());

    preferences.setLanguage (1 - preferences.getLanguage());
    EXPECT_TRUE (file.existsAsFile()) << "a changed language is written at once";
}

TEST_F (Preferences, WindowSizeWaitsForTheNextWriteOrTheEnd)
{
    auto& preferences = loadFresh();
    preferences.setWindowSize (1111, 666);
    preferences.setStartupSidebarSize (350);
    EXPECT_FALSE (file.exists());

    preferences.setMaximiseWindowAtStartup (true);
    ASSERT_TRUE (file.existsAsFile());
    EXPECT_EQ (stored ("editorStartupWidth"), "1111");
    EXPECT_EQ (stored ("editorStartupHeight"), "666");
    EXPECT_EQ (stored ("startupSidebarSize"), "350");
    EXPECT_EQ (stored ("maximiseWindowAtStartup"), "1");

    preferences.setWindowSize (1200, 700);
    EXPECT_EQ (stored ("editorStartupWidth"), "1111");
    PreferencesManager::deleteInstance();
    EXPECT_EQ (stored ("editorStartupWidth"), "1200");
    EXPECT_EQ (stored ("editorStartupHeight"), "700");
}

TEST_F (Preferences, CredentialsAndFoldersRoundTrip)
{
    auto& preferences = loadFresh();
    const auto elsewhere = home.getFolder().getChildFile ("Movies");
    preferences.setCredentials ("ada@example.com", "5f4dcc3b5aa765d61d8327deb882cf99");
    preferences.setStartupUserId ("u42");
    preferences.setMoviesRootDirectory (elsewhere);
    EXPECT_EQ (stored ("startupPasswordHash"), "5f4dcc3b5aa765d61d8327deb882cf99");

    auto& reloaded = loadFresh();
    EXPECT_EQ (reloaded.getStartupUsername(), "ada@example.com");
    EXPECT_EQ (reloaded.getStartupUserId(), "u42");
    EXPECT_EQ (reloaded.getMoviesRootDirectory(), elsewhere);
}

TEST_F (Preferences, ARelativeMoviesFolderKeepsTheDefault)
{
    writeFile ({ { "moviesRootDirectory", "" } });
    EXPECT_EQ (loadFresh().getMoviesRootDirectory(), home.getUserDataFolder());
    writeFile ({ { "moviesRootDirectory", "relative/movies" } });
    EXPECT_EQ (loadFresh().getMoviesRootDirectory(), home.getUserDataFolder());
}

TEST_F (Preferences, ChangedValuesBroadcastCp)
{
    struct Listener final : juce::ActionListener
    {
        void actionListenerCallback (const juce::String& message) override { messages.add (message); }
        juce::StringArray messages;
    };

    Listener listener;
    const auto loadWatched = [&] {
        auto* preferences = PreferencesManager::getInstance();
        preferences->addActionListener (&listener);
        preferences->load (file);
        MessagePump::deliverPending();
        preferences->removeActionListener (&listener);
    };

    PreferencesManager::deleteInstance();
    loadWatched();
    EXPECT_TRUE (listener.messages.isEmpty()) << "all defaults: nothing differs";

    writeFile ({ { "startupUserId", "u1" } });
    loadWatched();
    EXPECT_EQ (listener.messages, juce::StringArray ({ "cp" }));
}

TEST (PreferenceDefaults, WindowSizeAndLanguage)
{
    EXPECT_EQ (PreferencesManager::getDefaultWindowSize ({ 0, 0, 1920, 1040 }), juce::Point<int> (1030, 600));
    EXPECT_EQ (PreferencesManager::getDefaultWindowSize ({ 0, 30, 1024, 738 }), juce::Point<int> (1024, 600));
    EXPECT_EQ (PreferencesManager::getDefaultLanguage ("it"), 0);
    EXPECT_EQ (PreferencesManager::getDefaultLanguage ("en"), 1);
    EXPECT_EQ (PreferencesManager::getDefaultLanguage ("de"), 1);
    EXPECT_EQ (PreferencesManager::getLanguageCodeOfLocale ("it_IT.UTF-8@euro"), "it");
    EXPECT_EQ (PreferencesManager::getLanguageCodeOfLocale ("POSIX"), "");
}

// Run only as a child of the test below, which sets the locale it is started with.
TEST_F (Preferences, DISABLED_DefaultLanguageProbe)
{
    std::cout << "default language: " << loadFresh().getLanguage() << std::endl;
}

TEST (PreferenceDefaults, LanguageFollowsTheProcessLocale)
{
    const auto probe = [] (const juce::StringArray& environment) {
        juce::StringArray command { "env", "-u", "LC_ALL", "-u", "LC_MESSAGES", "-u", "LANG" };
        command.addArray (environment);
        command.addArray ({ juce::File::getSpecialLocation (juce::File::currentExecutableFile).getFullPathName(),
                            "--gtest_also_run_disabled_tests", "--gtest_filter=Preferences.DISABLED_DefaultLanguageProbe" });
        juce::ChildProcess child;

        if (! child.start (command))
            return juce::String ("not started");

        const auto output = child.readAllProcessOutput();
        child.waitForProcessToFinish (20000);
        return output.fromFirstOccurrenceOf ("default language: ", false, false).upToFirstOccurrenceOf ("\n", false, false);
    };

    EXPECT_EQ (probe ({ "LANG=it_IT.UTF-8" }), "0");
    EXPECT_EQ (probe ({ "LANG=en_GB.UTF-8" }), "1");
    EXPECT_EQ (probe ({ "LC_ALL=it_CH.UTF-8", "LANG=en_GB.UTF-8" }), "0") << "LC_ALL comes first";
    EXPECT_EQ (probe ({ "LC_MESSAGES=en_US.UTF-8", "LANG=it_IT.UTF-8" }), "1") << "then LC_MESSAGES";
    EXPECT_EQ (probe ({ "LANG=C" }), "1");
}

namespace
{
int permissionsOf (const juce::File& file)
{
    struct stat info
    {
    };

    return stat (file.getFullPathName().toRawUTF8(), &info) == 0 ? (int) (info.st_mode & 0777) : -1;
}
} // namespace

TEST_F (Preferences, OnlyTheOwnerCanReadTheStoredHash)
{
    // An earlier version left the file readable by everybody: the next start closes it.
    writeFile ({ { "startupPasswordHash", "5f4dcc3b5aa765d61d8327deb882cf99" } });
    ASSERT_EQ (chmod (file.getFullPathName().toRawUTF8(), 0644), 0);
    auto& preferences = loadFresh();
    EXPECT_EQ (permissionsOf (file), 0600);

    // And every write keeps it closed, the one at the end of the run too.
    preferences.setCredentials ("ada@example.com", "0123456789abcdef0123456789abcdef");
    EXPECT_EQ (permissionsOf (file), 0600);
    file.deleteFile();
    PreferencesManager::deleteInstance();
    ASSERT_TRUE (file.existsAsFile());
    EXPECT_EQ (permissionsOf (file), 0600);

    const auto folder = SharedRes::getInstance()->getUserDataFolder();
    EXPECT_EQ (permissionsOf (folder), 0700) << "the data folder keeps the catalogs and the search database";
}

TEST_F (Preferences, AFileTheParserCouldChokeOnIsSetAsideKeepingTheLogin)
{
    const auto hash = juce::String ("0123456789abcdef0123456789abcdef");
    const auto login = "<VALUE name=\"startupUsername\" val=\"ada@example.com\"/><VALUE name=\"startupPasswordHash\" val=\"" + hash
                       + "\"/><VALUE name=\"startupUserId\" val=\"u7\"/><VALUE name=\"loggingEnabled\" val=\"1\"/>";
    const auto nested = "<?xml version=\"1.0\"?><PROPERTIES>" + login + "<VALUE name=\"language\" val=\"0\">"
                        + juce::String::repeatedString ("<a>", 100000);

    const juce::String declared ("<?xml version=\"1.0\"?><!DOCTYPE PROPERTIES SYSTEM \"/dev/zero\"><PROPERTIES>" + login + "&x;</PROPERTIES>");

    for (const auto& text : { nested, declared })
    {
        PreferencesManager::deleteInstance();
        file.deleteFile();
        getSetAsideFile().deleteFile();
        file.getParentDirectory().createDirectory();
        ASSERT_TRUE (file.replaceWithText (text));

        auto& preferences = loadFresh();
        EXPECT_EQ (preferences.getStartupUsername(), "ada@example.com");
        EXPECT_EQ (preferences.getStartupPasswordHash(), hash);
        EXPECT_EQ (preferences.getStartupUserId(), "u7");
        EXPECT_FALSE (preferences.getLoggingEnabled()) << "nothing else of a refused file is trusted";
        EXPECT_EQ (getSetAsideFile().loadFileAsString(), text) << "the refused file is kept aside, whole";

        PreferencesManager::deleteInstance();
        EXPECT_EQ (stored ("startupPasswordHash"), hash) << "and the login is written back";
    }
}

TEST_F (Preferences, ALinkToAnEndlessFileIsNotRead)
{
    PreferencesManager::deleteInstance();
    file.getParentDirectory().createDirectory();
    ASSERT_TRUE (juce::File ("/dev/zero").createSymbolicLink (file, true));
    auto& preferences = loadFresh();
    EXPECT_EQ (preferences.getStartupUsername(), "");
    EXPECT_TRUE (getSetAsideFile().isSymbolicLink());
    PreferencesManager::deleteInstance();
    EXPECT_TRUE (file.existsAsFile() && ! file.isSymbolicLink()) << "a real file takes the link's place";
}

TEST_F (Preferences, BytesThatAreNotUtf8SpoilOnlyTheValueThatHoldsThem)
{
    const juce::String hash ("0123456789abcdef0123456789abcdef");
    const auto text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PROPERTIES>\n"
                      "  <VALUE name=\"startupUsername\" val=\"ada@example.com\"/>\n"
                      "  <VALUE name=\"startupPasswordHash\" val=\"" + hash.toStdString() + "\"/>\n"
                      "  <VALUE name=\"moviesRootDirectory\" val=\"/films/caf\xe9\xff\"/>\n"
                      "  <VALUE name=\"loggingEnabled\" val=\"1\"/>\n</PROPERTIES>\n";
    PreferencesManager::deleteInstance();
    file.getParentDirectory().createDirectory();
    ASSERT_TRUE (file.replaceWithData (text.data(), text.size()));

    auto& preferences = loadFresh();
    EXPECT_EQ (preferences.getStartupUsername(), "ada@example.com");
    EXPECT_EQ (preferences.getStartupPasswordHash(), hash);
    EXPECT_TRUE (preferences.getLoggingEnabled());
    EXPECT_EQ (preferences.getMoviesRootDirectory().getFullPathName(), juce::String (juce::CharPointer_UTF8 ("/films/caf\xef\xbf\xbd\xef\xbf\xbd")))
        << "each byte that is not UTF-8 reads as a replacement character";

    PreferencesManager::deleteInstance();
    EXPECT_EQ (stored ("startupUsername"), "ada@example.com") << "the end of the run keeps the login";
    EXPECT_EQ (stored ("startupPasswordHash"), hash);
}

TEST_F (Preferences, ThePlaybackSpeedReadsAsOneUnlessItIsAnAllowedDecimal)
{
    for (const auto& [text, expected] : std::initializer_list<std::pair<const char*, double>> {
             { "1.5", 1.5 }, { "0.5", 0.5 }, { "3", 3.0 }, { " 2.25 ", 2.25 }, { "0.49", 1.0 }, { "3.01", 1.0 }, { "-2", 1.0 },
             { "fast", 1.0 }, { "", 1.0 }, { "nan", 1.0 }, { "inf", 1.0 }, { "1e999", 1.0 }, { "1.5x", 1.0 }, { "0x2", 1.0 } })
    {
        writeFile ({ { "playbackSpeed", text } });
        EXPECT_EQ (loadFresh().getPlaybackSpeed(), expected) << "'" << text << "'";
        EXPECT_EQ (PreferencesManager::parsePlaybackSpeed (text), expected) << "'" << text << "'";
    }

    writeFile ({ { "language", "1" } });
    EXPECT_EQ (loadFresh().getPlaybackSpeed(), 1.0) << "missing";
}

TEST_F (Preferences, ThePlaybackSpeedIsClampedWrittenAtOnceAndKeptForTheNextRun)
{
    auto& preferences = loadFresh();
    preferences.setPlaybackSpeed (1.75);
    EXPECT_EQ (stored ("playbackSpeed"), "1.75") << "written at once";

    preferences.setPlaybackSpeed (7.0);
    EXPECT_EQ (preferences.getPlaybackSpeed(), 3.0);
    EXPECT_EQ (stored ("playbackSpeed"), "3");

    preferences.setPlaybackSpeed (0.1);
    EXPECT_EQ (preferences.getPlaybackSpeed(), 0.5);
    preferences.setPlaybackSpeed (std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ (preferences.getPlaybackSpeed(), 1.0);

    preferences.setPlaybackSpeed (2.5);
    const auto written = file.getLastModificationTime();
    const auto text = file.loadFileAsString();
    file.setLastModificationTime (written - juce::RelativeTime::hours (1));
    preferences.setPlaybackSpeed (2.5);
    EXPECT_EQ (file.getLastModificationTime(), written - juce::RelativeTime::hours (1)) << "the same speed writes nothing";

    EXPECT_EQ (loadFresh().getPlaybackSpeed(), 2.5);
    EXPECT_EQ (text, file.loadFileAsString());
}

TEST_F (Preferences, AUserWhoNeverPicksASpeedKeepsTheFileAsItWas)
{
    loadFresh();
    PreferencesManager::deleteInstance();
    EXPECT_FALSE (stored ("playbackSpeed").has_value());
}

TEST_F (Preferences, CaptionsAreStoredOnlyOnceTheUserSetsThem)
{
    auto& preferences = loadFresh();
    EXPECT_FALSE (preferences.getCaptions());
    PreferencesManager::deleteInstance();
    EXPECT_EQ (stored ("captions"), std::nullopt) << "a file never set keeps exactly its keys";

    loadFresh().setCaptions (true);
    EXPECT_EQ (stored ("captions"), "1") << "written at once";
    EXPECT_TRUE (loadFresh().getCaptions());

    loadFresh().setCaptions (false);
    PreferencesManager::deleteInstance();
    EXPECT_EQ (stored ("captions"), "0");
    EXPECT_FALSE (loadFresh().getCaptions());
}
