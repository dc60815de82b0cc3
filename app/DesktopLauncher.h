#pragma once

#include <JuceHeader.h>

/**
    Hands files to the desktop: starts a program, or opens a document or a folder with the
    desktop's default application through xdg-open.

    Every program is started from an argument vector, never through a shell, so no character of
    a file's name (quotes, "$(...)", back quotes, ";") can turn into a command. The started
    program runs on in a session of its own after this one ends.

    Any thread may call it.
*/
class DesktopLauncher final
{
public:
    /** The argument vector that opens a file: the file itself when it is an executable regular
        file, else xdg-open with the file's path as its one argument.
    */
    static juce::StringArray getOpeningCommand (const juce::File& file);

    /** The argument vector that shows a file in the file manager: xdg-open on its folder (on
        the folder itself when it is one).
    */
    static juce::StringArray getRevealingCommand (const juce::File& file);

    /** Starts a program (looked up on PATH when the first argument has no "/") with exactly
        these arguments. False when it could not be started.
    */
    static bool start (const juce::StringArray& arguments);

    /** Opens a file as getOpeningCommand says; false when nothing could be started. */
    static bool open (const juce::File& file) { return start (getOpeningCommand (file)); }

    /** Shows a file as getRevealingCommand says; false when nothing could be started. */
    static bool reveal (const juce::File& file) { return start (getRevealingCommand (file)); }

private:
    DesktopLauncher() = delete;
};
