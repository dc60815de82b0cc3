#include "app/PreferencesManager.h"
#include "downloads/DownloadThread.h"
#include "kit/ComponentPaths.h"
#include "model/CatalogParser.h"
#include "tests/common/MessagePump.h"
#include "tests/common/TestHttpServer.h"
#include "tests/ui/WindowTest.h"

#include <gtest/gtest.h>

namespace
{
/** The main window of a signed-in user with one downloaded chapter, showing its preferences. */
class PreferencesPanelTest : public WindowTest
{
protected:
    void SetUp() override
    {
        server.answerWith ("<catalog userid='u1' username='Ada' baseurl='http://127.0.0.1:1/'>"
                           "<course id='c1' title='Modelling'><lesson title='Basics'><chapter id='ch1' title='Intro'/><chapter id='ch2' title='Tools'/>"
                           "</lesson></course></catalog>");
        ASSERT_NO_FATAL_FAILURE (useCatalogFrom (server.getBaseUrl()));
        auto* preferences = PreferencesManager::getInstance();
        preferences->setCredentials ("ada@example.com", "5f4dcc3b5aa765d61d8327deb882cf99");
        preferences->setMoviesRootDirectory (oldRoot);
        ASSERT_TRUE (oldRoot.getChildFile ("users/u1/ch1/ch1.bin").create());

        core = std::make_unique<Core> (SharedRes::getInstance()->getUserDataFolder(), Core::Workers { DownloadThread::makeJob });
        window = std::make_unique<MainWindow> ("TSY-Player 1.36", *core);
        window->setVisible (true);
        ASSERT_TRUE (MessagePump::runUntil ([this] { return core->getNumCourses() > 0; })) << "the catalog never came";
        window->selectSpecialItem (MainWindow::SpecialEntry::preferences);
        ASSERT_TRUE (get (ComponentPaths::preferencesPanel)->isShowing());
    }

    juce::FilenameComponent& chooser() { return *window->getContent().getRequired<juce::FilenameComponent> (ComponentPaths::moviesRootDirectoryComponent); }

    void click (const char* path)
    {
        window->getContent().getRequired<juce::Button> (path)->triggerClick();
        MessagePump::deliverPending();
    }

    juce::File getPreferredRoot() const { return PreferencesManager::getInstance()->getMoviesRootDirectory(); }

    TestHttpServer server;
    const juce::File oldRoot = home.getFolder().getChildFile ("videos");
};
} // namespace

TEST_F (PreferencesPanelTest, TheResetButtonGoesThroughTheMoveFlow)
{
    const auto defaultRoot = SharedRes::getInstance()->getUserDataFolder();
    ASSERT_TRUE (core->isVideoPresent ("ch1"));
    prompts.answerNextChoice (Prompts::Answer::yes);
    click (ComponentPaths::resetMoviesRootToDefaultButton);

    // The chooser reports its change asynchronously, as a person's choice does.
    ASSERT_TRUE (MessagePump::runUntil ([this] { return getPreferredRoot() != oldRoot; }));
    EXPECT_EQ (prompts.shown.back().title, "Move video files");
    EXPECT_EQ (getPreferredRoot(), defaultRoot);
    EXPECT_EQ (core->getUsersDirectory(), defaultRoot.getChildFile ("users"));
    EXPECT_TRUE (core->isVideoPresent ("ch1")) << "the chapter moved with the root";
    EXPECT_FALSE (oldRoot.getChildFile ("users").exists());
    EXPECT_EQ (chooser().getCurrentFile(), defaultRoot);

    // Resetting again is choosing the folder in use: nothing is asked.
    const auto asked = prompts.shown.size();
    click (ComponentPaths::resetMoviesRootToDefaultButton);
    MessagePump::deliverPending();
    EXPECT_EQ (prompts.shown.size(), asked);
}

