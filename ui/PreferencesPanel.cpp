#include "ui/PreferencesPanel.h"

#include "app/PreferencesManager.h"
#include "app/Prompts.h"
#include "app/SharedRes.h"
#include "kit/CustomLookAndFeel2.h"
#include "maintenance/BackupDialogs.h"
#include "maintenance/MoviesRootChange.h"
#include "ui/MainWindowLayout.h"

PreferencesPanel::PreferencesPanel (Core& c, Host& h) : BackgroundPanel ("preferencesPanel"), core (c), host (h)
{
    setFillColour (juce::Colour (CustomLookAndFeel2::panelColour));

    const auto sectionFont = juce::Font (SharedRes::getInstance()->getTypeface ("Lucida Grande Bold")).withHeight (18.0f);

    for (auto* heading : { &languageSectionLabel, &storageSectionLabel, &backupSectionLabel, &loggingSectionLabel })
        heading->setFont (sectionFont);

    coursesLanguageCombo.addItem (TRANS ("Italian"), 1);
    coursesLanguageCombo.addItem (TRANS ("English"), 2);
    loggingCombo.addItem (TRANS ("Enabled"), 1);
    loggingCombo.addItem (TRANS ("Disabled"), 2);

    resetMoviesRootToDefaultButton.setButtonText (TRANS ("Reset to default location"));
    backupButton.setButtonText (TRANS ("Tutorials backup"));
    restoreButton.setButtonText (TRANS ("Restore tutorials from backup"));

    for (auto* control : std::initializer_list<juce::Component*> { &languageSectionLabel, &coursesLanguageLabel, &coursesLanguageCombo,
                                                                   &storageSectionLabel, &moviesRootDirectoryLabel, &moviesRootDirectoryComponent,
                                                                   &resetMoviesRootToDefaultButton, &backupSectionLabel, &backupButton, &restoreButton,
                                                                   &loggingSectionLabel, &loggingLabel, &loggingCombo })
        addAndMakeVisible (control);

    coursesLanguageCombo.onChange = [this] { languageChosen (coursesLanguageCombo.getSelectedId()); };
    loggingCombo.onChange = [this] { PreferencesManager::getInstance()->setLoggingEnabled (loggingCombo.getSelectedId() == 1); };
    moviesRootDirectoryComponent.addListener (this);

    wire (resetMoviesRootToDefaultButton, [this] {
        moviesRootDirectoryComponent.setCurrentFile (SharedRes::getInstance()->getUserDataFolder(), false, juce::sendNotificationAsync);
    });
    wire (backupButton, [this] { BackupDialogs::backupTutorials (core); });
    wire (restoreButton, [this] { BackupDialogs::restoreTutorials (core); });
}

void PreferencesPanel::wire (juce::Button& button, std::function<void()> action)
{
    // A click that arrives while the panel is hidden (a queued press) does nothing.
    button.onClick = [this, &button, action = std::move (action)]
    {
        if (! button.isShowing())
            return;

        action();
        host.controlUsed();
    };
}

void PreferencesPanel::resized()
{
    for (const auto& placement : MainWindowLayout::getPreferencesControls (getWidth()))
        for (auto* child : getChildren())
            if (child->getName() == placement.path.fromLastOccurrenceOf ("/", false, false))
                child->setBounds (placement.bounds);
}

void PreferencesPanel::refresh()
{
    auto* preferences = PreferencesManager::getInstance();
    coursesLanguageCombo.setSelectedId (preferences->getLanguage() + 1, juce::dontSendNotification);
    loggingCombo.setSelectedId (preferences->getLoggingEnabled() ? 1 : 2, juce::dontSendNotification);
    moviesRootDirectoryComponent.setCurrentFile (preferences->getMoviesRootDirectory(), true, juce::dontSendNotification);

    const auto signedIn = core.hasUser();
    backupButton.setEnabled (signedIn);
    restoreButton.setEnabled (signedIn);
}

void PreferencesPanel::moviesRootChanged()
{
    MoviesRootChange::apply (core, moviesRootDirectoryComponent.getCurrentFile());

    // A cancelled or unchanged choice leaves the chooser showing the root in use.
    refresh();

    // The question and the move's progress window took the keyboard; the window's shortcuts get it back.
    host.controlUsed();
}

void PreferencesPanel::languageChosen (int comboId)
{
    auto* preferences = PreferencesManager::getInstance();
    const auto& downloads = core.getDownloads();

    const auto downloadsEnded = core.withReadLock ([&downloads] {
        for (int i = 0; i < downloads.getDownloadCount(); ++i)
            if (const auto state = downloads.getDownloadState (i); state != DownloadState::Completed && state != DownloadState::Failed)
                return false;

        return true;
    });

    if (! downloadsEnded)
    {
        Prompts::get().showMessage (Prompts::Icon::none,
                                    TRANS ("Downloads in progress"),
                                    TRANS ("Wait for the downloads to complete before changing language"),
                                    TRANS ("OK"));
        coursesLanguageCombo.setSelectedId (preferences->getLanguage() + 1, juce::dontSendNotification);
        return;
    }

    core.getDownloads().removeFinishedDownloads();
    preferences->setLanguage (comboId - 1);

    if (host.runStartupRetrieval())
        refresh();
}
