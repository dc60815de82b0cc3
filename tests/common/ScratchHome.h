#pragma once

#include <JuceHeader.h>

#include <cstdlib>
#include <optional>
#include <string>

/**
    A private, empty home folder for the duration of a test: HOME and XDG_DATA_HOME point into
    it, so the program's data, desktop and override files never touch the developer's own.
    Restores the previous values afterwards.
*/
class ScratchHome final
{
public:
    ScratchHome()
    {
        folder.createDirectory();
        remember ("HOME", previousHome);
        remember ("XDG_DATA_HOME", previousDataHome);
        setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
        setenv ("XDG_DATA_HOME", getDataHome().getFullPathName().toRawUTF8(), 1);
    }

    ~ScratchHome()
    {
        restore ("HOME", previousHome);
        restore ("XDG_DATA_HOME", previousDataHome);
        folder.deleteRecursively();
    }

    juce::File getFolder() const { return folder; }
    juce::File getDataHome() const { return folder.getChildFile (".local/share"); }
    juce::File getUserDataFolder() const { return getDataHome().getChildFile ("Tessaly/TSY-Player"); }
    juce::File getDesktop() const { return folder.getChildFile ("Desktop"); }

private:
    static void remember (const char* name, std::optional<std::string>& slot)
    {
        if (const auto* value = std::getenv (name))
            slot = value;
    }

    static void restore (const char* name, const std::optional<std::string>& slot)
    {
        if (slot.has_value())
            setenv (name, slot->c_str(), 1);
        else
            unsetenv (name);
    }

    juce::File folder = juce::File::createTempFile ("tsy-home");
    std::optional<std::string> previousHome, previousDataHome;

    JUCE_DECLARE_NON_COPYABLE (ScratchHome)
};
