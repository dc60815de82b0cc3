#pragma once

#include <JuceHeader.h>

#include <cstdlib>
#include <string>

/**
    Stands in for the desktop's xdg-open for the lifetime of the object: a real program of that
    name, first on PATH, that writes the arguments it was started with, one per line, into a
    file and does nothing else. What the program hands to the desktop can then be read back
    exactly as the started process received it.
*/
class RecordingOpener final
{
public:
    RecordingOpener()
    {
        folder.createDirectory();
        const auto script = folder.getChildFile ("xdg-open");
        script.replaceWithText ("#!/bin/sh\nfor argument in \"$@\"; do printf '%s\\n' \"$argument\"; done > \"$0.partial\"\n"
                                "mv \"$0.partial\" \"$0.record\"\n",
                                false,
                                false,
                                "\n");
        script.setExecutePermission (true);

        if (const auto* path = std::getenv ("PATH"))
            previousPath = path;

        setenv ("PATH", (folder.getFullPathName() + ":" + juce::String (previousPath)).toRawUTF8(), 1);
    }

    ~RecordingOpener()
    {
        setenv ("PATH", previousPath.c_str(), 1);
        folder.deleteRecursively();
    }

    /** Waits until the stand-in has run and returns the arguments it received; empty when it
        did not run within the time.
    */
    juce::StringArray waitForArguments (int timeoutMs = 10000) const
    {
        const auto record = folder.getChildFile ("xdg-open.record");
        const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

        while (! record.existsAsFile() && juce::Time::getMillisecondCounter() < deadline)
            juce::Thread::sleep (20);

        juce::StringArray lines;
        lines.addLines (record.loadFileAsString());
        lines.removeEmptyStrings (false);
        return lines;
    }

private:
    juce::File folder = juce::File::createTempFile ("tsy-opener");
    std::string previousPath = "/usr/bin:/bin";

    JUCE_DECLARE_NON_COPYABLE (RecordingOpener)
};
