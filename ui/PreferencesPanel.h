#pragma once

#include "kit/BackgroundPanel.h"
#include "model/Core.h"

/**
    The preferences panel ("preferencesPanel"): the tutorials' language, the folder of the video
    files with its reset button, backup and restore of downloaded chapters, and the logging
    switch. It owns its controls, lays them out and acts on them; a language change needs the
    catalog again, which it asks of the main window, its Host.

    Message thread only.
*/
class PreferencesPanel final : public BackgroundPanel,
                               private juce::FilenameComponentListener
{
public:
    /** What the panel needs of the main window. */
    class Host
    {
    public:
        virtual ~Host() = default;

        /** Reaches a catalog after a language change; false when the program quits. */
        virtual bool runStartupRetrieval() = 0;

        /** A control of the panel was used: the keyboard focus goes back where the window keeps it. */
        virtual void controlUsed() = 0;
    };

    PreferencesPanel (Core& core, Host& host);

    /** Loads the controls from the preferences, without notifications. */
    void refresh();

    /** Takes the movies root shown by the chooser into use, offering to move the downloaded
        chapters there; the chooser then shows the root in use.
    */
    void moviesRootChanged();

    /** Stores a language chosen in the combo box (its item id), unless downloads are running. */
    void languageChosen (int comboId);

    void resized() override;

private:
    void filenameComponentChanged (juce::FilenameComponent*) override { moviesRootChanged(); }
    void wire (juce::Button& button, std::function<void()> action);

    Core& core;
    Host& host;

    juce::Label languageSectionLabel { "languageSectionLabel", TRANS ("Language") };
    juce::Label coursesLanguageLabel { "coursesLanguageLabel", TRANS ("Tutorials language:") };
    juce::ComboBox coursesLanguageCombo { "coursesLanguageCombo" };
    juce::Label storageSectionLabel { "storageSectionLabel", TRANS ("Storage") };
    juce::Label moviesRootDirectoryLabel { "moviesRootDirectoryLabel", TRANS ("Folder where to store video files:") };
    juce::FilenameComponent moviesRootDirectoryComponent { "moviesRootDirectoryComponent", {}, false, true, true, {}, {}, {} };
    juce::TextButton resetMoviesRootToDefaultButton { "resetMoviesRootToDefaultButton" };
    juce::Label backupSectionLabel { "backupSectionLabel", TRANS ("Backup") };
    juce::TextButton backupButton { "backupButton" };
    juce::TextButton restoreButton { "restoreButton" };
    juce::Label loggingSectionLabel { "loggingSectionLabel", TRANS ("Monitoring") };
    juce::Label loggingLabel { "loggingLabel", TRANS ("Log operations to file:") };
    juce::ComboBox loggingCombo { "loggingCombo" };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PreferencesPanel)
};
