#pragma once

#include <JuceHeader.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <sys/stat.h>

/**
    A private, empty home folder for the duration of a test: HOME, XDG_DATA_HOME and
    XDG_RUNTIME_DIR point into it, so the program's data, desktop, override files and its
    single-instance lock never touch the developer's own, nor another test's.
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
        remember ("XDG_RUNTIME_DIR", previousRuntime);
        setenv ("HOME", folder.getFullPathName().toRawUTF8(), 1);
        setenv ("XDG_DATA_HOME", getDataHome().getFullPathName().toRawUTF8(), 1);
        getRuntimeFolder().createDirectory();
        chmod (getRuntimeFolder().getFullPathName().toRawUTF8(), 0700);
        setenv ("XDG_RUNTIME_DIR", getRuntimeFolder().getFullPathName().toRawUTF8(), 1);
    }

    ~ScratchHome()
    {
        restore ("HOME", previousHome);
        restore ("XDG_DATA_HOME", previousDataHome);
        restore ("XDG_RUNTIME_DIR", previousRuntime);
        folder.deleteRecursively();
    }

    juce::File getFolder() const { return folder; }
    juce::File getDataHome() const { return folder.getChildFile (".local/share"); }
    juce::File getUserDataFolder() const { return getDataHome().getChildFile ("Tessaly/TSY-Player"); }
    juce::File getDesktop() const { return folder.getChildFile ("Desktop"); }
    juce::File getRuntimeFolder() const { return folder.getChildFile ("run"); }

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
    std::optional<std::string> previousHome, previousDataHome, previousRuntime;

    JUCE_DECLARE_NON_COPYABLE (ScratchHome)
};