TEST_F (PreferencesPanelTest, ACancelledChoiceShowsTheRootInUseAgain)
{
    prompts.answerNextChoice (Prompts::Answer::cancel);
    chooser().setCurrentFile (home.getFolder().getChildFile ("new"), true, juce::sendNotificationSync);

    EXPECT_EQ (prompts.shown.back().title, "Move video files");
    EXPECT_EQ (getPreferredRoot(), oldRoot);
    EXPECT_EQ (chooser().getCurrentFile(), oldRoot);
    EXPECT_TRUE (core->isVideoPresent ("ch1"));
}

TEST_F (PreferencesPanelTest, RefreshingMovesNothingAndChangesNothing)
{
    // Preferences changed behind the panel's back, as a failed move or a refused language leaves them.
    auto* preferences = PreferencesManager::getInstance();
    const auto otherRoot = home.getFolder().getChildFile ("other");
    const auto language = preferences->getLanguage();
    preferences->setMoviesRootDirectory (otherRoot);
    preferences->setLanguage (1 - language);
    preferences->setLoggingEnabled (true);
    const auto requests = server.getRequests().size();
    const auto preferencesFile = SharedRes::getInstance()->getUserDataFolder().getChildFile ("preferences.xml");
    ASSERT_TRUE (preferencesFile.deleteFile());
    const auto shownBefore = prompts.shown.size();

    window->refreshPreferencesPanel();
    MessagePump::deliverPending();

    EXPECT_EQ (prompts.shown.size(), shownBefore) << "no move is offered";
    EXPECT_EQ (chooser().getCurrentFile(), otherRoot);
    EXPECT_EQ (core->getUsersDirectory(), oldRoot.getChildFile ("users")) << "Core stays where it was";
    EXPECT_EQ (window->getContent().getRequired<juce::ComboBox> (ComponentPaths::coursesLanguageCombo)->getSelectedId(), 2 - language);
    EXPECT_EQ (window->getContent().getRequired<juce::ComboBox> (ComponentPaths::loggingCombo)->getSelectedId(), 1);
    EXPECT_EQ (server.getRequests().size(), requests) << "no catalog is fetched";
    EXPECT_FALSE (preferencesFile.exists()) << "nothing is written";
}

TEST_F (PreferencesPanelTest, ControlsDoNotOverlapAndBackupNeedsASignedInUser)
{
    window->setSize (1100, 640);
    MessagePump::deliverPending();
    const auto file = juce::File (TSY_UI_TEST_OUTPUT_DIR).getChildFile ("preferences-panel.png");
    file.deleteFile();
    juce::FileOutputStream out (file);
    ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (window->createComponentSnapshot (window->getLocalBounds()), out));
    std::cout << "preferences panel screenshot: " << file.getFullPathName() << std::endl;

    auto* panel = get (ComponentPaths::preferencesPanel);
    juce::Array<juce::Rectangle<int>> placed;

    for (auto* child : panel->getChildren())
    {
        EXPECT_TRUE (panel->getLocalBounds().contains (child->getBounds())) << child->getName();

        for (const auto& other : placed)
            EXPECT_FALSE (other.intersects (child->getBounds())) << child->getName();

        placed.add (child->getBounds());
    }

    // The backup dialog offers the user's courses.
    prompts.answerNextFolderDialog ([] (Prompts::FolderDialog&) { return false; });
    click (ComponentPaths::backupButton);
    ASSERT_EQ (prompts.folderDialogs.size(), 1u);
    EXPECT_EQ (prompts.folderDialogs[0].title, "Backup");
    ASSERT_EQ (prompts.folderDialogs[0].toggles.size(), 1u);
    EXPECT_EQ (prompts.folderDialogs[0].toggles[0].text, "Modelling");

    auto anonymous = std::make_unique<Catalog>();
    ASSERT_TRUE (CatalogParser::parseCatalog (*anonymous, *juce::parseXML ("<catalog><course id='c1' title='Modelling'><lesson><chapter id='ch1'/></lesson></course></catalog>"), false));
    ASSERT_TRUE (core->setCatalog (std::move (anonymous)));
    ASSERT_TRUE (MessagePump::runUntil ([this] { return ! get (ComponentPaths::backupButton)->isEnabled(); }));
    EXPECT_FALSE (get (ComponentPaths::restoreButton)->isEnabled());
}
